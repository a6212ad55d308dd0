#pragma once
// One arrival as the archive stores it: the record's fields as a person reads them (board and
// channel 1-based, NULL for the void mark 65535.0 and for a report item's missing counter, the
// logger's time as ISO 8601 text), and the record's 40-byte image only when those columns would
// not give it back byte for byte.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "records/MeasRecord.h"

// Where an arrival came from; the numbers are stored.
// Fleet: loaded from the fleet collector's database.
enum class ArrivalSource : uint8_t { Live = 0, Download = 1, Report = 2, Restored = 3, Fleet = 4 };
inline constexpr int ArrivalSourceCount = 5;
// "live", "download", "report", "restored", "fleet".
const char* SourceName(ArrivalSource source);

struct ArchiveRow {
    int64_t board = 0;   // 1-based
    int64_t channel = 0; // 1-based
    int32_t range = 0;
    std::optional<double> rx; // empty for the void mark
    std::optional<double> xx;
    std::optional<int64_t> counter; // empty for a report item
    char loggerTime[24] = {};       // "YYYY-MM-DDTHH:MM:SS" and ".mmm" when not whole seconds
    int loggerTimeLength = 0;       // 0: the value is no date (the image says it)
    bool needsImage = false;

    std::string_view LoggerTime() const { return {loggerTime, size_t(loggerTimeLength)}; }
};

ArchiveRow RowOf(const TMeasRecord& rec, ArrivalSource source);

// The record back from the stored columns; a 40-byte image, when there is one, wins.
TMeasRecord RecordOf(int64_t board, int64_t channel, int32_t range, std::optional<double> rx,
                     std::optional<double> xx, std::optional<int64_t> counter,
                     std::string_view loggerTime, std::span<const uint8_t> image);
