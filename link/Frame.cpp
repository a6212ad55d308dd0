#include "link/Frame.h"

namespace frame {

uint8_t Checksum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum ^= b;
    return sum;
}

std::vector<uint8_t> Build(uint8_t start, uint8_t code, std::span<const uint8_t> data) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + 4);
    out.push_back(start);
    out.push_back(code);
    out.push_back(static_cast<uint8_t>(3 + data.size()));
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(Checksum(out));
    return out;
}

} // namespace frame

void FrameReceiver::Report(FrameError error, uint8_t value) {
    if (!onError)
        return;
    switch (error) {
    case FrameError::TooLong:
        onError(error, QString("data stream too long: %1").arg(value));
        break;
    case FrameError::Checksum:
        onError(error, QStringLiteral("CRC error"));
        break;
    case FrameError::BrokenOff:
        onError(error, QStringLiteral("answer broken off"));
        break;
    }
}

void FrameReceiver::Receive(uint8_t b) {
    // A silence of more than the limit abandons whatever part of a frame came before it.
    if (IdleTicks > frame::IdleLimitTicks && RxState != 0) {
        RxState = 0;
        Report(FrameError::BrokenOff, 0);
    }
    IdleTicks = 0;
    switch (RxState) {
    case 0:
        if (b == start_) {
            RxSum = b;
            RxState = 1;
        }
        break;
    case 1:
        RxSum ^= b;
        RxCmd = b;
        RxState = 2;
        break;
    case 2:
        RxSum ^= b;
        if (b > frame::MaxLength) {
            RxState = 0;
            Report(FrameError::TooLong, b);
        } else if (b < 3) {
            // Shorter than its own header: no such frame exists; hunt for the next one.
            RxState = 0;
        } else {
            RxLength = b;
            RxCount = 0;
            RxState = b == 3 ? 4 : 3;
        }
        break;
    case 3:
        // The fields are open to the link module; a count it left out of range must not
        // turn into a write past the data area.
        if (RxCount < 0 || RxCount >= static_cast<int32_t>(RxData.size())) {
            RxState = 0;
            break;
        }
        RxSum ^= b;
        RxData[static_cast<size_t>(RxCount)] = b;
        ++RxCount;
        if (RxCount >= RxLength - 3)
            RxState = 4;
        break;
    case 4:
        // Back to hunting first, so that a failure while acting on the frame leaves the
        // receiver ready for the next one.
        RxState = 0;
        if (b == RxSum) {
            if (onFrame)
                onFrame();
        } else {
            Report(FrameError::Checksum, 0);
        }
        break;
    default:
        RxState = 0;
        break;
    }
}
