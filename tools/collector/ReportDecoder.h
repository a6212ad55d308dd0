#pragma once
// A report's bytes into measurements, through the console's own report parser and decoder, with
// the counts the database keeps: complete items, items whose date or time cannot be (dropped, as
// the console drops them), and garbage, the bytes that belong to no complete item (noise, a cut
// item at the end). Any bytes are fine.
#include <cstdint>
#include <functional>
#include <span>

#include "records/MeasRecord.h"
#include "records/ReportParser.h"

namespace collector {

struct ItemCounts {
    int64_t items = 0;   // complete items, invalid ones included
    int64_t invalid = 0; // items with a date or time that cannot be
    int64_t bytes = 0;
    int64_t Garbage() const { return bytes - items * (ReportParser::ItemSize + 1); }
    int64_t Valid() const { return items - invalid; }
};

class ReportDecoder {
public:
    // `year`: the logger sends none; the report's arrival gives it, as the console's clock does.
    ReportDecoder(int year, std::function<void(const TMeasRecord&)> onRecord);

    void Feed(std::span<const uint8_t> bytes);
    const ItemCounts& Counts() const { return counts_; }

private:
    int year_;
    std::function<void(const TMeasRecord&)> onRecord_;
    ReportParser parser_;
    ItemCounts counts_;
};

// The local year of a moment, in milliseconds since 1970 UTC.
int LocalYearAt(int64_t unixMs);

} // namespace collector
