// Memory of the pool at ten million records, with the table model attached: resident memory
// growth per record, and the stream's own bytes per record.
#include <benchmark/benchmark.h>

#include "bench_losses.h"
#include "buffer/BufferTableModel.h"
#include "buffer_bench.h"

namespace {

void BM_TenMillionRecords(benchmark::State& state) {
    const long long n = state.range(0);
    for (auto _ : state) {
        const double before = ResidentBytes();
        RecordStream pool;
        BufferTableModel model(pool);
        for (long long k = 0; k < n; ++k)
            pool.Append(BenchRecord(k));
        model.ShowAppendedRows(); // as the next pass of the event loop does
        const double after = ResidentBytes();
        state.counters["rss_bytes_per_record"] = (after - before) / static_cast<double>(n);
        state.counters["stream_bytes_per_record"] =
            static_cast<double>(pool.Size()) / static_cast<double>(pool.Count());
        state.counters["rss_growth_MiB"] = (after - before) / (1024.0 * 1024.0);
        state.counters["rows"] = model.rowCount();
        // Records the stream did not keep, and rows the table cannot show.
        CountLosses(state, "records_lost", n - pool.Count());
        CountLosses(state, "rows_not_shown", pool.Count() - model.rowCount());
        pool.Clear();
        state.counters["rss_after_clear_MiB"] = (ResidentBytes() - before) / (1024.0 * 1024.0);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TenMillionRecords)->Arg(10'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
