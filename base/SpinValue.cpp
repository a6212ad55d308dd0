#include "base/SpinValue.h"

#include "base/Rounding.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kIntMin = std::numeric_limits<int32_t>::min();
constexpr double kIntMax = std::numeric_limits<int32_t>::max();
constexpr int kMaxDecimals = 15;

} // namespace

SpinValue::SpinValue(double minValue, double maxValue, double increment, int decimals)
    : min_(minValue), max_(maxValue), increment_(increment) {
    SetDecimals(decimals);
}

SpinValue SpinValue::Integer(double minValue, double maxValue, double increment) {
    return SpinValue(minValue, maxValue, increment, 0);
}

SpinValue SpinValue::Fraction(double minValue, double maxValue, double increment) {
    return SpinValue(minValue, maxValue, increment, 2);
}

void SpinValue::SetDecimals(int decimals) {
    decimals_ = std::clamp(decimals, 0, kMaxDecimals);
}

std::optional<double> SpinValue::ParseNumber(const QString& text) const {
    QString t = text.trimmed();
    if (separator_ != '.')
        t.replace(separator_, '.');
    // Plain decimal notation with an optional exponent; no group separators, no "inf"/"nan".
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!number.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double SpinValue::Clamp(double value) const {
    if (!HasLimits())
        return value;
    return std::clamp(value, std::min(min_, max_), std::max(min_, max_));
}

double SpinValue::Value(const QString& text) const {
    const std::optional<double> n = ParseNumber(text);
    double v = n ? Clamp(*n) : min_;
    if (IsInteger())
        v = std::clamp(v, kIntMin, kIntMax);
    return v;
}

int64_t SpinValue::RoundedValue(const QString& text) const {
    return Round(std::clamp(Value(text), kIntMin, kIntMax));
}

double SpinValue::Fit(double value) const {
    if (std::isnan(value))
        value = min_;
    if (IsInteger())
        value = static_cast<double>(Round(std::clamp(value, kIntMin, kIntMax)));
    value = Clamp(value);
    if (!std::isfinite(value))
        value = Clamp(min_);
    // A fraction control holds what its text shows.
    if (!IsInteger())
        value = QString::asprintf("%.*f", decimals_, value).toDouble();
    return value == 0 ? 0 : value; // no negative zero
}

QString SpinValue::Text(double value) const {
    const double v = Fit(value);
    if (IsInteger())
        return QString::number(static_cast<qint64>(v));
    return QString::asprintf("%.*f", decimals_, v);
}

std::optional<QString> SpinValue::Misread(const QString& text) const {
    const std::optional<double> n = ParseNumber(text);
    const double v = Value(text);
    if (n && *n == v && (!IsInteger() || v == std::nearbyint(v)))
        return std::nullopt;
    return Text(v);
}

QString SpinValue::Stepped(const QString& text, int steps) const {
    return Text(Value(text) + steps * increment_);
}

bool SpinValue::CanStepUp(const QString& text) const {
    return !HasLimits() || Value(text) < std::max(min_, max_);
}

bool SpinValue::CanStepDown(const QString& text) const {
    return !HasLimits() || Value(text) > std::min(min_, max_);
}
