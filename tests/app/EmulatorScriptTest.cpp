// The console against the logger emulator, driven by scripts as an operator would: every
// setting that is set reads back the same, and measurements flow into the buffer and file.
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <gtest/gtest.h>

#include "net/ReportServer.h"
#include "support/ReportPort.h"

namespace {
// Sets the controls, sends them, scrambles the controls, reads the setting back.
const char* const SetThenGet = R"(print ComStatusLx
set PerHourEd 3
set PerMinEd 17
click SetPeriodBtn
set FreqEd 2500
set VoltageEd 1.5
set LatEd 300
set RepEd 4
set MeasTypeChck 1
click SetParamsBtn
set BegFreqEd 200
set EndFreqEd 8000
set FreqMultEd 1.5
set FreqVoltageEd 2.5
set FRepEd 2
set FBrdEd 3
set FChnlEd 9
set FMeasTypeChck 1
click SetFParamsBtn
set RepHourEd 6
set RepMinEd 45
set RetryRepEd 3
click SetGPRSrepBtn
set APNEd internet.example
set ServIPEd 127.0.0.1
click SetGPRSnetBtn
set ClockEd 24.12.2024 - 15:30:00
click SetTimeBtn
set BoardGrp 2
click SetSelectionBtn
set BoardGrp 0
set Ch3SelChck 1
click SetMaskBtn
wait 500
set PerHourEd 0
set PerMinEd 1
set FreqEd 100
set VoltageEd 0.1
set LatEd 100
set RepEd 1
set MeasTypeChck 0
set BegFreqEd 100
set EndFreqEd 100
set FreqMultEd 2
set FreqVoltageEd 0.1
set FRepEd 1
set FBrdEd 1
set FChnlEd 1
set FMeasTypeChck 0
set RepHourEd 0
set RepMinEd 0
set RetryRepEd 0
set APNEd ???
set ServIPEd ???
set ClockEd ???
click ClearSelectionBtn
set BoardGrp 2
click ClearSelectionBtn
set BoardGrp 0
click GetPeriodBtn
click GetParamsBtn
click GetFParamsBtn
click GetGPRSrepBtn
click GetGPRSnetBtn
click GetTimeBtn
click GetMaskBtn
click VersionInfoBtn
wait 1000
print PerHourEd
print PerMinEd
print FreqEd
print VoltageEd
print LatEd
print RepEd
print MeasTypeChck
print BegFreqEd
print EndFreqEd
print FreqMultEd
print FreqVoltageEd
print FRepEd
print FBrdEd
print FChnlEd
print FMeasTypeChck
print RepHourEd
print RepMinEd
print RetryRepEd
print APNEd
print ServIPEd
print ClockEd
print VersionTx
print Ch2SelChck
print Ch3SelChck
set BoardGrp 2
print Ch1SelChck
print Ch16SelChck
click EnableBtn
wait 500
print ComStatusTx
click DisableBtn
wait 500
print ComStatusTx
quit
)";
} // namespace

TEST(ConsoleWithLogger, EveryGetAfterASetShowsTheValueSet) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2"));
    const ConsoleResult r = console.Run(SetThenGet);
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.Printed("ComStatusLx"), "Connected");
    const std::pair<const char*, const char*> expected[] = {
        {"PerHourEd", "3"},
        {"PerMinEd", "17"},
        {"FreqEd", "2500"},
        {"VoltageEd", "1.50"},
        {"LatEd", "300"},
        {"RepEd", "4"},
        {"MeasTypeChck", "1"},
        {"BegFreqEd", "200"},
        {"EndFreqEd", "8000"},
        {"FreqMultEd", "1.50"},
        {"FreqVoltageEd", "2.50"},
        {"FRepEd", "2"},
        {"FBrdEd", "3"},
        {"FChnlEd", "9"},
        {"FMeasTypeChck", "1"},
        {"RepHourEd", "6"},
        {"RepMinEd", "45"},
        {"RetryRepEd", "3"},
        {"APNEd", "internet.example"},
        {"ServIPEd", "127.0.0.1"},
        {"Ch2SelChck", "0"},
        {"Ch3SelChck", "1"},
        {"Ch1SelChck", "1"},
        {"Ch16SelChck", "1"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(r.Printed(name), value) << name << "\n" << r.out.toStdString();
    // The logger's clock runs on from the time set; the date shows in the operator's format.
    EXPECT_TRUE(r.Printed("ClockEd").contains(QRegularExpression("^24.+2024 - 15:30:0\\d$")))
        << r.Printed("ClockEd").toStdString();
    EXPECT_TRUE(r.Printed("VersionTx").contains(QRegularExpression("^\\d+\\.\\d+$")));
    const QStringList statuses = r.out.split('\n').filter("ComStatusTx=");
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_EQ(statuses[0], "ComStatusTx=Measure enabled");
    EXPECT_EQ(statuses[1], "ComStatusTx=Measure disabled");
}

TEST(ConsoleWithLogger, MeasuredItemsAreDownloadedAndSaved) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "200"}));
    const QString saved = console.Folder() + "/saved.txt";
    const ConsoleResult r = console.Run(kMeasureTwoChannels + QString(R"(print PoolItemsTx
click ClearBufBtn
click GetSizeBtn
set FromValEd 1
set AmountValEd 100000
click DwnBtn
wait 1500
print SizeTx
print PoolItemsTx
print AmountTx
answer %1
click SaveBufAllBtn
quit
)")
                                                                  .arg(saved));
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList counts = r.out.split('\n').filter("PoolItemsTx=");
    ASSERT_EQ(counts.size(), 2);
    const int live = counts[0].mid(12).toInt();
    const int size = r.Printed("SizeTx").toInt();
    EXPECT_GT(live, 0);
    EXPECT_GE(size, live); // the logger stores what it sent, and maybe one more
    EXPECT_EQ(counts[1].mid(12).toInt(), size);
    EXPECT_EQ(r.Printed("AmountTx"), QString::number(size));

    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(f.readAll());
    ASSERT_TRUE(text.endsWith("\r\n"));
    QStringList lines = text.split("\r\n");
    lines.removeLast(); // after the last line end
    ASSERT_EQ(lines.size(), 4 + size);
    EXPECT_TRUE(lines[0].startsWith("Data Saved: "));
    EXPECT_EQ(lines[1], "Measure Settings: F=100Hz, U=0.10V, T=0:1, Repeat=1");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "No       Time     Brd Ch Range   Rx    Xx");
    const QRegularExpression item(
        R"(^(\d+)  \d\d\.\d\d-\d\d:\d\d:\d\d  1  [12]  [0-3]  (\d+\.\d\d|\?)  (-?\d+\.\d\d|\?)$)");
    int first = -1;
    for (int i = 0; i < size; ++i) {
        const auto m = item.match(lines[4 + i]);
        ASSERT_TRUE(m.hasMatch()) << lines[4 + i].toStdString();
        if (first < 0)
            first = m.captured(1).toInt();
        EXPECT_EQ(m.captured(1).toInt(), first + i); // stored items in order, none missing
    }
}

TEST(ConsoleWithLogger, AForcedReportLandsInTheBufferThroughTheServer) {
    // The operator's port 4000 is held here (when nobody else holds it already), so the test
    // shows that it never depends on it: console and logger meet on a port of the test's own.
    QTcpServer holder;
    holder.listen(QHostAddress::Any, ReportServer::DefaultPort);
    ConsoleSandbox console;
    LoggerProcess logger;
    ASSERT_TRUE(StartWithReportPort(console, logger, {"--period-ms", "200"}));
    const ConsoleResult r = console.Run(R"(click RunServerBtn
print SocketStateLabel
set Ch5SelChck 1
click SetMaskBtn
click FormatBtn
page PrewSh
click EnableBtn
wait 1200
click DisableBtn
wait 300
print ChannelDwTx
print BoardDwTx
click ClearBufBtn
click GPRSforceBtn
wait 2000
print PoolItemsTx
print CntLabel
print SocketStateLabel
print BufGrid
click StopServerBtn
print SocketStateLabel
)");
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList states = r.out.split('\n').filter("SocketStateLabel=");
    ASSERT_EQ(states.size(), 3);
    EXPECT_EQ(states[0], "SocketStateLabel=Listen");
    EXPECT_EQ(states[1], "SocketStateLabel=Disconnected / Listen");
    EXPECT_EQ(states[2], "SocketStateLabel=Idle");
    // The live plot followed the measurements of board 1, channel 5.
    EXPECT_EQ(r.Printed("ChannelDwTx"), "5");
    EXPECT_EQ(r.Printed("BoardDwTx"), "1");

    const int items = r.Printed("PoolItemsTx").toInt();
    EXPECT_GT(items, 0);
    EXPECT_EQ(r.Printed("CntLabel"), QString("%1 bytes  %2 records").arg(11 * items).arg(items));
    // Report items carry no number: the Id column shows 0.
    const QStringList rows = r.out.split('\n').filter(QRegularExpression("^BufGrid\\[[1-9]"));
    ASSERT_EQ(rows.size(), items);
    for (const QString& row : rows)
        EXPECT_TRUE(
            row.contains(QRegularExpression("=\\d+\\|0\\|\\d\\d\\.\\d\\d-[^|]+\\|1\\|5\\|")))
            << row.toStdString();
}
