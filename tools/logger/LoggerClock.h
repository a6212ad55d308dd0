#pragma once
// The logger's own clock: a plain calendar date and time with no time zone, as a battery clock
// keeps it. It runs from the last time it was set (at first, the computer's local time) at real
// speed times a factor, so a demo can live through a day in minutes.
#include <cstdint>
#include <functional>

#include <QDateTime>

namespace logger {

class LoggerClock {
public:
    // Milliseconds of a steady real-time source; tests hand in one of their own.
    using Monotonic = std::function<int64_t()>;

    explicit LoggerClock(double speed = 1.0, Monotonic monotonic = {});

    // The logger's date and time; it is kept in UTC only so that no daylight-saving rule
    // ever bends the calendar arithmetic.
    QDateTime Now() const;
    void Set(const QDateTime& time);
    double Speed() const { return speed_; }
    // Real milliseconds in which the clock advances by the given logger milliseconds.
    int64_t RealMs(int64_t loggerMs) const;

private:
    double speed_;
    Monotonic monotonic_;
    QDateTime base_;
    int64_t baseReal_ = 0;
};

// The computer's local date and time as a plain calendar value.
QDateTime LocalCalendarNow();
// A plain calendar value from its parts; invalid when the date or the time does not exist.
QDateTime CalendarTime(int year, int month, int day, int hour, int minute, int second);
// Whether hour:minute of some day lies in the interval (after, upTo]. An hour above 23 or a
// minute above 59 is never reached.
bool DailyTimeReached(const QDateTime& after, const QDateTime& upTo, int hour, int minute);

} // namespace logger
