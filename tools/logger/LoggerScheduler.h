#pragma once
// The logger's timers: the measuring period, the line's idle ticks and the watch for the daily
// report time. Nothing runs in a loop; every step is a timer event.
#include <QObject>
#include <QTimer>

#include "tools/logger/LoggerCore.h"

namespace logger {

class LoggerScheduler : public QObject {
    Q_OBJECT
public:
    // periodMsOverride > 0 replaces the real length of the measuring period. The scheduler
    // takes the core's onMeasuringChanged for itself.
    LoggerScheduler(LoggerCore& core, int periodMsOverride, QObject* parent = nullptr);

    // Real milliseconds between measuring cycles: the period on the logger's clock, made shorter
    // by the clock's speed, but never below MinPeriodMs so a fast clock cannot flood the line.
    int RealPeriodMs() const;
    static constexpr int MinPeriodMs = 20;
    static constexpr int TickMs = 100;

private:
    void Restart();

    LoggerCore& core_;
    int periodMsOverride_;
    QTimer measure_;
    QTimer tick_;
};

} // namespace logger
