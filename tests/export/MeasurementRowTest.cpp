#include <QStringList>
#include <gtest/gtest.h>
#include <limits>

#include "data/BufferTestRecords.h"
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

TEST(MeasurementRow, RowText) {
    const double t = At(2026, 12, 7, 14, 5, 9);
    EXPECT_EQ("17\t07.12\t14:05:09\t1\t1235\t0",
              MeasurementRow(Record(17, 0, 3, 1, 1.23456, 65535.0, t), {}));
    FormatSettings fs;
    fs.timeSeparator = '.';
    EXPECT_EQ(
        "16777215\t01.02\t03.04.05\t3\t-1\t2147483648",
        MeasurementRow(
            Record(16777215, 2, 0, 3, -0.0012, 2147483.648, At(2027, 2, 1, 3, 4, 5) - 1e-9), fs));
    // Six cells under the six header cells.
    EXPECT_EQ(6, QString(SheetHeaderRow).split('\t').size());
    EXPECT_EQ(6, MeasurementRow(Record(0, 0, 0, 0, 0, 0, t), {}).split('\t').size());
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
