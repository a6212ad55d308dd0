// The preview plot's arithmetic and state machine, without any widget.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "buffer/RecordStream.h"
#include "plot/PlotGeometry.h"

namespace {
TMeasRecord Rec(int board, int channel, double rx) {
    TMeasRecord r;
    r.Board = board;
    r.Channel = channel;
    r.Rx = rx;
    return r;
}

// Collects what a pass draws.
struct Recorder : PlotSink {
    std::vector<PlotSegment> segments;
    std::vector<PlotLabel> labels;
    void Segment(const PlotSegment& s) override { segments.push_back(s); }
    void Label(const PlotLabel& l) override { labels.push_back(l); }
};

// A picture as cells: curve pixels are -1, a label box holds its value + 1.
struct Grid : PlotSink {
    static constexpr int LabelW = 30, LabelH = 10;
    int w, h;
    std::vector<int64_t> cells;
    Grid(int width, int height) : w(width), h(height), cells(static_cast<size_t>(w * h), 0) {}
    void Segment(const PlotSegment& s) override {
        ForEachSegmentPixel(s, w, h,
                            [&](int x, int y) { cells[static_cast<size_t>(y * w + x)] = -1; });
    }
    void Label(const PlotLabel& l) override {
        for (int y = std::max(0, l.at.y); y < std::min(h, l.at.y + LabelH); ++y)
            for (int x = std::max(0, l.at.x); x < std::min(w, l.at.x + LabelW); ++x)
                cells[static_cast<size_t>(y * w + x)] = l.value + 1;
    }
};

std::vector<PlotPoint> Pixels(const PlotSegment& s, int w = 1000, int h = 1000) {
    std::vector<PlotPoint> out;
    ForEachSegmentPixel(s, w, h, [&](int x, int y) { out.push_back({x, y}); });
    return out;
}

// The state of a pass begun as PBPaint would, from the pool as it stands.
PlotState BeginFor(const RecordStream& pool, const PlotGeometry& g, int board) {
    PlotState state;
    std::optional<TMeasRecord> first;
    if (pool.Count() > 0)
        first = pool.At(0);
    state.Begin(g, board, CountChannelPoints(pool), first);
    return state;
}
} // namespace

TEST(PlotGeometry, FiguresOfTheDesignBox) {
    const PlotGeometry g(433, 493);
    EXPECT_EQ(g.PlotWidth, 433);
    EXPECT_EQ(g.PlotHeight, 489);
    EXPECT_DOUBLE_EQ(g.RowHeight, 61.125);
    EXPECT_DOUBLE_EQ(g.DecadeHeight, 10.1875);
    EXPECT_EQ(g.HalfWidth(), 216);
    // 244.5 goes to the even neighbour.
    const std::vector<int> lines{0, 61, 122, 183, 244, 306, 367, 428, 489};
    for (int i = 0; i <= 8; ++i)
        EXPECT_EQ(g.GridY(i), lines[static_cast<size_t>(i)]) << i;

    EXPECT_EQ(g.ValueY(1, 1000), 31); // Round(61.125 - 3 * 10.1875)
    EXPECT_EQ(g.ValueY(1, 1), 61);
    EXPECT_EQ(g.ValueY(1, 1e6), 0);
    EXPECT_EQ(g.ValueY(4, 1), 244);
    EXPECT_EQ(g.ValueY(8, 1), 489);
    EXPECT_EQ(g.ValueY(2, 1e9), 31);   // three decades above row 2's top, into row 1
    EXPECT_EQ(g.ValueY(1, 0.001), 92); // below the strip, into the next one
    // Absurd values stay far off instead of overflowing.
    EXPECT_GT(g.ValueY(1, std::numeric_limits<double>::denorm_min()), 3000);
    EXPECT_LT(g.ValueY(1, std::numeric_limits<double>::max()), -3000);

    EXPECT_EQ(g.FirstPointFor(0), 0);
    EXPECT_EQ(g.FirstPointFor(162), 0);
    EXPECT_EQ(g.FirstPointFor(163), 1);
    EXPECT_EQ(g.FirstPointFor(1000), 838);

    EXPECT_EQ(g.PointX(0, 40, 30), 10);
    EXPECT_EQ(g.PointX(7, 40, 30), 10);
    EXPECT_EQ(g.PointX(8, 40, 30), 228);
    EXPECT_FALSE(g.Visible(29, 30));
    EXPECT_TRUE(g.Visible(30, 30));
    EXPECT_TRUE(g.Visible(245, 30));
    EXPECT_FALSE(g.Visible(246, 30));

    EXPECT_EQ(g.ChannelNumberAt(0), (PlotPoint{2, 1}));
    EXPECT_EQ(g.ChannelNumberAt(7), (PlotPoint{2, 429}));
    EXPECT_EQ(g.ChannelNumberAt(8), (PlotPoint{218, 1}));
    EXPECT_EQ(g.ChannelNumberAt(9), (PlotPoint{218, 62}));
    EXPECT_EQ(g.LabelAt(0), (PlotPoint{2, 46}));
    EXPECT_EQ(g.LabelAt(8), (PlotPoint{220, 46}));
    EXPECT_EQ(g.LabelAt(15), (PlotPoint{220, 474}));
}

TEST(PlotGeometry, PlotValues) {
    EXPECT_EQ(PlotValue(65535.0), 0);
    EXPECT_DOUBLE_EQ(PlotValue(6553.5), 6553500); // an overflow with an exponent is plotted
    EXPECT_DOUBLE_EQ(PlotValue(1), 1000);
    EXPECT_EQ(PlotValue(0), 0);
    EXPECT_EQ(PlotValue(-1), 0);
    EXPECT_EQ(PlotValue(std::nan("")), 0);
    EXPECT_EQ(PlotValue(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(PlotValue(1e306), 0); // times 1000 is no longer finite
}

TEST(PlotGeometry, SegmentPixels) {
    // A dash is one pixel; the end of a line is not drawn; the column moves half way.
    EXPECT_EQ(Pixels({10, 5, 5}), (std::vector<PlotPoint>{{10, 5}}));
    EXPECT_EQ(Pixels({10, 5, 9}), (std::vector<PlotPoint>{{10, 5}, {10, 6}, {11, 7}, {11, 8}}));
    EXPECT_EQ(Pixels({10, 9, 6}), (std::vector<PlotPoint>{{10, 9}, {10, 8}, {11, 7}}));
    EXPECT_EQ(Pixels({10, 5, 6}), (std::vector<PlotPoint>{{10, 5}}));
    // Clipped to the picture, without walking the rows outside it.
    EXPECT_EQ(Pixels({3, -1000000000, 2}, 10, 10), (std::vector<PlotPoint>{{4, 0}, {4, 1}}));
    EXPECT_EQ(Pixels({3, 1000000000, 7}, 10, 10), (std::vector<PlotPoint>{{4, 9}, {4, 8}}));
    EXPECT_EQ(Pixels({3, 12, 14}, 10, 10), std::vector<PlotPoint>{});
    EXPECT_EQ(Pixels({9, 0, 4}, 10, 10), (std::vector<PlotPoint>{{9, 0}, {9, 1}}));
    EXPECT_EQ(Pixels({-1, 0, 0}, 10, 10), std::vector<PlotPoint>{});
}

TEST(PlotGeometry, CountChannelPointsFollowsTheFirstItem) {
    RecordStream pool;
    EXPECT_EQ(CountChannelPoints(pool), 0);
    pool.Append(Rec(2, 5, 1));
    EXPECT_EQ(CountChannelPoints(pool), 0); // the first item itself is not counted
    pool.Append(Rec(2, 5, 1));
    pool.Append(Rec(1, 5, 1)); // other board
    pool.Append(Rec(2, 4, 1)); // other channel
    pool.Append(Rec(2, 5, 65535));
    EXPECT_EQ(CountChannelPoints(pool), 2);
}

TEST(PlotState, DrawsDashesLinesAndBreaks) {
    const PlotGeometry g(433, 493);
    PlotState s;
    s.Begin(g, 1, 0, std::nullopt);
    const int y1000 = g.ValueY(1, 1000), y10 = g.ValueY(1, 10);

    PlotStep a = s.Record(Rec(0, 0, 1.0)); // 1000 on channel 1: a dash
    EXPECT_TRUE(a.fits);
    EXPECT_EQ(a.channel, 0);
    EXPECT_EQ(a.point, 0);
    EXPECT_EQ(a.segment, (PlotSegment{0, y1000, y1000}));
    EXPECT_EQ(a.label, (PlotLabel{{2, 46}, 1000}));
    EXPECT_EQ(a.label->Text(), "1000");
    EXPECT_EQ(a.channelNumber, 1);
    EXPECT_EQ(a.boardNumber, 1);

    PlotStep b = s.Record(Rec(0, 0, 0.01)); // 10: a line from the last value
    EXPECT_EQ(b.segment, (PlotSegment{1, y1000, y10}));

    PlotStep c = s.Record(Rec(0, 0, 65535.0)); // overflow: nothing drawn, label 0
    EXPECT_FALSE(c.segment);
    EXPECT_EQ(c.label->value, 0);
    EXPECT_EQ(s.LastValue[0], 0);

    PlotStep d = s.Record(Rec(0, 0, 0.01)); // starts again with a dash
    EXPECT_EQ(d.segment, (PlotSegment{3, y10, y10}));
    PlotStep e = s.Record(Rec(0, 0, 0)); // a zero breaks the curve too
    EXPECT_FALSE(e.segment);
    EXPECT_EQ(s.PointCount[0], 5);

    // Channel 9 lies in row 1 of the right half; values round half to even.
    PlotStep r = s.Record(Rec(0, 8, 0.001953125)); // 1.953125
    EXPECT_EQ(r.segment->x, 218);
    EXPECT_EQ(r.label, (PlotLabel{{220, 46}, 2}));
    PlotStep r2 = s.Record(Rec(0, 8, 0.0625)); // 62.5 goes to the even neighbour
    EXPECT_EQ(r2.label->value, 62);
    EXPECT_EQ(r2.segment->x, 219);
}

TEST(PlotState, OtherBoardsAndChannelsWithoutStripLeaveTheStateAlone) {
    const PlotGeometry g(433, 493);
    PlotState s;
    s.Begin(g, 2, 0, std::nullopt);
    s.Record(Rec(1, 3, 1));
    const auto last = s.LastValue;
    const auto counts = s.PointCount;

    for (const TMeasRecord& r : {Rec(0, 3, 2), Rec(2, 3, 2), Rec(1, 16, 2), Rec(1, 255, 2),
                                 Rec(1, -1, 2), Rec(1, std::numeric_limits<int32_t>::max(), 2),
                                 Rec(std::numeric_limits<int32_t>::max(), 0, 2)}) {
        const PlotStep step = s.Record(r);
        EXPECT_TRUE(step.fits);
        EXPECT_EQ(step.channel, -1);
        EXPECT_FALSE(step.segment);
        EXPECT_FALSE(step.label);
        // The texts still follow every record.
        EXPECT_EQ(step.channelNumber, static_cast<int64_t>(r.Channel) + 1);
        EXPECT_EQ(step.boardNumber, static_cast<int64_t>(r.Board) + 1);
    }
    EXPECT_EQ(s.LastValue, last);
    EXPECT_EQ(s.PointCount, counts);
}

TEST(PlotState, ScrollAndTheRepaintOnOverflowOfTheWindow) {
    const PlotGeometry g(433, 493);
    for (int n : {1, 100, 163, 400}) {
        RecordStream pool;
        for (int i = 0; i < n; ++i) {
            pool.Append(Rec(0, 0, 1));
            pool.Append(Rec(0, 1, 1)); // another channel, same pace
        }
        PlotState s = BeginFor(pool, g, 1);
        EXPECT_EQ(s.FirstPoint(), std::max(0, (n - 1) - 162));
        PlotStep newest;
        for (int64_t k = 0; k < pool.Count(); ++k) {
            const PlotStep step = s.Record(pool.At(k));
            if (step.channel == 0)
                newest = step;
        }
        // The newest point of the first item's channel sits at x = 162 once it scrolls.
        EXPECT_EQ(newest.segment->x, n - 1 >= 162 ? 162 : n - 1) << n;

        if (n - 1 < 162)
            continue;
        // 53 more points fit; the 54th asks for a repaint, which then scrolls.
        for (int i = 1; i <= 54; ++i) {
            const TMeasRecord r = Rec(0, 0, 1);
            pool.Append(r);
            s.NoteAppended(r);
            const PlotStep step = s.Record(r);
            EXPECT_EQ(step.fits, i < 54) << n << " " << i;
            if (i < 54)
                EXPECT_EQ(step.segment->x, 162 + i);
            else
                EXPECT_TRUE(s.RepaintMovesScroll());
        }
        EXPECT_EQ(s.ChannelPoints(), CountChannelPoints(pool));
    }
}

TEST(PlotState, PointsOutsideTheWindowOfOtherChannels) {
    const PlotGeometry g(433, 493);
    RecordStream pool;
    for (int i = 0; i < 300; ++i)
        pool.Append(Rec(0, 0, 1)); // FirstPoint 137
    PlotState s = BeginFor(pool, g, 1);
    ASSERT_EQ(s.FirstPoint(), 137);
    // Channel 2's first point lies before the window: not drawn, no repaint; its next point
    // asks for one, but a repaint would not scroll and so would change nothing.
    const PlotStep first = s.Record(Rec(0, 1, 1));
    EXPECT_TRUE(first.fits);
    EXPECT_FALSE(first.segment);
    EXPECT_FALSE(first.label);
    s.NoteAppended(Rec(0, 1, 1));
    const PlotStep second = s.Record(Rec(0, 1, 1));
    EXPECT_FALSE(second.fits);
    EXPECT_FALSE(s.RepaintMovesScroll());
    // A pool whose first item is of another board still sets the scroll.
    RecordStream other;
    other.Append(Rec(3, 0, 1));
    for (int i = 0; i < 200; ++i)
        other.Append(Rec(3, 0, 1));
    EXPECT_EQ(BeginFor(other, g, 1).FirstPoint(), 38);
}

TEST(PlotPass, DrawsWhatEveryRecordWouldDrawWithOneLabelPerChannel) {
    std::mt19937 rng(7);
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{433, 493}, {100, 60}, {20, 24}}) {
        for (int board : {1, 2}) {
            RecordStream pool;
            const int n = 3000;
            for (int i = 0; i < n; ++i) {
                const int kind = static_cast<int>(rng() % 10);
                double rx = std::pow(10.0, static_cast<double>(rng() % 1000) / 100.0 - 4);
                if (kind == 0)
                    rx = 65535.0;
                else if (kind == 1)
                    rx = 0;
                const int b = static_cast<int>(rng() % 3);
                const int c = i < 5 ? 2 : static_cast<int>(rng() % 18);
                pool.Append(Rec(b, c, rx));
            }
            const PlotGeometry g(w, h);

            // Reference: every record in turn, every label written.
            PlotState ref = BeginFor(pool, g, board);
            Grid expected(w, h);
            PlotStep lastRef;
            for (int64_t k = 0; k < n; ++k) {
                lastRef = ref.Record(pool.At(k));
                if (lastRef.segment)
                    expected.Segment(*lastRef.segment);
                if (lastRef.label)
                    expected.Label(*lastRef.label);
            }

            PlotState state;
            Grid actual(w, h);
            const PlotPassResult result = RunPlotPass(pool, board, g, state, actual);
            EXPECT_EQ(actual.cells, expected.cells) << w << "x" << h << " board " << board;
            EXPECT_EQ(state.FirstPoint(), ref.FirstPoint());
            EXPECT_EQ(state.PointCount, ref.PointCount);
            EXPECT_EQ(state.LastValue, ref.LastValue);
            ASSERT_TRUE(result.last);
            EXPECT_EQ(result.last->channelNumber, lastRef.channelNumber);
            EXPECT_EQ(result.last->boardNumber, lastRef.boardNumber);

            Recorder ops;
            PlotState again;
            RunPlotPass(pool, board, g, again, ops);
            std::set<std::pair<int, int>> boxes;
            for (const PlotLabel& l : ops.labels)
                EXPECT_TRUE(boxes.insert({l.at.x, l.at.y}).second) << "one label per channel";
        }
    }
}

TEST(PlotPass, EmptyPool) {
    RecordStream pool;
    PlotState state;
    state.Begin(PlotGeometry(433, 493), 1, 5, std::nullopt);
    state.PointCount[3] = 9;
    Recorder ops;
    const PlotPassResult result = RunPlotPass(pool, 1, PlotGeometry(433, 493), state, ops);
    EXPECT_FALSE(result.last); // the labels keep their texts
    EXPECT_TRUE(ops.segments.empty());
    EXPECT_TRUE(ops.labels.empty());
    EXPECT_EQ(state.FirstPoint(), 0);
    EXPECT_EQ(state.PointCount[3], 0);
    // The first live item then becomes the one the scroll follows.
    state.NoteAppended(Rec(0, 4, 1));
    EXPECT_EQ(state.ChannelPoints(), 0);
    state.NoteAppended(Rec(0, 4, 1));
    state.NoteAppended(Rec(0, 5, 1));
    EXPECT_EQ(state.ChannelPoints(), 1);
}
