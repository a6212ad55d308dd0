#include "tools/collector/SpoolReader.h"

#include "tools/collector/SpoolSchema.h"

namespace collector {

Result<void> SpoolReader::Open(const QString& path) {
    Result<SqliteDb> db = OpenSpool(path);
    if (!db)
        return tl::unexpected(db.error());
    db_ = std::move(*db);
    Result<SqliteStatement> complete = db_.TryPrepare(
        "SELECT id, closed_seq, key, peer, peer_port, started_ms, ended_ms, ending, bytes "
        "FROM connection WHERE closed_seq > ?1 ORDER BY closed_seq LIMIT ?2");
    Result<SqliteStatement> chunks =
        db_.TryPrepare("SELECT data FROM chunk WHERE connection = ?1 ORDER BY rowid");
    Result<SqliteStatement> waiting =
        db_.TryPrepare("SELECT count(*) FROM connection WHERE closed_seq IS NOT NULL");
    for (const auto* s : {&complete, &chunks, &waiting})
        if (!*s)
            return Fail(path, s->error());
    complete_ = std::move(*complete);
    chunks_ = std::move(*chunks);
    waiting_ = std::move(*waiting);
    return {};
}

Result<std::vector<SpooledReport>> SpoolReader::Complete(int64_t afterSeq, int maxReports,
                                                         int64_t maxBytes) {
    std::vector<SpooledReport> out;
    int64_t bytes = 0;
    complete_.Bind(1, afterSeq);
    complete_.Bind(2, int64_t{maxReports});
    for (;;) {
        Result<bool> row = complete_.TryStep();
        if (!row) {
            complete_.Reset();
            return tl::unexpected(row.error());
        }
        if (!*row)
            break;
        SpooledReport r;
        r.spoolId = complete_.Int(0);
        r.closedSeq = complete_.Int(1);
        r.key = QUuid::fromString(complete_.Text(2));
        r.peer = QHostAddress(complete_.Text(3));
        r.peerPort = static_cast<quint16>(complete_.Int(4));
        r.startedMs = complete_.Int(5);
        r.endedMs = complete_.Int(6);
        r.ending = EndingFromName(complete_.Text(7).toUtf8()).value_or(Ending::Interrupted);
        r.bytes = complete_.Int(8);
        if (!out.empty() && bytes + r.bytes > maxBytes)
            break;
        bytes += r.bytes;
        out.push_back(r);
    }
    complete_.Reset();
    return out;
}

Result<int64_t> SpoolReader::Waiting() {
    Result<bool> row = waiting_.TryStep();
    const int64_t n = row && *row ? waiting_.Int(0) : 0;
    waiting_.Reset();
    if (!row)
        return tl::unexpected(row.error());
    return n;
}

Result<void> SpoolReader::ForEachPiece(int64_t report, const Piece& piece) {
    chunks_.Bind(1, report);
    Result<void> r;
    for (;;) {
        Result<bool> row = chunks_.TryStep();
        if (!row) {
            r = tl::unexpected(row.error());
            break;
        }
        if (!*row)
            break;
        if (!(r = piece(chunks_.Blob(0))))
            break;
    }
    chunks_.Reset();
    return r;
}

} // namespace collector
