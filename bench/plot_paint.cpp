// The preview plot with a large buffer: a full paint, and live items as they arrive.
#include <benchmark/benchmark.h>
#include <cmath>

#include "buffer/RecordStream.h"
#include "widgets/PreviewPlot.h"

namespace {
TMeasRecord Item(int64_t i) {
    TMeasRecord r;
    r.Board = static_cast<int32_t>((i / 16) % 2);
    r.Channel = static_cast<int32_t>(i % 16);
    r.Rx = i % 101 == 0 ? 65535.0 : std::pow(10.0, 1 + std::sin(static_cast<double>(i) / 300));
    return r;
}

void Fill(RecordStream& pool, int64_t n) {
    for (int64_t i = 0; i < n; ++i)
        pool.Append(Item(i));
}

// The plot at its design size over a buffer of n items.
struct PlotOverPool {
    RecordStream pool;
    PreviewPlot plot;
    explicit PlotOverPool(int64_t n) {
        Fill(pool, n);
        plot.resize(433, 493);
        plot.SetPool(&pool);
    }
};

void BM_FullPaint(benchmark::State& state) {
    PlotOverPool b(state.range(0));
    PreviewPlot& plot = b.plot;
    for (auto _ : state) {
        plot.Invalidate();
        benchmark::DoNotOptimize(plot.Picture().constBits());
    }
    state.counters["records/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullPaint)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Live items on a buffer of a million, the occasional full repaint included.
void BM_PlotNewRecord(benchmark::State& state) {
    PlotOverPool b(state.range(0));
    RecordStream& pool = b.pool;
    PreviewPlot& plot = b.plot;
    plot.show(); // as with its page active
    plot.Picture();
    int64_t i = pool.Count();
    for (auto _ : state) {
        pool.Append(Item(i++)); // the plot hears of it and draws it
        benchmark::DoNotOptimize(plot.Picture().constBits());
    }
    state.counters["full paints"] = static_cast<double>(plot.FullPaints());
}
BENCHMARK(BM_PlotNewRecord)->Arg(1000000)->Unit(benchmark::kMicrosecond);
} // namespace
