#include "tools/collector/SpoolWriter.h"

#include <chrono>
#include <limits>
#include <map>

#include <QDateTime>

#include "tools/collector/CollectorLog.h"
#include "tools/collector/SpoolSchema.h"

namespace collector {

namespace {

// Writing again after the file could not be written.
constexpr auto RetryAfter = std::chrono::seconds(1);

} // namespace

SpoolWriter::SpoolWriter(QString path) : path_(std::move(path)) {}

SpoolWriter::~SpoolWriter() {
    Stop();
}

Result<int64_t> SpoolWriter::Open() {
    Result<SqliteDb> db = OpenSpool(path_);
    if (!db)
        return tl::unexpected(db.error());
    db_ = std::move(*db);
    Result<SqliteStatement> last = db_.TryPrepare(
        "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'connection'), 0), "
        "coalesce((SELECT max(id) FROM connection), 0)), "
        "coalesce((SELECT max(closed_seq) FROM connection), 0)");
    if (!last)
        return Fail(path_, last.error());
    if (Result<bool> row = last->TryStep(); !row)
        return Fail(path_, row.error());
    nextId_ = last->Int(0) + 1;
    seq_ = last->Int(1);
    last->Reset();

    // What a killed collector left open ends where its last committed chunk did.
    Result<SqliteStatement> open = db_.TryPrepare(
        "SELECT id, coalesce((SELECT max(at_ms) FROM chunk WHERE connection = c.id), started_ms) "
        "FROM connection c WHERE closed_seq IS NULL ORDER BY id");
    Result<SqliteStatement> close = db_.TryPrepare(
        "UPDATE connection SET ended_ms = ?2, ending = ?3, closed_seq = ?4 WHERE id = ?1");
    if (!open || !close)
        return Fail(path_, !open ? open.error() : close.error());
    std::vector<std::pair<int64_t, int64_t>> interrupted;
    for (Result<bool> row; (row = open->TryStep()) && *row;)
        interrupted.emplace_back(open->Int(0), open->Int(1));
    open->Reset();
    if (Result<void> r = db_.TryExec("BEGIN IMMEDIATE"); !r)
        return Fail(path_, r.error());
    for (const auto& [id, endedMs] : interrupted) {
        close->Bind(1, id);
        close->Bind(2, endedMs);
        close->Bind(3, EndingName(Ending::Interrupted));
        close->Bind(4, ++seq_);
        if (Result<void> r = close->TryRun(); !r) {
            (void)db_.TryExec("ROLLBACK");
            return Fail(path_, r.error());
        }
    }
    if (Result<void> r = db_.TryExec("COMMIT"); !r)
        return Fail(path_, r.error());

    Result<SqliteStatement> waiting =
        db_.TryPrepare("SELECT count(*) FROM connection WHERE closed_seq IS NOT NULL");
    if (!waiting)
        return Fail(path_, waiting.error());
    if (Result<bool> row = waiting->TryStep(); !row)
        return Fail(path_, row.error());
    const int64_t count = waiting->Int(0);
    waiting->Reset();

    thread_ = std::thread([this] { Run(); });
    return count;
}

int64_t SpoolWriter::Begin(const QHostAddress& peer, quint16 port, int64_t ms) {
    const int64_t id = nextId_++;
    Push(BeginEvent{id, QUuid::createUuid(), peer, port, ms});
    return id;
}

void SpoolWriter::Append(int64_t id, QByteArray bytes, int64_t ms) {
    const qsizetype size = bytes.size();
    Push(ChunkEvent{id, std::move(bytes), ms}, size);
}

void SpoolWriter::End(int64_t id, Ending ending, int64_t ms) {
    Push(EndEvent{id, ending, ms});
}

void SpoolWriter::Forget(std::vector<int64_t> ids) {
    Push(ForgetEvent{std::move(ids)});
}

bool SpoolWriter::Congested() const {
    return failing_ || pending_ > CongestedBytes;
}

void SpoolWriter::Push(Event event, qsizetype bytes) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(event));
    }
    pending_ += bytes;
    wake_.notify_one();
}

bool SpoolWriter::Flush(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return queue_.empty() && !writing_;
    }) && !failing_;
}

void SpoolWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable())
            return;
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

SpoolWriter::Stats SpoolWriter::Statistics() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

void SpoolWriter::Run() {
    std::vector<Event> events;
    int failures = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (failures == 0)
                wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            else if (!stop_)
                wake_.wait_for(lock, RetryAfter, [this] { return stop_; });
            if (stop_ && queue_.empty() && events.empty())
                break;
            // What failed before goes first, then what came since, in order.
            std::move(queue_.begin(), queue_.end(), std::back_inserter(events));
            queue_.clear();
            writing_ = true;
        }
        qsizetype bytes = 0;
        int64_t oldestMs = std::numeric_limits<int64_t>::max();
        for (const Event& e : events)
            if (const auto* chunk = std::get_if<ChunkEvent>(&e)) {
                bytes += chunk->bytes.size();
                oldestMs = std::min(oldestMs, chunk->ms);
            }
        int64_t seq = seq_;
        bool completed = false;
        const Result<void> written = Write(events, seq, completed);
        bool stopping = false;
        {
            std::lock_guard lock(mutex_);
            writing_ = false;
            stopping = stop_;
            if (written) {
                ++stats_.commits;
                if (bytes > 0) {
                    const int64_t age = QDateTime::currentMSecsSinceEpoch() - oldestMs;
                    stats_.longestMs = std::max(stats_.longestMs, age);
                    stats_.later += age > 100 ? 1 : 0;
                }
            }
        }
        if (written) {
            seq_ = seq;
            events.clear();
            pending_ -= bytes;
            if (failures > 0)
                Log(QStringLiteral("spool written again (%1)").arg(path_));
            failures = 0;
            failing_ = false;
            if (completed && onCompleted)
                onCompleted();
            if (!Congested() && reliefWanted_.exchange(false) && onRelieved)
                onRelieved();
        } else {
            if (failures++ == 0)
                Log(QStringLiteral("spool not written: %1; not reading from loggers until it is")
                        .arg(written.error().text));
            failing_ = true;
            if (stopping && failures > 1) {
                Log(QStringLiteral("spool not written at the end: %1 bytes lost").arg(bytes));
                break;
            }
        }
        idle_.notify_all();
    }
    idle_.notify_all();
}

Result<void> SpoolWriter::Write(const std::vector<Event>& events, int64_t& seq, bool& completed) {
    // Statements are made once per transaction: a few microseconds against a commit's fsync.
    auto prepare = [this](const char* sql) { return db_.TryPrepare(sql); };
    Result<SqliteStatement> begin = prepare("INSERT INTO connection (id, key, peer, peer_port, "
                                            "started_ms) VALUES (?1, ?2, ?3, ?4, ?5)");
    Result<SqliteStatement> chunk =
        prepare("INSERT INTO chunk (connection, at_ms, data) VALUES (?1, ?2, ?3)");
    Result<SqliteStatement> grow =
        prepare("UPDATE connection SET bytes = bytes + ?2 WHERE id = ?1");
    Result<SqliteStatement> end =
        prepare("UPDATE connection SET ended_ms = ?2, ending = ?3, closed_seq = ?4 WHERE id = ?1");
    Result<SqliteStatement> forgetChunks = prepare("DELETE FROM chunk WHERE connection = ?1");
    Result<SqliteStatement> forget = prepare("DELETE FROM connection WHERE id = ?1");
    for (const auto* s : {&begin, &chunk, &grow, &end, &forgetChunks, &forget})
        if (!*s)
            return tl::unexpected(s->error());

    // The bytes of one connection that came in this round are one chunk.
    struct Pending {
        QByteArray bytes;
        int64_t ms = 0;
    };
    std::map<int64_t, Pending> pending;
    auto flush = [&](int64_t id) -> Result<void> {
        auto it = pending.find(id);
        if (it == pending.end())
            return {};
        chunk->Bind(1, id);
        chunk->Bind(2, it->second.ms);
        chunk->BindBlob(3, {reinterpret_cast<const uint8_t*>(it->second.bytes.constData()),
                            static_cast<size_t>(it->second.bytes.size())});
        grow->Bind(1, id);
        grow->Bind(2, static_cast<int64_t>(it->second.bytes.size()));
        pending.erase(it);
        if (Result<void> r = chunk->TryRun(); !r)
            return r;
        return grow->TryRun();
    };

    if (Result<void> r = db_.TryExec("BEGIN IMMEDIATE"); !r)
        return r;
    auto apply = [&](const Event& event) -> Result<void> {
        if (const auto* e = std::get_if<BeginEvent>(&event)) {
            begin->Bind(1, e->id);
            begin->Bind(2, e->key.toString(QUuid::WithoutBraces));
            begin->Bind(3, e->peer.toString());
            begin->Bind(4, int64_t{e->port});
            begin->Bind(5, e->ms);
            return begin->TryRun();
        }
        if (const auto* e = std::get_if<ChunkEvent>(&event)) {
            Pending& p = pending[e->id];
            p.bytes += e->bytes;
            p.ms = e->ms;
            return {};
        }
        if (const auto* e = std::get_if<EndEvent>(&event)) {
            if (Result<void> r = flush(e->id); !r)
                return r;
            end->Bind(1, e->id);
            end->Bind(2, e->ms);
            end->Bind(3, EndingName(e->ending));
            end->Bind(4, ++seq);
            completed = true;
            return end->TryRun();
        }
        for (int64_t id : std::get<ForgetEvent>(event).ids) {
            forgetChunks->Bind(1, id);
            forget->Bind(1, id);
            if (Result<void> r = forgetChunks->TryRun(); !r)
                return r;
            if (Result<void> r = forget->TryRun(); !r)
                return r;
        }
        return {};
    };
    Result<void> r;
    for (const Event& event : events)
        if (!(r = apply(event)))
            break;
    while (r && !pending.empty())
        r = flush(pending.begin()->first);
    if (r)
        r = db_.TryExec("COMMIT");
    if (!r)
        (void)db_.TryExec("ROLLBACK");
    return r;
}

} // namespace collector
