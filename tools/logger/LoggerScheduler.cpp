#include "tools/logger/LoggerScheduler.h"

#include <algorithm>
#include <limits>

#include "base/EventGuard.h"

namespace logger {

LoggerScheduler::LoggerScheduler(LoggerCore& core, int periodMsOverride, QObject* parent)
    : QObject(parent), core_(core), periodMsOverride_(periodMsOverride) {
    connect(&measure_, &QTimer::timeout, this,
            [this] { Guarded([this] { core_.MeasureCycle(); }); });
    connect(&tick_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            core_.TickIdle();
            core_.CheckDailyReport();
        });
    });
    tick_.start(TickMs);
    core_.onMeasuringChanged = [this] { Restart(); };
}

int LoggerScheduler::RealPeriodMs() const {
    if (periodMsOverride_ > 0)
        return periodMsOverride_;
    int64_t real = core_.Clock().RealMs(core_.PeriodMs());
    return static_cast<int>(
        std::clamp<int64_t>(real, MinPeriodMs, std::numeric_limits<int>::max()));
}

void LoggerScheduler::Restart() {
    // The first cycle comes one period after the start, as on the device.
    if (core_.Measuring())
        measure_.start(RealPeriodMs());
    else
        measure_.stop();
}

} // namespace logger
