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

TrendColumnItems ColumnItems(std::span<const double> times, const TimeAxis& axis) {
    TrendColumnItems out;
    const int width = std::max(axis.width, 1);
    out.width = width;
    const auto n = static_cast<int64_t>(times.size());
    const auto begin = times.begin();
    const int64_t from = std::lower_bound(begin, begin + n, axis.start) - begin;
    const int64_t to = std::upper_bound(begin + from, begin + n, axis.end) - begin;
    out.from = from;
    out.to = to;
    const double perDay = (width - 1) / (axis.end - axis.start);
    if (from > 0) {
        out.beforeX = axis.X(times[static_cast<size_t>(from - 1)]);
        out.spans.push_back({0, from - 1, from});
    }
    const auto columnOf = [&](double t) {
        return std::clamp(static_cast<int>(std::floor((t - axis.start) * perDay + 0.5)), 0,
                          width - 1);
    };
    // The items of a column lie together, times being in order. Each column's end is looked for
    // first where the last column's count puts it (items mostly come evenly), galloping from
    // there either way, then bisected: the probes stay near each other, within a page or two of
    // a large series, where a search from the column's start would touch a page per probe.
    int64_t lastCount = 1;
    for (int64_t i = from; i < to;) {
        const int c = columnOf(times[static_cast<size_t>(i)]);
        const auto inColumn = [&](double t) { return columnOf(t) <= c; };
        const auto in = [&](int64_t k) { return inColumn(times[static_cast<size_t>(k)]); };
        int64_t low = i + 1; // items before low lie in the column
        int64_t high = to;   // items from high on do not
        const int64_t guess = std::clamp(i + lastCount, low, to);
        if (guess < to && in(guess)) {
            low = guess + 1;
            int64_t step = 1;
            for (; low + step - 1 < to && in(low + step - 1); step *= 2)
                low += step;
            high = std::min(low + step - 1, to);
        } else {
            high = guess;
            int64_t step = 1;
            for (; high - step >= low && !in(high - step); step *= 2)
                high -= step;
            low = std::max(low, high - step + 1);
        }
        const int64_t end = std::partition_point(begin + low, begin + high, inColumn) - begin;
        out.spans.push_back({c + 1, i, end});
        lastCount = end - i;
        i = end;
    }
    if (to < n) {
        out.afterX = axis.X(times[static_cast<size_t>(to)]);
        out.spans.push_back({width + 1, to, to + 1});
    }
    return out;
}

TrendTrace DecimateTrend(const TrendColumnItems& columns, std::span<const double> values,
                         const TrendPyramid& pyramid) {
    TrendTrace trace;
    const auto width = static_cast<size_t>(columns.width);
    trace.columns.resize(width + 2);
    trace.beforeX = columns.beforeX;
    trace.afterX = columns.afterX;
    trace.items = columns.to - columns.from;
    // Items from the one before the view on; a void item just before a column's first value
    // (back to that item) breaks the curve.
    const int64_t scanned = std::max<int64_t>(columns.from - 1, 0);
    for (const TrendColumnItems::Span& span : columns.spans) {
        const TrendStretch s = pyramid.Summarise(values, span.a, span.b);
        TrendColumn& col = trace.columns[static_cast<size_t>(span.column)];
        col.voids = s.voids;
        if (s.firstValue < 0)
            continue;
        col.any = true;
        col.breakBefore =
            s.firstValue > scanned && std::isnan(values[static_cast<size_t>(s.firstValue - 1)]);
        col.min = s.min;
        col.max = s.max;
        col.first = values[static_cast<size_t>(s.firstValue)];
        col.last = values[static_cast<size_t>(s.lastValue)];
    }
    for (size_t c = 1; c <= width; ++c) {
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
