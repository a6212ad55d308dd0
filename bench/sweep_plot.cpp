// The sweep window's plots: a picture of one sweep of 1,000 points (what a new point costs
// when the window follows a running sweep), and of 100 such sweeps overlaid.
#include <benchmark/benchmark.h>
#include <cmath>

#include "link/Encodings.h"
#include "sweep/CircuitFit.h"
#include "sweep/SweepRecorder.h"
#include "widgets/SpectrumPlot.h"

namespace {
// `sweeps` sweeps of `points` points from 100 Hz up, each of an electrode of its own.
void Record(SweepRecorder& recorder, int sweeps, int points) {
    for (int s = 0; s < sweeps; ++s) {
        const CircuitParams electrode{100.0 + s, 900.0 + 5 * s, 2e-6, 0.8};
        recorder.StartSent();
        for (int i = 0; i < points; ++i) {
            const double hz = 100 * std::pow(200.0, static_cast<double>(i) / points);
            const std::complex<double> z = CircuitImpedance(electrode, hz);
            MeasValues v;
            v.Rx = z.real();
            v.Xx = z.imag();
            v.SweepFreqCode = static_cast<int32_t>(enc::FrequencyCode(hz));
            recorder.PointDecoded(v);
        }
    }
}

void BM_SweepPicture(benchmark::State& state) {
    const int sweeps = static_cast<int>(state.range(0));
    SweepRecorder recorder;
    Record(recorder, sweeps, 1000);
    SpectrumPlot plot;
    plot.resize(1100, 620);
    plot.SetRecorder(&recorder);
    std::vector<SpectrumPlot::Trace> traces;
    for (int s = 0; s < sweeps; ++s)
        traces.push_back(
            {s, QStringLiteral("sweep %1").arg(s + 1), QColor::fromHsv(s * 37 % 360, 200, 180)});
    plot.SetTraces(std::move(traces));
    for (auto _ : state)
        benchmark::DoNotOptimize(plot.Picture().constBits());
    state.counters["points"] = 1000.0 * sweeps;
}
BENCHMARK(BM_SweepPicture)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);
} // namespace
