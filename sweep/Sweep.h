#pragma once
// A frequency sweep as the console keeps it: every point the logger sent (answer 6) from a
// "Start" until the sweep ended, with the settings the logger last said it holds.
#include <complex>
#include <cstdint>
#include <optional>
#include <vector>

#include <QDateTime>

#include "records/MeasDecode.h"
#include "sweep/CircuitFit.h"
#include "sweep/SweepSettings.h"

struct SweepPoint {
    uint32_t frequencyCode = 0;
    uint8_t board = 0; // 0-based, as the point carries them
    uint8_t channel = 0;
    uint8_t range = 0;
    double Rx = 0; // ohms as decoded; an overflow keeps its mark (IsOverflowMark)
    double Xx = 0;
    QDateTime arrival; // UTC

    static SweepPoint FromDecoded(const MeasValues& v, const QDateTime& arrival);
    // The frequency in whole hertz as FFreqTx shows it, and as the code means it.
    int32_t Hz() const { return SweepFrequencyHz(static_cast<int32_t>(frequencyCode)); }
    double ExactHz() const;
    // An overflow in Rx or Xx: a gap in plots, left out of fits.
    bool Void() const { return IsOverflowMark(Rx) || IsOverflowMark(Xx); }
    // R + jX; |Z| in ohms and the phase in degrees (negative for a capacitive electrode). NaN
    // for a void point.
    std::complex<double> Z() const { return {Rx, Xx}; }
    double Magnitude() const;
    double PhaseDegrees() const;
};

enum class SweepEnd {
    Running,
    LastFrequency, // the point at the last frequency of its settings arrived
    NextStart,     // cut short by the next "Start"
    Silence,       // no point for SweepRecorder::SilenceMs
};

struct Sweep {
    std::optional<SweepSettings> settings; // none while the console has neither sent nor read any
    // UTC. Started: when "Start" was sent, or when the first point arrived of a sweep that no
    // "Start" of this console began (startSent false). Ended: invalid while running.
    QDateTime started;
    QDateTime ended;
    SweepEnd end = SweepEnd::Running;
    bool startSent = true;
    std::vector<SweepPoint> points;
    std::optional<CircuitFit> fit;

    // The points that are not void, at their exact frequencies: what a fit takes.
    std::vector<ImpedanceSample> Samples() const;
};
