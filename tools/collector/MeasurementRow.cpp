#include "tools/collector/MeasurementRow.h"

#include <cmath>

#include "records/MeasDecode.h"

namespace collector {

namespace {

// Days from 30 December 1899 (the record's day 0) to 1 January 2000 (PostgreSQL's).
constexpr int64_t PgEpochDay = 36526;

void Value(BinaryCopy& copy, double v) {
    if (IsOverflowMark(v))
        copy.Null();
    else
        copy.Float8(v);
}

} // namespace

void MeasurementRow(BinaryCopy& copy, int32_t logger, int64_t report, int64_t receivedAtUs,
                    const TMeasRecord& record) {
    const int64_t seconds = std::llround(record.Time * 86400.0) - PgEpochDay * 86400;
    copy.Row(9);
    copy.Int4(logger);
    copy.Int2(static_cast<int16_t>(record.Board + 1));
    copy.Int2(static_cast<int16_t>(record.Channel + 1));
    copy.Timestamp(seconds * 1'000'000);
    copy.Int2(static_cast<int16_t>(record.Range));
    Value(copy, record.Rx);
    Value(copy, record.Xx);
    copy.Int8(report);
    copy.Timestamp(receivedAtUs);
}

} // namespace collector
