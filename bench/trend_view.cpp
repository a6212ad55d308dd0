// The trend view with one and ten million measurements in its channel: a full redraw (reduction
// to pixel columns and drawing), a zoom step by the wheel, choosing another channel, and the cost
// a listening trend adds to each append, and opening a trend window on such a buffer.
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QWheelEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "buffer/RecordStream.h"
#include "widgets/TrendPlot.h"

namespace {
constexpr int64_t Items = 1000000; // the append benchmark's buffer: up to four times this

// Slow waves, computed once: the benchmarks measure the trend, not the sine.
struct Waves {
    static constexpr int Size = 1 << 16;
    std::vector<double> rx, xx;
    Waves() {
        for (int i = 0; i < Size; ++i) {
            rx.push_back(1 + 0.5 * std::sin(i * 2 * M_PI / Size));
            xx.push_back(-0.2 - 0.1 * std::cos(i * 6 * M_PI / Size));
        }
    }
};
const Waves waves;

// Channel 1 of board 1 every other item, once a minute, with the occasional overflow.
TMeasRecord Item(int64_t i) {
    TMeasRecord r;
    r.Channel = static_cast<int32_t>(i % 2);
    r.Time = 46000.0 + static_cast<double>(i / 2) / 1440;
    const auto w = static_cast<size_t>(i / 8 % Waves::Size);
    r.Rx = i % 1001 == 0 ? 65535.0 : waves.rx[w];
    r.Xx = waves.xx[w];
    return r;
}

// A window on a large buffer reads its channels on a thread of its own: until that ends, it
// shows an empty series, which costs nothing to draw.
void WaitForChannels(TrendPlot& plot, int64_t items) {
    while (plot.Series().Count() < items)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// Two channels of `items` each, interleaved; built once per size and shared by the benchmarks
// (a buffer of twenty million items takes seconds to fill).
struct Trend {
    RecordStream pool;
    TrendPlot plot;
    explicit Trend(int64_t items) {
        for (int64_t i = 0; i < 2 * items; ++i)
            pool.Append(Item(i));
        plot.resize(1200, 700);
        plot.SetPool(&pool);
        WaitForChannels(plot, items);
        plot.Picture();
    }
};

Trend& TrendOf(const benchmark::State& state) {
    static std::map<int64_t, std::unique_ptr<Trend>> trends;
    auto& t = trends[state.range(0)];
    if (!t)
        t = std::make_unique<Trend>(state.range(0));
    t->plot.SetSource(1, 1);
    t->plot.Picture();
    return *t;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
}

void BM_TrendFullRedraw(benchmark::State& state) {
    Trend& t = TrendOf(state);
    for (auto _ : state) {
        t.plot.SetFormatSettings(FormatSettings{}); // the picture must be drawn again
        benchmark::DoNotOptimize(t.plot.Picture().constBits());
    }
    state.counters["items"] = static_cast<double>(t.plot.Series().Count());
}
BENCHMARK(BM_TrendFullRedraw)->Apply(Sizes);

// One wheel notch and the redraw it causes: ten in towards a point, ten back out.
void BM_TrendZoomStep(benchmark::State& state) {
    Trend& t = TrendOf(state);
    const QPointF at(t.plot.CurrentFrame().areas[0].center());
    int step = 0;
    for (auto _ : state) {
        const int notches = step++ % 20 < 10 ? 1 : -1;
        QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&t.plot, &wheel);
        benchmark::DoNotOptimize(t.plot.Picture().constBits());
    }
    state.counters["items"] = static_cast<double>(t.plot.Series().Count());
}
BENCHMARK(BM_TrendZoomStep)->Apply(Sizes);

// The same zoom step after other work has gone through the caches: what an operator meets, who
// zooms after the console did something else. 512 MiB written between steps stands in for it.
void BM_TrendZoomStepCold(benchmark::State& state) {
    Trend& t = TrendOf(state);
    static std::vector<char> other(512 << 20);
    const QPointF at(t.plot.CurrentFrame().areas[0].center());
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < other.size(); i += 64)
            other[i] = static_cast<char>(step);
        benchmark::ClobberMemory();
        state.ResumeTiming();
        const int notches = step++ % 20 < 10 ? 1 : -1;
        QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&t.plot, &wheel);
        benchmark::DoNotOptimize(t.plot.Picture().constBits());
    }
}
BENCHMARK(BM_TrendZoomStepCold)->Arg(10000000)->Unit(benchmark::kMillisecond);

// Choosing another channel of a buffer of twice the items, and the picture of it.
void BM_TrendChannelChange(benchmark::State& state) {
    Trend& t = TrendOf(state);
    int channel = 1;
    for (auto _ : state) {
        channel = channel == 1 ? 2 : 1;
        t.plot.SetSource(1, channel);
        benchmark::DoNotOptimize(t.plot.Picture().constBits());
    }
    state.counters["items"] = static_cast<double>(t.plot.Series().Count());
}
BENCHMARK(BM_TrendChannelChange)->Apply(Sizes);

// Opening a trend window: every channel's series taken from the buffer in one pass, and the
// first picture.
void BM_TrendOpen(benchmark::State& state) {
    Trend& t = TrendOf(state);
    for (auto _ : state) {
        TrendPlot plot;
        plot.resize(1200, 700);
        plot.SetPool(&t.pool);
        WaitForChannels(plot, state.range(0));
        benchmark::DoNotOptimize(plot.Picture().constBits());
    }
}
BENCHMARK(BM_TrendOpen)->Apply(Sizes)->Iterations(3);

// Appending to the buffer while a trend of the channel listens (every other item is its own).
void BM_AppendWithTrend(benchmark::State& state) {
    RecordStream pool;
    TrendPlot plot;
    plot.SetPool(&pool);
    int64_t i = 0;
    for (auto _ : state) {
        pool.Append(Item(i++));
        if (pool.Count() >= 4 * Items) {
            state.PauseTiming();
            pool.Clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendWithTrend);
} // namespace
