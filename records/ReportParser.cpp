#include "records/ReportParser.h"

#include <algorithm>

void ReportParser::ParseReportByte(uint8_t value) {
    switch (ReportState) {
    case 0:
        if (value == ItemStart) {
            ReportState = 1;
            ReportCount = 0;
        }
        break;
    case 1:
        // A count out of range can only come from outside; start the item over rather than
        // write past the data area.
        if (ReportCount < 0 || ReportCount >= ItemSize)
            ReportCount = 0;
        data_[static_cast<size_t>(ReportCount)] = value;
        if (++ReportCount == ItemSize) {
            ReportState = 0;
            if (onItem)
                onItem(data_);
        }
        break;
    default:
        ReportState = 0;
        break;
    }
}

Result<DecodedMeasurement> DecodeReportItem(std::span<const uint8_t, ReportParser::ItemSize> item,
                                            int currentYear) {
    std::array<uint8_t, 13> bytes{};
    std::copy(item.begin(), item.end(), bytes.begin());
    return TryDecodeMeasurement(bytes.data(), currentYear)
        .and_then([](DecodedMeasurement m) -> Result<DecodedMeasurement> {
            if (m.record.Board >= LoggerBoards || m.record.Channel >= BoardChannels)
                return Fail(QStringLiteral("Board %1, channel %2 not on the logger")
                                .arg(m.record.Board + 1)
                                .arg(m.record.Channel + 1));
            return m;
        });
}
