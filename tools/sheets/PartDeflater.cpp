#include "PartDeflater.h"

#include <QScopeGuard>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "base/LargePages.h"

namespace sheets {

namespace {

constexpr size_t ChunkBytes = 1u << 20;
// igzip's fastest level: about as small as zlib's fastest, several times as fast.
constexpr int Level = 1;
constexpr size_t LevelBufBytes = ISAL_DEF_LVL1_DEFAULT;
// Stored blocks at worst (5 bytes a 64 KiB), the byte-boundary marker and the final block.
constexpr size_t OutBytes = ChunkBytes + ChunkBytes / 64 + 1024;

struct Chunk {
    // Both buffers in one block of large pages: a save maps them in a few faults.
    LargeBlock bytes{AllocateLarge(ChunkBytes + OutBytes)};
    char* in = bytes ? bytes.get() : throw std::bad_alloc();
    size_t inSize = 0;
    uint8_t* out = reinterpret_cast<uint8_t*>(in + ChunkBytes);
    size_t outSize = 0;
    bool last = false;
    bool compressed = true; // false while queued for a worker; under the pipeline's lock
    bool ok = false;
};

class Compressor {
public:
    // Compresses c.in into c.out: on a byte boundary with no history, or ending the stream.
    void run(Chunk& c) {
        isal_zstream z;
        isal_deflate_stateless_init(&z);
        z.level = Level;
        z.level_buf = levelBuf_.get();
        z.level_buf_size = LevelBufBytes;
        z.next_in = reinterpret_cast<uint8_t*>(c.in);
        z.avail_in = uint32_t(c.inSize);
        z.next_out = c.out;
        z.avail_out = uint32_t(OutBytes);
        z.flush = FULL_FLUSH;
        z.end_of_stream = c.last ? 1 : 0;
        c.ok = isal_deflate_stateless(&z) == COMP_OK;
        c.outSize = z.total_out;
    }

private:
    std::unique_ptr<uint8_t[]> levelBuf_{new uint8_t[LevelBufBytes]};
};

// Fills the chunk from the producer; true when the part ended in it.
bool Fill(Chunk& c, const PartProducer& produce, DeflatedPart& out) {
    c.inSize = 0;
    size_t n = 1;
    while (c.inSize < ChunkBytes && (n = produce(c.in + c.inSize, ChunkBytes - c.inSize)))
        c.inSize += n;
    out.crc = crc32_gzip_refl(out.crc, reinterpret_cast<const uint8_t*>(c.in), c.inSize);
    out.size += c.inSize;
    c.last = n == 0;
    return c.last;
}

} // namespace

// The chunks in a ring: the calling thread fills them and writes them out in order, the workers
// compress them in between. A core is left to the calling thread, which compresses too whenever
// the ring is full: making the bytes costs less than compressing them, and on two cores a second
// worker only took turns with the thread that feeds them all.
struct PartDeflater::Pipeline {
    std::vector<Chunk> chunks;
    Compressor own; // for the chunks the calling thread compresses itself
    std::mutex mutex;
    std::condition_variable queued, compressed;
    std::deque<Chunk*> queue;
    bool stop = false;
    std::vector<std::thread> workers;

    Pipeline() : chunks(WorkerCount() + 3) {}
    ~Pipeline() {
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        queued.notify_all();
        for (std::thread& t : workers)
            t.join();
    }

    static size_t WorkerCount() {
        return std::clamp<size_t>(std::thread::hardware_concurrency(), 2, 5) - 1;
    }

    void work() {
        Compressor compressor;
        std::unique_lock lock(mutex);
        for (;;) {
            queued.wait(lock, [this] { return stop || !queue.empty(); });
            if (stop)
                return;
            compressNext(lock, compressor);
        }
    }

    // Under the lock: compresses the next queued chunk with `compressor`, unlocked meanwhile.
    void compressNext(std::unique_lock<std::mutex>& lock, Compressor& compressor) {
        Chunk* c = queue.front();
        queue.pop_front();
        lock.unlock();
        compressor.run(*c);
        lock.lock();
        c->compressed = true;
        compressed.notify_all();
    }

    void enqueue(Chunk& c) {
        if (workers.empty())
            for (size_t i = 0; i < WorkerCount(); ++i)
                workers.emplace_back([this] { work(); });
        {
            const std::lock_guard lock(mutex);
            c.compressed = false;
            queue.push_back(&c);
        }
        queued.notify_one();
    }

    void await(Chunk& c) {
        std::unique_lock lock(mutex);
        compressed.wait(lock, [&c] { return c.compressed; });
    }

    // Waits for c, compressing queued chunks meanwhile.
    void help(Chunk& c) {
        std::unique_lock lock(mutex);
        while (!c.compressed) {
            if (queue.empty())
                compressed.wait(lock);
            else
                compressNext(lock, own);
        }
    }
};

PartDeflater::PartDeflater() = default;

PartDeflater::~PartDeflater() = default;

Result<DeflatedPart> PartDeflater::deflate(const PartProducer& produce, const DeflateSink& sink) {
    if (!pipeline_)
        pipeline_ = std::make_unique<Pipeline>();
    Pipeline& p = *pipeline_;
    DeflatedPart out;
    const size_t ring = p.chunks.size();
    size_t filled = 0, written = 0;
    bool ended = Fill(p.chunks[filled++], produce, out);
    if (ended)
        p.own.run(p.chunks[0]); // a small part: no thread needed
    else
        p.enqueue(p.chunks[0]);
    // After a failure the chunks still queued are finished before the next part starts.
    const auto settle = qScopeGuard([&p] {
        for (Chunk& c : p.chunks)
            p.await(c);
    });
    while (written < filled) {
        if (!ended && filled - written < ring) {
            Chunk& c = p.chunks[filled++ % ring];
            ended = Fill(c, produce, out);
            p.enqueue(c);
            continue;
        }
        Chunk& c = p.chunks[written++ % ring];
        p.help(c);
        if (!c.ok)
            return Fail(QStringLiteral("the compressor failed"));
        out.compressedSize += c.outSize;
        if (Result<> taken = sink(reinterpret_cast<const char*>(c.out), c.outSize); !taken)
            return tl::unexpected(taken.error());
    }
    return out;
}

} // namespace sheets
