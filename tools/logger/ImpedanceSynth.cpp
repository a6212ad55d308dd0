#include "tools/logger/ImpedanceSynth.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace logger {

namespace {

uint64_t SplitMix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Uniform in [0, 1) from a hash.
double Unit(uint64_t h) {
    return static_cast<double>(h >> 11) * 0x1.0p-53;
}

constexpr double Inf = std::numeric_limits<double>::infinity();

} // namespace

ImpedanceSynth::ImpedanceSynth(uint64_t seed) : seed_(seed), rng_(SplitMix(seed)) {}

ElectrodeModel ImpedanceSynth::Model(int board, int channel) const {
    // Properties come from a hash, not from the stream of random numbers, so they do not depend
    // on which electrodes were measured before.
    uint64_t h = SplitMix(seed_ ^ SplitMix(static_cast<uint64_t>(board) * 256u +
                                           static_cast<uint64_t>(channel) + 1u));
    double u[5];
    for (double& v : u) {
        h = SplitMix(h);
        v = Unit(h);
    }
    ElectrodeModel m;
    const double total = std::pow(10.0, 6.3 * u[0]); // 1 ohm to 2 megaohms at low frequency
    m.circuit.rs = total * (0.1 + 0.5 * u[1]);
    m.circuit.rp = total - m.circuit.rs;
    m.circuit.n = 0.6 + 0.4 * u[2];
    // The top of the arc, where Rp * Q * w^n = 1.
    const double topHz = 300 * std::pow(10.0, u[3]);
    m.circuit.q = 1 / (m.circuit.rp * std::pow(2 * std::numbers::pi * topHz, m.circuit.n));
    m.warburg = total * 0.3 * std::sqrt(2 * std::numbers::pi * 100.0);
    m.driftPhase = 2 * std::numbers::pi * u[4];
    return m;
}

CircuitParams ImpedanceSynth::Circuit(int board, int channel, const QDateTime& when) const {
    const ElectrodeModel m = Model(board, channel);
    const double daySeconds = when.time().msecsSinceStartOfDay() / 1000.0;
    const double drift =
        1.0 + 0.03 * std::sin(2 * std::numbers::pi * daySeconds / 86400.0 + m.driftPhase);
    CircuitParams c = m.circuit;
    c.rs *= drift;
    c.rp *= drift;
    c.q /= drift;
    return c;
}

Impedance ImpedanceSynth::Ideal(int board, int channel, double hz, bool twoElectrodes,
                                const QDateTime& when) const {
    const double f = std::max(hz, 1.0);
    const std::complex<double> z = CircuitImpedance(Circuit(board, channel, when), f);
    Impedance out{z.real(), z.imag()};
    if (twoElectrodes) {
        const double w = Model(board, channel).warburg / std::sqrt(2 * std::numbers::pi * f);
        out.rx += w;
        out.xx -= w;
    }
    return out;
}

Impedance ImpedanceSynth::Measure(int board, int channel, double hz, double volts, int repeat,
                                  bool twoElectrodes, const QDateTime& when) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (unit(rng_) < overflowShare) {
        double which = unit(rng_);
        Impedance z = Ideal(board, channel, hz, twoElectrodes, when);
        // An open electrode loses both values; otherwise one of them runs out of range.
        if (which < 0.5)
            return {Inf, Inf};
        if (which < 0.75)
            return {Inf, z.xx};
        return {z.rx, Inf};
    }
    // Relative noise: smaller at higher excitation, averaged over the repetitions.
    double sigma = 0.0002 * std::sqrt(0.1 / std::max(volts, 0.02)) /
                   std::sqrt(static_cast<double>(std::max(repeat, 1)));
    std::normal_distribution<double> noise(0.0, std::min(sigma, 0.05));
    Impedance z = Ideal(board, channel, hz, twoElectrodes, when);
    z.rx = std::max(0.0, z.rx * (1 + noise(rng_)));
    z.xx *= 1 + noise(rng_);
    return z;
}

} // namespace logger
