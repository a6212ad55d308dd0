// The console's measurement archive end to end: the real console against the logger emulator,
// writing a real SQLite file that the test reads back with SQL.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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
set FromValEd 1
set AmountValEd 100000
click DwnBtn
wait 1000
print DwnProgressTx
wait 3000
print BufGrid
print ArchiveTx
wait 60000
)");
    // The line falls silent in the middle of the download; what arrived is on the disk well
    // within the 3 seconds before the table is printed.
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

    const ConsoleResult r = console.Run(R"(answer yes
print PoolItemsTx
print BufGrid
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
    EXPECT_TRUE(dialogs[0].startsWith("dialog: Restore measurements: "))
        << dialogs[0].toStdString();
    EXPECT_TRUE(dialogs[0].contains(QString("Its buffer held %1 items").arg(items)))
        << dialogs[0].toStdString();
    EXPECT_EQ(Lines(r.out, "BufGrid["), shown);
    const QStringList sessions = Lines(r.out, "SessionLst[");
    ASSERT_EQ(sessions.size(), 2);
    EXPECT_TRUE(sessions[0].contains(
        QString(" - running: live 0, download 0, report 0, restored %1;").arg(items)))
        << sessions[0].toStdString();
    // Answers still on the line after "Disable" arrive as live ones after "Clear".
    const QRegularExpressionMatch killed =
        QRegularExpression(" - no clean end: live (\\d+), download (\\d+), report 0, restored 0;")
            .match(sessions[1]);
    ASSERT_TRUE(killed.hasMatch()) << sessions[1].toStdString();
    EXPECT_GT(killed.captured(2).toInt(), 0);
    EXPECT_EQ(killed.captured(1).toInt() + killed.captured(2).toInt(), live + items);
    // The whole of the killed session, loaded after the restored buffer.
    EXPECT_EQ(Lines(r.out, "PoolItemsTx=").value(1),
              QString("PoolItemsTx=%1").arg(items + live + items));
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
