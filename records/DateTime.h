#pragma once
// Date-time values as the logger's records and the spreadsheet carry them: a double counting days
// since 30 December 1899, its fraction the time of day. Days before that date are negative, the
// fraction still counting forward from midnight (-1.25 is 29 December 1899, 06:00).
#include <QDateTime>

#include "base/Result.h"

namespace dt {

struct DateTimeParts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

bool IsLeapYear(int year);
// Days of the month, 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Year 1..9999, month 1..12, a day the month has.
bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int msec = 0);

// Fail with "Invalid argument to date encode" / "Invalid argument to time encode": the Try
// forms return it, for the code below the handlers that reads fields from a file; the plain
// forms throw it, for the link, whose handler shows a device date that cannot be, and for
// fields valid by construction.
Result<double> TryEncodeDate(int year, int month, int day);
Result<double> TryEncodeTime(int hour, int minute, int second, int msec = 0);
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int msec = 0);
// A date plus a time of day, right also for dates before 30 December 1899.
double ComposeDateTime(double date, double time);

// Splits a value into its fields, rounded to the nearest millisecond so that a value made from
// whole seconds always reads back as those seconds. Fails with "Invalid argument to date
// decode" for a value outside the years 1..9999 or not a number: the Try form returns it, for a
// value read from a record or a file; the plain form throws it, for values valid by
// construction.
Result<DateTimeParts> TryDecodeDateTime(double value);
DateTimeParts DecodeDateTime(double value);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(double value);
int DayOfWeek(int year, int month, int day);

// Local wall-clock fields both ways; no time zone arithmetic.
QDateTime ToQDateTime(double value);
double FromQDateTime(const QDateTime& value);

} // namespace dt
