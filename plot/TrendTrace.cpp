#include "plot/TrendTrace.h"

#include <algorithm>
#include <cmath>

namespace {
// Far outside any plot, yet safe to round to int.
constexpr double Far = 1e8;

int Pixel(double v) {
    return static_cast<int>(std::lround(std::clamp(v, -Far, Far)));
}

// Clips the segment to the rectangle (Liang-Barsky); false when nothing of it is inside.
bool Clip(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
          double bottom) {
    double t0 = 0;
    double t1 = 1;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1)
            return false;
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}
} // namespace

TrendTrace DecimateTrend(std::span<const double> times, std::span<const double> values,
                         const TrendPyramid& pyramid, const TimeAxis& axis) {
    TrendTrace trace;
    const int width = std::max(axis.width, 1);
    trace.columns.resize(static_cast<size_t>(width) + 2);
    const auto n = static_cast<int64_t>(std::min(times.size(), values.size()));
    values = values.first(static_cast<size_t>(n));
    const auto begin = times.begin();
    const int64_t from = std::lower_bound(begin, begin + n, axis.start) - begin;
    const int64_t to = std::upper_bound(begin + from, begin + n, axis.end) - begin;
    trace.items = to - from;
    const double perDay = (width - 1) / (axis.end - axis.start);
    if (from > 0)
        trace.beforeX = axis.X(times[static_cast<size_t>(from - 1)]);
    if (to < n)
        trace.afterX = axis.X(times[static_cast<size_t>(to)]);

    // Items from the one before the view on; a void item just before a column's first value
    // (back to that item) breaks the curve.
    const int64_t scanned = std::max<int64_t>(from - 1, 0);
    const auto put = [&](size_t c, int64_t a, int64_t b) {
        const TrendStretch s = pyramid.Summarise(values, a, b);
        TrendColumn& col = trace.columns[c];
        col.voids = s.voids;
        if (s.firstValue < 0)
            return;
        col.any = true;
        col.breakBefore =
            s.firstValue > scanned && std::isnan(values[static_cast<size_t>(s.firstValue - 1)]);
        col.min = s.min;
        col.max = s.max;
        col.first = values[static_cast<size_t>(s.firstValue)];
        col.last = values[static_cast<size_t>(s.lastValue)];
    };
    const auto columnOf = [&](double t) {
        return std::clamp(static_cast<int>(std::floor((t - axis.start) * perDay + 0.5)), 0,
                          width - 1);
    };
    if (from > 0)
        put(0, from - 1, from);
    // The items of a column lie together, times being in order: each column's end is found by
    // galloping from its first item, then bisection, so only the columns that hold items are
    // visited and the probes stay near each other (in the cache) when a column holds few.
    for (int64_t i = from; i < to;) {
        const int c = columnOf(times[static_cast<size_t>(i)]);
        const auto inColumn = [&](double t) { return columnOf(t) <= c; };
        int64_t low = i + 1; // items before low lie in the column
        int64_t high = i + 1;
        for (int64_t step = 1; high < to && inColumn(times[static_cast<size_t>(high)]); step *= 2) {
            low = high + 1;
            high = i + 2 * step;
        }
        high = std::min(high, to);
        const int64_t end = std::partition_point(begin + low, begin + high, inColumn) - begin;
        put(static_cast<size_t>(c) + 1, i, end);
        i = end;
    }
    if (to < n)
        put(static_cast<size_t>(width) + 1, to, to + 1);

    for (size_t c = 1; c <= static_cast<size_t>(width); ++c) {
        const TrendColumn& col = trace.columns[c];
        if (!col.any)
            continue;
        trace.lowest = std::min(trace.lowest.value_or(col.min), col.min);
        trace.highest = std::max(trace.highest.value_or(col.max), col.max);
    }
    return trace;
}

TrendDrawing DrawTrend(const TrendTrace& trace, const TimeAxis& time, const ValueAxis& value) {
    TrendDrawing d;
    const size_t count = trace.columns.size();
    if (count < 3)
        return d;
    const double left = time.left;
    const double right = time.left + time.width - 1;
    const double top = value.top;
    const double bottom = value.top + value.height - 1;
    const auto xOf = [&](size_t c) {
        if (c == 0)
            return trace.beforeX;
        if (c == count - 1)
            return trace.afterX;
        return left + static_cast<double>(c) - 1;
    };
    const auto line = [&](double x0, double y0, double x1, double y1) {
        if (Clip(x0, y0, x1, y1, left, top, right, bottom))
            d.lines.push_back({Pixel(x0), Pixel(y0), Pixel(x1), Pixel(y1)});
    };
    const bool marking = trace.items > 0 && trace.items * 6 <= time.width;

    std::optional<size_t> previous;
    for (size_t c = 0; c < count; ++c) {
        const TrendColumn& col = trace.columns[c];
        const bool inView = c > 0 && c < count - 1;
        if (inView && col.voids)
            d.voidColumns.push_back(static_cast<int>(xOf(c)));
        if (!col.any)
            continue;
        const double x = xOf(c);
        if (previous && !col.breakBefore)
            line(xOf(*previous), value.Y(trace.columns[*previous].last), x, value.Y(col.first));
        if (inView) {
            const double yHigh = value.Y(col.max);
            const double yLow = value.Y(col.min);
            line(x, yHigh, x, yLow);
            if (marking) {
                if (yHigh >= top && yHigh <= bottom)
                    d.marks.emplace_back(Pixel(x), Pixel(yHigh));
                if (yLow != yHigh && yLow >= top && yLow <= bottom)
                    d.marks.emplace_back(Pixel(x), Pixel(yLow));
            }
        }
        previous = c;
    }
    return d;
}
