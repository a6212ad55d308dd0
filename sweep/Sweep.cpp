#include "sweep/Sweep.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "link/Encodings.h"

SweepPoint SweepPoint::FromDecoded(const MeasValues& v, const QDateTime& arrival) {
    return {
        static_cast<uint32_t>(v.SweepFreqCode), v.board, v.channel, v.range, v.Rx, v.Xx, arrival};
}

double SweepPoint::ExactHz() const {
    return enc::FrequencyFromCode(frequencyCode);
}

double SweepPoint::Magnitude() const {
    return Void() ? std::numeric_limits<double>::quiet_NaN() : std::abs(Z());
}

double SweepPoint::PhaseDegrees() const {
    return Void() ? std::numeric_limits<double>::quiet_NaN()
                  : std::arg(Z()) * 180 / std::numbers::pi;
}

std::vector<ImpedanceSample> Sweep::Samples() const {
    std::vector<ImpedanceSample> out;
    out.reserve(points.size());
    for (const SweepPoint& p : points)
        if (!p.Void())
            out.push_back({p.ExactHz(), p.Z()});
    return out;
}
