#pragma once
// What the collector runs with: built-in defaults, then /etc/impix/collector.conf (or --config),
// then the command line, each overriding the one before.
//
// The file holds the long options' names as keys, one "key = value" a line; '#' starts a
// comment; "listen" may come several times; accept-unknown takes yes or no:
//     listen = 0.0.0.0:4000
//     database = host=db.lab dbname=impix user=impix-collector
//     state = /var/lib/impix-collector
#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>

#include "base/Result.h"
#include "tools/collector/ReportListener.h"

namespace collector {

inline constexpr char DefaultConfigFile[] = "/etc/impix/collector.conf";

struct CollectorSettings {
    std::vector<ListenAddress> listen{ListenAddress{}};
    QString database; // empty: libpq's environment and service file
    QString stateDir;
    ListenerLimits limits;
    bool acceptUnknown = false;
    QString configFile; // the file read; empty: none
};

enum class Command { Run, Check, AddLogger, Reparse, Help, Version };

struct Invocation {
    Command command = Command::Run;
    CollectorSettings settings;
    QString loggerName; // --add-logger NAME ADDRESS
    QString loggerAddress;
    QString helpText;
};

// Reads the command line (the program's name first) and the configuration file it names or the
// default one (when that exists). The error is one line for the user; the program exits with 2.
// `environment` gives STATE_DIRECTORY (systemd's, for the service), XDG_STATE_HOME and HOME for
// the default state folder.
Result<Invocation> ReadInvocation(const QStringList& arguments, const QStringList& environment);

// "ADDR:PORT", "[ADDR]:PORT", "*:PORT" or ":PORT" (every address).
Result<ListenAddress> ParseListenAddress(const QString& text);
// "*:4000", "127.0.0.1:4000", "[::1]:4000"
QString ListenAddressText(const ListenAddress& a);
// A size in bytes: "65536", "64K", "64M", "1G" (also with "iB").
Result<int64_t> ParseSize(const QString& text);

} // namespace collector
