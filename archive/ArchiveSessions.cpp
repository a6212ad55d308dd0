#include "archive/ArchiveSessions.h"

#include <algorithm>
#include <utility>

#include "archive/ArchiveSchema.h"
#include "archive/ArchiveSweeps.h"
#include "archive/ArrivalRecords.h"
#include "sqlite/Sqlite.h"

namespace {
// A running session's measurements are counted for the history only up to this many arrivals.
constexpr int64_t CountWhileRunning = 200000;

// The column of a session's sweeps; an archive older than the sweeps (a damaged one moved aside,
// read as it is) has none.
Result<std::string> SweepCount(SqliteDb& db) {
    const Result<bool> has = HasSweepTables(db);
    if (!has)
        return tl::unexpected(has.error());
    return *has ? "(SELECT count(*) FROM sweep WHERE sweep.session = session.id)" : "0";
}
} // namespace

Result<std::vector<UncleanSession>> UncleanSessions(SqliteDb& db, const SessionRunning& running) {
    const Result<std::string> sweeps = SweepCount(db);
    if (!sweeps)
        return tl::unexpected(sweeps.error());
    Result<SqliteStatement> list = db.TryPrepare(
        "SELECT id, started_at, buffer_items, ifnull(end_signal, 0), ifnull(last_arrival, 0), "
        "host, pid, process_start, boot_id, " +
        *sweeps +
        " AS sweeps FROM session WHERE clean_end = 0 AND restore_asked = 0 AND "
        "(buffer_items > 0 OR sweeps > 0) ORDER BY id");
    if (!list)
        return tl::unexpected(list.error());
    Result<SqliteStatement> lastRow =
        db.TryPrepare("SELECT received_ms FROM arrival WHERE id = ?1");
    if (!lastRow)
        return tl::unexpected(lastRow.error());
    SqliteStatement& s = *list;
    SqliteStatement& last = *lastRow;
    std::vector<UncleanSession> out;
    const Result<void> read = s.TryEachRow([&] {
        if (running(s.Int(0), {s.Text(5), s.Int(6), s.Int(7), s.Text(8)}))
            return;
        UncleanSession u{s.Int(0), s.Text(1), s.Int(2), 0, static_cast<int>(s.Int(3)), {}};
        u.sweeps = s.Int(9);
        // Only the question's wording needs it: a page that cannot be read costs the sentence.
        last.Bind(1, s.Int(4));
        if (last.TryStep().value_or(false))
            u.lastReceivedMs = last.Int(0);
        last.Reset();
        out.push_back(u);
    });
    if (!read)
        return tl::unexpected(read.error());
    return out;
}

Result<void> MarkRestoreAsked(SqliteDb& db, int64_t session) {
    return db.TryPrepare("UPDATE session SET restore_asked = 1 WHERE id = ?1")
        .and_then([&](SqliteStatement s) {
            s.Bind(1, session);
            return s.TryRun();
        });
}

Result<std::optional<SessionRows>> SessionRowsOf(SqliteDb& db, int64_t session) {
    Result<SqliteStatement> bounds = db.TryPrepare(
        "SELECT ifnull(first_arrival, 0), buffer_from, ifnull(last_arrival, 0) FROM session "
        "WHERE id = ?1");
    if (!bounds)
        return tl::unexpected(bounds.error());
    SqliteStatement& range = *bounds;
    range.Bind(1, session);
    return range.TryStep().map([&](bool found) {
        return found ? std::optional(SessionRows{range.Int(0), range.Int(1), range.Int(2)})
                     : std::nullopt;
    });
}

Result<std::vector<TMeasRecord>> LoadSessionRecords(SqliteDb& db, int64_t session, bool bufferOnly,
                                                    bool salvage, WorkProgress* progress,
                                                    const RecordSlices& slices,
                                                    const OpenConnection& another) {
    const Result<std::optional<SessionRows>> range = SessionRowsOf(db, session);
    if (!range)
        return tl::unexpected(range.error());
    if (!*range)
        return std::vector<TMeasRecord>{};
    const int64_t from =
        bufferOnly ? std::max((*range)->first, (*range)->bufferFrom) : (*range)->first;
    const int64_t to = (*range)->last;
    Result<SqliteStatement> arrivals = PrepareArrivals(db);
    if (!arrivals)
        return tl::unexpected(arrivals.error());
    // Ids of the session's rows and of those between them; a file not written by a console may
    // give any (read on one connection, by one query).
    const uint64_t span = to >= from ? static_cast<uint64_t>(to) - static_cast<uint64_t>(from) : 0;
    // A large session is read on two connections at once, where a second one can be had; a
    // damaged file on one, which reads on past what cannot be read.
    constexpr uint64_t ReadOnTwoFrom = 200000, ReadOnTwoUpTo = uint64_t(1) << 36;
    if (slices && !salvage && another && span >= ReadOnTwoFrom && span <= ReadOnTwoUpTo) {
        Result<SqliteDb> second = another();
        Result<SqliteStatement> theirs =
            second ? PrepareArrivals(*second) : tl::unexpected(second.error());
        if (theirs) {
            const Result<void> read =
                ReadArrivalsOnTwo(*arrivals, *theirs, from, to, session, progress, slices);
            if (!read)
                return tl::unexpected(read.error());
            return std::vector<TMeasRecord>{};
        }
    }
    // Handed on in slices the buffer takes at once, each in memory of its own.
    constexpr size_t Slice = 32768;
    std::vector<TMeasRecord> out;
    out.reserve(slices ? Slice : static_cast<size_t>(std::min<uint64_t>(span + 1, 1 << 20)));
    int64_t handed = 0;
    const Result<void> read =
        ReadArrivals(*arrivals, from, to, session, salvage, progress ? &progress->cancel : nullptr,
                     [&](const TMeasRecord& r) {
                         out.push_back(r);
                         if (slices && out.size() == Slice) {
                             handed += static_cast<int64_t>(out.size());
                             slices(std::exchange(out, {}));
                             out.reserve(Slice);
                         }
                         constexpr size_t ProgressEvery = 4096;
                         if (progress && out.size() % ProgressEvery == 0)
                             progress->done.store(handed + static_cast<int64_t>(out.size()),
                                                  std::memory_order_relaxed);
                     });
    if (!read)
        return tl::unexpected(read.error());
    if (progress && progress->cancel)
        return std::vector<TMeasRecord>{};
    if (slices && !out.empty()) {
        handed += static_cast<int64_t>(out.size());
        slices(std::exchange(out, {}));
    }
    if (progress)
        progress->done.store(handed + static_cast<int64_t>(out.size()), std::memory_order_relaxed);
    return out;
}

Result<std::optional<DownloadState>> SessionDownload(SqliteDb& db, int64_t session) {
    Result<SqliteStatement> sessionRow =
        db.TryPrepare("SELECT download_first, download_amount, ifnull(download_from, 0), "
                      "ifnull(last_arrival, 0) FROM session WHERE id = ?1");
    if (!sessionRow)
        return tl::unexpected(sessionRow.error());
    SqliteStatement& s = *sessionRow;
    s.Bind(1, session);
    const Result<bool> found = s.TryStep();
    if (!found)
        return tl::unexpected(found.error());
    // No download, or values no console writes (a request carries 24 bits).
    constexpr int64_t Field24 = 0xFFFFFF;
    if (!*found || s.IsNull(0) || s.Int(0) < 1 || s.Int(0) > Field24 || s.Int(1) < 1 ||
        s.Int(1) > Field24)
        return std::optional<DownloadState>();
    DownloadState d{s.Int(0), s.Int(1), {}};
    // Adds the runs of counters a statement gives as (first, last) rows.
    const auto addRuns = [&d](Result<SqliteStatement>& runs) -> Result<void> {
        for (;;) {
            const Result<bool> row = runs->TryStep();
            if (!row)
                return tl::unexpected(row.error());
            if (!*row)
                return {};
            d.arrived.push_back({runs->Int(0), runs->Int(1) - runs->Int(0) + 1});
        }
    };
    // Its own downloaded items, as runs of counters.
    Result<SqliteStatement> runs = db.TryPrepare(
        "SELECT min(counter), max(counter) FROM (SELECT counter, counter - row_number() OVER "
        "(ORDER BY counter) AS run FROM (SELECT DISTINCT counter FROM arrival WHERE id BETWEEN "
        "?1 AND ?2 AND session = ?3 AND source = 1 AND counter BETWEEN ?4 AND ?5)) "
        "GROUP BY run ORDER BY 1");
    if (!runs)
        return tl::unexpected(runs.error());
    runs->BindAll(s.Int(2), s.Int(3), session, d.first, d.first + d.amount - 1);
    if (Result<void> added = addRuns(runs); !added)
        return tl::unexpected(added.error());
    Result<SqliteStatement> carried =
        db.TryPrepare("SELECT first_counter, last_counter FROM download_carried WHERE session = "
                      "?1 AND first_counter BETWEEN ?2 AND last_counter AND last_counter <= ?3 "
                      "ORDER BY 1");
    if (!carried)
        return tl::unexpected(carried.error());
    carried->BindAll(session, d.first, d.first + d.amount - 1);
    if (Result<void> added = addRuns(carried); !added)
        return tl::unexpected(added.error());
    return std::optional<DownloadState>(std::move(d));
}

Result<std::vector<SessionSummary>> ListSessions(SqliteDb& db, const SessionRunning& running) {
    const Result<std::string> sweeps = SweepCount(db);
    if (!sweeps)
        return tl::unexpected(sweeps.error());
    Result<SqliteStatement> list = db.TryPrepare(
        "SELECT id, started_at, ended_at, clean_end, live, download, report, restored, fleet, "
        "port, peer, host, pid, process_start, boot_id, measurements, ifnull(end_signal, 0), " +
        *sweeps + " FROM session ORDER BY id DESC");
    if (!list)
        return tl::unexpected(list.error());
    SqliteStatement& s = *list;
    std::vector<SessionSummary> out;
    const Result<void> read = s.TryEachRow([&] {
        SessionSummary m;
        m.id = s.Int(0);
        m.startedAt = s.Text(1);
        m.endedAt = s.Text(2);
        m.cleanEnd = s.Int(3) != 0;
        m.endSignal = static_cast<int>(s.Int(16));
        for (int i = 0; i < ArrivalSourceCount; ++i)
            m.arrivals[i] = s.Int(4 + i);
        m.port = s.Text(9);
        m.peer = s.Text(10);
        m.sweeps = s.Int(17);
        m.running =
            m.endedAt.isEmpty() && running(m.id, {s.Text(11), s.Int(12), s.Int(13), s.Text(14)});
        int64_t arrivals = 0;
        for (int64_t n : m.arrivals)
            arrivals += n;
        // Counting takes a pass over the session's arrivals: once for a session that ended,
        // and for a running one only while that is quick.
        if (!s.IsNull(15))
            m.measurements = s.Int(15);
        else
            m.counting = !m.running || arrivals <= CountWhileRunning;
        out.push_back(m);
    });
    if (!read)
        return tl::unexpected(read.error());
    return out;
}

Result<void> KeepMeasurements(SqliteDb& db, int64_t session, int64_t measurements) {
    return db.TryPrepare("UPDATE session SET measurements = ?2 WHERE id = ?1")
        .and_then([&](SqliteStatement keep) {
            keep.BindAll(session, measurements);
            return keep.TryRun();
        });
}
