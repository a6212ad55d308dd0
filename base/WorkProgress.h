#pragma once
// Long work on a thread of its own and the UI thread that watches it: how much is done, for a
// progress bar, and the operator's "Cancel", which the work heeds soon after.
#include <atomic>
#include <cstdint>

struct WorkProgress {
    std::atomic<int64_t> done{0};
    std::atomic<bool> cancel{false};
};

// While one lives, long work runs with the event loop going on (UI thread only): a script's next
// line waits for it to end, as it waits for a command that has not returned.
class LongWorkUnderWay {
public:
    LongWorkUnderWay() { ++count_; }
    ~LongWorkUnderWay() { --count_; }
    LongWorkUnderWay(const LongWorkUnderWay&) = delete;
    LongWorkUnderWay& operator=(const LongWorkUnderWay&) = delete;
    static bool Any() { return count_ > 0; }

private:
    static inline int count_ = 0;
};
