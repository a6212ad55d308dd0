#pragma once
// Parser of the GPRS report stream: items of the byte 0xA5 followed by exactly ten data bytes
// (bytes 0 to 9 of a measurement), no length and no checksum; bytes between items are skipped.
// It keeps a data area of its own, so report items and serial answers never overwrite each
// other's bytes.
#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "records/MeasDecode.h"

class ReportParser {
public:
    static constexpr uint8_t ItemStart = 0xA5;
    static constexpr int ItemSize = 10;

    // Called with the ten data bytes of each completed item. The parser is already idle again,
    // so a failure thrown while acting on the item leaves it ready for the next one.
    std::function<void(std::span<const uint8_t, ItemSize>)> onItem;

    // One byte of the stream, in arrival order.
    void ParseReportByte(uint8_t value);
    // Back to idle, an item begun dropped.
    void ResetReportParser() { ReportState = 0; }

    uint8_t ReportState = 0; // 0 idle, 1 collecting; any other value goes back to idle
    int32_t ReportCount = 0; // data bytes of the current item so far

private:
    std::array<uint8_t, ItemSize> data_{};
};

// Decodes a report item as a measurement. An item carries no counter: the record's Counter is 0.
// Fails like TryDecodeMeasurement for a date or time that cannot be, and for a board or channel
// that the logger does not have: the stream has no checksum and reaches any host on the port, so
// bytes from anyone else must not become measurements of boards and channels that do not exist.
// Nobody is shown the failure: the item is dropped and counted.
Result<DecodedMeasurement> DecodeReportItem(std::span<const uint8_t, ReportParser::ItemSize> item,
                                            int currentYear);
