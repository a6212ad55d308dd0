#include "sweep/SpectrumScales.h"

#include <algorithm>
#include <cmath>

std::vector<std::pair<int, int>> UnbrokenRuns(const std::vector<SweepPoint>& points) {
    std::vector<std::pair<int, int>> runs;
    int first = -1;
    const int n = static_cast<int>(points.size());
    for (int i = 0; i <= n; ++i) {
        const bool gap = i == n || points[static_cast<size_t>(i)].Void();
        if (!gap && first < 0)
            first = i;
        if (gap && first >= 0) {
            runs.emplace_back(first, i - 1);
            first = -1;
        }
    }
    return runs;
}

namespace {
// A range that is not empty: one around a single value.
PlotSpan Widened(PlotSpan s) {
    if (s.hi > s.lo)
        return s;
    const double room = std::max(std::fabs(s.lo) * 0.1, 1.0);
    return {s.lo - room, s.lo + room};
}

PlotSpan Grown(PlotSpan s, double width) {
    const double middle = (s.lo + s.hi) / 2;
    return {middle - width / 2, middle + width / 2};
}
} // namespace

std::pair<PlotSpan, PlotSpan> EqualScaleSpans(PlotSpan x, PlotSpan y, int width, int height) {
    x = Widened(x);
    y = Widened(y);
    width = std::max(width, 1);
    height = std::max(height, 1);
    const double perPixel =
        std::max((x.hi - x.lo) / width, (y.hi - y.lo) / height) * 1.1; // the 5 % on each side
    return {Grown(x, perPixel * width), Grown(y, perPixel * height)};
}
