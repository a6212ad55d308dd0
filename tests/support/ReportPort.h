#pragma once
// The console and the logger emulator meeting on a report port of the test's own, so that no
// test depends on port 4000 being free.
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>

#include "support/ConsoleSandbox.h"
#include "support/LoggerProcess.h"

// A TCP port that nothing listens on right now, or 0.
inline quint16 FreeTcpPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::Any, 0) ? probe.serverPort() : 0;
}

// Gives the console a free report port and starts the emulator on its COM2, reporting there;
// false when either could not be done.
inline bool StartWithReportPort(ConsoleSandbox& console, LoggerProcess& logger,
                                const QStringList& loggerArgs) {
    const quint16 port = FreeTcpPort();
    if (port == 0 || !console.Ok())
        return false;
    console.SetArgs({"--report-port", QString::number(port)});
    return logger.Start(console.DevFolder() + "/COM2",
                        loggerArgs + QStringList{"--report-host", "127.0.0.1", "--report-port",
                                                 QString::number(port)});
}
