#pragma once
// The emulator's command line.
#include <cstdint>

#include <QString>
#include <QStringList>

#include "tools/logger/FaultInjector.h"

namespace logger {

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
};

// Reads the arguments (program name first). Throws Failure with a message for an unknown
// option or a value out of range; --help only fills help and helpText, --version only version.
// Without --seed the seed is random.
LoggerOptions ParseOptions(const QStringList& arguments);

} // namespace logger
