#pragma once
// What the trend view shows: a stretch of time, shared by its plots, and per plot a range of
// values. At first the time is the whole series and follows it as items arrive; zooming and
// panning fix a stretch (which still slides along with new items while it ends at the newest).
// A value range is automatic until the operator picks one with the rubber band.
#include <optional>

#include "plot/TrendAxes.h"

class TrendView {
public:
    // The shortest stretch a zoom goes down to, in days: ten seconds.
    static constexpr double MinSpan = 10.0 / 86400;
    static constexpr int Plots = 2;

    // The series now runs from first to last (none: it is empty).
    void SetData(std::optional<double> first, std::optional<double> last);
    bool HasData() const { return hasData_; }

    double Start() const { return start_; }
    double End() const { return end_; }
    // False while the view shows the whole series.
    bool Zoomed() const { return zoomed_; }

    // Scales the stretch by factor (below 1 zooms in) keeping time t where it is.
    void ZoomAround(double t, double factor);
    // Moves the stretch by that many days (positive: later).
    void PanBy(double days);
    // Shows from a to b.
    void ShowStretch(double a, double b);

    // A fixed value range for plot p, on its scale's line; none while automatic.
    std::optional<ScaledRange> FixedValues(int plot) const;
    void FixValues(int plot, ScaledRange range);
    // Every value range automatic again.
    void FreeValues();

    // The whole series, followed; every value range automatic.
    void Reset();

private:
    // Shows start..end within the series; a stretch as long as the series shows it whole.
    void Place(double start, double end);
    void ShowAll();

    bool hasData_ = false;
    double first_ = 0;
    double last_ = 0;
    double start_ = 0;
    double end_ = 1;
    bool zoomed_ = false;
    std::optional<ScaledRange> fixed_[Plots];
};
