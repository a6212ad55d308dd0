// An operator's export, scripted: the console fills its buffer from the logger emulator, fills a
// workbook from the buffer (starting the spreadsheet service it ships with) and another from the
// buffer saved as a text file; both workbooks are read back with openpyxl and compared with the
// buffer table, their charts read by name, and LibreOffice opens them.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include "support/ConsoleSandbox.h"
#include "support/LoggerProcess.h"
#include "support/WorkbookReader.h"

namespace {

// Rp or Xp as the table shows the value ("open", "N/A" or Rx * 1000 in "%.2f").
long long Cell(const QString& shown) {
    return shown == "open" || shown == "N/A" ? 0 : std::llround(shown.toDouble());
}

} // namespace

TEST(ConsoleExport, BufferFromTheLoggerIntoWorkbooks) {
    ConsoleSandbox console;
    ASSERT_TRUE(console.Ok());
    const QString build = qEnvironmentVariable("IMPIX_BUILD_DIR");
    ASSERT_TRUE(QFile::copy(build + "/impix-sheets", console.Folder() + "/impix-sheets"));
    ASSERT_TRUE(QDir().mkpath(console.Folder() + "/Forms"));
    ASSERT_TRUE(QFile::copy(build + "/Forms/Table1.xlsx", console.Folder() + "/Forms/Table1.xlsx"));
    // The service the console starts listens in a folder of this test's own.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));

    LoggerProcess logger;
    ASSERT_TRUE(logger.Start(console.DevFolder() + "/COM2", {"--period-ms", "200"}));
    const QString text = console.Folder() + "/saved.txt";
    const QString fromBuffer = console.Folder() + "/Data.xlsx";
    const QString fromFile = console.Folder() + "/out/file.xlsx";
    // A file without a single item line.
    const QString empty = console.Folder() + "/empty.txt";
    const QString emptyBook = console.Folder() + "/empty.xls";
    // A desktop without a program for workbooks: the types known, no program installed.
    const QString desktop = console.Folder() + "/desktop";
    ASSERT_TRUE(QDir().mkpath(desktop + "/applications"));
    ASSERT_TRUE(QFile::link("/usr/share/mime", desktop + "/mime"));
    console.SetEnv("XDG_DATA_DIRS", desktop);
    console.SetEnv("XDG_CONFIG_DIRS", desktop);
    QFile emptyFile(empty);
    ASSERT_TRUE(emptyFile.open(QIODevice::WriteOnly));
    emptyFile.write("Data Saved: 08.12.2026-140509\r\nMeasure Settings: F=1000Hz\r\n");
    emptyFile.close();
    const ConsoleResult r =
        console.Run(kMeasureTwoChannels +
                        QString(R"(print PoolItemsTx
print BufGrid
page TabSheet4
set SourceRg 1
click ExExpBtn
print ExStatusTx
answer %1
click SaveBufAllBtn
set SourceRg 0
set SrcFileEd %1
set ExFileNameEd %2
click ExExpBtn
print ExStatusTx
set SrcFileEd %3
click ExExpBtn
print ExStatusTx
set SrcFileEd %4
set ExFileNameEd %5
click ExExpBtn
print ExStatusTx
click ExOpenBtn
quit
)")
                            .arg(text, fromFile, console.Folder() + "/none.txt", empty, emptyBook),
                    120000);
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const int items = r.Printed("PoolItemsTx").toInt();
    ASSERT_GT(items, 0) << r.out.toStdString();
    const QStringList statuses = r.out.split('\n').filter("ExStatusTx=");
    ASSERT_EQ(4, statuses.size()) << r.out.toStdString();
    EXPECT_EQ(QString("ExStatusTx=Saved %1: %2 rows").arg(fromBuffer).arg(items), statuses[0]);
    EXPECT_EQ(QString("ExStatusTx=Saved %1: %2 rows").arg(fromFile).arg(items), statuses[1]);
    // A source that cannot be read: the system's message, and the status says which file.
    EXPECT_EQ("ExStatusTx=Export failed: " + console.Folder() + "/none.txt: File not found",
              statuses[2]);
    EXPECT_TRUE(r.out.contains("dialog: Impix II.: File not found\n")) << r.out.toStdString();
    EXPECT_EQ(QString("ExStatusTx=Saved %1: 0 rows: the file holds no measurements").arg(emptyBook),
              statuses[3]);
    EXPECT_EQ(QFileInfo(console.Folder() + "/BinConv.dat").size(), 0);
    // "Open" with no program for the type says so, naming the file.
    EXPECT_TRUE(r.out.contains("dialog: Impix II. - Chyba: No program is registered to open " +
                               emptyBook + " ("))
        << r.out.toStdString();

    // Every row of the table is a row of its channel's sheet in both workbooks, with the record's
    // date and time again in the timestamp, year included.
    const auto buffer = ReadWorkbook(fromBuffer);
    const auto file = ReadWorkbook(fromFile);
    ASSERT_EQ(17, buffer.size());
    ASSERT_EQ(17, file.size());
    const QDateTime now = QDateTime::currentDateTime();
    QMap<QString, int> next;
    for (int item = 1; item <= items; ++item) {
        const QStringList cells = r.Printed(QString("BufGrid[%1]").arg(item)).split('|');
        ASSERT_EQ(8, cells.size());
        ASSERT_EQ("1", cells[3]); // board 1
        const QString sheet = "Channel_" + cells[4];
        const int row = 2 + next[sheet]++;
        for (const auto* book : {&buffer, &file}) {
            const QStringList got = book->value(sheet).value(row).split('\t');
            ASSERT_EQ(7, got.size()) << sheet.toStdString() << " row " << row;
            EXPECT_EQ(cells[1], got[0]);
            EXPECT_EQ(cells[2].left(5), got[1]);
            EXPECT_EQ(cells[2].mid(6), got[2]);
            EXPECT_EQ(cells[5], got[3]);
            EXPECT_LE(std::abs(Cell(cells[6]) - got[4].toLongLong()), 1) << cells[6].toStdString();
            EXPECT_LE(std::abs(Cell(cells[7]) - got[5].toLongLong()), 1) << cells[7].toStdString();
            const QDateTime stamp = QDateTime::fromString(got[6], "yyyy-MM-dd hh:mm:ss");
            ASSERT_TRUE(stamp.isValid()) << got[6].toStdString();
            EXPECT_EQ(cells[2], stamp.toString("dd.MM-hh:mm:ss"));
            // The logger's clock started at this computer's time.
            EXPECT_LE(std::abs(stamp.secsTo(now)), 3600) << got[6].toStdString();
        }
        EXPECT_EQ(buffer.value(sheet).value(row).section('\t', 6),
                  file.value(sheet).value(row).section('\t', 6));
    }
    for (const auto* book : {&buffer, &file}) {
        const QStringList desc = book->value("Desc");
        ASSERT_EQ(7, desc.size()) << desc.join('\n').toStdString();
        EXPECT_EQ("Measure Settings: F=100Hz, U=0.10V, T=0:1, Repeat=1", desc[0]);
        EXPECT_EQ("Board\t1", desc[3]);
        QString counts = "Rows per channel";
        for (int n = 1; n <= 16; ++n) {
            const QString sheet = QString("Channel_%1").arg(n);
            EXPECT_EQ(2 + next[sheet], book->value(sheet).size()) << sheet.toStdString();
            EXPECT_EQ("Board 1", book->value(sheet).value(0));
            EXPECT_EQ("Number\tDate\tTime\tRange\tRp\tXp\tTimestamp", book->value(sheet).value(1));
            counts += QString("\t%1").arg(next[sheet]);
        }
        EXPECT_EQ(counts, desc[6]);
    }
    EXPECT_EQ("Source\tbuffer", buffer.value("Desc").value(2));
    EXPECT_EQ("Source\t" + text, file.value("Desc").value(2));

    // Each chart plots Rp and Xp against the timestamp over exactly the filled rows, from the
    // cells (no cached values left over from the template); an empty sheet keeps its first row.
    // LibreOffice opens both workbooks and reads the same ranges, with a value for each row.
    for (const QString& path : {fromBuffer, fromFile}) {
        QTemporaryDir office;
        QString error;
        const QString copy = LibreOfficeCopy(path, office.path(), &error);
        EXPECT_EQ("", error.toStdString());
        const auto charts = ReadChartRanges(path, &error);
        ASSERT_EQ(17, charts.size()) << error.toStdString();
        const auto copied = ReadChartRanges(copy, &error);
        ASSERT_EQ(17, copied.size()) << error.toStdString();
        for (int n = 1; n <= 16; ++n) {
            const QString sheet = QString("Channel_%1").arg(n);
            const int rows = std::max(1, next[sheet]);
            const QString range = QString("'%1'!$%3$3:$%3$%2").arg(sheet).arg(2 + rows);
            EXPECT_EQ(QStringList({range.arg("G") + ' ' + range.arg("E"),
                                   range.arg("G") + ' ' + range.arg("F")}),
                      charts.value(sheet));
            // LibreOffice writes the names unquoted, and the values it read.
            const auto read = [&](const char* col) {
                return range.arg(col).remove('\'') + QString(" cached %1").arg(rows);
            };
            EXPECT_EQ(QStringList({read("G") + ' ' + read("E"), read("G") + ' ' + read("F")}),
                      copied.value(sheet));
        }
    }
}
