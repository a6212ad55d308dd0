#include "plot/TrendPyramid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {
// Items per block of each level; the levels past any count of items there can be hold the
// largest count, so they are never complete.
constexpr auto BlockItems = [] {
    constexpr int64_t Most = std::numeric_limits<int64_t>::max();
    std::array<int64_t, 64> items{};
    items[0] = TrendPyramid::LeafItems;
    for (size_t k = 1; k < items.size(); ++k)
        items[k] =
            items[k - 1] > Most / TrendPyramid::Fanout ? Most : items[k - 1] * TrendPyramid::Fanout;
    return items;
}();

int64_t ItemsOf(int level) {
    return BlockItems[static_cast<size_t>(level)];
}
} // namespace

TrendPyramid::Block TrendPyramid::Joined(const Block& a, const Block& b) {
    return {std::min(a.min, b.min), std::max(a.max, b.max), a.voids || b.voids};
}

void TrendPyramid::Grow(std::span<const double> values) {
    if (levels_.empty())
        levels_.emplace_back();
    const auto n = static_cast<int64_t>(values.size());
    while ((static_cast<int64_t>(levels_[0].size()) + 1) * LeafItems <= n) {
        Block leaf;
        const int64_t from = static_cast<int64_t>(levels_[0].size()) * LeafItems;
        for (int64_t i = from; i < from + LeafItems; ++i) {
            const double v = values[static_cast<size_t>(i)];
            if (std::isnan(v)) {
                leaf.voids = true;
            } else {
                leaf.min = std::min(leaf.min, v);
                leaf.max = std::max(leaf.max, v);
            }
        }
        levels_[0].push_back(leaf);
        // Every Fanout-th block of a level completes one of the level above.
        for (size_t k = 0; levels_[k].size() % Fanout == 0; ++k) {
            if (k + 1 == levels_.size())
                levels_.emplace_back();
            const auto& low = levels_[k];
            Block joined;
            for (size_t j = low.size() - Fanout; j < low.size(); ++j)
                joined = Joined(joined, low[j]);
            levels_[k + 1].push_back(joined);
        }
    }
}

void TrendPyramid::Truncate(int64_t count) {
    for (size_t k = 0; k < levels_.size(); ++k) {
        const auto keep = static_cast<size_t>(std::max<int64_t>(count, 0) / ItemsOf(int(k)));
        if (levels_[k].size() > keep)
            levels_[k].resize_for_overwrite(keep);
    }
}

int TrendPyramid::LevelAt(int64_t i, int64_t b) const {
    int level = -1;
    for (size_t k = 0; k < levels_.size(); ++k) {
        const int64_t size = ItemsOf(int(k));
        if (i % size != 0 || i + size > b || i / size >= static_cast<int64_t>(levels_[k].size()))
            break;
        level = int(k);
    }
    return level;
}

int64_t TrendPyramid::FirstIn(std::span<const double> values, int k, int64_t j) const {
    // Down the pyramid to the first leaf that holds a value, then along its items.
    for (; k > 0; --k) {
        j *= Fanout;
        while (!levels_[size_t(k - 1)][size_t(j)].HasValue())
            ++j;
    }
    for (int64_t i = j * LeafItems;; ++i)
        if (!std::isnan(values[static_cast<size_t>(i)]))
            return i;
}

int64_t TrendPyramid::LastIn(std::span<const double> values, int k, int64_t j) const {
    for (; k > 0; --k) {
        j = Fanout * j + Fanout - 1;
        while (!levels_[size_t(k - 1)][size_t(j)].HasValue())
            --j;
    }
    for (int64_t i = (j + 1) * LeafItems - 1;; --i)
        if (!std::isnan(values[static_cast<size_t>(i)]))
            return i;
}

TrendStretch TrendPyramid::Summarise(std::span<const double> values, int64_t a, int64_t b) const {
    TrendStretch s;
    a = std::max<int64_t>(a, 0);
    b = std::min(b, static_cast<int64_t>(values.size()));
    if (a >= b)
        return s;
    // Mostly the stretch's first and last item hold a value: then no block is searched for them.
    if (!std::isnan(values[static_cast<size_t>(a)]))
        s.firstValue = a;
    const bool lastHolds = !std::isnan(values[static_cast<size_t>(b - 1)]);
    // The last block that held a value, while no single item with one came after it: its last
    // value is looked up once, at the end.
    int lastLevel = -1;
    int64_t lastBlock = 0;
    for (int64_t i = a; i < b;) {
        const int k = LevelAt(i, b);
        if (k < 0) {
            const double v = values[static_cast<size_t>(i)];
            if (std::isnan(v)) {
                s.voids = true;
            } else {
                s.min = std::min(s.min, v);
                s.max = std::max(s.max, v);
                if (s.firstValue < 0)
                    s.firstValue = i;
                s.lastValue = i;
                lastLevel = -1;
            }
            ++i;
            continue;
        }
        const int64_t j = i / ItemsOf(k);
        const Block& block = levels_[size_t(k)][size_t(j)];
        s.voids = s.voids || block.voids;
        if (block.HasValue()) {
            s.min = std::min(s.min, block.min);
            s.max = std::max(s.max, block.max);
            if (s.firstValue < 0)
                s.firstValue = FirstIn(values, k, j);
            lastLevel = k;
            lastBlock = j;
        }
        i += ItemsOf(k);
    }
    if (lastHolds)
        s.lastValue = b - 1;
    else if (lastLevel >= 0)
        s.lastValue = LastIn(values, lastLevel, lastBlock);
    return s;
}
