#pragma once
// The emulator's command line.
#include <cstdint>

#include <QDateTime>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include "tools/logger/FaultInjector.h"

namespace logger {

// --fleet N: N loggers that only send GPRS reports, each from a local address of its own, and no
// terminal. Each measures the sixteen channels of its first board once a minute of its own clock
// and reports `items` new measurements at a time, `reports` times.
struct FleetOptions {
    int loggers = 0;                                        // 0: no fleet, one logger on a terminal
    QHostAddress firstAddress{QStringLiteral("127.1.0.1")}; // logger k sends from this + k
    int items = 2000;
    int reports = 1;
    int intervalMs = 1000; // between the end of a logger's report and its next
    int retries = 3;
    QDateTime clockStart; // the first measurement (a calendar value); invalid: now
};

struct LoggerOptions {
    bool help = false;
    bool version = false; // --version: print the version and exit
    QString helpText;
    QString linkPath;   // symbolic link to the terminal, made and removed by the program
    double speed = 1.0; // the logger's clock runs this many times faster than real time
    int periodMs = 0;   // real measuring interval overriding the period; 0 = from the period
    QString reportHost; // empty: the server address the console set (ServIP)
    quint16 reportPort = 4000;
    bool reportAll = false; // every report sends all stored items, not just the new ones
    int retryDelayMs = 3000;
    FaultOptions faults;
    uint64_t seed = 0;
    bool verbose = false;
    QString dumpItemsPath; // stored items written here on SIGUSR1 and on exit; empty: never
    FleetOptions fleet;
};

// Reads the arguments (program name first). Throws Failure with a message for an unknown
// option or a value out of range; --help only fills help and helpText, --version only version.
// Without --seed the seed is random.
LoggerOptions ParseOptions(const QStringList& arguments);

} // namespace logger
