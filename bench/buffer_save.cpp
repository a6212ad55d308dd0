// Saving the buffer text file: one million records, the whole file written and renamed.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "buffer/BufferTextFile.h"
#include "buffer_bench.h"

namespace {

void BM_SaveRecords(benchmark::State& state) {
    const long long n = state.range(0);
    BenchBufferFile f(n);
    for (auto _ : state)
        WriteBufferTextFile(f.path, f.pool, 0, n, f.settings, QDateTime::currentDateTime(), f.fs);
    CountFileRate(state, f.path, n);
}
BENCHMARK(BM_SaveRecords)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One item line, the unit of the file's cost.
void BM_ItemLine(benchmark::State& state) {
    const FormatSettings fs;
    long long k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ItemLine(BenchRecord(k++), fs));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ItemLine);

} // namespace
