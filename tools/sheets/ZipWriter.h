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
    // Takes the archive's next bytes; its error ends the archive (nothing more is written).
    using Sink = std::function<Result<>(const char* data, size_t size)>;
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
    // the sink it is given, and passes on the sink's error or gives its own.
    Result<> addCompressed(const Entry& e, const std::function<Result<>(const Sink&)>& copy);
    // An entry deflated from what produce hands out.
    Result<> addDeflated(const std::string& name, const PartProducer& produce,
                         PartDeflater& deflater);
    // The central directory; the archive is complete once it succeeds.
    Result<> finish();

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

    Result<> putLocalHeader(const Entry& e, uint16_t flags);
    // Buffered; what does not fit goes straight on.
    Result<> put(const char* data, size_t size);
    Result<> flush();
};

} // namespace sheets
