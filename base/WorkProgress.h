#pragma once
// Long work on a thread of its own and the UI thread that watches it: how much is done, for a
// progress bar, and the operator's "Cancel", which the work heeds soon after.
#include <atomic>
#include <cstdint>

struct WorkProgress {
    std::atomic<int64_t> done{0};
    std::atomic<bool> cancel{false};
};
