// Request frames built from the settings pages' values: the described golden frames and the
// field rules (low bits kept, text fields cut and closed).
#include <functional>
#include <gtest/gtest.h>
#include <limits>

#include "LinkTestUtil.h"
#include "link/AnswerDecode.h"

namespace {

std::vector<uint8_t> Request(uint8_t code, const std::vector<uint8_t>& payload) {
    return frame::Build(frame::RequestStart, code, payload);
}

} // namespace

TEST(RequestPayload, DescribedGoldenFrames) {
    EXPECT_EQ(Request(0x81, SetParamsPayload(1000, 0.1, 300, 5, true)),
              Hex("A5 81 0A 00 83 12 04 03 05 FF 42"));
    EXPECT_EQ(Request(0x8C, SetFreqParamsPayload(100, 20000, 2.0, 0.1, 1, 1, 1, false)),
              Hex("A5 8C 10 00 0D 1B 0A 3D 71 02 00 04 00 00 01 00 6E"));
    EXPECT_EQ(Request(0x87, DownloadPayload(1, 100)), Hex("A5 87 09 00 00 01 00 00 64 4E"));
    EXPECT_EQ(SetTimePayload(2024, 12, 24, 15, 30, 0),
              (std::vector<uint8_t>{20, 24, 12, 24, 3, 15, 30, 0}));
    EXPECT_EQ(Request(0x88, SetTimePayload(2024, 12, 24, 15, 30, 0)).size(), 12u);
    EXPECT_EQ(Request(0x88, SetTimePayload(2024, 12, 24, 15, 30, 0))[2], 11);
}

TEST(RequestPayload, SetParamsAndSetFreqParamsFields) {
    // 20000 Hz, 5 V, 25500 ms, 255 repeats, box unchecked; repeat 2.5 rounds to 2.
    EXPECT_EQ(SetParamsPayload(20000, 5, 25500, 255, false), Hex("0A 3D 71 FF FF FF 00"));
    EXPECT_EQ(SetParamsPayload(100, 0.1, 100, 2.5, false)[5], 2);
    EXPECT_EQ(SetParamsPayload(100, 0.1, 100, 3.5, false)[5], 4);
    // Board 8, channel 16, multiplier 10 (code 2560 = 0x0A00), 5 V, 255 repeats, two electrodes.
    EXPECT_EQ(SetFreqParamsPayload(1000, 1000, 10, 5, 8, 16, 255, true),
              Hex("00 83 12 00 83 12 0A 00 FF 07 0F FF FF"));
}

TEST(RequestPayload, MasksCarryBoardsOneToEightLowByteFirst) {
    std::array<uint16_t, 16> masks{};
    masks[0] = 0x8001;
    masks[2] = 0xFFFF;
    masks[7] = 0x1234;
    masks[8] = 0xABCD; // board 9 never goes out
    const std::vector<uint8_t> p = SetMaskPayload(std::span(masks).first<8>());
    ASSERT_EQ(p.size(), 16u);
    const std::vector<uint8_t> frame = Request(0x82, p);
    EXPECT_EQ(frame[2], 19);
    EXPECT_EQ(frame[3], 0x01);
    EXPECT_EQ(frame[4], 0x80);
    EXPECT_EQ(frame[7], 0xFF);
    EXPECT_EQ(frame[8], 0xFF);
    EXPECT_EQ(frame[17], 0x34);
    EXPECT_EQ(frame[18], 0x12);
    EXPECT_EQ(frame.size(), 20u);
}

TEST(RequestPayload, ValuesThatDoNotFitTheirFieldAreRefused) {
    EXPECT_EQ(DownloadPayload(0xFFFFFF, 0), Hex("FF FF FF 00 00 00"));
    EXPECT_EQ(DownloadPayload(0x010203, 0x040506), Hex("01 02 03 04 05 06"));
    EXPECT_EQ(SetPeriodPayload(255, 59), Hex("FF 3B"));
    EXPECT_EQ(SetGprsReportPayload(23, 59, 255), Hex("17 3B FF"));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::function<void()> build;
        const char* message;
    } cases[] = {
        {[] { SetPeriodPayload(256, 1); }, "Measure period hours 256 is out of range 0 to 255"},
        {[] { SetPeriodPayload(0, -1); }, "Measure period minutes -1 is out of range 0 to 255"},
        {[] { SetGprsReportPayload(-1, 0, 0); }, "Report hour -1 is out of range 0 to 255"},
        {[] { SetGprsReportPayload(0, 300, 0); }, "Report minute 300 is out of range 0 to 255"},
        {[] { SetGprsReportPayload(0, 0, 300); }, "Number of retries 300 is out of range 0 to 255"},
        {[=] { SetGprsReportPayload(0, 0, nan); },
         "Number of retries nan is out of range 0 to 255"},
        {[] { DownloadPayload(-1, 1); }, "First item -1 is out of range 0 to 16777215"},
        {[] { DownloadPayload(0, 0x1000000); }, "Amount 16777216 is out of range 0 to 16777215"},
        {[] { SetParamsPayload(-1, 1, 100, 1, false); },
         "Frequency -1 is out of range 0 to 499999.9702"},
        {[] { SetParamsPayload(500000, 1, 100, 1, false); },
         "Frequency 500000 is out of range 0 to 499999.9702"},
        {[] { SetParamsPayload(1000, 0, 100, 1, false); },
         "Voltage 0 is out of range 0.01953125 to 5"},
        {[] { SetParamsPayload(1000, 5.02, 100, 1, false); },
         "Voltage 5.02 is out of range 0.01953125 to 5"},
        {[] { SetParamsPayload(1000, 1, 25600, 1, false); },
         "Switch latency 25600 is out of range 0 to 25500"},
        {[] { SetParamsPayload(1000, 1, 100, 256, false); }, "Repeat 256 is out of range 0 to 255"},
        {[] { SetFreqParamsPayload(1e30, 100, 2, 1, 1, 1, 1, false); },
         "Begin frequency 1e+30 is out of range 0 to 499999.9702"},
        {[] { SetFreqParamsPayload(100, -5, 2, 1, 1, 1, 1, false); },
         "End frequency -5 is out of range 0 to 499999.9702"},
        {[] { SetFreqParamsPayload(100, 100, 256, 1, 1, 1, 1, false); },
         "Step multiplier 256 is out of range 0 to 255.9960938"},
        {[] { SetFreqParamsPayload(100, 100, 2, 9, 1, 1, 1, false); },
         "Voltage 9 is out of range 0.01953125 to 5"},
        {[] { SetFreqParamsPayload(100, 100, 2, 1, 0, 1, 1, false); },
         "Board 0 is out of range 1 to 256"},
        {[] { SetFreqParamsPayload(100, 100, 2, 1, 1, 257, 1, false); },
         "Channel 257 is out of range 1 to 256"},
        {[] { SetFreqParamsPayload(100, 100, 2, 1, 1, 1, -1, false); },
         "Repeat -1 is out of range 0 to 255"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FailureText(c.build), c.message);
}

TEST(RequestPayload, SetTimeTakesTheYearAsSixteenBitsAndNeedsARealDate) {
    EXPECT_EQ(SetTimePayload(2025, 2, 1, 7, 5, 9),
              (std::vector<uint8_t>{20, 25, 2, 1, 7, 7, 5, 9}));
    EXPECT_EQ(SetTimePayload(1999, 12, 31, 23, 59, 59),
              (std::vector<uint8_t>{19, 99, 12, 31, 6, 23, 59, 59}));
    EXPECT_EQ(SetTimePayload(9999, 1, 1, 0, 0, 0)[0], 99);
    EXPECT_EQ(FailureText([] { SetTimePayload(2024, 2, 31, 0, 0, 0); }),
              "Invalid argument to date encode");
}

TEST(RequestPayload, GprsNetTextFieldsAreCutAndClosed) {
    const QString apn40 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    const std::vector<uint8_t> p = SetGprsNetPayload(apn40, "192.168.100.200.77");
    ASSERT_EQ(p.size(), 48u);
    const std::vector<uint8_t> frame = Request(0x89, p);
    EXPECT_EQ(frame.size(), 52u);
    EXPECT_EQ(frame[2], 51);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(p.data()), 31), apn40.left(31).toLatin1());
    EXPECT_EQ(p[31], 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(p.data() + 32), 15), "192.168.100.200");
    EXPECT_EQ(p[47], 0);

    const std::vector<uint8_t> s = SetGprsNetPayload("inter\u00e9t", "1.2.3.4");
    EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.begin() + 7), Hex("69 6E 74 65 72 E9 74"));
    for (size_t i = 7; i < 32; ++i)
        EXPECT_EQ(s[i], 0) << i;
    EXPECT_EQ(std::vector<uint8_t>(s.begin() + 32, s.begin() + 39), Hex("31 2E 32 2E 33 2E 34"));
    for (size_t i = 39; i < 48; ++i)
        EXPECT_EQ(s[i], 0) << i;

    // What goes out reads back as the same texts.
    const GprsNetValues back = DecodeGprsNet(p.data());
    EXPECT_EQ(back.apn, apn40.left(31));
    EXPECT_EQ(back.serverIp, "192.168.100.200");
    EXPECT_EQ(SetGprsNetPayload("", ""), std::vector<uint8_t>(48, 0));
}
