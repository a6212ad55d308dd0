#include "plot/TrendSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {
// Days since 30 December 1899 of 1 January 0001 and of 31 December 9999 (end of day): the dates
// the time axis can name.
constexpr double FirstDay = -693593.0;
constexpr double LastDay = 2958466.0;

constexpr double FarBeyondImpedance = 1e15;
constexpr double Void = std::numeric_limits<double>::quiet_NaN();

template <class T> void Permute(GrowingArray<T>& v, const std::vector<int64_t>& order) {
    GrowingArray<T> out;
    out.resize_for_overwrite(v.size());
    for (size_t i = 0; i < order.size(); ++i)
        out[i] = v[static_cast<size_t>(order[i])];
    v.swap(out);
}
} // namespace

void TrendSeries::SetSource(int board, int channel) {
    board_ = board;
    channel_ = channel;
    Clear();
}

void TrendSeries::Reserve(int64_t items) {
    const auto n = static_cast<size_t>(std::max<int64_t>(items, 0));
    times_.reserve(n);
    for (auto& v : values_)
        v.reserve(n);
    rows_.reserve(n);
}

void TrendSeries::Clear() {
    // The memory goes too: a cleared buffer of ten million items leaves nothing behind.
    times_.clear();
    for (auto& v : values_)
        v.clear();
    rows_.clear();
    for (auto& p : pyramids_)
        p.Clear();
    orderedUpTo_ = 0;
    unplaced_ = 0;
}

double TrendSeries::Displayed(double field) {
    if (field == OverflowValue)
        return Void;
    const double v = field * 1000;
    return std::isfinite(v) && std::fabs(v) <= FarBeyondImpedance ? v : Void;
}

bool TrendSeries::Add(const TMeasRecord& rec, int64_t row) {
    if (rec.Board != board_ || rec.Channel != channel_)
        return false;
    const double t = rec.Time;
    if (!(t >= FirstDay && t < LastDay)) {
        ++unplaced_;
        return true;
    }
    const bool inOrder = orderedUpTo_ == Count() && (times_.empty() || t >= times_.back());
    times_.push_back(t);
    values_[static_cast<int>(TrendQuantity::Rx)].push_back(Displayed(rec.Rx));
    values_[static_cast<int>(TrendQuantity::Xx)].push_back(Displayed(rec.Xx));
    rows_.push_back(row);
    if (inOrder) {
        orderedUpTo_ = Count();
        GrowPyramids();
    }
    return true;
}

void TrendSeries::GrowPyramids() {
    for (int q = 0; q < TrendQuantities; ++q)
        pyramids_[q].Grow(
            std::span<const double>(values_[q]).first(static_cast<size_t>(orderedUpTo_)));
}

void TrendSeries::Order() {
    if (Ordered())
        return;
    // The ordered front and the rest, sorted on its own, merged: items that arrive out of order
    // usually come as a batch (a download of older items after live ones), so only the batch is
    // sorted. Both steps are stable, and the front came first, so equal times keep buffer order.
    std::vector<int64_t> order(static_cast<size_t>(Count()));
    std::iota(order.begin(), order.end(), int64_t{0});
    const auto byTime = [this](int64_t a, int64_t b) {
        return times_[static_cast<size_t>(a)] < times_[static_cast<size_t>(b)];
    };
    const auto mid = order.begin() + orderedUpTo_;
    std::stable_sort(mid, order.end(), byTime);
    // Items before the first one later than the earliest late item keep their place, and so do
    // the pyramids' blocks over them.
    const int64_t kept = UpperBound(times_[static_cast<size_t>(*mid)]);
    std::inplace_merge(order.begin(), mid, order.end(), byTime);
    Permute(times_, order);
    for (auto& v : values_)
        Permute(v, order);
    Permute(rows_, order);
    orderedUpTo_ = Count();
    for (auto& p : pyramids_)
        p.Truncate(kept);
    GrowPyramids();
}

int64_t TrendSeries::LowerBound(double t) const {
    return std::lower_bound(times_.begin(), times_.begin() + orderedUpTo_, t) - times_.begin();
}

int64_t TrendSeries::UpperBound(double t) const {
    return std::upper_bound(times_.begin(), times_.begin() + orderedUpTo_, t) - times_.begin();
}

int64_t TrendSeries::Nearest(double t, int64_t from, int64_t to) const {
    from = std::max<int64_t>(from, 0);
    to = std::min(to, orderedUpTo_);
    if (from >= to)
        return -1;
    const int64_t at =
        std::lower_bound(times_.begin() + from, times_.begin() + to, t) - times_.begin();
    if (at == from)
        return from;
    if (at == to)
        return to - 1;
    const double before = t - times_[static_cast<size_t>(at - 1)];
    const double after = times_[static_cast<size_t>(at)] - t;
    return after < before ? at : at - 1;
}
