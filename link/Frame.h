#pragma once
// Frames of the logger link: start byte (0xA5 request, 0x5A answer), code, length L (bytes
// before the checksum), data, and the XOR of those L bytes. Both directions share the rules, so
// the console's receiver and the logger emulator's request parser are the same code.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <QString>

namespace frame {

constexpr uint8_t RequestStart = 0xA5;
constexpr uint8_t AnswerStart = 0x5A;
constexpr int MaxLength = 100;     // largest L accepted by the receiver
constexpr int IdleLimitTicks = 20; // more idle ticks than this abandon a partial frame

// XOR of the given bytes.
uint8_t Checksum(std::span<const uint8_t> bytes);

// A whole frame on the wire: start, code, L = 3 + data size, data, checksum.
std::vector<uint8_t> Build(uint8_t start, uint8_t code, std::span<const uint8_t> data);

} // namespace frame

// Why the receiver dropped a frame.
enum class FrameError : uint8_t {
    TooLong,   // length byte above the limit: "data stream too long: %d"
    Checksum,  // "CRC error"
    BrokenOff, // a silence abandoned a partial frame
};

// Byte-by-byte frame receiver with the five states of the link: 0 hunting for the start byte,
// 1 code, 2 length, 3 data, 4 checksum.
class FrameReceiver {
public:
    explicit FrameReceiver(uint8_t startByte = frame::AnswerStart) : start_(startByte) {}

    // Called with each good frame; reads RxCmd, RxLength and RxData.
    std::function<void()> onFrame;
    // The error sink, with the cause and its message: "data stream too long: %d", "CRC error",
    // "answer broken off".
    std::function<void(FrameError, const QString&)> onError;

    // One received byte, in arrival order.
    void Receive(uint8_t b);
    // One 100 ms tick of the idle timer.
    void Tick() { ++IdleTicks; }

    uint8_t RxState = 0;
    uint8_t RxSum = 0;
    uint8_t RxCmd = 0;
    int32_t RxLength = 0;
    int32_t RxCount = 0;
    int32_t IdleTicks = 0;
    // Kept between frames: a new frame overwrites only as many bytes as it carries.
    std::array<uint8_t, 128> RxData{};

private:
    // Out of the byte path: the messages are built only when a frame is dropped.
    [[gnu::cold, gnu::noinline]] void Report(FrameError error, uint8_t value);
    uint8_t start_;
};
