#include "archive/ArchiveSchema.h"

#include <sqlite3.h>
#include <vector>

#include "sqlite/Sqlite.h"

namespace {

// Arrivals are kept compact (an archive grows by millions of rows a day): the receive time as
// milliseconds, the source as a number; the views show both as text.
constexpr const char* Schema = R"sql(
CREATE TABLE IF NOT EXISTS source (
    id   INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE
);
INSERT OR IGNORE INTO source (id, name)
    VALUES (0, 'live'), (1, 'download'), (2, 'report'), (3, 'restored'), (4, 'fleet');
CREATE TABLE IF NOT EXISTS session (
    id              INTEGER PRIMARY KEY,
    started_at      TEXT NOT NULL,
    ended_at        TEXT,
    clean_end       INTEGER NOT NULL DEFAULT 0,
    console_version TEXT NOT NULL,
    port            TEXT,
    peer            TEXT,
    live            INTEGER NOT NULL DEFAULT 0,
    download        INTEGER NOT NULL DEFAULT 0,
    report          INTEGER NOT NULL DEFAULT 0,
    restored        INTEGER NOT NULL DEFAULT 0,
    fleet           INTEGER NOT NULL DEFAULT 0,
    first_arrival   INTEGER,
    last_arrival    INTEGER,
    buffer_from     INTEGER NOT NULL DEFAULT 0,
    buffer_items    INTEGER NOT NULL DEFAULT 0,
    restore_asked   INTEGER NOT NULL DEFAULT 0,
    measurements    INTEGER,
    host            TEXT,
    pid             INTEGER,
    process_start   INTEGER,
    boot_id         TEXT,
    download_first  INTEGER,
    download_amount INTEGER,
    download_from   INTEGER,
    end_signal      INTEGER
);
CREATE TABLE IF NOT EXISTS download_carried (
    session       INTEGER NOT NULL REFERENCES session (id),
    first_counter INTEGER NOT NULL,
    last_counter  INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS arrival (
    id          INTEGER PRIMARY KEY,
    session     INTEGER NOT NULL REFERENCES session (id),
    source      INTEGER NOT NULL REFERENCES source (id),
    received_ms INTEGER NOT NULL,
    board       INTEGER NOT NULL,
    channel     INTEGER NOT NULL,
    range       INTEGER NOT NULL,
    rx          REAL,
    xx          REAL,
    counter     INTEGER,
    logger_time TEXT,
    image       BLOB
);
CREATE VIEW IF NOT EXISTS arrival_text AS
SELECT a.id, a.session, s.name AS source,
       strftime('%Y-%m-%dT%H:%M:%fZ', a.received_ms / 1000.0, 'unixepoch') AS received_at,
       a.board, a.channel, a.range, a.rx, a.xx, a.counter, a.logger_time
FROM arrival AS a JOIN source AS s ON s.id = a.source;
CREATE TABLE IF NOT EXISTS sweep (
    id               INTEGER PRIMARY KEY,
    session          INTEGER NOT NULL REFERENCES session (id),
    started_at       TEXT NOT NULL,
    ended_at         TEXT,
    end_reason       INTEGER NOT NULL DEFAULT 0,
    start_sent       INTEGER NOT NULL DEFAULT 1,
    board            INTEGER,
    channel          INTEGER,
    begin_hz         INTEGER,
    end_hz           INTEGER,
    multiplier       REAL,
    voltage          REAL,
    repeat           INTEGER,
    begin_code       INTEGER,
    end_code         INTEGER,
    multiplier_code  INTEGER,
    voltage_code     INTEGER,
    electrode_system INTEGER,
    fit_rs           REAL,
    fit_rp           REAL,
    fit_q            REAL,
    fit_n            REAL,
    fit_rs_error     REAL,
    fit_rp_error     REAL,
    fit_q_error      REAL,
    fit_n_error      REAL,
    fit_residual     REAL,
    fit_points       INTEGER,
    fit_iterations   INTEGER
);
CREATE TABLE IF NOT EXISTS sweep_point (
    sweep          INTEGER NOT NULL REFERENCES sweep (id),
    idx            INTEGER NOT NULL,
    frequency_hz   INTEGER NOT NULL,
    frequency_code INTEGER NOT NULL,
    board          INTEGER NOT NULL,
    channel        INTEGER NOT NULL,
    range          INTEGER NOT NULL,
    rx             REAL,
    xx             REAL,
    received_ms    INTEGER NOT NULL,
    PRIMARY KEY (sweep, idx)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS sweep_of_session ON sweep (session);
)sql";

// Arrivals with the same board, channel, logger time, range and values are one measurement,
// unless their counters tell two logger items apart; an arrival without a counter (a report
// item) joins the one with a counter.
constexpr const char* MeasurementGroups = R"sql(
SELECT board, channel, logger_time, range, rx, xx,
       max(counter) AS counter,
       strftime('%Y-%m-%dT%H:%M:%fZ', min(received_ms) / 1000.0, 'unixepoch') AS first_received_at,
       count(*) AS arrivals,
       sum(source = 0) AS live,
       sum(source = 1) AS download,
       sum(source = 2) AS report,
       sum(source = 3) AS restored,
       sum(source = 4) AS fleet,
       min(session) AS first_session
FROM (SELECT *, coalesce(counter, max(counter) OVER (
          PARTITION BY board, channel, logger_time, range, rx, xx)) AS item
      FROM %ARRIVALS%)
GROUP BY board, channel, logger_time, range, rx, xx, item
)sql";

// What version 2 added to the session table of version 1.
constexpr const char* SessionColumnsOf2 = R"sql(
ALTER TABLE session ADD COLUMN download_first INTEGER;
ALTER TABLE session ADD COLUMN download_amount INTEGER;
ALTER TABLE session ADD COLUMN download_from INTEGER;
ALTER TABLE session ADD COLUMN end_signal INTEGER;
)sql";

// What version 3 added: arrivals from the fleet collector's database, counted per session and
// in the measurement view (made anew below).
constexpr const char* FleetOf3 = R"sql(
ALTER TABLE session ADD COLUMN fleet INTEGER NOT NULL DEFAULT 0;
DROP VIEW IF EXISTS measurement;
)sql";

Result<int64_t> PragmaValue(SqliteDb& db, const char* sql) {
    Result<SqliteStatement> s = db.TryPrepare(sql);
    if (!s)
        return tl::unexpected(s.error());
    return s->TryStep().map([&](bool row) { return row ? s->Int(0) : int64_t{0}; });
}

// The schema version of an archive of ours, 0 for an empty database; fails for anything else.
Result<int64_t> OwnVersion(SqliteDb& db) {
    int64_t values[3] = {};
    const char* queries[3] = {"PRAGMA application_id", "PRAGMA user_version",
                              "SELECT count(*) FROM sqlite_schema"};
    for (int i = 0; i < 3; ++i) {
        Result<int64_t> v = PragmaValue(db, queries[i]);
        if (!v)
            return tl::unexpected(v.error());
        values[i] = *v;
    }
    const auto [app, version, tables] = values;
    if ((app != ArchiveApplicationId && (app != 0 || tables != 0)) ||
        version > ArchiveSchemaVersion)
        return Fail(QStringLiteral("not a measurement archive"), QString::number(SQLITE_MISMATCH));
    return app == ArchiveApplicationId ? version : 0;
}

// Brings an archive of `version` (0: empty) up to date, inside the caller's transaction.
Result<void> Upgrade(SqliteDb& db, int64_t version) {
    std::vector<std::string> steps;
    if (version == 1)
        steps.emplace_back(SessionColumnsOf2);
    if (version == 1 || version == 2)
        steps.emplace_back(FleetOf3);
    steps.emplace_back(Schema);
    steps.push_back("CREATE VIEW IF NOT EXISTS measurement AS " + MeasurementsOf("arrival"));
    steps.push_back("PRAGMA application_id = " + std::to_string(ArchiveApplicationId));
    steps.push_back("PRAGMA user_version = " + std::to_string(ArchiveSchemaVersion));
    for (const std::string& sql : steps)
        if (Result<void> done = db.TryExec(sql); !done)
            return done;
    return {};
}

} // namespace

Result<void> CheckArchiveSchema(SqliteDb& db) {
    return OwnVersion(db).map([](int64_t) {});
}

Result<void> ReadNewestArrival(SqliteDb& db) {
    const Result<int64_t> version = OwnVersion(db);
    if (!version)
        return tl::unexpected(version.error());
    if (*version == 0)
        return {};
    return db.TryPrepare("SELECT * FROM arrival ORDER BY id DESC LIMIT 1")
        .and_then([](SqliteStatement newest) { return newest.TryStep(); })
        .map([](bool) {});
}

Result<void> PrepareArchiveSchema(SqliteDb& db) {
    const Result<int64_t> current = OwnVersion(db);
    if (!current)
        return tl::unexpected(current.error());
    if (*current == ArchiveSchemaVersion)
        return {};
    if (Result<void> begun = db.TryExec("BEGIN IMMEDIATE"); !begun)
        return begun;
    // Read again under the write lock: another console may have done it meanwhile.
    Result<void> done = OwnVersion(db)
                            .and_then([&](int64_t version) { return Upgrade(db, version); })
                            .and_then([&] { return db.TryExec("COMMIT"); });
    if (!done)
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    return done;
}

std::string MeasurementsOf(const std::string& arrivals) {
    std::string sql = MeasurementGroups;
    const std::string mark = "%ARRIVALS%";
    sql.replace(sql.find(mark), mark.size(), arrivals);
    return sql;
}
