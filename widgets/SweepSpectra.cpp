#include "widgets/SweepSpectra.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "plot/TrendAxes.h"
#include "sweep/SpectrumScales.h"

namespace {

constexpr int CurvePoints = 120;

bool SameParams(const CircuitParams& a, const CircuitParams& b) {
    return a.rs == b.rs && a.rp == b.rp && a.q == b.q && a.n == b.n;
}

// The value of a point at hz with impedance z (NaN for a void one), its raw values added to
// `extents`.
SpectrumValue ValueOf(double hz, std::optional<std::complex<double>> z, SpectrumExtents& extents) {
    extents.hz.Add(hz);
    const double logHz = ToScale(TrendScale::Log, hz);
    if (!z)
        return {logHz, NAN, NAN, NAN, NAN};
    const double magnitude = std::abs(*z);
    const double phase = std::arg(*z) * 180 / std::numbers::pi;
    extents.magnitude.Add(magnitude);
    extents.phase.Add(phase);
    extents.r.Add(z->real());
    extents.negX.Add(-z->imag());
    return {logHz, ToScale(TrendScale::Log, magnitude), phase, z->real(), -z->imag()};
}

} // namespace

void SpectrumExtent::Add(double v) {
    if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

void SpectrumExtent::Add(const SpectrumExtent& e) {
    lo = std::min(lo, e.lo);
    hi = std::max(hi, e.hi);
}

void SpectrumExtents::Add(const SpectrumExtents& e) {
    hz.Add(e.hz);
    magnitude.Add(e.magnitude);
    phase.Add(e.phase);
    r.Add(e.r);
    negX.Add(e.negX);
}

const SweepSpectrum& SweepSpectra::Of(size_t index, const Sweep& sweep) {
    if (entries_.size() <= index)
        entries_.resize(index + 1);
    Entry& e = entries_[index];
    SweepSpectrum& s = e.spectrum;
    if (s.points.size() > sweep.points.size())
        e = {}; // not the sweep it was: start again
    const bool added = s.points.size() < sweep.points.size();
    if (added) {
        for (size_t i = s.points.size(); i < sweep.points.size(); ++i) {
            const SweepPoint& p = sweep.points[i];
            s.points.push_back(ValueOf(p.ExactHz(), p.Void() ? std::nullopt : std::optional(p.Z()),
                                       e.pointExtents));
        }
        s.runs = UnbrokenRuns(sweep.points);
    }
    const std::optional<CircuitParams> params =
        sweep.fit && !sweep.points.empty() ? std::optional(sweep.fit->params) : std::nullopt;
    const bool fitChanged = params.has_value() != e.fitParams.has_value() ||
                            (params && !SameParams(*params, *e.fitParams));
    if (!added && !fitChanged)
        return s;
    // The fitted curve spans the sweep's frequencies, so new points can move it too.
    e.fitParams = params;
    s.fit.clear();
    s.extents = e.pointExtents;
    if (params) {
        SpectrumExtents fitExtents;
        for (const ImpedanceSample& c :
             CircuitCurve(*params, e.pointExtents.hz.lo, e.pointExtents.hz.hi, CurvePoints))
            s.fit.push_back(ValueOf(c.hz, c.z, fitExtents));
        s.extents.Add(fitExtents);
    }
    return s;
}
