#pragma once
// The spool: every byte a logger sends is written to a local SQLite file (WAL, synchronous
// commits) before anything parses it, so a report counts as received once it is on disk. The
// listener hands bytes over and never waits; a thread of its own commits whatever came while the
// previous commit ran, so bytes are on disk one or two commits after they arrived (a few
// milliseconds, 100 ms on a very slow disk). A report leaves the spool once it is in the
// database (Forget).
//
// When more than CongestedBytes wait for the writer (the loggers send faster than the disk
// writes) or the file cannot be written (a full disk), Congested() tells the listener to stop
// reading: the bytes wait in the loggers' TCP connections, never in memory. 8 MiB is what a disk
// of about 100 MB/s commits in well under 100 ms, so what the collector has read is on disk
// within that time even while the loggers outrun it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QUuid>

#include "base/Result.h"
#include "sqlite/Sqlite.h"
#include "tools/collector/SpooledReport.h"

namespace collector {

class SpoolWriter {
public:
    static constexpr qsizetype CongestedBytes = qsizetype{8} << 20;

    explicit SpoolWriter(QString path);
    ~SpoolWriter();

    // Opens the spool (made when missing), ends as Interrupted the connections a collector that
    // was killed left open, and starts the writer. The number of reports waiting from before.
    Result<int64_t> Open();

    // The listener's side, from one thread: a connection's start, its bytes, its end.
    int64_t Begin(const QHostAddress& peer, quint16 port, int64_t ms);
    void Append(int64_t id, QByteArray bytes, int64_t ms);
    void End(int64_t id, Ending ending, int64_t ms);
    bool Congested() const;
    // The listener holds bytes back: onRelieved is called once the writer catches up.
    void WantRelief() { reliefWanted_ = true; }

    // The delivery's side: these reports are in the database.
    void Forget(std::vector<int64_t> ids);

    // Waits until everything handed over is committed; false when that did not happen in time.
    bool Flush(int timeoutMs);
    // Commits what was handed over (one more try when the file cannot be written) and ends the
    // writer.
    void Stop();

    // How the writer kept up: commits, and the longest time from a byte's arrival to its commit.
    struct Stats {
        int64_t commits = 0;
        int64_t longestMs = 0;
        int64_t later = 0; // commits of bytes that had arrived more than 100 ms before
    };
    Stats Statistics() const;

    // Called on the writer's thread.
    std::function<void()> onRelieved;  // reading may go on
    std::function<void()> onCompleted; // a commit made reports complete

private:
    struct BeginEvent {
        int64_t id;
        QUuid key;
        QHostAddress peer;
        quint16 port;
        int64_t ms;
    };
    struct ChunkEvent {
        int64_t id;
        QByteArray bytes;
        int64_t ms;
    };
    struct EndEvent {
        int64_t id;
        Ending ending;
        int64_t ms;
    };
    struct ForgetEvent {
        std::vector<int64_t> ids;
    };
    using Event = std::variant<BeginEvent, ChunkEvent, EndEvent, ForgetEvent>;

    void Push(Event event, qsizetype bytes = 0);
    void Run();
    // Writes the events in one transaction; the sequence number of the last completed report.
    Result<void> Write(const std::vector<Event>& events, int64_t& seq, bool& completed);

    QString path_;
    SqliteDb db_;        // the writer's, once it runs
    int64_t nextId_ = 1; // the listener's
    int64_t seq_ = 0;    // the writer's

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<Event> queue_;
    bool writing_ = false;
    bool stop_ = false;
    std::atomic<qsizetype> pending_{0};
    std::atomic<bool> failing_{false};
    std::atomic<bool> reliefWanted_{false};
    Stats stats_; // under mutex_
    std::thread thread_;
};

} // namespace collector
