#include "tools/collector/ReportFiling.h"

#include <vector>

#include "tools/collector/BinaryCopy.h"
#include "tools/collector/LoggerDirectory.h"
#include "tools/collector/MeasurementWriter.h"
#include "tools/collector/RawSource.h"
#include "tools/collector/ReportStore.h"

namespace collector {

namespace {

constexpr size_t ReportsPerTransaction = 64;
constexpr int64_t Slice = int64_t{4} << 20;

// report.raw read a slice at a time.
class DatabaseRaw : public RawSource {
public:
    explicit DatabaseRaw(pg::PgConnection& db) : db_(db) {}
    Result<void> ForEachPiece(int64_t report, const Piece& piece) override {
        for (int64_t from = 1;; from += Slice) {
            Result<pg::PgResult> r = db_.Exec(
                "SELECT substring(raw FROM $2 FOR $3) FROM report WHERE id = $1",
                {QByteArray::number(report), QByteArray::number(from), QByteArray::number(Slice)},
                true);
            if (!r)
                return tl::unexpected(r.error());
            const QByteArray bytes = r->Rows() ? r->Bytes(0, 0) : QByteArray();
            if (!bytes.isEmpty())
                if (Result<void> p = piece({reinterpret_cast<const uint8_t*>(bytes.constData()),
                                            static_cast<size_t>(bytes.size())});
                    !p)
                    return p;
            if (bytes.size() < Slice)
                return {};
        }
    }

private:
    pg::PgConnection& db_;
};

Result<void> FileSome(pg::PgConnection& db, pg::PgConnection& reader, MeasurementWriter& writer,
                      std::span<const int64_t> ids, FilingTotals& totals) {
    if (Result<pg::PgResult> r = db.Exec("LOCK TABLE logger IN SHARE MODE"); !r)
        return tl::unexpected(r.error());
    Result<LoggerDirectory> loggers = LoggerDirectory::Load(db);
    if (!loggers)
        return tl::unexpected(loggers.error());
    std::vector<QByteArray> idTexts;
    for (int64_t id : ids)
        idTexts.push_back(QByteArray::number(id));
    Result<pg::PgResult> rows =
        db.Exec("SELECT id, logger, host(peer), (extract(epoch FROM started_at) * 1000)::bigint "
                "FROM report WHERE id = ANY($1::bigint[]) ORDER BY id FOR UPDATE",
                {SqlArray(idTexts)});
    if (!rows)
        return tl::unexpected(rows.error());
    std::vector<ReportToDecode> decode;
    for (int r = 0; r < rows->Rows(); ++r) {
        ++totals.reports;
        std::optional<int32_t> logger;
        if (!rows->IsNull(r, 1))
            logger = static_cast<int32_t>(rows->Int(r, 1));
        else if (auto known = loggers->Match(QHostAddress(rows->Text(r, 2))))
            logger = known->id;
        if (!logger)
            continue;
        const int64_t id = rows->Int(r, 0);
        const int64_t startedMs = rows->Int(r, 3);
        decode.push_back({id, id, logger, LocalYearAt(startedMs), PgMicroseconds(startedMs)});
    }
    DatabaseRaw raw(reader);
    Result<std::vector<DecodedCounts>> counts = writer.Write(decode, raw);
    if (!counts)
        return tl::unexpected(counts.error());
    std::vector<int64_t> filed;
    for (size_t k = 0; k < decode.size(); ++k) {
        const DecodedCounts& c = (*counts)[k];
        Result<pg::PgResult> r =
            db.Exec("UPDATE report SET logger = $2, status = 'ok', items = $3, invalid = $4, "
                    "garbage = $5, new_items = new_items + $6 WHERE id = $1",
                    {QByteArray::number(decode[k].reportId), QByteArray::number(*decode[k].logger),
                     QByteArray::number(c.counts.items), QByteArray::number(c.counts.invalid),
                     QByteArray::number(c.counts.Garbage()), QByteArray::number(c.newItems)});
        if (!r)
            return tl::unexpected(r.error());
        ++totals.filed;
        totals.items += c.counts.items;
        totals.added += c.newItems;
        filed.push_back(decode[k].reportId);
    }
    return NotifyReports(db, filed);
}

} // namespace

Result<FilingTotals> FileReports(pg::PgConnection& db, pg::PgConnection& reader,
                                 std::span<const int64_t> reportIds) {
    FilingTotals totals;
    MeasurementWriter writer(db);
    for (size_t from = 0; from < reportIds.size(); from += ReportsPerTransaction) {
        const auto ids =
            reportIds.subspan(from, std::min(ReportsPerTransaction, reportIds.size() - from));
        if (Result<pg::PgResult> r = db.Exec("BEGIN"); !r)
            return tl::unexpected(r.error());
        Result<void> done = FileSome(db, reader, writer, ids, totals);
        if (done) {
            if (Result<pg::PgResult> r = db.Exec("COMMIT"); !r)
                done = tl::unexpected(r.error());
        }
        if (!done) {
            (void)db.Exec("ROLLBACK");
            return tl::unexpected(done.error());
        }
    }
    return totals;
}

} // namespace collector
