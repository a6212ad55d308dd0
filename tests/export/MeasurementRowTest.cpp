#include <QByteArray>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "buffer/BufferTestRecords.h"
#include "export/MeasurementRow.h"

using buffertest::At;
using buffertest::Record;

TEST(MeasurementRow, SheetValues) {
    struct Case {
        double value;
        int64_t want;
    } cases[] = {
        {65535.0, 0},
        {1.23456, 1235},
        {0.0004, 0},
        {-0.0012, -1},
        {0.0025, 2}, // half to even
        {0.0035, 4},
        {65534.9, 65534900},
        {6553.5, 6553500},
        // Beyond 32 bits: computed and written whole, never wrapped.
        {2147483.648, 2147483648},
        {-5000000.0, -5000000000},
        {1e300, std::numeric_limits<int64_t>::max()},
        {-1e300, std::numeric_limits<int64_t>::min()},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, SheetValue(c.value)) << c.value;
}

TEST(MeasurementRow, RowBytes) {
    FormatSettings points;
    points.timeSeparator = '.';
    FormatSettings ratio; // a separator beyond ASCII: U+2236
    ratio.timeSeparator = QChar(0x2236);
    struct Case {
        TMeasRecord rec;
        FormatSettings fs;
        const char* want;
    } cases[] = {
        {Record(17, 0, 3, 1, 1.23456, 65535.0, At(2026, 12, 7, 14, 5, 9)),
         {},
         "17\t07.12\t14:05:09\t1\t1235\t0\t46363.586909722224"},
        // A time stored a hair below the second: the timestamp is the second the clock shows.
        {Record(16777215, 2, 0, 3, -0.0012, 2147483.648, At(2027, 2, 1, 3, 4, 5) - 1e-9), points,
         "16777215\t01.02\t03.04.05\t3\t-1\t2147483648\t46419.12783564815"},
        // Half a second past 23:59:59 shows the next day, and so does the timestamp.
        {Record(7, 0, 0, 0, 0, 0, At(2026, 12, 31, 23, 59, 59) + 0.5 / 86400),
         {},
         "7\t01.01\t00:00:00\t0\t0\t0\t46388"},
        {Record(1, 0, 0, 0, 0, 0, At(2026, 1, 1, 0, 0, 0)), ratio,
         "1\t01.01\t00\xe2\x88\xb6"
         "00\xe2\x88\xb6"
         "00\t0\t0\t0\t46023"},
        {Record(2, 0, 0, 0, 0, 0, At(2026, 6, 30, 12, 0, 0)),
         {},
         "2\t30.06\t12:00:00\t0\t0\t0\t46203.5"},
        // Before 30 December 1899 a spreadsheet counts the time of day forward.
        {Record(3, 0, 0, 0, 0, 0, -1.25), {}, "3\t29.12\t06:00:00\t0\t0\t0\t-0.75"},
        {Record(-4, 0, 0, 0, 0, 0, std::numeric_limits<double>::quiet_NaN()), points,
         "-4\t??.??\t??.??.??\t0\t0\t0\t"},
        {Record(5, 0, 0, -2, 1e300, -1e300, 1e10),
         {},
         "5\t??.??\t??:??:??\t-2\t9223372036854775807\t-9223372036854775808\t"},
    };
    for (const Case& c : cases) {
        char row[MaxMeasurementRowBytes];
        const QByteArray got(row, MeasurementRowWriter(c.fs).Put(row, c.rec) - row);
        EXPECT_EQ(c.want, got);
        // Seven cells under the seven header cells.
        EXPECT_EQ(7, got.count('\t') + 1);
    }
}

TEST(MeasurementRow, DateAndClockAsTheBufferShowsThem) {
    // One writer over times that come day by day and go back, with fractions of a second next to
    // every rounding edge: its date and clock are the buffer's, whatever it remembers.
    MeasurementRowWriter writer({});
    const double days[] = {0, 1, 46363, 46364, 46363, 2958465, 2958464, -2, -693593};
    const double seconds[] = {0,         0.4994,   0.4996,     0.5,        1.5,     59.5004,
                              3599.4999, 43200.25, 86399.4994, 86399.4996, 86399.5, 86399.9999};
    for (const double day : days)
        for (const double second : seconds) {
            const double time = dt::ComposeDateTime(day, second / 86400);
            char row[MaxMeasurementRowBytes];
            const QList<QByteArray> cells =
                QByteArray(row, writer.Put(row, Record(1, 0, 0, 0, 0, 0, time)) - row).split('\t');
            EXPECT_EQ(RecordTimeText(time, {}), cells[1] + '-' + cells[2])
                << day << " + " << second << " s";
            // The timestamp is the double nearest to that very second, in a sheet's count.
            if (cells[6].isEmpty()) {
                EXPECT_EQ("??.??", cells[1]);
                continue;
            }
            const double serial = cells[6].toDouble();
            EXPECT_EQ(serial, double(std::llround(serial * 86400)) / 86400) << cells[6].data();
            const double whole = std::floor(serial);
            EXPECT_EQ(RecordTimeText(whole < 0 ? 2 * whole - serial : serial, {}),
                      cells[1] + '-' + cells[2])
                << cells[6].data();
        }
    EXPECT_EQ(7, QByteArray(SheetHeaderRow).count('\t') + 1);
}

TEST(MeasurementRow, Selection) {
    const double t = At(2026, 12, 7, 14, 5, 9);
    struct Case {
        TMeasRecord rec;
        int board;
        int sheet;
        bool skipVoid;
        bool want;
    } cases[] = {
        {Record(1, 2, 4, 0, 1, 1, t), 3, 5, false, true},
        {Record(1, 2, 4, 0, 1, 1, t), 2, 5, false, false},
        {Record(1, 2, 4, 0, 1, 1, t), 3, 4, false, false},
        {Record(1, -1, 0, 0, 1, 1, t), 0, 1, false, true},
        // Void: both values 0 before rounding; the overflow mark counts as 0.
        {Record(1, 2, 4, 0, 65535.0, 0.0, t), 3, 5, true, false},
        {Record(1, 2, 4, 0, 65535.0, 0.0, t), 3, 5, false, true},
        {Record(1, 2, 4, 0, 65535.0, 65535.0, t), 3, 5, true, false},
        {Record(1, 2, 4, 0, -0.0, 0.0, t), 3, 5, true, false},
        // Tested before rounding: 0.4 is not 0, though both cells read 0.
        {Record(1, 2, 4, 0, 0.0004, 0.0, t), 3, 5, true, true},
        {Record(1, 2, 4, 0, 0.0, -1e-12, t), 3, 5, true, true},
        {Record(1, 2, 4, 0, 65535.0, 65534.0, t), 3, 5, true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, SelectedForSheet(c.rec, c.board, c.sheet, c.skipVoid))
            << c.rec.Board << " " << c.rec.Channel << " " << c.rec.Rx << " " << c.rec.Xx;
}
