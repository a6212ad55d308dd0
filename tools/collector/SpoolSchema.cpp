#include "tools/collector/SpoolSchema.h"

namespace collector {

namespace {

constexpr int SpoolFormat = 1;

// connection: a report as received. closed_seq numbers the reports in the order they became
// complete (NULL while the connection is open); bytes counts what its chunks hold.
constexpr char Tables[] = R"sql(
CREATE TABLE IF NOT EXISTS connection (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key TEXT NOT NULL,
    peer TEXT NOT NULL,
    peer_port INTEGER NOT NULL,
    started_ms INTEGER NOT NULL,
    ended_ms INTEGER,
    ending TEXT,
    closed_seq INTEGER,
    bytes INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS connection_closed ON connection (closed_seq)
    WHERE closed_seq IS NOT NULL;
CREATE TABLE IF NOT EXISTS chunk (
    connection INTEGER NOT NULL,
    at_ms INTEGER NOT NULL,
    data BLOB NOT NULL
);
CREATE INDEX IF NOT EXISTS chunk_connection ON chunk (connection);
)sql";

} // namespace

Result<SqliteDb> OpenSpool(const QString& path) {
    SqliteDb db;
    if (Result<void> opened = db.TryOpen(path, true); !opened)
        return Fail(path, opened.error());
    // The writer and the reader are two connections of one process: a moment's wait for the
    // other's lock is normal, not a failure.
    db.SetBusyTimeout(SpoolBusyMs);
    Result<SqliteStatement> version = db.TryPrepare("PRAGMA user_version");
    if (!version)
        return Fail(path, version.error());
    Result<bool> row = version->TryStep();
    if (!row)
        return Fail(path, row.error());
    const int64_t format = *row ? version->Int(0) : 0;
    version->Reset();
    if (format > SpoolFormat)
        return Fail(
            QString("%1: the spool of a newer collector (format %2)").arg(path).arg(format));
    for (const char* sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"})
        if (Result<void> r = db.TryExec(sql); !r)
            return Fail(path, r.error());
    if (Result<void> r = db.TryExec(Tables); !r)
        return Fail(path, r.error());
    if (Result<void> r = db.TryExec("PRAGMA user_version=" + std::to_string(SpoolFormat)); !r)
        return Fail(path, r.error());
    return db;
}

} // namespace collector
