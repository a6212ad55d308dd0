#pragma once
// Synthetic but plausible electrode impedances. Each electrode (board, channel) gets fixed
// properties from the seed: the equivalent circuit the console fits to a sweep, a series
// resistance Rs and a parallel resistance Rp with a constant-phase element (Q, n), so that a
// spectrum is a depressed semicircle (resistance from about an ohm to a few megaohms, n from 0.6
// to 1, the top of the arc between 300 Hz and 3 kHz, inside the logger's frequencies), and, in
// the two-electrode system, a polarization term. Measurements and sweep points are the same
// circuit at their frequency. The whole impedance drifts a few percent over the day, readings
// carry noise that shrinks with voltage and repetitions, and now and then overflow (open
// electrode).
#include <cstdint>
#include <random>

#include <QDateTime>

#include "sweep/CircuitFit.h"

namespace logger {

// Resistance and reactance in ohms; an infinite value is an overflow.
struct Impedance {
    double rx = 0;
    double xx = 0;
};

struct ElectrodeModel {
    CircuitParams circuit; // without the daily drift
    double warburg = 0;    // polarization coefficient (two-electrode system), ohm * s^-1/2
    double driftPhase = 0; // of the daily drift, radians
};

class ImpedanceSynth {
public:
    explicit ImpedanceSynth(uint64_t seed);

    // The fixed properties of an electrode; the same for the same seed, board and channel.
    ElectrodeModel Model(int board, int channel) const;
    // The electrode's circuit at a time of day: the drift scales the whole impedance (Rs and Rp
    // by its factor, Q by the inverse). What a fit of a sweep made at that time should find.
    CircuitParams Circuit(int board, int channel, const QDateTime& when) const;
    // The noise-free impedance at a frequency and time of day.
    Impedance Ideal(int board, int channel, double hz, bool twoElectrodes,
                    const QDateTime& when) const;
    // One reading: the ideal value with noise, or an occasional overflow.
    Impedance Measure(int board, int channel, double hz, double volts, int repeat,
                      bool twoElectrodes, const QDateTime& when);

    // Share of readings that overflow.
    double overflowShare = 0.015;

private:
    uint64_t seed_;
    std::mt19937_64 rng_;
};

} // namespace logger
