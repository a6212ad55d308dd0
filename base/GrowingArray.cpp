#include "base/GrowingArray.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// From this size on the memory is mapped pages of its own, moved rather than copied as it grows;
// below it, the heap (small arrays are many). Low, since the copy into new pages touches them
// all at once: a hundred channels crossing it in one slice cost a long pause.
constexpr size_t MappedFrom = size_t{64} << 10;
constexpr size_t Page = 4096;

size_t PageRounded(size_t bytes) {
    return (bytes + Page - 1) / Page * Page;
}
} // namespace

namespace growingarray {

void* Grow(void* old, size_t oldBytes, size_t keep, size_t& bytes) {
    if (bytes < MappedFrom) {
        void* p = std::realloc(old, bytes);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    bytes = PageRounded(bytes);
    void* p = MAP_FAILED;
    if (oldBytes >= MappedFrom) {
        p = mremap(old, oldBytes, bytes, MREMAP_MAYMOVE);
    } else {
        p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
            if (keep > 0)
                std::memcpy(p, old, keep);
            std::free(old);
        }
    }
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    return p;
}

void Release(void* p, size_t bytes) {
    if (bytes >= MappedFrom)
        munmap(p, bytes);
    else
        std::free(p);
}

} // namespace growingarray
