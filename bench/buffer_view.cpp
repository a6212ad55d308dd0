// Appending records with a QTableView on the table model, on an offscreen display: each append
// selects and shows the newest row, and the view repaints every few appends, as during a fast
// download or a burst of report items. Measured on empty and on large pools. Also the longest
// stall of the event loop while the buffer is saved.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>

#include "buffer/BufferCellText.h"
#include "buffer/BufferTableModel.h"
#include "buffer_bench.h"
#include "dialogs/ProgressWork.h"

namespace {

struct BufferView {
    RecordStream pool;
    std::unique_ptr<BufferTableModel> model;
    QTableView view;

    double viewBytes = 0; // resident memory the model and view took on top of the pool

    explicit BufferView(long long prefill) {
        for (long long k = 0; k < prefill; ++k)
            pool.Append(BenchRecord(k));
        const double before = ResidentBytes();
        model = std::make_unique<BufferTableModel>(pool);
        view.setModel(model.get());
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.verticalHeader()->hide();
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->setDefaultSectionSize(20);
        for (int c = 0; c < BufferColumnCount; ++c)
            view.setColumnWidth(c, BufferColumnWidth(c));
        view.resize(700, 400);
        view.show();
        QApplication::processEvents();
        viewBytes = ResidentBytes() - before;
    }

    void Add(long long k) { pool.Append(BenchRecord(k)); }
    void ShowNewest() {
        const int last = model->rowCount() - 1;
        view.selectRow(last);
        view.scrollTo(model->index(last, 0));
    }
};

// How the window follows the newest row: not at all, after every append (as the grid did), or
// once per pass of the event loop (a burst of appends between two paints).
enum Follow { NoFollow = 0, FollowEachAppend = 1, FollowOncePerPass = 2 };

void BM_AppendWithView(benchmark::State& state) {
    const long long prefill = state.range(0);
    const auto follow = static_cast<Follow>(state.range(1));
    BufferView t(prefill);
    long long k = prefill;
    for (auto _ : state) {
        t.Add(k++);
        if (follow == FollowEachAppend)
            t.ShowNewest();
        if (k % 64 == 0) {
            if (follow == FollowOncePerPass)
                t.ShowNewest();
            QApplication::processEvents(); // paint
        }
    }
    QApplication::processEvents();
    state.SetItemsProcessed(state.iterations());
    if (prefill > 0)
        state.counters["view_bytes_per_row"] = t.viewBytes / static_cast<double>(prefill);
}
BENCHMARK(BM_AppendWithView)
    ->ArgNames({"prefill", "follow"})
    ->ArgsProduct({{0, 1'000'000, 10'000'000}, {NoFollow, FollowEachAppend, FollowOncePerPass}})
    ->MinTime(1.0);

// Clearing a large table back to the blank row.
void BM_ClearLargeView(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        BufferView t(state.range(0));
        state.ResumeTiming();
        t.pool.Clear();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ClearLargeView)->Arg(1'000'000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

// "Save All" as the window runs it: the file written on a worker thread while the event loop
// goes on, a timer measuring the longest pass of the loop (before, the whole write was one).
void BM_SaveStall(benchmark::State& state) {
    const long long n = state.range(0);
    BenchBufferFile f(n);
    QWidget window;
    for (auto _ : state) {
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longest = std::max(longest, sinceTick.restart()); });
        tick.start(5);
        sinceTick.start();
        const RecordSnapshot records = f.pool.Snapshot();
        RunWithProgress(&window, "Saving", n, [&](WorkProgress& progress) {
            return WriteBufferTextFile(f.path, records, 0, n, f.settings,
                                       QDateTime::currentDateTime(), f.fs, &progress);
        });
        longest = std::max(longest, sinceTick.elapsed());
        state.counters["longest_stall_ms"] = static_cast<double>(longest);
    }
    CountFileRate(state, f.path, n);
}
BENCHMARK(BM_SaveStall)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
