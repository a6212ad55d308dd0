#pragma once
// A session's arrivals read back as records, in id order: one stretch of ids on one connection,
// or a long one on two connections at once, handed on in order.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/Result.h"
#include "records/MeasRecord.h"

class SqliteDb;
class SqliteStatement;
struct WorkProgress;

// The statement ReadArrivals steps through.
Result<SqliteStatement> PrepareArrivals(SqliteDb& db);

// Gives `take` the record of each arrival of `session` with an id in [from, to], in id order.
// `salvage` (a damaged file): reads on past pages that cannot be read instead of failing. Stops
// early, without failing, once `stop` is set.
Result<void> ReadArrivals(SqliteStatement& rows, int64_t from, int64_t to, int64_t session,
                          bool salvage, const std::atomic<bool>* stop,
                          const std::function<void(const TMeasRecord&)>& take);

// The same for a long range (to - from must not overflow), read by this thread with `mine` and by a
// second thread with `theirs` (both from PrepareArrivals, on two connections) in alternate
// stretches of ids, each stretch handed to `handOn` whole and in order on this thread: a million
// records take two processors' time instead of one's. With `progress`, counts what was handed on,
// and stops at its cancel.
Result<void> ReadArrivalsOnTwo(SqliteStatement& mine, SqliteStatement& theirs, int64_t from,
                               int64_t to, int64_t session, WorkProgress* progress,
                               const std::function<void(std::vector<TMeasRecord>&&)>& handOn);
