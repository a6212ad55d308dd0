#pragma once
// One measurement as a row of the database's measurement table, in binary COPY form.
#include <cstdint>

#include "records/MeasRecord.h"
#include "tools/collector/BinaryCopy.h"

namespace collector {

// The columns, in the order MeasurementRow writes them.
inline constexpr char MeasurementColumns[] =
    "(logger, board, channel, logger_time, range, rx, xx, first_report, received_at)";

// Board and channel from 1; the logger's time to the second as a timestamp; Rx and Xx as the
// record holds them, NULL for an overflow (65535 over the value's power of ten, IsOverflowMark).
void MeasurementRow(BinaryCopy& copy, int32_t logger, int64_t report, int64_t receivedAtUs,
                    const TMeasRecord& record);

} // namespace collector
