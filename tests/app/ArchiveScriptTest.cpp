// The console's measurement archive end to end: the real console against the logger emulator,
// writing a real SQLite file that the test reads back with SQL.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

#include "support/ArchiveQuery.h"
#include "support/ReportPort.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QStringList Lines(const QString& out, const QString& prefix) {
    return out.split('\n').filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
}

} // namespace

TEST(ConsoleWithArchive, TheSameItemsLiveByDownloadAndByReportAreOneMeasurementEach) {
    ConsoleSandbox console;
    LoggerProcess logger;
    ASSERT_TRUE(StartWithReportPort(console, logger, {"--period-ms", "200"}));
    const ConsoleResult r = console.Run(R"(click RunServerBtn
set Ch5SelChck 1
click SetMaskBtn
click FormatBtn
click EnableBtn
wait 1200
click DisableBtn
wait 300
print PoolItemsTx
click GetSizeBtn
set FromValEd 1
set AmountValEd 100000
click DwnBtn
wait 1500
print SizeTx
click GPRSforceBtn
wait 2000
print PoolItemsTx
click StopServerBtn
print ArchiveTx
)");
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString path = console.ArchiveFile();
    EXPECT_EQ(r.Printed("ArchiveTx"), "Archive: " + path);
    const QStringList counts = Lines(r.out, "PoolItemsTx=");
    ASSERT_EQ(counts.size(), 2);
    const int live = counts[0].mid(12).toInt();
    const int size = r.Printed("SizeTx").toInt();
    ASSERT_GT(live, 0);
    ASSERT_GE(size, live);
    EXPECT_EQ(counts[1].mid(12).toInt(), live + 2 * size); // every item downloaded and reported

    // One row per measurement, each with its counter, though the report carried none.
    EXPECT_EQ(
        Query(path, "SELECT count(*), count(DISTINCT counter), min(counter), max(counter), "
                    "sum(live), sum(download), sum(report), sum(arrivals) FROM measurement"),
        QStringList{QString("%1|%1|1|%1|%2|%1|%1|%3").arg(size).arg(live).arg(live + 2 * size)});
    EXPECT_EQ(Query(path, "SELECT DISTINCT board, channel FROM measurement"), QStringList{"1|5"});
    EXPECT_EQ(Query(path, "SELECT count(*) FROM measurement WHERE live > 1 OR download <> 1 OR "
                          "report <> 1 OR logger_time NOT GLOB '[0-9][0-9][0-9][0-9]-*T*'"),
              QStringList{"0"});
    EXPECT_EQ(Query(path, "SELECT source, count(*), count(counter) FROM arrival_text "
                          "GROUP BY source ORDER BY source"),
              QStringList({QString("download|%1|%1").arg(size), QString("live|%1|%1").arg(live),
                           QString("report|%1|0").arg(size)}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM arrival_text WHERE received_at NOT GLOB "
                          "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T*Z'"),
              QStringList{"0"});
    EXPECT_EQ(Query(path, "SELECT clean_end, ended_at >= started_at, console_version, port, peer, "
                          "live, download, report, restored FROM session"),
              QStringList{QString("1|1|3.2|COM2|127.0.0.1|%1|%2|%2|0").arg(live).arg(size)});
}

TEST(ConsoleWithArchive, AConsoleKilledInADownloadOffersExactlyTheItemsItShowed) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    // A pause inside every answer makes the download take seconds.
    ASSERT_TRUE(
        logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "400", "--pause-ms", "100"}));
    console.Start(R"(set Ch1SelChck 1
set Ch2SelChck 1
click SetMaskBtn
click FormatBtn
click EnableBtn
wait 3000
click DisableBtn
wait 500
print PoolItemsTx
click ClearBufBtn
click GetSizeBtn
wait 500
print SizeTx
set FromValEd 1
set AmountValEd 100000
click DwnBtn
wait 1000
print DwnProgressTx
wait 6000
print BufGrid
print ArchiveTx
wait 60000
)");
    // The line falls silent in the middle of the download; what arrived is on the disk well
    // within the 6 seconds before the table is printed (a loaded machine may take a few of them
    // to see the progress line and freeze the logger).
    ASSERT_TRUE(console.WaitForOutput("DwnProgressTx="));
    logger.Freeze();
    ASSERT_TRUE(console.WaitForOutput("ArchiveTx="));
    const QString before = console.Kill();
    logger.Thaw();
    const QStringList shown = Lines(before, "BufGrid[");
    const int items = shown.size() - 1;
    ASSERT_GT(items, 0) << before.toStdString();
    const int live = Lines(before, "PoolItemsTx=").value(0).mid(12).toInt();
    ASSERT_GT(live, 0);

    const int size = Lines(before, "SizeTx=").value(0).mid(7).toInt();
    ASSERT_GT(size, items);

    // The logger goes on sending into the new console (what it sent meanwhile may be lost):
    // the restored download counts it, shows what is missing and asks for exactly that.
    const ConsoleResult r = console.Run(R"(answer yes
print BufGrid
wait 6000
print DwnProgressTx
print DwnMissingTx
click DwnMissingBtn
wait 4000
print DwnProgressTx
print DwnMissingTx
print BufGrid
print PoolItemsTx
click HistoryBtn
print SessionLst
set SessionLst 1
click LoadBtn
print PoolItemsTx
)");
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList dialogs = Lines(r.out, "dialog: Restore measurements: ");
    ASSERT_EQ(dialogs.size(), 1) << before.toStdString() << r.out.toStdString();
    EXPECT_TRUE(dialogs[0].contains(QString("Its buffer held %1 items").arg(items)))
        << dialogs[0].toStdString();
    const QStringList tables = Lines(r.out, "BufGrid[");
    EXPECT_EQ(tables.mid(0, items + 1), shown); // restored first, as the killed one showed them
    const QStringList progress = Lines(r.out, "DwnProgressTx=");
    const QStringList missing = Lines(r.out, "DwnMissingTx=");
    ASSERT_EQ(progress.size(), 2);
    ASSERT_EQ(missing.size(), 2);
    const QRegularExpressionMatch arrived =
        QRegularExpression(QString("^DwnProgressTx=(\\d+) of %1 arrived$").arg(size))
            .match(progress[0]);
    ASSERT_TRUE(arrived.hasMatch()) << progress[0].toStdString();
    const int gap = size - arrived.captured(1).toInt();
    EXPECT_EQ(missing[0], gap == 0 ? QString("DwnMissingTx=None missing")
                                   : QString("DwnMissingTx=Missing %1: ").arg(gap) +
                                         missing[0].section(": ", 1))
        << missing[0].toStdString();
    EXPECT_EQ(progress[1], QString("DwnProgressTx=%1 of %1 arrived").arg(size));
    EXPECT_EQ(missing[1], "DwnMissingTx=None missing");
    // Every item once, in the buffer of the second table.
    const QStringList filled = tables.mid(tables.lastIndexOf(shown[0]));
    ASSERT_EQ(filled.size(), size + 1);
    QList<int> counters;
    for (const QString& row : filled.mid(1))
        counters << row.section('=', 1).section('|', 1, 1).toInt();
    std::sort(counters.begin(), counters.end());
    for (int k = 0; k < size; ++k)
        EXPECT_EQ(counters.value(k), k + 1);

    const int pool = Lines(r.out, "PoolItemsTx=").value(0).mid(12).toInt();
    EXPECT_EQ(pool, size);
    const QStringList sessions = Lines(r.out, "SessionLst[");
    ASSERT_EQ(sessions.size(), 2);
    EXPECT_TRUE(
        sessions[0].contains(QString(" - running: live 0, download %1, report 0, restored %2;")
                                 .arg(size - items)
                                 .arg(items)))
        << sessions[0].toStdString();
    // Answers still on the line after "Disable" arrive as live ones after "Clear".
    const QRegularExpressionMatch killed =
        QRegularExpression(" - no clean end: live (\\d+), download (\\d+), report 0, restored 0;")
            .match(sessions[1]);
    ASSERT_TRUE(killed.hasMatch()) << sessions[1].toStdString();
    EXPECT_GT(killed.captured(2).toInt(), 0);
    EXPECT_EQ(killed.captured(1).toInt() + killed.captured(2).toInt(), live + items);
    // The whole of the killed session, loaded after the buffer.
    EXPECT_EQ(Lines(r.out, "PoolItemsTx=").value(1),
              QString("PoolItemsTx=%1").arg(size + live + items));
    EXPECT_EQ(Query(console.ArchiveFile(), "SELECT id, clean_end, restore_asked, restored FROM "
                                           "session ORDER BY id"),
              QStringList({"1|0|1|0", QString("2|1|0|%1").arg(2 * items + live)}));
}

TEST(ConsoleWithArchive, AnArchiveThatCannotBeWrittenIsNamedAndMeasuringGoesOn) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "200"}));
    // The label follows the archive twice a second.
    const QString script = kMeasureTwoChannels + "wait 1000\nprint PoolItemsTx\nprint ArchiveTx\n";
    console.SetArgs({"--archive", "/proc/impix/archive.sqlite"});
    ConsoleResult r = console.Run(script);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const int items = r.Printed("PoolItemsTx").toInt();
    EXPECT_GT(items, 0);
    EXPECT_EQ(r.Printed("ArchiveTx"),
              QString("Archive: not written: cannot create folder /proc/impix: No such file or "
                      "directory (%1 not archived)")
                  .arg(items));

    console.SetArgs({"--no-archive"});
    r = console.Run(script);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_GT(r.Printed("PoolItemsTx").toInt(), 0);
    EXPECT_EQ(r.Printed("ArchiveTx"), "Archive: off");
    EXPECT_FALSE(QFileInfo::exists(console.DataFolder()));
}

// The ways a console ends without being closed: a signal (the queue is written and the session
// marked), a kill after its WAL was removed (the archive started anew from the buffer), a kill
// and then a damaged end of the file (moved aside, told, and read from there). Each time the next
// console asks about what the buffer held.
TEST(ConsoleWithArchive, EveryWayOfEndingUnclosedIsOfferedWithWhatTheBufferHeld) {
    const struct {
        int signal;
        bool removeWal; // while it runs
        bool damage;    // after it ended
        const char* how;
    } cases[] = {
        {SIGTERM, false, false, "The console was ended by SIGTERM"},
        {SIGHUP, false, false, "The console was ended by SIGHUP"},
        {SIGINT, false, false, "The console was ended by SIGINT"},
        {SIGKILL, true, false, "The console was not closed properly"},
        {SIGKILL, false, true, "The console was not closed properly"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            QString("%1 %2 %3").arg(c.signal).arg(c.removeWal).arg(c.damage).toStdString());
        ConsoleSandbox console;
        ASSERT_TRUE(console.Ok());
        LoggerProcess logger;
        ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "20"}));
        // With the WAL removed, the console looks at its sessions until the buffer is written
        // anew.
        QString script = kMeasureTwoChannels + "wait 500\nprint PoolItemsTx\n";
        for (int i = 0; c.removeWal && i < 60; ++i)
            script += "wait 500\nclick HistoryBtn\nprint SessionLst\nclick CancelBtn\n";
        console.Start(script + "wait 60000\n");
        ASSERT_TRUE(console.WaitForOutput("PoolItemsTx="));
        const QString path = console.ArchiveFile();
        if (c.removeWal) {
            ASSERT_TRUE(QFile::remove(path + "-wal"));
            ASSERT_TRUE(console.WaitForOutput("dialog: Impix II.: The archive's log " + path +
                                              "-wal was removed"));
            const QString shown =
                ConsoleResult{0, false, console.Seen(), {}}.Printed("PoolItemsTx");
            ASSERT_TRUE(console.WaitForOutput(", restored " + shown + ";"));
        }
        console.Signal(c.signal);
        const ConsoleResult ended = console.Finish(30000); // a hang guard, not a time limit
        ASSERT_TRUE(ended.finished);
        const int items = ended.Printed("PoolItemsTx").toInt();
        ASSERT_GT(items, 0);
        if (c.signal != SIGKILL) {
            EXPECT_EQ(ended.exitCode, 128 + c.signal);
            EXPECT_EQ(Query(path, "SELECT clean_end, ended_at IS NOT NULL, end_signal, "
                                  "buffer_items, live FROM session"),
                      QStringList{QString("0|1|%1|%2|%2").arg(c.signal).arg(items)});
        }
        if (c.damage) {
            ASSERT_TRUE(SpoilNewestArrivalPage(path));
        }

        const ConsoleResult r = console.Run("answer yes\nprint PoolItemsTx\n");
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList asked = Lines(r.out, "dialog: Restore measurements: ");
        ASSERT_EQ(asked.size(), 1) << r.out.toStdString();
        const int restored = r.Printed("PoolItemsTx").toInt();
        EXPECT_TRUE(asked[0].contains(QString(c.how) + " (session started "))
            << asked[0].toStdString();
        EXPECT_TRUE(asked[0].contains(QString("Its buffer held %1 items").arg(restored)))
            << asked[0].toStdString();
        if (!c.damage) {
            EXPECT_EQ(restored, items);
            continue;
        }
        // Told first, naming both files; then what can be read is offered from the moved one.
        const QStringList moved =
            QDir(console.DataFolder() + "/impix").entryList({"archive.sqlite.damaged-*T??????"});
        ASSERT_EQ(moved.size(), 1);
        const QString aside = console.DataFolder() + "/impix/" + moved[0];
        const QString told = "dialog: Impix II.: The archive " + path + " was damaged. It was " +
                             "moved to " + aside + " and a new archive was started.";
        EXPECT_TRUE(r.out.contains(told + "\n" + asked[0])) << r.out.toStdString();
        EXPECT_TRUE(asked[0].endsWith("They are read from the damaged archive " + aside + "."));
        EXPECT_GT(restored, 0);
        EXPECT_LT(restored, items);
    }
}

TEST(ConsoleWithArchive, ARestoreOfMoreThanTheQueueHoldsIsArchivedWhole) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "20"}));
    console.Start(kMeasureTwoChannels + "wait 1500\nprint PoolItemsTx\nwait 60000\n");
    ASSERT_TRUE(console.WaitForOutput("PoolItemsTx="));
    console.Kill();

    // A queue of 16 stands in for the million: the restore goes to the archive in slices.
    constexpr int Queue = 16;
    console.SetEnv("IMPIX_ARCHIVE_QUEUE", QString::number(Queue));
    const ConsoleResult r = console.Run("answer yes\nprint PoolItemsTx\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const int restored = r.Printed("PoolItemsTx").toInt();
    ASSERT_GT(restored, 4 * Queue);
    EXPECT_EQ(
        Query(console.ArchiveFile(), "SELECT id, restored, buffer_items FROM session ORDER BY id")
            .value(1),
        QString("2|%1|%1").arg(restored));
}

TEST(ConsoleWithArchive, HistoryShowsAtOnceWhileASessionIsCounted) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    {
        LoggerProcess logger;
        ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "20"}));
        const ConsoleResult r = console.Run(kMeasureTwoChannels + "wait 500\n");
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    // Counts wait for this file, as a long count would; the list is shown without them.
    const QString gate = console.DataFolder() + "/count-gate";
    console.SetEnv("IMPIX_ARCHIVE_COUNT_GATE", gate);
    QString script = "click HistoryBtn\nprint SessionLst\n";
    for (int i = 0; i < 300; ++i) // a minute, as a hang guard
        script += "wait 200\nprint SessionLst\n";
    console.Start(script + "click CancelBtn\n");
    ASSERT_TRUE(console.WaitForOutput("SessionLst[1]="));
    ASSERT_TRUE(console.WaitForOutput("SessionLst[1]="));
    QFile open(gate);
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    open.close();
    // Wait for this session's own line to be counted: another session's line may read
    // "measurements" before it.
    QElapsedTimer waited;
    waited.start();
    const auto ownLineCounted = [&] {
        const QStringList shown = Lines(console.Seen(), "SessionLst[1]=");
        return !shown.isEmpty() && shown.last().endsWith(" measurements; COM2");
    };
    while (!ownLineCounted() && waited.elapsed() < 60000)
        console.WaitForOutput(QStringLiteral("\x01"), 200); // reads what comes meanwhile
    const QStringList lines = Lines(console.Kill(), "SessionLst[1]=");
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith("; counting...; COM2")) << lines[0].toStdString();
    const QString counted =
        Query(console.ArchiveFile(), "SELECT count(*) FROM measurement").value(0);
    EXPECT_TRUE(lines.last().endsWith("; " + counted + " measurements; COM2"))
        << lines.last().toStdString();
    EXPECT_EQ(Query(console.ArchiveFile(), "SELECT measurements FROM session WHERE id = 1"),
              QStringList{counted});
}

TEST(ConsoleWithArchive, AnArchiveLockedAtStartUpIsNamedAndRestoredFromOnceFree) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    int items = 0;
    {
        LoggerProcess logger;
        ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "20"}));
        console.Start(kMeasureTwoChannels + "wait 500\nprint PoolItemsTx\nwait 60000\n");
        ASSERT_TRUE(console.WaitForOutput("PoolItemsTx="));
        items = Lines(console.Kill(), "PoolItemsTx=").value(0).mid(12).toInt();
        ASSERT_GT(items, 0);
    }
    // Another program holds the write lock.
    QProcess holder;
    holder.start("sqlite3", {console.ArchiveFile()});
    ASSERT_TRUE(holder.waitForStarted());
    holder.write("BEGIN IMMEDIATE;\nSELECT 'locked';\n");
    while (!holder.readAllStandardOutput().contains("locked"))
        ASSERT_TRUE(holder.waitForReadyRead(30000));

    QString script = "wait 1000\nprint ArchiveTx\nprint PoolItemsTx\nclick HistoryBtn\n"
                     "print SessionLst\nclick CancelBtn\nanswer yes\n";
    for (int i = 0; i < 120; ++i) // a minute, as a hang guard
        script += "wait 500\nprint PoolItemsTx\n";
    console.Start(script);
    ASSERT_TRUE(console.WaitForOutput("SessionLst["));
    holder.closeWriteChannel(); // sqlite3 ends, and its lock with it
    ASSERT_TRUE(holder.waitForFinished(30000));
    ASSERT_TRUE(console.WaitForOutput(QString("PoolItemsTx=%1\n").arg(items)));
    const QString out = console.Kill();
    EXPECT_EQ(Lines(out, "ArchiveTx=").value(0),
              "ArchiveTx=Archive: not written: archive busy: another program holds it locked; "
              "retrying");
    EXPECT_EQ(Lines(out, "PoolItemsTx=").value(0), "PoolItemsTx=0");
    // The history is read while the lock is held.
    EXPECT_TRUE(Lines(out, "SessionLst[0]=").value(0).contains(" - no clean end: live "))
        << out.toStdString();
}
