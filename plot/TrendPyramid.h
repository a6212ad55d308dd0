#pragma once
// The lowest and highest value of one quantity of a trend series over blocks of 256 * 16^k
// items, built as the items arrive, in amortised constant time per item and for about a hundredth
// of the memory the series takes. A stretch of any length is then summed up from O(log n) blocks
// and at most a block's items at each end, so the reduction to pixel columns costs time in
// proportion to the columns, not to the items.
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "base/GrowingArray.h"

// Items a..b of a quantity summed up. Void items (NaN) hold no value.
struct TrendStretch {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    bool voids = false;      // a void item lies in the stretch
    int64_t firstValue = -1; // the first and the last item that holds a value; -1 for none
    int64_t lastValue = -1;
};

class TrendPyramid {
public:
    // Items per block of the lowest level. Large: a stretch's end then reads the items around it
    // (2 KiB, one page) and no finer levels, and it is the pages a paint first touches, each in
    // memory far from the others, that cost it its time (a few microseconds each on these
    // machines), not the items read within them.
    static constexpr int64_t LeafItems = 256;
    // Blocks of a level that make one of the level above. Wide rather than binary: a stretch's
    // ends then read runs of neighbouring blocks from a few levels instead of single blocks
    // from many, and with millions of items it is the levels touched, each in memory of its own
    // far from the others, that cost a paint its time.
    static constexpr int64_t Fanout = 16;

    // Takes in the blocks that the items of values complete; the items already taken in must be
    // unchanged.
    void Grow(std::span<const double> values);
    // Forgets every block that reaches item `count` or beyond (those items change).
    void Truncate(int64_t count);
    void Clear() { levels_.clear(); }

    // Items [a, b) of values, the values the blocks were made of. An empty pyramid reads every
    // item: the plain scan.
    TrendStretch Summarise(std::span<const double> values, int64_t a, int64_t b) const;

private:
    struct Block {
        double min = std::numeric_limits<double>::infinity();
        double max = -std::numeric_limits<double>::infinity();
        bool voids = false;
        bool HasValue() const { return min <= max; }
    };
    static Block Joined(const Block& a, const Block& b);
    // The highest level whose block starts at item i and ends by b, or -1.
    int LevelAt(int64_t i, int64_t b) const;
    // The first and the last item with a value in block j of level k (it holds one).
    int64_t FirstIn(std::span<const double> values, int k, int64_t j) const;
    int64_t LastIn(std::span<const double> values, int k, int64_t j) const;

    // levels_[k] holds the blocks of LeafItems * Fanout^k items, as many as are complete; grown
    // without copying, as the items are.
    std::vector<GrowingArray<Block>> levels_;
};
