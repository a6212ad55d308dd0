#pragma once
// The whole emulator put together: terminal, logger, fault injection, timers and GPRS reports.
#include <QObject>
#include <QString>

#include "tools/logger/FaultInjector.h"
#include "tools/logger/GprsReporter.h"
#include "tools/logger/ImpedanceSynth.h"
#include "tools/logger/LoggerClock.h"
#include "tools/logger/LoggerCore.h"
#include "tools/logger/LoggerOptions.h"
#include "tools/logger/LoggerScheduler.h"
#include "tools/logger/PtyPort.h"

namespace logger {

class LoggerProgram : public QObject {
    Q_OBJECT
public:
    explicit LoggerProgram(const LoggerOptions& options, QObject* parent = nullptr);

    // Opens the terminal; throws Failure when there is none.
    void Start();
    QString SlavePath() const { return port_.SlavePath(); }
    // Writes the stored items to the --dump-items file, when one was given. Throws Failure.
    void DumpItems() const;

private:
    ReportJob PrepareReport();
    void Log(const QString& text) const;

    LoggerOptions options_;
    LoggerClock clock_;
    ImpedanceSynth synth_;
    LoggerCore core_;
    FaultInjector faults_;
    PtyPort port_;
    GprsReporter reporter_;
    LoggerScheduler scheduler_;
};

} // namespace logger
