#include "widgets/SpinEdit.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSpinBox>

SpinEdit::SpinEdit(QWidget* parent) : SpinEdit(SpinValue(), 0, parent) {}

SpinEdit::SpinEdit(const SpinValue& rules, double value, QWidget* parent)
    : QAbstractSpinBox(parent), rules_(rules) {
    setWrapping(false);
    setAccelerated(false);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] {
        ShowMisread();
        emit changed();
    });
    SetValue(value);
}

void SpinEdit::SetRules(const SpinValue& rules) {
    rules_ = rules;
    ShowMisread();
    updateGeometry();
    update();
}

void SpinEdit::SetDecimalSeparator(QChar separator) {
    rules_.SetDecimalSeparator(separator);
    ShowMisread();
}

void SpinEdit::ShowMisread() {
    const std::optional<QString> shown = rules_.Misread(Text());
    setToolTip(shown ? QStringLiteral("reads as ") + *shown : QString());
    if (misread_ != shown.has_value()) {
        misread_ = shown.has_value();
        update();
    }
}

void SpinEdit::paintEvent(QPaintEvent* event) {
    QAbstractSpinBox::paintEvent(event);
    if (!misread_)
        return;
    QPainter painter(this);
    painter.setPen(QPen(Qt::red, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

double SpinEdit::Value() const {
    return rules_.Value(Text());
}

int64_t SpinEdit::RoundedValue() const {
    return rules_.RoundedValue(Text());
}

void SpinEdit::SetValue(double value) {
    SetText(rules_.Text(value));
}

QString SpinEdit::Text() const {
    return lineEdit()->text();
}

void SpinEdit::SetText(const QString& text) {
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps) {
    if (steps == 0 || isReadOnly())
        return;
    SetText(rules_.Stepped(Text(), steps));
    lineEdit()->selectAll();
}

QValidator::State SpinEdit::validate(QString&, int&) const {
    // Any text may be typed; what it reads as is decided when it is read.
    return QValidator::Acceptable;
}

void SpinEdit::fixup(QString&) const {}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    StepEnabled e = StepNone;
    if (rules_.CanStepUp(Text()))
        e |= StepUpEnabled;
    if (rules_.CanStepDown(Text()))
        e |= StepDownEnabled;
    return e;
}

void SpinEdit::focusOutEvent(QFocusEvent* event) {
    // On leaving, a number is shown as the control holds it; other text is left for the
    // operator to see (it reads as MinValue).
    if (rules_.ParseNumber(Text()))
        SetValue(Value());
    QAbstractSpinBox::focusOutEvent(event);
}

QSize SpinEdit::HintFor(const QString& widest) const {
    ensurePolished();
    const QFontMetrics fm(fontMetrics());
    const int w = fm.horizontalAdvance(widest + QLatin1Char(' ')) + 2;
    const int h = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, QSize(w, h), this);
}

QSize SpinEdit::sizeHint() const {
    QString widest = QStringLiteral("00000");
    if (rules_.HasLimits()) {
        for (double v : {rules_.MinValue(), rules_.MaxValue()}) {
            const QString t = rules_.Text(v);
            if (t.size() > widest.size())
                widest = t;
        }
    } else {
        widest = QStringLiteral("0000000");
    }
    return HintFor(widest);
}

QSize SpinEdit::minimumSizeHint() const {
    return HintFor(QStringLiteral("000"));
}
