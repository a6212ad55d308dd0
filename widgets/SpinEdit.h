#pragma once
// A spin edit: a free-text numeric field with up/down buttons. The operator may type anything;
// the text is what the control holds, and SpinValue says what number it reads as and what a
// write shows. Leaving the field rewrites a number outside the range (or a fraction in an
// integer control) as the control would store it; a text that is no number stays as typed.
// While the text does not read as the number it spells, a red frame and the tooltip
// "reads as 0.10" (the value as the control would show it) say what will be used instead.
#include "base/SpinValue.h"

#include <QAbstractSpinBox>
#include <cstdint>

class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);
    SpinEdit(const SpinValue& rules, double value, QWidget* parent = nullptr);

    const SpinValue& Rules() const { return rules_; }
    // New rules; the text is kept as it stands.
    void SetRules(const SpinValue& rules);
    double MinValue() const { return rules_.MinValue(); }
    double MaxValue() const { return rules_.MaxValue(); }
    double Increment() const { return rules_.Increment(); }
    int Decimals() const { return rules_.Decimals(); }
    // The separator accepted besides '.' when reading (the operator's, from FormatSettings).
    void SetDecimalSeparator(QChar separator);

    // The number the text holds (SpinValue::Value) and the same rounded half to even.
    double Value() const;
    int64_t RoundedValue() const;
    // Writes the value as the control stores it: rounded if integer, clamped to the range.
    void SetValue(double value);

    // The text exactly as it stands / as typed, unchecked.
    QString Text() const;
    void SetText(const QString& text);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Every change of the text, typed or written by the program.
    void changed();

protected:
    StepEnabled stepEnabled() const override;
    void paintEvent(QPaintEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QSize HintFor(const QString& widest) const;
    // Shows or clears the red frame and tooltip for the text as it stands.
    void ShowMisread();

    SpinValue rules_;
    bool misread_ = false;
};
