#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <sys/stat.h>

#include "BufferTestRecords.h"
#include "base/Failure.h"
#include "buffer/BufferCellText.h"
#include "buffer/BufferTextFile.h"

using buffertest::At;
using buffertest::Numbered;
using buffertest::Record;

namespace {

const QDateTime SavedAt(QDate(2026, 12, 8), QTime(14, 5, 9));
const QByteArray Header = "Data Saved: 08.12.2026-140509\r\n"
                          "Measure Settings: F=1000Hz, U=0.50V, T=0:15, Repeat=3\r\n"
                          "\r\n"
                          "No       Time     Brd Ch Range   Rx    Xx\r\n";

struct SaveFolder {
    QTemporaryDir dir;
    QString path = dir.filePath("Data.txt");

    QByteArray Save(const RecordStream& pool, int64_t from, int64_t to,
                    const FormatSettings& fs = {}) {
        WriteBufferTextFile(path, pool, from, to, SettingsLine(1000, 0.5, 0, 15, 3, fs), SavedAt,
                            fs);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return "<unreadable>";
        return f.readAll();
    }
};

RecordStream Pool(int n) {
    RecordStream pool;
    for (int k = 0; k < n; ++k)
        pool.Append(Numbered(k));
    return pool;
}

QByteArray Lines(std::initializer_list<QByteArray> lines) {
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

FormatSettings Comma() {
    FormatSettings fs;
    fs.decimalSeparator = ',';
    return fs;
}

} // namespace

TEST(BufferTextFile, EmptyPoolGivesExactlyTheFourHeaderLines) {
    SaveFolder f;
    const RecordStream pool;
    EXPECT_EQ(Header, f.Save(pool, 0, 0));
    EXPECT_EQ(4, f.Save(pool, 0, 0).count("\r\n"));
}

TEST(BufferTextFile, WritesItemsFromUpToButNotIncludingTo) {
    SaveFolder f;
    const RecordStream pool = Pool(10);
    EXPECT_EQ(Header + Lines({ItemLine(Numbered(2), {}), ItemLine(Numbered(3), {}),
                              ItemLine(Numbered(4), {})}),
              f.Save(pool, 2, 5));
    // Every item, and the stop rules: an empty range and a range beyond the pool end early.
    QByteArray all = Header;
    for (int k = 0; k < 10; ++k)
        all += ItemLine(Numbered(k), {}) + "\r\n";
    EXPECT_EQ(all, f.Save(pool, 0, 10));
    EXPECT_EQ(Header, f.Save(pool, 5, 5));
    EXPECT_EQ(Header, f.Save(pool, 7, 3));
    EXPECT_EQ(Header, f.Save(pool, 10, 20));
    EXPECT_EQ(Header + Lines({ItemLine(Numbered(9), {})}), f.Save(pool, 9, 1000));
}

TEST(BufferTextFile, ItemLinePieces) {
    // The example of the file layout, with the reactance out of range.
    EXPECT_EQ("17  07.12-14:05:09  1  4  1  1234.50  ?",
              ItemLine(Record(17, 0, 3, 1, 1.2345, 65535.0, At(2026, 12, 7, 14, 5, 9)), {}));
    const double t = At(2026, 1, 2, 3, 4, 5);
    EXPECT_EQ("16777215  02.01-03:04:05  16  256  3  0.00  -12.30",
              ItemLine(Record(16777215, 15, 255, 3, 0, -0.0123, t), {}));
    // "?" from 65500 on, whatever the value's sign of the other piece.
    EXPECT_EQ("1  02.01-03:04:05  1  1  0  ?  ?",
              ItemLine(Record(1, 0, 0, 0, 65500.0, 65535.0, t), {}));
    EXPECT_EQ("1  02.01-03:04:05  1  1  0  65499990.00  65510.00",
              ItemLine(Record(1, 0, 0, 0, 65499.99, 65.51, t), {}));
    EXPECT_EQ("1  02.01-03:04:05  1  1  0  ?  -65535000.00",
              ItemLine(Record(1, 0, 0, 0, 65510.0, -65535.0, t), {}));
    EXPECT_EQ("1  02.01-03:04:05  1  1  0  6553500.00  ?",
              ItemLine(Record(1, 0, 0, 0, 6553.5, 1e300, t), {}));
    // A time a hair below a whole second is that second.
    EXPECT_EQ("1  02.01-03:04:05  1  1  0  0.00  0.00",
              ItemLine(Record(1, 0, 0, 0, 0, 0, t - 1e-9), {}));
}

TEST(BufferTextFile, LocaleSeparatorsAndEightBitText) {
    SaveFolder f;
    RecordStream pool;
    pool.Append(Record(17, 0, 3, 1, 1.2345, -0.0123, At(2026, 12, 7, 14, 5, 9)));
    const QByteArray comma = f.Save(pool, 0, 1, Comma());
    EXPECT_TRUE(comma.contains("Measure Settings: F=1000Hz, U=0,50V, T=0:15, Repeat=3\r\n"));
    EXPECT_TRUE(comma.endsWith("\r\n17  07.12-14:05:09  1  4  1  1234,50  -12,30\r\n"));

    // Separators outside ASCII are single bytes of the 8-bit code page, not UTF-8; one the code
    // page lacks becomes "?".
    FormatSettings fs;
    fs.timeSeparator = QChar(0x00B7);
    fs.decimalSeparator = QChar(0x066B);
    const QByteArray odd = f.Save(pool, 0, 1, fs);
    EXPECT_TRUE(odd.endsWith("\r\n17  07.12-14\xB7"
                             "05\xB7"
                             "09  1  4  1  1234?50  -12?30\r\n"));
    EXPECT_TRUE(odd.contains("U=0?50V"));
}

TEST(BufferTextFile, FileNumbersAgreeWithTheTableTexts) {
    // The file formats its numbers and times on a fast path of its own; it must give the same
    // texts as the table (Fixed2) for every value below the "?" threshold: halves of a hundredth,
    // values a hair beside them, signed zeros, tiny negatives, huge values and NaN included.
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> value(-70000, 70000);
    std::uniform_real_distribution<double> small(-0.01, 0.01);
    std::uniform_real_distribution<double> time(-700000, 2900000);
    std::uniform_int_distribution<int> eighths(-560000000, 560000000);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1e-300,
                                  -1e-300,
                                  1e-6,
                                  -1e-6,
                                  -4e-6,
                                  -5e-6,
                                  1.2345,
                                  65499.99,
                                  65535,
                                  -65535,
                                  -1e12,
                                  -1e13,
                                  -2e15,
                                  -1e300,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::infinity()};
    int ties = 0;
    for (int i = 0; i < 20000; ++i) {
        // Odd eighths of a unit after the factor 1000 are exact halves of a hundredth.
        const double tie = (2 * eighths(rng) + 1) / 8.0 / 1000;
        ties += std::fmod(tie * 1000 * 8, 2) != 0;
        values.insert(values.end(), {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9),
                                     value(rng), small(rng)});
    }
    ASSERT_GT(ties, 5000);
    for (const FormatSettings& fs : {FormatSettings{}, Comma()}) {
        for (size_t i = 0; i + 1 < values.size(); ++i) {
            const double rx = values[i];
            const double xx = values[i + 1];
            const TMeasRecord r =
                Record(int(i), int(i % 16), int(i % 256), int(i % 4), rx, xx, time(rng));
            const QList<QByteArray> pieces = ItemLine(r, fs).split(' ');
            ASSERT_EQ(13, pieces.size()); // seven pieces, two blanks apart
            ASSERT_EQ(BufferCellText(r, 0, 1, fs), pieces[0]);
            ASSERT_EQ(BufferCellText(r, 0, 2, fs), pieces[2]);
            ASSERT_EQ(rx >= 65500 ? "?" : Fixed2(rx * 1000, fs), pieces[10]) << rx;
            ASSERT_EQ(xx >= 65500 ? "?" : Fixed2(xx * 1000, fs), pieces[12]) << xx;
        }
    }
}

TEST(BufferTextFile, SettingsLineRoundsHalvesToEven) {
    const FormatSettings fs;
    EXPECT_EQ("Measure Settings: F=1000Hz, U=0.50V, T=0:15, Repeat=3",
              SettingsLine(1000, 0.5, 0, 15, 3, fs));
    EXPECT_EQ("Measure Settings: F=1000Hz, U=0.13V, T=2:14, Repeat=4",
              SettingsLine(1000.5, 0.125, 2.5, 14.5, 3.5, fs));
    EXPECT_EQ("Measure Settings: F=1002Hz, U=5.00V, T=24:0, Repeat=2",
              SettingsLine(1001.5, 5, 23.5, 0.4, 2.5, fs));
    EXPECT_EQ("Measure Settings: F=20000Hz, U=0,10V, T=1:1, Repeat=1",
              SettingsLine(19999.6, 0.1, 1.4999, 0.5000001, 1, Comma()));
}

TEST(BufferTextFile, SavedLineAndBoundsCheck) {
    EXPECT_EQ("Data Saved: 01.02.2027-030405",
              SavedLine(QDateTime(QDate(2027, 2, 1), QTime(3, 4, 5))));
    EXPECT_EQ("Data Saved: 31.12.2026-235959",
              SavedLine(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999))));

    EXPECT_TRUE(CheckSaveBounds(0, 10, 10));
    EXPECT_TRUE(CheckSaveBounds(0, 0, 0));
    EXPECT_TRUE(CheckSaveBounds(2, 5, 10));
    EXPECT_TRUE(CheckSaveBounds(7, 3, 10)); // an empty range writes the header only
    EXPECT_TRUE(CheckSaveBounds(12, 3, 10));
    EXPECT_FALSE(CheckSaveBounds(0, 11, 10));
    EXPECT_FALSE(CheckSaveBounds(-1, 0, 10));
    EXPECT_FALSE(CheckSaveBounds(-1, 5, 10));
    EXPECT_FALSE(CheckSaveBounds(0, 1, 0));
}

TEST(BufferTextFile, ReplacesAnEarlierFileWhole) {
    SaveFolder f;
    const RecordStream pool = Pool(50);
    const QByteArray longer = f.Save(pool, 0, 50);
    const QByteArray shorter = f.Save(pool, 0, 1);
    EXPECT_GT(longer.size(), shorter.size());
    EXPECT_EQ(Header + Lines({ItemLine(Numbered(0), {})}), shorter);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(QStringList{"Data.txt"}, QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden));
    // A new file gets the usual permissions, not those of a private temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ((mask & S_IROTH) == 0, QFile::permissions(f.path).testFlag(QFileDevice::ReadOther));
    EXPECT_EQ((mask & S_IRGRP) == 0, QFile::permissions(f.path).testFlag(QFileDevice::ReadGroup));
}

TEST(BufferTextFile, ManyItemsCrossingTheWriteChunks) {
    SaveFolder f;
    const int n = 3 * RecordStream::BlockRecords + 11;
    const RecordStream pool = Pool(n);
    const QByteArray all = f.Save(pool, 1, n);
    ASSERT_EQ(4 + n - 1, all.count("\r\n"));
    EXPECT_EQ(all.count('\n'), all.count("\r\n"));
    const QList<QByteArray> lines = all.split('\n');
    for (int k = 1; k < n; ++k)
        ASSERT_EQ(ItemLine(Numbered(k), {}) + '\r', lines[3 + k]) << k;
}
