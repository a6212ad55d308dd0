#pragma once
// Long work on a thread of its own and the UI thread that watches it: how much is done, for a
// progress bar, and the operator's "Cancel", which the work heeds soon after.
#include <atomic>
#include <cstdint>

struct WorkProgress {
    std::atomic<int64_t> done{0};
    std::atomic<bool> cancel{false};
};

// Counts what is under way on the UI thread while the event loop goes on, one count per `Kind`.
template <class Kind> class UnderWay {
public:
    UnderWay() { ++count_; }
    ~UnderWay() { --count_; }
    UnderWay(const UnderWay&) = delete;
    UnderWay& operator=(const UnderWay&) = delete;
    static bool Any() { return count_ > 0; }

private:
    static inline int count_ = 0;
};

// While one lives, long work runs with the event loop going on (UI thread only): a script's next
// line waits for it to end, as it waits for a command that has not returned.
using LongWorkUnderWay = UnderWay<struct LongWork>;
// While one lives, a dialog shown at once waits for what it is to show, read on another thread:
// a script's next line waits for it even inside the dialog, as an operator would wait to see it.
using DialogFilling = UnderWay<struct DialogFill>;
