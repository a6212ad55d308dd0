// One block poke of 1,000,000 rows x 7 columns into a sheet of the template and its SAVE, and
// the OPEN of the workbook so filled, through the real service over its socket; reports the times
// and the service's peak memory.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <optional>
#include <unistd.h>

#include "bench_losses.h"
#include "export/LocalDdeConversation.h"
#include "export/MeasurementRow.h"

namespace {

const QString BuildDir = QStringLiteral(IMPIX_BENCH_BUILD_DIR);

long PeakRssKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// The fields of /proc/<pid>/stat after the command name: [7] minor faults, [11] and [12] user
// and system CPU ticks.
QList<QByteArray> ProcessStat(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

// User and system CPU seconds of a process so far.
double CpuSeconds(qint64 pid) {
    const QList<QByteArray> f = ProcessStat(pid);
    return f.size() > 12 ? double(f[11].toLong() + f[12].toLong()) / double(sysconf(_SC_CLK_TCK))
                         : -1;
}

// Pages a process has touched for the first time so far: on these machines each costs about
// as much as copying it a hundred times.
double MinorFaults(qint64 pid) {
    const QList<QByteArray> f = ProcessStat(pid);
    return f.size() > 7 ? double(f[7].toLong()) : -1;
}

// The rows as the console's export sends them, made by the export's own row writer (a date-time
// number in column 7, as the real column costs): UTF-8, made before the transaction. One item a
// second, on boards' ranges and values that vary.
QByteArray Block(int rows) {
    MeasurementRowWriter writer{FormatSettings{}};
    QByteArray block(qsizetype(rows) * (MaxMeasurementRowBytes + 2), Qt::Uninitialized);
    char* at = block.data();
    for (int i = 0; i < rows; ++i) {
        TMeasRecord rec;
        rec.Counter = i + 1;
        rec.Time = 46000.0 + double(i) / 86400.0;
        rec.Range = i % 4;
        rec.Rx = double(i * 7919 % 2000003) / 1000.0;
        rec.Xx = -double(i * 31 % 100003) / 1000.0;
        at = writer.Put(at, rec);
        *at++ = '\r';
        *at++ = '\n';
    }
    block.truncate(at - block.data());
    return block;
}

// The real service on a socket folder of its own, with the export's own client talking to it, so
// that the block goes over the socket as the console sends it.
struct Service {
    QTemporaryDir runtime;
    QProcess process;
    LocalDdeConversation c;
    Service() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Another build's service may be measured with this client (IMPIX_BENCH_SHEETS).
        process.start(qEnvironmentVariable("IMPIX_BENCH_SHEETS", BuildDir + "/impix-sheets"),
                      {"--idle-exit-ms", "60000", "--verbose"});
        const QString socket = runtime.path() + "/impix-dde/Excel";
        for (int i = 0; i < 500 && !QFile::exists(socket); ++i)
            QThread::msleep(10);
        // The client finds the service's socket where the service made it.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        c.setService("Excel");
        c.setTopic("System");
        // The socket file exists from the service's bind, a moment before it listens.
        for (int i = 0; i < 100 && !c.open(); ++i)
            QThread::msleep(10);
    }
    ~Service() {
        c.close();
        process.kill();
        process.waitForFinished();
    }
    bool open(const QString& path) {
        return c.execute("[OPEN(\"" + path + "\")]", false).has_value();
    }
    // Pokes the rows into Channel_1 below its header and saves.
    bool pokeAndSave(const QByteArray& block, int rows) {
        c.setTopic("[Data.xls]Channel_1");
        const QString range = QStringLiteral("R3C1:R%1C7").arg(rows + 2);
        const bool poked = c.open() && c.poke(range, block);
        c.setTopic("System");
        return poked && c.open() && c.execute("[SAVE]", false);
    }
};

void BM_PokeAndSaveMillionRows(benchmark::State& state) {
    const int rows = int(state.range(0));
    const QByteArray block = Block(rows);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir work;
        const QString target = work.filePath("Data.xls");
        QFile::copy(BuildDir + "/Forms/Table1.xlsx", target);
        auto service = std::make_unique<Service>();
        service->open(target);
        const double cpuBefore = CpuSeconds(service->process.processId());
        const double faultsBefore = MinorFaults(service->process.processId());
        state.ResumeTiming();

        const bool done = service->pokeAndSave(block, rows);

        state.PauseTiming();
        CountLosses(state, "refused", done ? 0 : 1);
        state.counters["service_peak_MiB"] =
            double(PeakRssKiB(service->process.processId())) / 1024.0;
        state.counters["service_cpu_s"] = CpuSeconds(service->process.processId()) - cpuBefore;
        state.counters["service_faults"] = MinorFaults(service->process.processId()) - faultsBefore;
        state.counters["file_MiB"] = double(QFile(target).size()) / (1024.0 * 1024.0);
        // The saved workbook kept for a comparison of two builds' output.
        if (const QString keep = qEnvironmentVariable("IMPIX_BENCH_SHEETS_KEEP"); !keep.isEmpty())
            QFile::copy(target, QStringLiteral("%1/%2.xlsx").arg(keep).arg(rows));
        service.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PokeAndSaveMillionRows)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// OPEN of the workbook that holds those rows: the sheet's XML streams through the parser.
void BM_OpenMillionRowWorkbook(benchmark::State& state) {
    const int rows = int(state.range(0));
    QTemporaryDir work;
    const QString target = work.filePath("Data.xls");
    QFile::copy(BuildDir + "/Forms/Table1.xlsx", target);
    bool filled = false;
    {
        Service filler;
        filled = filler.open(target) && filler.pokeAndSave(Block(rows), rows);
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto service = std::make_unique<Service>();
        const double cpuBefore = CpuSeconds(service->process.processId());
        state.ResumeTiming();

        const bool opened = service->open(target);

        state.PauseTiming();
        CountLosses(state, "refused", opened && filled ? 0 : 1);
        state.counters["service_cpu_s"] = CpuSeconds(service->process.processId()) - cpuBefore;
        state.counters["service_peak_MiB"] =
            double(PeakRssKiB(service->process.processId())) / 1024.0;
        service.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenMillionRowWorkbook)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
