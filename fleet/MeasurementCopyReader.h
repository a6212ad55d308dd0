#pragma once
// The measurement rows of the collector's database as PostgreSQL's binary COPY sends them
// (board, channel, logger_time, range, rx, xx), decoded into the console's records. Binary
// rows cost neither side any text formatting or parsing, which is most of what a million rows
// would otherwise take. The bytes come from the network: any input is taken without reading out
// of bounds; what is not such a stream stops the reader with Failed().
#include <QByteArray>
#include <string_view>
#include <vector>

#include "records/MeasRecord.h"

namespace fleet {

// The query whose rows the reader decodes: the measurement table's columns in this order.
inline constexpr char MeasurementCopyColumns[] = "board, channel, logger_time, range, rx, xx";

class MeasurementCopyReader {
public:
    // The next piece of the stream, of any size (libpq hands over one row at a time, the header
    // with the first); the records of the rows it completes are appended to `out`. False once
    // the stream is broken.
    bool Feed(std::string_view bytes, std::vector<TMeasRecord>& out);
    bool Failed() const { return failed_; }
    // The trailer was read: the stream is complete.
    bool Ended() const { return ended_; }

private:
    // Decodes the header and the whole rows `data` holds; the bytes used.
    size_t Parse(std::string_view data, std::vector<TMeasRecord>& out);

    QByteArray pending_;
    bool headerRead_ = false;
    bool ended_ = false;
    bool failed_ = false;
};

// The record of one row: board and channel from 1 to the record's 0-based ones, the logger's
// time (microseconds since 2000) as days since 30 December 1899, NULL values as the void mark.
TMeasRecord RecordOfRow(int16_t board, int16_t channel, int64_t loggerTimeUs, int16_t range,
                        const double* rx, const double* xx);

} // namespace fleet
