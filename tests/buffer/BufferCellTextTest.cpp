#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "BufferTestRecords.h"
#include "buffer/BufferCellText.h"

using buffertest::At;
using buffertest::Record;

namespace {

const FormatSettings Point;

FormatSettings CommaAndDot() {
    FormatSettings fs;
    fs.decimalSeparator = ',';
    fs.timeSeparator = '.';
    return fs;
}

QString Cell(const TMeasRecord& r, int column, const FormatSettings& fs = Point) {
    return BufferCellText(r, 0, column, fs);
}

constexpr double OneSecond = 1.0 / 86400;
// The shape shown for a value that is no date (escaped: "??-" would be a trigraph).
const QString NoDate = QStringLiteral("\?\?.\?\?-\?\?:\?\?:\?\?");

} // namespace

TEST(BufferCellText, HeaderTitlesAndWidths) {
    const char* titles[] = {"Item", "Id", "Time", "Board", "Channel", "Range", "R", "X"};
    const int widths[] = {50, 70, 110, 60, 60, 60, 110, 110};
    for (int c = 0; c < BufferColumnCount; ++c) {
        EXPECT_EQ(QString(titles[c]), BufferHeaderTitle(c)) << c;
        EXPECT_EQ(widths[c], BufferColumnWidth(c)) << c;
    }
    EXPECT_TRUE(BufferHeaderTitle(-1).isEmpty());
    EXPECT_TRUE(BufferHeaderTitle(8).isEmpty());
    EXPECT_EQ(0, BufferColumnWidth(8));
}

TEST(BufferCellText, AllColumnsOfOneItem) {
    const TMeasRecord r = Record(4711, 0, 15, 2, 1.2345, -0.0123, At(2026, 12, 7, 14, 5, 9));
    const QStringList expected = {"104", "4711", "07.12-14:05:09", "1",
                                  "16",  "2",    "1234.50",        "-12.30"};
    for (int c = 0; c < BufferColumnCount; ++c)
        EXPECT_EQ(expected[c], BufferCellText(r, 104, c, Point)) << c;
    EXPECT_TRUE(BufferCellText(r, 104, 8, Point).isEmpty());
    EXPECT_TRUE(BufferCellText(r, 104, -1, Point).isEmpty());
}

TEST(BufferCellText, OverflowMarksAreExactEquality) {
    const double t = At(2026, 1, 1, 0, 0, 0);
    EXPECT_EQ("open", Cell(Record(1, 0, 0, 0, 65535.0, 0, t), 6));
    EXPECT_EQ("N/A", Cell(Record(1, 0, 0, 0, 0, 65535.0, t), 7));
    // An overflow divided by ten, and values next to the mark, are numbers.
    EXPECT_EQ("6553500.00", Cell(Record(1, 0, 0, 0, 6553.5, 6553.5, t), 6));
    EXPECT_EQ("6553500.00", Cell(Record(1, 0, 0, 0, 6553.5, 6553.5, t), 7));
    EXPECT_EQ("65510000.00", Cell(Record(1, 0, 0, 0, 65510.0, 65510.0, t), 6));
    EXPECT_EQ("65535000.01", Cell(Record(1, 0, 0, 0, 65535.00001, 0, t), 6));
    EXPECT_EQ("-65535000.00", Cell(Record(1, 0, 0, 0, 0, -65535.0, t), 7));
    // The other column is unaffected by a mark in one.
    EXPECT_EQ("0.00", Cell(Record(1, 0, 0, 0, 65535.0, 0, t), 7));
    EXPECT_EQ("0.00", Cell(Record(1, 0, 0, 0, 0, 65535.0, t), 6));
}

TEST(BufferCellText, NumbersFollowTheDecimalSeparator) {
    const TMeasRecord r = Record(1, 7, 255, 3, 1.2345, -0.0123, At(2026, 12, 7, 14, 5, 9));
    EXPECT_EQ("1234,50", Cell(r, 6, CommaAndDot()));
    EXPECT_EQ("-12,30", Cell(r, 7, CommaAndDot()));
    EXPECT_EQ("8", Cell(r, 3, CommaAndDot()));
    EXPECT_EQ("256", Cell(r, 4, CommaAndDot()));
    EXPECT_EQ("3", Cell(r, 5, CommaAndDot()));
    EXPECT_EQ("07.12-14.05.09", Cell(r, 2, CommaAndDot()));
    EXPECT_EQ("open", Cell(Record(1, 0, 0, 0, 65535.0, 0, 0), 6, CommaAndDot()));
}

TEST(BufferCellText, TimesRoundToTheNearestSecond) {
    const double t = At(2026, 12, 7, 14, 5, 9);
    EXPECT_EQ("07.12-14:05:09", RecordTimeText(t, Point));
    // A hair below a whole second is that second, never the one before.
    EXPECT_EQ("07.12-14:05:09", RecordTimeText(t - 1e-9, Point));
    EXPECT_EQ("07.12-14:05:09", RecordTimeText(std::nextafter(t, 0.0), Point));
    EXPECT_EQ("07.12-14:05:09", RecordTimeText(t - 0.4 * OneSecond, Point));
    EXPECT_EQ("07.12-14:05:09", RecordTimeText(t + 0.4 * OneSecond, Point));
    EXPECT_EQ("07.12-14:05:10", RecordTimeText(t + 0.6 * OneSecond, Point));
    EXPECT_EQ("07.12-14:05:08", RecordTimeText(t - 0.6 * OneSecond, Point));
    // Carries through minutes, hours, days, months and the year.
    EXPECT_EQ("07.12-14:06:00",
              RecordTimeText(At(2026, 12, 7, 14, 5, 59) + 0.7 * OneSecond, Point));
    EXPECT_EQ("08.12-00:00:00",
              RecordTimeText(At(2026, 12, 7, 23, 59, 59) + 0.7 * OneSecond, Point));
    EXPECT_EQ("01.03-00:00:00",
              RecordTimeText(At(2024, 2, 29, 23, 59, 59) + 0.7 * OneSecond, Point));
    EXPECT_EQ("01.01-00:00:00",
              RecordTimeText(At(2026, 12, 31, 23, 59, 59) + 0.7 * OneSecond, Point));
    EXPECT_EQ("01.01-00:00:00", RecordTimeText(At(2027, 1, 1, 0, 0, 0) - 1e-10, Point));
    EXPECT_EQ("29.02-00:00:00", RecordTimeText(At(2024, 2, 29, 0, 0, 0), Point));
    EXPECT_EQ("31.12-23:59:59", RecordTimeText(At(2026, 12, 31, 23, 59, 59), Point));
    EXPECT_EQ("30.12-00:00:00", RecordTimeText(0.0, Point));
    // Before 30 December 1899 the fraction still counts forward from midnight.
    EXPECT_EQ("29.12-06:00:00", RecordTimeText(-1.25, Point));
    // The last second of the calendar has nowhere to carry to.
    EXPECT_EQ("31.12-23:59:59",
              RecordTimeText(At(9999, 12, 31, 23, 59, 59) + 0.7 * OneSecond, Point));
}

TEST(BufferCellText, TimeSeparatorAndValuesThatAreNoDate) {
    FormatSettings fs;
    fs.timeSeparator = QChar(0x00B7);
    EXPECT_EQ(QString::fromUtf8("07.12-14\u00B705\u00B709"),
              RecordTimeText(At(2026, 12, 7, 14, 5, 9), fs));
    EXPECT_EQ(NoDate, RecordTimeText(std::numeric_limits<double>::quiet_NaN(), Point));
    EXPECT_EQ(NoDate, RecordTimeText(std::numeric_limits<double>::infinity(), Point));
    EXPECT_EQ(NoDate, RecordTimeText(1e300, Point));
    EXPECT_EQ(NoDate, RecordTimeText(-1e7, Point));
    EXPECT_EQ(QString(NoDate).replace(':', QChar(0x00B7)), RecordTimeText(-1e7, fs));
    EXPECT_FALSE(RecordClockOf(std::numeric_limits<double>::quiet_NaN()).has_value());
    const auto c = RecordClockOf(At(2026, 2, 3, 4, 5, 6));
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(3, c->day);
    EXPECT_EQ(2, c->month);
    EXPECT_EQ(4, c->hour);
    EXPECT_EQ(5, c->minute);
    EXPECT_EQ(6, c->second);
}
