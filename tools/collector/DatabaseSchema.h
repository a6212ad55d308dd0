#pragma once
// The collector's tables in PostgreSQL, made and brought up to date when a collector first
// reaches the database: each step of the schema once, in order, recorded in schema_version.
// Collectors starting together take turns (an advisory lock), so a step never runs twice.
#include "base/Result.h"
#include "pg/PgConnection.h"

namespace collector {

// The channel a NOTIFY goes to after each committed report; its payload is JSON:
// {"report": <report.id>, "logger": <logger.id or null>, "items": <n>, "new": <n>}.
inline constexpr char ReportChannel[] = "impix_report";

// The schema version this collector writes.
int SchemaVersion();

// Brings the database's schema up to SchemaVersion(); the version it had before (0: none).
// Refuses a server older than PostgreSQL 15 and a schema newer than this collector's.
Result<int> Migrate(pg::PgConnection& db);
// The version the database holds, without changing anything (0: none).
Result<int> DatabaseVersion(pg::PgConnection& db);

} // namespace collector
