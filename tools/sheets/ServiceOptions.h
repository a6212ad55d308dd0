#pragma once
// The command line of impix-sheets.
#include <QString>
#include <QStringList>

#include "CellAddress.h"
#include "ServiceLimits.h"
#include "base/Result.h"

namespace sheets {

struct ServiceOptions {
    AddressLetters letters;
    int idleExitMs = 60000;                    // exit after this long without a session
    int sessionIdleMs = limits::SessionIdleMs; // close a session silent this long
    uint64_t cellBytes = limits::CellBytes;    // of all open workbooks
    bool verbose = false;
    QString decimalSeparator{"."};
};

// Reads the arguments after the program name; why not on a bad one.
Result<ServiceOptions> ParseServiceOptions(const QStringList& args);
extern const char* const ServiceUsage;

} // namespace sheets
