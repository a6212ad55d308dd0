// The array that grows without copying: what it holds survives every way it grows (on the heap,
// into pages of its own, moved pages), a move, an overwrite resize, and clear.
#include "base/GrowingArray.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <utility>

TEST(GrowingArray, KeepsItsItemsWhereverItGrows) {
    // Past the heap's range into mapped pages, and far enough for them to move.
    for (const size_t n : {size_t{0}, size_t{1}, size_t{17}, size_t{9000}, size_t{3'000'000}}) {
        SCOPED_TRACE(n);
        GrowingArray<int64_t> a;
        for (size_t i = 0; i < n; ++i)
            a.push_back(static_cast<int64_t>(i * 7));
        GrowingArray<int64_t> moved(std::move(a));
        ASSERT_TRUE(a.empty());
        ASSERT_EQ(moved.size(), n);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(moved[i], static_cast<int64_t>(i * 7));
        moved.resize_for_overwrite(n + 5);
        moved[n + 4] = -1;
        EXPECT_EQ(moved.back(), -1);
        EXPECT_EQ(std::span<const int64_t>(moved).size(), n + 5);
        if (n > 0) {
            EXPECT_EQ(moved[n - 1], static_cast<int64_t>((n - 1) * 7));
        }
        moved.clear();
        EXPECT_TRUE(moved.empty());
        moved.push_back(3);
        EXPECT_EQ(moved[0], 3);
    }
    // Items whose size does not divide a page, after room made for an odd count: the pages hold
    // a part of an item more, which must not count as room.
    GrowingArray<std::array<int64_t, 3>> wide;
    wide.reserve(9001);
    for (int64_t i = 0; i < 40'000; ++i)
        wide.push_back({i, -i, i});
    ASSERT_EQ(wide.size(), 40'000u);
    for (size_t i = 0; i < wide.size(); ++i)
        ASSERT_EQ(wide[i][2], static_cast<int64_t>(i));
}
