#include "plot/TrendChannels.h"

#include "buffer/RecordStream.h"

void TrendChannels::Fill(const RecordStream& pool) {
    Clear();
    const int64_t n = pool.Count();
    for (int64_t k = 0; k < n; ++k)
        Add(pool.At(k), k);
    for (auto& [source, series] : series_)
        series.Order();
}

TrendSeries& TrendChannels::Add(const TMeasRecord& rec, int64_t row) {
    if (!last_ || !last_->Add(rec, row)) {
        last_ = &Of(rec.Board, rec.Channel);
        last_->Add(rec, row);
    }
    return *last_;
}

void TrendChannels::Clear() {
    for (auto& [source, series] : series_)
        series.Clear();
}

TrendSeries& TrendChannels::Of(int board, int channel) {
    const auto [at, made] = series_.try_emplace({board, channel});
    if (made)
        at->second.SetSource(board, channel);
    return at->second;
}
