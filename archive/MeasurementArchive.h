#pragma once
// The measurement archive: every record that enters the buffer is also written, with its source
// and the time it arrived, into an SQLite file, where it survives a crash, a power cut or a
// killed process. The UI thread only hands records over (Add never touches the disk); one writer
// thread of its own commits them in batches, at most a quarter second after they arrived. While
// the file cannot be written (full disk, read-only folder, locked) the records wait in a bounded
// queue and the writer tries again every 10 seconds; what the queue cannot hold is counted. A
// damaged file is moved aside and a new one started; so is one removed or replaced under the
// writer, which then writes the buffer anew. All writing runs on the writer thread, which shares
// with the others only one queue of typed jobs (arrivals, notes, writes beside them, a flush)
// that it takes in order, and what it reports back (counts as atomics, its state); the readers
// below read on connections of their own and never wait for it.
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "archive/ArchiveRow.h"
#include "archive/ArchiveSessions.h"
#include "base/ProgramVersion.h"
#include "base/Result.h"
#include "buffer/RecordStream.h"
#include "records/MeasRecord.h"
#include "sweep/Sweep.h"

class ArchiveReader;
class SqliteDb;

struct ArchiveOptions {
    QString path;
    QString consoleVersion = ProgramShortVersion();
    int retryMs = 10000; // a failed write is tried again after this
    int batchMs = 100;   // the writer gathers arrivals this long between commits at most
    int64_t queueLimit = 1000000;
    // Arrivals waiting beyond the batch being written at which Behind() asks a source that can
    // wait to wait, unless the writer has not finished a batch for stuckMs (it is stuck). So
    // many waiting are written without waiting out batchMs.
    int64_t holdBackAt = 100000;
    int stuckMs = 2000;
    int busyTimeoutMs = 2000; // waiting for another console's write lock
    // WAL length in pages at which a second thread copies it back into the database, and at
    // which the writer finishes that itself so that the WAL starts anew (64 MiB).
    int walStartFrames = 1000;
    int walCapFrames = 16384;
    // Called on the writer thread with a message for the operator: a damaged file moved aside,
    // a file removed under the writer, a path that is no regular file.
    std::function<void(const QString&)> onMessage;
    // Called on the writer thread when what this session wrote is no longer in the archive (its
    // file was moved aside as damaged, removed or replaced): the owner hands the buffer over
    // with StartAnew(), and the writer waits for it. Without it the writer goes on with what it
    // holds.
    std::function<void()> onRestart;
    // Called on the writer thread when the file opened for the first time (at once, or once
    // another program let go of its lock).
    std::function<void()> onOpened;
    // For tests: called on the reader's thread before it counts a session's measurements, so
    // that a test can hold a count back as a long one would take.
    std::function<void(int64_t session)> beforeCount;
    // For tests: called on the thread of quick reads before each of them, so that a test can
    // hold a read back as a slow disk would.
    std::function<void()> beforeRead;
};

// When an arrival came: the archive's start on the wall clock (ms since 1970 UTC) plus the steady
// time since, so that setting the computer's clock does not reorder arrivals. 64 bits: it does
// not wrap in any console's life.
int64_t ArrivalWallMs(int64_t startWallMs, std::chrono::steady_clock::duration sinceStart);

// What "Yes" to the restore question brings back.
struct RestoredSession {
    std::vector<TMeasRecord> records; // in the session's buffer at its end
    std::optional<DownloadState> download;
    std::vector<Sweep> sweeps;
};

// What the label shows.
struct ArchiveState {
    QString path;
    QString reason;       // why nothing is written now; empty while all is well
    int64_t waiting = 0;  // handed over, not yet written
    int64_t dropped = 0;  // lost: the queue was full
    int64_t archived = 0; // written by this console
};

// "Archive: <path>", or "Archive: not written: <reason> (<n> not archived)".
QString ArchiveLabelText(const ArchiveState& state);

class MeasurementArchive {
public:
    // Starts the writer, which opens (creating it and its folder when missing) the file and
    // begins this console's session.
    explicit MeasurementArchive(ArchiveOptions options);
    // Writes what is waiting (a failing disk gets one more try) and ends the session: cleanly,
    // or as ended by the signal given to EndBySignal().
    ~MeasurementArchive();
    MeasurementArchive(const MeasurementArchive&) = delete;
    MeasurementArchive& operator=(const MeasurementArchive&) = delete;

    // UI thread: never waits on the disk.
    void Add(const TMeasRecord& rec, ArrivalSource source);
    void Add(std::span<const TMeasRecord> records, ArrivalSource source);
    // The records [from, to) of a snapshot of the buffer, copied on the writer's thread.
    void Add(const RecordSnapshot& records, int64_t from, int64_t to, ArrivalSource source);
    // While a put-back reads records into the buffer, a count of measurements under way pauses,
    // leaving the processors to the read and the window (true), and goes on after (false) once
    // the writer has worked off its backlog.
    void StepBack(bool stepBack);
    // The buffer was emptied: what arrived before is not restored after a crash.
    void BufferCleared();
    // The buffer follows this download from now on: a new one (nothing arrived yet) or one
    // carried over from a restored session. Only the download arrivals handed over after it
    // count in it.
    void DownloadStarted(const DownloadState& download);
    // After onRestart: the buffer's records, and the download it follows, for the new file.
    // What was handed over since the file was lost is in the buffer, so it is not written twice.
    void StartAnew(std::span<const TMeasRecord> buffer,
                   const std::optional<DownloadState>& download);
    // The console is ending on a signal: the session gets an end, not a clean one, since the
    // buffer was not saved; it is offered for restore.
    void EndBySignal(int signal);
    // A sweep of this session (`index` as the recorder numbers them) started, ended, was fitted
    // or came back from an earlier session: its row and the points not written yet are written
    // as measurements are, never waiting on the disk here.
    void KeepSweep(int index, const Sweep& sweep);
    // A point appended to a running sweep.
    void KeepSweepPoint(int index, int point, const SweepPoint& p);
    void SetPort(const QString& port);
    void SetPeer(const QString& peer);
    ArchiveState State() const;
    const QString& Path() const { return options_.path; }
    // True while the writer writes well but more than holdBackAt arrivals wait for it: records
    // put back from the buffer (a restore, a session loaded), which lose nothing by waiting,
    // wait however long the writer takes. False while the file cannot be written: then the
    // queue counts what it cannot hold.
    bool Full() const;
    // Full(), unless the writer has finished no batch for stuckMs: a source that can wait only
    // so long (a TCP peer, whose logger sends on) pauses rather than fill the queue beyond what
    // the writer can take, but a stuck writer does not hold measuring up.
    bool Behind() const;
    // How many records to hand over at once when many wait to be given (a restore): small
    // enough that slices handed over while the writer is not Full() fit the queue.
    int64_t HandOverSlice() const;

    // Waits until everything handed over so far is written, and every write asked for so far
    // (a restore question answered, a count kept) is done (true) or the time is up.
    bool Flush(int timeoutMs);
    // Waits for the writer's first try to open the file (it waits only briefly for another
    // program's lock): done when the file is open and written well, else why not (the label's
    // reason, or "still opening" while the first try has not settled).
    Result<void> WaitOpen(int timeoutMs);

    // Readers: read on a connection of their own on the calling thread, never waiting on the
    // writer; their Error carries the archive's failure text when the file cannot be read.
    // Every session of an earlier console that ended uncleanly and was not asked about yet, when
    // its buffer held anything, oldest first: those in the archive, then those in a damaged file
    // this archive moved aside (as much of them as can be read).
    Result<std::vector<UncleanSession>> UncleanSessions();
    // "Yes": the session's buffer and download; it is not asked about again. With `slices`, the
    // records go there as they are read (LoadSessionRecords), not into the result. With
    // `progress`, counts the records read there; when it asks to cancel, the read stops and
    // neither the download nor the sweeps are given.
    Result<RestoredSession> Restore(const UncleanSession& session, const RecordSlices& slices = {},
                                    WorkProgress* progress = nullptr);
    // "No": it is not asked about again (the mark is written by the writer, after what waits;
    // this archive does not offer it again meanwhile).
    void MarkRestoreAsked(const UncleanSession& session);
    // The records of a session in arrival order: all of them, or those in its buffer at the end.
    // Read on a connection of its own, so on any thread; `progress` and `slices` as
    // LoadSessionRecords.
    Result<std::vector<TMeasRecord>> LoadSession(int64_t session, bool bufferOnly,
                                                 WorkProgress* progress = nullptr,
                                                 const RecordSlices& slices = {});
    // The sweeps of a session, oldest first; read on a connection of its own.
    Result<std::vector<Sweep>> LoadSweeps(int64_t session);
    // Every session, newest first, with the counts already known; read on a connection of its
    // own, a quick read of the session table.
    Result<std::vector<SessionSummary>> Sessions();
    // Counts a session marked `counting` on the reader thread and calls `done` there with the
    // count (-1 when it cannot be read); the count of a session that ended is kept, and made
    // once however often it is asked for.
    void CountMeasurements(const SessionSummary& session, std::function<void(int64_t)> done);
    // Runs `read` (quick reads such as Sessions() or UncleanSessions(), each on a connection
    // of its own) on a thread of the archive's own for them, one after another, so that the UI
    // thread never waits for the disk, and never behind a count; `read` reports its outcome.
    void PostRead(std::function<void()> read);
    // This console's session (0 until the file was opened).
    int64_t SessionId() const;

    // For tests and benchmarks: leaves the session without a clean end, as a crash would.
    void Abandon();

private:
    // Opens another connection to `file` (the archive, or a damaged one moved aside) for
    // reading, for a large read on two.
    OpenConnection ReaderOf(const QString& file) const;
    struct Entry;
    class Writer;

    // The restore question was answered for this session of the archive (`file` empty) or of a
    // damaged file moved aside.
    bool Asked(const QString& file, int64_t session) const;

    ArchiveOptions options_;
    std::atomic<bool> stepBack_ = false;
    std::atomic<bool> closing_ = false; // a count pauses no more
    mutable std::mutex askedMutex_;
    std::set<std::pair<QString, int64_t>> asked_;
    // Counts of ended sessions made here, by session; touched on the reader's thread only. A
    // History opened again while a count runs asks for it again, and is answered from here
    // instead of counting ten million arrivals a second time.
    std::map<int64_t, int64_t> counted_;
    std::unique_ptr<Writer> writer_;
    std::unique_ptr<ArchiveReader> reader_;      // after the writer: it goes first
    std::unique_ptr<ArchiveReader> quickReader_; // the same
};
