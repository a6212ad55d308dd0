// The frame codec and the byte-by-byte receiver: layouts, checksums, lengths, idle rule.
#include <gtest/gtest.h>

#include <QStringList>

#include "LinkTestUtil.h"
#include "link/AnswerDecode.h"

namespace {

struct Frame {
    uint8_t cmd;
    int32_t length;
    std::vector<uint8_t> data;
};

// A receiver that records what it dispatches and reports.
struct Recorder {
    FrameReceiver rx;
    std::vector<Frame> frames;
    QStringList errors;
    Recorder() {
        rx.onFrame = [this] {
            frames.push_back(
                {rx.RxCmd, rx.RxLength,
                 std::vector<uint8_t>(rx.RxData.begin(), rx.RxData.begin() + (rx.RxLength - 3))});
        };
        rx.onError = [this](FrameError, const QString& m) { errors << m; };
    }
};

std::vector<uint8_t> Answer(uint8_t code, const std::vector<uint8_t>& data) {
    return frame::Build(frame::AnswerStart, code, data);
}

} // namespace

TEST(FrameCodec, ChecksumCoversTheStartByteAndRequestsUseTheSameLayout) {
    EXPECT_EQ(Answer(0xFF, {1, 2}), Hex("5A FF 05 01 02 A3"));
    EXPECT_EQ(frame::Build(frame::RequestStart, 0, {}), Hex("A5 00 03 A6"));
    EXPECT_EQ(frame::Build(frame::RequestStart, 1, {}), Hex("A5 01 03 A7"));
    EXPECT_EQ(Answer(0xFE, {2, 30}), Hex("5A FE 05 02 1E BD"));
    EXPECT_EQ(frame::Checksum({}), 0);
    const std::vector<uint8_t> some = {0x0F, 0xF0, 0x33};
    EXPECT_EQ(frame::Checksum(some), 0xCC);
}

TEST(FrameReceiver, DispatchesAGoodAnswerWithItsCodeLengthAndData) {
    Recorder r;
    Feed(r.rx, Hex("5A FE 05 02 1E BD"));
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].cmd, 0xFE);
    EXPECT_EQ(r.frames[0].length, 5);
    EXPECT_EQ(r.frames[0].data, Hex("02 1E"));
    const PeriodValues p = DecodePeriod(r.rx.RxData.data());
    EXPECT_EQ(p.hours, 2);
    EXPECT_EQ(p.minutes, 30);
    EXPECT_TRUE(r.errors.isEmpty());
    EXPECT_EQ(r.rx.RxState, 0);

    // The version answer with its checksum A3.
    Feed(r.rx, Hex("5A FF 05 01 02 A3"));
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(VersionText(r.rx.RxData.data()), "1.2");
}

TEST(FrameReceiver, ShortestAndLongestLengthsAreAccepted) {
    Recorder r;
    Feed(r.rx, Answer(7, {9, 8, 7}));
    // L = 3: straight from the length to the checksum; the data area keeps the earlier bytes.
    Feed(r.rx, Hex("5A 7A 03 23"));
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[1].cmd, 0x7A);
    EXPECT_EQ(r.frames[1].length, 3);
    EXPECT_EQ(r.rx.RxData[0], 9);
    EXPECT_EQ(r.rx.RxData[2], 7);

    std::vector<uint8_t> data(97);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::vector<uint8_t> longest = Answer(0x42, data);
    ASSERT_EQ(longest[2], 100);
    Feed(r.rx, longest);
    ASSERT_EQ(r.frames.size(), 3u);
    EXPECT_EQ(r.frames[2].length, 100);
    EXPECT_EQ(r.frames[2].data, data);
    EXPECT_TRUE(r.errors.isEmpty());
}

TEST(FrameReceiver, TooLongAnswerIsReportedAndSkippedToTheNextStartByte) {
    Recorder r;
    // L = 101, then bytes that would make a frame if they were not skipped.
    std::vector<uint8_t> stream = Hex("5A 01 65");
    for (uint8_t b : Hex("A5 01 03 A7 00 11 22 33"))
        stream.push_back(b);
    for (uint8_t b : Answer(0xFE, {4, 5}))
        stream.push_back(b);
    Feed(r.rx, stream);
    ASSERT_EQ(r.errors, QStringList{"data stream too long: 101"});
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].cmd, 0xFE);
    EXPECT_EQ(r.frames[0].data, Hex("04 05"));

    Feed(r.rx, Hex("5A 01 FF"));
    EXPECT_EQ(r.errors.last(), "data stream too long: 255");
}

TEST(FrameReceiver, StartByteInsideADroppedAnswerStartsANewOne) {
    Recorder r;
    // Dropped by its length: the 5A right after it begins the next answer.
    std::vector<uint8_t> stream = Hex("5A 10 C8");
    for (uint8_t b : Answer(0x79, {0, 0, 42}))
        stream.push_back(b);
    Feed(r.rx, stream);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0].cmd, 0x79);

    // Dropped by its checksum: likewise.
    std::vector<uint8_t> bad = Answer(0xFE, {1, 2});
    bad.back() ^= 0x01;
    for (uint8_t b : Answer(0xFF, {3, 4}))
        bad.push_back(b);
    Feed(r.rx, bad);
    EXPECT_EQ(r.errors, (QStringList{"data stream too long: 200", "CRC error"}));
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[1].cmd, 0xFF);
    EXPECT_EQ(r.frames[1].data, Hex("03 04"));
}

TEST(FrameReceiver, LengthsBelowTheHeaderAreDroppedSilently) {
    for (uint8_t length : {0, 1, 2}) {
        Recorder r;
        std::vector<uint8_t> stream = {0x5A, 0x01, length};
        // Bytes that a receiver stuck in the data state would swallow.
        for (int i = 0; i < 200; ++i)
            stream.push_back(0x11);
        for (uint8_t b : Answer(0xFE, {6, 7}))
            stream.push_back(b);
        Feed(r.rx, stream);
        EXPECT_TRUE(r.errors.isEmpty()) << int(length);
        ASSERT_EQ(r.frames.size(), 1u) << int(length);
        EXPECT_EQ(r.frames[0].data, Hex("06 07"));
    }
}

TEST(FrameReceiver, ShortPauseKeepsAnAnswerLongPauseAbandonsIt) {
    const std::vector<uint8_t> answer = Answer(0xFE, {2, 30});
    struct Case {
        int ticks;
        bool kept;
    };
    for (const Case c : {Case{10, true}, Case{20, true}, Case{21, false}, Case{30, false}}) {
        Recorder r;
        Feed(r.rx, {answer.begin(), answer.begin() + 3});
        for (int i = 0; i < c.ticks; ++i)
            r.rx.Tick();
        Feed(r.rx, {answer.begin() + 3, answer.end()});
        EXPECT_EQ(r.frames.size(), c.kept ? 1u : 0u) << c.ticks << " ticks";
        // The abandoned part is reported once, so the operator learns of the bad line.
        EXPECT_EQ(r.errors, c.kept ? QStringList() : QStringList{"answer broken off"})
            << c.ticks << " ticks";
        EXPECT_EQ(r.rx.IdleTicks, 0);
        // After a long pause the receiver hunts again and takes the next whole answer.
        Feed(r.rx, answer);
        EXPECT_EQ(r.frames.size(), c.kept ? 2u : 1u) << c.ticks << " ticks";
    }

    // An abandoned answer starts over with the byte after the pause when that byte is 5A.
    Recorder r;
    Feed(r.rx, Hex("5A FE 05 02"));
    for (int i = 0; i < 30; ++i)
        r.rx.Tick();
    Feed(r.rx, answer);
    EXPECT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.errors, QStringList{"answer broken off"});
    // A silence between answers abandons nothing and reports nothing.
    for (int i = 0; i < 30; ++i)
        r.rx.Tick();
    Feed(r.rx, answer);
    EXPECT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.errors.size(), 1);
}

TEST(FrameReceiver, FailureWhileActingLeavesTheReceiverHunting) {
    FrameReceiver rx;
    int calls = 0;
    rx.onFrame = [&] {
        ++calls;
        if (rx.RxCmd == 5)
            throw Failure("Invalid argument to date encode");
    };
    const std::vector<uint8_t> bad = Answer(5, {1});
    for (size_t i = 0; i + 1 < bad.size(); ++i)
        rx.Receive(bad[i]);
    EXPECT_THROW(rx.Receive(bad.back()), Failure);
    EXPECT_EQ(rx.RxState, 0);
    Feed(rx, Answer(0xFF, {1, 2}));
    EXPECT_EQ(calls, 2);
}

TEST(FrameReceiver, StateLeftOutOfRangeFromOutsideNeverWritesPastTheData) {
    FrameReceiver rx;
    int frames = 0;
    rx.onFrame = [&] { ++frames; };
    rx.RxState = 9;
    rx.Receive(0x5A);
    EXPECT_EQ(rx.RxState, 0);

    rx.RxState = 3;
    rx.RxLength = 100;
    rx.RxCount = 500;
    rx.Receive(0x33);
    EXPECT_EQ(rx.RxState, 0);
    rx.RxState = 3;
    rx.RxCount = -1;
    rx.Receive(0x33);
    EXPECT_EQ(rx.RxState, 0);
    Feed(rx, Answer(1, {2}));
    EXPECT_EQ(frames, 1);
}
