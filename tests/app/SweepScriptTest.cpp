// Sweeps against the logger emulator, driven by a script as an operator would: every point of a
// sweep lands in the window's table, the CSV file and the workbook at the logger's frequencies,
// and "Fit" finds the emulated electrode's circuit; a sweep outlives a console killed after it.
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "link/AnswerDecode.h"
#include "records/MeasDecode.h"
#include "support/ConsoleSandbox.h"
#include "support/LoggerProcess.h"
#include "support/WorkbookReader.h"
#include "sweep/SweepSettings.h"
#include "tools/logger/ImpedanceSynth.h"
#include "tools/logger/LoggerClock.h"

TEST(SweepScript, SweepsLandInTheWindowAndTheFileAndFit) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger; // seed 5
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2"));
    const QString csv = console.Folder() + "/sweeps.csv";
    const QString svg = console.Folder() + "/sweeps.svg";
    const QString xlsx = console.Folder() + "/sweeps.xlsx";
    const ConsoleResult r = console.Run(QStringLiteral(R"(page TabSheet5
set BegFreqEd 1000
set EndFreqEd 5000
set FreqMultEd 1.5
set FBrdEd 2
set FChnlEd 3
click SetFParamsBtn
wait 300
click FreqStartBtn
wait 1000
set BegFreqEd 100
set EndFreqEd 20000
set FreqMultEd 1.2
set FBrdEd 1
set FChnlEd 1
click SetFParamsBtn
wait 300
click FreqStartBtn
wait 2000
print FFreqTx
click SweepBtn
print SweepLst
print SweepPointsTx
print SweepTbl
click SweepFitBtn
print SweepFitTx
answer %1
click SweepSaveBtn
answer %3
click SweepSaveBtn
answer %2
click SweepImageBtn
set SweepLst 0
print SweepPointsTx
quit
)")
                                            .arg(csv, svg, xlsx));
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    // Two sweeps, the newer chosen; the first one's four points.
    EXPECT_EQ(r.Printed("SweepLst"), "1");
    EXPECT_TRUE(r.Printed("SweepLst[0]").contains("board 2, channel 3  4 points  1 .. 3.375 kHz"))
        << r.Printed("SweepLst[0]").toStdString();
    EXPECT_EQ(r.Printed("SweepPointsTx"), "4");
    // The second: the logger steps its code by 1.2 from 100 Hz up to 20 kHz, as the labels
    // show the frequencies.
    std::vector<QString> expected;
    for (uint32_t code : SweepFrequencyCodes(
             *SweepSettingsFromWire(SetFreqParamsPayload(100, 20000, 1.2, 0.1, 1, 1, 1, false))))
        expected.push_back(QString::number(SweepFrequencyHz(static_cast<int32_t>(code))));
    const QStringList lines = r.out.split('\n');
    QStringList rows = lines.filter(QRegularExpression("^SweepTbl\\[[1-9][0-9]*\\]="));
    ASSERT_GE(rows.size(), 20);
    EXPECT_EQ(r.Printed("SweepTbl[0]"), "f (Hz)|range|R (Ω)|X (Ω)||Z| (Ω)|phase (°)");
    std::vector<QString> tableHz;
    for (const QString& row : rows)
        tableHz.push_back(row.section('=', 1).section('|', 0, 0));
    EXPECT_EQ(tableHz, expected);
    EXPECT_EQ(tableHz.back(), r.Printed("FFreqTx"));

    // The CSV: the same points at the same frequencies, with the fit in its comments.
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList text = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    std::vector<QString> fileHz;
    for (const QString& line : text)
        if (line.startsWith("1,"))
            fileHz.push_back(line.section(',', 1, 1));
    EXPECT_EQ(fileHz, tableHz);

    // A name ending in .xlsx: a workbook, one sheet for the one chosen sweep, the same points.
    QString error;
    const QMap<QString, QStringList> book = ReadWorkbook(xlsx, &error);
    ASSERT_EQ(book.keys(), QStringList{"Sweep 1"}) << error.toStdString();
    const QStringList sheet = book.first();
    std::vector<QString> sheetHz;
    for (qsizetype i = sheet.indexOf(QRegularExpression("f \\(Hz\\)\t.*")) + 1;
         i > 0 && i < sheet.size(); ++i)
        sheetHz.push_back(sheet[i].section('\t', 0, 0));
    EXPECT_EQ(sheetHz, tableHz);

    // The fit shown and saved recovers the emulated electrode of board 1, channel 1.
    EXPECT_TRUE(r.Printed("SweepFitTx").startsWith("Rs = "))
        << r.Printed("SweepFitTx").toStdString();
    const CircuitParams truth =
        logger::ImpedanceSynth(5).Circuit(0, 0, logger::LoggerClock().Now());
    const QString fitLine = text.filter("# sweep 1 fit").value(0);
    const std::pair<const char*, double> params[] = {
        {"Rs", truth.rs}, {"Rp", truth.rp}, {"Q", truth.q}, {"n", truth.n}};
    for (const auto& [name, value] : params) {
        const QRegularExpressionMatch m =
            QRegularExpression(QString(" %1 = ([-+0-9.e]+) ").arg(name)).match(fitLine);
        ASSERT_TRUE(m.hasMatch()) << name << " in " << fitLine.toStdString();
        EXPECT_NEAR(m.captured(1).toDouble() / value, 1.0, 0.02) << name;
    }

    // The plots as an SVG drawing.
    QFile drawing(svg);
    ASSERT_TRUE(drawing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(drawing.readAll().contains("<svg"));
}

TEST(SweepScript, ASweepOfAKilledConsoleComesBackWithItsPointsAndFit) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2"));
    console.Start(R"(page TabSheet5
set BegFreqEd 100
set EndFreqEd 20000
set FreqMultEd 1.2
click SetFParamsBtn
wait 300
click FreqStartBtn
wait 2000
click SweepBtn
click SweepFitBtn
print SweepTbl
print SweepFitTx
wait 1000
print ArchiveTx
wait 60000
)");
    ASSERT_TRUE(console.WaitForOutput("ArchiveTx="));
    const QString before = console.Kill();
    const auto lines = [](const QString& out, const QString& prefix) {
        return out.split('\n').filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    };
    const QStringList table = lines(before, "SweepTbl[");
    const QStringList fit = lines(before, "SweepFitTx=");
    ASSERT_GE(table.size(), 20) << before.toStdString();
    ASSERT_TRUE(fit.value(0).contains("Rs = ")) << before.toStdString();

    const ConsoleResult r = console.Run(R"(answer yes
click SweepBtn
print SweepLst
print SweepTbl
print SweepFitTx
click HistoryBtn
print SessionLst
quit
)");
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList asked = lines(r.out, "dialog: Restore measurements: ");
    ASSERT_EQ(asked.size(), 1) << r.out.toStdString();
    EXPECT_TRUE(asked[0].contains(" and 1 sweep. Put them back")) << asked[0].toStdString();
    EXPECT_EQ(r.Printed("SweepLst"), "0");
    EXPECT_EQ(lines(r.out, "SweepTbl["), table);
    EXPECT_EQ(lines(r.out, "SweepFitTx="), fit);
    EXPECT_TRUE(r.Printed("SessionLst[1]").contains("; 1 sweep")) << r.out.toStdString();
}
