#include "tools/collector/ReportStore.h"

#include <QSet>

#include "tools/collector/BinaryCopy.h"
#include "tools/collector/DatabaseSchema.h"

namespace collector {

namespace {

constexpr qsizetype CopyPiece = qsizetype{1} << 20;

constexpr char ReportColumns[] =
    "(id, logger, peer, peer_port, started_at, ended_at, raw, items, new_items, invalid, garbage, "
    "status, ending, collector, spool_key)";

} // namespace

QByteArray SqlArray(const std::vector<QByteArray>& items) {
    QByteArray out = "{";
    for (const QByteArray& item : items) {
        if (out.size() > 1)
            out += ',';
        out += item;
    }
    return out + '}';
}

Result<void> NotifyReports(pg::PgConnection& db, const std::vector<int64_t>& ids) {
    std::vector<QByteArray> items;
    for (int64_t id : ids)
        items.push_back(QByteArray::number(id));
    Result<pg::PgResult> r =
        db.Exec(QByteArray("SELECT pg_notify('") + ReportChannel +
                    "', json_build_object('report', id, 'logger', logger, 'items', items, "
                    "'new', new_items)::text) FROM report WHERE id = ANY($1::bigint[]) ORDER BY id",
                {SqlArray(items)});
    if (!r)
        return tl::unexpected(r.error());
    return {};
}

ReportStore::ReportStore(pg::PgConnection& db, QString collector)
    : db_(db), collector_(collector.toUtf8()), measurements_(db) {}

Result<std::vector<StoredReport>> ReportStore::Store(std::span<const SpooledReport> batch,
                                                     RawSource& spool) {
    if (Result<pg::PgResult> r = db_.Exec("BEGIN"); !r)
        return tl::unexpected(r.error());
    Result<std::vector<StoredReport>> stored = Write(batch, spool);
    if (stored) {
        if (Result<pg::PgResult> r = db_.Exec("COMMIT"); !r)
            stored = tl::unexpected(r.error());
    }
    if (!stored && !db_.Broken())
        (void)db_.Exec("ROLLBACK");
    return stored;
}

Result<std::vector<StoredReport>> ReportStore::Write(std::span<const SpooledReport> batch,
                                                     RawSource& spool) {
    // A logger being added waits for this batch, or this batch for it: its kept reports are
    // filed either way.
    if (Result<pg::PgResult> r = db_.Exec("LOCK TABLE logger IN SHARE MODE"); !r)
        return tl::unexpected(r.error());
    Result<LoggerDirectory> loggers = LoggerDirectory::Load(db_);
    if (!loggers)
        return tl::unexpected(loggers.error());

    std::vector<QByteArray> keys;
    for (const SpooledReport& s : batch)
        keys.push_back(s.key.toByteArray(QUuid::WithoutBraces));
    Result<pg::PgResult> earlier = db_.Exec(
        "SELECT spool_key::text FROM report WHERE spool_key = ANY($1::uuid[])", {SqlArray(keys)});
    if (!earlier)
        return tl::unexpected(earlier.error());
    QSet<QByteArray> stored;
    for (int r = 0; r < earlier->Rows(); ++r)
        stored.insert(earlier->Bytes(r, 0));

    const qsizetype fresh = static_cast<qsizetype>(batch.size()) - stored.size();
    Result<pg::PgResult> ids = db_.Exec(
        "SELECT nextval(pg_get_serial_sequence('report', 'id')) FROM generate_series(1, $1)",
        {QByteArray::number(fresh)});
    if (!ids)
        return tl::unexpected(ids.error());

    std::vector<StoredReport> out;
    std::vector<StoredReport> written;
    std::vector<ReportToDecode> decode;
    int nextId = 0;
    for (size_t k = 0; k < batch.size(); ++k) {
        StoredReport s;
        s.spooled = batch[k];
        s.earlier = stored.contains(keys[k]);
        if (!s.earlier) {
            s.id = ids->Int(nextId++, 0);
            s.logger = loggers->Match(s.spooled.peer);
            decode.push_back(
                {s.id, s.spooled.spoolId, s.logger ? std::optional(s.logger->id) : std::nullopt,
                 LocalYearAt(s.spooled.startedMs), PgMicroseconds(s.spooled.startedMs)});
        }
        out.push_back(s);
    }
    Result<std::vector<DecodedCounts>> counts = measurements_.Write(decode, spool);
    if (!counts)
        return tl::unexpected(counts.error());
    std::vector<int64_t> notify;
    for (size_t k = 0, d = 0; k < out.size(); ++k) {
        if (out[k].earlier)
            continue;
        out[k].counts = (*counts)[d++];
        out[k].empty = !out[k].logger && out[k].counts.counts.bytes == 0;
        if (out[k].empty)
            continue;
        written.push_back(out[k]);
        notify.push_back(out[k].id);
    }
    if (Result<void> r = CopyReports(written, spool); !r)
        return tl::unexpected(r.error());
    if (Result<void> r = NotifyReports(db_, notify); !r)
        return tl::unexpected(r.error());
    return out;
}

Result<void> ReportStore::CopyReports(std::span<const StoredReport> reports, RawSource& spool) {
    if (reports.empty())
        return {};
    if (Result<void> r = db_.CopyBegin(QByteArray("COPY report ") + ReportColumns +
                                       " FROM STDIN (FORMAT binary)");
        !r)
        return r;
    BinaryCopy copy;
    Result<void> sent;
    for (const StoredReport& s : reports) {
        const ItemCounts& c = s.counts.counts;
        copy.Row(15);
        copy.Int8(s.id);
        if (s.logger)
            copy.Int4(s.logger->id);
        else
            copy.Null();
        copy.Inet(PlainAddress(s.spooled.peer));
        copy.Int4(s.spooled.peerPort);
        copy.Timestamp(PgMicroseconds(s.spooled.startedMs));
        copy.Timestamp(PgMicroseconds(s.spooled.endedMs));
        // The length is what the decoder read from the same chunks.
        copy.BytesField(c.bytes);
        sent = spool.ForEachPiece(s.spooled.spoolId, [&](std::span<const uint8_t> piece) {
            copy.Append(piece);
            return copy.Size() < CopyPiece ? Result<void>() : db_.CopyPut(copy.Take());
        });
        if (!sent)
            break;
        copy.Int4(static_cast<int32_t>(c.items));
        copy.Int4(static_cast<int32_t>(s.counts.newItems));
        copy.Int4(static_cast<int32_t>(c.invalid));
        copy.Int8(c.Garbage());
        copy.Text(s.logger ? "ok" : "unknown peer");
        copy.Text(EndingName(s.spooled.ending).toUtf8());
        copy.Text(collector_);
        copy.Uuid(s.spooled.key);
    }
    if (sent) {
        copy.Trailer();
        sent = db_.CopyPut(copy.Take());
    }
    Result<int64_t> ended = db_.CopyEnd(sent ? QByteArray() : sent.error().text.toUtf8());
    if (!sent)
        return sent;
    if (!ended)
        return tl::unexpected(ended.error());
    return {};
}

Result<std::vector<QString>> ReportStore::RegisterUnknown(std::span<const SpooledReport> batch) {
    Result<LoggerDirectory> loggers = LoggerDirectory::Load(db_);
    if (!loggers)
        return tl::unexpected(loggers.error());
    std::vector<QString> added;
    QSet<QString> seen;
    for (const SpooledReport& s : batch) {
        const QString address = PlainAddress(s.peer).toString();
        if (s.bytes == 0 || loggers->Match(s.peer) || seen.contains(address))
            continue;
        seen.insert(address);
        Result<pg::PgResult> r =
            db_.Exec("INSERT INTO logger (name, address) VALUES ($1, $2::inet) "
                     "ON CONFLICT DO NOTHING",
                     {address.toUtf8(), address.toUtf8()});
        if (!r)
            return tl::unexpected(r.error());
        if (r->Affected() > 0)
            added.push_back(address);
    }
    return added;
}

} // namespace collector
