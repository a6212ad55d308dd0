#pragma once
// Counting a session's measurements, the groups of the view `measurement`, in about one pass
// over its arrivals. The view's GROUP BY sorts six columns of every arrival and takes many
// times a scan at millions of arrivals; here each arrival becomes a 128-bit fingerprint of what
// makes it one measurement, with its counter, and only those are sorted.
#include <cstdint>

#include "base/Result.h"

class SqliteDb;

// At most this many fingerprints (384 MiB) are held at once by default.
constexpr int64_t KeysPerCountPass = int64_t(1) << 24;

// The measurements of a session. It holds 24 bytes per arrival while it counts; a session of
// more arrivals than `keysPerPass` is counted in several passes, each over a share of the
// fingerprints.
Result<int64_t> CountMeasurements(SqliteDb& db, int64_t session,
                                  int64_t keysPerPass = KeysPerCountPass);
