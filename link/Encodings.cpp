#include "link/Encodings.h"

namespace enc {

int64_t FrequencyCode(double hz) {
    return Round(hz * 33.554432);
}
double FrequencyFromCode(uint32_t code) {
    return code * 15625.0 / 524288.0;
}
int64_t VoltageCode(double volts) {
    return Round(volts * 256 * 0.2) - 1;
}
double VoltageFromCode(uint8_t code) {
    return (code + 1) * 5.0 / 256.0;
}
int64_t LatencyCode(double ms) {
    return Round(ms * 0.01);
}
double LatencyFromCode(uint8_t code) {
    return code * 100.0;
}
int64_t MultiplierCode(double x) {
    return Round(x * 256);
}
double MultiplierFromCode(uint16_t code) {
    return code / 256.0;
}

} // namespace enc
