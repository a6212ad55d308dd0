#pragma once
// What a fleet's loggers delivered, one measurement a line, so that a test can tell, line by line,
// whether a collector stored each of them: the logger's address, then board and channel (from 1),
// the logger's time with the year it was decoded with, the range, Rx and Xx (shortest text that
// reads back the same double; "void" for an overflow mark), separated by tabs.
#include <QByteArray>
#include <QString>
#include <optional>

#include "records/MeasRecord.h"

namespace logger {

// A line from the fields as a database holds them (no line end); `loggerTime` is
// yyyy-MM-ddTHH:mm:ss, a missing value is the overflow mark.
QByteArray FleetItemLine(const QString& address, int board, int channel, const QString& loggerTime,
                         int range, std::optional<double> rx, std::optional<double> xx);
// The same for a decoded record.
QByteArray FleetItemLine(const QString& address, const TMeasRecord& record);

} // namespace logger
