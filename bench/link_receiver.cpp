// Answer frames received byte by byte and dispatched per second by the frame receiver.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "link/Frame.h"
#include "records/MeasDecode.h"

namespace {

constexpr int FramesPerStream = 4096;

// Download answers (code 120, thirteen data bytes), as a long download delivers them.
std::vector<uint8_t> DownloadStream() {
    std::vector<uint8_t> out;
    for (int i = 0; i < FramesPerStream; ++i) {
        const std::vector<uint8_t> data = {0x00,
                                           static_cast<uint8_t>(i % 16),
                                           0x21,
                                           0x30,
                                           0x39,
                                           0x80,
                                           0x00,
                                           0x3F,
                                           0x8C,
                                           0x72,
                                           static_cast<uint8_t>(i),
                                           static_cast<uint8_t>(i >> 8),
                                           0x00};
        const std::vector<uint8_t> f = frame::Build(frame::AnswerStart, 120, data);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

// Answers of every length the link allows, with a little noise between some of them.
std::vector<uint8_t> MixedStream() {
    std::mt19937 rng(7);
    std::vector<uint8_t> out;
    for (int i = 0; i < FramesPerStream; ++i) {
        std::vector<uint8_t> data(rng() % 98);
        for (uint8_t& b : data)
            b = static_cast<uint8_t>(rng());
        const std::vector<uint8_t> f =
            frame::Build(frame::AnswerStart, static_cast<uint8_t>(rng()), data);
        out.insert(out.end(), f.begin(), f.end());
        if (rng() % 8 == 0)
            out.push_back(0x00);
    }
    return out;
}

void Run(benchmark::State& state, const std::vector<uint8_t>& stream, bool decode) {
    FrameReceiver rx;
    int64_t frames = 0;
    int64_t checksum = 0;
    rx.onFrame = [&] {
        ++frames;
        if (decode) {
            const DecodedMeasurement m = DecodeMeasurement(rx.RxData.data(), 2024);
            checksum += m.record.Counter;
        } else {
            checksum += rx.RxCmd;
        }
    };
    rx.onError = [](FrameError, const QString&) {};
    for (auto _ : state) {
        for (uint8_t b : stream)
            rx.Receive(b);
        benchmark::DoNotOptimize(checksum);
    }
    state.SetItemsProcessed(frames);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}

void BM_ReceiveDownloadAnswers(benchmark::State& state) {
    Run(state, DownloadStream(), false);
}
void BM_ReceiveMixedAnswers(benchmark::State& state) {
    Run(state, MixedStream(), false);
}
void BM_ReceiveAndDecodeDownloadAnswers(benchmark::State& state) {
    Run(state, DownloadStream(), true);
}

} // namespace

BENCHMARK(BM_ReceiveDownloadAnswers);
BENCHMARK(BM_ReceiveMixedAnswers);
BENCHMARK(BM_ReceiveAndDecodeDownloadAnswers);
BENCHMARK_MAIN();
