// Deliberately spoilt answers, as the console's receiver sees them.
#include <gtest/gtest.h>

#include "LoggerTestUtil.h"
#include "tools/logger/FaultInjector.h"

using namespace logger;

namespace {

std::vector<uint8_t> SampleAnswer(uint8_t i) {
    const uint8_t data[] = {i, static_cast<uint8_t>(i * 3), 0x5A, 0xA5};
    return frame::Build(frame::AnswerStart, static_cast<uint8_t>(200 + i), data);
}

QByteArray Joined(const std::vector<OutputSegment>& segments) {
    QByteArray all;
    for (const OutputSegment& s : segments)
        all += s.bytes;
    return all;
}

void FeedAll(AnswerCollector& c, const QByteArray& bytes) {
    for (char b : bytes)
        c.rx.Receive(static_cast<uint8_t>(b));
}

} // namespace

TEST(FaultInjector, NoFaultsPassesAnswersUnchanged) {
    FaultInjector f({}, 1);
    std::vector<uint8_t> a = SampleAnswer(1);
    auto segments = f.Apply(a);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].pauseBeforeMs, 0);
    EXPECT_EQ(segments[0].bytes, QByteArray(reinterpret_cast<const char*>(a.data()), 8));
}

TEST(FaultInjector, EveryNthAnswerHasABadChecksum) {
    FaultOptions o;
    o.badChecksumEvery = 3;
    FaultInjector f(o, 1);
    AnswerCollector c;
    for (uint8_t i = 0; i < 9; ++i)
        FeedAll(c, Joined(f.Apply(SampleAnswer(i))));
    EXPECT_EQ(c.errors, QStringList({"CRC error", "CRC error", "CRC error"}));
    ASSERT_EQ(c.frames.size(), 6u);
    const uint8_t good[] = {0, 1, 3, 4, 6, 7};
    for (size_t k = 0; k < 6; ++k)
        EXPECT_EQ(c.frames[k].code, 200 + good[k]);
}

TEST(FaultInjector, NoiseWithoutStartBytesLeavesEveryAnswerReadable) {
    FaultOptions o;
    o.noiseBytes = 50;
    FaultInjector f(o, 99);
    AnswerCollector c;
    for (uint8_t i = 0; i < 40; ++i) {
        auto segments = f.Apply(SampleAnswer(i));
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_EQ(segments[0].bytes.size(), 50);
        EXPECT_FALSE(segments[0].bytes.contains(char(0x5A)));
        FeedAll(c, Joined(segments));
    }
    ASSERT_EQ(c.frames.size(), 40u);
    for (uint8_t i = 0; i < 40; ++i)
        EXPECT_EQ(c.frames[i].data,
                  (std::vector<uint8_t>{i, static_cast<uint8_t>(i * 3), 0x5A, 0xA5}));
}

TEST(FaultInjector, NoiseMayHoldStartBytesWhenAsked) {
    FaultOptions o;
    o.noiseBytes = 2000;
    o.noiseMayStartFrame = true;
    FaultInjector f(o, 3);
    auto segments = f.Apply(SampleAnswer(0));
    ASSERT_EQ(segments[0].bytes.size(), 2000);
    EXPECT_TRUE(segments[0].bytes.contains(char(0x5A)));
}

TEST(FaultInjector, PauseSplitsEachAnswerAfterItsFirstHalf) {
    FaultOptions o;
    o.pauseMs = 250;
    FaultInjector f(o, 1);
    std::vector<uint8_t> a = SampleAnswer(2);
    auto segments = f.Apply(a);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].pauseBeforeMs, 0);
    EXPECT_EQ(segments[0].bytes.size(), 4);
    EXPECT_EQ(segments[1].pauseBeforeMs, 250);
    EXPECT_EQ(Joined(segments), QByteArray(reinterpret_cast<const char*>(a.data()), 8));
}
