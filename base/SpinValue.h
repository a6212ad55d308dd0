#pragma once
// The rules of a spin edit, kept apart from the widget so that the console's logic (and its
// tests) can read and write spin edit texts without a display.
//
// A spin edit holds free text. Reading it gives a number:
//   - surrounding blanks are ignored; a decimal point may be written as '.' or as the
//     operator's decimal separator (SetDecimalSeparator, from FormatSettings);
//   - a text that is not a finite number (empty, letters, "1,000.5", "nan") reads as MinValue
//     (0 where none is set);
//   - a number outside the range reads as the nearest limit, so a handler never sees a value
//     the control does not permit, whether or not the operator has left the field yet (a
//     button pressed from a script does not take the focus);
//   - an integer control (Decimals 0) reads fractions as typed, so the handlers round them
//     as the link rounds; its value never leaves the 32-bit integer range, which keeps every
//     later Round() defined.
// Writing a number (Fit/Text) rounds it half to even when the control holds integers, then
// clamps it to the range. MinValue = MaxValue means no limits (both 0 in practice).
// Written texts always use '.' as the decimal point: fraction controls show Decimals places
// ("0.10"), integer controls show whole numbers ("1000").
#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>

class SpinValue {
public:
    SpinValue() = default;
    SpinValue(double minValue, double maxValue, double increment = 1, int decimals = 0);

    // An integer control, and one holding fractions shown with two decimals.
    static SpinValue Integer(double minValue, double maxValue, double increment = 1);
    static SpinValue Fraction(double minValue, double maxValue, double increment = 0.1);

    double MinValue() const { return min_; }
    double MaxValue() const { return max_; }
    double Increment() const { return increment_; }
    int Decimals() const { return decimals_; }
    QChar DecimalSeparator() const { return separator_; }
    void SetMinValue(double v) { min_ = v; }
    void SetMaxValue(double v) { max_ = v; }
    void SetIncrement(double v) { increment_ = v; }
    void SetDecimals(int decimals);
    // The separator accepted besides '.' when reading.
    void SetDecimalSeparator(QChar separator) { separator_ = separator; }

    bool IsInteger() const { return decimals_ == 0; }
    bool HasLimits() const { return min_ != max_; }

    // The finite number a text holds, if any (blanks around it ignored).
    std::optional<double> ParseNumber(const QString& text) const;
    // The number the control holds for this text (rules above).
    double Value(const QString& text) const;
    // Value rounded half to even; always within the 32-bit integer range.
    int64_t RoundedValue(const QString& text) const;

    // The number a write stores: rounded half to even for integer controls, clamped to the
    // range, and for fraction controls rounded to the decimals shown. A value that is not a
    // number stores MinValue.
    double Fit(double value) const;
    // The text a write shows.
    QString Text(double value) const;
    // The text after stepping `steps` increments from what the text holds, within the range.
    QString Stepped(const QString& text, int steps) const;

    // The text the control would show for what this text reads as, when the text does not read
    // as the number it spells (no number, outside the range, a fraction where the control holds
    // integers and the handlers round); nothing when it reads as itself.
    std::optional<QString> Misread(const QString& text) const;

    // True when a step up (down) from this text would change the value.
    bool CanStepUp(const QString& text) const;
    bool CanStepDown(const QString& text) const;

private:
    double Clamp(double value) const;

    double min_ = 0;
    double max_ = 0;
    double increment_ = 1;
    int decimals_ = 0;
    QChar separator_{'.'};
};
