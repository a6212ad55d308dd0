#pragma once
// The tables and views of the measurement archive, as the README documents them for people who
// query the file with sqlite3, Python or any SQLite tool.
#include <string>

class SqliteDb;

// Marks the file as ours (PRAGMA application_id) so that another program's database is never
// taken for an archive.
inline constexpr int ArchiveApplicationId = 0x494D5058; // "IMPX"
inline constexpr int ArchiveSchemaVersion = 1;

// The query behind the view `measurement` over `arrivals` (a table name or a subquery): each
// measurement once, however often and from wherever it arrived.
std::string MeasurementsOf(const std::string& arrivals);

// Creates what is missing in an empty or current archive. Fails with "not a measurement
// archive" for another program's database or a newer schema.
void PrepareArchiveSchema(SqliteDb& db);
