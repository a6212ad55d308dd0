#pragma once
// A growable in-memory stream of back-to-back 40-byte measurement record images. Only appended
// to, or emptied as a whole; item k is bytes 40k..40k+39. Storage grows in fixed blocks, so
// appending never copies what is already stored and ten million records cost ~40 bytes each.
//
// The stream tells its listeners (the buffer's table, the plots) of every append and of every
// clear, so whoever changes it only appends or clears.
//
// A snapshot (Snapshot()) shares the blocks: it keeps reading the records it was taken with on
// another thread while the stream goes on growing or is cleared. Appends only write bytes past
// the snapshot's count, and a cleared stream lets go of blocks a snapshot still holds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "records/MeasRecord.h"

class RecordStream;

// The first Count() records of a stream as they were when taken; safe to read on any thread.
class RecordSnapshot {
public:
    RecordSnapshot() = default;
    int64_t Count() const { return count_; }
    // Item k; throws std::out_of_range unless 0 <= k < Count().
    TMeasRecord At(int64_t k) const;

private:
    friend class RecordStream;
    std::vector<std::shared_ptr<const std::byte[]>> blocks_;
    int64_t count_ = 0;
};

// Hears of the changes of one stream. Either side may be destroyed first: a listener leaves its
// stream when it goes, and a stream that goes first leaves its listeners listening to nothing.
class RecordStreamListener {
public:
    RecordStreamListener(const RecordStreamListener&) = delete;
    RecordStreamListener& operator=(const RecordStreamListener&) = delete;

    // After rec was appended: the stream's Count() includes it.
    virtual void RecordAppended(const TMeasRecord& rec) = 0;
    // After `count` records were appended at once from item `first` on (a restore): Count()
    // includes them all. By default RecordAppended for each, in order.
    virtual void RecordsAppended(int64_t first, int64_t count);
    // After the stream was emptied.
    virtual void StreamCleared() = 0;

    // The stream listened to, or null.
    RecordStream* Stream() const { return stream_; }

protected:
    RecordStreamListener() = default;
    ~RecordStreamListener();
    // Listens to stream from now on (null: to none), leaving the stream listened to before.
    void ListenTo(RecordStream* stream);

private:
    friend class RecordStream;
    RecordStream* stream_ = nullptr;
};

class RecordStream {
public:
    RecordStream() = default;
    // Takes the records, not the listeners; the emptied source tells its own listeners.
    RecordStream(RecordStream&& other);
    RecordStream& operator=(RecordStream&&) = delete;
    ~RecordStream();

    // Number of whole records (size div 40).
    int64_t Count() const { return count_; }
    // Size in bytes.
    int64_t Size() const { return count_ * RecordSize; }
    void Append(const TMeasRecord& rec);
    // Appends the records, then tells each listener once.
    void Append(std::span<const TMeasRecord> records);
    // Item k; throws std::out_of_range unless 0 <= k < Count().
    TMeasRecord At(int64_t k) const;
    // Empties the stream and frees its memory.
    void Clear();
    // The records stored now, for reading on another thread (a save).
    RecordSnapshot Snapshot() const;
    // The stream's bytes, in order (BinConv.dat and tests).
    std::vector<uint8_t> Bytes() const;

    // Bytes of a storage block: a huge page of its own (see NewBlock).
    static constexpr int64_t BlockBytes = int64_t{2} << 20;
    // Records per storage block; exposed so tests can cross block boundaries on purpose.
    static constexpr int64_t BlockRecords = BlockBytes / RecordSize;

private:
    friend class RecordStreamListener;
    void Store(std::span<const TMeasRecord> records);
    void NotifyCleared();

    // Raw bytes, left uninitialised until written: a record's default values would only be
    // overwritten. Shared with snapshots.
    std::vector<std::shared_ptr<std::byte[]>> blocks_;
    int64_t count_ = 0;
    // Told in the order they began to listen.
    std::vector<RecordStreamListener*> listeners_;
};
