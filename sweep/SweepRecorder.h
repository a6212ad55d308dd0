#pragma once
// Turns what happens on the link into sweeps. A sweep starts when "Start" (StartFreqMeasure) is
// sent; every sweep point decoded after it is appended; it ends at the point of its last
// frequency (from the settings, stepped as the logger steps), at the next "Start", or once no
// point came for SilenceMs. A point while no sweep runs (the logger was started by someone
// else, or sends on after its sweep ended) opens a sweep of its own, so that no point is lost.
// Void points (overflows) are kept. The recorder owns this session's sweeps; a window and an
// archive follow its signals.
#include <functional>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QObject>

#include "records/MeasDecode.h"
#include "sweep/Sweep.h"

class SweepRecorder : public QObject {
    Q_OBJECT
public:
    // The time of each event, UTC; tests hand in a clock of their own.
    using Clock = std::function<QDateTime()>;
    static constexpr qint64 SilenceMs = 10000;

    explicit SweepRecorder(Clock clock = &QDateTime::currentDateTimeUtc, QObject* parent = nullptr);

    // Settings sent with SetFreqParams or read from answer 247: the next sweep's.
    void SettingsExchanged(const SweepSettings& s);
    // "Start" sent.
    void StartSent();
    // Answer 6, decoded.
    void PointDecoded(const MeasValues& v);
    // Time has passed: ends a sweep silent for SilenceMs. Every event checks this too, so a
    // timer only makes the end known sooner.
    void TimePassed();
    // The fit of a sweep, kept with it (none to forget it).
    void SetFit(int sweep, std::optional<CircuitFit> fit);
    // Sweeps of an earlier session, brought back from the archive: appended as ended sweeps
    // (each announced as started and ended), beside a running one.
    void Restore(std::vector<Sweep> sweeps);

    const std::vector<Sweep>& Sweeps() const { return sweeps_; }
    // The running sweep's index, or -1.
    int Running() const { return running_; }
    // When the running sweep ends by silence unless a point comes first.
    std::optional<QDateTime> SilenceDeadline() const;

signals:
    void SweepStarted(int sweep);
    void PointAppended(int sweep, int point);
    void SweepEnded(int sweep);
    void SweepFitted(int sweep);

private:
    void Begin(const QDateTime& now, bool startSent);
    void End(SweepEnd how, const QDateTime& at);
    void EndIfSilent(const QDateTime& now);

    Clock clock_;
    std::optional<SweepSettings> settings_;
    std::vector<Sweep> sweeps_;
    int running_ = -1;
    std::optional<uint32_t> lastCode_; // of the running sweep, when its settings are known
    QDateTime lastActivity_;           // its start or its latest point
};
