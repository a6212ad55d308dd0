// A download followed by its counters: progress, the stop, the missing runs, and the refill
// that takes each missing counter once.
#include <gtest/gtest.h>

#include "buffer/DownloadTracker.h"

TEST(DownloadTracker, FindsTheGapsAndFillsThemWithoutRepeats) {
    DownloadTracker t;
    t.Start(1, 20, -1, 0);
    EXPECT_TRUE(t.Running());
    EXPECT_EQ(t.ProgressText(0), "0 of 20");
    int64_t now = 0;
    for (int64_t c = 1; c <= 20; ++c) {
        now += 100;
        if (c != 7 && c != 14 && c != 15 && c != 20) {
            EXPECT_TRUE(t.Arrived(c, now));
        }
    }
    // 16 items in 2 s: 8 a second; the 4 left take half a second, rounded to one.
    EXPECT_EQ(t.ProgressText(now), "16 of 20 - 8 items/s - 0:01 left");
    EXPECT_TRUE(t.Arrived(5, now)); // a plain download stores whatever comes
    EXPECT_EQ(t.Received(), 16);
    EXPECT_EQ(t.MissingText(), ""); // not before the stream stops
    EXPECT_FALSE(t.Check(now + DownloadTracker::StallMs - 1));
    EXPECT_TRUE(t.Check(now + DownloadTracker::StallMs));
    EXPECT_FALSE(t.Running());
    EXPECT_EQ(t.Missing(), (std::vector<CounterSpan>{{7, 1}, {14, 2}, {20, 1}}));
    EXPECT_EQ(t.ProgressText(now), "16 of 20 arrived");
    EXPECT_EQ(t.MissingText(), "Missing 4: 7, 14-15, 20");
    EXPECT_EQ(t.MissingText(2), "Missing 4: 7, 14-15, ...");

    t.Resume(10000);
    EXPECT_TRUE(t.Running());
    EXPECT_FALSE(t.Arrived(5, 10100)); // already in: not stored twice
    EXPECT_TRUE(t.Arrived(14, 10200));
    EXPECT_FALSE(t.Arrived(14, 10300));
    EXPECT_TRUE(t.Arrived(99, 10300)); // not one of ours: stored as it comes
    for (int64_t c : {7, 15, 20})
        EXPECT_TRUE(t.Arrived(c, 10400));
    EXPECT_TRUE(t.Check(10400)); // complete: stops at once
    EXPECT_EQ(t.ProgressText(10400), "20 of 20 arrived");
    EXPECT_EQ(t.MissingText(), "None missing");
    EXPECT_TRUE(t.Missing().empty());
}

TEST(DownloadTracker, RequestsAreBoundedByTheWireAndTheLoggersSize) {
    const struct {
        int64_t first, amount, stored;
        int64_t expectFirstMissing, expectRequested;
    } cases[] = {
        {1, 100000, 250, 1, 250}, // the logger holds 250
        {0, 10, -1, 1, 10},       // item 0 is the first
        {300, 10, 250, 0, 0},     // nothing beyond the stored items
        {5, 0x1000003, -1, 5, 3}, // 24 bits of the amount go out
        {0x1000002, 4, -1, 2, 4}, // and of the first item
    };
    for (const auto& c : cases) {
        DownloadTracker t;
        t.Start(c.first, c.amount, c.stored, 0);
        EXPECT_EQ(t.Requested(), c.expectRequested) << c.first << " " << c.amount;
        EXPECT_EQ(t.Active(), c.expectRequested > 0);
        t.Check(DownloadTracker::StallMs);
        if (c.expectRequested > 0) {
            EXPECT_EQ(t.Missing().front(), (CounterSpan{c.expectFirstMissing, c.expectRequested}));
        }
    }
    EXPECT_EQ(GroupedNumber(9600), "9,600");
    EXPECT_EQ(GroupedNumber(3120), "3,120");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
}
