// The measurement bytes the logger sends, read back by the console's own decoder.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "LoggerTestUtil.h"
#include "records/DateTime.h"
#include "records/MeasDecode.h"
#include "records/ReportParser.h"
#include "tools/logger/LoggerClock.h"
#include "tools/logger/MeasurementEncoder.h"

using namespace logger;

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

DecodedMeasurement RoundTrip(double rx, double xx, int year = 2024) {
    MeasurementBytes b =
        EncodeMeasurement(1, 2, EncodeImpedance(rx, xx), CalendarTime(year, 6, 15, 12, 0, 0), 1);
    return DecodeMeasurement(b.data(), year);
}

// The finest step the 16-bit raw value allows for a value: a raw value of at least 6550 unless
// the largest exponent is reached.
double Tolerance(double v) {
    return std::max(std::fabs(v) * 0.5 / 6500, 0.5e-5);
}

} // namespace

TEST(MeasurementEncoder, ValuesFromMilliohmsToMegaohmsDecodeBackClosely) {
    for (double v = 1e-3; v < 6.5e6; v *= 1.37) {
        for (double sign : {1.0, -1.0}) {
            SCOPED_TRACE(testing::Message() << v << " sign " << sign);
            // Resistance and reactance of very different size share one range code.
            double rx = v;
            double xx = sign * std::max(v / 37.0, 1e-4);
            DecodedMeasurement d = RoundTrip(rx, xx);
            EXPECT_NEAR(Plain(d.record).Rx, rx, Tolerance(rx));
            EXPECT_NEAR(Plain(d.record).Xx, xx, Tolerance(xx));
            EXPECT_GE(Plain(d.record).Range, 0);
            EXPECT_LE(Plain(d.record).Range, 2);
            // The reactance's size, the smaller value, still keeps its digits.
            EXPECT_EQ(std::signbit(Plain(d.record).Xx), sign < 0);
        }
    }
}

TEST(MeasurementEncoder, RangeGrowsOnlyWhenAValueNeedsIt) {
    EXPECT_EQ(EncodeImpedance(65499, -1).range, 0);
    EXPECT_EQ(EncodeImpedance(65500, -1).range, 1);
    EXPECT_EQ(EncodeImpedance(1, -654990).range, 1);
    EXPECT_EQ(EncodeImpedance(654995, -1).range, 2);
    ImpedanceCode big = EncodeImpedance(6549900, -6549900);
    EXPECT_EQ(big.range, 2);
    EXPECT_EQ(big.rxRaw, 65499);
    EXPECT_EQ(big.xxRaw, 65499);
    EXPECT_TRUE(big.xxNegative);
    // Small values get the exponent that keeps five digits.
    ImpedanceCode small = EncodeImpedance(1.2345, -0.012345);
    EXPECT_EQ(small.range, 0);
    EXPECT_EQ(small.rxExponent, 4);
    EXPECT_EQ(small.rxRaw, 12345);
    EXPECT_EQ(small.xxExponent, 6);
    EXPECT_EQ(small.xxRaw, 12345);
}

TEST(MeasurementEncoder, OverflowsReadAsExactly65535) {
    struct Case {
        double rx, xx;
        bool rxOver, xxOver;
    };
    const Case cases[] = {
        {Inf, Inf, true, true},           {Inf, -150.0, true, false},
        {2000.0, -Inf, false, true}, // unsigned, so the table shows "N/A"
        {7e6, -10.0, true, false},   // beyond the largest range
        {std::nan(""), 5.0, true, false}, {1e300, -1e300, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rx << " " << c.xx);
        DecodedMeasurement d = RoundTrip(c.rx, c.xx);
        if (c.rxOver)
            EXPECT_EQ(Plain(d.record).Rx, 65535.0);
        else
            EXPECT_NEAR(Plain(d.record).Rx, c.rx, Tolerance(c.rx));
        if (c.xxOver)
            EXPECT_EQ(Plain(d.record).Xx, 65535.0);
        else
            EXPECT_NEAR(Plain(d.record).Xx, c.xx, Tolerance(c.xx));
    }
}

TEST(MeasurementEncoder, NegativeResistanceAndVanishingReactanceCarryNoSign) {
    DecodedMeasurement d = RoundTrip(-5.0, -1e-9);
    EXPECT_EQ(Plain(d.record).Rx, 0.0);
    EXPECT_EQ(Plain(d.record).Xx, 0.0);
    EXPECT_FALSE(std::signbit(Plain(d.record).Xx));
}

TEST(MeasurementEncoder, TimeBoardChannelAndCounterFields) {
    struct Case {
        int board, channel;
        QDateTime time;
        uint32_t counter;
    };
    const Case cases[] = {
        {0, 3, CalendarTime(2024, 2, 7, 9, 58, 23), 7},
        {15, 255, CalendarTime(2024, 1, 31, 23, 59, 59), 0xFFFFFF}, // both extra bits
        {7, 0, CalendarTime(2024, 12, 16, 18, 12, 16), 0x123456},   // second 65536, day 16
        {1, 15, CalendarTime(2024, 10, 15, 18, 12, 15), 0x010203},  // second 65535, day 15
        {4, 8, CalendarTime(2024, 3, 1, 0, 0, 0), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time.toString(Qt::ISODate).toStdString());
        MeasurementBytes b =
            EncodeMeasurement(c.board, c.channel, EncodeImpedance(10, -1), c.time, c.counter);
        DecodedMeasurement d = DecodeMeasurement(b.data(), 2024);
        EXPECT_EQ(Plain(d.record).Board, c.board);
        EXPECT_EQ(Plain(d.record).Channel, c.channel);
        EXPECT_EQ(Plain(d.record).Counter, static_cast<int32_t>(c.counter));
        EXPECT_EQ(d.values.day, c.time.date().day());
        EXPECT_EQ(d.values.month, c.time.date().month());
        EXPECT_EQ(d.values.hour, c.time.time().hour());
        EXPECT_EQ(d.values.minute, c.time.time().minute());
        EXPECT_EQ(d.values.second, c.time.time().second());
        double expected = dt::ComposeDateTime(
            dt::EncodeDate(2024, c.time.date().month(), c.time.date().day()),
            dt::EncodeTime(c.time.time().hour(), c.time.time().minute(), c.time.time().second()));
        EXPECT_DOUBLE_EQ(Plain(d.record).Time, expected);
    }
}

TEST(MeasurementEncoder, KnownBytesOfAMeasurement) {
    // Board 1, channel 4 (0-based 0 and 3), 09:58:23 on 7 February, counter 7.
    ImpedanceCode code;
    code.range = 1;
    code.rxExponent = 1;
    code.rxRaw = 12345;
    code.xxRaw = 32768;
    MeasurementBytes b = EncodeMeasurement(0, 3, code, CalendarTime(2024, 2, 7, 9, 58, 23), 7);
    EXPECT_EQ(b, (MeasurementBytes{0x00, 0x03, 0x21, 0x30, 0x39, 0x80, 0x00, 0x3F, 0x8C, 0x72, 0x07,
                                   0x00, 0x00}));
}

TEST(MeasurementEncoder, SweepPointsCarryTheirFrequencyCode) {
    ImpedanceCode code = EncodeImpedance(1234.5, -67.8);
    SweepPointBytes b = EncodeSweepPoint(5, 12, code, 671089);
    EXPECT_EQ(b[7], 0x0A);
    EXPECT_EQ(b[8], 0x3D);
    EXPECT_EQ(b[9], 0x71);
    MeasValues v = DecodeSweepPoint(b.data());
    EXPECT_EQ(v.SweepFreqCode, 671089);
    EXPECT_EQ(v.board, 5);
    EXPECT_EQ(v.channel, 12);
    EXPECT_NEAR(v.Rx, 1234.5, Tolerance(1234.5));
    EXPECT_NEAR(v.Xx, -67.8, Tolerance(67.8));
}

TEST(MeasurementEncoder, ReportItemsParseBackIntoTheSameMeasurement) {
    std::vector<MeasurementBytes> items = {
        EncodeMeasurement(2, 5, EncodeImpedance(0.25, -0.01), CalendarTime(2024, 5, 20, 1, 2, 3),
                          41),
        // 0xA5 inside an item is data: the low byte of the second of the day 421 (00:07:01).
        EncodeMeasurement(5, 15, EncodeImpedance(4200, -Inf), CalendarTime(2024, 8, 31, 0, 7, 1),
                          42),
    };
    ASSERT_EQ(items[1][7], 0xA5);
    std::vector<uint8_t> stream = {0x00, 0x13};
    for (const MeasurementBytes& m : items) {
        ReportItemBytes r = ReportItem(m);
        EXPECT_EQ(r[0], 0xA5);
        EXPECT_TRUE(std::equal(m.begin(), m.begin() + 10, r.begin() + 1));
        stream.insert(stream.end(), r.begin(), r.end());
    }
    std::vector<DecodedMeasurement> decoded;
    ReportParser parser;
    parser.onItem = [&](std::span<const uint8_t, ReportParser::ItemSize> item) {
        decoded.push_back(DecodeReportItem(item, 2024).value());
    };
    for (uint8_t b : stream)
        parser.ParseReportByte(b);
    ASSERT_EQ(decoded.size(), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        DecodedMeasurement direct = DecodeMeasurement(items[i].data(), 2024);
        EXPECT_EQ(Plain(decoded[i].record).Board, Plain(direct.record).Board);
        EXPECT_EQ(Plain(decoded[i].record).Channel, Plain(direct.record).Channel);
        EXPECT_EQ(Plain(decoded[i].record).Rx, Plain(direct.record).Rx);
        EXPECT_EQ(Plain(decoded[i].record).Xx, Plain(direct.record).Xx);
        EXPECT_EQ(Plain(decoded[i].record).Time, Plain(direct.record).Time);
    }
}
