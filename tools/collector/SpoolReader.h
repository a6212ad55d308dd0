#pragma once
// The delivery's view of the spool: complete reports in the order they became complete, and
// their bytes. A connection of its own, so reading never waits for the writer's commits (WAL).
#include <vector>

#include "sqlite/Sqlite.h"
#include "tools/collector/RawSource.h"
#include "tools/collector/SpooledReport.h"

namespace collector {

class SpoolReader : public RawSource {
public:
    Result<void> Open(const QString& path);

    // Complete reports after `afterSeq`, oldest first: at most `maxReports`, and no more than
    // fit into `maxBytes` (but always the first).
    Result<std::vector<SpooledReport>> Complete(int64_t afterSeq, int maxReports, int64_t maxBytes);
    // Complete reports still in the spool.
    Result<int64_t> Waiting();

    Result<void> ForEachPiece(int64_t report, const Piece& piece) override;

private:
    SqliteDb db_;
    SqliteStatement complete_;
    SqliteStatement chunks_;
    SqliteStatement waiting_;
};

} // namespace collector
