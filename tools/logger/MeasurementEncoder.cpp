#include "tools/logger/MeasurementEncoder.h"

#include <algorithm>
#include <cmath>

#include "base/Rounding.h"
#include "records/MeasDecode.h"
#include "records/WireBytes.h"

namespace logger {

namespace {

constexpr double Pow10[MaxExponent + 1] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7};

struct Scaled {
    uint8_t exponent = 0;
    uint16_t raw = 0;
};

// Compared before rounding, so that a huge value never reaches an integer conversion. Halves
// round to even, so 65499.5 would become 65500: the bound is strict.
bool Fits(double magnitude, double multiplier) {
    return std::isfinite(magnitude) && magnitude / multiplier < LargestRaw + 0.5;
}

// The largest exponent whose raw value still fits gives the finest step.
Scaled Scale(double magnitude, double multiplier) {
    for (int e = MaxExponent; e > 0; --e) {
        int64_t raw = Round(magnitude * Pow10[e] / multiplier);
        if (raw <= LargestRaw)
            return {static_cast<uint8_t>(e), static_cast<uint16_t>(raw)};
    }
    return {0, static_cast<uint16_t>(Round(magnitude / multiplier))};
}

} // namespace

double RangeMultiplier(uint8_t range) {
    return RangeValue(range, 1);
}

ImpedanceCode EncodeImpedance(double rx, double xx) {
    double r = std::isfinite(rx) ? std::max(rx, 0.0) : rx;
    double x = std::fabs(xx);
    // The smallest range that holds both values keeps the finest steps; a value that fits no
    // range becomes an overflow and does not take part in the choice.
    bool rFits = Fits(r, RangeMultiplier(2));
    bool xFits = Fits(x, RangeMultiplier(2));
    ImpedanceCode code;
    code.range = 2;
    for (uint8_t range = 0; range < 2; ++range) {
        if ((!rFits || Fits(r, RangeMultiplier(range))) &&
            (!xFits || Fits(x, RangeMultiplier(range)))) {
            code.range = range;
            break;
        }
    }
    double multiplier = RangeMultiplier(code.range);
    if (rFits) {
        Scaled s = Scale(r, multiplier);
        code.rxExponent = s.exponent;
        code.rxRaw = s.raw;
    } else {
        code.rxRaw = OverflowRaw;
    }
    if (xFits) {
        Scaled s = Scale(x, multiplier);
        code.xxExponent = s.exponent;
        code.xxRaw = s.raw;
        // No sign on a zero, so that it never reads back as -0.
        code.xxNegative = xx < 0 && s.raw != 0;
    } else {
        // An overflow is sent unsigned: the console marks exactly +65535 as "N/A".
        code.xxRaw = OverflowRaw;
    }
    return code;
}

namespace {

// Byte 0 (board and sign) and bytes 1 to 6, shared by measurements and sweep points.
template <size_t N>
void PutImpedance(std::array<uint8_t, N>& b, int board, int channel, const ImpedanceCode& code) {
    b[0] = static_cast<uint8_t>((board & 0x0F) | (code.xxNegative ? 0x80 : 0));
    b[1] = static_cast<uint8_t>(channel);
    b[2] = static_cast<uint8_t>((code.range & 3) | ((code.xxExponent & 7) << 2) |
                                ((code.rxExponent & 7) << 5));
    qToBigEndian(code.rxRaw, &b[3]);
    qToBigEndian(code.xxRaw, &b[5]);
}

} // namespace

MeasurementBytes EncodeMeasurement(int board, int channel, const ImpedanceCode& code,
                                   const QDateTime& time, uint32_t counter) {
    MeasurementBytes b{};
    PutImpedance(b, board, channel, code);
    uint32_t second = static_cast<uint32_t>(time.time().msecsSinceStartOfDay() / 1000);
    uint32_t day = static_cast<uint32_t>(time.date().day());
    uint32_t month = static_cast<uint32_t>(time.date().month());
    if (second & 0x10000)
        b[0] |= 0x10;
    if (day & 0x10)
        b[0] |= 0x20;
    qToLittleEndian(static_cast<uint16_t>(second), &b[7]);
    b[9] = static_cast<uint8_t>(((day & 0x0F) << 4) | (month & 0x0F));
    WriteLittle24(&b[10], counter);
    return b;
}

SweepPointBytes EncodeSweepPoint(int board, int channel, const ImpedanceCode& code,
                                 uint32_t frequencyCode) {
    SweepPointBytes b{};
    PutImpedance(b, board, channel, code);
    WriteBig24(&b[7], frequencyCode);
    return b;
}

ReportItemBytes ReportItem(const MeasurementBytes& measurement) {
    ReportItemBytes item{};
    item[0] = ReportItemStart;
    for (size_t i = 0; i < 10; ++i)
        item[i + 1] = measurement[i];
    return item;
}

QByteArray ReportStream(std::span<const MeasurementBytes> measurements) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(measurements.size() * sizeof(ReportItemBytes)));
    for (const MeasurementBytes& m : measurements) {
        const ReportItemBytes item = ReportItem(m);
        bytes.append(reinterpret_cast<const char*>(item.data()),
                     static_cast<qsizetype>(item.size()));
    }
    return bytes;
}

} // namespace logger
