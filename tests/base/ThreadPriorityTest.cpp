// A worker thread lowers its own priority, not the process's: the window's thread keeps its own.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "base/ThreadPriority.h"

TEST(ThreadPriority, OnlyTheCallingThreadGoesBelow) {
    const int window = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    int before = 0, after = 0;
    std::thread worker([&] {
        const auto self = static_cast<id_t>(gettid());
        before = getpriority(PRIO_PROCESS, self);
        LowerThisThreadPriority();
        after = getpriority(PRIO_PROCESS, self);
    });
    worker.join();
    EXPECT_EQ(before, window);
    EXPECT_EQ(after, std::min(window + 5, 19));
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), window);
}
