#pragma once
// Synthetic but plausible electrode impedances. Each electrode (board, channel) gets fixed
// properties from the seed: a Cole-type tissue or soil impedance (resistance from about an ohm
// to a few megaohms, a capacitive dispersion), a little lead inductance and, in the
// two-electrode system, a polarization term. Readings drift a few percent over the day, carry
// noise that shrinks with voltage and repetitions, and now and then overflow (open electrode).
#include <cstdint>
#include <random>

#include <QDateTime>

namespace logger {

// Resistance and reactance in ohms; an infinite value is an overflow.
struct Impedance {
    double rx = 0;
    double xx = 0;
};

struct ElectrodeModel {
    double r0 = 0;         // resistance at low frequency
    double rInf = 0;       // resistance at high frequency
    double tau = 0;        // relaxation time, s
    double inductance = 0; // lead inductance, H
    double warburg = 0;    // polarization coefficient (two-electrode system), ohm * s^-1/2
    double driftPhase = 0; // of the daily drift, radians
};

class ImpedanceSynth {
public:
    explicit ImpedanceSynth(uint64_t seed);

    // The fixed properties of an electrode; the same for the same seed, board and channel.
    ElectrodeModel Model(int board, int channel) const;
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
