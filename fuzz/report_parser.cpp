// The GPRS report stream: any bytes. Every completed item is either a record or a dropped item
// (a date that cannot be, a board or channel the logger lacks), never both, never lost; records
// carry no counter and sane fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "records/ReportParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReportParser parser;
    long items = 0, records = 0, dropped = 0;
    parser.onItem = [&](std::span<const uint8_t, ReportParser::ItemSize> item) {
        ++items;
        const Result<DecodedMeasurement> m = DecodeReportItem(item, 2024);
        if (!m) {
            ++dropped;
            return;
        }
        ++records;
        const TMeasRecord& r = m->record;
        if (r.Counter != 0 || r.Board < 0 || r.Board >= LoggerBoards || r.Channel < 0 ||
            r.Channel >= BoardChannels || r.Range < 0 || r.Range > 3)
            std::abort();
    };
    long starts = 0;
    for (size_t i = 0; i < size; ++i) {
        const bool idle = parser.ReportState == 0;
        starts += idle && data[i] == ReportParser::ItemStart;
        parser.ParseReportByte(data[i]);
        if (parser.ReportCount < 0 || parser.ReportCount > ReportParser::ItemSize)
            std::abort();
    }
    // An item is counted exactly once, as a record or as a dropped item, and only an item
    // start that got its ten bytes makes one.
    if (items != records + dropped || items > starts || starts - items > 1)
        std::abort();
    return 0;
}
