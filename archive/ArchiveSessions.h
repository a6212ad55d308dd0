#pragma once
// Reading the archive's sessions: the restore offer after an unclean end, the history list and
// the records of one session. Whether a session's console still runs is the caller's to say
// (the writer knows its own process and its sibling archives).
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "archive/ArchiveRow.h"
#include "archive/ConsoleProcess.h"
#include "base/Result.h"
#include "base/WorkProgress.h"
#include "buffer/DownloadTracker.h"
#include "records/MeasRecord.h"

class SqliteDb;

// A session whose console ended without closing it, as the restore question names it.
struct UncleanSession {
    int64_t id = 0;
    QString startedAt;          // UTC ISO 8601
    int64_t items = 0;          // in its buffer at the end
    int64_t lastReceivedMs = 0; // 0 when it cannot be read
    int endSignal = 0;          // the signal that ended its console; 0 for a crash
    QString file;               // empty: the archive itself; else a damaged file moved aside
    int64_t sweeps = 0;         // frequency sweeps it kept
};

// The download a session's buffer followed: the counters first..first+amount-1 it expected, and
// the runs of them that arrived (its own download arrivals and those it carried over).
struct DownloadState {
    int64_t first = 0;
    int64_t amount = 0;
    std::vector<CounterSpan> arrived;
};

struct SessionSummary {
    int64_t id = 0;
    QString startedAt; // UTC ISO 8601
    QString endedAt;   // empty while running or after a crash
    bool cleanEnd = false;
    int endSignal = 0;    // the signal that ended its console, if one did
    bool running = false; // a console (this one or another) still writes it
    int64_t arrivals[ArrivalSourceCount] = {};
    int64_t measurements = -1; // -1: not counted (a large session still running, or not yet)
    bool counting = false;     // not counted yet: CountMeasurements() gives it
    QString port;
    QString peer;
    int64_t sweeps = 0; // frequency sweeps it kept
};

// True while `writer`, the console that wrote `session`, still runs.
using SessionRunning = std::function<bool(int64_t session, const ConsoleProcess& writer)>;

// Every session of an earlier console that ended uncleanly (a crash, a kill, a power cut or a
// signal), was not asked about yet and whose buffer held anything, oldest first: whatever ended
// after it.
Result<std::vector<UncleanSession>> UncleanSessions(SqliteDb& db, const SessionRunning& running);
// The restore question was answered: it is not asked again.
Result<void> MarkRestoreAsked(SqliteDb& db, int64_t session);
// The ids between which a session's arrivals lie (another console's may lie between them too),
// and the first of those in its buffer at the end; 0 for none.
struct SessionRows {
    int64_t first = 0;
    int64_t bufferFrom = 0;
    int64_t last = 0;
};
// Nothing for a session that is not there.
Result<std::optional<SessionRows>> SessionRowsOf(SqliteDb& db, int64_t session);
// Takes records read, in order, a slice at a time, as they are read.
using RecordSlices = std::function<void(std::vector<TMeasRecord>&&)>;
// The records of a session in arrival order: all of them, or those in its buffer at the end.
// `salvage` (a damaged file): reads on past what cannot be read instead of failing. With
// `progress`, counts the records read there and stops, giving none, when it asks to cancel.
// With `slices`, the records go there as they are read, and none are returned; `another`, when
// given, opens a second connection to the same file, on which a large session is read at once.
using OpenConnection = std::function<Result<SqliteDb>()>;
Result<std::vector<TMeasRecord>> LoadSessionRecords(SqliteDb& db, int64_t session, bool bufferOnly,
                                                    bool salvage = false,
                                                    WorkProgress* progress = nullptr,
                                                    const RecordSlices& slices = {},
                                                    const OpenConnection& another = {});
// The download the session's buffer followed, if it followed one.
Result<std::optional<DownloadState>> SessionDownload(SqliteDb& db, int64_t session);
// Every session, newest first, with the measurements counted before; those still to count (a
// session that ended, or a running one while it is small) are marked `counting`.
Result<std::vector<SessionSummary>> ListSessions(SqliteDb& db, const SessionRunning& running);
// Keeps the count of a session that ended, so it is counted once.
Result<void> KeepMeasurements(SqliteDb& db, int64_t session, int64_t measurements);
