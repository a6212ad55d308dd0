// The trend view's arithmetic without widgets: axes and ticks, the series, the reduction to pixel
// columns and the stretch of time shown.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

#include "buffer/BufferTestRecords.h"
#include "buffer/RecordStream.h"
#include "plot/TrendAxes.h"
#include "plot/TrendChannels.h"
#include "plot/TrendSeries.h"
#include "plot/TrendTrace.h"
#include "plot/TrendView.h"

namespace {
constexpr double Minute = 1.0 / 1440;
constexpr double Void = std::numeric_limits<double>::quiet_NaN();

QStringList Texts(const std::vector<AxisTick>& ticks, bool dates = false) {
    QStringList out;
    for (const AxisTick& t : ticks)
        out << (dates ? t.date : t.text);
    return out;
}
} // namespace

TEST(TrendAxes, TicksAndTheirTexts) {
    const double noon = buffertest::At(2025, 12, 9, 12, 0, 0);
    FormatSettings fs;
    // Two days on 800 columns, ticks 100 pixels apart: every 12 hours, the date under the
    // first tick and where the day changes.
    std::vector<AxisTick> t = TimeTicks({noon, noon + 2, 0, 800}, 100, fs);
    EXPECT_EQ(Texts(t), QStringList({"12:00", "00:00", "12:00", "00:00", "12:00"}));
    EXPECT_EQ(Texts(t, true), QStringList({"09.12.2025", "10.12.2025", "", "11.12.2025", ""}));
    // Two minutes: every 30 seconds, with seconds, in the operator's conventions.
    fs.timeSeparator = '.';
    fs.shortDateFormat = "d/M/yyyy";
    t = TimeTicks({noon - 61.0 / 86400, noon + 60.0 / 86400, 0, 800}, 100, fs);
    EXPECT_EQ(t.front().text, "11.59.00");
    EXPECT_EQ(t.front().date, "9/12/2025");
    EXPECT_EQ(t.back().text, "12.01.00");
    EXPECT_EQ(t.size(), 5u);
    // Two months: dates only, every 28 days.
    t = TimeTicks({noon, noon + 60, 0, 400}, 100, fs);
    EXPECT_EQ(Texts(t), QStringList({"13/12/2025", "10/1/2026", "7/2/2026"}));
    EXPECT_EQ(t.front().date, "");
    // A time that is no date still gets a tick.
    EXPECT_EQ(Texts(TimeTicks({1e9, 1e9 + 1, 0, 200}, 100, fs)).value(0), "?");

    struct Case {
        TrendScale scale;
        double lo, hi; // displayed values
        QStringList texts;
    };
    const Case cases[] = {
        {TrendScale::Linear,
         0,
         1,
         {"0", "0,1", "0,2", "0,3", "0,4", "0,5", "0,6", "0,7", "0,8", "0,9", "1,0"}},
        {TrendScale::Linear, -10, 2500, {"0", "0,5k", "1,0k", "1,5k", "2,0k", "2,5k"}},
        {TrendScale::Linear, 1e6, 3e6, {"1,0M", "1,5M", "2,0M", "2,5M", "3,0M"}},
        // Decades; 1 would stand too close to 0.
        {TrendScale::Log, 0, 999999, {"0", "10", "100", "1k", "10k", "100k"}},
        {TrendScale::Log, -20000, -5, {"-10k", "-1k", "-100", "-10"}},
        // Less than a decade: ordinary steps on the logarithmic line.
        {TrendScale::Log, 1100, 1900, {"1200", "1400", "1600", "1800"}},
    };
    fs.decimalSeparator = ',';
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts.join(' ').toStdString());
        const ValueAxis axis{c.scale, ToScale(c.scale, c.lo), ToScale(c.scale, c.hi), 0,
                             c.scale == TrendScale::Linear && c.lo != 0 ? 200 : 400};
        const std::vector<AxisTick> ticks = ValueTicks(axis, 30, fs);
        EXPECT_EQ(Texts(ticks), c.texts);
        for (const AxisTick& tick : ticks) {
            EXPECT_GE(axis.Y(tick.at), -1e-6);
            EXPECT_LE(axis.Y(tick.at), axis.height - 1 + 1e-6);
        }
    }
    // The logarithmic line: through zero, both signs, close to log10 above 1000.
    EXPECT_EQ(ToScale(TrendScale::Log, 0), 0);
    EXPECT_NEAR(ToScale(TrendScale::Log, 1e6), 6, 1e-6);
    EXPECT_NEAR(ToScale(TrendScale::Log, -999), -3, 1e-9);
    EXPECT_NEAR(FromScale(TrendScale::Log, ToScale(TrendScale::Log, -12.3)), -12.3, 1e-9);
}

TEST(TrendSeries, TakesItsChannelPutsLateItemsInPlaceAndFindsTheNearest) {
    RecordStream pool;
    const auto add = [&](int minute, double rx, int channel = 2) {
        pool.Append(buffertest::Record(minute, 0, channel, 0, rx, -0.001, 46000 + minute * Minute));
    };
    add(5, 1);
    add(6, 65535);
    add(6, 1, 3); // another channel
    add(7, 1e300);
    pool.Append(buffertest::Record(9, 100, 2, 0, 1, 1, 46000)); // no board of the logger's
    TrendChannels channels;
    channels.Fill(pool);
    EXPECT_EQ(channels.Add(pool.At(4), 4), nullptr); // kept only once asked for
    EXPECT_EQ(channels.Of(100, 2, &pool).Count(), 1);
    EXPECT_EQ(channels.Add(pool.At(4), 4), &channels.Of(100, 2));
    TrendSeries& s = channels.Of(0, 2);
    ASSERT_EQ(s.Count(), 3);
    EXPECT_EQ(s.Values(TrendQuantity::Rx)[0], 1000);
    EXPECT_TRUE(std::isnan(s.Values(TrendQuantity::Rx)[1])); // the overflow mark: a gap
    EXPECT_TRUE(std::isnan(s.Values(TrendQuantity::Rx)[2])); // no impedance: a gap too
    EXPECT_EQ(s.Values(TrendQuantity::Xx)[0], -1);

    // A download of older items after the live ones, and an item at a time already held.
    for (int m : {1, 2, 6}) {
        add(m, 2);
        s.Add(pool.At(pool.Count() - 1), pool.Count() - 1);
    }
    EXPECT_FALSE(s.Ordered());
    s.Order();
    std::vector<int64_t> rows;
    for (int64_t i = 0; i < s.Count(); ++i)
        rows.push_back(s.Row(i));
    EXPECT_EQ(rows, (std::vector<int64_t>{5, 6, 0, 1, 7, 3})); // equal times in buffer order
    EXPECT_TRUE(std::is_sorted(s.Times().begin(), s.Times().end()));

    EXPECT_EQ(s.Nearest(46000 + 3.4 * Minute, 0, s.Count()), 1);
    EXPECT_EQ(s.Nearest(46000 + 3.6 * Minute, 0, s.Count()), 2);
    EXPECT_EQ(s.Nearest(46000, 2, 4), 2);
    EXPECT_EQ(s.Nearest(46100, 2, 4), 3);
    EXPECT_EQ(s.Nearest(46000, 3, 3), -1);
    EXPECT_EQ(s.LowerBound(46000 + 6 * Minute), 3);
    EXPECT_EQ(s.UpperBound(46000 + 6 * Minute), 5);
}

TEST(TrendTrace, KeepsEveryExtremeRunsAcrossTheEdgesAndBreaksAtVoids) {
    const TimeAxis axis{10, 20, 100, 11}; // one column per unit of time, x 100..110
    const ValueAxis values{TrendScale::Linear, 0, 10, 0, 11}; // y = 10 - v
    struct Case {
        const char* what;
        std::vector<double> times, values;
        std::vector<TrendLine> lines;
        std::vector<int> voids;
    };
    const Case cases[] = {
        {"many items in a column: its lowest and highest, joined to the next",
         {12, 12.1, 12.2, 12.3, 13},
         {5, 9, 1, 4, 6},
         {{102, 1, 102, 9}, {102, 6, 103, 4}, {103, 4, 103, 4}},
         {}},
        {"the view between two items: the line crosses it, cut at the edges",
         {0, 30},
         {0, 9},
         {{100, 7, 110, 4}},
         {}},
        {"a void item beside the view breaks the line into it",
         {9, 11, 12},
         {Void, 2, 2},
         {{101, 8, 101, 8}, {101, 8, 102, 8}, {102, 8, 102, 8}},
         {}},
        {"a void item inside the view: no line across it, and a mark",
         {11, 12, 13},
         {2, Void, 2},
         {{101, 8, 101, 8}, {103, 8, 103, 8}},
         {102}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TrendTrace trace = DecimateTrend(c.times, c.values, TrendPyramid{}, axis);
        const TrendDrawing d = DrawTrend(trace, axis, values);
        EXPECT_EQ(d.lines, c.lines);
        EXPECT_EQ(d.voidColumns, c.voids);
    }
    // Only what lies in view sets the automatic value range.
    const TrendTrace trace =
        DecimateTrend(std::vector<double>{0, 15, 16, 30}, std::vector<double>{100, 3, -2, 100},
                      TrendPyramid{}, axis);
    EXPECT_EQ(trace.lowest, -2);
    EXPECT_EQ(trace.highest, 3);
    EXPECT_EQ(trace.items, 2);
}

// The pyramid only saves reading: over random series with spikes, void runs, items sharing a time
// and a late batch, every column (and so every pixel) is what reading every item gives.
TEST(TrendTrace, PyramidGivesThePixelsOfTheFullScan) {
    struct Case {
        int64_t items;
        int late;        // items of an older batch after the live ones
        double from, to; // the stretch shown, as parts of the series' length
        int width;
    };
    const Case cases[] = {
        {1, 0, 0, 1, 300},
        {15, 0, 0, 1, 7},
        {17, 0, -0.5, 1.5, 300},
        {1000, 0, 0, 1, 1},
        {1000, 0, 0.3, 0.31, 1200},
        {5000, 40, 0, 1, 300},
        {70000, 0, 0, 1, 1200},
        {70000, 500, 0.1, 0.6, 999},
        {70000, 0, 0.5, 0.5001, 1200},
        {200000, 3000, 0, 1, 1200},
        {200000, 0, 0.25, 0.75, 2},
        {200000, 0, 2, 3, 300},
    };
    std::mt19937_64 random(28);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.items << " items, " << c.late << " late, " << c.from
                                        << ".." << c.to << ", " << c.width << " wide");
        RecordStream pool;
        std::uniform_real_distribution<double> wave(0.5, 1.5);
        double t = 46000;
        for (int64_t i = 0; i < c.items; ++i) {
            const bool isLate = i >= c.items - c.late;
            if (random() % 4 != 0) // a quarter of the items share a time with the one before
                t += Minute * wave(random);
            const double time = isLate ? 46000 + Minute * static_cast<double>(i % 5000) : t;
            const uint64_t dice = random() % 1000;
            double rx = wave(random);
            if (dice < 3)
                rx = dice == 0 ? 500 : -500; // a spike
            else if (dice < 20 || (i / 64) % 37 == 0)
                rx = 65535; // single void items, and runs of them
            pool.Append(buffertest::Record(int(i), 0, 0, 0, rx, -wave(random), time));
        }
        TrendChannels channels;
        TrendSeries& s = channels.Of(0, 0);
        // Half taken in one pass, half as they arrive.
        RecordStream half;
        for (int64_t i = 0; i < c.items / 2; ++i)
            half.Append(pool.At(i));
        channels.Fill(half);
        for (int64_t i = c.items / 2; i < c.items; ++i)
            channels.Add(pool.At(i), i);
        s.Order();
        ASSERT_EQ(s.Count(), c.items);

        const double first = s.Times().front(), span = s.Times().back() - first + Minute;
        const TimeAxis axis{first + c.from * span, first + c.to * span, 40, c.width};
        // Each item in view lies in the column nearest its time, and the spans tile the view.
        const TrendColumnItems columns = ColumnItems(s.Times(), axis);
        const double perDay = (c.width - 1) / (axis.end - axis.start);
        int64_t next = columns.from;
        for (const TrendColumnItems::Span& sp : columns.spans) {
            if (sp.column == 0 || sp.column == c.width + 1)
                continue;
            ASSERT_EQ(sp.a, next);
            next = sp.b;
            for (int64_t k = sp.a; k < sp.b; ++k) {
                const double at = (s.Times()[size_t(k)] - axis.start) * perDay;
                ASSERT_EQ(std::clamp(int(std::floor(at + 0.5)), 0, c.width - 1), sp.column - 1)
                    << "item " << k;
            }
        }
        EXPECT_EQ(next, columns.to);
        for (const TrendQuantity q : {TrendQuantity::Rx, TrendQuantity::Xx}) {
            const TrendTrace fast = DecimateTrend(s.Times(), s.Values(q), s.Pyramid(q), axis);
            const TrendTrace full = DecimateTrend(s.Times(), s.Values(q), TrendPyramid{}, axis);
            ASSERT_EQ(fast.columns.size(), full.columns.size());
            for (size_t k = 0; k < full.columns.size(); ++k) {
                const TrendColumn &a = fast.columns[k], &b = full.columns[k];
                ASSERT_EQ(std::tuple(a.any, a.voids, a.breakBefore, a.min, a.max, a.first, a.last),
                          std::tuple(b.any, b.voids, b.breakBefore, b.min, b.max, b.first, b.last))
                    << "column " << k;
            }
            EXPECT_EQ(fast.lowest, full.lowest);
            EXPECT_EQ(fast.highest, full.highest);
            EXPECT_EQ(fast.items, full.items);
            const ScaledRange r = full.lowest
                                      ? AutoRange(TrendScale::Linear, *full.lowest, *full.highest)
                                      : EmptyRange(TrendScale::Linear);
            const ValueAxis values{TrendScale::Linear, r.low, r.high, 10, 400};
            const TrendDrawing a = DrawTrend(fast, axis, values), b = DrawTrend(full, axis, values);
            EXPECT_EQ(a.lines, b.lines);
            EXPECT_EQ(a.marks, b.marks);
            EXPECT_EQ(a.voidColumns, b.voidColumns);
        }
    }
}

TEST(TrendView, ZoomsPansFollowsAndStaysWithinTheSeries) {
    TrendView v;
    v.SetData(100, 200);
    EXPECT_FALSE(v.Zoomed());
    EXPECT_EQ(v.Start(), 100);
    EXPECT_EQ(v.End(), 200);
    // While it shows everything, it follows the series.
    v.SetData(100, 210);
    EXPECT_EQ(v.End(), 210);

    v.ZoomAround(150, 0.5); // 55 days around 150, which stays where it was
    EXPECT_TRUE(v.Zoomed());
    EXPECT_DOUBLE_EQ(v.Start(), 125);
    EXPECT_DOUBLE_EQ(v.End(), 180);
    v.PanBy(-100); // not past the first item
    EXPECT_DOUBLE_EQ(v.Start(), 100);
    EXPECT_DOUBLE_EQ(v.End(), 155);
    v.SetData(100, 220); // a fixed stretch in the middle stays
    EXPECT_DOUBLE_EQ(v.End(), 155);
    v.PanBy(1000); // to the newest item: from now on it slides along
    EXPECT_DOUBLE_EQ(v.End(), 220);
    v.SetData(100, 230);
    EXPECT_DOUBLE_EQ(v.Start(), 175);
    EXPECT_DOUBLE_EQ(v.End(), 230);

    // Never shorter than ten seconds; zooming out past the series shows it whole again.
    v.ShowStretch(150, 150);
    EXPECT_NEAR(v.End() - v.Start(), TrendView::MinSpan, 1e-12);
    v.ZoomAround(150, 1e9);
    EXPECT_FALSE(v.Zoomed());

    // A value range picked stays until reset; a cleared series shows nothing zoomed.
    v.FixValues(1, {2, 5});
    v.FixValues(0, {5, 5}); // empty: refused
    v.ShowStretch(120, 130);
    EXPECT_EQ(v.FixedValues(1), (ScaledRange{2, 5}));
    EXPECT_FALSE(v.FixedValues(0));
    v.SetData(std::nullopt, std::nullopt);
    EXPECT_FALSE(v.Zoomed());
    EXPECT_FALSE(v.HasData());
    EXPECT_FALSE(v.FixedValues(1));
}
