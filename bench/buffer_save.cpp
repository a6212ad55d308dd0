// Saving the buffer text file: one million records, the whole file written and renamed.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "buffer_bench.h"
#include "data/BufferTextFile.h"

namespace {

void BM_SaveRecords(benchmark::State& state) {
    const long long n = state.range(0);
    RecordStream pool;
    for (long long k = 0; k < n; ++k)
        pool.Append(BenchRecord(k));
    QTemporaryDir dir;
    const QString path = dir.filePath("Data.txt");
    const FormatSettings fs;
    const QString settings = SettingsLine(1000, 0.5, 0, 15, 3, fs);
    for (auto _ : state)
        WriteBufferTextFile(path, pool, 0, n, settings, QDateTime::currentDateTime(), fs);
    const double bytes = static_cast<double>(QFile(path).size());
    state.counters["file_MB"] = bytes / 1e6;
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
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
