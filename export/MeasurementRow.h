#pragma once
// The rows of a channel sheet in the workbook export and the rule that picks the records for
// each sheet.
#include <QString>
#include <cstdint>

#include "base/FormatSettings.h"
#include "link/MeasRecord.h"

// The header row of every channel sheet, its cells joined by TAB.
inline constexpr char SheetHeaderRow[] = "Number\tDate\tTime\tRange\tRp\tXp";

// Rp or Xp: 0 for the overflow mark 65535.0, otherwise value * 1000 rounded half to even, as a
// 64-bit integer (the logger's values can exceed 32 bits after scaling). Values beyond 64 bits
// saturate; not-a-number gives 0.
int64_t SheetValue(double value);

// Whether the record belongs on sheet "Channel_<sheet>" of an export of board `board` (both as
// shown, 1-based). With `skipVoid`, a record whose two values before rounding (value * 1000, or 0
// for the overflow mark) are both exactly 0 is left out.
bool SelectedForSheet(const TMeasRecord& rec, int board, int sheet, bool skipVoid);

// Number, "dd.mm", "hh:nn:ss" (the operator's time separator), range, Rp and Xp, joined by TAB.
QString MeasurementRow(const TMeasRecord& rec, const FormatSettings& fs);
