#include "plot/PlotGeometry.h"

#include <cmath>

#include "base/Rounding.h"
#include "buffer/RecordStream.h"

namespace {
// Far enough beyond any screen; keeps absurd values from overflowing the pixel arithmetic.
constexpr double FarOff = 1073741824.0;

bool SameSource(const TMeasRecord& a, const TMeasRecord& b) {
    return a.Board == b.Board && a.Channel == b.Channel;
}

bool HasStrip(const TMeasRecord& rec) {
    return rec.Channel >= 0 && rec.Channel < PlotChannels;
}
} // namespace

PlotGeometry::PlotGeometry(int boxWidth, int boxHeight)
    : PlotWidth(boxWidth), PlotHeight(boxHeight - 4), RowHeight(PlotHeight * 0.125),
      DecadeHeight(RowHeight / 6) {}

int PlotGeometry::GridY(int i) const {
    return static_cast<int>(Round(i * RowHeight));
}

int PlotGeometry::ValueY(int row, double u) const {
    double y = row * RowHeight - std::log10(u) * DecadeHeight;
    if (!(y > -FarOff))
        y = -FarOff;
    if (y > FarOff)
        y = FarOff;
    return static_cast<int>(Round(y));
}

int PlotGeometry::PointX(int channel, int64_t k, int64_t firstPoint) const {
    const int column = static_cast<int>(k - firstPoint);
    return RightHalf(channel) ? HalfWidth() + 2 + column : column;
}

bool PlotGeometry::Visible(int64_t k, int64_t firstPoint) const {
    return k - firstPoint >= 0 && k - firstPoint < HalfWidth();
}

int64_t PlotGeometry::FirstPointFor(int64_t channelPoints) const {
    const int64_t first = channelPoints - static_cast<int64_t>(PlotWidth / 8) * 3;
    return first < 0 ? 0 : first;
}

PlotPoint PlotGeometry::ChannelNumberAt(int channel) const {
    const int y = GridY(Row(channel) - 1) + 1;
    return {RightHalf(channel) ? HalfWidth() + 2 : 2, y};
}

PlotPoint PlotGeometry::LabelAt(int channel) const {
    const int y = GridY(Row(channel)) - 15;
    return {RightHalf(channel) ? HalfWidth() + 4 : 2, y};
}

std::optional<int> PlotGeometry::ChannelAt(int x, int y) const {
    if (x < 0 || x >= PlotWidth || y < 0 || y >= PlotHeight || !(RowHeight > 0))
        return std::nullopt;
    const int row = std::min(static_cast<int>(y / RowHeight), 7);
    return x >= HalfWidth() ? row + 8 : row;
}

double PlotValue(double rx) {
    if (rx == OverflowValue)
        return 0;
    const double v = rx * 1000;
    return v > 0 && std::isfinite(v) ? v : 0;
}

int64_t CountChannelPoints(const RecordStream& pool) {
    const int64_t n = pool.Count();
    if (n == 0)
        return 0;
    const TMeasRecord first = pool.At(0);
    int64_t count = 0;
    for (int64_t k = 1; k < n; ++k)
        count += SameSource(pool.At(k), first) ? 1 : 0;
    return count;
}

void PlotState::Begin(const PlotGeometry& geometry, int board, int64_t channelPoints,
                      const std::optional<TMeasRecord>& firstItem) {
    geometry_ = geometry;
    board_ = board;
    channelPoints_ = channelPoints;
    firstItem_ = firstItem;
    firstPoint_ = geometry_.FirstPointFor(channelPoints);
    LastValue.fill(0);
    PointCount.fill(0);
}

PlotStep PlotState::Record(const TMeasRecord& rec) {
    PlotStep step;
    step.channelNumber = static_cast<int64_t>(rec.Channel) + 1;
    step.boardNumber = static_cast<int64_t>(rec.Board) + 1;
    if (step.boardNumber != board_ || !HasStrip(rec))
        return step;

    const int c = rec.Channel;
    const int64_t k = PointCount[c];
    step.channel = c;
    step.point = k;
    if (!geometry_.Visible(k, firstPoint_)) {
        // The first point of a channel outside the window is simply not drawn; a later one
        // asks for a repaint.
        step.fits = k == 0;
    } else {
        const double v = PlotValue(rec.Rx);
        const int row = PlotGeometry::Row(c);
        const int x = geometry_.PointX(c, k, firstPoint_);
        const double last = LastValue[c];
        if (last != 0) {
            if (v > 0)
                step.segment =
                    PlotSegment{x, geometry_.ValueY(row, last), geometry_.ValueY(row, v)};
        } else if (v > 0) {
            const int y = geometry_.ValueY(row, v);
            step.segment = PlotSegment{x, y, y};
        }
        LastValue[c] = v;
        step.label = PlotLabel{geometry_.LabelAt(c), Round(v)};
    }
    PointCount[c] = k + 1;
    return step;
}

void PlotState::NoteAppended(const TMeasRecord& rec) {
    if (!firstItem_)
        firstItem_ = rec; // the first item itself is not counted
    else if (SameSource(rec, *firstItem_))
        ++channelPoints_;
}

bool PlotState::RepaintMovesScroll() const {
    return geometry_.FirstPointFor(channelPoints_) != firstPoint_;
}

PlotPassResult RunPlotPass(const RecordStream& pool, int board, const PlotGeometry& geometry,
                           PlotState& state, PlotSink& sink) {
    const int64_t n = pool.Count();

    // Counting pass: the scroll, and how many points each channel of the drawn board has, so
    // that the last label of each channel is known before drawing.
    std::optional<TMeasRecord> first;
    int64_t channelPoints = 0;
    std::array<int64_t, PlotChannels> points{};
    for (int64_t k = 0; k < n; ++k) {
        const TMeasRecord rec = pool.At(k);
        if (k == 0)
            first = rec;
        else if (SameSource(rec, *first))
            ++channelPoints;
        if (static_cast<int64_t>(rec.Board) + 1 == board && HasStrip(rec))
            ++points[rec.Channel];
    }
    state.Begin(geometry, board, channelPoints, first);

    std::array<int64_t, PlotChannels> lastLabel{};
    const int64_t windowEnd = state.FirstPoint() + geometry.HalfWidth();
    for (int c = 0; c < PlotChannels; ++c)
        lastLabel[c] = std::min(points[c], windowEnd) - 1; // below FirstPoint: no label

    // Drawing pass.
    PlotPassResult result;
    for (int64_t k = 0; k < n; ++k) {
        PlotStep step = state.Record(pool.At(k));
        if (step.segment)
            sink.Segment(*step.segment);
        if (step.label && step.point == lastLabel[step.channel])
            sink.Label(*step.label);
        if (k == n - 1)
            result.last = std::move(step);
    }
    return result;
}
