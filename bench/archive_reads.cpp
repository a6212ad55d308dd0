// Reading the archive back with the window on the offscreen display: how long "History..." keeps
// the UI thread (the dialog answered as soon as it shows) over a finished session of many
// arrivals, the count of its measurements, and a restore of more items than the writer's queue
// holds: its time on the UI thread, the time until all of it is written, and how many were not
// archived.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <future>

#include "app/ImpixMain.h"
#include "app/features/ArchiveController.h"
#include "app/features/BufferController.h"
#include "app/script/NamedControl.h"
#include "archive/MeasurementArchive.h"
#include "archive_bench.h"
#include "base/ScriptedDialogs.h"
#include "link/ModBus.h"

namespace {

struct Console {
    TFImpixMain window;
    explicit Console(MeasurementArchive* archive) {
        scripted::SetActive(true);
        window.Archive().Start(archive, false);
        window.show();
        QApplication::processEvents();
    }
};

// A session of `items` arrivals, ended cleanly (`crash`: abandoned, offered for restore).
void WriteSession(const ArchiveOptions& options, int64_t items, bool crash) {
    MeasurementArchive archive(options);
    for (int64_t k = 0; k < items; ++k) {
        archive.Add(ArchiveRecord(k), ArrivalSource::Download);
        if (k % 500000 == 0)
            archive.Flush(600000); // within the queue
    }
    archive.Flush(600000);
    if (crash)
        archive.Abandon();
}

void BM_HistoryOfLargeSession(benchmark::State& state) {
    QTemporaryDir dir;
    ArchiveOptions options;
    options.path = dir.filePath("archive.sqlite");
    WriteSession(options, state.range(0), false);
    for (auto _ : state) {
        MeasurementArchive archive(options);
        archive.Flush(10000);
        Console console(&archive);
        scripted::QueueAnswer({scripted::AnswerKind::Cancel, {}});
        QElapsedTimer clock;
        clock.start();
        NamedControl<QAbstractButton>(&console.window, "HistoryBtn")->click();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_HistoryOfLargeSession)
    ->Arg(1'000'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_RestoreBeyondTheQueue(benchmark::State& state) {
    const int64_t items = state.range(0);
    QTemporaryDir dir;
    ArchiveOptions options;
    options.path = dir.filePath("archive.sqlite");
    WriteSession(options, items, true);
    double uiMs = 0, allMs = 0, notArchived = 0;
    for (auto _ : state) {
        MeasurementArchive archive(options);
        archive.Flush(10000);
        Console console(&archive);
        scripted::QueueAnswer({scripted::AnswerKind::Yes, {}});
        QElapsedTimer clock;
        clock.start();
        console.window.Archive().OfferRestore();
        uiMs = static_cast<double>(clock.elapsed());
        for (;;) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            const ArchiveState s = archive.State();
            if ((s.waiting == 0 && s.archived + s.dropped >= items) || clock.elapsed() > 600000)
                break;
        }
        allMs = static_cast<double>(clock.elapsed());
        notArchived = static_cast<double>(archive.State().dropped);
        state.SetIterationTime(allMs / 1000);
    }
    state.counters["ui_ms"] = uiMs;
    state.counters["all_written_ms"] = allMs;
    state.counters["not_archived"] = notArchived;
}
// The measurement count that History makes of a finished session, on the reader's thread.
void BM_CountOfLargeSession(benchmark::State& state) {
    QTemporaryDir dir;
    ArchiveOptions options;
    options.path = dir.filePath("archive.sqlite");
    WriteSession(options, state.range(0), false);
    MeasurementArchive archive(options);
    archive.Flush(10000);
    const SessionSummary ended = archive.Sessions().value().back();
    int64_t counted = 0;
    for (auto _ : state) {
        std::promise<int64_t> done;
        archive.CountMeasurements(ended, [&done](int64_t n) { done.set_value(n); });
        counted = done.get_future().get();
    }
    state.counters["measurements"] = static_cast<double>(counted);
    if (counted != state.range(0))
        state.SkipWithError("the count is wrong");
}
BENCHMARK(BM_CountOfLargeSession)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_RestoreBeyondTheQueue)
    ->Arg(2'000'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
