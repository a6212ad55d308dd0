#pragma once
// How the collector connects to its database: libpq's own settings for what the connection
// string leaves open, chosen for a service that must notice a vanished server.
#include <QString>

#include "base/Result.h"
#include "pg/PgConnection.h"

namespace collector {

// Connects with a libpq connection string or URI (empty: libpq's environment and service file).
// The string's own settings win over the collector's defaults: 10 s to connect, TCP keepalives
// that notice a vanished server within a minute, the application name "impix-collector".
Result<pg::PgConnection> ConnectDatabase(const QString& conninfo);

} // namespace collector
