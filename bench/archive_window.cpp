// The console's window with its buffer table shown, fed as in operation: a GPRS report of ten
// million items over loopback into the report server (with and without the archive), and a
// million archived measurements restored into the buffer after an unclean end.
#include <QApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>

#include "app/ImpixMain.h"
#include "app/features/ArchiveController.h"
#include "app/features/BufferController.h"
#include "app/script/NamedControl.h"
#include "archive/MeasurementArchive.h"
#include "archive_bench.h"
#include "base/ScriptedDialogs.h"
#include "bench_losses.h"
#include "link/ModBus.h"
#include "net/ReportServer.h"

namespace {

// The window and link module as the program builds them, the table page showing.
struct Console {
    TFImpixMain window;
    explicit Console(MeasurementArchive* archive) {
        scripted::SetActive(true); // a dialog answers itself
        window.Archive().Start(archive, false);
        window.show();
        NamedControl<QTabWidget>(&window, "PageCtrl")
            ->setCurrentWidget(NamedControl(&window, "BufSh"));
        QApplication::processEvents();
    }
};

// Board 1, channel 4, 7 February 09:58:23, as a logger reports it.
const QByteArray ReportItem("\xA5\x00\x03\x21\x30\x39\x80\x00\x3F\x8C\x72", 11);

void BM_ReportIntoWindow(benchmark::State& state) {
    const bool archived = state.range(1) != 0;
    const int64_t items = state.range(0);
    double seconds = 0, lagSeconds = 0, peak = 0;
    int64_t dropped = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const double before = ResidentBytes();
        std::unique_ptr<MeasurementArchive> archive;
        if (archived) {
            ArchiveOptions options;
            options.path = dir.filePath("archive.sqlite");
            archive = std::make_unique<MeasurementArchive>(options);
            archive->Flush(10000);
        }
        auto console = std::make_unique<Console>(archive.get());
        auto* server = console->window.findChild<ReportServer*>();
        server->SetPort(0); // the system's choice: nothing else listens in its way
        server->Run();
        QTcpSocket client;
        client.connectToHost(QHostAddress(QHostAddress::LocalHost), server->Port());
        if (!client.waitForConnected(5000)) {
            state.SkipWithError("no connection");
            return;
        }
        while (!server->Serving())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);

        const QByteArray chunk = ReportItem.repeated(100000); // 1.1 MB
        int64_t sent = 0;
        QElapsedTimer clock, sample;
        clock.start();
        sample.start();
        while (console->window.Buffer().Pool().Count() < items) {
            if (sent < items && client.bytesToWrite() < chunk.size()) {
                const int64_t n = std::min<int64_t>(100000, items - sent);
                client.write(chunk.constData(), n * ReportItem.size());
                sent += n;
            }
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (sample.elapsed() >= 100) {
                sample.restart();
                peak = std::max(peak, ResidentBytes() - before);
            }
        }
        seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        if (archive) {
            QElapsedTimer lag;
            lag.start();
            archive->Flush(600000);
            lagSeconds = static_cast<double>(lag.nsecsElapsed()) / 1e9;
            dropped += archive->State().dropped;
        }
        peak = std::max(peak, ResidentBytes() - before);
        state.SetIterationTime(seconds);
        console.reset();
        archive.reset();
    }
    state.SetItemsProcessed(state.iterations() * items);
    state.counters["archive_lag_s"] = lagSeconds;
    CountLosses(state, "not_archived", dropped);
    state.counters["peak_rss_MiB"] = peak / (1024.0 * 1024.0);
}
BENCHMARK(BM_ReportIntoWindow)
    ->ArgNames({"items", "archive"})
    ->Args({10'000'000, 0})
    ->Args({10'000'000, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A million measurements in the buffer of a session that ended uncleanly, put back by "Yes".
void BM_RestoreIntoWindow(benchmark::State& state) {
    const int64_t items = state.range(0);
    QTemporaryDir dir;
    ArchiveOptions options;
    options.path = dir.filePath("archive.sqlite");
    {
        MeasurementArchive crashed(options);
        for (int64_t k = 0; k < items; ++k)
            crashed.Add(ArchiveRecord(k), ArrivalSource::Download);
        crashed.Flush(600000);
        crashed.Abandon();
    }
    int64_t notRestored = 0;
    int64_t dropped = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MeasurementArchive archive(options);
        archive.Flush(10000);
        Console console(&archive);
        state.ResumeTiming();
        console.window.Archive().OfferRestore();
        QApplication::processEvents();
        state.PauseTiming();
        notRestored += items - console.window.Buffer().Pool().Count();
        archive.Flush(600000);
        dropped += archive.State().dropped;
        archive.Abandon(); // offered again next time
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * items);
    CountLosses(state, "not_restored", notRestored);
    CountLosses(state, "not_archived", dropped);
}
BENCHMARK(BM_RestoreIntoWindow)->Arg(1'000'000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
