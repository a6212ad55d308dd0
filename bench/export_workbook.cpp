// The whole export of one board's million records from the buffer: sixteen channel sheets
// poked into the real spreadsheet service and the workbook saved by it. Meanwhile a 1 ms timer
// notes how long the event loop stands still: the longest gap between its ticks, which is the
// longest time the window, the serial link and the report server would wait, and the longest
// time this thread computed between two ticks (on a loaded machine a gap also holds the time the
// process waited for a processor).
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

#include "buffer_bench.h"
#include "export/Excels.h"
#include "export/WorkbookExport.h"
#include "stall_meter.h"
#include "tests/support/SheetsProcess.h"

namespace {

struct NoDialogs : ExportFeedback {
    void ErrorDlg(const QString&) override {}
    int ConfirmDlg(const QString&) override { return 6; }
    void ExportProgress(int, int) override {}
};

// Arg 0: the records; arg 1: 0 spreads them over the sixteen channels, 1 puts all in channel 1.
void BM_ExportMillionRecords(benchmark::State& state) {
    const QString build = QCoreApplication::applicationDirPath() + "/..";
    if (qEnvironmentVariableIsEmpty("IMPIX_BUILD_DIR"))
        qputenv("IMPIX_BUILD_DIR", QFile::encodeName(build));
    SheetsProcess service;
    if (!service.Ok()) {
        state.SkipWithError("impix-sheets did not start");
        return;
    }
    const long long n = state.range(0);
    RecordStream pool;
    for (long long k = 0; k < n; ++k) {
        TMeasRecord r = BenchRecord(k);
        r.Board = 0;
        if (state.range(1) == 1)
            r.Channel = 0;
        pool.Append(r);
    }
    QTemporaryDir dir;
    ExportRequest request;
    request.target = dir.filePath("Data.xlsx");
    request.templatePath = qEnvironmentVariable("IMPIX_BUILD_DIR") + "/Forms/Table1.xlsx";
    request.settingsLine = "Measure Settings: F=1000Hz, U=0.50V, T=0:15, Repeat=3";
    TExcel ex;
    NoDialogs feedback;
    int64_t rows = 0;
    double longest = 0;
    double longestCpu = 0;
    double consoleCpu = 0;
    for (auto _ : state) {
        QCoreApplication::processEvents();
        StallMeter meter;
        const double cpuBefore = StallMeter::ThreadCpuMs();
        rows = ExportWorkbook(ex, pool, request, {}, feedback).value_or(ExportResult{}).rows;
        consoleCpu += StallMeter::ThreadCpuMs() - cpuBefore;
        longest = std::max(longest, meter.LongestMs());
        longestCpu = std::max(longestCpu, meter.LongestCpuMs());
    }
    if (rows != n)
        state.SkipWithError("not every record exported");
    state.counters["longest_stall_ms"] = longest;
    state.counters["longest_busy_ms"] = longestCpu;
    // The console's share of the time: what this thread computed (the service runs apart).
    state.counters["console_cpu_ms"] =
        benchmark::Counter(consoleCpu, benchmark::Counter::kAvgIterations);
    state.counters["workbook_MB"] = static_cast<double>(QFile(request.target).size()) / 1e6;
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ExportMillionRecords)
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace
