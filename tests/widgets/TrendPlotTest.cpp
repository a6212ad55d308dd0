// The trend plot, rendered offscreen and read back pixel by pixel.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include "buffer/RecordStream.h"
#include "plot/TrendChannels.h"
#include "widgets/TrendPlot.h"

namespace {
const QRgb RxCurve = qRgb(0, 80, 200);
const QRgb XxCurve = qRgb(0, 140, 60);
const QRgb VoidMark = qRgb(220, 0, 0);

constexpr double Start = 46000.5; // 9 December 2025, 12:00
constexpr double Minute = 1.0 / 1440;

TMeasRecord Rec(int k, double rx, double xx, int board = 0, int channel = 0) {
    TMeasRecord r;
    r.Board = board;
    r.Channel = channel;
    r.Rx = rx;
    r.Xx = xx;
    r.Counter = 1000 + k;
    r.Time = Start + k * Minute;
    return r;
}

struct Trend {
    RecordStream pool;
    TrendPlot plot;
    explicit Trend(QSize size = {800, 500}) {
        plot.resize(size);
        plot.SetPool(&pool);
    }
    QImage Picture() { return plot.Picture().convertToFormat(QImage::Format_ARGB32); }
    const QRect& Area(int p) { return plot.CurrentFrame().areas[p]; }
    // Column of time t on the axis shown now: start on the first column, end on the last.
    int X(double t) {
        const QRect& a = Area(0);
        const TrendView& v = plot.View();
        return a.left() + static_cast<int>(std::lround((t - v.Start()) / (v.End() - v.Start()) *
                                                       (a.width() - 1)));
    }
    void Wheel(int x, int notches) {
        const QPointF at(x, Area(0).center().y());
        QWheelEvent e(at, plot.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&plot, &e);
    }
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, plot.mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(&plot, &e);
    }
};

// The first and the last row of the area that hold the colour, and the columns holding it there.
struct Extent {
    int top = -1, bottom = -1;
    std::vector<int> topColumns, bottomColumns;
};
Extent ExtentOf(const QImage& img, const QRect& area, QRgb colour) {
    Extent e;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) == colour) {
                if (e.top < 0)
                    e.top = y;
                e.bottom = y;
            }
    for (int x = area.left(); x <= area.right() && e.top >= 0; ++x) {
        if (img.pixel(x, e.top) == colour)
            e.topColumns.push_back(x);
        if (img.pixel(x, e.bottom) == colour)
            e.bottomColumns.push_back(x);
    }
    return e;
}

int CountColour(const QImage& img, QRgb colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            n += img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

// A wave of 1000 +- 500 ohms with single-item extremes the plot must show where they are.
double Wave(int k) {
    return 1 + 0.5 * std::sin(k / 50.0);
}
} // namespace

TEST(TrendPlot, ExtremesOfAKnownSeriesSitAtTheEdgesOfTheirPlots) {
    Trend t;
    for (int k = 0; k < 5000; ++k) {
        const double rx = k == 1234 ? 5.0 : k == 3210 ? 0.1 : Wave(k);
        const double xx = k == 4321 ? -3.0 : -0.2 - 0.1 * std::cos(k / 80.0);
        t.pool.Append(Rec(k, rx, xx));
        t.pool.Append(Rec(k, 9.0, 9.0, 0, 1)); // another channel: not plotted
    }
    const QImage img = t.Picture();
    // 5000 items on 800 - 2 margins of columns: several items per column, yet each single-item
    // extreme shows, at its own column, on the row that 5 % of room above or below leaves.
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        const QRect& area = t.Area(p);
        const Extent e = ExtentOf(img, area, p == 0 ? RxCurve : XxCurve);
        const int room = static_cast<int>(std::lround(0.05 / 1.1 * (area.height() - 1)));
        EXPECT_NEAR(e.top, area.top() + room, 1);
        EXPECT_NEAR(e.bottom, area.bottom() - room, 1);
        const int highest = t.X(Start + (p == 0 ? 1234 : 0) * Minute);
        const int lowest = t.X(Start + (p == 0 ? 3210 : 4321) * Minute);
        if (p == 0) {
            EXPECT_EQ(e.topColumns, std::vector<int>{highest});
        }
        EXPECT_EQ(e.bottomColumns, std::vector<int>{lowest});
    }
    // The curve spans the whole width: first item on the first column, last on the last.
    const QRect& rx = t.Area(0);
    EXPECT_GT(CountColour(img, RxCurve, rx.left(), rx.top(), rx.left(), rx.bottom()), 0);
    EXPECT_GT(CountColour(img, RxCurve, rx.right(), rx.top(), rx.right(), rx.bottom()), 0);
    EXPECT_EQ(t.plot.Series().Count(), 5000);
}

TEST(TrendPlot, AVoidValueLeavesAGapNotAZero) {
    Trend t;
    for (int k = 0; k < 20; ++k)
        t.pool.Append(Rec(k, k == 10 ? 65535.0 : 1.0 + 0.1 * (k % 3), k == 14 ? 65535.0 : -0.5));
    const QImage img = t.Picture();
    const QRect& rx = t.Area(0);
    const QRect& xx = t.Area(1);
    const int x9 = t.X(Start + 9 * Minute), x10 = t.X(Start + 10 * Minute);
    const int x11 = t.X(Start + 11 * Minute);
    ASSERT_GT(x11 - x9, 20);
    // Between the neighbours of the void item nothing of Rx is drawn, at no height (not at 0);
    // items 8 and 9 are joined; a red mark at the top tells where the void item is.
    EXPECT_EQ(CountColour(img, RxCurve, x9 + 2, rx.top(), x11 - 2, rx.bottom()), 0);
    EXPECT_GT(CountColour(img, RxCurve, (t.X(Start + 8 * Minute) + x9) / 2, rx.top(),
                          (t.X(Start + 8 * Minute) + x9) / 2, rx.bottom()),
              0);
    EXPECT_GT(CountColour(img, VoidMark, x10, rx.top(), x10, rx.top() + 6), 0);
    EXPECT_EQ(CountColour(img, VoidMark, x9, rx.top(), x9, rx.bottom()), 0);
    // Xx of item 10 is there and joined on; Xx has its own gap at item 14.
    EXPECT_GT(CountColour(img, XxCurve, x10, xx.top(), x10, xx.bottom()), 0);
    const int x13 = t.X(Start + 13 * Minute), x15 = t.X(Start + 15 * Minute);
    EXPECT_EQ(CountColour(img, XxCurve, x13 + 2, xx.top(), x15 - 2, xx.bottom()), 0);
    EXPECT_GT(CountColour(img, XxCurve, x11 + 2, xx.top(), x13 - 2, xx.bottom()), 0);
}

TEST(TrendPlot, ZoomKeepsTheExtremesOfTheZoomedRange) {
    Trend t;
    for (int k = 0; k < 100000; ++k) {
        const double rx = k == 10000 ? 50.0 : k == 70001 ? 9.0 : k == 69800 ? 0.01 : Wave(k);
        t.pool.Append(Rec(k, rx, -0.3));
    }
    t.Picture();
    // Wheel zoom around item 70000 down to about 1200 of the 100000 items: still more items than
    // columns. The value axis fits the zoomed range: the spike outside it sets nothing.
    const double at = Start + 70000 * Minute;
    t.Wheel(t.X(at), 20);
    ASSERT_TRUE(t.plot.View().Zoomed());
    EXPECT_LT(t.plot.View().Start(), Start + 69800 * Minute);
    EXPECT_GT(t.plot.View().End(), Start + 70001 * Minute);
    EXPECT_LT(t.plot.View().End() - t.plot.View().Start(), 2000 * Minute);
    // The highest and lowest item sit on the top and bottom row of the curve; alone there
    // unless the lowest is the bottom of the broad trough of the wave.
    const auto extremes = [&](int high, int low, bool alone = true) {
        const QImage img = t.Picture();
        const QRect& rx = t.Area(0);
        const Extent e = ExtentOf(img, rx, RxCurve);
        const int room = static_cast<int>(std::lround(0.05 / 1.1 * (rx.height() - 1)));
        EXPECT_NEAR(e.top, rx.top() + room, 1);
        EXPECT_NEAR(e.bottom, rx.bottom() - room, 1);
        EXPECT_EQ(e.topColumns, std::vector<int>{t.X(Start + high * Minute)});
        const int x = t.X(Start + low * Minute);
        if (alone)
            EXPECT_EQ(e.bottomColumns, std::vector<int>{x});
        else
            EXPECT_NE(std::find(e.bottomColumns.begin(), e.bottomColumns.end(), x),
                      e.bottomColumns.end());
    };
    extremes(70001, 69800);

    // A rubber band from item 69900 to 70100 (flat: the value axis stays automatic): item
    // 70001 is still the highest; the lowest is now the wave's own.
    const int y = t.Area(0).center().y();
    t.Mouse(QEvent::MouseButtonPress, QPoint(t.X(Start + 69900 * Minute), y), Qt::LeftButton);
    t.Mouse(QEvent::MouseMove, QPoint(t.X(Start + 70100 * Minute), y + 2), Qt::LeftButton);
    t.Mouse(QEvent::MouseButtonRelease, QPoint(t.X(Start + 70100 * Minute), y + 2), Qt::NoButton);
    EXPECT_NEAR(t.plot.View().Start(), Start + 69900 * Minute, Minute);
    EXPECT_NEAR(t.plot.View().End(), Start + 70100 * Minute, Minute);
    EXPECT_FALSE(t.plot.View().FixedValues(0));
    int lowest = 69900;
    for (int k = 69900; k <= 70100; ++k)
        if (Wave(k) < Wave(lowest))
            lowest = k;
    extremes(70001, lowest, false);

    // Escape shows the whole series again, the spike at 10000 on top.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&t.plot, &escape);
    EXPECT_FALSE(t.plot.View().Zoomed());
    extremes(10000, 69800);
}

TEST(TrendPlot, FollowsTheBufferAndNamesTheItemUnderThePointer) {
    Trend t;
    t.plot.SetSource(2, 3); // board 2, channel 3
    for (int k = 0; k < 10; ++k) {
        t.pool.Append(Rec(k, 1.2345 + k, -0.0123, 1, 2));
        t.pool.Append(Rec(k, 1.0, 1.0, 0, 2));
    }
    EXPECT_EQ(t.plot.Series().Count(), 10);
    const QRect& rx = t.Area(0);
    // The pointer a little right of item 4 (buffer item 8) names it.
    t.Mouse(QEvent::MouseMove, QPoint(t.X(Start + 4.2 * Minute), rx.center().y()), Qt::NoButton);
    EXPECT_EQ(t.plot.HoverText(), "Item 8  Id 1004  Time 09.12-12:04:00  R 5234.50  X -12.30");
    // Outside the plots: nothing.
    t.Mouse(QEvent::MouseMove, QPoint(2, 2), Qt::NoButton);
    EXPECT_EQ(t.plot.HoverText(), "");

    // An item of the channel that arrives late in time is put in its place; one without a
    // valid time is counted but not placed.
    TMeasRecord early = Rec(-30, 65535.0, -0.5, 1, 2);
    t.pool.Append(early);
    TMeasRecord nowhen = Rec(0, 1, 1, 1, 2);
    nowhen.Time = 1e12;
    t.pool.Append(nowhen);
    t.Picture();
    EXPECT_EQ(t.plot.Series().Count(), 11);
    EXPECT_EQ(t.plot.Series().Unplaced(), 1);
    EXPECT_EQ(t.plot.Series().Row(0), 20);
    EXPECT_DOUBLE_EQ(t.plot.View().Start(), Start - 30 * Minute);

    // Clearing the buffer empties the plot.
    t.pool.Clear();
    t.Picture();
    EXPECT_EQ(t.plot.Series().Count(), 0);
    EXPECT_FALSE(t.plot.View().HasData());
    EXPECT_EQ(ExtentOf(t.Picture(), t.Area(0), RxCurve).top, -1);
}

// A buffer too large to read while the window waits is read on a thread of its own: items that
// arrive meanwhile follow, and a clear meanwhile leaves only what came after it.
TEST(TrendPlot, ALargeBufferIsReadApartAndWhatArrivesMeanwhileFollows) {
    for (const bool clearMeanwhile : {false, true}) {
        SCOPED_TRACE(clearMeanwhile);
        RecordStream pool;
        const int n = static_cast<int>(TrendPlot::BackgroundFillItems) + 1000;
        for (int k = 0; k < n; ++k) // two channels, every 97th item late by a day
            pool.Append(Rec(k % 97 == 0 ? k - 1440 : k, k % 500, -k % 300, 0, k % 2));
        TrendPlot plot;
        plot.resize(800, 500);
        plot.SetPool(&pool);
        EXPECT_TRUE(plot.Filling());
        if (clearMeanwhile)
            pool.Clear();
        for (int k = 0; k < 10; ++k)
            pool.Append(Rec(n + k, 7, 8, 0, k % 2));
        for (int i = 0; i < 60000 && plot.Filling(); ++i) { // a minute's hang guard
            QApplication::processEvents();
            QThread::msleep(1);
        }
        ASSERT_FALSE(plot.Filling());

        TrendChannels whole;
        whole.Fill(pool);
        for (const int channel : {1, 2}) {
            plot.SetSource(1, channel);
            const TrendSeries& shown = plot.Series();
            TrendSeries& expected = whole.Of(0, channel - 1);
            expected.Order();
            ASSERT_EQ(shown.Count(), expected.Count());
            EXPECT_EQ(shown.Count(), clearMeanwhile ? 5 : n / 2 + 5);
            EXPECT_TRUE(std::ranges::equal(shown.Times(), expected.Times()));
            EXPECT_TRUE(std::ranges::equal(shown.Values(TrendQuantity::Rx),
                                           expected.Values(TrendQuantity::Rx)));
            for (int64_t i = 0; i < shown.Count(); ++i)
                ASSERT_EQ(shown.Row(i), expected.Row(i));
        }
    }
}
