#pragma once
// Deflates the parts of a package as their bytes are made: a megabyte at a time, the chunks
// compressed on worker threads (ISA-L's igzip, each chunk closed on a byte boundary so that the
// compressed chunks join into one stream) while the next ones are made, and handed on in order.
// A sheet of a million rows so never lies whole in memory, and saving it uses every core.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/Result.h"

namespace sheets {

struct DeflatedPart {
    uint32_t crc = 0; // CRC-32 of the bytes before compression
    uint64_t size = 0;
    uint64_t compressedSize = 0;
};

// Fills up to max bytes of the part, returns how many; 0 only at its end.
using PartProducer = std::function<size_t(char* out, size_t max)>;
// Takes the next compressed bytes; an error stops the deflating.
using DeflateSink = std::function<Result<>(const char* data, size_t size)>;

// One deflater serves all the parts of one save; its threads start with the first part larger
// than a chunk and end with it.
class PartDeflater {
public:
    PartDeflater();
    ~PartDeflater();
    PartDeflater(const PartDeflater&) = delete;
    PartDeflater& operator=(const PartDeflater&) = delete;

    // One raw deflate stream of all that produce hands out, given to sink in order. The sink's
    // error when it refuses, or why the compressor failed.
    Result<DeflatedPart> deflate(const PartProducer& produce, const DeflateSink& sink);

private:
    struct Pipeline;
    std::unique_ptr<Pipeline> pipeline_;
};

} // namespace sheets
