#include "data/ArchiveSessions.h"

#include <algorithm>

#include "data/ArchiveSchema.h"
#include "data/Sqlite.h"

namespace {
// A running session's measurements are counted for the history only up to this many arrivals.
constexpr int64_t CountWhileRunning = 200000;
} // namespace

std::optional<UncleanSession> PreviousUncleanSession(SqliteDb& db, const SessionRunning& running) {
    SqliteStatement s =
        db.Prepare("SELECT s.id, s.started_at, s.clean_end, s.restore_asked, s.host, s.pid, "
                   "s.process_start, s.boot_id, s.buffer_items, a.received_ms FROM session AS s "
                   "LEFT JOIN arrival AS a ON a.id = s.last_arrival ORDER BY s.id DESC");
    while (s.Step()) {
        if (running(s.Int(0), {s.Text(4), s.Int(5), s.Int(6), s.Text(7)}))
            continue;
        if (s.Int(2) != 0 || s.Int(3) != 0 || s.Int(8) == 0)
            return std::nullopt;
        return UncleanSession{s.Int(0), s.Text(1), s.Int(8), s.Int(9)};
    }
    return std::nullopt;
}

void MarkRestoreAsked(SqliteDb& db, int64_t session) {
    SqliteStatement s = db.Prepare("UPDATE session SET restore_asked = 1 WHERE id = ?1");
    s.Bind(1, session);
    s.Step();
}

std::vector<TMeasRecord> LoadSessionRecords(SqliteDb& db, int64_t session, bool bufferOnly) {
    SqliteStatement range = db.Prepare(
        "SELECT ifnull(first_arrival, 0), buffer_from, ifnull(last_arrival, 0) FROM session "
        "WHERE id = ?1");
    range.Bind(1, session);
    if (!range.Step())
        return {};
    const int64_t from = bufferOnly ? std::max(range.Int(0), range.Int(1)) : range.Int(0);
    const int64_t to = range.Int(2);
    SqliteStatement rows =
        db.Prepare("SELECT board, channel, range, rx, xx, counter, logger_time, image FROM arrival "
                   "WHERE id BETWEEN ?1 AND ?2 AND session = ?3 ORDER BY id");
    rows.BindAll(from, to, session);
    std::vector<TMeasRecord> out;
    out.reserve(static_cast<size_t>(std::max<int64_t>(0, to - from + 1)));
    auto optional = [&](int c) -> std::optional<double> {
        return rows.IsNull(c) ? std::nullopt : std::optional<double>(rows.Real(c));
    };
    while (rows.Step()) {
        const std::optional<int64_t> counter =
            rows.IsNull(5) ? std::nullopt : std::optional<int64_t>(rows.Int(5));
        out.push_back(RecordOf(rows.Int(0), rows.Int(1), static_cast<int32_t>(rows.Int(2)),
                               optional(3), optional(4), counter, rows.TextView(6), rows.Blob(7)));
    }
    return out;
}

std::vector<SessionSummary> ListSessions(SqliteDb& db, const SessionRunning& running) {
    SqliteStatement s =
        db.Prepare("SELECT id, started_at, ended_at, clean_end, live, download, report, restored, "
                   "ifnull(first_arrival, 0), ifnull(last_arrival, 0), port, peer, host, pid, "
                   "process_start, boot_id, measurements FROM session ORDER BY id DESC");
    SqliteStatement measurements = db.Prepare(
        "SELECT count(*) FROM (" +
        MeasurementsOf("(SELECT * FROM arrival WHERE id BETWEEN ?1 AND ?2 AND session = ?3)") +
        ")");
    SqliteStatement keep = db.Prepare("UPDATE session SET measurements = ?2 WHERE id = ?1");
    std::vector<SessionSummary> out;
    while (s.Step()) {
        SessionSummary m;
        m.id = s.Int(0);
        m.startedAt = s.Text(1);
        m.endedAt = s.Text(2);
        m.cleanEnd = s.Int(3) != 0;
        for (int i = 0; i < ArrivalSourceCount; ++i)
            m.arrivals[i] = s.Int(4 + i);
        m.port = s.Text(10);
        m.peer = s.Text(11);
        m.running = !m.cleanEnd && running(m.id, {s.Text(12), s.Int(13), s.Int(14), s.Text(15)});
        int64_t arrivals = 0;
        for (int64_t n : m.arrivals)
            arrivals += n;
        if (!s.IsNull(16)) {
            m.measurements = s.Int(16);
        } else if (!m.running || arrivals <= CountWhileRunning) {
            // Counting takes a pass over the session's arrivals: once for a session that ended,
            // and for a running one only while that is quick.
            measurements.BindAll(s.Int(8), s.Int(9), m.id);
            if (measurements.Step())
                m.measurements = measurements.Int(0);
            measurements.Reset();
            if (!m.running) {
                keep.BindAll(m.id, m.measurements);
                keep.Step();
                keep.Reset();
            }
        }
        out.push_back(m);
    }
    return out;
}
