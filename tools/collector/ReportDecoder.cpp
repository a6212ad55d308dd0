#include "tools/collector/ReportDecoder.h"

#include <QDateTime>

namespace collector {

ReportDecoder::ReportDecoder(int year, std::function<void(const TMeasRecord&)> onRecord)
    : year_(year), onRecord_(std::move(onRecord)) {
    parser_.onItem = [this](std::span<const uint8_t, ReportParser::ItemSize> item) {
        ++counts_.items;
        const Result<DecodedMeasurement> decoded = DecodeReportItem(item, year_);
        if (!decoded) {
            // A date or time that cannot be: the console drops such an item too.
            ++counts_.invalid;
            return;
        }
        onRecord_(decoded->record);
    };
}

void ReportDecoder::Feed(std::span<const uint8_t> bytes) {
    counts_.bytes += static_cast<int64_t>(bytes.size());
    for (uint8_t b : bytes)
        parser_.ParseReportByte(b);
}

int LocalYearAt(int64_t unixMs) {
    return QDateTime::fromMSecsSinceEpoch(unixMs).date().year();
}

} // namespace collector
