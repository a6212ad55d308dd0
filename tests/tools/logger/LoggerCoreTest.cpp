// Request handling of the logger: every request frame in, the answers the console expects out.
#include <gtest/gtest.h>

#include "LoggerTestUtil.h"
#include "link/Encodings.h"
#include "records/MeasDecode.h"

using logger::ReportBatch;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Be24(uint32_t v) {
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

Bytes DownloadPayload(uint32_t first, uint32_t amount) {
    Bytes p = Be24(first);
    Bytes a = Be24(amount);
    p.insert(p.end(), a.begin(), a.end());
    return p;
}

uint32_t CounterOf(const Bytes& m) {
    return m[10] | (m[11] << 8) | (m[12] << 16);
}

// Selects only the given channels (bit masks) of boards 1 and up.
void SetMasks(CoreRig& rig, std::initializer_list<uint16_t> masks) {
    Bytes p(16, 0);
    size_t i = 0;
    for (uint16_t m : masks) {
        p[2 * i] = static_cast<uint8_t>(m);
        p[2 * i + 1] = static_cast<uint8_t>(m >> 8);
        ++i;
    }
    rig.Request(Request::SetMask, p);
}

} // namespace

TEST(LoggerCore, VersionAnswerIsThreeTwo) {
    CoreRig rig;
    auto a = rig.Request(Request::GetVersion);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].code, 255);
    EXPECT_EQ(a[0].data, (Bytes{3, 2}));
}

TEST(LoggerCore, EverySetIsAnsweredAndReadBackAsSet) {
    struct Case {
        Request set, get;
        uint8_t answer;
        Bytes payload, expected;
    };
    std::string apn40(40, 'a');
    Bytes net(48, 0xEE); // bytes after the zero byte carry no meaning
    std::copy(apn40.begin(), apn40.end(), net.begin());
    std::string ip = "10.1.2.3";
    std::copy(ip.begin(), ip.end(), net.begin() + 32);
    net[32 + ip.size()] = 0;
    Bytes netExpected(48, 0);
    std::fill(netExpected.begin(), netExpected.begin() + 31, 'a');
    std::copy(ip.begin(), ip.end(), netExpected.begin() + 32);

    const Case cases[] = {
        {Request::SetPeriod, Request::GetPeriod, 254, {2, 30}, {2, 30}},
        {Request::SetParams,
         Request::GetParams,
         253,
         {0x00, 0x83, 0x12, 0x04, 0x03, 0x05, 0xFF},
         {0x00, 0x83, 0x12, 0x04, 0x03, 0x05, 0xFF}},
        {Request::SetFreqParams,
         Request::GetFreqParams,
         247,
         {0x00, 0x0D, 0x1B, 0x0A, 0x3D, 0x71, 0x02, 0x00, 0x04, 0x02, 0x05, 0x01, 0x00},
         {0x00, 0x0D, 0x1B, 0x0A, 0x3D, 0x71, 0x02, 0x00, 0x04, 0x02, 0x05, 0x01, 0x00}},
        {Request::SetGprsReport, Request::GetGprsReport, 249, {6, 45, 2}, {6, 45, 2}},
        {Request::SetGprsNet, Request::GetGprsNet, 250, net, netExpected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int{CodeOf(c.set)});
        CoreRig rig;
        auto ack = rig.Request(c.set, c.payload);
        ASSERT_EQ(ack.size(), 1u);
        EXPECT_EQ(ack[0].code, c.answer);
        EXPECT_EQ(ack[0].data, c.expected);
        auto read = rig.Request(c.get);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].code, 255 - CodeOf(c.get));
        EXPECT_EQ(read[0].code, c.answer);
        EXPECT_EQ(read[0].data, c.expected);
    }
}

TEST(LoggerCore, GprsNetFieldsKeepShortTextsAndZeroTheRest) {
    CoreRig rig;
    Bytes net(48, 0);
    std::string apn = "web.example";
    std::copy(apn.begin(), apn.end(), net.begin());
    std::string ip = "192.168.100.200"; // 15 characters: the whole field but its zero byte
    std::copy(ip.begin(), ip.end(), net.begin() + 32);
    rig.Request(Request::SetGprsNet, net);
    EXPECT_EQ(rig.core.Settings().apn, apn);
    EXPECT_EQ(rig.core.Settings().serverIp, ip);
    auto a = rig.Request(Request::GetGprsNet);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(a[0].data.size(), 48u);
    EXPECT_EQ(a[0].data, net);
}

TEST(LoggerCore, SetMaskSetsBoardsOneToEightAndGetMaskAnswersSixteen) {
    CoreRig rig;
    auto before = rig.Request(Request::GetMask);
    ASSERT_EQ(before.size(), 1u);
    ASSERT_EQ(before[0].data.size(), 32u);
    EXPECT_EQ(before[0].data[0], 0x0F); // the fresh logger's channels 1 to 4 of board 1
    EXPECT_EQ(before[0].data[1], 0x00);

    Bytes p;
    for (int board = 0; board < 8; ++board) {
        p.push_back(static_cast<uint8_t>(0x01 + board)); // low byte first
        p.push_back(static_cast<uint8_t>(0x80 | board));
    }
    auto ack = rig.Request(Request::SetMask, p);
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].code, 252);
    auto read = rig.Request(Request::GetMask);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_EQ(read[0].data.size(), 32u);
    for (int board = 0; board < 8; ++board) {
        EXPECT_EQ(rig.core.Settings().masks[board], ((0x80 | board) << 8) | (0x01 + board));
        EXPECT_EQ(read[0].data[2 * board], p[2 * board]);
        EXPECT_EQ(read[0].data[2 * board + 1], p[2 * board + 1]);
    }
    for (int board = 8; board < 16; ++board) {
        EXPECT_EQ(read[0].data[2 * board], 0);
        EXPECT_EQ(read[0].data[2 * board + 1], 0);
    }
    EXPECT_EQ(ack[0].data, read[0].data);
}

TEST(LoggerCore, ClockRunsFromSetTimeAtItsSpeed) {
    CoreRig rig(10.0);
    // 24 December 2024 15:30:00, a Tuesday.
    auto ack = rig.Request(Request::SetTime, {20, 24, 12, 24, 3, 15, 30, 0});
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].code, 251);
    EXPECT_EQ(ack[0].data, (Bytes{0, 30, 15, 3, 24, 12, 24, 20}));

    rig.realMs += 6500; // 65 seconds on a clock ten times faster
    auto read = rig.Request(Request::GetTime);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].code, 251);
    EXPECT_EQ(read[0].data, (Bytes{5, 31, 15, 3, 24, 12, 24, 20}));

    // Across midnight and the year's end: 31 December 2099 23:59:59 + 2 s is
    // 1 January 2100, a Friday.
    rig.Request(Request::SetTime, {20, 99, 12, 31, 1, 23, 59, 59});
    rig.realMs += 200;
    read = rig.Request(Request::GetTime);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].data, (Bytes{1, 0, 0, 6, 1, 1, 0, 21}));
}

TEST(LoggerCore, ImpossibleSetTimeLeavesTheClockRunning) {
    CoreRig rig;
    rig.Request(Request::SetTime, {20, 25, 2, 1, 7, 7, 5, 9});
    const Bytes bad[] = {
        {20, 25, 13, 1, 1, 7, 5, 9}, // month 13
        {20, 25, 2, 30, 1, 7, 5, 9}, // 30 February
        {20, 25, 2, 1, 1, 24, 5, 9}, // hour 24
        {0, 0, 1, 1, 1, 0, 0, 0},    // year 0
        {20, 25, 2, 1, 1, 7, 60, 9}, // minute 60
    };
    for (const Bytes& p : bad) {
        auto a = rig.Request(Request::SetTime, p);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0].data, (Bytes{9, 5, 7, 7, 1, 2, 25, 20}));
    }
    EXPECT_EQ(rig.core.Clock().Now(), logger::CalendarTime(2025, 2, 1, 7, 5, 9));
}

TEST(LoggerCore, MeasuringSendsAndStoresEverySelectedChannel) {
    CoreRig rig;
    rig.Request(Request::SetTime, {20, 24, 3, 17, 1, 8, 0, 0});
    SetMasks(rig, {0x8001, 0x0000, 0x0010});

    rig.core.MeasureCycle(); // not started: nothing
    EXPECT_EQ(rig.answers.frames.size(), 2u);

    auto start = rig.Request(Request::StartMeasure);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0].code, 124);
    EXPECT_EQ(start[0].data, Bytes{1});
    EXPECT_TRUE(rig.core.Measuring());

    size_t before = rig.answers.frames.size();
    rig.core.MeasureCycle();
    rig.realMs += 60000;
    rig.core.MeasureCycle();
    std::vector<AnswerFrame> m(rig.answers.frames.begin() + static_cast<std::ptrdiff_t>(before),
                               rig.answers.frames.end());
    ASSERT_EQ(m.size(), 6u);
    const int boards[] = {0, 0, 2, 0, 0, 2};
    const int channels[] = {0, 15, 4, 0, 15, 4};
    for (size_t i = 0; i < m.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m[i].code, 5);
        ASSERT_EQ(m[i].data.size(), 13u);
        DecodedMeasurement d = DecodeMeasurement(m[i].data.data(), 2024);
        EXPECT_EQ(Plain(d.record).Board, boards[i]);
        EXPECT_EQ(Plain(d.record).Channel, channels[i]);
        EXPECT_EQ(Plain(d.record).Counter, static_cast<int>(i + 1));
        EXPECT_EQ(d.values.day, 17);
        EXPECT_EQ(d.values.month, 3);
        EXPECT_EQ(d.values.hour, 8);
        EXPECT_EQ(d.values.minute, i < 3 ? 0 : 1);
        EXPECT_EQ(m[i].data, Bytes(rig.core.Memory()[i].begin(), rig.core.Memory()[i].end()));
    }

    auto size = rig.Request(Request::GetDataSize);
    ASSERT_EQ(size.size(), 1u);
    EXPECT_EQ(size[0].code, 121);
    EXPECT_EQ(size[0].data, (Bytes{0, 0, 6}));

    auto stop = rig.Request(Request::StopMeasure);
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0].code, 124);
    EXPECT_EQ(stop[0].data, Bytes{0});
    before = rig.answers.frames.size();
    rig.core.MeasureCycle();
    EXPECT_EQ(rig.answers.frames.size(), before);
}

TEST(LoggerCore, DownloadSendsTheAskedRangeOfStoredItems) {
    CoreRig rig;
    SetMasks(rig, {0x0007}); // three channels a cycle
    rig.Request(Request::StartMeasure);
    for (int i = 0; i < 4; ++i)
        rig.core.MeasureCycle();
    ASSERT_EQ(rig.core.Memory().size(), 12u);

    struct Case {
        uint32_t first, amount;
        std::vector<uint32_t> counters;
    };
    const Case cases[] = {
        {2, 3, {2, 3, 4}},
        {1, 1, {1}},
        {11, 100, {11, 12}},      // beyond the end: only what exists
        {13, 5, {}},              // nothing from there on
        {5, 0, {}},               // no items asked
        {0, 2, {1, 2}},           // item 0 is taken as the first
        {0xFFFFFF, 0xFFFFFF, {}}, // the largest numbers the request can carry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << "+" << c.amount);
        auto a = rig.Request(Request::Download, DownloadPayload(c.first, c.amount));
        ASSERT_EQ(a.size(), c.counters.size());
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].code, 120);
            ASSERT_EQ(a[i].data.size(), 13u);
            EXPECT_EQ(CounterOf(a[i].data), c.counters[i]);
            const auto& stored = rig.core.Memory()[c.counters[i] - 1];
            EXPECT_EQ(a[i].data, Bytes(stored.begin(), stored.end()));
        }
    }
}

TEST(LoggerCore, ClearMemoryEmptiesItAndRestartsTheCounter) {
    CoreRig rig;
    rig.Request(Request::StartMeasure);
    rig.core.MeasureCycle();
    ASSERT_EQ(rig.core.Memory().size(), 4u);
    auto cleared = rig.Request(Request::ClearMemory);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared[0].code, 122);
    EXPECT_TRUE(cleared[0].data.empty());
    auto size = rig.Request(Request::GetDataSize);
    ASSERT_EQ(size.size(), 1u);
    EXPECT_EQ(size[0].data, (Bytes{0, 0, 0}));
    EXPECT_TRUE(rig.Request(Request::Download, DownloadPayload(1, 10)).empty());
    rig.core.MeasureCycle();
    ASSERT_EQ(rig.core.Memory().size(), 4u);
    EXPECT_EQ(CounterOf(Bytes(rig.core.Memory()[0].begin(), rig.core.Memory()[0].end())), 1u);
    EXPECT_TRUE(rig.core.Measuring()); // clearing does not stop measuring
}

TEST(LoggerCore, SweepSendsOnePointPerFrequencyStep) {
    struct Case {
        double beginHz, endHz, multiplier;
        std::vector<uint32_t> codes;
    };
    const Case cases[] = {
        {100, 20000, 2.0, {3355, 6710, 13420, 26840, 53680, 107360, 214720, 429440}},
        {1000, 1000, 2.0, {33554}},
        {1000, 9000, 3.0, {33554, 100662, 301986}},
        {1000, 20000, 1.0, {33554}}, // a multiplier that does not raise the frequency
        {1000, 20000, 0.5, {33554}},
        {5000, 1000, 2.0, {}}, // begin above end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.beginHz << ".." << c.endHz << " x" << c.multiplier);
        CoreRig rig;
        Bytes p = Be24(enc::FrequencyCode(c.beginHz));
        Bytes e = Be24(enc::FrequencyCode(c.endHz));
        p.insert(p.end(), e.begin(), e.end());
        uint16_t mult = static_cast<uint16_t>(enc::MultiplierCode(c.multiplier));
        p.insert(p.end(),
                 {static_cast<uint8_t>(mult >> 8), static_cast<uint8_t>(mult), 4, 2, 9, 1, 0});
        rig.Request(Request::SetFreqParams, p);
        auto points = rig.Request(Request::StartFreqMeasure);
        ASSERT_EQ(points.size(), c.codes.size());
        for (size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(points[i].code, 6);
            ASSERT_EQ(points[i].data.size(), 10u);
            MeasValues v = DecodeSweepPoint(points[i].data.data());
            EXPECT_EQ(v.SweepFreqCode, static_cast<int32_t>(c.codes[i]));
            EXPECT_EQ(v.board, 2);
            EXPECT_EQ(v.channel, 9);
        }
    }
}

TEST(LoggerCore, ForcedReportIsAnsweredAndRequested) {
    CoreRig rig;
    auto a = rig.Request(Request::ForceGprsReport);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].code, 248);
    EXPECT_TRUE(a[0].data.empty());
    EXPECT_EQ(rig.reportRequests, 1);
}

TEST(LoggerCore, ReportBatchesHoldNewItemsAsReportItems) {
    CoreRig rig;
    rig.Request(Request::StartMeasure);
    rig.core.MeasureCycle();
    ReportBatch first = rig.core.PrepareReport(false);
    ASSERT_EQ(first.items, 4);
    ASSERT_EQ(first.bytes.size(), 44);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(static_cast<uint8_t>(first.bytes[i * 11]), 0xA5);
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(static_cast<uint8_t>(first.bytes[i * 11 + 1 + k]),
                      rig.core.Memory()[static_cast<size_t>(i)][static_cast<size_t>(k)]);
    }
    // Not yet delivered: the next report holds the same items and the new ones.
    rig.core.MeasureCycle();
    EXPECT_EQ(rig.core.PrepareReport(false).items, 8);
    rig.core.MarkReported(first);
    ReportBatch second = rig.core.PrepareReport(false);
    EXPECT_EQ(second.items, 4);
    EXPECT_EQ(second.bytes, rig.core.PrepareReport(true).bytes.mid(44));
    EXPECT_EQ(rig.core.PrepareReport(true).items, 8);

    // A batch taken before the memory was cleared marks nothing afterwards.
    rig.Request(Request::ClearMemory);
    rig.core.MeasureCycle();
    rig.core.MeasureCycle();
    rig.core.MarkReported(second);
    EXPECT_EQ(rig.core.PrepareReport(false).items, 8);
}

TEST(LoggerCore, BadRequestsAreIgnored) {
    CoreRig rig;
    // Unknown codes, and set requests too short for their payload.
    EXPECT_TRUE(rig.Request(9).empty());
    EXPECT_TRUE(rig.Request(127).empty());
    EXPECT_TRUE(rig.Request(141).empty());
    EXPECT_TRUE(rig.Request(Request::SetPeriod, {5}).empty());
    EXPECT_TRUE(rig.Request(Request::SetMask, Bytes(15, 0xFF)).empty());
    EXPECT_TRUE(rig.Request(Request::SetGprsNet, Bytes(47, 'x')).empty());
    EXPECT_TRUE(rig.Request(Request::Download, {0, 0, 1}).empty());
    EXPECT_EQ(rig.core.Settings().periodMinutes, 1);
    EXPECT_EQ(rig.core.Settings().masks[0], 0x000F);

    // A request with a broken checksum, then a good one.
    Bytes broken = frame::Build(frame::RequestStart, CodeOf(Request::GetVersion), {});
    broken.back() ^= 0x55;
    for (uint8_t b : broken)
        rig.core.Receive(b);
    EXPECT_TRUE(rig.log.contains("CRC error"));
    EXPECT_TRUE(rig.answers.frames.empty());
    auto a = rig.Request(Request::GetPeriod);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].code, 254);
}

TEST(LoggerCore, NoiseBetweenRequestsIsSkipped) {
    CoreRig rig;
    for (uint8_t b : Bytes{0x00, 0x5A, 0xFF, 0x13})
        rig.core.Receive(b);
    auto a = rig.Request(Request::GetVersion);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].code, 255);
}

TEST(LoggerCore, PeriodLengthFollowsSetPeriod) {
    CoreRig rig;
    EXPECT_EQ(rig.core.PeriodMs(), 60000);
    rig.Request(Request::SetPeriod, {1, 30});
    EXPECT_EQ(rig.core.PeriodMs(), 90 * 60000);
    rig.Request(Request::SetPeriod, {0, 0}); // no period at all still measures once a minute
    EXPECT_EQ(rig.core.PeriodMs(), 60000);
    rig.Request(Request::SetPeriod, {255, 59});
    EXPECT_EQ(rig.core.PeriodMs(), (255 * 60 + 59) * int64_t{60000});
}

TEST(LoggerCore, DailyReportComesOnceWhenTheClockPassesItsTime) {
    CoreRig rig(60.0);
    rig.Request(Request::SetGprsReport, {12, 0, 1});
    rig.Request(Request::SetTime, {20, 24, 6, 1, 7, 11, 58, 0});
    rig.core.CheckDailyReport();
    rig.realMs += 1000; // 11:59
    rig.core.CheckDailyReport();
    EXPECT_EQ(rig.reportRequests, 0);
    rig.realMs += 1000; // 12:00
    rig.core.CheckDailyReport();
    EXPECT_EQ(rig.reportRequests, 1);
    rig.realMs += 1000;
    rig.core.CheckDailyReport();
    EXPECT_EQ(rig.reportRequests, 1);
    rig.realMs += 24 * 60 * 1000; // a day later
    rig.core.CheckDailyReport();
    EXPECT_EQ(rig.reportRequests, 2);

    // Setting the clock past the report time is no reason to report.
    rig.Request(Request::SetTime, {20, 24, 6, 5, 4, 13, 0, 0});
    rig.core.CheckDailyReport();
    EXPECT_EQ(rig.reportRequests, 2);
}
