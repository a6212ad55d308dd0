#include "records/DateTime.h"

#include <cmath>
#include <cstdint>

#include "base/ValueOrFailure.h"

namespace dt {

namespace {

constexpr int64_t MSecsPerDay = 86400000;
// Day numbers of 1 January 0001 and 31 December 9999 in this count.
constexpr int64_t FirstDay = -693593;
constexpr int64_t LastDay = 2958465;
// Days from 1 January 1970 to 30 December 1899.
constexpr int64_t EpochShift = 25569;

// Proleptic Gregorian calendar to a day count from 1 January 1970 and back (H. Hinnant's
// era-based formulas, exact for every year).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

tl::unexpected<Error> DecodeError() {
    return Fail(QStringLiteral("Invalid argument to date decode"));
}

// Whole day number of a value and its time of day in milliseconds, rounded.
Result<int64_t> SplitValue(double value, int64_t& msOfDay) {
    // Checked before any conversion to an integer, which would be undefined out of range.
    if (!std::isfinite(value) || value <= double(FirstDay - 1) || value >= double(LastDay + 1))
        return DecodeError();
    const double whole = std::trunc(value);
    int64_t day = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(value - whole) * double(MSecsPerDay));
    if (ms >= MSecsPerDay) {
        // 23:59:59.9996 rounds up to the next calendar day's midnight.
        ms -= MSecsPerDay;
        ++day;
    }
    if (day < FirstDay || day > LastDay)
        return DecodeError();
    msOfDay = ms;
    return day;
}

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int msec) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           msec >= 0 && msec < 1000;
}

Result<double> TryEncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day))
        return Fail(QStringLiteral("Invalid argument to date encode"));
    return static_cast<double>(DaysFromCivil(year, month, day) + EpochShift);
}

Result<double> TryEncodeTime(int hour, int minute, int second, int msec) {
    if (!IsValidTime(hour, minute, second, msec))
        return Fail(QStringLiteral("Invalid argument to time encode"));
    const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
    return static_cast<double>(ms) / double(MSecsPerDay);
}

double EncodeDate(int year, int month, int day) {
    return ValueOrFailure(TryEncodeDate(year, month, day));
}

double EncodeTime(int hour, int minute, int second, int msec) {
    return ValueOrFailure(TryEncodeTime(hour, minute, second, msec));
}

double ComposeDateTime(double date, double time) {
    return date < 0 ? date - time : date + time;
}

Result<DateTimeParts> TryDecodeDateTime(double value) {
    int64_t ms = 0;
    const Result<int64_t> split = SplitValue(value, ms);
    if (!split)
        return tl::unexpected(split.error());
    const int64_t day = *split;
    DateTimeParts p;
    CivilFromDays(day - EpochShift, p.year, p.month, p.day);
    p.msec = static_cast<int>(ms % 1000);
    ms /= 1000;
    p.second = static_cast<int>(ms % 60);
    ms /= 60;
    p.minute = static_cast<int>(ms % 60);
    p.hour = static_cast<int>(ms / 60);
    return p;
}

DateTimeParts DecodeDateTime(double value) {
    return ValueOrFailure(TryDecodeDateTime(value));
}

int DayOfWeek(double value) {
    int64_t ms = 0;
    const int64_t day = ValueOrFailure(SplitValue(value, ms));
    // Day 0, 30 December 1899, was a Saturday.
    return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

int DayOfWeek(int year, int month, int day) {
    return DayOfWeek(EncodeDate(year, month, day));
}

QDateTime ToQDateTime(double value) {
    const DateTimeParts p = DecodeDateTime(value);
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second, p.msec));
}

double FromQDateTime(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    // Date first, so that a value bad in both reports the date.
    const double date = EncodeDate(d.year(), d.month(), d.day());
    return ComposeDateTime(date, EncodeTime(t.hour(), t.minute(), t.second(), t.msec()));
}

} // namespace dt
