#pragma once
// One quantity of a trend series reduced to the pixel columns of a time axis: per column the
// highest and lowest value of the items that fall into it (so every extreme stays visible
// however many items share a column), the first and last value to join the neighbours, and the
// gaps that void values leave. Then the lines and marks that draw it.
// The reduction reads the series through its pyramid, so it costs time in proportion to the
// columns (times log n), not to the items.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "plot/TrendAxes.h"
#include "plot/TrendPyramid.h"

struct TrendColumn {
    bool any = false;   // holds a value
    bool voids = false; // holds a void item
    // A void item lies between the value before this column and `first`: they are not joined.
    bool breakBefore = false;
    double min = 0;
    double max = 0;
    double first = 0; // in time order
    double last = 0;
};

struct TrendTrace {
    // One per pixel column of the axis, then two more: columns.front() holds the item just
    // before the view and columns.back() the one just after it (at beforeX and afterX), so that
    // the curve runs on across the edges.
    std::vector<TrendColumn> columns;
    double beforeX = 0;
    double afterX = 0;
    int64_t items = 0; // items in view, void ones included
    // Lowest and highest value in view; none when it holds no value.
    std::optional<double> lowest;
    std::optional<double> highest;
};

// Which items of a series (times in order) fall into each pixel column of an axis: those with
// start <= time <= end, and the nearest one on each side. Found once per picture and shared by
// its plots, the search through the times being what costs most with millions of items.
struct TrendColumnItems {
    struct Span {
        int column; // index into TrendTrace::columns
        int64_t a;  // items [a, b)
        int64_t b;
    };
    std::vector<Span> spans; // in column order, only columns that hold items
    int width = 1;
    int64_t from = 0; // the items in view: [from, to)
    int64_t to = 0;
    double beforeX = 0;
    double afterX = 0;
};
TrendColumnItems ColumnItems(std::span<const double> times, const TimeAxis& axis);

// The values of a series (NaN where void) over the columns. The pyramid holds the blocks of
// values (an empty one: every item is read).
TrendTrace DecimateTrend(const TrendColumnItems& columns, std::span<const double> values,
                         const TrendPyramid& pyramid);
inline TrendTrace DecimateTrend(std::span<const double> times, std::span<const double> values,
                                const TrendPyramid& pyramid, const TimeAxis& axis) {
    return DecimateTrend(ColumnItems(times.first(std::min(times.size(), values.size())), axis),
                         values, pyramid);
}

struct TrendLine {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const TrendLine&) const = default;
};

struct TrendDrawing {
    std::vector<TrendLine> lines; // the curve, clipped to the plot
    // Single items drawn as a mark (when items are sparse enough to tell apart), clipped.
    std::vector<std::pair<int, int>> marks;
    std::vector<int> voidColumns; // x of every column that holds a void item
};

// What draws the trace in the plot spanned by the two axes. Items are marked singly when there
// are at most a sixth as many in view as columns.
TrendDrawing DrawTrend(const TrendTrace& trace, const TimeAxis& time, const ValueAxis& value);
