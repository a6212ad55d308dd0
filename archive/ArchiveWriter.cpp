#include "archive/ArchiveWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

#include "archive/ArchiveSchema.h"
#include "base/ThreadPriority.h"

using namespace archivewriter;

namespace {

// With nothing to write, the writer looks this often whether its files are still there.
constexpr auto LookInterval = std::chrono::seconds(1);
// How long the last write after a signal waits for another console's lock.
constexpr int SignalBusyMs = 500;

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

std::optional<FileId> IdOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

// The first of the archive's files that exists and is no regular file (a FIFO, a device, a
// folder), or empty. SQLite would open a FIFO and wait on it for ever.
QString NotRegularFile(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString name = path + QLatin1String(suffix);
        struct stat st {};
        if (::stat(QFile::encodeName(name).constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return name;
    }
    return {};
}

// Creates the missing folders of `folder` (mode 0700, as for the user's data folders); fails
// naming the first one that cannot be made.
Result<void> MakeFolder(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(clean).isDir())
        return {};
    const QStringList parts = clean.split('/', Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += '/' + part;
        const QByteArray name = QFile::encodeName(path);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            return Fail(QStringLiteral("cannot create folder %1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))),
                        QString::number(SQLITE_CANTOPEN));
    }
    return {};
}

} // namespace

MeasurementArchive::Writer::Writer(const ArchiveOptions& options)
    : options_(options), checkpointer_(options.walStartFrames, options.walCapFrames) {
    startWallMs_ = WallMs();
    startClock_ = Clock::now();
    self_ = ConsoleProcess::Current();
    openSettled_ = openPromise_.get_future().share();
    thread_ = std::thread([this] { Run(); });
}

void MeasurementArchive::Writer::Take(std::vector<Entry>& entries) {
    received_ += static_cast<int64_t>(entries.size());
    if (pending_.empty())
        pending_.swap(entries);
    else
        pending_.insert(pending_.end(), entries.begin(), entries.end());
}

void MeasurementArchive::Writer::Take(std::deque<Job>& jobs) {
    for (Job& job : jobs) {
        if (auto* a = std::get_if<AppendArrivals>(&job)) {
            Take(a->entries);
        } else if (auto* stored = std::get_if<AppendStored>(&job)) {
            std::vector<Entry> entries;
            entries.reserve(static_cast<size_t>(stored->to - stored->from));
            for (int64_t k = stored->from; k < stored->to; ++k)
                entries.push_back(Entry{stored->records.At(k), stored->receivedMs, stored->source});
            stored->records = {}; // the buffer's blocks are no longer held for the writer
            Take(entries);
        } else if (auto* d = std::get_if<NoteDownload>(&job)) {
            notes_.push_back(std::move(d->download));
            std::vector<Entry> mark{Entry{TMeasRecord{}, d->receivedMs, DownloadMark}};
            Take(mark);
        } else if (auto* anew = std::get_if<StartAnew>(&job)) {
            // Everything handed over meanwhile is in the buffer too.
            const auto superseded = static_cast<int64_t>(pending_.size());
            taken_ += superseded;
            handled_ += superseded;
            pending_.clear();
            notes_.clear();
            awaitingBuffer_ = false;
            sessionDirty_ = true; // the new session is written even with an empty buffer
            std::vector<Entry> entries;
            if (anew->download) {
                notes_.push_back(*anew->download);
                entries.push_back(Entry{TMeasRecord{}, anew->receivedMs, DownloadMark});
                ++handed_;
            }
            size_t room = 0;
            {
                std::lock_guard l(m_);
                room = Room(anew->buffer.size());
            }
            for (const TMeasRecord& rec : std::span(anew->buffer).first(room))
                entries.push_back(
                    Entry{rec, anew->receivedMs, static_cast<uint8_t>(ArrivalSource::Restored)});
            Take(entries);
        } else if (auto* port = std::get_if<SetPort>(&job)) {
            port_ = std::move(port->port);
            sessionDirty_ = true;
        } else if (auto* peer = std::get_if<SetPeer>(&job)) {
            peer_ = std::move(peer->peer);
            sessionDirty_ = true;
        } else if (auto* f = std::get_if<Flush>(&job)) {
            flushes_.emplace_back(received_, std::move(f->done));
        } else if (auto* e = std::get_if<EndBySignal>(&job)) {
            endSignal_ = e->signal;
        } else if (auto* stop = std::get_if<Stop>(&job)) {
            stop_ = true;
            abandon_ = stop->abandon;
        } else {
            after_.push_back(std::move(job));
            runNow_ = true;
        }
    }
    jobs.clear();
}

void MeasurementArchive::Writer::RunAfter(Job& job) {
    if (auto* row = std::get_if<KeepSweep>(&job)) {
        NoteSweep([index = row->index, sweep = std::move(row->sweep)](SqliteDb& db, int64_t session,
                                                                      SweepRows& rows) {
            return WriteSweep(db, session, index, sweep, rows);
        });
    } else if (auto* p = std::get_if<KeepSweepPoint>(&job)) {
        NoteSweep([index = p->index, point = p->point, pt = p->p](SqliteDb& db, int64_t,
                                                                  SweepRows& rows) {
            return WriteSweepPoint(db, index, static_cast<size_t>(point), pt, rows);
        });
    } else if (auto* m = std::get_if<MarkRestoreAsked>(&job)) {
        const Result<void> marked =
            EnsureOpen().and_then([&] { return ::MarkRestoreAsked(db_, m->session); });
        // Told as the answer's own failure was; offered again at the next start.
        if (!marked)
            Tell(marked.error().text);
    } else if (auto* c = std::get_if<KeepCount>(&job)) {
        // Counted again next time, should it fail.
        (void)EnsureOpen().and_then(
            [&] { return KeepMeasurements(db_, c->session, c->measurements); });
    }
}

void MeasurementArchive::Writer::AnswerFlushes(bool ending) {
    std::erase_if(flushes_, [&](auto& flush) {
        const bool written = handled_ >= flush.first;
        if (written || ending)
            flush.second.set_value(written);
        return written || ending;
    });
}

void MeasurementArchive::Writer::SettleOpen() {
    if (openSettledSet_ || !(opened_ || (started_ && failing_ && !retryNow_)))
        return;
    openSettledSet_ = true;
    openPromise_.set_value();
}

void MeasurementArchive::Writer::Run() {
    NameThisThread("archive writer");
    LowerThisThreadPriority();
    std::vector<Entry> batch;
    Clock::time_point lastCommit = Clock::now() - std::chrono::milliseconds(options_.batchMs);
    TryWrite(batch); // opens the file and starts the session
    busyMs_ = options_.busyTimeoutMs;
    if (db_.IsOpen())
        db_.SetBusyTimeout(busyMs_);
    started_ = true;
    SettleOpen();
    std::deque<Job> incoming;
    for (;;) {
        bool look = false;
        for (;;) {
            {
                std::lock_guard l(m_);
                incoming.swap(jobs_);
                nudged_ = false;
            }
            Take(incoming);
            // A flush with nothing before it left to write is answered at once.
            if (after_.empty())
                AnswerFlushes(false);
            const auto now = Clock::now();
            if (stop_ || runNow_)
                break;
            std::unique_lock l(m_);
            const auto nudged = [this] { return nudged_; };
            if (failing_) {
                if (now >= nextTry_)
                    break;
                cv_.wait_until(l, nextTry_, nudged);
                continue;
            }
            // Awaiting the buffer, what waits is superseded by it.
            const bool arrivals = !pending_.empty() && !awaitingBuffer_;
            if (arrivals || !batch.empty() || sessionDirty_) {
                const auto due = lastCommit + std::chrono::milliseconds(options_.batchMs);
                // So many wait that a source holds back for them: a commit's cost is shared by
                // enough rows already, and waiting out the pause would only keep the source
                // waiting.
                if (now >= due || (arrivals && Crowded()))
                    break;
                cv_.wait_until(l, due, nudged);
                continue;
            }
            idle_ = true;
            look = !cv_.wait_for(l, LookInterval, nudged);
            idle_ = false;
            if (look)
                break;
        }
        if (!awaitingBuffer_ || stop_) {
            taken_ += static_cast<int64_t>(pending_.size());
            if (batch.empty())
                batch.swap(pending_);
            else
                batch.insert(batch.end(), pending_.begin(), pending_.end());
            pending_.clear();
            std::move(notes_.begin(), notes_.end(), std::back_inserter(batchNotes_));
            notes_.clear();
        }
        // Ending on a signal, another console's lock is waited for briefly: the program is to
        // be gone within two seconds.
        if (stop_ && endSignal_ != 0 && busyMs_ > SignalBusyMs) {
            busyMs_ = SignalBusyMs;
            if (db_.IsOpen())
                db_.SetBusyTimeout(busyMs_);
        }
        if (!batch.empty() || sessionDirty_ || failing_) {
            // Counted from the start of this write: when writing takes longer than the pause
            // between commits (a flood of arrivals), the next one starts at once.
            lastCommit = Clock::now();
            TryWrite(batch);
        } else if (look && db_.IsOpen()) {
            if (const QString lost = LostFile(); !lost.isEmpty())
                StartOver(batch, lost);
        }
        for (Job& job : std::exchange(after_, {}))
            RunAfter(job);
        runNow_ = false;
        AnswerFlushes(false);
        SettleOpen();
        if (stop_) {
            std::lock_guard l(m_);
            if (pending_.empty() && jobs_.empty())
                break;
        }
    }
    // Failing, the session is left without an end: the next start offers what was written.
    if (!abandon_ && batch.empty() && !failing_)
        (void)EndSession();
    CloseDb();
    SetSessionLive(options_.path, SessionId(), false);
    AnswerFlushes(true);
    if (!openSettledSet_) {
        openSettledSet_ = true;
        openPromise_.set_value();
    }
}

void MeasurementArchive::Writer::TryWrite(std::vector<Entry>& batch) {
    Result<void> done = EnsureOpen();
    if (done) {
        if (const QString lost = LostFile(); !lost.isEmpty()) {
            StartOver(batch, lost);
            if (batch.empty())
                return; // the buffer is awaited
            done = EnsureOpen();
        }
    }
    if (done)
        done = WriteBatch(batch);
    if (!done) {
        CloseDb();
        if (SqliteDamaged(done.error())) {
            MoveAside(batch);
            return;
        }
        Failed(SqliteCode(done.error()) == SQLITE_BUSY
                   ? QStringLiteral("archive busy: another program holds it locked; retrying")
                   : done.error().text,
               false);
        return;
    }
    const auto written = static_cast<int64_t>(std::count_if(
        batch.begin(), batch.end(), [](const Entry& e) { return !IsMark(e.source); }));
    const auto handled = static_cast<int64_t>(batch.size());
    batch.clear();
    batchNotes_.clear();
    archived_ += written;
    handled_ += handled;
    lastWritten_ = Clock::now().time_since_epoch().count();
    {
        std::lock_guard l(readBackM_);
        reason_.clear();
    }
    writingWell_ = true;
    failing_ = false;
    const bool first = !opened_.exchange(true);
    WriteSweepNotes();
    if (first && options_.onOpened)
        options_.onOpened();
}

void MeasurementArchive::Writer::NoteSweep(SweepWrite write) {
    sweepNotes_.push_back(std::move(write));
    WriteSweepNotes();
}

void MeasurementArchive::Writer::WriteSweepNotes() {
    if (sweepNotes_.empty() || failing_ || !db_.IsOpen() || SessionId() == 0)
        return;
    SweepRows rows = sweepRows_;
    Result<void> done = db_.TryExec("BEGIN IMMEDIATE");
    for (auto write = sweepNotes_.begin(); done && write != sweepNotes_.end(); ++write)
        done = (*write)(db_, SessionId(), rows);
    if (done)
        done = db_.TryExec("COMMIT");
    if (!done) {
        // Tried again with the next batch; a damaged or lost file is found by that.
        sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        return;
    }
    sweepRows_ = std::move(rows);
    sweepNotes_.clear();
}

void MeasurementArchive::Writer::Failed(const QString& reason, bool retryNow) {
    {
        std::lock_guard l(readBackM_);
        reason_ = reason;
        writingWell_ = reason.isEmpty();
    }
    failing_ = true;
    retryNow_ = retryNow;
    nextTry_ = Clock::now() + std::chrono::milliseconds(retryNow ? 0 : options_.retryMs);
}

void MeasurementArchive::Writer::Tell(const QString& message) const {
    if (options_.onMessage)
        options_.onMessage(message);
}

void MeasurementArchive::Writer::BindRow(RowInsert& insert, int base, const Entry& e,
                                         const ArchiveRow& row) {
    insert.Int(base + 1, sessionId_.load());
    insert.Int(base + 2, int64_t{e.source});
    insert.Int(base + 3, e.receivedMs);
    insert.Int(base + 4, row.board);
    insert.Int(base + 5, row.channel);
    insert.Int(base + 6, int64_t{row.range});
    insert.Real(base + 7, row.rx);
    insert.Real(base + 8, row.xx);
    insert.Int(base + 9, row.counter);
    if (row.loggerTimeLength > 0)
        insert.Text(base + 10, row.LoggerTime());
    else
        insert.Null(base + 10);
    if (row.needsImage)
        insert.Blob(base + 11, {reinterpret_cast<const uint8_t*>(&e.rec), sizeof e.rec});
    else
        insert.Null(base + 11);
}

Result<void> MeasurementArchive::Writer::WriteBatch(const std::vector<Entry>& batch) {
    int64_t counts[ArrivalSourceCount];
    std::copy(std::begin(counts_), std::end(counts_), counts);
    int64_t first = firstArrival_;
    int64_t last = lastArrival_;
    int64_t bufferFrom = bufferFrom_;
    int64_t bufferItems = bufferItems_;
    int64_t downloadFirst = downloadFirst_;
    int64_t downloadAmount = downloadAmount_;
    int64_t downloadFrom = downloadFrom_;
    size_t note = 0;
    sessionDirty_ = false;
    if (Result<void> begun = db_.TryExec("BEGIN IMMEDIATE"); !begun)
        return begun;
    const Result<void> done = [&]() -> Result<void> {
        std::array<ArchiveRow, RowsPerInsert> rows;
        for (size_t i = 0; i < batch.size();) {
            if (IsMark(batch[i].source)) {
                // The marks take effect from the next arrival on.
                Result<SqliteStatement> next =
                    db_.TryPrepare("SELECT ifnull(max(id), 0) + 1 FROM arrival");
                if (!next)
                    return tl::unexpected(next.error());
                if (Result<bool> row = next->TryStep(); !row)
                    return tl::unexpected(row.error());
                if (batch[i].source == ClearMark) {
                    bufferFrom = next->Int(0);
                    bufferItems = 0;
                } else {
                    const DownloadState& d = batchNotes_.at(note++);
                    downloadFirst = d.first;
                    downloadAmount = d.amount;
                    downloadFrom = next->Int(0);
                    Result<void> forgotten =
                        db_.TryPrepare("DELETE FROM download_carried WHERE session = ?1")
                            .and_then([&](SqliteStatement forget) {
                                forget.Bind(1, sessionId_.load());
                                return forget.TryRun();
                            });
                    if (!forgotten)
                        return forgotten;
                    Result<SqliteStatement> carry = db_.TryPrepare(
                        "INSERT INTO download_carried (session, first_counter, last_counter) "
                        "VALUES (?1, ?2, ?3)");
                    if (!carry)
                        return tl::unexpected(carry.error());
                    for (const CounterSpan& run : d.arrived) {
                        carry->BindAll(sessionId_.load(), run.first, run.first + run.count - 1);
                        if (Result<void> carried = carry->TryRun(); !carried)
                            return carried;
                    }
                }
                ++i;
                continue;
            }
            // Many rows to a statement while they come in runs: each step has its own cost.
            size_t n = 0;
            while (n < RowsPerInsert && i + n < batch.size() && !IsMark(batch[i + n].source))
                ++n;
            if (n < RowsPerInsert)
                n = 1;
            RowInsert& insert = n == 1 ? insert_ : insertMany_;
            for (size_t r = 0; r < n; ++r) {
                const Entry& e = batch[i + r];
                rows[r] = RowOf(e.rec, static_cast<ArrivalSource>(e.source));
                BindRow(insert, static_cast<int>(r) * ColumnsPerRow, e, rows[r]);
                ++counts[e.source];
            }
            if (Result<void> inserted = insert.Statement().TryRun(); !inserted)
                return inserted;
            last = db_.LastInsertId();
            // The rows of one statement take consecutive numbers: the write lock is ours.
            if (first == 0)
                first = last - static_cast<int64_t>(n) + 1;
            bufferItems += static_cast<int64_t>(n);
            i += n;
        }
        for (int i = 0; i < ArrivalSourceCount; ++i)
            updateSession_.Bind(i < 4 ? i + 1 : 15, counts[i]);
        if (first != 0) {
            updateSession_.Bind(5, first);
            updateSession_.Bind(6, last);
        } else {
            updateSession_.BindNull(5);
            updateSession_.BindNull(6);
        }
        updateSession_.Bind(7, bufferFrom);
        updateSession_.Bind(8, port_);
        updateSession_.Bind(9, peer_);
        updateSession_.Bind(10, sessionId_.load());
        updateSession_.Bind(11, bufferItems);
        if (downloadFrom != 0) {
            updateSession_.Bind(12, downloadFirst);
            updateSession_.Bind(13, downloadAmount);
            updateSession_.Bind(14, downloadFrom);
        } else {
            for (int p = 12; p <= 14; ++p)
                updateSession_.BindNull(p);
        }
        return updateSession_.TryRun().and_then([&] { return db_.TryExec("COMMIT"); });
    }();
    if (!done) {
        insert_.Statement().Reset();
        insertMany_.Statement().Reset();
        updateSession_.Reset();
        sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        sessionDirty_ = true;
        return done;
    }
    std::copy(std::begin(counts), std::end(counts), counts_);
    firstArrival_ = first;
    lastArrival_ = last;
    bufferFrom_ = bufferFrom;
    bufferItems_ = bufferItems;
    downloadFirst_ = downloadFirst;
    downloadAmount_ = downloadAmount;
    downloadFrom_ = downloadFrom;
    return {};
}

Result<void> MeasurementArchive::Writer::EnsureOpen() {
    if (db_.IsOpen())
        return {};
    if (Result<void> opened = OpenFile().and_then([this] { return StartSession(); }); !opened) {
        CloseDb();
        return opened;
    }
    // What is there now, so that a file removed or put in its place is noticed.
    dbId_ = IdOf(options_.path);
    walId_ = IdOf(options_.path + "-wal");
    shmId_ = IdOf(options_.path + "-shm");
    return {};
}

Result<void> MeasurementArchive::Writer::OpenFile() {
    if (Result<void> made = MakeFolder(QFileInfo(options_.path).absolutePath()); !made)
        return made;
    if (const QString odd = NotRegularFile(options_.path); !odd.isEmpty()) {
        const QString reason = odd + QStringLiteral(" is not a regular file");
        if (toldReason_ != reason) {
            toldReason_ = reason;
            Tell(QStringLiteral("The archive cannot be written: %1.").arg(reason));
        }
        return Fail(reason, QString::number(SQLITE_CANTOPEN));
    }
    // Nothing in a file is changed (not even its journal mode) before it is known to be ours.
    // The newest arrivals, where the next one goes, are read too: a damaged end is found before
    // the restore question, while a session in it can still be offered.
    if (QFileInfo::exists(options_.path)) {
        SqliteDb probe;
        Result<void> ours = probe.TryOpenReadOnly(options_.path)
                                .and_then([&] { return CheckArchiveSchema(probe); })
                                .and_then([&] { return ReadNewestArrival(probe); });
        if (!ours)
            return ours;
    }
    const auto keep = [this](SqliteStatement& into, const std::string& sql) {
        return db_.TryPrepare(sql).map([&](SqliteStatement s) { into = std::move(s); });
    };
    Result<void> ready =
        db_.TryOpen(options_.path, true)
            .and_then([&] {
                db_.SetBusyTimeout(busyMs_);
                return db_.TryPrepare("PRAGMA journal_mode = WAL")
                    .and_then([](SqliteStatement wal) { return wal.TryStep(); })
                    .map([](bool) {});
            })
            // A commit is on the disk when it returns: a power cut loses at most the last
            // quarter second, never a committed batch.
            .and_then([&] { return db_.TryExec("PRAGMA synchronous = FULL"); })
            // A flood leaves a long WAL behind; it is cut back once it starts anew.
            .and_then([&] {
                return db_.TryExec("PRAGMA journal_size_limit = " +
                                   std::to_string(int64_t{options_.walCapFrames} * 4096));
            })
            .and_then([&] { return PrepareArchiveSchema(db_); });
    if (!ready)
        return ready;
    checkpointer_.Attach(db_, options_.path);
    const auto keepInsert = [this](RowInsert& into, size_t rows) {
        return db_.TryPrepare(InsertSql(rows)).map([&](SqliteStatement s) {
            into = RowInsert(std::move(s));
        });
    };
    return keepInsert(insert_, 1)
        .and_then([&] { return keepInsert(insertMany_, RowsPerInsert); })
        .and_then([&] {
            return keep(updateSession_,
                        "UPDATE session SET live = ?1, download = ?2, report = ?3, restored = ?4, "
                        "first_arrival = ?5, last_arrival = ?6, buffer_from = ?7, port = ?8, "
                        "peer = ?9, buffer_items = ?11, download_first = ?12, "
                        "download_amount = ?13, download_from = ?14, fleet = ?15 WHERE id = ?10");
        });
}

Result<void> MeasurementArchive::Writer::StartSession() {
    const int64_t old = SessionId();
    if (old != 0) {
        Result<SqliteStatement> mine =
            db_.TryPrepare("SELECT count(*) FROM session WHERE id = ?1 AND pid = ?2 AND "
                           "process_start = ?3 AND boot_id = ?4");
        if (!mine)
            return tl::unexpected(mine.error());
        mine->BindAll(old, self_.pid, self_.start, self_.boot);
        const Result<bool> row = mine->TryStep();
        if (!row)
            return tl::unexpected(row.error());
        const bool found = *row && mine->Int(0) == 1;
        // The same file as before (not one started anew meanwhile): the session goes on.
        if (found && !freshSession_)
            return {};
        // What is left of it (its file lost its WAL) is not offered: the new session holds
        // the buffer.
        if (found) {
            Result<void> asked = db_.TryExec("UPDATE session SET restore_asked = 1 WHERE id = " +
                                             std::to_string(old));
            if (!asked)
                return asked;
        }
    }
    Result<SqliteStatement> add = db_.TryPrepare(
        "INSERT INTO session (started_at, console_version, host, pid, process_start, boot_id) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    if (!add)
        return tl::unexpected(add.error());
    add->BindAll(UtcIso(startWallMs_), options_.consoleVersion, self_.host, self_.pid, self_.start,
                 self_.boot);
    if (Result<bool> added = add->TryStep(); !added)
        return tl::unexpected(added.error());
    const int64_t id = db_.LastInsertId();
    std::fill(std::begin(counts_), std::end(counts_), 0);
    firstArrival_ = lastArrival_ = bufferFrom_ = bufferItems_ = 0;
    downloadFirst_ = downloadAmount_ = downloadFrom_ = 0;
    sweepRows_ = {}; // the sweeps written before went with the file
    freshSession_ = false;
    if (old != 0)
        SetSessionLive(options_.path, old, false);
    SetSessionLive(options_.path, id, true);
    sessionId_ = id;
    sessionDirty_ = true; // port and peer
    return {};
}

void MeasurementArchive::Writer::CloseDb(bool keepWal) {
    checkpointer_.Detach();
    insert_ = RowInsert();
    insertMany_ = RowInsert();
    updateSession_ = SqliteStatement();
    if (keepWal && db_.IsOpen())
        db_.KeepWalOnClose();
    db_.Close();
    dbId_.reset();
    walId_.reset();
    shmId_.reset();
}

void MeasurementArchive::Writer::MoveAside(std::vector<Entry>& batch) {
    CloseDb();
    const QString path = options_.path;
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddTHHmmss"));
    const bool moved = QFile::rename(path, aside);
    if (moved) {
        QFile::rename(path + "-wal", aside + "-wal");
        QFile::remove(path + "-shm");
        const int64_t session = SessionId();
        std::lock_guard l(readBackM_);
        aside_.emplace_back(aside, session);
    }
    if (!moved) {
        Failed(QStringLiteral("the file is damaged and cannot be moved aside"), false);
        return;
    }
    Failed(QStringLiteral("the file was damaged"), true);
    Tell(QStringLiteral("The archive %1 was damaged. It was moved to %2 and a new archive was "
                        "started.")
             .arg(path, aside));
    if (SessionId() != 0)
        AskForBuffer(batch);
}

QString MeasurementArchive::Writer::LostFile() {
    const QString& path = options_.path;
    if (!dbId_)
        return {};
    const std::optional<FileId> db = IdOf(path);
    if (db != dbId_)
        return QStringLiteral("The archive %1 was %2 while the console wrote it. It starts anew "
                              "with the items in the buffer.")
            .arg(path, db ? QStringLiteral("replaced by another file") : QStringLiteral("removed"));
    const std::optional<FileId> wal = IdOf(path + "-wal");
    if (!walId_) {
        walId_ = wal; // none yet when the file was opened
        return {};
    }
    // An empty log by that name is one that a reader of ours (the checkpointer's connection)
    // made anew after ours was removed: SQLite creates a missing log when it reads.
    const bool replaced = wal && QFileInfo(path + "-wal").size() > 0;
    if (wal != walId_)
        return QStringLiteral("The archive's log %1-wal was %2 while the console wrote it, and "
                              "what it held is lost. The archive goes on with the items in the "
                              "buffer.")
            .arg(path,
                 replaced ? QStringLiteral("replaced by another file") : QStringLiteral("removed"));
    return {};
}

void MeasurementArchive::Writer::StartOver(std::vector<Entry>& batch, const QString& message) {
    const bool dbLost = IdOf(options_.path) != dbId_;
    const std::optional<FileId> wal = walId_, shm = shmId_;
    CloseDb(true);
    // The log and index of a file that is gone would be taken for those of a new one by the
    // same name; those of another program are left alone.
    if (dbLost) {
        if (wal && IdOf(options_.path + "-wal") == wal)
            QFile::remove(options_.path + "-wal");
        if (shm && IdOf(options_.path + "-shm") == shm)
            QFile::remove(options_.path + "-shm");
    }
    Tell(message);
    AskForBuffer(batch);
}

void MeasurementArchive::Writer::AskForBuffer(std::vector<Entry>& batch) {
    freshSession_ = true;
    if (!options_.onRestart)
        return; // goes on with what it holds
    // The batch is in the buffer: it comes back with it.
    handled_ += static_cast<int64_t>(batch.size());
    awaitingBuffer_ = true;
    batch.clear();
    batchNotes_.clear();
    options_.onRestart();
}

Result<void> MeasurementArchive::Writer::EndSession() {
    if (!db_.IsOpen() || SessionId() == 0)
        return {};
    const int signal = endSignal_;
    return db_
        .TryPrepare(
            "UPDATE session SET ended_at = ?1, clean_end = ?3, end_signal = ?4 WHERE id = ?2")
        .and_then([&](SqliteStatement end) {
            end.BindAll(UtcIso(WallMs()), SessionId(), int64_t{signal == 0});
            if (signal != 0)
                end.Bind(4, int64_t{signal});
            else
                end.BindNull(4);
            return end.TryRun();
        });
}
