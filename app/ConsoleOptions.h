#pragma once
// The console's command line.
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include "net/PeerAddresses.h"

struct ConsoleOptions {
    QString scriptPath;        // --script; empty: nobody drives the console
    quint16 reportPort = 0;    // --report-port; 0: the report server's own
    QHostAddress reportListen; // --report-listen; null: every IPv4 address, as ever
    AllowedPeers reportAllow;  // --report-allow; everyone when not given
    int reportIdleSeconds = 0; // --report-idle-timeout; 0: the report server's own
    QString archivePath;       // --archive; empty: the archive's usual place
    bool noArchive = false;
    bool fleetGiven = false; // --fleet: the collector's database, instead of the saved one
    QString fleet;
    QString error; // why the command line was refused; empty when it was taken
};

// What --help prints.
extern const char kConsoleUsage[];

// Reads the arguments (program name first) that Qt left after taking its own options. An
// unknown option, a missing or bad value or a stray argument fills only `error`, one line.
ConsoleOptions ParseConsoleOptions(const QStringList& arguments);
