#pragma once
// What the Bode and Nyquist plots of sweeps need beyond their axes, free of widgets: the runs of
// points a line joins (a void point leaves a gap), and the ranges that give the Nyquist plot
// equal scales, so that a semicircle looks round.
#include <utility>
#include <vector>

#include "sweep/Sweep.h"

// The runs of consecutive points that are not void, as [first, last] indices.
std::vector<std::pair<int, int>> UnbrokenRuns(const std::vector<SweepPoint>& points);

struct PlotSpan {
    double lo = 0;
    double hi = 1;
    bool operator==(const PlotSpan&) const = default;
};

// Ranges around x and y (5 % room on the wider side) with as many units per pixel across
// `width` pixels as up `height` pixels; the narrower range grows evenly on both sides. An
// empty range gets one around its value.
std::pair<PlotSpan, PlotSpan> EqualScaleSpans(PlotSpan x, PlotSpan y, int width, int height);
