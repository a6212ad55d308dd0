#include "tools/collector/DatabaseConnect.h"

namespace collector {

Result<pg::PgConnection> ConnectDatabase(const QString& conninfo) {
    static const pg::PgConnection::Defaults defaults = {
        {"connect_timeout", "10"},
        {"keepalives_idle", "20"},
        {"keepalives_interval", "5"},
        {"keepalives_count", "4"},
        {"fallback_application_name", "impix-collector"},
    };
    return pg::PgConnection::Connect(conninfo, defaults);
}

} // namespace collector
