// The fleet window's "Load": 1,000,000 measurements of one logger read from the collector's
// database (binary COPY in logger-time order, decoded off the UI thread) and appended to the
// buffer, slice by slice, with a table view on it, from "Load" until the last record is in.
// Run under pg_virtualenv: `pg_virtualenv -t -v 15 build/bench/bench_fleet_load`.
#include <QEventLoop>
#include <QTableView>
#include <benchmark/benchmark.h>

#include "buffer/BufferTableModel.h"
#include "buffer/RecordStream.h"
#include "fleet/MeasurementLoad.h"
#include "pg/PgConnection.h"
#include "tools/collector/DatabaseSchema.h"

namespace {

constexpr int Measurements = 1'000'000;

// The collector's tables with one logger of `Measurements` rows; its id, 0 when that failed.
qint64 FillDatabase() {
    auto db = pg::PgConnection::Connect("");
    if (!db || !collector::Migrate(*db))
        return 0;
    auto id = db->Exec("INSERT INTO logger (name, address) VALUES ('bench', '127.9.9.9') "
                       "ON CONFLICT (name) DO UPDATE SET note = '' RETURNING id");
    if (!id)
        return 0;
    const QByteArray logger = id->Bytes(0, 0);
    auto n = db->Exec("SELECT count(*) FROM measurement WHERE logger = " + logger);
    if (n && n->Int(0, 0) == Measurements)
        return logger.toLongLong();
    // Sixteen channels a minute, as the emulator's loggers measure.
    if (!db->Exec("INSERT INTO measurement SELECT " + logger +
                  ", 1 + (k / 16) % 8, 1 + k % 16, timestamp '2026-01-01' + (k / 16) * interval "
                  "'1 minute', k % 4, 100 + k % 1000, CASE WHEN k % 97 = 0 THEN NULL ELSE -k % "
                  "500 END, 0, now() FROM generate_series(0, " +
                  QByteArray::number(Measurements - 1) + ") k"))
        return 0;
    return logger.toLongLong();
}

void BM_FleetLoadIntoBuffer(benchmark::State& state) {
    if (!qEnvironmentVariableIsSet("PGHOST")) {
        state.SkipWithError("needs a PostgreSQL server: run under pg_virtualenv");
        return;
    }
    const qint64 logger = FillDatabase();
    if (logger == 0) {
        state.SkipWithError("cannot fill the database");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        RecordStream pool;
        BufferTableModel model(pool);
        QTableView view;
        view.setModel(&model);
        view.resize(700, 400);
        view.show();
        fleet::MeasurementLoad load;
        QObject::connect(&load, &fleet::MeasurementLoad::Slice,
                         [&](const std::vector<TMeasRecord>& s) { pool.Append(s); });
        QEventLoop loop;
        QObject::connect(&load, &fleet::MeasurementLoad::Finished, &loop, &QEventLoop::quit);
        state.ResumeTiming();
        load.Start("", logger, {});
        loop.exec();
        model.ShowAppendedRows();
        if (pool.Count() != Measurements)
            state.SkipWithError("not every measurement arrived");
    }
    state.SetItemsProcessed(state.iterations() * Measurements);
}
BENCHMARK(BM_FleetLoadIntoBuffer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
