// The answers' data as values for the console's controls.
#include <gtest/gtest.h>

#include "LinkTestUtil.h"
#include "link/AnswerDecode.h"

namespace {

// Answer data in a data area as large as the receiver's, zeros after the given bytes.
std::array<uint8_t, 128> Data(const std::string& hex) {
    std::array<uint8_t, 128> d{};
    const std::vector<uint8_t> b = Hex(hex);
    std::copy(b.begin(), b.end(), d.begin());
    return d;
}

} // namespace

TEST(AnswerDecode, ClockAnswerInTheOperatorsFormats) {
    const FormatSettings dotted; // dd.MM.yyyy, hh:mm:ss
    auto d = Data("05 04 03 02 01 0C 18 14");
    EXPECT_EQ(ClockAnswerText(d.data(), dotted), "01.12.2024 - 03:04:05");
    FormatSettings iso;
    iso.shortDateFormat = "yyyy-MM-dd";
    iso.longTimeFormat = "H.mm.ss";
    EXPECT_EQ(ClockAnswerText(d.data(), iso), "2024-12-01 - 3.04.05");
    // Month first with points would be read back as day first: the dotted form is shown instead.
    FormatSettings monthFirst;
    monthFirst.shortDateFormat = "MM.dd.yyyy";
    EXPECT_EQ(ClockAnswerText(d.data(), monthFirst), "01.12.2024 - 03:04:05");

    // Each impossible field alone makes it "unknown".
    struct Bad {
        int index;
        uint8_t value;
    };
    for (const Bad b :
         {Bad{5, 13}, Bad{5, 0}, Bad{4, 0}, Bad{4, 32}, Bad{2, 24}, Bad{1, 60}, Bad{0, 60}}) {
        auto bad = d;
        bad[static_cast<size_t>(b.index)] = b.value;
        EXPECT_EQ(ClockAnswerText(bad.data(), dotted), "unknown") << b.index << "=" << int(b.value);
    }
    EXPECT_EQ(ClockAnswerText(Data("00 00 00 00 01 01 00 00").data(), dotted), "unknown");
    // 31 November, 29 February of 2023 and 2024, year 99 * 100 + 99 and beyond.
    EXPECT_EQ(ClockAnswerText(Data("00 00 00 00 1F 0B 18 14").data(), dotted), "unknown");
    EXPECT_EQ(ClockAnswerText(Data("00 00 00 00 1D 02 17 14").data(), dotted), "unknown");
    EXPECT_EQ(ClockAnswerText(Data("00 00 00 00 1D 02 18 14").data(), dotted),
              "29.02.2024 - 00:00:00");
    EXPECT_EQ(ClockAnswerText(Data("3B 3B 17 07 1F 0C 63 63").data(), dotted),
              "31.12.9999 - 23:59:59");
    EXPECT_EQ(ClockAnswerText(Data("00 00 00 00 01 01 00 64").data(), dotted), "unknown");
}

TEST(AnswerDecode, GprsNetTextsEndAtByte31And47) {
    auto d = Data("");
    const QByteArray apn40 = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    std::copy(apn40.begin(), apn40.end(), d.begin());
    // The server address runs on from byte 32 without a zero up to byte 47 and beyond.
    for (size_t i = 40; i < 60; ++i)
        d[i] = static_cast<uint8_t>('0' + i % 10);
    const GprsNetValues v = DecodeGprsNet(d.data());
    EXPECT_EQ(v.apn, "abcdefghijklmnopqrstuvwxyz01234");
    EXPECT_EQ(v.serverIp, "6789ABCD0123456");

    auto e = Data("61 70 6E 00 7A 7A");
    e[32] = 0xE9;
    e[33] = '1';
    const GprsNetValues w = DecodeGprsNet(e.data());
    EXPECT_EQ(w.apn, "apn");
    EXPECT_EQ(w.serverIp, "\u00e91");
    EXPECT_EQ(DecodeGprsNet(Data("").data()).apn, "");
}

TEST(AnswerDecode, ParameterAnswers) {
    // The bytes of the described SetFreqParams request, as the logger echoes them.
    const FreqParamsValues f =
        DecodeFreqParams(Data("00 0D 1B 0A 3D 71 02 00 04 00 00 01 00").data());
    EXPECT_NEAR(f.begFreqHz, 99.99, 0.005);
    EXPECT_NEAR(f.endFreqHz, 20000.01, 0.005);
    EXPECT_DOUBLE_EQ(f.multiplier, 2.0);
    EXPECT_NEAR(f.volts, 0.098, 0.0005);
    EXPECT_EQ(f.board, 1);
    EXPECT_EQ(f.channel, 1);
    EXPECT_EQ(f.repeat, 1);
    EXPECT_FALSE(f.twoElectrodes);
    const FreqParamsValues g =
        DecodeFreqParams(Data("00 00 00 00 00 00 0A 00 FF 07 0F FF 01").data());
    EXPECT_DOUBLE_EQ(g.multiplier, 10.0);
    EXPECT_DOUBLE_EQ(g.volts, 5.0);
    EXPECT_EQ(g.board, 8);
    EXPECT_EQ(g.channel, 16);
    EXPECT_EQ(g.repeat, 255);
    EXPECT_TRUE(g.twoElectrodes);

    const ParamsValues p = DecodeParams(Data("00 83 12 04 03 05 FF").data());
    EXPECT_NEAR(p.freqHz, 999.99, 0.005);
    EXPECT_NEAR(p.volts, 0.098, 0.0005);
    EXPECT_DOUBLE_EQ(p.latencyMs, 300.0);
    EXPECT_EQ(p.repeat, 5);
    EXPECT_TRUE(p.twoElectrodes);
    EXPECT_FALSE(DecodeParams(Data("00 83 12 04 03 05 00").data()).twoElectrodes);

    const PeriodValues per = DecodePeriod(Data("02 1E").data());
    EXPECT_EQ(per.hours, 2);
    EXPECT_EQ(per.minutes, 30);
    const ReportSettingsValues r = DecodeReportSettings(Data("17 3B FF").data());
    EXPECT_EQ(r.hour, 23);
    EXPECT_EQ(r.minute, 59);
    EXPECT_EQ(r.retries, 255);
}

TEST(AnswerDecode, MasksSizeVersionAndMeasureState) {
    auto d = Data("");
    for (size_t i = 0; i < 32; ++i)
        d[i] = static_cast<uint8_t>(i + 1);
    const std::array<uint16_t, 16> m = DecodeMasks(d.data());
    EXPECT_EQ(m[0], 0x0201);
    EXPECT_EQ(m[7], 0x100F);
    EXPECT_EQ(m[15], 0x201F);

    EXPECT_EQ(DecodeDataSize(Data("01 02 03").data()), 66051);
    EXPECT_EQ(DecodeDataSize(Data("FF FF FF").data()), 16777215);
    EXPECT_EQ(VersionText(Data("01 02").data()), "1.2");
    EXPECT_EQ(VersionText(Data("FF 0A").data()), "255.10");
    EXPECT_EQ(MeasureStateText(Data("00").data()), "Measure disabled");
    EXPECT_EQ(MeasureStateText(Data("01").data()), "Measure enabled");
    EXPECT_EQ(MeasureStateText(Data("FF").data()), "Measure enabled");
}
