// The year of the records: the local clock's, read again as soon as the clock leaves the year.
#include <QDateTime>
#include <QScopeGuard>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

#include "records/LocalYear.h"

namespace {

qint64 testNow = 0;
qint64 TestClock() {
    return testNow;
}

// Milliseconds since 1970 of a local wall-clock time.
qint64 Local(int y, int mo, int d, int h, int mi, int s, int ms) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms)).toMSecsSinceEpoch();
}

} // namespace

TEST(LocalYear, TheYearTurnsAtLocalMidnightOfNewYearAndBackWhenTheClockIsSetBack) {
    // Fourteen hours east of UTC: a year taken from UTC would turn fourteen hours late.
    const QByteArray oldTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "XST-14");
    tzset();
    const auto restore = qScopeGuard([&] {
        if (hadTz)
            qputenv("TZ", oldTz);
        else
            qunsetenv("TZ");
        tzset();
    });

    LocalYear year(&TestClock);
    const struct {
        qint64 now;
        int year;
    } steps[] = {
        {Local(2025, 6, 1, 12, 0, 0, 0), 2025},
        {Local(2025, 12, 31, 23, 59, 59, 999), 2025},
        // A millisecond later: the first item of the new year.
        {Local(2026, 1, 1, 0, 0, 0, 0), 2026},
        {Local(2026, 1, 1, 0, 0, 0, 400), 2026},
        // The operator sets the clock back into the old year.
        {Local(2025, 12, 31, 23, 59, 59, 900), 2025},
        {Local(2025, 12, 31, 23, 59, 59, 950), 2025},
        {Local(2030, 3, 4, 5, 6, 7, 8), 2030},
        {Local(2030, 12, 31, 23, 59, 59, 999), 2030},
        {Local(2031, 1, 1, 0, 0, 0, 0), 2031},
    };
    for (const auto& step : steps) {
        testNow = step.now;
        EXPECT_EQ(year.Current(), step.year)
            << QDateTime::fromMSecsSinceEpoch(step.now).toString(Qt::ISODateWithMs).toStdString();
    }
    // The UTC instant of local New Year 2026 is still 2025 in UTC.
    EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(Local(2026, 1, 1, 0, 0, 0, 0)).toUTC().date().year(),
              2025);

    // By default the system's clock.
    LocalYear system;
    EXPECT_EQ(system.Current(), QDate::currentDate().year());
}
