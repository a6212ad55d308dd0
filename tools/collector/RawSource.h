#pragma once
// Where the bytes of a report are read from, a piece at a time: the spool for a report just
// received, the database's report.raw for a kept one (filing, --reparse). No report is ever held
// whole in memory.
#include <cstdint>
#include <functional>
#include <span>

#include "base/Result.h"

namespace collector {

class RawSource {
public:
    using Piece = std::function<Result<void>(std::span<const uint8_t>)>;
    virtual ~RawSource() = default;
    // Hands every piece of the report's bytes to `piece`, in order; stops at the first failure.
    virtual Result<void> ForEachPiece(int64_t report, const Piece& piece) = 0;
};

} // namespace collector
