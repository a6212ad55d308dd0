#include "base/LargePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace {

constexpr uintptr_t LargePage = LargePageBytes;

} // namespace

void PreferLargePages(void* p, size_t bytes) {
    const uintptr_t begin = (uintptr_t(p) + LargePage - 1) & ~(LargePage - 1);
    const uintptr_t end = (uintptr_t(p) + bytes) & ~(LargePage - 1);
    // Only advice: where the kernel has no large pages the memory is mapped as before.
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

LargeBlock AllocateLarge(size_t bytes) {
    if (bytes < LargePage)
        return LargeBlock(static_cast<char*>(std::malloc(bytes)));
    const size_t whole = (bytes + LargePage - 1) & ~(LargePage - 1);
    LargeBlock block(static_cast<char*>(std::aligned_alloc(LargePage, whole)));
    if (block)
        PreferLargePages(block.get(), whole);
    return block;
}
