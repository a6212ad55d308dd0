#include "archive/MeasurementArchive.h"

#include <algorithm>
#include <sqlite3.h>
#include <thread>
#include <utility>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveSessions.h"
#include "archive/ArchiveSweeps.h"
#include "archive/ArchiveWriter.h"
#include "archive/MeasurementCount.h"
#include "sqlite/Sqlite.h"

int64_t ArrivalWallMs(int64_t startWallMs, std::chrono::steady_clock::duration sinceStart) {
    return startWallMs + std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
}

QString ArchiveLabelText(const ArchiveState& state) {
    const int64_t lost = state.dropped + (state.reason.isEmpty() ? 0 : state.waiting);
    QString text = state.reason.isEmpty() ? QStringLiteral("Archive: ") + state.path
                                          : QStringLiteral("Archive: not written: ") + state.reason;
    if (lost > 0)
        text += QStringLiteral(" (%1 not archived)").arg(lost);
    return text;
}

// The archive.

MeasurementArchive::MeasurementArchive(ArchiveOptions options)
    : options_(std::move(options)), writer_(std::make_unique<Writer>(options_)),
      reader_(std::make_unique<ArchiveReader>(options_.path, options_.busyTimeoutMs)),
      quickReader_(std::make_unique<ArchiveReader>(options_.path, options_.busyTimeoutMs)) {}

MeasurementArchive::~MeasurementArchive() {
    closing_ = true; // a count paused goes on, to be interrupted
}

void MeasurementArchive::Add(const TMeasRecord& rec, ArrivalSource source) {
    writer_->Add({&rec, 1}, static_cast<uint8_t>(source));
}

void MeasurementArchive::Add(std::span<const TMeasRecord> records, ArrivalSource source) {
    writer_->Add(records, static_cast<uint8_t>(source));
}

void MeasurementArchive::Add(const RecordSnapshot& records, int64_t from, int64_t to,
                             ArrivalSource source) {
    writer_->Add(records, from, to, static_cast<uint8_t>(source));
}

void MeasurementArchive::StepBack(bool stepBack) {
    stepBack_ = stepBack;
}

void MeasurementArchive::BufferCleared() {
    writer_->Add({}, archivewriter::ClearMark);
}

void MeasurementArchive::DownloadStarted(const DownloadState& download) {
    writer_->Push(Writer::NoteDownload{download, writer_->NowMs()});
}

void MeasurementArchive::StartAnew(std::span<const TMeasRecord> buffer,
                                   const std::optional<DownloadState>& download) {
    writer_->Push(Writer::StartAnew{{buffer.begin(), buffer.end()}, download, writer_->NowMs()});
}

void MeasurementArchive::EndBySignal(int signal) {
    writer_->Push(Writer::EndBySignal{signal});
}

void MeasurementArchive::KeepSweep(int index, const Sweep& sweep) {
    writer_->Push(Writer::KeepSweep{index, sweep});
}

void MeasurementArchive::KeepSweepPoint(int index, int point, const SweepPoint& p) {
    writer_->Push(Writer::KeepSweepPoint{index, point, p});
}

void MeasurementArchive::SetPort(const QString& port) {
    writer_->Push(Writer::SetPort{port});
}

void MeasurementArchive::SetPeer(const QString& peer) {
    writer_->Push(Writer::SetPeer{peer});
}

ArchiveState MeasurementArchive::State() const {
    return writer_->State();
}

bool MeasurementArchive::Full() const {
    return writer_->Full();
}

bool MeasurementArchive::Behind() const {
    return writer_->Behind();
}

int64_t MeasurementArchive::HandOverSlice() const {
    // Below holdBackAt waiting a slice may come, and the writer may hold as many in its batch.
    constexpr int64_t MaxSlice = 65536;
    return std::clamp((options_.queueLimit - 2 * options_.holdBackAt) / 2, int64_t{1}, MaxSlice);
}

bool MeasurementArchive::Flush(int timeoutMs) {
    return writer_->WaitWritten(timeoutMs);
}

Result<void> MeasurementArchive::WaitOpen(int timeoutMs) {
    if (writer_->WaitOpen(timeoutMs))
        return {};
    const QString reason = writer_->State().reason;
    return Fail(reason.isEmpty() ? QStringLiteral("still opening") : reason);
}

int64_t MeasurementArchive::SessionId() const {
    return writer_->SessionId();
}

void MeasurementArchive::Abandon() {
    writer_->Close(true);
}

bool MeasurementArchive::Asked(const QString& file, int64_t session) const {
    std::lock_guard l(askedMutex_);
    return asked_.count({file, session}) != 0;
}

Result<std::vector<UncleanSession>> MeasurementArchive::UncleanSessions() {
    std::vector<UncleanSession> out;
    {
        Result<SqliteDb> db = OpenArchiveForReading(options_.path, options_.busyTimeoutMs);
        if (!db)
            return tl::unexpected(db.error());
        const Result<std::vector<UncleanSession>> found =
            ::UncleanSessions(*db, writer_->RunningCheck());
        if (!found)
            return tl::unexpected(found.error());
        for (const UncleanSession& s : *found)
            if (!Asked({}, s.id))
                out.push_back(s);
    }
    const ConsoleProcess& self = writer_->Self();
    for (const auto& [aside, own] : writer_->MovedAside()) {
        // As much as can be read; nothing is written into a damaged file.
        SqliteDb db;
        if (!db.TryOpenReadOnly(aside))
            continue;
        const auto running = [&](int64_t session, const ConsoleProcess& writer) {
            return SessionStillRunning(aside, session, writer, self);
        };
        const Result<std::vector<UncleanSession>> found = ::UncleanSessions(db, running);
        if (!found)
            continue;
        for (UncleanSession s : *found) {
            if (s.id == own || Asked(aside, s.id))
                continue;
            s.file = aside;
            const Result<std::vector<TMeasRecord>> items = LoadSessionRecords(db, s.id, true, true);
            if (!items)
                break;
            s.items = static_cast<int64_t>(items->size());
            if (s.items > 0 || s.sweeps > 0)
                out.push_back(s);
        }
    }
    return out;
}

Result<RestoredSession> MeasurementArchive::Restore(const UncleanSession& session,
                                                    const RecordSlices& slices,
                                                    WorkProgress* progress) {
    // A damaged file moved aside is read on past what cannot be read.
    const bool damaged = !session.file.isEmpty();
    Result<SqliteDb> db =
        OpenArchiveForReading(damaged ? session.file : options_.path, options_.busyTimeoutMs);
    if (!db)
        return tl::unexpected(db.error());
    Result<std::vector<TMeasRecord>> records =
        LoadSessionRecords(*db, session.id, true, damaged, progress, slices,
                           ReaderOf(damaged ? session.file : options_.path));
    if (!records)
        return tl::unexpected(records.error());
    RestoredSession r{std::move(*records), {}, {}};
    // "Cancel": what was put back stays; the download it followed and its sweeps are left.
    if (!progress || !progress->cancel) {
        // Of a damaged file, what cannot be read is left out.
        Result<std::optional<DownloadState>> download = SessionDownload(*db, session.id);
        if (!download && !damaged)
            return tl::unexpected(download.error());
        if (download) {
            Result<std::vector<Sweep>> sweeps = LoadSessionSweeps(*db, session.id);
            if (!sweeps && !damaged)
                return tl::unexpected(sweeps.error());
            r.download = std::move(*download);
            r.sweeps = std::move(sweeps).value_or(std::vector<Sweep>{});
        }
    }
    MarkRestoreAsked(session);
    return r;
}

OpenConnection MeasurementArchive::ReaderOf(const QString& file) const {
    return
        [file, timeout = options_.busyTimeoutMs] { return OpenArchiveForReading(file, timeout); };
}

void MeasurementArchive::MarkRestoreAsked(const UncleanSession& session) {
    {
        std::lock_guard l(askedMutex_);
        asked_.emplace(session.file, session.id);
    }
    // Nothing is written into a damaged file; the archive's mark is written after what waits,
    // and this console does not offer the session again meanwhile.
    if (session.file.isEmpty())
        writer_->Push(Writer::MarkRestoreAsked{session.id});
}

Result<std::vector<TMeasRecord>> MeasurementArchive::LoadSession(int64_t session, bool bufferOnly,
                                                                 WorkProgress* progress,
                                                                 const RecordSlices& slices) {
    return OpenArchiveForReading(options_.path, options_.busyTimeoutMs).and_then([&](SqliteDb db) {
        return LoadSessionRecords(db, session, bufferOnly, false, progress, slices,
                                  ReaderOf(options_.path));
    });
}

Result<std::vector<Sweep>> MeasurementArchive::LoadSweeps(int64_t session) {
    return OpenArchiveForReading(options_.path, options_.busyTimeoutMs).and_then([&](SqliteDb db) {
        return LoadSessionSweeps(db, session);
    });
}

Result<std::vector<SessionSummary>> MeasurementArchive::Sessions() {
    return OpenArchiveForReading(options_.path, options_.busyTimeoutMs).and_then([&](SqliteDb db) {
        return ListSessions(db, writer_->RunningCheck());
    });
}

void MeasurementArchive::CountMeasurements(const SessionSummary& session,
                                           std::function<void(int64_t)> done) {
    const int64_t id = session.id;
    const bool keep = !session.running;
    reader_->Post([this, id, keep, done = std::move(done)](SqliteDb& db) {
        if (const auto made = counted_.find(id); keep && made != counted_.end()) {
            done(made->second);
            return;
        }
        if (options_.beforeCount)
            options_.beforeCount(id);
        // A count of ten million arrivals takes seconds of a processor: it pauses while a
        // put-back fills the buffer, and while the writer works off a backlog (the records
        // put back, a large report), so that what arrived is safe first.
        constexpr int StepsBetweenLooks = 100000;
        if (db.IsOpen())
            sqlite3_progress_handler(
                db.Handle(), StepsBetweenLooks,
                [](void* archive) {
                    constexpr auto Pause = std::chrono::milliseconds(20);
                    const auto* self = static_cast<MeasurementArchive*>(archive);
                    while (!self->closing_ && (self->stepBack_ || self->writer_->Busy()))
                        std::this_thread::sleep_for(Pause);
                    return 0;
                },
                this);
        const int64_t n = db.IsOpen() ? ::CountMeasurements(db, id).value_or(-1) : -1;
        if (n >= 0 && keep) {
            counted_[id] = n;
            // Written by the writer, after what waits: a small update, once per session.
            writer_->Push(Writer::KeepCount{id, n});
        }
        done(n);
    });
}

void MeasurementArchive::PostRead(std::function<void()> read) {
    // Each read opens a connection of its own, so that it sees a file started anew under the
    // writer; the reader's own connection is left to the counts.
    quickReader_->Post([this, read = std::move(read)](SqliteDb&) {
        if (options_.beforeRead)
            options_.beforeRead();
        read();
    });
}
