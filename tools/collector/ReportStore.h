#pragma once
// Spooled reports into the database, a batch in one transaction: each report's row (with its raw
// bytes), its measurements when its peer is a known logger, and a NOTIFY on ReportChannel, all
// committed together. A report whose spool key is in the database already (stored just before a
// crash, the spool not yet told) is not stored again.
#include <optional>
#include <span>
#include <vector>

#include "pg/PgConnection.h"
#include "tools/collector/LoggerDirectory.h"
#include "tools/collector/MeasurementWriter.h"
#include "tools/collector/RawSource.h"
#include "tools/collector/SpooledReport.h"

namespace collector {

struct StoredReport {
    SpooledReport spooled;
    int64_t id = 0;                    // report.id
    std::optional<KnownLogger> logger; // none: an unknown peer
    DecodedCounts counts;
    bool earlier = false; // stored before; nothing was written now
    // A connection of an unknown address that brought no byte (a load balancer's health
    // check, a port scan): there is nothing to keep, so nothing is written.
    bool empty = false;
};

class ReportStore {
public:
    // `collector`: the name report.collector gets (the host's name).
    ReportStore(pg::PgConnection& db, QString collector);

    // Stores the batch, read from `spool`; the outcome per report, in the batch's order.
    Result<std::vector<StoredReport>> Store(std::span<const SpooledReport> batch, RawSource& spool);

    // --accept-unknown: the batch's peers that no logger matches and that sent something become
    // loggers, named after their address, each in a statement of its own (so two collectors may
    // do it at once). The names added.
    Result<std::vector<QString>> RegisterUnknown(std::span<const SpooledReport> batch);

private:
    Result<std::vector<StoredReport>> Write(std::span<const SpooledReport> batch, RawSource& spool);
    Result<void> CopyReports(std::span<const StoredReport> reports, RawSource& spool);

    pg::PgConnection& db_;
    QByteArray collector_;
    MeasurementWriter measurements_;
};

// Sends the NOTIFY of these reports (delivered when the transaction commits).
Result<void> NotifyReports(pg::PgConnection& db, const std::vector<int64_t>& ids);
// An SQL array literal of numbers or uuids: {1,2,3}.
QByteArray SqlArray(const std::vector<QByteArray>& items);

} // namespace collector
