// Appending records to the pool with the table model listening, as AddRecord does.
#include <benchmark/benchmark.h>

#include "buffer/BufferTableModel.h"
#include "buffer_bench.h"

namespace {

void BM_AppendPoolOnly(benchmark::State& state) {
    RecordStream pool;
    long long k = 0;
    for (auto _ : state)
        pool.Append(BenchRecord(k++));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendPoolOnly);

void BM_AppendWithModel(benchmark::State& state) {
    RecordStream pool;
    BufferTableModel model(pool);
    // A listener on the model's signals, as a view would connect.
    long long rows = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int, int last) { rows = last; });
    long long k = 0;
    for (auto _ : state) {
        pool.Append(BenchRecord(k++));
        // The rows come once per pass of the event loop; here a pass every 64 items.
        if (k % 64 == 0)
            model.ShowAppendedRows();
    }
    benchmark::DoNotOptimize(rows);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendWithModel);

// The texts of one shown row, as a view asks for them when it paints the newest row.
void BM_RowTexts(benchmark::State& state) {
    RecordStream pool;
    for (long long k = 0; k < 100000; ++k)
        pool.Append(BenchRecord(k));
    BufferTableModel model(pool);
    int row = 0;
    for (auto _ : state) {
        for (int c = 0; c < model.columnCount(); ++c)
            benchmark::DoNotOptimize(model.data(model.index(row, c)));
        row = (row + 1) % 100000;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RowTexts);

} // namespace
