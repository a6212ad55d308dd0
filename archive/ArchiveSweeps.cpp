#include "archive/ArchiveSweeps.h"

#include "link/Encodings.h"
#include "records/MeasRecord.h"
#include "sqlite/Sqlite.h"

namespace {

QString UtcText(const QDateTime& t) {
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime UtcOf(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

// The void mark is kept as NULL; read back it is the overflow value again.
void BindValue(SqliteStatement& s, int i, double v) {
    if (IsOverflowMark(v))
        s.BindNull(i);
    else
        s.Bind(i, v);
}

void BindOptional(SqliteStatement& s, int i, bool present, double v) {
    if (present)
        s.Bind(i, v);
    else
        s.BindNull(i);
}

} // namespace

Result<void> WriteSweep(SqliteDb& db, int64_t session, int index, const Sweep& sweep,
                        SweepRows& rows) {
    auto found = rows.byIndex.find(index);
    if (found == rows.byIndex.end()) {
        Result<void> added =
            db.TryPrepare("INSERT INTO sweep (session, started_at) VALUES (?1, ?2)")
                .and_then([&](SqliteStatement add) {
                    add.BindAll(session, UtcText(sweep.started));
                    return add.TryRun();
                });
        if (!added)
            return added;
        found = rows.byIndex.emplace(index, SweepRows::Written{db.LastInsertId(), 0}).first;
    }
    Result<SqliteStatement> update = db.TryPrepare(
        "UPDATE sweep SET ended_at = ?2, end_reason = ?3, start_sent = ?4, board = ?5, "
        "channel = ?6, begin_hz = ?7, end_hz = ?8, multiplier = ?9, voltage = ?10, repeat = ?11, "
        "begin_code = ?12, end_code = ?13, multiplier_code = ?14, voltage_code = ?15, "
        "electrode_system = ?16, fit_rs = ?17, fit_rp = ?18, fit_q = ?19, fit_n = ?20, "
        "fit_rs_error = ?21, fit_rp_error = ?22, fit_q_error = ?23, fit_n_error = ?24, "
        "fit_residual = ?25, fit_points = ?26, fit_iterations = ?27 WHERE id = ?1");
    if (!update)
        return tl::unexpected(update.error());
    SqliteStatement& s = *update;
    s.Bind(1, found->second.row);
    if (sweep.ended.isValid())
        s.Bind(2, UtcText(sweep.ended));
    else
        s.BindNull(2);
    s.Bind(3, int64_t{static_cast<int>(sweep.end)});
    s.Bind(4, int64_t{sweep.startSent});
    if (const std::optional<SweepSettings>& c = sweep.settings) {
        // Board and channel counted from 1, as the operator enters them.
        s.Bind(5, int64_t{c->board} + 1);
        s.Bind(6, int64_t{c->channel} + 1);
        s.Bind(7, int64_t{SweepFrequencyHz(static_cast<int32_t>(c->begin))});
        s.Bind(8, int64_t{SweepFrequencyHz(static_cast<int32_t>(c->end))});
        s.Bind(9, enc::MultiplierFromCode(c->multiplier));
        s.Bind(10, enc::VoltageFromCode(c->voltage));
        s.Bind(11, int64_t{c->repeat});
        s.Bind(12, int64_t{c->begin});
        s.Bind(13, int64_t{c->end});
        s.Bind(14, int64_t{c->multiplier});
        s.Bind(15, int64_t{c->voltage});
        s.Bind(16, int64_t{c->electrodeSystem});
    } else {
        for (int i = 5; i <= 16; ++i)
            s.BindNull(i);
    }
    const bool fitted = sweep.fit.has_value();
    const CircuitFit fit = sweep.fit.value_or(CircuitFit{});
    const double values[] = {fit.params.rs, fit.params.rp, fit.params.q,
                             fit.params.n,  fit.errors.rs, fit.errors.rp,
                             fit.errors.q,  fit.errors.n,  fit.residual};
    for (int i = 0; i < 9; ++i)
        BindOptional(s, 17 + i, fitted, values[i]);
    if (!fitted) {
        s.BindNull(26);
        s.BindNull(27);
    } else {
        s.Bind(26, int64_t{fit.points});
        s.Bind(27, int64_t{fit.iterations});
    }
    if (Result<void> done = s.TryRun(); !done)
        return done;
    for (size_t p = found->second.points; p < sweep.points.size(); ++p)
        if (Result<void> done = WriteSweepPoint(db, index, p, sweep.points[p], rows); !done)
            return done;
    return {};
}

Result<void> WriteSweepPoint(SqliteDb& db, int index, size_t point, const SweepPoint& p,
                             SweepRows& rows) {
    const auto found = rows.byIndex.find(index);
    if (found == rows.byIndex.end() || found->second.points != point)
        return {};
    Result<SqliteStatement> insert = db.TryPrepare(
        "INSERT OR REPLACE INTO sweep_point (sweep, idx, frequency_hz, frequency_code, board, "
        "channel, range, rx, xx, received_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    if (!insert)
        return tl::unexpected(insert.error());
    SqliteStatement& s = *insert;
    s.BindAll(found->second.row, static_cast<int64_t>(point), int64_t{p.Hz()},
              int64_t{p.frequencyCode}, int64_t{p.board} + 1, int64_t{p.channel} + 1,
              int64_t{p.range});
    BindValue(s, 8, p.Rx);
    BindValue(s, 9, p.Xx);
    s.Bind(10, int64_t{p.arrival.toMSecsSinceEpoch()});
    if (Result<void> done = s.TryRun(); !done)
        return done;
    ++found->second.points;
    return {};
}

Result<bool> HasSweepTables(SqliteDb& db) {
    Result<SqliteStatement> s =
        db.TryPrepare("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'sweep'");
    if (!s)
        return tl::unexpected(s.error());
    const Result<bool> row = s->TryStep();
    if (!row)
        return row;
    return *row && s->Int(0) == 1;
}

Result<std::vector<Sweep>> LoadSessionSweeps(SqliteDb& db, int64_t session) {
    const Result<bool> has = HasSweepTables(db);
    if (!has)
        return tl::unexpected(has.error());
    if (!*has)
        return std::vector<Sweep>{};
    Result<SqliteStatement> sweeps = db.TryPrepare(
        "SELECT id, started_at, ifnull(ended_at, ''), end_reason, start_sent, begin_code, "
        "end_code, multiplier_code, voltage_code, board, channel, repeat, electrode_system, "
        "fit_rs, fit_rp, fit_q, fit_n, fit_rs_error, fit_rp_error, fit_q_error, fit_n_error, "
        "fit_residual, fit_points, fit_iterations FROM sweep WHERE session = ?1 ORDER BY id");
    Result<SqliteStatement> pointRows = db.TryPrepare(
        "SELECT frequency_code, board, channel, range, rx, xx, received_ms FROM sweep_point "
        "WHERE sweep = ?1 ORDER BY idx");
    if (!sweeps)
        return tl::unexpected(sweeps.error());
    if (!pointRows)
        return tl::unexpected(pointRows.error());
    SqliteStatement& s = *sweeps;
    SqliteStatement& points = *pointRows;
    s.Bind(1, session);
    std::vector<Sweep> out;
    const Result<void> read = s.TryEachRow([&]() -> Result<void> {
        Sweep sweep;
        sweep.started = UtcOf(s.Text(1));
        if (!s.Text(2).isEmpty())
            sweep.ended = UtcOf(s.Text(2));
        sweep.end = static_cast<SweepEnd>(s.Int(3));
        // A sweep still running when its console died ended there, with its last point.
        if (sweep.end == SweepEnd::Running)
            sweep.end = SweepEnd::Silence;
        sweep.startSent = s.Int(4) != 0;
        if (!s.IsNull(5)) {
            SweepSettings c;
            c.begin = static_cast<uint32_t>(s.Int(5));
            c.end = static_cast<uint32_t>(s.Int(6));
            c.multiplier = static_cast<uint16_t>(s.Int(7));
            c.voltage = static_cast<uint8_t>(s.Int(8));
            c.board = static_cast<uint8_t>(s.Int(9) - 1);
            c.channel = static_cast<uint8_t>(s.Int(10) - 1);
            c.repeat = static_cast<uint8_t>(s.Int(11));
            c.electrodeSystem = static_cast<uint8_t>(s.Int(12));
            sweep.settings = c;
        }
        if (!s.IsNull(13)) {
            CircuitFit fit;
            fit.params = {s.Real(13), s.Real(14), s.Real(15), s.Real(16)};
            fit.errors = {s.Real(17), s.Real(18), s.Real(19), s.Real(20)};
            fit.residual = s.Real(21);
            fit.points = static_cast<int>(s.Int(22));
            fit.iterations = static_cast<int>(s.Int(23));
            sweep.fit = fit;
        }
        points.Bind(1, s.Int(0));
        const Result<void> pointsRead = points.TryEachRow([&] {
            SweepPoint p;
            p.frequencyCode = static_cast<uint32_t>(points.Int(0));
            p.board = static_cast<uint8_t>(points.Int(1) - 1);
            p.channel = static_cast<uint8_t>(points.Int(2) - 1);
            p.range = static_cast<uint8_t>(points.Int(3));
            p.Rx = points.IsNull(4) ? OverflowValue : points.Real(4);
            p.Xx = points.IsNull(5) ? OverflowValue : points.Real(5);
            p.arrival = QDateTime::fromMSecsSinceEpoch(points.Int(6), Qt::UTC);
            sweep.points.push_back(p);
        });
        if (!pointsRead)
            return pointsRead;
        points.Reset();
        if (!sweep.ended.isValid() && !sweep.points.empty())
            sweep.ended = sweep.points.back().arrival;
        out.push_back(std::move(sweep));
        return {};
    });
    if (!read)
        return tl::unexpected(read.error());
    return out;
}
