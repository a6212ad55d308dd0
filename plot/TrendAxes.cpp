#include "plot/TrendAxes.h"

#include <QDate>
#include <algorithm>
#include <array>
#include <cmath>

#include "records/DateTime.h"

namespace {
constexpr double SecondsPerDay = 86400;
// No axis carries more ticks than this, whatever its size.
constexpr int MaxTicks = 200;

// What lies as far between b0 and b1 as v lies between a0 and a1: both axes map so.
double Between(double v, double a0, double a1, double b0, double b1) {
    return b0 + (v - a0) * (b1 - b0) / (a1 - a0);
}

QString TwoDigits(int v) {
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

// 1, 2 or 5 times a power of ten, the smallest not below x (x > 0).
double NiceStep(double x) {
    const double power = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= x * (1 - 1e-12))
            return m * power;
    return 10 * power;
}

// A value in units of k, M or G (or none), with the given decimals.
QString ValueText(double v, double unit, int decimals, const FormatSettings& fs) {
    if (v == 0)
        return QStringLiteral("0");
    const char* suffix = unit >= 1e9 ? "G" : unit >= 1e6 ? "M" : unit >= 1e3 ? "k" : "";
    QString text = QString::number(v / unit, 'f', std::clamp(decimals, 0, 9));
    text.replace(QLatin1Char('.'), fs.decimalSeparator);
    return text + QLatin1String(suffix);
}

// The largest of k, M and G not above v (1 when v is below 1000).
double UnitFor(double v) {
    for (double u : {1e9, 1e6, 1e3})
        if (u <= v)
            return u;
    return 1;
}

// Linear ticks over values lo..hi, at most maxTicks of them. The unit is at most twice the step,
// so a text has at most one decimal (200, 1.5k, 20k, 2.5M) unless the step is below 1.
std::vector<AxisTick> LinearTicks(double lo, double hi, int maxTicks, const FormatSettings& fs) {
    std::vector<AxisTick> ticks;
    if (!(hi > lo) || !std::isfinite(hi - lo))
        return ticks;
    const double step = NiceStep((hi - lo) / std::max(maxTicks, 1));
    const double unit = UnitFor(2 * step);
    const double inUnits = step / unit;
    const int decimals = inUnits < 1 ? static_cast<int>(std::ceil(-std::log10(inUnits) - 1e-9)) : 0;
    for (double k = std::ceil(lo / step); k * step <= hi && ticks.size() < MaxTicks; k += 1) {
        const double v = k * step == 0 ? 0 : k * step; // no "-0"
        ticks.push_back({v, ValueText(v, unit, decimals, fs), {}});
    }
    return ticks;
}

QString ClockText(const dt::DateTimeParts& p, bool seconds, QChar sep) {
    QString text = TwoDigits(p.hour) + sep + TwoDigits(p.minute);
    return seconds ? text + sep + TwoDigits(p.second) : text;
}
} // namespace

double ToScale(TrendScale scale, double v) {
    if (scale == TrendScale::Linear)
        return v;
    return std::copysign(std::log10(1 + std::fabs(v)), v);
}

double FromScale(TrendScale scale, double s) {
    if (scale == TrendScale::Linear)
        return s;
    return std::copysign(std::pow(10.0, std::fabs(s)) - 1, s);
}

double TimeAxis::X(double t) const {
    return Between(t, start, end, left, left + width - 1);
}

double TimeAxis::TimeAt(double x) const {
    return Between(x, left, left + std::max(width - 1, 1), start, end);
}

double ValueAxis::Y(double v) const {
    return Between(ToScale(scale, v), high, low, top, top + height - 1);
}

double ValueAxis::ValueAt(double y) const {
    return FromScale(scale, Between(y, top, top + std::max(height - 1, 1), high, low));
}

ScaledRange AutoRange(TrendScale scale, double lo, double hi) {
    const double a = ToScale(scale, lo);
    const double b = ToScale(scale, hi);
    if (b - a > 1e-9 * std::max(std::fabs(a), std::fabs(b))) {
        const double room = 0.05 * (b - a);
        return {a - room, b + room};
    }
    // One value: a tenth of it (at least 1) around it, or half a decade.
    const double room = scale == TrendScale::Log ? 0.5 : std::max(0.1 * std::fabs(a), 1.0);
    return {a - room, a + room};
}

ScaledRange EmptyRange(TrendScale scale) {
    return {0, ToScale(scale, scale == TrendScale::Log ? 1000 : 1)};
}

std::vector<AxisTick> TimeTicks(const TimeAxis& axis, int minSpacing, const FormatSettings& fs) {
    std::vector<AxisTick> ticks;
    const double span = (axis.end - axis.start) * SecondsPerDay;
    if (!(span > 0) || !std::isfinite(span) || axis.width < 2)
        return ticks;
    const double wanted = span * std::max(minSpacing, 1) / (axis.width - 1); // seconds per tick
    static constexpr std::array<double, 24> Steps{
        1,     2,     5,      10,     15,      30,      60,      120,
        300,   600,   900,    1800,   3600,    7200,    10800,   21600,
        43200, 86400, 172800, 604800, 1209600, 2419200, 7862400, 31449600};
    double step = Steps.back() * std::ceil(wanted / Steps.back());
    for (double s : Steps)
        if (s >= wanted) {
            step = s;
            break;
        }
    const double first = std::ceil(axis.start * SecondsPerDay / step) * step;
    int lastDay = 0;
    bool haveDay = false;
    for (double sec = first; sec <= axis.end * SecondsPerDay && ticks.size() < MaxTicks;
         sec += step) {
        AxisTick tick;
        tick.at = sec / SecondsPerDay;
        if (const Result<dt::DateTimeParts> decoded = dt::TryDecodeDateTime(tick.at); decoded) {
            const dt::DateTimeParts& p = *decoded;
            const QString date = QDate(p.year, p.month, p.day).toString(fs.shortDateFormat);
            const int day = p.year * 400 + p.month * 32 + p.day;
            if (step >= SecondsPerDay) {
                tick.text = date;
            } else {
                tick.text = ClockText(p, step < 60, fs.timeSeparator);
                if (!haveDay || day != lastDay)
                    tick.date = date;
            }
            lastDay = day;
            haveDay = true;
        } else {
            tick.text = QStringLiteral("?");
        }
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

std::vector<AxisTick> ValueTicks(const ValueAxis& axis, int minSpacing, const FormatSettings& fs) {
    const int maxTicks = std::max(2, axis.height / std::max(minSpacing, 1));
    const double lo = FromScale(axis.scale, axis.low);
    const double hi = FromScale(axis.scale, axis.high);
    if (axis.scale == TrendScale::Linear)
        return LinearTicks(lo, hi, maxTicks, fs);
    // Zero and the powers of ten in view, from the bottom up, each kept when it stands far
    // enough from the one kept before it.
    std::vector<double> candidates;
    for (int k = 18; k >= 0; --k)
        candidates.push_back(-std::pow(10.0, k));
    candidates.push_back(0);
    for (int k = 0; k <= 18; ++k)
        candidates.push_back(std::pow(10.0, k));
    std::vector<AxisTick> ticks;
    double lastY = 0;
    for (double v : candidates) {
        if (v < lo || v > hi)
            continue;
        const double y = axis.Y(v);
        if (!ticks.empty() && lastY - y < minSpacing)
            continue;
        ticks.push_back({v, ValueText(v, UnitFor(std::fabs(v)), 0, fs), {}});
        lastY = y;
    }
    if (ticks.size() >= 2)
        return ticks;
    // Less than a decade in view: ordinary steps, placed on the logarithmic line.
    return LinearTicks(lo, hi, std::min(maxTicks, 6), fs);
}
