#pragma once
// Reading the archive's sessions: the restore offer after an unclean end, the history list and
// the records of one session. Whether a session's console still runs is the caller's to say
// (the writer knows its own process and its sibling archives).
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "data/ArchiveRow.h"
#include "data/ConsoleProcess.h"
#include "link/MeasRecord.h"

class SqliteDb;

// A session whose console ended without closing it, as the restore question names it.
struct UncleanSession {
    int64_t id = 0;
    QString startedAt; // UTC ISO 8601
    int64_t items = 0; // in its buffer at the end
    int64_t lastReceivedMs = 0;
};

struct SessionSummary {
    int64_t id = 0;
    QString startedAt; // UTC ISO 8601
    QString endedAt;   // empty while running or after an unclean end
    bool cleanEnd = false;
    bool running = false; // a console (this one or another) still writes it
    int64_t arrivals[ArrivalSourceCount] = {};
    int64_t measurements = -1; // -1: not counted (a large session still running)
    QString port;
    QString peer;
};

// True while `writer`, the console that wrote `session`, still runs.
using SessionRunning = std::function<bool(int64_t session, const ConsoleProcess& writer)>;

// The last session of an earlier console that ended uncleanly and was not asked about yet, when
// its buffer held anything.
std::optional<UncleanSession> PreviousUncleanSession(SqliteDb& db, const SessionRunning& running);
// The restore question was answered: it is not asked again.
void MarkRestoreAsked(SqliteDb& db, int64_t session);
// The records of a session in arrival order: all of them, or those in its buffer at the end.
std::vector<TMeasRecord> LoadSessionRecords(SqliteDb& db, int64_t session, bool bufferOnly);
// Every session, newest first. The measurements of a session that ended are counted once and
// kept; those of a running one only while it is small.
std::vector<SessionSummary> ListSessions(SqliteDb& db, const SessionRunning& running);
