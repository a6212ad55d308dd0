// The archive's writer: a million arrivals handed over as fast as the UI thread can, timed until
// the last one is committed; the file's size per arrival and the CPU time per arrival. The second
// argument 0 leaves every checkpoint to the writer (as SQLite's own would, every 1000 pages), 1
// has the checkpointer thread do them. Arrivals the writer's queue turned away are counted and
// fail the program.
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "archive/MeasurementArchive.h"
#include "archive_bench.h"
#include "bench_losses.h"

namespace {

void BM_ArchiveWrite(benchmark::State& state) {
    const long long n = state.range(0);
    double bytes = 0;
    double cpu = 0;
    int64_t dropped = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        ArchiveOptions options;
        options.path = dir.filePath("archive.sqlite");
        if (state.range(1) == 0) {
            options.walStartFrames = 1 << 30;
            options.walCapFrames = 1000;
        }
        {
            MeasurementArchive archive(options);
            archive.Flush(10000);
            const double cpuBefore = ProcessCpuSeconds();
            state.ResumeTiming();
            for (long long k = 0; k < n; ++k)
                archive.Add(ArchiveRecord(k, k % 3 == 0),
                            k % 3 == 0 ? ArrivalSource::Report : ArrivalSource::Download);
            archive.Flush(600000);
            state.PauseTiming();
            cpu = ProcessCpuSeconds() - cpuBefore;
            dropped += archive.State().dropped;
        }
        // Closed: the log is checked into the file.
        bytes = static_cast<double>(QFileInfo(options.path).size() +
                                    QFileInfo(options.path + "-wal").size());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["bytes_per_arrival"] = bytes / static_cast<double>(n);
    state.counters["cpu_ns_per_arrival"] = cpu * 1e9 / static_cast<double>(n);
    // Arrivals the full queue turned away: the rate above is then not the writer's.
    CountLosses(state, "not_archived", dropped);
}
BENCHMARK(BM_ArchiveWrite)
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
