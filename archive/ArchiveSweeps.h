#pragma once
// Frequency sweeps in the archive: a row of table `sweep` per sweep (its settings, its end and
// its fit once fitted) and one of `sweep_point` per point, so that a sweep outlives the console
// as its measurements do.
#include <cstdint>
#include <map>
#include <vector>

#include "base/Result.h"
#include "sweep/Sweep.h"

class SqliteDb;

// What the writer has put down of a session's sweeps, by the recorder's index: the row of each
// and how many of its points are written.
struct SweepRows {
    struct Written {
        int64_t row = 0;
        size_t points = 0;
    };
    std::map<int, Written> byIndex;
};

// Writes the sweep's row (inserted the first time, brought up to date after) and those of its
// points not yet written, inside the caller's transaction.
Result<void> WriteSweep(SqliteDb& db, int64_t session, int index, const Sweep& sweep,
                        SweepRows& rows);
// Writes one point appended to a sweep written before; a point out of order is left out.
Result<void> WriteSweepPoint(SqliteDb& db, int index, size_t point, const SweepPoint& p,
                             SweepRows& rows);
// Whether the archive has the sweep tables (one older than them, read as it is, has not).
Result<bool> HasSweepTables(SqliteDb& db);
// The sweeps of a session with their points and fits, oldest first.
Result<std::vector<Sweep>> LoadSessionSweeps(SqliteDb& db, int64_t session);
