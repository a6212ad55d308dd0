#pragma once
// Value encodings of the logger link, both ways. Codes are returned in full width; callers check
// that they fit the field they fill (WireField).
#include <cstdint>

namespace enc {

// Frequency: 24-bit code = Round(Hz * 33.554432); back: code * 15625 / 524288 Hz.
int64_t FrequencyCode(double hz);
double FrequencyFromCode(uint32_t code);
// Voltage: 8-bit code = Round(V * 256 * 0.2) - 1; back: (code + 1) * 5 / 256 V.
int64_t VoltageCode(double volts);
double VoltageFromCode(uint8_t code);
// Switch latency: 8-bit code = Round(ms * 0.01); back: code * 100 ms.
int64_t LatencyCode(double ms);
double LatencyFromCode(uint8_t code);
// Step multiplier: 16-bit code = Round(x * 256); back: code / 256.
int64_t MultiplierCode(double x);
double MultiplierFromCode(uint16_t code);
// Board or channel: number - 1 on the wire.
inline int64_t IndexCode(double number);
// Electrode system: 255 for the two-electrode system, else 0; any non-zero code reads as two.
inline uint8_t ElectrodeSystemCode(bool twoElectrodes) {
    return twoElectrodes ? 255 : 0;
}
inline bool ElectrodeSystemFromCode(uint8_t code) {
    return code != 0;
}

} // namespace enc

#include "base/Rounding.h"

inline int64_t enc::IndexCode(double number) {
    return Round(number) - 1;
}
