#pragma once
// The texts of the buffer table BufGrid: its header row, its column widths and the cell texts
// of an item, all computed from the record when a row is shown.
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "base/FormatSettings.h"
#include "records/MeasRecord.h"

constexpr int BufferColumnCount = 8;

// "Item", "Id", "Time", "Board", "Channel", "Range", "R", "X"; empty outside 0..7.
QString BufferHeaderTitle(int column);
// Pixels: 50, 70, 110, 60, 60, 60, 110, 110; 0 outside 0..7.
int BufferColumnWidth(int column);
// Text of column `column` for item number `item` holding `rec`; empty outside 0..7.
QString BufferCellText(const TMeasRecord& rec, int64_t item, int column, const FormatSettings& fs);
// One line about an item: the title and the text of each of the columns, such as
// "Item 17  Id 1234  Time 07.12-14:05:09  R 1234.50  X -12.30".
QString BufferItemSummary(const TMeasRecord& rec, int64_t item, std::initializer_list<int> columns,
                          const FormatSettings& fs);

// Day, month and clock of a record's time, rounded to the nearest whole second, and the year of
// that day.
struct RecordClock {
    int day = 0;
    int month = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int year = 0;
};
// Nothing for a value that is no date (not a number, outside the years 1 to 9999).
std::optional<RecordClock> RecordClockOf(double dateTime);
// "dd.mm-hh:nn:ss" with the locale's time separator in place of the colons; a value that is no
// date shows question marks in the same shape.
QString RecordTimeText(double dateTime, const FormatSettings& fs);
