#pragma once
// Writes a zip archive front to back into a sink (the file being saved), never seeking: parts
// copied from another archive go with their sizes in front, parts deflated as they are written
// carry them in a data descriptor after their bytes. Without the 64-bit extension: an archive
// that would need it (a part or the whole over 4 GiB, more than 65535 parts) is refused.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "PartDeflater.h"

namespace sheets {

class ZipWriter {
public:
    using Sink = std::function<bool(const char* data, size_t size)>;
    explicit ZipWriter(Sink sink) : sink_(std::move(sink)) {}

    struct Entry {
        std::string name;
        uint16_t method = 8; // 8 deflated, 0 stored
        uint32_t crc = 0;
        uint64_t compressedSize = 0;
        uint64_t size = 0;
        std::time_t mtime = 0;
    };
    // An entry whose compressed bytes are known: `copy` hands exactly e.compressedSize bytes to
    // the sink it is given.
    bool addCompressed(const Entry& e, const std::function<bool(const Sink&)>& copy);
    // An entry deflated from what produce hands out.
    bool addDeflated(const std::string& name, const PartProducer& produce, PartDeflater& deflater);
    // The central directory; the archive is complete once it returns true.
    bool finish();
    // Why the last call failed, unless the sink refused (the sink knows why then).
    bool sinkFailed() const { return sinkFailed_; }
    const std::string& error() const { return error_; }

private:
    struct Central {
        Entry entry;
        uint16_t flags;
        uint64_t offset;
    };
    Sink sink_;
    std::string buffer_;
    uint64_t offset_ = 0;
    std::vector<Central> central_;
    std::string error_;
    bool sinkFailed_ = false;

    bool putLocalHeader(const Entry& e, uint16_t flags);
    // Buffered; what does not fit goes straight on.
    bool put(const char* data, size_t size);
    bool write(const char* data, size_t size);
    bool flush();
    bool fail(std::string why);
};

} // namespace sheets
