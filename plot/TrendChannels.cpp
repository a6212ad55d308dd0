#include "plot/TrendChannels.h"

#include "buffer/RecordStream.h"

namespace {
// Where the series of a source of the logger lies, or -1.
int LoggerIndex(int board, int channel) {
    return board >= 0 && board < LoggerBoards && channel >= 0 && channel < BoardChannels
               ? board * BoardChannels + channel
               : -1;
}
} // namespace

TrendChannels::TrendChannels() {
    for (int i = 0; i < LoggerBoards * BoardChannels; ++i)
        logger_[size_t(i)].SetSource(i / BoardChannels, i % BoardChannels);
}

void TrendChannels::Fill(const RecordStream& pool) {
    Fill(pool.Snapshot());
}

bool TrendChannels::Fill(const RecordSnapshot& pool, const std::atomic<bool>* stop) {
    Clear();
    const int64_t n = pool.Count();
    // Looked at once per this many items: a stop is heeded within a millisecond or so.
    constexpr int64_t StopCheck = 1 << 16;
    const auto stopped = [stop](int64_t k) {
        return stop && k % StopCheck == 0 && stop->load(std::memory_order_relaxed);
    };
    // Counted first, so that each series takes its memory once: growing ten million items by
    // doubling copies them and touches twice the pages.
    std::array<int64_t, LoggerBoards * BoardChannels> counts{};
    for (int64_t k = 0; k < n; ++k) {
        if (stopped(k))
            return false;
        const TMeasRecord rec = pool.At(k);
        if (const int i = LoggerIndex(rec.Board, rec.Channel); i >= 0)
            ++counts[size_t(i)];
    }
    for (size_t i = 0; i < counts.size(); ++i)
        logger_[i].Reserve(counts[i]);
    for (int64_t k = 0; k < n; ++k) {
        if (stopped(k))
            return false;
        Add(pool.At(k), k);
    }
    for (auto& series : logger_)
        series.Order();
    for (auto& [source, series] : others_)
        series.Order();
    return true;
}

TrendSeries* TrendChannels::Add(const TMeasRecord& rec, int64_t row) {
    TrendSeries* series = nullptr;
    if (const int i = LoggerIndex(rec.Board, rec.Channel); i >= 0) {
        series = &logger_[size_t(i)];
    } else if (!others_.empty()) {
        const auto at = others_.find({rec.Board, rec.Channel});
        if (at != others_.end())
            series = &at->second;
    }
    if (series)
        series->Add(rec, row);
    return series;
}

void TrendChannels::Clear() {
    for (auto& series : logger_)
        series.Clear();
    for (auto& [source, series] : others_)
        series.Clear();
}

TrendSeries& TrendChannels::Of(int board, int channel, const RecordStream* pool) {
    if (const int i = LoggerIndex(board, channel); i >= 0)
        return logger_[size_t(i)];
    const auto [at, made] = others_.try_emplace({board, channel});
    TrendSeries& series = at->second;
    if (made) {
        series.SetSource(board, channel);
        for (int64_t k = 0; pool && k < pool->Count(); ++k)
            series.Add(pool->At(k), k);
        series.Order();
    }
    return series;
}
