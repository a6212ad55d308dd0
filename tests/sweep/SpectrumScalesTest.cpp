// The runs a line joins around void points, and the Nyquist plot's equal scales.
#include <cmath>

#include <gtest/gtest.h>

#include "sweep/SpectrumScales.h"

TEST(SpectrumScales, VoidPointsBreakTheLine) {
    const double v = INFINITY; // read as an overflow mark
    struct Case {
        std::vector<double> rx;
        std::vector<std::pair<int, int>> runs;
    } cases[] = {
        {{}, {}},
        {{1, 2, 3}, {{0, 2}}},
        {{v, 2, 3, v, v, 6, v}, {{1, 2}, {5, 5}}},
        {{v, v}, {}},
    };
    for (const Case& c : cases) {
        std::vector<SweepPoint> points;
        for (double rx : c.rx) {
            SweepPoint p;
            p.Rx = std::isfinite(rx) ? rx : 65535; // the overflow mark as decoded
            p.Xx = -1;
            points.push_back(p);
        }
        EXPECT_EQ(UnbrokenRuns(points), c.runs);
    }
}

TEST(SpectrumScales, NyquistScalesAreEqualAndHoldTheData) {
    struct Case {
        PlotSpan x, y;
        int width, height;
    } cases[] = {
        {{100, 1100}, {0, 400}, 400, 400}, // wide data in a square: y grows
        {{100, 200}, {0, 500}, 800, 200},  // tall data in a wide plot: x grows
        {{5, 5}, {3, 3}, 300, 200},        // a single point
    };
    for (const Case& c : cases) {
        const auto [x, y] = EqualScaleSpans(c.x, c.y, c.width, c.height);
        EXPECT_NEAR((x.hi - x.lo) / c.width, (y.hi - y.lo) / c.height, 1e-9);
        EXPECT_LT(x.lo, c.x.lo);
        EXPECT_GT(x.hi, c.x.hi);
        EXPECT_LT(y.lo, c.y.lo);
        EXPECT_GT(y.hi, c.y.hi);
        EXPECT_NEAR((x.lo + x.hi) / 2, (c.x.lo + c.x.hi) / 2, 1e-9);
    }
}
