#pragma once
// Memory of many megabytes that is filled right away (the buffer's blocks, a block read off the
// service's socket, the rows of a large sheet). The first touch of every 4 KiB page is a fault
// that costs, on the virtual machines the console runs on, as much as copying that page a
// hundred times; in 2 MiB pages the kernel maps the same memory in 512 times fewer faults.
#include <cstddef>
#include <cstdlib>
#include <memory>

constexpr size_t LargePageBytes = size_t(2) << 20;

// Asks for 2 MiB pages for the whole 2 MiB stretches of [p, p + bytes); nothing for less.
void PreferLargePages(void* p, size_t bytes);

struct FreeBytes {
    void operator()(char* p) const { std::free(p); }
};
using LargeBlock = std::unique_ptr<char[], FreeBytes>;
// Uninitialised bytes; a block of 2 MiB or more starts on a 2 MiB boundary and has large pages.
// Null when there is no memory.
LargeBlock AllocateLarge(size_t bytes);
