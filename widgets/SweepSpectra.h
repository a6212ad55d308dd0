#pragma once
// What the sweep plots draw of each sweep, computed when the sweep changes (points added, a fit
// set) rather than on every paint: the frequency and |Z| already on their logarithmic axes'
// line, the phase, R and -X of every point and of the fitted curve, the runs of points a line
// joins, and the extents of the values as they are (for the axes' ranges and unit prefixes).
// Needs no widgets.
#include <cstddef>
#include <deque>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "sweep/Sweep.h"

struct SpectrumExtent {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    // Only finite values count.
    void Add(double v);
    void Add(const SpectrumExtent& e);
    bool Empty() const { return lo > hi; }
};

// One point; all but the frequency NaN for a void point.
struct SpectrumValue {
    double logHz, logMagnitude, phase, r, negX;
};

struct SpectrumExtents {
    SpectrumExtent hz, magnitude, phase, r, negX;
    void Add(const SpectrumExtents& e);
};

struct SweepSpectrum {
    std::vector<SpectrumValue> points;
    std::vector<SpectrumValue> fit; // empty without a fit
    std::vector<std::pair<int, int>> runs;
    SpectrumExtents extents; // of the points and the fitted curve
};

class SweepSpectra {
public:
    // The spectrum of the recorder's sweep `index`, first brought up to date with `sweep`:
    // points added since are computed, the fitted curve again when the fit or the frequency
    // span changed. Stays valid until Clear.
    const SweepSpectrum& Of(size_t index, const Sweep& sweep);
    void Clear() { entries_.clear(); }

private:
    struct Entry {
        SweepSpectrum spectrum;
        SpectrumExtents pointExtents;
        std::optional<CircuitParams> fitParams;
    };
    std::deque<Entry> entries_; // growing keeps the spectra handed out in place
};
