#pragma once
// The measurements of a set of reports into the measurement table, inside the caller's
// transaction, each added only when it is not there yet (the table's unique key), with every
// report's counts: its items and how many of them were new.
//
// The fast way is one binary COPY straight into the table; it fails as a whole when a single
// measurement is there already (a report sent again, another collector that stored the same
// one). Then the rows go through a temporary table and an INSERT that skips what is there. After
// such a fall-back the next call starts with the second way, until a call finds nothing twice.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pg/PgConnection.h"
#include "tools/collector/RawSource.h"
#include "tools/collector/ReportDecoder.h"

namespace collector {

struct ReportToDecode {
    int64_t reportId = 0;          // report.id, the measurements' first_report
    int64_t sourceId = 0;          // what the RawSource knows it by
    std::optional<int32_t> logger; // none: the report is only counted
    int year = 0;
    int64_t receivedAtUs = 0; // PostgreSQL microseconds of the report's start
};

struct DecodedCounts {
    ItemCounts counts;
    int64_t newItems = 0;
};

class MeasurementWriter {
public:
    explicit MeasurementWriter(pg::PgConnection& db) : db_(db) {}

    // The counts, one per report in the order given.
    Result<std::vector<DecodedCounts>> Write(std::span<const ReportToDecode> reports,
                                             RawSource& raw);

private:
    Result<std::vector<ItemCounts>> Copy(const QByteArray& table,
                                         std::span<const ReportToDecode> reports, RawSource& raw);
    Result<std::vector<DecodedCounts>> Staged(std::span<const ReportToDecode> reports,
                                              RawSource& raw);

    pg::PgConnection& db_;
    bool staged_ = false;
};

} // namespace collector
