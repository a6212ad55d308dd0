#pragma once
// The trend series of every channel of one buffer, taken in one pass and kept up as records
// arrive, so that choosing another channel costs no pass over the buffer: only the picture.
#include <array>
#include <cstdint>
#include <map>
#include <utility>

#include "plot/TrendSeries.h"

class RecordStream;

class TrendChannels {
public:
    // Every item of the pool, in place of what was held.
    void Fill(const RecordStream& pool);
    // Puts rec (item `row` of the buffer) into its channel's series and returns that series.
    TrendSeries& Add(const TMeasRecord& rec, int64_t row);
    // Empties every series; references to them stay valid.
    void Clear();
    // The series of board and channel (0-based); an empty one, kept up from now on, when the
    // buffer holds none of them. The reference stays valid as long as this object.
    TrendSeries& Of(int board, int channel);

private:
    std::map<std::pair<int, int>, TrendSeries> series_;
    // The series of the logger's boards and channels by board * BoardChannels + channel, found
    // without a search for each record (others are looked up in series_).
    std::array<TrendSeries*, LoggerBoards * BoardChannels> logger_{};
};
