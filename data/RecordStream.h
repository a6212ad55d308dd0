#pragma once
// A growable in-memory stream of back-to-back 40-byte measurement record images. Only appended
// to, or emptied as a whole; item k is bytes 40k..40k+39. Storage grows in fixed blocks, so
// appending never copies what is already stored and ten million records cost ~40 bytes each.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/MeasRecord.h"

class RecordStream {
public:
    // Number of whole records (size div 40).
    int64_t Count() const { return count_; }
    // Size in bytes.
    int64_t Size() const { return count_ * RecordSize; }
    void Append(const TMeasRecord& rec);
    // Item k, 0 <= k < Count().
    TMeasRecord At(int64_t k) const;
    // Empties the stream and frees its memory.
    void Clear();
    // The stream's bytes, in order (BinConv.dat and tests).
    std::vector<uint8_t> Bytes() const;

private:
    static constexpr int64_t BlockRecords = 16384;
    std::vector<std::unique_ptr<TMeasRecord[]>> blocks_;
    int64_t count_ = 0;
};
