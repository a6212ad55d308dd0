#pragma once
// The buffer text file: a header of four lines (when saved, the measurement settings, an empty
// line, the column header) and one line per item, in the 8-bit code page with CR LF after every
// line. The saved file is read back by the text file conversion of the workbook export.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "base/FormatSettings.h"
#include "base/WorkProgress.h"
#include "buffer/RecordStream.h"
#include "records/MeasRecord.h"

// "Measure Settings: F=%dHz, U=%.2fV, T=%d:%d, Repeat=%d" from the Measure Config controls;
// frequency, hours, minutes and repeats rounded half to even. Also the workbook's settings cell.
QString SettingsLine(double freqHz, double volts, double perHour, double perMin, double repeat,
                     const FormatSettings& fs);

// "Save" of items from..to-1 is allowed unless from < 0 or to > n (the caller then shows
// "Items bounds out of range"). An empty range (from >= to) is allowed and saves the header.
bool CheckSaveBounds(int64_t from, int64_t to, int64_t n);

// Line 1 without its line end: "Data Saved: dd.mm.yyyy-hhnnss".
QString SavedLine(const QDateTime& now);
// The column header, line 4.
inline constexpr char ColumnHeaderLine[] = "No       Time     Brd Ch Range   Rx    Xx";
// One item line without its line end, in the 8-bit code page: counter, time, board + 1,
// channel + 1, range, Rx * 1000 and Xx * 1000 (each "?" from 65500 on), two blanks apart.
QByteArray ItemLine(const TMeasRecord& rec, const FormatSettings& fs);

// Writes the file at `path`: the header with `now` and `settingsLine`, then items from, from+1,
// ... of the pool, stopping at the first item that does not exist or is not below `to`. The
// file appears complete or not at all: it is written beside the target under another name and
// renamed over the target when flushed, so a failure leaves an earlier file of that name as it
// was; a file whose mode forbids writing is not replaced, and a replaced file keeps its mode.
// Throws Failure with the reason ("Cannot create file <path>: Permission denied", "Cannot write
// file <path>: No space left on device").
void WriteBufferTextFile(const QString& path, const RecordStream& pool, int64_t from, int64_t to,
                         const QString& settingsLine, const QDateTime& now,
                         const FormatSettings& fs);

// The same from a snapshot of the pool, on any thread, counting the items written in `progress`
// (done). Returns false when `progress` asked to cancel: the file is then not written and an
// earlier file of that name stays as it was.
bool WriteBufferTextFile(const QString& path, const RecordSnapshot& pool, int64_t from, int64_t to,
                         const QString& settingsLine, const QDateTime& now,
                         const FormatSettings& fs, WorkProgress* progress = nullptr);
