// The receiver fed millions of bytes of good, damaged and random frames: it never dispatches a
// frame whose checksum or length is wrong, never lets its data index leave the data area, and
// never misses a good answer that follows a silence.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "LinkTestUtil.h"

namespace {

struct FuzzStats {
    long bytes = 0;
    long dispatched = 0;
    long cleanSent = 0;
};

} // namespace

TEST(FrameReceiverFuzz, RandomAndDamagedStreamsOnlyDispatchSoundFrames) {
    std::mt19937 rng(20240517);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    // On the heap so that a write past the receiver's object is caught by the address checker.
    auto rx = std::make_unique<FrameReceiver>();
    FuzzStats st;
    uint8_t lastByte = 0;
    std::vector<uint8_t> lastFrame;
    rx->onFrame = [&] {
        ++st.dispatched;
        ASSERT_GE(rx->RxLength, 3);
        ASSERT_LE(rx->RxLength, frame::MaxLength);
        ASSERT_EQ(rx->RxCount, rx->RxLength == 3 ? 0 : rx->RxLength - 3);
        const std::vector<uint8_t> data(rx->RxData.begin(),
                                        rx->RxData.begin() + (rx->RxLength - 3));
        lastFrame = frame::Build(frame::AnswerStart, rx->RxCmd, data);
        ASSERT_EQ(lastFrame.back(), lastByte) << "dispatched with a wrong checksum";
    };
    rx->onError = [](FrameError, const QString&) {};

    auto feed = [&](const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes) {
            lastByte = b;
            rx->Receive(b);
            ++st.bytes;
            ASSERT_GE(rx->RxCount, 0);
            ASSERT_LE(rx->RxCount, frame::MaxLength - 3);
            ASSERT_LE(rx->RxState, 4);
        }
    };
    auto randomFrame = [&] {
        std::vector<uint8_t> data(static_cast<size_t>(rnd(0, frame::MaxLength - 3)));
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(rnd(0, 255));
        return frame::Build(frame::AnswerStart, static_cast<uint8_t>(rnd(0, 255)), data);
    };

    while (st.bytes < 2'500'000) {
        std::vector<uint8_t> f = randomFrame();
        switch (rnd(0, 5)) {
        case 0: { // a good frame after a silence must come through whole
            for (int i = 0; i < frame::IdleLimitTicks + 1; ++i)
                rx->Tick();
            const long before = st.dispatched;
            feed(f);
            ++st.cleanSent;
            ASSERT_EQ(st.dispatched, before + 1);
            ASSERT_EQ(lastFrame, f);
            break;
        }
        case 1: // one byte changed
            f[static_cast<size_t>(rnd(0, static_cast<int>(f.size()) - 1))] ^=
                static_cast<uint8_t>(rnd(1, 255));
            feed(f);
            break;
        case 2: // cut short
            f.resize(static_cast<size_t>(rnd(1, static_cast<int>(f.size()))));
            feed(f);
            break;
        case 3: // a wild length byte, 0..255
            f[2] = static_cast<uint8_t>(rnd(0, 255));
            feed(f);
            break;
        case 4: { // noise rich in start bytes
            std::vector<uint8_t> noise(static_cast<size_t>(rnd(1, 150)));
            for (uint8_t& b : noise)
                b = rnd(0, 3) == 0 ? frame::AnswerStart : static_cast<uint8_t>(rnd(0, 255));
            feed(noise);
            break;
        }
        default: // good frame straight after whatever came before
            feed(f);
            break;
        }
        if (HasFatalFailure())
            return;
        if (rnd(0, 20) == 0)
            for (int i = rnd(0, 40); i > 0; --i)
                rx->Tick();
    }
    EXPECT_GT(st.cleanSent, 1000);
    EXPECT_GT(st.dispatched, st.cleanSent);
}
