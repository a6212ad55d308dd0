#pragma once
// The arithmetic of the data preview plot, free of widgets: sizes of a full paint, where a value
// and a point sit, the scroll, and the per-record state machine (PlotRecord) that turns records
// into draw operations. The widget only renders what comes out of here.
//
// Channels are 0-based here, as records carry them: channel c (0..15) is shown as c + 1 and
// lives in row c % 8 + 1 of the left half (c < 8) or of the right half.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include <QString>

#include "records/MeasRecord.h"

class RecordStream;

constexpr int PlotChannels = 16;

struct PlotPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PlotPoint&) const = default;
};

// Move to (x, y0) and draw a line to (x + 1, y1); as on the original canvas the end pixel is
// not drawn, so y0 == y1 is a one-pixel dash and consecutive segments join without overlap.
struct PlotSegment {
    int x = 0;
    int y0 = 0;
    int y1 = 0;
    bool operator==(const PlotSegment&) const = default;
};

// A value label: its box is cleared to the background and the value written at its top left.
struct PlotLabel {
    PlotPoint at;
    int64_t value = 0; // Round of the plotted value
    QString Text() const { return QString::number(value); }
    bool operator==(const PlotLabel&) const = default;
};

// Sizes fixed by a full paint of a paint box of boxWidth x boxHeight pixels.
struct PlotGeometry {
    PlotGeometry() : PlotGeometry(0, 0) {}
    PlotGeometry(int boxWidth, int boxHeight);

    int PlotWidth;       // box width
    int PlotHeight;      // box height - 4: the bottom four rows are not painted
    double RowHeight;    // PlotHeight / 8
    double DecadeHeight; // RowHeight / 6

    // Points that fit in one half, side by side.
    int HalfWidth() const { return PlotWidth / 2; }
    // y of grid line i (0..8); line 0 is the top edge.
    int GridY(int i) const;
    // Row (1..8) of a channel within its half.
    static int Row(int channel) { return channel % 8 + 1; }
    static bool RightHalf(int channel) { return channel >= 8; }
    // Round(row * RowHeight - log10(u) * DecadeHeight) for u > 0: u = 1 on the row's bottom
    // line, u = 1e6 on its top line, no clipping. Far-off values are held to +-2^30.
    int ValueY(int row, double u) const;
    // Column of point k of a channel; only meaningful when Visible(k, firstPoint).
    int PointX(int channel, int64_t k, int64_t firstPoint) const;
    // 0 <= k - firstPoint < HalfWidth().
    bool Visible(int64_t k, int64_t firstPoint) const;
    // Scroll after a full paint: max(0, channelPoints - (PlotWidth div 8) * 3).
    int64_t FirstPointFor(int64_t channelPoints) const;
    // Top left of channel c's number (written as c + 1) and of its value label.
    PlotPoint ChannelNumberAt(int channel) const;
    PlotPoint LabelAt(int channel) const;
    // The channel whose strip holds pixel (x, y) of the plot area; none outside it.
    std::optional<int> ChannelAt(int x, int y) const;
};

// The value a record plots: 0 for the overflow marker (Rx exactly 65535), else Rx * 1000. A value
// that is not a positive finite number cannot sit on a log scale and plots as 0 too.
double PlotValue(double rx);

// Items after the first one that have the first item's Board and Channel; 0 for an empty pool.
// The board being drawn plays no part.
int64_t CountChannelPoints(const RecordStream& pool);

// What one record does to the plot.
struct PlotStep {
    int64_t channelNumber = 0; // Rec.Channel + 1, for ChannelDwTx
    int64_t boardNumber = 0;   // Rec.Board + 1, for BoardDwTx
    // False when the point lies beyond the window of a channel that already has points: the
    // caller repaints in full, which scrolls the newest points back into view.
    bool fits = true;
    int channel = -1;   // 0..15 when the record is a point of the drawn board, else -1
    int64_t point = -1; // its point number within the channel
    std::optional<PlotSegment> segment;
    std::optional<PlotLabel> label;
};

// PlotRecord and the sixteen channels' state of the current pass.
class PlotState {
public:
    // Steps 8 to 10 of a full paint: every channel without points, scroll and board fixed.
    // channelPoints is what CountChannelPoints gave for the pool; firstItem its first record.
    void Begin(const PlotGeometry& geometry, int board, int64_t channelPoints,
               const std::optional<TMeasRecord>& firstItem);
    // One record, in pool order. Records of other boards count for nothing; a channel above
    // 15 has no strip and leaves every channel's state as it is.
    PlotStep Record(const TMeasRecord& rec);

    // A record appended to the pool after the pass (before Record is called for it): keeps
    // the count behind the scroll current.
    void NoteAppended(const TMeasRecord& rec);
    // Whether a full repaint now would scroll. When it would not, it would draw exactly the
    // picture that the pass and the records since have drawn, so it can be skipped.
    bool RepaintMovesScroll() const;

    const PlotGeometry& Geometry() const { return geometry_; }
    int64_t FirstPoint() const { return firstPoint_; }
    int Board() const { return board_; }
    int64_t ChannelPoints() const { return channelPoints_; }

    std::array<double, PlotChannels> LastValue{};   // 0: no previous point, the curve is broken
    std::array<int64_t, PlotChannels> PointCount{}; // points of the drawn board met so far

private:
    PlotGeometry geometry_;
    int64_t firstPoint_ = 0;
    int board_ = 1; // 1-based, as PwBrdEd shows it
    // The scroll follows the first item's board and channel.
    std::optional<TMeasRecord> firstItem_;
    int64_t channelPoints_ = 0;
};

// Receives the draw operations of a pass.
class PlotSink {
public:
    virtual ~PlotSink() = default;
    virtual void Segment(const PlotSegment& segment) = 0;
    virtual void Label(const PlotLabel& label) = 0;
};

struct PlotPassResult {
    // The pool's last record, which a pass leaves in ChannelDwTx and BoardDwTx; empty for an
    // empty pool (the labels keep their texts).
    std::optional<PlotStep> last;
};

// Steps 8 to 11 of a full paint (PBPaint): one pass over the pool to count, one to draw. Every
// label of a channel covers the previous one, so only the last label each channel writes in the
// pass is handed on, at the moment it is written; the picture is the same as with every label.
PlotPassResult RunPlotPass(const RecordStream& pool, int board, const PlotGeometry& geometry,
                           PlotState& state, PlotSink& sink);

// The pixels of a segment, clipped to 0 <= x < width, 0 <= y < height; put(x, y) for each.
// Rows are walked from y0 towards y1 (y1 excluded); the column moves to x + 1 half way.
template <class Put>
void ForEachSegmentPixel(const PlotSegment& s, int width, int height, Put&& put) {
    const int64_t dy = static_cast<int64_t>(s.y1) - s.y0;
    if (dy == 0) {
        if (s.x >= 0 && s.x < width && s.y0 >= 0 && s.y0 < height)
            put(s.x, s.y0);
        return;
    }
    const int64_t n = dy > 0 ? dy : -dy;
    const int64_t step = dy > 0 ? 1 : -1;
    // Only the steps i whose row y0 + i * step lies inside 0..height-1.
    int64_t from = 0;
    int64_t to = n; // exclusive
    if (step > 0) {
        from = s.y0 < 0 ? -static_cast<int64_t>(s.y0) : 0;
        to = std::min<int64_t>(n, static_cast<int64_t>(height) - s.y0);
    } else {
        from = s.y0 >= height ? static_cast<int64_t>(s.y0) - (height - 1) : 0;
        to = std::min<int64_t>(n, static_cast<int64_t>(s.y0) + 1);
    }
    for (int64_t i = from; i < to; ++i) {
        const int x = s.x + (2 * i >= n ? 1 : 0);
        if (x >= 0 && x < width)
            put(x, static_cast<int>(s.y0 + i * step));
    }
}
