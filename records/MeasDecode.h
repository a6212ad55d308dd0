#pragma once
// Measurements and sweep points from the logger's bytes: the working values that the "Measured
// Value" labels show, the record that goes into the buffer, and the label texts.
#include <cstdint>

#include <QString>

#include "base/FormatSettings.h"
#include "base/Result.h"
#include "records/MeasRecord.h"

// The last decoded measurement or sweep point, as the labels show it.
struct MeasValues {
    uint8_t board = 0;   // 0-based
    uint8_t channel = 0; // 0-based
    uint8_t range = 0;
    double Rx = 0;
    double Xx = 0;
    int32_t counter = 0;
    uint8_t second = 0;
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t day = 0;
    uint8_t month = 0;
    int32_t SweepFreqCode = 0;
};

struct DecodedMeasurement {
    MeasValues values;
    TMeasRecord record;
};

// Raw value times the range's multiplier (1, 10, 100, 0); 65535 for a raw value of 65500 or
// more, whatever the range.
double RangeValue(uint8_t range, uint16_t raw);
// Whether a decoded Rx or Xx is an overflow: 65535 divided by its decimal exponent's power of
// ten, either sign. No reading decodes to such a value, while readings of 65500 ohms and more
// are real in ranges 1 and 2.
bool IsOverflowMark(double value);

// Thirteen data bytes of answer 5 or 120 (a report item: its ten bytes and three zeros). The year
// is the local clock's. Fails with "Invalid argument to date encode" for a month or day that
// cannot be, else "Invalid argument to time encode" for an hour of 24 or more: the Try form
// returns it (a report item, dropped and counted); the plain form throws it, for the link's
// handler, which shows it.
Result<DecodedMeasurement> TryDecodeMeasurement(const uint8_t* b, int currentYear);
DecodedMeasurement DecodeMeasurement(const uint8_t* b, int currentYear);
// Ten data bytes of answer 6. A sweep point carries no time or counter: those fields keep what
// `last` holds.
MeasValues DecodeSweepPoint(const uint8_t* b, MeasValues last = {});

// "?" for 65500 or more, else "%.2f" of the value times 1000.
QString MeasuredValueText(double value, const FormatSettings& fs);
// "%.2d.%.2d-%.2d:%.2d:%.2d" of day, month, hour, minute, second.
QString TimeLabelText(const MeasValues& v);
// The sweep frequency in whole hertz, as FFreqTx shows it, and that text.
int32_t SweepFrequencyHz(int32_t code);
QString SweepFrequencyText(int32_t code);

// What ShowMeasurement puts into BrdTx, ChTx, RangeTx, RealTx, ImagTx, CntTx and TimeLabel.
struct MeasurementLabels {
    QString BrdTx, ChTx, RangeTx, RealTx, ImagTx, CntTx, TimeLabel;
};
MeasurementLabels MeasurementTexts(const MeasValues& v, const FormatSettings& fs);
// What ShowSweepPoint puts into FFreqTx, FRangeTx, FRxTx and FXxTx.
struct SweepPointLabels {
    QString FFreqTx, FRangeTx, FRxTx, FXxTx;
};
SweepPointLabels SweepPointTexts(const MeasValues& v, const FormatSettings& fs);
