// Report stream ingest over loopback: a client socket sends report items to the report server,
// which parses, decodes and buffers them, all in one process and one event loop.
#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>
#include <benchmark/benchmark.h>

#include "buffer/RecordStream.h"
#include "net/ReportServer.h"
#include "records/ReportParser.h"

namespace {
void BM_ReportIngest(benchmark::State& state) {
    RecordStream pool;
    int64_t items = 0;
    QString countText;
    ReportServer::Hooks hooks;
    hooks.reportItem = [&](ReportServer::Item item) {
        ++items;
        pool.Append(DecodeReportItem(item, 2024).value().record);
    };
    hooks.reportItemCount = [&] { return items; };
    hooks.countText = [&](const QString& s) { countText = s; };
    ReportServer server(hooks);
    server.SetPort(0);
    server.Run();

    QTcpSocket client;
    client.connectToHost(QHostAddress(QHostAddress::LocalHost), server.Port());
    if (!client.waitForConnected(5000)) {
        state.SkipWithError("no connection");
        return;
    }
    while (!server.Serving())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    // Board 1, channel 4, 7 February 09:58:23, as a logger reports it.
    const QByteArray item("\xA5\x00\x03\x21\x30\x39\x80\x00\x3F\x8C\x72", 11);
    const QByteArray chunk = item.repeated(static_cast<qsizetype>(state.range(0) / item.size()));
    for (auto _ : state) {
        const int64_t target = items + chunk.size() / item.size();
        client.write(chunk);
        while (items < target)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (pool.Count() > 1000000) {
            state.PauseTiming();
            pool.Clear();
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * chunk.size());
    state.counters["records"] = benchmark::Counter(static_cast<double>(items));
}
BENCHMARK(BM_ReportIngest)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
