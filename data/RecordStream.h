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
    // Item k; throws std::out_of_range unless 0 <= k < Count().
    TMeasRecord At(int64_t k) const;
    // Empties the stream and frees its memory.
    void Clear();
    // The stream's bytes, in order (BinConv.dat and tests).
    std::vector<uint8_t> Bytes() const;

    // Records per storage block; exposed so tests can cross block boundaries on purpose.
    static constexpr int64_t BlockRecords = 16384;

private:
    // Raw bytes, left uninitialised until written: a record's default values would only be
    // overwritten.
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    int64_t count_ = 0;
};
