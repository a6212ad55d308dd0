// Date-time values: days since 30 December 1899, the fraction the time of day.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "records/DateTime.h"
#include "tests/link/LinkTestUtil.h"

using namespace dt;

namespace {

// Julian day of 30 December 1899: an oracle independent of the code under test.
constexpr qint64 EpochJulianDay = 2415019;

} // namespace

TEST(DateTime, EncodeDateMatchesTheCalendarAcrossTheYears1To9999) {
    const qint64 first = QDate(1, 1, 1).toJulianDay();
    const qint64 last = QDate(9999, 12, 31).toJulianDay();
    const qint64 denseFrom = QDate(1890, 1, 1).toJulianDay();
    const qint64 denseTo = QDate(2110, 1, 1).toJulianDay();
    // Every day of the years in use, every 13th day (all weekdays and month days) elsewhere.
    for (qint64 jd = first; jd <= last; jd += (jd >= denseFrom && jd < denseTo) ? 1 : 13) {
        const QDate q = QDate::fromJulianDay(jd);
        const double value = EncodeDate(q.year(), q.month(), q.day());
        ASSERT_EQ(value, double(jd - EpochJulianDay)) << q.toString(Qt::ISODate).toStdString();
        const DateTimeParts p = DecodeDateTime(value);
        ASSERT_EQ(p.year, q.year());
        ASSERT_EQ(p.month, q.month());
        ASSERT_EQ(p.day, q.day());
        // Qt counts Monday as 1, the console Sunday.
        ASSERT_EQ(DayOfWeek(value), q.dayOfWeek() % 7 + 1);
    }
    EXPECT_EQ(DecodeDateTime(EncodeDate(9999, 12, 31)).day, 31);
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(2024, 12, 24), 45650.0);
    EXPECT_EQ(DayOfWeek(0.0), 7);
    EXPECT_EQ(DayOfWeek(2024, 12, 24), 3);
    EXPECT_EQ(DayOfWeek(2025, 2, 1), 7);
}

TEST(DateTime, ImpossibleDatesAndTimesFailWithTheirTexts) {
    const QString date = "Invalid argument to date encode";
    EXPECT_EQ(FailureText([] { EncodeDate(2023, 2, 29); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(1900, 2, 29); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(2024, 4, 31); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(2024, 0, 1); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(2024, 13, 1); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(2024, 1, 0); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(0, 1, 1); }), date);
    EXPECT_EQ(FailureText([] { EncodeDate(10000, 1, 1); }), date);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));

    const QString time = "Invalid argument to time encode";
    EXPECT_EQ(FailureText([] { EncodeTime(24, 0, 0); }), time);
    EXPECT_EQ(FailureText([] { EncodeTime(0, 60, 0); }), time);
    EXPECT_EQ(FailureText([] { EncodeTime(0, 0, 60); }), time);
    EXPECT_EQ(FailureText([] { EncodeTime(0, 0, 0, 1000); }), time);
    EXPECT_EQ(FailureText([] { EncodeTime(-1, 0, 0); }), time);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0), 0.25);

    EXPECT_TRUE(IsValidDate(9999, 12, 31));
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_TRUE(IsValidTime(23, 59, 59, 999));
    EXPECT_FALSE(IsValidTime(23, 59, 59, 1000));
}

TEST(DateTime, EverySecondOfADayReadsBackExactly) {
    for (int year : {1, 1899, 2024, 9999}) {
        const double date = EncodeDate(year, year == 1899 ? 12 : 2, year == 1899 ? 29 : 7);
        for (int s = 0; s < 86400; ++s) {
            const double value = ComposeDateTime(date, EncodeTime(s / 3600, s / 60 % 60, s % 60));
            const DateTimeParts p = DecodeDateTime(value);
            ASSERT_EQ(p.hour * 3600 + p.minute * 60 + p.second, s) << year;
            ASSERT_EQ(p.msec, 0) << year << " " << s;
            ASSERT_EQ(p.day, year == 1899 ? 29 : 7);
        }
    }
}

TEST(DateTime, ValuesJustBesideASecondRoundToIt) {
    const double t = EncodeDate(2024, 2, 7) + 35903.0 / 86400.0; // 09:58:23
    for (double off : {0.0, -1e-9, 1e-9, -4e-9}) {
        const DateTimeParts p = DecodeDateTime(t + off);
        EXPECT_EQ(p.hour, 9);
        EXPECT_EQ(p.minute, 58);
        EXPECT_EQ(p.second, 23) << off;
        EXPECT_EQ(p.msec, 0) << off;
    }
    // The last half millisecond of a day belongs to the next day's midnight.
    const DateTimeParts p = DecodeDateTime(EncodeDate(2024, 12, 31) + (86400000 - 0.4) / 86400000);
    EXPECT_EQ(p.year, 2025);
    EXPECT_EQ(p.month, 1);
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.hour, 0);
    EXPECT_EQ(p.msec, 0);
}

TEST(DateTime, DaysBeforeTheEpochCountTheirTimeForward) {
    EXPECT_DOUBLE_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0)), -1.25);
    const DateTimeParts p = DecodeDateTime(-1.25);
    EXPECT_EQ(p.year, 1899);
    EXPECT_EQ(p.month, 12);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
    EXPECT_EQ(DayOfWeek(-1.25), 6);
    // Near the end of 29 December the value nears -2 yet stays on the 29th.
    const DateTimeParts late = DecodeDateTime(-1.9999);
    EXPECT_EQ(late.day, 29);
    EXPECT_EQ(late.hour, 23);
}

TEST(DateTime, ValuesOutsideTheCalendarFailInsteadOfMisbehaving) {
    const QString text = "Invalid argument to date decode";
    for (double v :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1e300,
          1e300, 2958466.0, -693594.5}) {
        EXPECT_EQ(FailureText([v] { DecodeDateTime(v); }), text) << v;
        EXPECT_EQ(FailureText([v] { DayOfWeek(v); }), text) << v;
    }
    EXPECT_EQ(DecodeDateTime(2958465.5).year, 9999);
    EXPECT_EQ(DecodeDateTime(-693593.0).year, 1);
}

TEST(DateTime, QDateTimeBothWays) {
    const QDateTime q(QDate(2024, 12, 24), QTime(15, 30, 0, 250));
    const double v = FromQDateTime(q);
    EXPECT_NEAR(v, 45650 + (15.5 * 3600 + 0.25) / 86400, 1e-10);
    EXPECT_EQ(ToQDateTime(v), q);
    EXPECT_EQ(FailureText([] { FromQDateTime(QDateTime()); }), "Invalid argument to date encode");
}
