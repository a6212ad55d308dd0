// Converting a saved buffer text file of one million items back into records, BinConv.dat
// written at the end.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "buffer_bench.h"
#include "data/BufferTextFile.h"
#include "export/DataFileConversion.h"

namespace {

void BM_ConvertSavedFile(benchmark::State& state) {
    const long long n = state.range(0);
    RecordStream pool;
    for (long long k = 0; k < n; ++k)
        pool.Append(BenchRecord(k));
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    const QString path = folder + "Data.txt";
    const FormatSettings fs;
    WriteBufferTextFile(path, pool, 0, n, SettingsLine(1000, 0.5, 0, 15, 3, fs),
                        QDateTime::currentDateTime(), fs);
    pool.Clear();
    RecordStream filePool;
    for (auto _ : state)
        ConvertDataFile(path, filePool, folder, fs, 2026);
    if (filePool.Count() != n)
        state.SkipWithError("not every line converted");
    const double bytes = static_cast<double>(QFile(path).size());
    state.counters["file_MB"] = bytes / 1e6;
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_ConvertSavedFile)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
