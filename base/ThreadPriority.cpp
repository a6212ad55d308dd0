#include "base/ThreadPriority.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadPriority() {
    // Five steps of nice: a weight of about a third.
    constexpr int Steps = 5;
    constexpr int Lowest = 19;
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (now == -1 && errno != 0)
        return;
    (void)setpriority(PRIO_PROCESS, self, std::min(now + Steps, Lowest));
}

void NameThisThread(const char* name) {
    constexpr size_t Longest = 15;
    char kept[Longest + 1] = {};
    for (size_t i = 0; i < Longest && name[i] != '\0'; ++i)
        kept[i] = name[i];
    (void)pthread_setname_np(pthread_self(), kept);
}
