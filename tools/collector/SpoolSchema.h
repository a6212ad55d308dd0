#pragma once
// The spool file's tables: one row per TCP connection and its bytes in chunks, in arrival order.
// The writer and the delivery's reader both open it through OpenSpool.
#include "base/Result.h"
#include "sqlite/Sqlite.h"

namespace collector {

// The file's name in the state folder.
inline constexpr char SpoolFileName[] = "spool.sqlite";
// How long a connection to it waits for the other's lock.
inline constexpr int SpoolBusyMs = 10000;

// Opens (or makes) the spool with its tables, in WAL mode with synchronous commits. Refuses a
// spool of a newer collector.
Result<SqliteDb> OpenSpool(const QString& path);

} // namespace collector
