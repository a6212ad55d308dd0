#pragma once
// One channel's measurements from the buffer, in time order, as the trend view plots them:
// the logger time of each item, Rx and Xx as displayed (x 1000), and where the item sits in the
// buffer. Void values (the overflow mark) are kept as gaps (NaN), never as numbers. Each
// quantity keeps its min/max pyramid over the items in time order, grown as they arrive.
#include <cstdint>
#include <span>
#include <vector>

#include "base/GrowingArray.h"
#include "plot/TrendPyramid.h"
#include "records/MeasRecord.h"

enum class TrendQuantity { Rx = 0, Xx = 1 };
constexpr int TrendQuantities = 2;

class TrendSeries {
public:
    // Board and channel are 0-based, as records carry them. Changing them empties the series.
    void SetSource(int board, int channel);
    int Board() const { return board_; }
    int Channel() const { return channel_; }

    // Takes rec when it is of the source; row is its item number in the buffer.
    bool Add(const TMeasRecord& rec, int64_t row);
    // Empties the series and frees its memory.
    void Clear();
    // Room for that many items in all.
    void Reserve(int64_t items);

    // Items of the source that the series holds.
    int64_t Count() const { return static_cast<int64_t>(times_.size()); }
    // Items of the source left out because their time is no date (years 1 to 9999).
    int64_t Unplaced() const { return unplaced_; }

    // Puts items that arrived out of time order in their place (items of the same time stay in
    // buffer order). The readers below see the series in time order only after this.
    void Order();
    bool Ordered() const { return orderedUpTo_ == Count(); }

    std::span<const double> Times() const { return times_; }
    std::span<const double> Values(TrendQuantity q) const { return values_[static_cast<int>(q)]; }
    // Blocks of the items in time order (those after Ordered() became false are not in them).
    const TrendPyramid& Pyramid(TrendQuantity q) const { return pyramids_[static_cast<int>(q)]; }
    int64_t Row(int64_t i) const { return rows_[static_cast<size_t>(i)]; }

    // First item whose time is >= t (Count() when none), and first item whose time is > t.
    int64_t LowerBound(double t) const;
    int64_t UpperBound(double t) const;
    // The item of [from, to) whose time is nearest to t (the earlier one on a tie); -1 when the
    // range is empty.
    int64_t Nearest(double t, int64_t from, int64_t to) const;

    // The value a record's field plots as: NaN for the overflow mark and for what no impedance
    // can be (not finite, or beyond 1e15 once displayed), else the field x 1000.
    static double Displayed(double field);

private:
    // Grows the pyramids over the items in time order.
    void GrowPyramids();

    int board_ = 0;
    int channel_ = 0;
    // Grown without copying: a channel of a restored buffer holds millions of items.
    GrowingArray<double> times_;
    GrowingArray<double> values_[TrendQuantities];
    GrowingArray<int64_t> rows_;
    TrendPyramid pyramids_[TrendQuantities];
    int64_t orderedUpTo_ = 0; // items [0, orderedUpTo_) are in time order
    int64_t unplaced_ = 0;
};
