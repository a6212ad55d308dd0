#include "data/RecordStream.h"

#include <cstring>

void RecordStream::Append(const TMeasRecord& rec) {
    const int64_t block = count_ / BlockRecords;
    if (block == static_cast<int64_t>(blocks_.size()))
        blocks_.push_back(std::make_unique_for_overwrite<TMeasRecord[]>(BlockRecords));
    std::memcpy(&blocks_[static_cast<size_t>(block)][count_ % BlockRecords], &rec, RecordSize);
    ++count_;
}

TMeasRecord RecordStream::At(int64_t k) const {
    TMeasRecord rec;
    std::memcpy(&rec, &blocks_[static_cast<size_t>(k / BlockRecords)][k % BlockRecords],
                RecordSize);
    return rec;
}

void RecordStream::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    count_ = 0;
}

std::vector<uint8_t> RecordStream::Bytes() const {
    std::vector<uint8_t> out(static_cast<size_t>(Size()));
    for (int64_t k = 0; k < count_; ++k) {
        const TMeasRecord rec = At(k);
        std::memcpy(out.data() + k * RecordSize, &rec, RecordSize);
    }
    return out;
}
