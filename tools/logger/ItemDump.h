#pragma once
// The logger's stored items as the console's buffer text file writes them, one item line each
// (CR LF after every line), so a saved file can be checked against what the logger stored by a
// plain comparison of lines.
#include <vector>

#include <QByteArray>
#include <QString>

#include "base/FormatSettings.h"
#include "tools/logger/MeasurementEncoder.h"

namespace logger {

// Each item decoded as the console decodes it (the date in `year`) and formatted by the
// buffer text file's item line.
QByteArray ItemDumpText(const std::vector<MeasurementBytes>& items, int year,
                        const FormatSettings& fs);

// Writes ItemDumpText to `path`, whole or not at all. Throws Failure with the reason.
void WriteItemDump(const QString& path, const std::vector<MeasurementBytes>& items, int year,
                   const FormatSettings& fs);

} // namespace logger
