// The logger's clock and the daily report time.
#include <gtest/gtest.h>

#include "tools/logger/LoggerClock.h"

using namespace logger;

TEST(LoggerClock, RunsFromTheLastSetTimeAtItsSpeed) {
    int64_t real = 1000;
    LoggerClock clock(60.0, [&] { return real; });
    clock.Set(CalendarTime(2024, 2, 28, 23, 59, 0));
    EXPECT_EQ(clock.Now(), CalendarTime(2024, 2, 28, 23, 59, 0));
    real += 1000;
    EXPECT_EQ(clock.Now(), CalendarTime(2024, 2, 29, 0, 0, 0));
    real += 24 * 60 * 1000;
    EXPECT_EQ(clock.Now(), CalendarTime(2024, 3, 1, 0, 0, 0));
    clock.Set(CalendarTime(2030, 1, 1, 0, 0, 0));
    EXPECT_EQ(clock.Now(), CalendarTime(2030, 1, 1, 0, 0, 0));
    EXPECT_EQ(clock.RealMs(60000), 1000);
    EXPECT_EQ(clock.Speed(), 60.0);
}

TEST(LoggerClock, StartsAtTheComputersTimeAndRejectsABadSpeed) {
    QDateTime before = LocalCalendarNow();
    LoggerClock clock(0.0); // not a speed: real time
    EXPECT_EQ(clock.Speed(), 1.0);
    QDateTime now = clock.Now();
    EXPECT_GE(now, before);
    EXPECT_LE(now, LocalCalendarNow().addSecs(1));
    EXPECT_EQ(LoggerClock(-3).Speed(), 1.0);
}

TEST(LoggerClock, CalendarTimesMustExist) {
    EXPECT_TRUE(CalendarTime(2024, 2, 29, 23, 59, 59).isValid());
    EXPECT_FALSE(CalendarTime(2023, 2, 29, 0, 0, 0).isValid());
    EXPECT_FALSE(CalendarTime(2024, 4, 31, 0, 0, 0).isValid());
    EXPECT_FALSE(CalendarTime(0, 1, 1, 0, 0, 0).isValid());
    EXPECT_FALSE(CalendarTime(2024, 13, 1, 0, 0, 0).isValid());
    EXPECT_FALSE(CalendarTime(2024, 1, 1, 24, 0, 0).isValid());
    EXPECT_FALSE(CalendarTime(2024, 1, 1, 0, 0, 60).isValid());
}

TEST(LoggerClock, DailyTimeIsReachedWhenItLiesInTheInterval) {
    auto t = [](int day, int h, int m, int s = 0) { return CalendarTime(2024, 5, day, h, m, s); };
    struct Case {
        QDateTime after, upTo;
        int hour, minute;
        bool reached;
    };
    const Case cases[] = {
        {t(1, 11, 59), t(1, 12, 0), 12, 0, true}, // the interval's end counts
        {t(1, 12, 0), t(1, 12, 1), 12, 0, false}, // its start does not
        {t(1, 11, 0), t(1, 11, 59, 59), 12, 0, false},
        {t(1, 23, 59), t(2, 0, 1), 0, 0, true},    // across midnight
        {t(1, 13, 0), t(3, 1, 0), 12, 0, true},    // days later
        {t(1, 11, 0), t(1, 13, 0), 24, 0, false},  // no such hour
        {t(1, 11, 0), t(1, 13, 0), 12, 60, false}, // no such minute
        {t(1, 13, 0), t(1, 11, 0), 12, 0, false},  // backwards
        {QDateTime(), t(1, 13, 0), 12, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.after.toString(Qt::ISODate).toStdString() << " .. "
                                        << c.upTo.toString(Qt::ISODate).toStdString() << " @"
                                        << c.hour << ":" << c.minute);
        EXPECT_EQ(DailyTimeReached(c.after, c.upTo, c.hour, c.minute), c.reached);
    }
}
