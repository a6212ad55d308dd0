#pragma once
// The trend series of every channel of one buffer, taken in one pass and kept up as records
// arrive, so that choosing another channel costs no pass over the buffer: only the picture. The
// logger's boards and channels are always kept; a record of any other source only when its
// series was asked for (the memory stays bounded whatever a loaded file holds).
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <utility>

#include "plot/TrendSeries.h"

class RecordStream;
class RecordSnapshot;

class TrendChannels {
public:
    TrendChannels();
    // Every item of the pool, in place of what was held.
    void Fill(const RecordStream& pool);
    // The same from a snapshot, on any thread; ends early (false, the series then partial)
    // once `stop` is set.
    bool Fill(const RecordSnapshot& records, const std::atomic<bool>* stop = nullptr);
    // Puts rec (item `row` of the buffer) into its channel's series and returns that series;
    // null when no series is kept for its source.
    TrendSeries* Add(const TMeasRecord& rec, int64_t row);
    // Empties every series and frees their memory; references to them stay valid.
    void Clear();
    // The series of board and channel (0-based), kept up from now on. A source beyond the
    // logger's that was not asked for before is taken from pool (when given) first. The
    // reference stays valid as long as this object.
    TrendSeries& Of(int board, int channel, const RecordStream* pool = nullptr);

private:
    // The logger's, by board * BoardChannels + channel.
    std::array<TrendSeries, LoggerBoards * BoardChannels> logger_;
    std::map<std::pair<int, int>, TrendSeries> others_;
};
