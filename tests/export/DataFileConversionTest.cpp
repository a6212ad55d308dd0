#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "base/Failure.h"
#include "buffer/BufferTestRecords.h"
#include "buffer/BufferTextFile.h"
#include "export/DataFileConversion.h"
#include "support/TestFiles.h"

using buffertest::At;
using buffertest::Record;

namespace {

constexpr double Void = 65535.0;

FormatSettings Comma() {
    FormatSettings fs;
    fs.decimalSeparator = ',';
    return fs;
}

// The conversion's message, or "" when it succeeded.
QString ErrorOf(const tl::expected<void, ConversionError>& converted) {
    return converted ? QString() : converted.error().error.text;
}

// A program folder and a source file in a temporary folder.
struct Conversion {
    QTemporaryDir dir;
    QString folder = dir.path() + '/';
    QString source = folder + "Data.txt";
    QString binConv = folder + "BinConv.dat";
    RecordStream pool;

    QString Run(const QByteArray& text, int year = 2026, const FormatSettings& fs = {}) {
        if (!WriteAll(source, text))
            return "<cannot write the source>";
        return ErrorOf(ConvertDataFile(source, pool, folder, fs, year));
    }
};

void ExpectSame(const TMeasRecord& want, const TMeasRecord& got) {
    EXPECT_EQ(want.Counter, got.Counter);
    EXPECT_EQ(want.Board, got.Board);
    EXPECT_EQ(want.Channel, got.Channel);
    EXPECT_EQ(want.Range, got.Range);
    // Copies: the packed record's doubles may sit off their alignment.
    EXPECT_EQ(double(want.Rx), double(got.Rx));
    EXPECT_EQ(double(want.Xx), double(got.Xx));
    EXPECT_DOUBLE_EQ(double(want.Time), double(got.Time));
}

} // namespace

TEST(DataFileConversion, ItemLines) {
    const double t = At(2026, 12, 7, 14, 5, 9);
    struct Case {
        const char* line;
        TMeasRecord want;
    } cases[] = {
        // The example line of a saved file, two blanks between the pieces.
        {"17  07.12-14:05:09  1  4  1  1234.50  ?", Record(17, 0, 3, 1, 1.234, Void, t)},
        // Leading and repeated blanks; the modulo rules of the integer fields.
        {"   70000 07.12-14:05:09 0 257 65537 -12.30 12.5k",
         Record(4464, -1, 0, 1, -0.012, 0.012, t)},
        {"-1 07.12-14:05:09 256 16 3 k? abc", Record(65535, -1, 15, 3, Void, Void, t)},
        // Day, month and clock fields are bytes too: 263 is 7, 268 is 12.
        {"1 263.268-14:05:09 1 1 0 0.99 -0.99", Record(1, 0, 0, 0, 0, -0.0, t)},
        // Missing value fields, empty after a trailing blank, and the 32-bit limits of the rule.
        {"5 07.12-14:05:09 2 2 2", Record(5, 1, 1, 2, Void, Void, t)},
        {"5 07.12-14:05:09 2 2 2 2147483647.9 ", Record(5, 1, 1, 2, 2147483.647, Void, t)},
        {"5 07.12-14:05:09 2 2 2 2147483648 -2147483648.5",
         Record(5, 1, 1, 2, Void, -2147483.648, t)},
        {"5 07.12-14:05:09 2 2 2 1e3 +.5e1", Record(5, 1, 1, 2, 1.0, 0.005, t)},
        {"5 07.12-14:05:09 2 2 2 1,5 1.2.3", Record(5, 1, 1, 2, Void, Void, t)},
        {"5 07.12-14:05:09 2 2 2 1e999 -", Record(5, 1, 1, 2, Void, Void, t)},
        // A TAB is an ordinary character, so it spoils the field it is in.
        {"5 07.12-14:05:09 2 2 2 12\t 7", Record(5, 1, 1, 2, Void, 0.007, t)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ExpectSame(c.want, ParseItemLine(c.line, 2026, {}).value());
    }
    // The operator's decimal separator.
    ExpectSame(Record(5, 1, 1, 2, 1.234, Void, t),
               ParseItemLine("5 07.12-14:05:09 2 2 2 1234,56 1234.56", 2026, Comma()).value());
}

TEST(DataFileConversion, ItemLineFailures) {
    struct Case {
        const char* line;
        int year;
        const char* message;
    } cases[] = {
        {"", 2026, "'' is not a valid integer value"},
        {"x 07.12-14:05:09 1 1 1 1 1", 2026, "'x' is not a valid integer value"},
        {"1 07.12-14:05:09 1 1", 2026, "'' is not a valid integer value"},
        {"1 07.12 1 1 1 1 1", 2026, "'' is not a valid integer value"},
        {"1 07.12-14.05.09 1 1 1 1 1", 2026, ""}, // saved where the time separator is "."
        {"1 07.12-14.05:09 1 1 1 1 1", 2026, "'05:09' is not a valid integer value"},
        {"1 07.12-14:05:09 1 1 1.5 1 1", 2026, "'1.5' is not a valid integer value"},
        {"1 07.12-24:00:00 1 1 1 1 1", 2026, "Invalid argument to time encode"},
        {"1 07.12-23:60:00 1 1 1 1 1", 2026, "Invalid argument to time encode"},
        {"1 07.13-23:59:60 1 1 1 1 1", 2026, "Invalid argument to time encode"},
        {"1 07.13-23:59:59 1 1 1 1 1", 2026, "Invalid argument to date encode"},
        {"1 00.12-23:59:59 1 1 1 1 1", 2026, "Invalid argument to date encode"},
        {"1 31.04-23:59:59 1 1 1 1 1", 2026, "Invalid argument to date encode"},
        {"1 29.02-00:00:00 1 1 1 1 1", 2026, "Invalid argument to date encode"},
        {"1 29.02-00:00:00 1 1 1 1 1", 2024, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.message, FailureOf([&] { return ParseItemLine(c.line, c.year, {}); }));
    }
    // A binary "field" is shown cut short, never as megabytes of text.
    const std::string huge(1 << 20, '\x01');
    EXPECT_EQ("'" + QString(80, QChar(1)) + "...' is not a valid integer value",
              FailureOf([&] { return ParseItemLine(huge, 2026, {}); }));
}

TEST(DataFileConversion, FilesAndBinConv) {
    const QByteArray head = "Data Saved: 08.12.2026-140509\r\nMeasure Settings: F=1000Hz\r\n";
    const QByteArray item = "17  07.12-14:05:09  1  4  1  1234.50  ?";
    const TMeasRecord rec = Record(17, 0, 3, 1, 1.234, Void, At(2026, 12, 7, 14, 5, 9));
    Conversion c;

    // Two lines: nothing converted, an empty BinConv.dat; an empty file alike.
    EXPECT_EQ("", c.Run(head));
    EXPECT_EQ(0, c.pool.Count());
    EXPECT_EQ(QByteArray(""), ReadAll(c.binConv));
    EXPECT_EQ("", c.Run(""));
    EXPECT_EQ(QByteArray(""), ReadAll(c.binConv));

    // The third line is an item; the last one too, with or without its line end, LF or CR LF;
    // blank lines and the column header are passed over.
    for (const QByteArray& text : {head + item, head + item + "\n",
                                   head + "\r\n" + ColumnHeaderLine + "\r\n" + item + "\r\n\r\n",
                                   QByteArray("a\nb\n  \n") + item + "\n \n" + item}) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_EQ("", c.Run(text));
        ASSERT_GE(c.pool.Count(), 1);
        for (int64_t k = 0; k < c.pool.Count(); ++k)
            ExpectSame(rec, c.pool.At(k));
        const std::vector<uint8_t> bytes = c.pool.Bytes();
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                  ReadAll(c.binConv));
    }
    const QByteArray good = ReadAll(c.binConv);
    ASSERT_EQ(2 * 40, good.size());

    // A failing line: the message, the records before it stay in the pool, BinConv.dat as it was.
    EXPECT_EQ("'garbage' is not a valid integer value",
              c.Run(head + item + "\r\n" + item + "\r\ngarbage\r\n" + item + "\r\n"));
    EXPECT_EQ(2, c.pool.Count());
    EXPECT_EQ(good, ReadAll(c.binConv));
    EXPECT_EQ("'No' is not a valid integer value",
              c.Run(head + "No Time Brd Ch Range Rx Xx extra\r\n" + item));
    EXPECT_EQ("Invalid argument to date encode", c.Run(head + "1 29.02-00:00:00 1 1 1 1 1"));
    EXPECT_EQ("", c.Run(head + "1 29.02-00:00:00 1 1 1 1 1", 2028));
    const QByteArray last = ReadAll(c.binConv);
    const QByteArray binary("\x00\x01\xff\xfe\r\x1a\n\x00\x00\n\x7f\x80garbage", 19);
    EXPECT_EQ(QString("'") + QChar(0x7f) + QChar(0x80) + "garbage' is not a valid integer value",
              c.Run(binary));
    EXPECT_EQ(0, c.pool.Count());
    EXPECT_EQ(last, ReadAll(c.binConv));

    // The source cannot be opened: the runtime's text, the pool untouched.
    ASSERT_EQ("", c.Run(head + item));
    EXPECT_EQ("File not found",
              ErrorOf(ConvertDataFile(c.folder + "none.txt", c.pool, c.folder, {}, 2026)));
    EXPECT_EQ("File not found", ErrorOf(ConvertDataFile("", c.pool, c.folder, {}, 2026)));
    EXPECT_EQ("File access denied", ErrorOf(ConvertDataFile(c.folder, c.pool, c.folder, {}, 2026)));
    EXPECT_EQ("Path not found",
              ErrorOf(ConvertDataFile(c.source + "/x.txt", c.pool, c.folder, {}, 2026)));
    EXPECT_EQ(1, c.pool.Count());

    // BinConv.dat cannot be created (its folder is a file, it is a folder or read-only; for the
    // superuser too): the message, and the old file kept.
    const QString noFolder = c.source + "/";
    EXPECT_EQ("Cannot create file " + noFolder + "BinConv.dat",
              ErrorOf(ConvertDataFile(c.source, c.pool, noFolder, {}, 2026)));
    const QByteArray kept = ReadAll(c.binConv);
    ASSERT_TRUE(QFile::setPermissions(c.binConv, QFile::ReadOwner));
    EXPECT_EQ("Cannot create file " + c.binConv, c.Run(head + item + "\n" + item));
    EXPECT_EQ(kept, ReadAll(c.binConv));
    Conversion d;
    ASSERT_TRUE(QDir().mkpath(d.binConv + "/x"));
    EXPECT_EQ("Cannot create file " + d.binConv, d.Run(head + item));
    EXPECT_EQ(QStringList({"BinConv.dat", "Data.txt"}),
              QDir(d.folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
    // A pipe in its place: refused at once, neither written into nor waited on.
    Conversion e;
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(e.binConv).constData(), 0600));
    EXPECT_EQ("Cannot create file " + e.binConv,
              ResultWithin([&] { return e.Run(head + item); }, {e.binConv}));
    EXPECT_EQ(QStringList({"BinConv.dat", "Data.txt"}),
              QDir(e.folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                       QDir::NoDotAndDotDot));
}

TEST(DataFileConversion, OnlyBoundedLinesOfRegularFilesAndWhereAFailureHappened) {
    Conversion c;
    const QByteArray head = "Data Saved: 08.12.2026-140509\r\nMeasure Settings: F=1000Hz\r\n";
    const QByteArray item = "17  07.12-14:05:09  1  4  1  1234.50  ?\r\n";
    const QString fifo = c.folder + "pipe.txt";
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(fifo).constData(), 0600));
    struct Case {
        QString file; // the source; the written text when empty
        QByteArray text;
        QString failure; // the message box's text
        QString located; // the status line's
    };
    const QString longest(65536, 'x');
    const Case cases[] = {
        {"", head + item + item + "garbage\r\n" + item, "'garbage' is not a valid integer value",
         "%1, line 5: 'garbage' is not a valid integer value"},
        {"", head + item + QByteArray(65537, '1') + "\n" + item,
         "Line 4 is longer than 65536 characters",
         "%1, line 4: Line 4 is longer than 65536 characters"},
        {"", head + item + QByteArray(65537, '1'), "Line 4 is longer than 65536 characters",
         "%1, line 4: Line 4 is longer than 65536 characters"},
        {"", QByteArray(70000, ' ') + "\n", "Line 1 is longer than 65536 characters",
         "%1, line 1: Line 1 is longer than 65536 characters"},
        // The longest line, with its CR LF, is read (and fails as a number).
        {"", head + longest.toLatin1() + "\r\n",
         "'" + longest.left(80) + "...' is not a valid integer value",
         "%1, line 3: '" + longest.left(80) + "...' is not a valid integer value"},
        {fifo, "", "File access denied", "%1: File access denied"},
        {"/dev/zero", "", "File access denied", "%1: File access denied"},
        {c.folder + "none.txt", "", "File not found", "%1: File not found"},
    };
    for (const Case& k : cases) {
        const QString file = k.file.isEmpty() ? c.source : k.file;
        SCOPED_TRACE(file.toStdString());
        if (k.file.isEmpty()) {
            ASSERT_TRUE(WriteAll(c.source, k.text));
        }
        QString failure, located = "(no conversion failure)";
        const tl::expected<void, ConversionError> converted =
            ConvertDataFile(file, c.pool, c.folder, {}, 2026);
        if (!converted) {
            failure = converted.error().error.text;
            located = converted.error().located();
        }
        EXPECT_EQ(k.failure, failure);
        EXPECT_EQ(QString(k.located).arg(file), located);
    }
}

TEST(DataFileConversion, SavedFileReadsBackAsItsRecords) {
    // Whole seconds of the conversion's year; values of every kind the file writes, "?" included.
    const double values[] = {0.0,    1.2345,   0.0004, -0.0012,   65535.0, 65500.0, 65499.99,
                             6553.5, -12.3456, 0.9999, 2147.4836, -0.0,    1e-9,    123.4567};
    RecordStream pool;
    for (int k = 0; k < 600; ++k) {
        const double rx = values[k % std::size(values)];
        const double xx = values[(k * 7 + 3) % std::size(values)];
        pool.Append(Record(k * 113 % 65536, k % 8, k % 16, k % 4, rx, xx,
                           At(2027, 1 + k % 12, 1 + k % 28, k % 24, k % 60, k * 7 % 60)));
    }
    FormatSettings dottedTime = Comma(); // as in Finland
    dottedTime.timeSeparator = '.';
    for (const FormatSettings& fs : {FormatSettings{}, Comma(), dottedTime}) {
        Conversion c;
        WriteBufferTextFile(c.source, pool, 0, pool.Count(), SettingsLine(1000, 0.5, 0, 15, 3, fs),
                            QDateTime::currentDateTime(), fs);
        ASSERT_EQ("", ErrorOf(ConvertDataFile(c.source, c.pool, c.folder, fs, 2027)));
        ASSERT_EQ(pool.Count(), c.pool.Count());
        for (int64_t k = 0; k < pool.Count(); ++k) {
            const TMeasRecord want = pool.At(k);
            const TMeasRecord got = c.pool.At(k);
            SCOPED_TRACE(k);
            EXPECT_EQ(want.Counter, got.Counter);
            EXPECT_EQ(want.Board, got.Board);
            EXPECT_EQ(want.Channel, got.Channel);
            EXPECT_EQ(want.Range, got.Range);
            EXPECT_DOUBLE_EQ(double(want.Time), double(got.Time));
            for (auto [w, g] : {std::pair{double(want.Rx), double(got.Rx)},
                                std::pair{double(want.Xx), double(got.Xx)}}) {
                if (w >= 65500.0)
                    EXPECT_EQ(Void, g);
                else
                    EXPECT_NEAR(w, g, 0.001);
            }
        }
    }
}
