#pragma once
// A report as the spool keeps it: one TCP connection, the bytes received on it (in the spool's
// chunks) and how it ended.
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QUuid>

namespace collector {

enum class Ending {
    Closed,      // the logger closed the connection
    IdleTimeout, // nothing came for --idle-timeout
    Cut,         // more than --max-report came; the rest was not taken
    Stopped,     // the collector was stopped while the logger still sent
    Interrupted, // the collector ended without closing it (killed, power cut)
};

// The names the database's report.ending holds.
QString EndingName(Ending ending);
std::optional<Ending> EndingFromName(const QByteArray& name);

struct SpooledReport {
    int64_t spoolId = 0;
    int64_t closedSeq = 0; // the order in which reports were complete
    QUuid key;             // the report's identity in the database, kept across restarts
    QHostAddress peer;
    quint16 peerPort = 0;
    int64_t startedMs = 0; // milliseconds since 1970 UTC
    int64_t endedMs = 0;
    Ending ending = Ending::Closed;
    int64_t bytes = 0;
};

} // namespace collector
