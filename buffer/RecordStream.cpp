#include "buffer/RecordStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/LargePages.h"

RecordStreamListener::~RecordStreamListener() {
    ListenTo(nullptr);
}

void RecordStreamListener::ListenTo(RecordStream* stream) {
    if (stream_ == stream)
        return;
    if (stream_)
        std::erase(stream_->listeners_, this);
    stream_ = stream;
    if (stream_)
        stream_->listeners_.push_back(this);
}

RecordStream::RecordStream(RecordStream&& other)
    : blocks_(std::move(other.blocks_)), count_(other.count_) {
    other.blocks_.clear();
    other.count_ = 0;
    other.NotifyCleared();
}

RecordStream::~RecordStream() {
    for (RecordStreamListener* listener : listeners_)
        listener->stream_ = nullptr;
}

namespace {
// A block in a huge page of its own where the system gives one: ten million records faulted in
// page by page cost the window's thread over a second, in 2 MiB pages a twentieth of that.
std::shared_ptr<std::byte[]> NewBlock() {
    LargeBlock block = AllocateLarge(static_cast<size_t>(RecordStream::BlockBytes));
    if (!block)
        throw std::bad_alloc();
    return {reinterpret_cast<std::byte*>(block.release()), [](std::byte* b) { std::free(b); }};
}
} // namespace

void RecordStream::Store(std::span<const TMeasRecord> records) {
    // A block's records are contiguous images: copied a block's part at a time.
    while (!records.empty()) {
        const int64_t block = count_ / BlockRecords;
        if (block == static_cast<int64_t>(blocks_.size()))
            blocks_.push_back(NewBlock());
        const int64_t at = count_ % BlockRecords;
        const size_t n = std::min(records.size(), static_cast<size_t>(BlockRecords - at));
        std::memcpy(&blocks_[static_cast<size_t>(block)][at * RecordSize], records.data(),
                    n * RecordSize);
        count_ += static_cast<int64_t>(n);
        records = records.subspan(n);
    }
}

void RecordStream::Append(const TMeasRecord& rec) {
    Store({&rec, 1});
    // By index: a listener that leaves meanwhile skips a turn instead of breaking the loop.
    for (size_t i = 0; i < listeners_.size(); ++i)
        listeners_[i]->RecordAppended(rec);
}

void RecordStream::Append(std::span<const TMeasRecord> records) {
    const int64_t first = count_;
    Store(records);
    if (records.empty())
        return;
    for (size_t i = 0; i < listeners_.size(); ++i)
        listeners_[i]->RecordsAppended(first, static_cast<int64_t>(records.size()));
}

void RecordStreamListener::RecordsAppended(int64_t first, int64_t count) {
    for (int64_t k = first; k < first + count && stream_; ++k)
        RecordAppended(stream_->At(k));
}

namespace {
template <typename Blocks> TMeasRecord RecordAt(const Blocks& blocks, int64_t count, int64_t k) {
    // Readers come from the table, the plot, the writer, the export and a save; a wrong index
    // must not read freed or foreign memory.
    if (k < 0 || k >= count)
        throw std::out_of_range("record index out of range");
    TMeasRecord rec;
    std::memcpy(&rec,
                &blocks[static_cast<size_t>(k / RecordStream::BlockRecords)]
                       [k % RecordStream::BlockRecords * RecordSize],
                RecordSize);
    return rec;
}
} // namespace

TMeasRecord RecordStream::At(int64_t k) const {
    return RecordAt(blocks_, count_, k);
}

TMeasRecord RecordSnapshot::At(int64_t k) const {
    return RecordAt(blocks_, count_, k);
}

RecordSnapshot RecordStream::Snapshot() const {
    RecordSnapshot snap;
    snap.blocks_.assign(blocks_.begin(), blocks_.end());
    snap.count_ = count_;
    return snap;
}

void RecordStream::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    count_ = 0;
    NotifyCleared();
}

void RecordStream::NotifyCleared() {
    for (size_t i = 0; i < listeners_.size(); ++i)
        listeners_[i]->StreamCleared();
}

std::vector<uint8_t> RecordStream::Bytes() const {
    std::vector<uint8_t> out(static_cast<size_t>(Size()));
    // Whole blocks at a time: the records of a block are contiguous 40-byte images.
    for (int64_t first = 0; first < count_; first += BlockRecords) {
        const int64_t n = std::min(BlockRecords, count_ - first);
        std::memcpy(out.data() + first * RecordSize,
                    blocks_[static_cast<size_t>(first / BlockRecords)].get(),
                    static_cast<size_t>(n * RecordSize));
    }
    return out;
}
