// Measurements and sweep points from the logger's bytes, and their label texts.
#include <gtest/gtest.h>

#include "records/DateTime.h"
#include "records/MeasDecode.h"
#include "tests/link/LinkTestUtil.h"

namespace {

const FormatSettings Dot;

FormatSettings Comma() {
    FormatSettings fs;
    fs.decimalSeparator = ',';
    return fs;
}

} // namespace

TEST(MeasDecode, DescribedAnswerFiveExample) {
    const std::vector<uint8_t> b = Hex("00 03 21 30 39 80 00 3F 8C 72 07 00 00");
    const DecodedMeasurement m = DecodeMeasurement(b.data(), 2024);
    const MeasValues& v = m.values;
    EXPECT_EQ(v.board, 0);
    EXPECT_EQ(v.channel, 3);
    EXPECT_EQ(v.range, 1);
    EXPECT_DOUBLE_EQ(v.Rx, 12345.0);
    EXPECT_DOUBLE_EQ(v.Xx, 327680.0);
    EXPECT_EQ(v.hour, 9);
    EXPECT_EQ(v.minute, 58);
    EXPECT_EQ(v.second, 23);
    EXPECT_EQ(v.day, 7);
    EXPECT_EQ(v.month, 2);
    EXPECT_EQ(v.counter, 7);

    const TMeasRecord& r = m.record;
    EXPECT_EQ(r.Board, 0);
    EXPECT_EQ(r.Channel, 3);
    EXPECT_EQ(r.Range, 1);
    EXPECT_DOUBLE_EQ(r.Rx, 12345.0);
    EXPECT_DOUBLE_EQ(r.Xx, 327680.0);
    EXPECT_EQ(r.Counter, 7);
    const dt::DateTimeParts p = dt::DecodeDateTime(r.Time);
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 7);
    EXPECT_EQ(p.hour, 9);
    EXPECT_EQ(p.minute, 58);
    EXPECT_EQ(p.second, 23);

    const MeasurementLabels l = MeasurementTexts(v, Dot);
    EXPECT_EQ(l.BrdTx, "1");
    EXPECT_EQ(l.ChTx, "4");
    EXPECT_EQ(l.RangeTx, "1");
    EXPECT_EQ(l.RealTx, "12345000.00");
    EXPECT_EQ(l.ImagTx, "?");
    EXPECT_EQ(l.CntTx, "7");
    EXPECT_EQ(l.TimeLabel, "07.02-09:58:23");
    EXPECT_EQ(MeasurementTexts(v, Comma()).RealTx, "12345000,00");
}

TEST(MeasDecode, RangeValueMultipliersAndOverflow) {
    EXPECT_DOUBLE_EQ(RangeValue(0, 1234), 1234.0);
    EXPECT_DOUBLE_EQ(RangeValue(1, 1234), 12340.0);
    EXPECT_DOUBLE_EQ(RangeValue(2, 1234), 123400.0);
    EXPECT_DOUBLE_EQ(RangeValue(3, 1234), 0.0);
    EXPECT_DOUBLE_EQ(RangeValue(3, 65499), 0.0);
    EXPECT_DOUBLE_EQ(RangeValue(2, 65499), 6549900.0);
    for (uint8_t range = 0; range < 4; ++range) {
        EXPECT_DOUBLE_EQ(RangeValue(range, 65500), 65535.0);
        EXPECT_DOUBLE_EQ(RangeValue(range, 65535), 65535.0);
    }
}

TEST(MeasDecode, ExponentsSignAndOverflowedValues) {
    // Raw resistance 0xFFDC = 65500: overflow, divided by 10^e1 like any value.
    std::vector<uint8_t> b = Hex("00 00 00 FF DC 00 64 00 00 11 00 00 00");
    EXPECT_DOUBLE_EQ(DecodeMeasurement(b.data(), 2024).values.Rx, 65535.0);
    b[2] = 0x20; // e1 = 1
    EXPECT_DOUBLE_EQ(DecodeMeasurement(b.data(), 2024).values.Rx, 6553.5);
    EXPECT_EQ(MeasuredValueText(6553.5, Dot), "6553500.00");
    EXPECT_EQ(MeasuredValueText(65535.0, Dot), "?");
    EXPECT_EQ(MeasuredValueText(65500.0, Dot), "?");
    EXPECT_EQ(MeasuredValueText(65499.99, Dot), "65499990.00");

    // e2 = 7 on 100 (range 0), then negative with b0 bit 7.
    b = Hex("00 00 1C 00 01 00 64 00 00 11 00 00 00");
    EXPECT_DOUBLE_EQ(DecodeMeasurement(b.data(), 2024).values.Xx, 100.0 / 1e7);
    b[0] = 0x80;
    const MeasValues v = DecodeMeasurement(b.data(), 2024).values;
    EXPECT_DOUBLE_EQ(v.Xx, -100.0 / 1e7);
    EXPECT_EQ(MeasuredValueText(v.Xx, Dot), "-0.01");
    // A negative overflow is below 65500 and so shows as a number.
    b[5] = 0xFF;
    b[6] = 0xFF;
    b[2] = 0;
    EXPECT_EQ(MeasuredValueText(DecodeMeasurement(b.data(), 2024).values.Xx, Dot), "-65535000.00");

    // Range 3 gives 0 below the overflow.
    b = Hex("00 00 03 30 39 12 34 00 00 11 00 00 00");
    const MeasValues z = DecodeMeasurement(b.data(), 2024).values;
    EXPECT_DOUBLE_EQ(z.Rx, 0.0);
    EXPECT_DOUBLE_EQ(z.Xx, 0.0);
    EXPECT_EQ(z.range, 3);

    // Board takes only the low nibble; the counter is little-endian.
    b = Hex("4F FF 00 00 00 00 00 00 00 11 01 02 03");
    const DecodedMeasurement m = DecodeMeasurement(b.data(), 2024);
    EXPECT_EQ(m.record.Board, 15);
    EXPECT_EQ(m.record.Channel, 255);
    EXPECT_EQ(m.record.Counter, 0x030201);
    EXPECT_EQ(MeasurementTexts(m.values, Dot).ChTx, "256");
}

TEST(MeasDecode, HighBitsOfSecondAndDayInByteZero) {
    // b0 = 0x30: +65536 seconds and +16 days; b9 = 0xF1: day 15, January.
    const std::vector<uint8_t> b = Hex("30 00 00 00 00 00 00 00 00 F1 00 00 00");
    const DecodedMeasurement m = DecodeMeasurement(b.data(), 2023);
    EXPECT_EQ(m.values.day, 31);
    EXPECT_EQ(m.values.month, 1);
    EXPECT_EQ(m.values.hour, 18); // 65536 s = 18:12:16
    EXPECT_EQ(m.values.minute, 12);
    EXPECT_EQ(m.values.second, 16);
    EXPECT_DOUBLE_EQ(m.record.Time, dt::EncodeDate(2023, 1, 31) + dt::EncodeTime(18, 12, 16));
    EXPECT_EQ(TimeLabelText(m.values), "31.01-18:12:16");
}

TEST(MeasDecode, DatesAndTimesThatCannotBeFail) {
    const QString date = "Invalid argument to date encode";
    const QString time = "Invalid argument to time encode";
    auto decode = [](const std::string& hex, int year) {
        return FailureText([&] { DecodeMeasurement(Hex(hex).data(), year); });
    };
    EXPECT_EQ(decode("00 00 00 00 00 00 00 00 00 10 00 00 00", 2024), date); // month 0
    EXPECT_EQ(decode("00 00 00 00 00 00 00 00 00 1D 00 00 00", 2024), date); // month 13
    EXPECT_EQ(decode("00 00 00 00 00 00 00 00 00 01 00 00 00", 2024), date); // day 0
    EXPECT_EQ(decode("20 00 00 00 00 00 00 00 00 E2 00 00 00", 2024), date); // 30 February
    EXPECT_EQ(decode("20 00 00 00 00 00 00 00 00 D2 00 00 00", 2023), date); // 29.2. common year
    EXPECT_EQ(decode("20 00 00 00 00 00 00 00 00 D2 00 00 00", 2024), "(no failure)");
    // Second of the day 86400 = 65536 + 0x5180: hour 24.
    EXPECT_EQ(decode("10 00 00 00 00 00 00 80 51 11 00 00 00", 2024), time);
    EXPECT_EQ(decode("10 00 00 00 00 00 00 7F 51 11 00 00 00", 2024), "(no failure)");
    // Both impossible: the date is built first.
    EXPECT_EQ(decode("10 00 00 00 00 00 00 80 51 10 00 00 00", 2024), date);
}

TEST(MeasDecode, SweepPointValuesAndTexts) {
    MeasValues last;
    last.counter = 99;
    last.day = 5;
    // Board 2, channel 16, range 2 e1 = 1 e2 = 0, Rx raw 1000, Xx raw 5 negative, 1000 Hz.
    const std::vector<uint8_t> b = Hex("81 0F 22 03 E8 00 05 00 83 12");
    const MeasValues v = DecodeSweepPoint(b.data(), last);
    EXPECT_EQ(v.board, 1);
    EXPECT_EQ(v.channel, 15);
    EXPECT_EQ(v.range, 2);
    EXPECT_DOUBLE_EQ(v.Rx, 10000.0);
    EXPECT_DOUBLE_EQ(v.Xx, -500.0);
    EXPECT_EQ(v.SweepFreqCode, 33554);
    EXPECT_EQ(v.counter, 99);
    EXPECT_EQ(v.day, 5);
    const SweepPointLabels l = SweepPointTexts(v, Dot);
    EXPECT_EQ(l.FFreqTx, "1000");
    EXPECT_EQ(l.FRangeTx, "2");
    EXPECT_EQ(l.FRxTx, "10000000.00");
    EXPECT_EQ(l.FXxTx, "-500000.00");

    EXPECT_EQ(SweepFrequencyText(3355), "100");
    // 262144 and 786432 land on 7812.5 and 23437.5 Hz: halves go to the even neighbour.
    EXPECT_EQ(SweepFrequencyText(262144), "7812");
    EXPECT_EQ(SweepFrequencyText(786432), "23438");
    EXPECT_EQ(SweepFrequencyText(0xFFFFFF), "500000");
}
