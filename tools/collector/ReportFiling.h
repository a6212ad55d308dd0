#pragma once
// Kept reports filed from the bytes the database holds (report.raw), for --add-logger (the kept
// reports of a peer that was unknown) and --reparse (every report, after a parser fix): each is
// parsed again and its measurements added where they are missing; a report whose peer a logger
// now matches is filed under it. A few reports per transaction, so a long run holds no lock for
// long and loses nothing done when it is stopped.
#include <cstdint>
#include <span>

#include "pg/PgConnection.h"

namespace collector {

struct FilingTotals {
    int64_t reports = 0; // looked at
    int64_t filed = 0;   // with a logger now
    int64_t items = 0;   // in the filed ones
    int64_t added = 0;   // measurements that were missing
};

// `reader` reads the reports' bytes while `db` copies their measurements: a connection of its
// own, as one connection cannot run a query in the middle of a COPY.
Result<FilingTotals> FileReports(pg::PgConnection& db, pg::PgConnection& reader,
                                 std::span<const int64_t> reportIds);

} // namespace collector
