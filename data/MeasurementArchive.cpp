#include "data/MeasurementArchive.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

#include "data/ArchiveSchema.h"
#include "data/ArchiveSessions.h"
#include "data/ConsoleProcess.h"
#include "data/Sqlite.h"
#include "data/WalCheckpointer.h"

namespace {

using Clock = std::chrono::steady_clock;

// The marker that the buffer was emptied, in the place of a source.
constexpr uint8_t ClearMark = 0xFF;

constexpr size_t RowsPerInsert = 64;
constexpr int ColumnsPerRow = 11;

std::string InsertSql(size_t rows) {
    std::string sql = "INSERT INTO arrival (session, source, received_ms, board, channel, range, "
                      "rx, xx, counter, logger_time, image) VALUES ";
    for (size_t r = 0; r < rows; ++r)
        sql += r == 0 ? "(?,?,?,?,?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?,?,?,?,?)";
    return sql;
}

QString UtcIso(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

int64_t WallMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Creates the missing folders of `folder` (mode 0700, as for the user's data folders); fails
// naming the first one that cannot be made.
void MakeFolder(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(clean).isDir())
        return;
    const QStringList parts = clean.split('/', Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += '/' + part;
        const QByteArray name = QFile::encodeName(path);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            throw SqliteFailure(SQLITE_CANTOPEN,
                                QStringLiteral("cannot create folder %1: %2")
                                    .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

} // namespace

QString ArchiveLabelText(const ArchiveState& state) {
    const int64_t lost = state.dropped + (state.reason.isEmpty() ? 0 : state.waiting);
    QString text = state.reason.isEmpty() ? QStringLiteral("Archive: ") + state.path
                                          : QStringLiteral("Archive: not written: ") + state.reason;
    if (lost > 0)
        text += QStringLiteral(" (%1 not archived)").arg(lost);
    return text;
}

struct MeasurementArchive::Entry {
    TMeasRecord rec;
    uint32_t msFromStart; // the arrival time, counted from the archive's start
    uint8_t source;
};

class MeasurementArchive::Writer {
public:
    explicit Writer(const ArchiveOptions& options)
        : options_(options), checkpointer_(options.walStartFrames, options.walCapFrames) {
        startWallMs_ = WallMs();
        startClock_ = Clock::now();
        self_ = ConsoleProcess::Current();
        thread_ = std::thread([this] { Run(); });
    }

    ~Writer() { Stop(); }

    void Stop() {
        {
            std::lock_guard l(m_);
            stop_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    void Add(std::span<const TMeasRecord> records, uint8_t source) {
        const auto ms = static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startClock_)
                .count());
        bool wake = false;
        {
            std::lock_guard l(m_);
            const bool wasCrowded = Crowded();
            for (const TMeasRecord& rec : records) {
                if (static_cast<int64_t>(pending_.size()) + taken_ >= options_.queueLimit &&
                    source != ClearMark) {
                    ++dropped_;
                    continue;
                }
                pending_.push_back(Entry{rec, ms, source});
            }
            wake = idle_ || (!wasCrowded && Crowded());
        }
        if (wake)
            cv_.notify_one();
    }

    void SetPort(const QString& port) {
        {
            std::lock_guard l(m_);
            port_ = port;
            sessionDirty_ = true;
        }
        cv_.notify_all();
    }
    void SetPeer(const QString& peer) {
        {
            std::lock_guard l(m_);
            peer_ = peer;
            sessionDirty_ = true;
        }
        cv_.notify_all();
    }

    ArchiveState State() const {
        std::lock_guard l(m_);
        ArchiveState s;
        s.path = options_.path;
        s.reason = reason_;
        s.waiting = static_cast<int64_t>(pending_.size()) + taken_;
        s.dropped = dropped_;
        s.archived = archived_;
        return s;
    }

    bool Behind() const {
        std::lock_guard l(m_);
        return started_ && reason_.isEmpty() && Crowded() &&
               Clock::now() - lastWritten_ < std::chrono::milliseconds(options_.stuckMs);
    }

    int64_t SessionId() const {
        std::lock_guard l(m_);
        return sessionId_;
    }

    bool Flush(int timeoutMs) {
        std::unique_lock l(m_);
        const int64_t target = handled_ + static_cast<int64_t>(pending_.size()) + taken_;
        cv_.notify_all();
        return doneCv_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] {
            return (started_ && handled_ >= target) || stopped_;
        }) && handled_ >= target;
    }

    // Runs on the writer thread after the arrivals handed over before it.
    void Post(std::function<void()> job) {
        {
            std::lock_guard l(m_);
            if (stopped_ || stop_)
                throw Failure(QStringLiteral("the archive is closed"));
            jobs_.push_back(std::move(job));
        }
        cv_.notify_all();
    }

    void Abandon() {
        abandon_ = true;
        Stop();
    }

    // Writer-thread side, used by the jobs.
    SqliteDb& Db() {
        EnsureOpen();
        return db_;
    }
    SessionRunning RunningCheck() const {
        return [this](int64_t session, const ConsoleProcess& writer) {
            return session == SessionId() ||
                   SessionStillRunning(options_.path, session, writer, self_);
        };
    }

private:
    // Under m_: so many wait that a source is asked to hold back, and the writer starts at once.
    bool Crowded() const { return static_cast<int64_t>(pending_.size()) >= options_.holdBackAt; }
    void Run();
    // Writes the batch in one transaction; on failure it stays for the next try.
    void TryWrite(std::vector<Entry>& batch);
    void WriteBatch(const std::vector<Entry>& batch);
    void BindRow(SqliteStatement& insert, int base, const Entry& e, const ArchiveRow& row);
    void EnsureOpen();
    void OpenFile();
    void StartSession();
    void CloseDb();
    void MoveAside();
    void EndSession();
    void Failed(const QString& reason, bool retryNow);

    ArchiveOptions options_;
    int64_t startWallMs_ = 0;
    Clock::time_point startClock_;
    ConsoleProcess self_;

    // Shared with the UI thread, under m_.
    mutable std::mutex m_;
    std::condition_variable cv_;     // wakes the writer
    std::condition_variable doneCv_; // wakes Flush
    std::vector<Entry> pending_;
    int64_t taken_ = 0; // entries the writer took and has not written yet
    std::deque<std::function<void()>> jobs_;
    bool idle_ = false;
    bool stop_ = false;
    bool stopped_ = false;
    int64_t dropped_ = 0;
    int64_t archived_ = 0;
    int64_t handled_ = 0;           // entries written, markers included
    Clock::time_point lastWritten_; // the end of the last batch written
    bool started_ = false;          // the file was tried once
    QString reason_;
    QString port_;
    QString peer_;
    bool sessionDirty_ = false;
    int64_t sessionId_ = 0;
    std::atomic<bool> abandon_ = false;

    // Writer thread only.
    std::thread thread_;
    WalCheckpointer checkpointer_;
    SqliteDb db_;
    SqliteStatement insert_;     // one row
    SqliteStatement insertMany_; // RowsPerInsert rows
    SqliteStatement updateSession_;
    bool failing_ = false;
    Clock::time_point nextTry_;
    int64_t counts_[ArrivalSourceCount] = {};
    int64_t firstArrival_ = 0;
    int64_t lastArrival_ = 0;
    int64_t bufferFrom_ = 0;
    int64_t bufferItems_ = 0;
};

void MeasurementArchive::Writer::Run() {
    std::vector<Entry> batch;
    Clock::time_point lastCommit = Clock::now() - std::chrono::milliseconds(options_.batchMs);
    TryWrite(batch); // opens the file and starts the session
    {
        std::lock_guard l(m_);
        started_ = true;
        doneCv_.notify_all();
    }
    for (;;) {
        std::deque<std::function<void()>> jobs;
        bool stopping = false;
        bool sessionDirty = false;
        {
            std::unique_lock l(m_);
            for (;;) {
                const auto now = Clock::now();
                if (stop_ || !jobs_.empty())
                    break;
                if (failing_) {
                    if (now >= nextTry_)
                        break;
                    cv_.wait_until(l, nextTry_);
                    continue;
                }
                if (!pending_.empty() || !batch.empty() || sessionDirty_) {
                    const auto due = lastCommit + std::chrono::milliseconds(options_.batchMs);
                    // So many wait that a source holds back for them: a commit's cost is
                    // shared by enough rows already, and waiting out the pause would only
                    // keep the source waiting.
                    if (now >= due || Crowded())
                        break;
                    cv_.wait_until(l, due);
                    continue;
                }
                idle_ = true;
                cv_.wait(l);
                idle_ = false;
            }
            if (batch.empty())
                batch.swap(pending_);
            else
                batch.insert(batch.end(), pending_.begin(), pending_.end());
            pending_.clear();
            taken_ = static_cast<int64_t>(batch.size());
            jobs.swap(jobs_);
            stopping = stop_;
            sessionDirty = sessionDirty_;
        }
        if (!batch.empty() || sessionDirty || failing_) {
            // Counted from the start of this write: when writing takes longer than the pause
            // between commits (a flood of arrivals), the next one starts at once.
            lastCommit = Clock::now();
            TryWrite(batch);
        }
        for (auto& job : jobs)
            job();
        if (stopping) {
            std::lock_guard l(m_);
            if (pending_.empty() && jobs_.empty())
                break;
        }
    }
    if (!abandon_ && batch.empty() && !failing_) {
        try {
            EndSession();
        } catch (const SqliteFailure&) {
            // Left without a clean end: the next start offers what was written.
        }
    }
    CloseDb();
    SetSessionLive(options_.path, SessionId(), false);
    std::lock_guard l(m_);
    stopped_ = true;
    doneCv_.notify_all();
}

void MeasurementArchive::Writer::TryWrite(std::vector<Entry>& batch) {
    try {
        EnsureOpen();
        WriteBatch(batch);
        const auto written = static_cast<int64_t>(std::count_if(
            batch.begin(), batch.end(), [](const Entry& e) { return e.source != ClearMark; }));
        const auto handled = static_cast<int64_t>(batch.size());
        batch.clear();
        std::lock_guard l(m_);
        taken_ = 0;
        archived_ += written;
        handled_ += handled;
        lastWritten_ = Clock::now();
        reason_.clear();
        failing_ = false;
        doneCv_.notify_all();
    } catch (const SqliteFailure& f) {
        CloseDb();
        if (f.Damaged()) {
            MoveAside();
            return;
        }
        Failed(f.text(), false);
    }
}

void MeasurementArchive::Writer::Failed(const QString& reason, bool retryNow) {
    std::lock_guard l(m_);
    reason_ = reason;
    failing_ = true;
    nextTry_ = Clock::now() + std::chrono::milliseconds(retryNow ? 0 : options_.retryMs);
}

void MeasurementArchive::Writer::BindRow(SqliteStatement& insert, int base, const Entry& e,
                                         const ArchiveRow& row) {
    insert.Bind(base + 1, sessionId_);
    insert.Bind(base + 2, int64_t{e.source});
    insert.Bind(base + 3, startWallMs_ + int64_t{e.msFromStart});
    insert.Bind(base + 4, row.board);
    insert.Bind(base + 5, row.channel);
    insert.Bind(base + 6, int64_t{row.range});
    if (row.rx)
        insert.Bind(base + 7, *row.rx);
    else
        insert.BindNull(base + 7);
    if (row.xx)
        insert.Bind(base + 8, *row.xx);
    else
        insert.BindNull(base + 8);
    if (row.counter)
        insert.Bind(base + 9, *row.counter);
    else
        insert.BindNull(base + 9);
    if (row.loggerTimeLength > 0)
        insert.BindKept(base + 10, row.LoggerTime());
    else
        insert.BindNull(base + 10);
    if (row.needsImage)
        insert.BindBlob(base + 11, {reinterpret_cast<const uint8_t*>(&e.rec), sizeof e.rec});
    else
        insert.BindNull(base + 11);
}

void MeasurementArchive::Writer::WriteBatch(const std::vector<Entry>& batch) {
    int64_t counts[ArrivalSourceCount];
    std::copy(std::begin(counts_), std::end(counts_), counts);
    int64_t first = firstArrival_;
    int64_t last = lastArrival_;
    int64_t bufferFrom = bufferFrom_;
    int64_t bufferItems = bufferItems_;
    QString port, peer;
    {
        std::lock_guard l(m_);
        port = port_;
        peer = peer_;
        sessionDirty_ = false;
    }
    db_.Exec("BEGIN IMMEDIATE");
    try {
        std::array<ArchiveRow, RowsPerInsert> rows;
        for (size_t i = 0; i < batch.size();) {
            if (batch[i].source == ClearMark) {
                SqliteStatement next = db_.Prepare("SELECT ifnull(max(id), 0) + 1 FROM arrival");
                next.Step();
                bufferFrom = next.Int(0);
                bufferItems = 0;
                ++i;
                continue;
            }
            // Many rows to a statement while they come in runs: each step has its own cost.
            size_t n = 0;
            while (n < RowsPerInsert && i + n < batch.size() && batch[i + n].source != ClearMark)
                ++n;
            if (n < RowsPerInsert)
                n = 1;
            SqliteStatement& insert = n == 1 ? insert_ : insertMany_;
            for (size_t r = 0; r < n; ++r) {
                const Entry& e = batch[i + r];
                rows[r] = RowOf(e.rec, static_cast<ArrivalSource>(e.source));
                BindRow(insert, static_cast<int>(r) * ColumnsPerRow, e, rows[r]);
                ++counts[e.source & 3];
            }
            insert.Step();
            insert.Reset();
            last = db_.LastInsertId();
            // The rows of one statement take consecutive numbers: the write lock is ours.
            if (first == 0)
                first = last - static_cast<int64_t>(n) + 1;
            bufferItems += static_cast<int64_t>(n);
            i += n;
        }
        for (int i = 0; i < ArrivalSourceCount; ++i)
            updateSession_.Bind(i + 1, counts[i]);
        if (first != 0) {
            updateSession_.Bind(5, first);
            updateSession_.Bind(6, last);
        } else {
            updateSession_.BindNull(5);
            updateSession_.BindNull(6);
        }
        updateSession_.Bind(7, bufferFrom);
        updateSession_.Bind(8, port);
        updateSession_.Bind(9, peer);
        updateSession_.Bind(10, sessionId_);
        updateSession_.Bind(11, bufferItems);
        updateSession_.Step();
        updateSession_.Reset();
        db_.Exec("COMMIT");
    } catch (...) {
        insert_.Reset();
        insertMany_.Reset();
        updateSession_.Reset();
        sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        std::lock_guard l(m_);
        sessionDirty_ = true;
        throw;
    }
    std::copy(std::begin(counts), std::end(counts), counts_);
    firstArrival_ = first;
    lastArrival_ = last;
    bufferFrom_ = bufferFrom;
    bufferItems_ = bufferItems;
}

void MeasurementArchive::Writer::EnsureOpen() {
    if (db_.IsOpen())
        return;
    try {
        OpenFile();
        StartSession();
    } catch (...) {
        CloseDb();
        throw;
    }
}

void MeasurementArchive::Writer::OpenFile() {
    MakeFolder(QFileInfo(options_.path).absolutePath());
    db_.Open(options_.path, true);
    db_.SetBusyTimeout(options_.busyTimeoutMs);
    {
        SqliteStatement wal = db_.Prepare("PRAGMA journal_mode = WAL");
        wal.Step();
    }
    // A commit is on the disk when it returns: a power cut loses at most the last quarter
    // second, never a committed batch.
    db_.Exec("PRAGMA synchronous = FULL");
    // A flood leaves a long WAL behind; it is cut back once it starts anew.
    db_.Exec("PRAGMA journal_size_limit = " +
             std::to_string(int64_t{options_.walCapFrames} * 4096));
    PrepareArchiveSchema(db_);
    checkpointer_.Attach(db_, options_.path);
    insert_ = db_.Prepare(InsertSql(1));
    insertMany_ = db_.Prepare(InsertSql(RowsPerInsert));
    updateSession_ = db_.Prepare(
        "UPDATE session SET live = ?1, download = ?2, report = ?3, restored = ?4, "
        "first_arrival = ?5, last_arrival = ?6, buffer_from = ?7, port = ?8, peer = ?9, "
        "buffer_items = ?11 WHERE id = ?10");
}

void MeasurementArchive::Writer::StartSession() {
    int64_t id = SessionId();
    if (id != 0) {
        // The same file as before (not one started anew meanwhile): the session goes on.
        SqliteStatement mine =
            db_.Prepare("SELECT count(*) FROM session WHERE id = ?1 AND pid = ?2 AND "
                        "process_start = ?3 AND boot_id = ?4");
        mine.BindAll(id, self_.pid, self_.start, self_.boot);
        if (mine.Step() && mine.Int(0) == 1)
            return;
    }
    SqliteStatement add = db_.Prepare(
        "INSERT INTO session (started_at, console_version, host, pid, process_start, boot_id) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    add.BindAll(UtcIso(startWallMs_), options_.consoleVersion, self_.host, self_.pid, self_.start,
                self_.boot);
    add.Step();
    id = db_.LastInsertId();
    std::fill(std::begin(counts_), std::end(counts_), 0);
    firstArrival_ = lastArrival_ = bufferFrom_ = bufferItems_ = 0;
    const int64_t old = SessionId();
    if (old != 0)
        SetSessionLive(options_.path, old, false);
    SetSessionLive(options_.path, id, true);
    std::lock_guard l(m_);
    sessionId_ = id;
    sessionDirty_ = true; // port and peer
}

void MeasurementArchive::Writer::CloseDb() {
    checkpointer_.Detach();
    insert_ = SqliteStatement();
    insertMany_ = SqliteStatement();
    updateSession_ = SqliteStatement();
    db_.Close();
}

void MeasurementArchive::Writer::MoveAside() {
    CloseDb();
    const QString path = options_.path;
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddTHHmmss"));
    const bool moved = QFile::rename(path, aside);
    if (moved) {
        QFile::rename(path + "-wal", aside + "-wal");
        QFile::remove(path + "-shm");
    }
    if (!moved) {
        Failed(QStringLiteral("the file is damaged and cannot be moved aside"), false);
        return;
    }
    Failed(QStringLiteral("the file was damaged"), true);
    if (options_.onMessage)
        options_.onMessage(QStringLiteral("The archive %1 was damaged. It was moved to %2 and a "
                                          "new archive was started.")
                               .arg(path, aside));
}

void MeasurementArchive::Writer::EndSession() {
    if (!db_.IsOpen() || SessionId() == 0)
        return;
    SqliteStatement end =
        db_.Prepare("UPDATE session SET ended_at = ?1, clean_end = 1 WHERE id = ?2");
    end.BindAll(UtcIso(WallMs()), SessionId());
    end.Step();
}

// The archive.

MeasurementArchive::MeasurementArchive(ArchiveOptions options)
    : options_(std::move(options)), writer_(std::make_unique<Writer>(options_)) {}

MeasurementArchive::~MeasurementArchive() = default;

void MeasurementArchive::Add(const TMeasRecord& rec, ArrivalSource source) {
    writer_->Add({&rec, 1}, static_cast<uint8_t>(source));
}

void MeasurementArchive::Add(std::span<const TMeasRecord> records, ArrivalSource source) {
    writer_->Add(records, static_cast<uint8_t>(source));
}

void MeasurementArchive::BufferCleared() {
    const TMeasRecord none;
    writer_->Add({&none, 1}, ClearMark);
}

void MeasurementArchive::SetPort(const QString& port) {
    writer_->SetPort(port);
}

void MeasurementArchive::SetPeer(const QString& peer) {
    writer_->SetPeer(peer);
}

ArchiveState MeasurementArchive::State() const {
    return writer_->State();
}

bool MeasurementArchive::Behind() const {
    return writer_->Behind();
}

bool MeasurementArchive::Flush(int timeoutMs) {
    return writer_->Flush(timeoutMs);
}

int64_t MeasurementArchive::SessionId() const {
    return writer_->SessionId();
}

void MeasurementArchive::Abandon() {
    writer_->Abandon();
}

template <class T> T MeasurementArchive::Call(std::function<T(Writer&)> job) {
    auto task = std::make_shared<std::packaged_task<T()>>(
        [this, job = std::move(job)] { return job(*writer_); });
    std::future<T> result = task->get_future();
    writer_->Post([task] { (*task)(); });
    return result.get();
}

std::optional<UncleanSession> MeasurementArchive::PreviousUncleanSession() {
    return Call<std::optional<UncleanSession>>(
        [](Writer& w) { return ::PreviousUncleanSession(w.Db(), w.RunningCheck()); });
}

void MeasurementArchive::MarkRestoreAsked(int64_t session) {
    Call<bool>([session](Writer& w) {
        ::MarkRestoreAsked(w.Db(), session);
        return true;
    });
}

std::vector<TMeasRecord> MeasurementArchive::LoadSession(int64_t session, bool bufferOnly) {
    return Call<std::vector<TMeasRecord>>([session, bufferOnly](Writer& w) {
        return LoadSessionRecords(w.Db(), session, bufferOnly);
    });
}

std::vector<SessionSummary> MeasurementArchive::Sessions() {
    return Call<std::vector<SessionSummary>>(
        [](Writer& w) { return ListSessions(w.Db(), w.RunningCheck()); });
}
