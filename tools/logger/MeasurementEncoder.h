#pragma once
// The logger's side of the measurement bytes: the inverse of the console's decoder. Values are
// given as plain numbers; the encoder picks the range code and the decimal exponents so that the
// console reads back the value to the last digit the 16-bit raw value can hold.
#include <array>
#include <cstdint>
#include <span>

#include <QByteArray>
#include <QDateTime>

namespace logger {

using MeasurementBytes = std::array<uint8_t, 13>; // answers 5 and 120
using SweepPointBytes = std::array<uint8_t, 10>;  // answer 6
using ReportItemBytes = std::array<uint8_t, 11>;  // 0xA5 and measurement bytes 0 to 9

constexpr uint16_t OverflowRaw = 0xFFFF; // anything from 65500 up reads as an overflow
constexpr uint16_t LargestRaw = 65499;
constexpr uint8_t ReportItemStart = 0xA5;
constexpr int MaxExponent = 7;

// Range code and exponents shared by one resistance and one reactance.
struct ImpedanceCode {
    uint8_t range = 0;      // 0..2 (multiplier 1, 10, 100); 3 would read as zero
    uint8_t rxExponent = 0; // divisor 10^e of the resistance
    uint8_t xxExponent = 0;
    uint16_t rxRaw = 0;
    uint16_t xxRaw = 0;
    bool xxNegative = false;
};

// Multiplier of a range code as the console applies it.
double RangeMultiplier(uint8_t range);

// A non-finite value, or one beyond the largest range, is sent as an overflow (raw 0xFFFF with
// exponent 0, which reads as exactly 65535). A negative resistance is sent as zero.
ImpedanceCode EncodeImpedance(double rx, double xx);

// Bytes 0 to 12 of a measurement; the date carries no year, the time is whole seconds.
MeasurementBytes EncodeMeasurement(int board, int channel, const ImpedanceCode& code,
                                   const QDateTime& time, uint32_t counter);
// Bytes 0 to 9 of a sweep point; the frequency code is 24 bits, big-endian.
SweepPointBytes EncodeSweepPoint(int board, int channel, const ImpedanceCode& code,
                                 uint32_t frequencyCode);
// One item of the GPRS report stream.
ReportItemBytes ReportItem(const MeasurementBytes& measurement);
// A GPRS report stream of these measurements, one item each, back to back.
QByteArray ReportStream(std::span<const MeasurementBytes> measurements);

} // namespace logger
