#pragma once
// The rows of a channel sheet in the workbook export and the rule that picks the records for
// each sheet. A row is made straight into the bytes a block poke carries: an export makes a
// million of them.
#include <QtGlobal>
#include <cstdint>
#include <optional>

#include "base/FormatSettings.h"
#include "buffer/BufferCellText.h"
#include "records/MeasRecord.h"

// The header row of every channel sheet, its cells joined by TAB.
inline constexpr char SheetHeaderRow[] = "Number\tDate\tTime\tRange\tRp\tXp\tTimestamp";

// The most bytes a row takes (MeasurementRowWriter::Put).
inline constexpr qsizetype MaxMeasurementRowBytes = 160;

// Rp or Xp: 0 for the overflow mark 65535.0, otherwise value * 1000 rounded half to even, as a
// 64-bit integer (the logger's values can exceed 32 bits after scaling). Values beyond 64 bits
// saturate; not-a-number gives 0.
int64_t SheetValue(double value);

// Whether the record belongs on sheet "Channel_<sheet>" of an export of board `board` (both as
// shown, 1-based). With `skipVoid`, a record whose two values before rounding (value * 1000, or 0
// for the overflow mark) are both exactly 0 is left out.
bool SelectedForSheet(const TMeasRecord& rec, int board, int sheet, bool skipVoid);

class MeasurementRowWriter {
public:
    explicit MeasurementRowWriter(const FormatSettings& fs);
    // Writes the row's cells joined by TAB at `out`, in UTF-8, without a line end, and returns
    // where it ended (at most MaxMeasurementRowBytes on): number, "dd.mm", "hh:nn:ss" (the
    // operator's time separator; the buffer's time column rounded to the second), range, Rp, Xp
    // and the timestamp. The timestamp is the date and the second that the Date and Time cells
    // show, as a spreadsheet counts them: days since 30 December 1899 on one straight line (so
    // before that day the time of day counts forward, unlike in a record), as the shortest decimal
    // with "." that reads back as the nearest double; empty for a time that is no date.
    char* Put(char* out, const TMeasRecord& rec);

private:
    // RecordClockOf, with the calendar looked up once a day: rows come day by day.
    std::optional<RecordClock> Clock(double time);
    // The day number of the clock's date, without the calendar when it is the day kept.
    double DayOf(const RecordClock& c);
    char separator_[3];
    int separatorBytes_ = 0;
    double day_ = -1; // whole day whose date is kept, -1 for none
    int dayOfMonth_ = 0;
    int month_ = 0;
    int year_ = 0;
};
