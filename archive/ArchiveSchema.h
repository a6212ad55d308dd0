#pragma once
// The tables and views of the measurement archive, as the README documents them for people who
// query the file with sqlite3, Python or any SQLite tool.
#include <string>

#include "base/Result.h"

class SqliteDb;

// Marks the file as ours (PRAGMA application_id) so that another program's database is never
// taken for an archive.
inline constexpr int ArchiveApplicationId = 0x494D5058; // "IMPX"
// 2: a session keeps the download it followed and the signal that ended it.
// 3: arrivals from the fleet. 4: sweeps and their points.
inline constexpr int ArchiveSchemaVersion = 4;

// The query behind the view `measurement` over `arrivals` (a table name or a subquery): each
// measurement once, however often and from wherever it arrived.
std::string MeasurementsOf(const std::string& arrivals);

// Reads, and changes nothing: fails with "not a measurement archive" for another program's
// database or a newer schema; an empty database passes.
Result<void> CheckArchiveSchema(SqliteDb& db);
// Reads the newest arrival of an archive (none in an empty database): fails where the end of the
// table, where the next arrival goes, is damaged.
Result<void> ReadNewestArrival(SqliteDb& db);
// Checks, then creates what is missing in an empty archive or brings an older one up to date.
Result<void> PrepareArchiveSchema(SqliteDb& db);
