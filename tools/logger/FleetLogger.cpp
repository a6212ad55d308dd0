#include "tools/logger/FleetLogger.h"

#include "base/EventGuard.h"
#include "tools/logger/LoggerSettings.h"

namespace logger {

namespace {
constexpr double FleetHz = 1000;
constexpr double FleetVolts = 0.1;
} // namespace

FleetLogger::FleetLogger(int index, const FleetOptions& fleet, const FleetTarget& target,
                         uint64_t seed, QDateTime clockStart, QObject* parent)
    : QObject(parent), address_(fleet.firstAddress.toIPv4Address() + static_cast<quint32>(index)),
      fleet_(fleet), target_(target), synth_(seed + static_cast<uint64_t>(index)),
      clock_(std::move(clockStart)), reporter_(this) {
    reporter_.retryDelayMs = target.retryDelayMs;
    reporter_.onLog = [this](const QString& text) {
        if (onLog)
            onLog(address_.toString() + ": " + text);
    };
    reporter_.onFinished = [this](bool delivered) { Finished(delivered); };
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, [this] {
        Guarded([this] {
            Measure(fleet_.items);
            reporter_.Request([this] { return Prepare(); });
        });
    });
}

void FleetLogger::Start() {
    reportsLeft_ = fleet_.reports;
    // The first report is measured here, so a fleet's loggers all connect at the same moment.
    Measure(fleet_.items);
    reporter_.Request([this] { return Prepare(); });
}

void FleetLogger::Measure(int items) {
    for (int k = 0; k < items; ++k) {
        const int channel = measured_ % ChannelsPerBoard;
        const QDateTime when = clock_.addSecs(60 * (measured_ / ChannelsPerBoard));
        const Impedance z = synth_.Measure(0, channel, FleetHz, FleetVolts, 1, false, when);
        ++measured_;
        memory_.push_back(EncodeMeasurement(0, channel, EncodeImpedance(z.rx, z.xx), when,
                                            static_cast<uint32_t>(measured_)));
    }
}

ReportJob FleetLogger::Prepare() {
    const size_t from = target_.reportAll ? 0 : reported_;
    sending_ = memory_.size();
    ReportJob job;
    job.payload = ReportStream(std::span(memory_).subspan(from));
    job.host = target_.host;
    job.port = target_.port;
    job.retries = fleet_.retries;
    job.source = address_;
    job.delivered = [this] { reported_ = std::max(reported_, sending_); };
    return job;
}

void FleetLogger::Finished(bool delivered) {
    ++(delivered ? delivered_ : givenUp_);
    if (--reportsLeft_ > 0) {
        next_.start(fleet_.intervalMs);
        return;
    }
    if (onDone)
        onDone();
}

} // namespace logger
