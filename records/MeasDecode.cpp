#include "records/MeasDecode.h"

#include <cmath>

#include "base/Rounding.h"
#include "base/ValueOrFailure.h"
#include "records/DateTime.h"
#include "records/WireBytes.h"

namespace {

constexpr int32_t Pow10[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// Steps shared by measurements and sweep points: board, channel, range and the two values.
void DecodeValues(const uint8_t* b, MeasValues& v) {
    v.board = b[0] & 0x0F;
    v.channel = b[1];
    v.range = b[2] & 3;
    const int e1 = (b[2] & 0xE0) >> 5;
    const int e2 = (b[2] & 0x1C) >> 2;
    v.Rx = RangeValue(v.range, qFromBigEndian<uint16_t>(b + 3)) / Pow10[e1];
    v.Xx = RangeValue(v.range, qFromBigEndian<uint16_t>(b + 5)) / Pow10[e2];
    if (b[0] & 0x80)
        v.Xx = -v.Xx;
}

} // namespace

double RangeValue(uint8_t range, uint16_t raw) {
    static constexpr double multiplier[4] = {1, 10, 100, 0};
    if (raw >= 65500)
        return OverflowValue;
    return raw * multiplier[range & 3];
}

bool IsOverflowMark(double value) {
    const double magnitude = std::fabs(value);
    for (int32_t divisor : Pow10)
        if (magnitude == OverflowValue / divisor)
            return true;
    return false;
}

Result<DecodedMeasurement> TryDecodeMeasurement(const uint8_t* b, int currentYear) {
    DecodedMeasurement out;
    MeasValues& v = out.values;
    DecodeValues(b, v);
    v.counter = static_cast<int32_t>(ReadLittle24(b + 10));
    const int32_t s = qFromLittleEndian<uint16_t>(b + 7) + ((b[0] & 0x10) ? 65536 : 0);
    v.second = static_cast<uint8_t>(s % 60);
    v.minute = static_cast<uint8_t>(s / 60 % 60);
    // Up to 36 for the largest count; the time encoding refuses 24 and more.
    v.hour = static_cast<uint8_t>(s / 3600);
    v.day = static_cast<uint8_t>((b[9] >> 4) + ((b[0] & 0x20) ? 16 : 0));
    v.month = b[9] & 0x0F;

    // The date is built before the time, so a record bad in both reports the date.
    const Result<double> date = dt::TryEncodeDate(currentYear, v.month, v.day);
    if (!date)
        return tl::unexpected(date.error());
    const Result<double> time = dt::TryEncodeTime(v.hour, v.minute, v.second, 0);
    if (!time)
        return tl::unexpected(time.error());

    TMeasRecord& r = out.record;
    r.Board = v.board;
    r.Channel = v.channel;
    r.Range = v.range;
    r.Rx = v.Rx;
    r.Xx = v.Xx;
    r.Counter = v.counter;
    r.Time = dt::ComposeDateTime(*date, *time);
    return out;
}

DecodedMeasurement DecodeMeasurement(const uint8_t* b, int currentYear) {
    return ValueOrFailure(TryDecodeMeasurement(b, currentYear));
}

MeasValues DecodeSweepPoint(const uint8_t* b, MeasValues last) {
    DecodeValues(b, last);
    last.SweepFreqCode = static_cast<int32_t>(ReadBig24(b + 7));
    return last;
}

QString MeasuredValueText(double value, const FormatSettings& fs) {
    if (value >= 65500)
        return QStringLiteral("?");
    return Fixed2(value * 1000, fs);
}

QString TimeLabelText(const MeasValues& v) {
    return QString::asprintf("%.2d.%.2d-%.2d:%.2d:%.2d", v.day, v.month, v.hour, v.minute,
                             v.second);
}

int32_t SweepFrequencyHz(int32_t code) {
    return static_cast<int32_t>(Round(static_cast<double>(code) * 15625.0 / 524288.0));
}

QString SweepFrequencyText(int32_t code) {
    return Int(SweepFrequencyHz(code));
}

MeasurementLabels MeasurementTexts(const MeasValues& v, const FormatSettings& fs) {
    return {Int(v.board + 1),
            Int(v.channel + 1),
            Int(v.range),
            MeasuredValueText(v.Rx, fs),
            MeasuredValueText(v.Xx, fs),
            Int(v.counter),
            TimeLabelText(v)};
}

SweepPointLabels SweepPointTexts(const MeasValues& v, const FormatSettings& fs) {
    return {SweepFrequencyText(v.SweepFreqCode), Int(v.range), MeasuredValueText(v.Rx, fs),
            MeasuredValueText(v.Xx, fs)};
}
