// The archive's writer: arrivals handed over as fast as the UI thread can, timed until the last one
// is committed; the file's size per arrival and the CPU time per arrival. The second argument 0
// leaves every checkpoint to the writer (as SQLite's own would, every 1000 pages), 1 has the
// checkpointer thread do them; the third hands them over one at a time (0) or in slices as a
// restore does (1). Arrivals the writer's queue turned away are counted and fail the program.
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>
#include <vector>

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
            // One at a time as live and report items come, or as a restore hands the buffer over:
            // in slices, each once the writer's queue is not full.
            const bool sliced = state.range(2) != 0;
            const auto slice = static_cast<size_t>(archive.HandOverSlice());
            std::vector<TMeasRecord> part;
            for (long long k = 0; k < n; ++k) {
                const bool report = k % 3 == 0;
                if (!sliced) {
                    // As the report server holds back its reads while the writer is behind.
                    while (k % 4096 == 0 && archive.Behind())
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    archive.Add(ArchiveRecord(k, report),
                                report ? ArrivalSource::Report : ArrivalSource::Download);
                    continue;
                }
                part.push_back(ArchiveRecord(k, report));
                if (part.size() == slice || k + 1 == n) {
                    while (archive.Full())
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    archive.Add(part, ArrivalSource::Restored);
                    part.clear();
                }
            }
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
    ->Args({1'000'000, 0, 0})
    ->Args({1'000'000, 1, 0})
    ->Args({2'000'000, 1, 1})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
