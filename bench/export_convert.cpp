// Converting a saved buffer text file of one million items back into records, BinConv.dat
// written at the end.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "buffer/BufferTextFile.h"
#include "buffer_bench.h"
#include "export/DataFileConversion.h"

namespace {

void BM_ConvertSavedFile(benchmark::State& state) {
    const long long n = state.range(0);
    BenchBufferFile f(n);
    WriteBufferTextFile(f.path, f.pool, 0, n, f.settings, QDateTime::currentDateTime(), f.fs);
    f.pool.Clear();
    RecordStream filePool;
    for (auto _ : state)
        if (!ConvertDataFile(f.path, filePool, f.folder, f.fs, 2026))
            state.SkipWithError("conversion failed");
    if (filePool.Count() != n)
        state.SkipWithError("not every line converted");
    CountFileRate(state, f.path, n);
}
BENCHMARK(BM_ConvertSavedFile)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
