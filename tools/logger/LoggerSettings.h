#pragma once
// Everything the logger keeps between requests, held in the codes of the wire so that a read
// answers exactly what the matching set request stored.
#include <array>
#include <cstdint>
#include <string>

namespace logger {

constexpr uint8_t FirmwareMajor = 3;
constexpr uint8_t FirmwareMinor = 2;
constexpr int BoardCount = 16;       // masks kept; the console sets boards 1 to 8
constexpr int ChannelsPerBoard = 16; // bit k of a mask = channel k + 1
constexpr int ApnFieldSize = 32;     // text fields: at most size - 1 characters and a zero byte
constexpr int ServerIpFieldSize = 16;

struct LoggerSettings {
    // Measuring period.
    uint8_t periodHours = 0;
    uint8_t periodMinutes = 1;
    // Measure parameters.
    uint32_t frequencyCode = 33554; // 1000 Hz
    uint8_t voltageCode = 4;        // 0.1 V
    uint8_t latencyCode = 3;        // 300 ms
    uint8_t repeat = 1;
    uint8_t electrodeSystem = 0;
    // Frequency sweep.
    uint32_t sweepBeginCode = 3355;     // 100 Hz
    uint32_t sweepEndCode = 671089;     // 20000 Hz
    uint16_t sweepMultiplierCode = 512; // 2.0
    uint8_t sweepVoltageCode = 4;
    uint8_t sweepBoard = 0; // 0-based
    uint8_t sweepChannel = 0;
    uint8_t sweepRepeat = 1;
    uint8_t sweepElectrodeSystem = 0;
    // Channels 1 to 4 of board 1, so that a fresh logger has something to measure.
    std::array<uint16_t, BoardCount> masks{0x000F};
    // GPRS.
    std::string apn = "internet";
    std::string serverIp = "127.0.0.1";
    uint8_t reportHour = 12;
    uint8_t reportMinute = 0;
    uint8_t reportRetries = 3;
};

} // namespace logger
