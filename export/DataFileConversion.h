#pragma once
// Reading a saved buffer text file back into measurement records, the source "from file" of the
// workbook export. The file is always read as text, whatever its name; its lines are bytes in
// the 8-bit code page, ended by LF or CR LF.
#include <QString>
#include <optional>
#include <string_view>

#include "base/FormatSettings.h"
#include "base/Result.h"
#include "buffer/RecordStream.h"
#include "records/MeasRecord.h"

// The longest line read, without its line end.
inline constexpr size_t MaxLineBytes = 64 * 1024;

// A failed conversion: the system's text (what the message box shows) and, when the source
// file failed, where it happened, for the status line.
struct ConversionError {
    Error error;
    QString file;
    // Counts from 1; 0 when the file could not be opened; unset when BinConv.dat failed.
    std::optional<int64_t> line;
    // "<file>, line <n>: <text>", "<file>: <text>" without a line, or the text alone.
    QString located() const;
};

// The file that receives the records of the last complete conversion, in the program's folder.
inline constexpr char BinConvFileName[] = "BinConv.dat";

// Item lines: blank runs count as one blank, leading blanks are dropped, and the seven fields
// are number, "dd.mm-hh:nn:ss", board, channel, range, resistance, reactance. Fails with
// "'<field>' is not a valid integer value", "Invalid argument to time encode" or "Invalid
// argument to date encode"; the date is in `currentYear`.
Result<TMeasRecord> ParseItemLine(std::string_view line, int currentYear, const FormatSettings& fs);

// A resistance or reactance field at the decoder's scale: every "k" removed, the number with
// the operator's decimal separator cut to an integer toward zero and divided by 1000. Empty,
// "?..." and unreadable fields, and integers beyond 32 bits, give the overflow mark 65535.0.
double ConvertedValue(std::string_view field, const FormatSettings& fs);

// Lines that are passed over between the items: blank ones and the column header of a saved
// file, so that a file the console wrote reads back.
bool IsPassedOverLine(std::string_view line);

// Empties `filePool` and fills it with the item lines of `fileName` (its first two lines are
// ignored), then writes its records to programFolder + "BinConv.dat" through a temporary file
// renamed over the old one. Only a regular file is read. A failure ends the conversion with its
// message: located in the source file, the file's open failure ("File not found", "File access
// denied" also for anything but a regular file, ...), a line's parse failure (the pool then
// holds the records before that line) or "Line <n> is longer than 65536 characters"; without a
// line "Cannot create file <path>" or "Stream write error". "BinConv.dat" is replaced only
// after a complete conversion.
tl::expected<void, ConversionError> ConvertDataFile(const QString& fileName, RecordStream& filePool,
                                                    const QString& programFolder,
                                                    const FormatSettings& fs, int currentYear);
