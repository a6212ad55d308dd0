// The runner of the benchmarks that need Qt's event machinery (local sockets, the report server,
// widgets): an application object around Google Benchmark's runner. UI benchmarks get a full
// application on the offscreen display. The program fails when a benchmark lost items
// (bench_losses.h).
#include <benchmark/benchmark.h>

#include "bench_losses.h"

#ifdef IMPIX_BENCH_UI
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
#ifdef IMPIX_BENCH_UI
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return BenchExitCode();
}
