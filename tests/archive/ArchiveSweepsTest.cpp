// Sweeps in the archive: an archive of the version before them opens and gains their tables, and
// a sweep (a void point, settings, a fit) written by a console that dies comes back whole with the
// restore offer and the history.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "archive/MeasurementArchive.h"
#include "records/MeasRecord.h"
#include "sqlite/Sqlite.h"
#include "support/ArchiveQuery.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

ArchiveOptions Options(const QString& path) {
    ArchiveOptions o;
    o.path = path;
    o.batchMs = 20;
    return o;
}

SweepPoint Point(uint32_t code, double rx, double xx, int second) {
    return {code, 1, 2, 3, rx, xx, QDateTime(QDate(2026, 12, 9), QTime(8, 0, second), Qt::UTC)};
}

} // namespace

TEST(ArchiveSweeps, AnOlderArchiveOpensAndASweepOfADeadConsoleComesBackWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    {
        MeasurementArchive made(Options(path));
        ASSERT_TRUE(made.WaitOpen(30000));
    }
    // As the version before sweeps left it.
    Query(path, "DROP TABLE sweep_point");
    Query(path, "DROP TABLE sweep");
    Query(path, "PRAGMA user_version = 3");

    Sweep sweep;
    sweep.settings = SweepSettings{1000, 5000, 1500, 10, 1, 2, 1, 0};
    sweep.started = QDateTime(QDate(2026, 12, 9), QTime(8, 0, 0), Qt::UTC);
    sweep.points = {Point(1000, 120.5, -30.25, 1), Point(1500, OverflowValue, -20, 2),
                    Point(2250, 110, -10.5, 3)};
    {
        MeasurementArchive archive(Options(path));
        ASSERT_TRUE(archive.WaitOpen(30000));
        EXPECT_EQ(Query(path, "PRAGMA user_version"), QStringList{"4"});
        // Started with its first point, then two more, then ended and fitted.
        Sweep started = sweep;
        started.points.resize(1);
        archive.KeepSweep(0, started);
        archive.KeepSweepPoint(0, 1, sweep.points[1]);
        archive.KeepSweepPoint(0, 2, sweep.points[2]);
        sweep.ended = sweep.points.back().arrival;
        sweep.end = SweepEnd::LastFrequency;
        sweep.fit = CircuitFit{{100, 50, 1e-6, 0.9}, {1, 2, 3e-8, 0.01}, 0.002, 2, 17};
        archive.KeepSweep(0, sweep);
        ASSERT_TRUE(archive.Flush(30000)); // after the sweep's writes
        archive.Abandon();
    }
    EXPECT_EQ(Query(path, "SELECT idx, frequency_hz, board, channel, range, rx, xx FROM "
                          "sweep_point ORDER BY idx"),
              (QStringList{QString("0|%1|2|3|3|120.5|-30.25").arg(SweepFrequencyHz(1000)),
                           QString("1|%1|2|3|3|NULL|-20.0").arg(SweepFrequencyHz(1500)),
                           QString("2|%1|2|3|3|110.0|-10.5").arg(SweepFrequencyHz(2250))}));

    MeasurementArchive next(Options(path));
    ASSERT_TRUE(next.WaitOpen(30000)); // its own session is listed too
    const std::vector<UncleanSession> offered = next.UncleanSessions().value();
    ASSERT_EQ(offered.size(), 1u); // offered for its sweep, with an empty buffer
    EXPECT_EQ(offered[0].items, 0);
    EXPECT_EQ(offered[0].sweeps, 1);
    EXPECT_EQ(next.Sessions().value().at(1).sweeps, 1);
    for (const std::vector<Sweep>& back :
         {next.Restore(offered[0]).value().sweeps, next.LoadSweeps(offered[0].id).value()}) {
        ASSERT_EQ(back.size(), 1u);
        const Sweep& s = back[0];
        EXPECT_EQ(s.settings, sweep.settings);
        EXPECT_EQ(s.started, sweep.started);
        EXPECT_EQ(s.ended, sweep.ended);
        EXPECT_EQ(s.end, SweepEnd::LastFrequency);
        ASSERT_EQ(s.points.size(), 3u);
        for (size_t p = 0; p < 3; ++p) {
            EXPECT_EQ(s.points[p].frequencyCode, sweep.points[p].frequencyCode);
            EXPECT_EQ(s.points[p].board, 1);
            EXPECT_EQ(s.points[p].Void(), p == 1);
            EXPECT_EQ(s.points[p].Xx, sweep.points[p].Xx);
            EXPECT_EQ(s.points[p].arrival, sweep.points[p].arrival);
        }
        ASSERT_TRUE(s.fit);
        EXPECT_EQ(s.fit->params.q, 1e-6);
        EXPECT_EQ(s.fit->errors.n, 0.01);
        EXPECT_EQ(s.fit->residual, 0.002);
        EXPECT_EQ(s.fit->iterations, 17);
    }
    EXPECT_TRUE(next.UncleanSessions().value().empty());
}
