#include "plot/TrendChannels.h"

#include "buffer/RecordStream.h"

void TrendChannels::Fill(const RecordStream& pool) {
    Clear();
    const int64_t n = pool.Count();
    // Counted first, so that each series takes its memory once: growing ten million items by
    // doubling copies them and touches twice the pages.
    std::map<std::pair<int, int>, int64_t> counts;
    for (int64_t k = 0; k < n; ++k) {
        const TMeasRecord rec = pool.At(k);
        ++counts[{rec.Board, rec.Channel}];
    }
    for (const auto& [source, count] : counts)
        Of(source.first, source.second).Reserve(count);
    for (int64_t k = 0; k < n; ++k)
        Add(pool.At(k), k);
    for (auto& [source, series] : series_)
        series.Order();
}

namespace {
bool OfLogger(int board, int channel) {
    return board >= 0 && board < LoggerBoards && channel >= 0 && channel < BoardChannels;
}
} // namespace

TrendSeries& TrendChannels::Add(const TMeasRecord& rec, int64_t row) {
    TrendSeries* series = OfLogger(rec.Board, rec.Channel)
                              ? logger_[size_t(rec.Board * BoardChannels + rec.Channel)]
                              : nullptr;
    if (!series)
        series = &Of(rec.Board, rec.Channel);
    series->Add(rec, row);
    return *series;
}

void TrendChannels::Clear() {
    for (auto& [source, series] : series_)
        series.Clear();
}

TrendSeries& TrendChannels::Of(int board, int channel) {
    const auto [at, made] = series_.try_emplace({board, channel});
    if (made) {
        at->second.SetSource(board, channel);
        if (OfLogger(board, channel))
            logger_[size_t(board * BoardChannels + channel)] = &at->second;
    }
    return at->second;
}
