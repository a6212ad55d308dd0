#include "tools/collector/MeasurementWriter.h"

#include <unordered_map>

#include "tools/collector/MeasurementRow.h"

namespace collector {

namespace {
// The COPY goes out in pieces of about this size.
constexpr qsizetype CopyPiece = qsizetype{1} << 20;
} // namespace

Result<std::vector<DecodedCounts>> MeasurementWriter::Write(std::span<const ReportToDecode> reports,
                                                            RawSource& raw) {
    if (!staged_) {
        if (Result<pg::PgResult> r = db_.Exec("SAVEPOINT direct"); !r)
            return tl::unexpected(r.error());
        Result<std::vector<ItemCounts>> copied = Copy("measurement", reports, raw);
        if (copied) {
            if (Result<pg::PgResult> r = db_.Exec("RELEASE SAVEPOINT direct"); !r)
                return tl::unexpected(r.error());
            std::vector<DecodedCounts> out;
            for (size_t k = 0; k < reports.size(); ++k)
                out.push_back({(*copied)[k], reports[k].logger ? (*copied)[k].Valid() : 0});
            return out;
        }
        if (copied.error().code != pg::sqlstate::UniqueViolation)
            return tl::unexpected(copied.error());
        if (Result<pg::PgResult> r = db_.Exec("ROLLBACK TO SAVEPOINT direct"); !r)
            return tl::unexpected(r.error());
        staged_ = true;
    }
    Result<std::vector<DecodedCounts>> staged = Staged(reports, raw);
    if (staged) {
        bool twice = false;
        for (size_t k = 0; k < reports.size(); ++k)
            twice |= reports[k].logger && (*staged)[k].newItems < (*staged)[k].counts.Valid();
        staged_ = twice;
    }
    return staged;
}

Result<std::vector<DecodedCounts>>
MeasurementWriter::Staged(std::span<const ReportToDecode> reports, RawSource& raw) {
    for (const char* sql : {"CREATE TEMP TABLE IF NOT EXISTS incoming (LIKE measurement) "
                            "ON COMMIT DELETE ROWS",
                            "TRUNCATE incoming"})
        if (Result<pg::PgResult> r = db_.Exec(sql); !r)
            return tl::unexpected(r.error());
    Result<std::vector<ItemCounts>> copied = Copy("incoming", reports, raw);
    if (!copied)
        return tl::unexpected(copied.error());
    // In report order, so a measurement that two reports of the set hold counts as the earlier
    // one's.
    Result<pg::PgResult> added =
        db_.Exec("WITH added AS (INSERT INTO measurement SELECT * FROM incoming "
                 "ORDER BY first_report ON CONFLICT DO NOTHING RETURNING first_report) "
                 "SELECT first_report, count(*) FROM added GROUP BY first_report");
    if (!added)
        return tl::unexpected(added.error());
    std::unordered_map<int64_t, int64_t> newByReport;
    for (int r = 0; r < added->Rows(); ++r)
        newByReport[added->Int(r, 0)] = added->Int(r, 1);
    std::vector<DecodedCounts> out;
    for (size_t k = 0; k < reports.size(); ++k)
        out.push_back({(*copied)[k], newByReport[reports[k].reportId]});
    return out;
}

Result<std::vector<ItemCounts>> MeasurementWriter::Copy(const QByteArray& table,
                                                        std::span<const ReportToDecode> reports,
                                                        RawSource& raw) {
    if (Result<void> r = db_.CopyBegin("COPY " + table + ' ' + MeasurementColumns +
                                       " FROM STDIN (FORMAT binary)");
        !r)
        return tl::unexpected(r.error());
    BinaryCopy copy;
    std::vector<ItemCounts> counts;
    Result<void> sent;
    for (const ReportToDecode& report : reports) {
        ReportDecoder decoder(report.year, [&](const TMeasRecord& record) {
            if (report.logger)
                MeasurementRow(copy, *report.logger, report.reportId, report.receivedAtUs, record);
        });
        sent = raw.ForEachPiece(report.sourceId, [&](std::span<const uint8_t> piece) {
            decoder.Feed(piece);
            return copy.Size() < CopyPiece ? Result<void>() : db_.CopyPut(copy.Take());
        });
        if (!sent)
            break;
        counts.push_back(decoder.Counts());
    }
    if (sent) {
        copy.Trailer();
        sent = db_.CopyPut(copy.Take());
    }
    // The COPY is ended in any case, so that the connection is ready for the next command.
    Result<int64_t> ended = db_.CopyEnd(sent ? QByteArray() : sent.error().text.toUtf8());
    if (!sent)
        return tl::unexpected(sent.error());
    if (!ended)
        return tl::unexpected(ended.error());
    return counts;
}

} // namespace collector
