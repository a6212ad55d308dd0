// The whole export of one board's million records from the buffer: sixteen channel sheets
// poked into the real spreadsheet service and the workbook saved by it.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "buffer_bench.h"
#include "export/Excels.h"
#include "export/WorkbookExport.h"
#include "tests/support/SheetsProcess.h"

namespace {

struct NoDialogs : ExportFeedback {
    void ErrorDlg(const QString&) override {}
    int ConfirmDlg(const QString&) override { return 6; }
    void ExportProgress(int, int) override {}
};

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
        pool.Append(r);
    }
    QTemporaryDir dir;
    const ExportRequest request{dir.filePath("Data.xls"),
                                qEnvironmentVariable("IMPIX_BUILD_DIR") + "/Forms/Table1.xls", 1,
                                false, "Measure Settings: F=1000Hz, U=0.50V, T=0:15, Repeat=3"};
    TExcel ex;
    NoDialogs feedback;
    int64_t rows = 0;
    for (auto _ : state)
        rows = ExportWorkbook(ex, pool, request, {}, feedback).rows;
    if (rows != n)
        state.SkipWithError("not every record exported");
    state.counters["workbook_MB"] = static_cast<double>(QFile(request.target).size()) / 1e6;
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ExportMillionRecords)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace
