#include "tools/logger/LoggerClock.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <QTimeZone>

#include "records/DateTime.h"

namespace logger {

namespace {

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

LoggerClock::LoggerClock(double speed, Monotonic monotonic)
    : speed_(speed > 0 && std::isfinite(speed) ? speed : 1.0),
      monotonic_(monotonic ? std::move(monotonic) : Monotonic(SteadyMs)) {
    Set(LocalCalendarNow());
}

QDateTime LoggerClock::Now() const {
    double elapsed = static_cast<double>(monotonic_() - baseReal_) * speed_;
    return base_.addMSecs(static_cast<qint64>(std::llround(elapsed)));
}

void LoggerClock::Set(const QDateTime& time) {
    base_ = time;
    baseReal_ = monotonic_();
}

int64_t LoggerClock::RealMs(int64_t loggerMs) const {
    return static_cast<int64_t>(std::llround(static_cast<double>(loggerMs) / speed_));
}

QDateTime LocalCalendarNow() {
    QDateTime local = QDateTime::currentDateTime();
    QTime t = local.time();
    // Whole seconds: the logger's clock has no finer resolution.
    return QDateTime(local.date(), QTime(t.hour(), t.minute(), t.second()), QTimeZone::utc());
}

QDateTime CalendarTime(int year, int month, int day, int hour, int minute, int second) {
    if (!dt::IsValidDate(year, month, day) || !dt::IsValidTime(hour, minute, second))
        return {};
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

bool DailyTimeReached(const QDateTime& after, const QDateTime& upTo, int hour, int minute) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || !after.isValid() || !upTo.isValid() ||
        upTo <= after)
        return false;
    QDateTime next(after.date(), QTime(hour, minute), after.timeZone());
    if (next <= after)
        next = next.addDays(1);
    return next <= upTo;
}

} // namespace logger
