#pragma once
// The archive's writer thread, MeasurementArchive's own: the other threads hand it one queue of
// typed jobs, which it takes in order (as qBittorrent's resume-data storage drains its jobs),
// and it reports back counts as atomics, its reason and the files it moved aside; nothing else
// is shared. It gathers arrivals into batches, commits one at most batchMs after the last, keeps
// trying a file that cannot be written, moves a damaged one aside and starts anew when its file
// is removed or replaced. Included only by the archive's own sources.
#include <QString>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "archive/ArchiveSessions.h"
#include "archive/ArchiveSweeps.h"
#include "archive/ConsoleProcess.h"
#include "archive/MeasurementArchive.h"
#include "archive/WalCheckpointer.h"
#include "buffer/RecordStream.h"
#include "sqlite/Sqlite.h"

namespace archivewriter {

using Clock = std::chrono::steady_clock;

// Markers in the place of a source: the buffer was emptied; the buffer follows a download (the
// next of the notes that wait with the arrivals).
inline constexpr uint8_t ClearMark = 0xFF;
inline constexpr uint8_t DownloadMark = 0xFE;
inline bool IsMark(uint8_t source) {
    return source >= DownloadMark;
}

// How long the first try at start-up waits for another program's lock: the window waits for that
// try, and a file held locked is tried again while the window shows why.
inline constexpr int StartBusyMs = 200;

// A file by its device and inode, to tell it from another file put in its place.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

// A prepared INSERT of arrivals and what its parameters hold. Bindings outlive a step, and most
// columns of an arrival repeat those of the one bound to the same parameters before it (the
// session, the source, when it came, board and range): a number or NULL a parameter holds already
// is not bound again. Binding every value took about a fifth of the writer's time.
class RowInsert {
public:
    RowInsert() = default;
    explicit RowInsert(SqliteStatement statement) : statement_(std::move(statement)) {}
    SqliteStatement& Statement() { return statement_; }

    void Int(int i, int64_t value) {
        if (!Holds(i, Kind::Int, std::bit_cast<uint64_t>(value)))
            statement_.Bind(i, value);
    }
    void Real(int i, std::optional<double> value) {
        if (!value) {
            Null(i);
        } else if (!Holds(i, Kind::Real, std::bit_cast<uint64_t>(*value))) {
            statement_.Bind(i, *value);
        }
    }
    void Int(int i, std::optional<int64_t> value) {
        if (value)
            Int(i, *value);
        else
            Null(i);
    }
    void Null(int i) {
        if (!Holds(i, Kind::Null, 0))
            statement_.BindNull(i);
    }
    // Text and blobs are bound each time: they point into the row.
    void Text(int i, std::string_view kept) {
        Forget(i);
        statement_.BindKept(i, kept);
    }
    void Blob(int i, std::span<const uint8_t> bytes) {
        Forget(i);
        statement_.BindBlob(i, bytes);
    }

private:
    enum class Kind : uint8_t { Unknown, Null, Int, Real };
    struct Held {
        Kind kind = Kind::Unknown;
        uint64_t bits = 0;
    };
    // Whether parameter i holds that value already; from now on it does.
    bool Holds(int i, Kind kind, uint64_t bits) {
        const auto at = static_cast<size_t>(i);
        if (held_.size() <= at)
            held_.resize(at + 1);
        Held& h = held_[at];
        if (h.kind == kind && h.bits == bits)
            return true;
        h = {kind, bits};
        return false;
    }
    void Forget(int i) {
        if (static_cast<size_t>(i) < held_.size())
            held_[static_cast<size_t>(i)].kind = Kind::Unknown;
    }

    SqliteStatement statement_;
    std::vector<Held> held_; // by parameter number
};

} // namespace archivewriter

struct MeasurementArchive::Entry {
    TMeasRecord rec;
    int64_t receivedMs; // ms since 1970 UTC
    uint8_t source;     // an ArrivalSource or a mark
};

class MeasurementArchive::Writer {
public:
    using Clock = archivewriter::Clock;
    using FileId = archivewriter::FileId;

    // What the UI thread (and the reader, keeping a count) hands the writer: one queue of these,
    // taken in the order given. Nothing else is shared but what is read back (below).
    struct AppendArrivals {
        std::vector<Entry> entries; // records, and marks of the buffer emptied
    };
    // Records of the buffer [from, to) as arrived at receivedMs: copied on the writer's thread,
    // not the window's.
    struct AppendStored {
        RecordSnapshot records;
        int64_t from;
        int64_t to;
        uint8_t source;
        int64_t receivedMs;
    };
    struct NoteDownload {
        DownloadState download;
        int64_t receivedMs;
    };
    struct StartAnew {
        std::vector<TMeasRecord> buffer;
        std::optional<DownloadState> download;
        int64_t receivedMs;
    };
    struct SetPort {
        QString port;
    };
    struct SetPeer {
        QString peer;
    };
    struct KeepSweep {
        int index;
        Sweep sweep;
    };
    struct KeepSweepPoint {
        int index;
        int point;
        SweepPoint p;
    };
    struct MarkRestoreAsked {
        int64_t session;
    };
    struct KeepCount {
        int64_t session;
        int64_t measurements;
    };
    struct Flush {
        std::promise<bool> done; // true once everything handed over before it is written
    };
    struct EndBySignal {
        int signal;
    };
    struct Stop {
        bool abandon; // without a clean end, as a crash would
    };
    using Job = std::variant<AppendArrivals, AppendStored, NoteDownload, StartAnew, SetPort,
                             SetPeer, KeepSweep, KeepSweepPoint, MarkRestoreAsked, KeepCount, Flush,
                             EndBySignal, Stop>;

    // Starts the thread, which opens the file and begins the session.
    explicit Writer(const ArchiveOptions& options);

    ~Writer() { Close(false); }

    // Ends the writer after what waits (`abandon`: without a clean end) and waits for it.
    void Close(bool abandon) {
        Push(Stop{abandon});
        if (thread_.joinable())
            thread_.join();
    }

    // When a record handed over now arrived.
    int64_t NowMs() const { return ArrivalWallMs(startWallMs_, Clock::now() - startClock_); }

    // Records (a mark: one entry) as arrived now; what the queue cannot hold is counted.
    void Add(std::span<const TMeasRecord> records, uint8_t source) {
        const int64_t ms = NowMs();
        Queue([&] {
            const size_t room = archivewriter::IsMark(source) ? 1 : Room(records.size());
            if (jobs_.empty() || !std::holds_alternative<AppendArrivals>(jobs_.back())) {
                // Room for as many as the last one took: a report's items come one at a time,
                // and growing a vector of a million entries step by step moved each of them
                // about twice.
                std::vector<Entry> fresh;
                fresh.reserve(std::max(arrivalsHint_, room));
                jobs_.emplace_back(AppendArrivals{std::move(fresh)});
            }
            std::vector<Entry>& entries = std::get<AppendArrivals>(jobs_.back()).entries;
            if (archivewriter::IsMark(source)) {
                entries.push_back(Entry{TMeasRecord{}, ms, source});
                ++handed_;
            } else {
                for (const TMeasRecord& rec : records.first(room))
                    entries.push_back(Entry{rec, ms, source});
            }
            arrivalsHint_ = entries.size();
        });
    }

    // The buffer's records [from, to) as arrived now; what the queue cannot hold is counted.
    void Add(RecordSnapshot records, int64_t from, int64_t to, uint8_t source) {
        if (to <= from)
            return;
        const int64_t ms = NowMs();
        Queue([&] {
            const auto room = static_cast<int64_t>(Room(static_cast<size_t>(to - from)));
            if (room > 0)
                jobs_.emplace_back(AppendStored{std::move(records), from, from + room, source, ms});
        });
    }

    // Runs `put` under the queue's lock to queue what there is room for, unless the writer is
    // closing. The writer looks at what came when it is due; it is woken only from rest, or to
    // start at once when so many wait.
    template <class Put> void Queue(Put&& put) {
        bool wake = false;
        {
            std::lock_guard l(m_);
            if (closed_)
                return;
            const bool wasCrowded = Crowded();
            put();
            wake = idle_ || (!wasCrowded && Crowded());
            nudged_ = nudged_ || wake;
        }
        if (wake)
            cv_.notify_one();
    }

    // Hands the writer a job; false once it is closing.
    bool Push(Job job) {
        {
            std::lock_guard l(m_);
            if (closed_)
                return false;
            closed_ = std::holds_alternative<Stop>(job);
            if (std::holds_alternative<NoteDownload>(job))
                ++handed_; // its mark
            jobs_.push_back(std::move(job));
            nudged_ = true;
        }
        cv_.notify_one();
        return true;
    }

    // Read back from the writer.
    ArchiveState State() const {
        ArchiveState s;
        s.path = options_.path;
        {
            std::lock_guard l(readBackM_);
            s.reason = reason_;
        }
        s.waiting = Waiting();
        s.dropped = dropped_;
        s.archived = archived_;
        return s;
    }

    bool Full() const { return writingWell_ && Crowded(); }
    bool Behind() const { return Full() && Progressing(); }
    // Half a hold-back's worth waits and the writer gets on with it: a count steps aside.
    bool Busy() const {
        return writingWell_ && Waiting() >= options_.holdBackAt / 2 && Progressing();
    }

    int64_t SessionId() const { return sessionId_; }

    bool WaitOpen(int timeoutMs) {
        // A damaged file moved aside is followed at once by a new one: that is waited for.
        openSettled_.wait_for(std::chrono::milliseconds(timeoutMs));
        return opened_ && writingWell_;
    }

    bool WaitWritten(int timeoutMs) {
        Flush flush;
        std::future<bool> done = flush.done.get_future();
        if (!Push(std::move(flush)))
            return Waiting() == 0;
        return done.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready &&
               done.get();
    }

    const ConsoleProcess& Self() const { return self_; }
    SessionRunning RunningCheck() const {
        return [this](int64_t session, const ConsoleProcess& writer) {
            return session == SessionId() ||
                   SessionStillRunning(options_.path, session, writer, self_);
        };
    }

    // The damaged files moved aside in this run, each with this console's session there (it
    // lives on in the buffer, so it is not offered).
    std::vector<std::pair<QString, int64_t>> MovedAside() const {
        std::lock_guard l(readBackM_);
        return aside_;
    }

private:
    // Handed over and not yet written (marks included).
    int64_t Waiting() const { return handed_ - handled_; }
    // A batch was written within stuckMs.
    bool Progressing() const {
        return started_ && Clock::now() - Clock::time_point(Clock::duration(lastWritten_.load())) <
                               std::chrono::milliseconds(options_.stuckMs);
    }
    // Under m_: how many of `n` records the queue takes (they are handed over); the rest are
    // counted as lost.
    size_t Room(size_t n) {
        const auto room = std::max<int64_t>(0, options_.queueLimit - Waiting());
        const auto taken = std::min(room, static_cast<int64_t>(n));
        handed_ += taken;
        if (taken < static_cast<int64_t>(n))
            dropped_ += static_cast<int64_t>(n) - taken;
        return static_cast<size_t>(taken);
    }
    // So many wait that a source is asked to hold back, and the writer starts at once.
    bool Crowded() const { return handed_ - taken_ >= options_.holdBackAt; }
    void Run();
    // Takes the jobs handed over into what the writer holds.
    void Take(std::deque<Job>& jobs);
    void Take(std::vector<Entry>& entries);
    // Runs a job that writes beside the arrivals (after the batch, as it was handed over after
    // the arrivals in it).
    void RunAfter(Job& job);
    // Answers the flushes whose arrivals are written; at the end, all of them.
    void AnswerFlushes(bool ending);
    // Lets WaitOpen go once the first try has settled.
    void SettleOpen();
    // Writes the batch in one transaction; on failure it stays for the next try.
    void TryWrite(std::vector<Entry>& batch);
    Result<void> WriteBatch(const std::vector<Entry>& batch);
    void BindRow(archivewriter::RowInsert& insert, int base, const Entry& e, const ArchiveRow& row);
    Result<void> EnsureOpen();
    Result<void> OpenFile();
    Result<void> StartSession();
    // `keepWal`: the files by the archive's name may no longer be ours; nothing is copied into
    // or removed from them.
    void CloseDb(bool keepWal = false);
    void MoveAside(std::vector<Entry>& batch);
    // What tells that the open file is no longer the archive at the path: a message for the
    // operator, empty while it is.
    QString LostFile();
    // With the file lost: closes it, starts a new session in what is at the path now, and asks
    // for the buffer again.
    void StartOver(std::vector<Entry>& batch, const QString& message);
    // This session's rows are gone from the archive: the owner is asked for the buffer.
    void AskForBuffer(std::vector<Entry>& batch);
    Result<void> EndSession();
    // A sweep's row or point, written at once while the file is written well, else with the
    // next batch that is.
    using SweepWrite = std::function<Result<void>(SqliteDb&, int64_t, SweepRows&)>;
    void NoteSweep(SweepWrite write);
    void WriteSweepNotes();
    void Failed(const QString& reason, bool retryNow);
    void Tell(const QString& message) const;

    ArchiveOptions options_;
    int64_t startWallMs_ = 0;
    Clock::time_point startClock_;
    ConsoleProcess self_;

    // The queue, under m_.
    mutable std::mutex m_;
    std::condition_variable cv_; // wakes the writer
    std::deque<Job> jobs_;
    bool nudged_ = false;     // something came that the writer looks at now
    bool idle_ = false;       // the writer rests with nothing to write
    bool closed_ = false;     // Stop was handed over: nothing more is taken
    size_t arrivalsHint_ = 0; // entries in the last AppendArrivals handed over

    // Read back: counts as atomics, the reason and the files moved aside under readBackM_.
    std::atomic<int64_t> handed_ = 0;  // entries handed over, marks included
    std::atomic<int64_t> taken_ = 0;   // of them taken into a batch (or superseded)
    std::atomic<int64_t> handled_ = 0; // and written (or superseded)
    std::atomic<int64_t> dropped_ = 0; // lost: the queue was full
    std::atomic<int64_t> archived_ = 0;
    std::atomic<Clock::rep> lastWritten_ = 0; // the end of the last batch written
    std::atomic<bool> started_ = false;       // the file was tried once
    std::atomic<bool> opened_ = false;        // and written once
    std::atomic<bool> writingWell_ = true;    // no reason why nothing is written
    std::atomic<int64_t> sessionId_ = 0;
    mutable std::mutex readBackM_;
    QString reason_;
    std::vector<std::pair<QString, int64_t>> aside_; // damaged files moved aside in this run
    std::promise<void> openPromise_;
    std::shared_future<void> openSettled_;

    // Writer thread only.
    std::thread thread_;
    std::vector<Entry> pending_;      // taken from the queue, not yet into a batch
    std::deque<DownloadState> notes_; // one for each DownloadMark in pending_
    int64_t received_ = 0;            // entries taken from the queue into pending_
    bool awaitingBuffer_ = false;     // after onRestart, until StartAnew
    std::vector<Job> after_;          // to run after the batch
    std::vector<std::pair<int64_t, std::promise<bool>>> flushes_; // with their targets
    bool runNow_ = false;                                         // a job to run at once came
    bool stop_ = false;
    bool abandon_ = false;
    int endSignal_ = 0;
    bool openSettledSet_ = false;
    bool failing_ = false;
    bool retryNow_ = false; // the next try follows at once
    QString port_;
    QString peer_;
    bool sessionDirty_ = false;
    WalCheckpointer checkpointer_;
    SqliteDb db_;
    archivewriter::RowInsert insert_;     // one row
    archivewriter::RowInsert insertMany_; // RowsPerInsert rows
    SqliteStatement updateSession_;
    Clock::time_point nextTry_;
    int64_t counts_[ArrivalSourceCount] = {};
    int64_t firstArrival_ = 0;
    int64_t lastArrival_ = 0;
    int64_t bufferFrom_ = 0;
    int64_t bufferItems_ = 0;
    int64_t downloadFirst_ = 0;
    int64_t downloadAmount_ = 0;
    int64_t downloadFrom_ = 0;             // 0: the buffer follows no download
    std::deque<DownloadState> batchNotes_; // one for each DownloadMark in the batch
    bool freshSession_ = false;            // the next session is a new one, in a new file
    std::deque<SweepWrite> sweepNotes_;
    SweepRows sweepRows_; // of this session
    int busyMs_ = std::min(options_.busyTimeoutMs, archivewriter::StartBusyMs);
    std::optional<FileId> dbId_, walId_, shmId_;
    QString toldReason_; // the last refusal told by a message
};
