#pragma once
// impix-logger --fleet N: N loggers reporting at once, each from its own local address, so that a
// collector's identity by address can be tried on one machine (the whole of 127.0.0.0/8 is this
// machine's). The program ends when every logger is done.
#include <memory>
#include <vector>

#include <QObject>

#include "tools/logger/FleetLogger.h"
#include "tools/logger/LoggerOptions.h"

namespace logger {

class FleetProgram : public QObject {
    Q_OBJECT
public:
    explicit FleetProgram(const LoggerOptions& options, QObject* parent = nullptr);

    // Starts every logger; the event loop ends with 0 once all are done, 1 when a report was
    // given up.
    void Start();
    // Writes every delivered measurement to the --dump-items file, when one was given (see
    // FleetDump.h). Throws Failure.
    void DumpItems() const;
    // "fleet of N loggers: R reports delivered, G given up, M measurements delivered"
    QString Summary() const;

private:
    void Log(const QString& text) const;

    LoggerOptions options_;
    std::vector<std::unique_ptr<FleetLogger>> loggers_;
    int done_ = 0;
};

} // namespace logger
