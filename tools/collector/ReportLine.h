#pragma once
// The log's line for a stored report: logger, peer, items, new, duplicates and the milliseconds
// from the connection's start to the commit, then whatever was unusual about it.
//   report 17 from logger lab-3 (10.0.0.3:51234): 2000 items, 1990 new, 10 duplicates, 2350 ms
//   report 18 from unknown peer 10.9.9.9:4711: 300 items kept, not filed, 41 ms
#include <cstdint>

#include <QString>

#include "tools/collector/ReportStore.h"

namespace collector {

QString ReportLine(const StoredReport& report, int64_t committedMs);

} // namespace collector
