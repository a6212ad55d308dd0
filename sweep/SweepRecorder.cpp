#include "sweep/SweepRecorder.h"

SweepRecorder::SweepRecorder(Clock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)) {}

void SweepRecorder::SettingsExchanged(const SweepSettings& s) {
    settings_ = s;
}

void SweepRecorder::StartSent() {
    const QDateTime now = clock_();
    EndIfSilent(now);
    if (running_ >= 0)
        End(SweepEnd::NextStart, now);
    Begin(now, true);
}

void SweepRecorder::PointDecoded(const MeasValues& v) {
    const QDateTime now = clock_();
    EndIfSilent(now);
    if (running_ < 0)
        Begin(now, false);
    const SweepPoint point = SweepPoint::FromDecoded(v, now);
    // At or beyond the last frequency: a logger that rounds its steps a little differently
    // still ends here.
    const bool last = lastCode_ && point.frequencyCode >= *lastCode_;
    std::vector<SweepPoint>& points = sweeps_[static_cast<size_t>(running_)].points;
    points.push_back(point);
    lastActivity_ = now;
    const int sweep = running_;
    emit PointAppended(sweep, static_cast<int>(points.size()) - 1);
    // A follower may have sent "Start" meanwhile, which ended this sweep already.
    if (last && running_ == sweep)
        End(SweepEnd::LastFrequency, now);
}

void SweepRecorder::TimePassed() {
    EndIfSilent(clock_());
}

void SweepRecorder::SetFit(int sweep, std::optional<CircuitFit> fit) {
    if (sweep < 0 || sweep >= static_cast<int>(sweeps_.size()))
        return;
    sweeps_[static_cast<size_t>(sweep)].fit = std::move(fit);
    emit SweepFitted(sweep);
}

void SweepRecorder::Restore(std::vector<Sweep> sweeps) {
    for (Sweep& sweep : sweeps) {
        if (sweep.end == SweepEnd::Running)
            sweep.end = SweepEnd::Silence;
        sweeps_.push_back(std::move(sweep));
        const int index = static_cast<int>(sweeps_.size()) - 1;
        emit SweepStarted(index);
        emit SweepEnded(index);
    }
}

std::optional<QDateTime> SweepRecorder::SilenceDeadline() const {
    if (running_ < 0)
        return std::nullopt;
    return lastActivity_.addMSecs(SilenceMs);
}

void SweepRecorder::Begin(const QDateTime& now, bool startSent) {
    Sweep sweep;
    sweep.settings = settings_;
    sweep.started = now;
    sweep.startSent = startSent;
    sweeps_.push_back(std::move(sweep));
    running_ = static_cast<int>(sweeps_.size()) - 1;
    lastActivity_ = now;
    lastCode_.reset();
    if (settings_) {
        const std::vector<uint32_t> codes = SweepFrequencyCodes(*settings_);
        if (!codes.empty())
            lastCode_ = codes.back();
    }
    emit SweepStarted(running_);
}

void SweepRecorder::End(SweepEnd how, const QDateTime& at) {
    Sweep& sweep = sweeps_[static_cast<size_t>(running_)];
    sweep.end = how;
    sweep.ended = at;
    const int ended = running_;
    running_ = -1;
    emit SweepEnded(ended);
}

void SweepRecorder::EndIfSilent(const QDateTime& now) {
    if (running_ >= 0 && lastActivity_.msecsTo(now) >= SilenceMs)
        End(SweepEnd::Silence, lastActivity_.addMSecs(SilenceMs));
}
