// The equivalent-circuit fit of one sweep: 1,000 points (far more than the logger sends), and
// 56, the finest sweep the console's controls ask for (100 Hz to 20 kHz by 1.1).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "sweep/CircuitFit.h"

namespace {

// An electrode's spectrum with 0.02 % noise on R and X, as the emulator measures it at 0.1 V.
std::vector<ImpedanceSample> NoisySpectrum(int points) {
    const CircuitParams electrode{1200, 8800, 3e-7, 0.75};
    std::vector<ImpedanceSample> samples = CircuitCurve(electrode, 100, 20000, points);
    std::mt19937_64 rng(5);
    std::normal_distribution<double> noise(0.0, 2e-4);
    for (ImpedanceSample& s : samples)
        s.z = {s.z.real() * (1 + noise(rng)), s.z.imag() * (1 + noise(rng))};
    return samples;
}

void BM_FitSweep(benchmark::State& state) {
    const std::vector<ImpedanceSample> samples = NoisySpectrum(static_cast<int>(state.range(0)));
    int iterations = 0;
    for (auto _ : state) {
        const Result<CircuitFit> fit = FitCircuit(samples);
        if (!fit) {
            state.SkipWithError(fit.error().text.toUtf8().constData());
            break;
        }
        iterations = fit->iterations;
        benchmark::DoNotOptimize(fit->params.n);
    }
    state.counters["solver_iterations"] = iterations;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_FitSweep)->Arg(56)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
