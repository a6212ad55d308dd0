#pragma once
// The command line of impix-sheets.
#include <QString>
#include <QStringList>

#include "CellAddress.h"
#include "ServiceLimits.h"

namespace sheets {

struct ServiceOptions {
    AddressLetters letters;
    int idleExitMs = 60000;                    // exit after this long without a session
    int sessionIdleMs = limits::SessionIdleMs; // close a session silent this long
    uint64_t cellBytes = limits::CellBytes;    // of all open workbooks
    bool verbose = false;
    QString decimalSeparator{"."};
};

// Reads the arguments after the program name; false (and why) on a bad one.
bool ParseServiceOptions(const QStringList& args, ServiceOptions& out, QString& error);
extern const char* const ServiceUsage;

} // namespace sheets
