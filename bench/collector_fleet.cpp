// The fleet collector end to end: 500 emulated loggers (impix-logger --fleet, each from its own
// address) report 2,000 measurements each at once to impix-collector, which spools them and
// stores them in PostgreSQL. Timed from the moment the loggers begin to send (the fleet says so
// once it has measured every first report) until the NOTIFYs of the committed reports add up to
// all 1,000,000 measurements; then every row is counted. Counters: items per second end to end
// (and with the fleet's measuring), the collector's peak RSS, and the CPU seconds of the
// collector, the database's processes and the fleet (its measuring included).
//
// BM_DatabaseCopy is the ceiling: one binary COPY of 1,000,000 such rows straight into an empty
// measurement table with its unique key, on the same server.
//
// The program starts its own throw-away PostgreSQL 15 (pg_virtualenv, fsync on as on a real
// server) unless it runs inside one already (PGHOST set).
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#include "pg/PgConnection.h"
#include "tools/collector/BinaryCopy.h"
#include "tools/collector/DatabaseSchema.h"
#include "tools/collector/MeasurementRow.h"

using namespace collector;

namespace {

constexpr int Loggers = 500;
constexpr int Items = 2000;
constexpr int64_t Total = int64_t{Loggers} * Items;
constexpr int64_t MemoryBound = int64_t{256} << 20;
bool dropped = false; // something was not stored: the program fails

double TicksToSeconds(long long ticks) {
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// CPU seconds of a running process (user and system).
double ProcessCpu(qint64 pid) {
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? TicksToSeconds(fields[11].toLongLong() + fields[12].toLongLong())
                              : 0;
}

int64_t PeakRss(qint64 pid) {
    QFile f(QString("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression hwm(R"(VmHWM:\s+(\d+) kB)");
    const QRegularExpressionMatch m = hwm.match(QString::fromLatin1(f.readAll()));
    return m.hasMatch() ? m.captured(1).toLongLong() * 1024 : 0;
}

double ChildrenCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of every process of the database server (backends, WAL writer, checkpointer).
double DatabaseCpu(pg::PgConnection& db) {
    Result<pg::PgResult> pids = db.Exec("SELECT pid FROM pg_stat_activity");
    double sum = 0;
    for (int r = 0; pids && r < pids->Rows(); ++r)
        sum += ProcessCpu(pids->Int(r, 0));
    return sum;
}

Result<pg::PgConnection> FreshDatabase(const QString& name) {
    Result<pg::PgConnection> admin = pg::PgConnection::Connect("");
    if (!admin)
        return admin;
    (void)admin->Exec("DROP DATABASE IF EXISTS " + name.toUtf8());
    if (Result<pg::PgResult> r = admin->Exec("CREATE DATABASE " + name.toUtf8()); !r)
        return tl::unexpected(r.error());
    return pg::PgConnection::Connect("dbname=" + name);
}

void BM_FleetIntoDatabase(benchmark::State& state) {
    int round = 0;
    double itemsPerSecond = 0, withMeasuring = 0, rss = 0, collectorCpu = 0, databaseCpu = 0,
           fleetCpu = 0, transactionSeconds = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString dbName = QString("bench_fleet_%1").arg(round++);
        Result<pg::PgConnection> db = FreshDatabase(dbName);
        if (!db) {
            state.SkipWithError(db.error().text.toStdString().c_str());
            dropped = true;
            return;
        }
        QProcess collector;
        const QString log = dir.filePath("collector.log");
        collector.setStandardErrorFile(log);
        collector.start(IMPIX_BUILD_DIR "/impix-collector",
                        {"--config", "/dev/null", "--state", dir.filePath("state"), "--listen",
                         "127.0.0.1:0", "--database", "dbname=" + dbName});
        static const QRegularExpression listening(R"(listening on 127\.0\.0\.1:(\d+))");
        QString port;
        QElapsedTimer waited;
        waited.start();
        while (port.isEmpty() && waited.elapsed() < 60000) {
            QThread::msleep(20);
            QFile f(log);
            f.open(QIODevice::ReadOnly);
            port = listening.match(QString::fromUtf8(f.readAll())).captured(1);
        }
        // The tables are made when the collector first reaches the database.
        while (waited.elapsed() < 60000 &&
               db->Exec("SELECT 1 FROM logger_status LIMIT 0").has_value() == false)
            QThread::msleep(20);
        Result<pg::PgResult> registered = db->Exec(
            "INSERT INTO logger (name, address) SELECT 'logger-' || g, '127.2.0.0'::inet + g "
            "FROM generate_series(1, " +
            QByteArray::number(Loggers) + ") g");
        Result<pg::PgResult> listen = db->Exec(QByteArray("LISTEN ") + ReportChannel);
        if (port.isEmpty() || !registered || !listen) {
            state.SkipWithError("the collector did not come up");
            dropped = true;
            collector.kill();
            collector.waitForFinished();
            return;
        }
        const double databaseBefore = DatabaseCpu(*db);
        const double childrenBefore = ChildrenCpu();

        QElapsedTimer clock;
        clock.start();
        QProcess fleet;
        fleet.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        fleet.start(IMPIX_BUILD_DIR "/impix-logger",
                    {"--fleet", QString::number(Loggers), "--fleet-address", "127.2.0.1", "--items",
                     QString::number(Items), "--report-host", "127.0.0.1", "--report-port", port,
                     "--retries", "20", "--retry-delay-ms", "500", "--seed", "1"});
        // The fleet measures every first report before it sends: the loggers' own time, not
        // the collector's.
        while (!fleet.canReadLine() && fleet.state() != QProcess::NotRunning &&
               clock.elapsed() < 300000)
            fleet.waitForReadyRead(100);
        const double measuring = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        int64_t stored = 0;
        while (stored < Total && clock.elapsed() < 300000) {
            QThread::msleep(2);
            const auto notes = db->TakeNotifications();
            for (const pg::PgConnection::Notification& n :
                 notes.value_or(decltype(notes)::value_type()))
                stored += QJsonDocument::fromJson(n.payload.toUtf8()).object()["new"].toInteger();
        }
        const double total = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const double seconds = total - measuring;
        state.SetIterationTime(seconds);
        fleet.waitForFinished(300000);

        collectorCpu = ProcessCpu(collector.processId());
        databaseCpu = DatabaseCpu(*db) - databaseBefore;
        rss = static_cast<double>(PeakRss(collector.processId()));
        fleetCpu = ChildrenCpu() - childrenBefore;
        const int64_t rows = db->Exec("SELECT count(*) FROM measurement")->Int(0, 0);
        const int64_t reports = db->Exec("SELECT count(*) FROM report")->Int(0, 0);
        ::kill(static_cast<pid_t>(collector.processId()), SIGTERM);
        collector.waitForFinished(120000);
        QFile f(log);
        f.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(f.readAll());
        static const QRegularExpression inTransactions(R"(([\d.]+) s in database transactions)");
        transactionSeconds = inTransactions.match(text).captured(1).toDouble();

        itemsPerSecond = static_cast<double>(rows) / seconds;
        withMeasuring = static_cast<double>(rows) / total;
        std::printf("fleet: %lld of %lld measurements stored %.2f s after the loggers began to "
                    "send (%.2f s after the fleet's start), %lld reports; fleet exit %d; "
                    "collector exit %d\n",
                    static_cast<long long>(rows), static_cast<long long>(Total), seconds, total,
                    static_cast<long long>(reports), fleet.exitCode(), collector.exitCode());
        if (rows != Total || stored != Total || rss > static_cast<double>(MemoryBound)) {
            std::printf("DROPPED or over the memory bound: %lld rows, %lld notified new, %.0f MB "
                        "peak RSS\n",
                        static_cast<long long>(rows), static_cast<long long>(stored), rss / 1e6);
            dropped = true;
        }
    }
    state.SetItemsProcessed(state.iterations() * Total);
    state.counters["items_per_s"] = itemsPerSecond;
    state.counters["items_per_s_with_measuring"] = withMeasuring;
    state.counters["collector_peak_rss_MB"] = rss / 1e6;
    state.counters["collector_cpu_s"] = collectorCpu;
    state.counters["database_cpu_s"] = databaseCpu;
    state.counters["fleet_cpu_s"] = fleetCpu;
    state.counters["collector_transaction_s"] = transactionSeconds;
}
BENCHMARK(BM_FleetIntoDatabase)->Iterations(2)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_DatabaseCopy(benchmark::State& state) {
    int round = 0;
    double databaseCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString dbName = QString("bench_copy_%1").arg(round++);
        Result<pg::PgConnection> db = FreshDatabase(dbName);
        if (!db || !Migrate(*db)) {
            state.SkipWithError("no database");
            dropped = true;
            return;
        }
        // Rows as the fleet's reports bring them: logger after logger, each its 16 channels
        // measured once a minute.
        BinaryCopy copy;
        for (int64_t k = 0; k < Total; ++k) {
            const int64_t item = k % Items;
            TMeasRecord r;
            r.Channel = static_cast<int32_t>(item % 16);
            r.Range = static_cast<int32_t>(k % 3);
            r.Rx = 1000.0 + static_cast<double>(k % 977) / 7;
            r.Xx = -static_cast<double>(k % 613) / 3;
            r.Time = 46000.0 + static_cast<double>(item / 16) / 1440.0;
            MeasurementRow(copy, static_cast<int32_t>(k / Items + 1), k / Items + 1, 0, r);
        }
        copy.Trailer();
        const QByteArray data = copy.Take();
        const double before = DatabaseCpu(*db);
        state.ResumeTiming();
        Result<void> begun = db->CopyBegin(QByteArray("COPY measurement ") + MeasurementColumns +
                                           " FROM STDIN (FORMAT binary)");
        for (qsizetype at = 0; begun && at < data.size(); at += 1 << 20)
            begun = db->CopyPut(data.mid(at, 1 << 20));
        Result<int64_t> rows = db->CopyEnd();
        state.PauseTiming();
        databaseCpu = DatabaseCpu(*db) - before;
        if (!begun || !rows || *rows != Total) {
            std::printf("DROPPED: the COPY stored %lld rows\n",
                        static_cast<long long>(rows ? *rows : -1));
            dropped = true;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * Total);
    state.counters["database_cpu_s"] = databaseCpu;
}
BENCHMARK(BM_DatabaseCopy)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("PGHOST")) {
        // A server of its own: pg_virtualenv runs this program again inside it.
        std::vector<char*> args = {const_cast<char*>("pg_virtualenv"),
                                   const_cast<char*>("-t"),
                                   const_cast<char*>("-v"),
                                   const_cast<char*>("15"),
                                   const_cast<char*>("-o"),
                                   const_cast<char*>("fsync=on")};
        for (int k = 0; k < argc; ++k)
            args.push_back(argv[k]);
        args.push_back(nullptr);
        execvp("pg_virtualenv", args.data());
        std::perror("pg_virtualenv");
        return 1;
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (dropped)
        std::printf("bench_collector: measurements were dropped or a bound was broken\n");
    return dropped ? 1 : 0;
}
