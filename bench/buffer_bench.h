#pragma once
// Shared by the buffer benchmarks: plausible records (a download's worth of boards, channels and
// times) and the process's resident memory.
#include <cstdio>
#include <unistd.h>

#include "link/MeasRecord.h"

inline TMeasRecord BenchRecord(long long k) {
    TMeasRecord r;
    r.Board = static_cast<int32_t>(k % 8);
    r.Channel = static_cast<int32_t>(k % 16);
    r.Range = static_cast<int32_t>(k % 4);
    r.Rx = k % 97 == 0 ? 65535.0 : 0.5 + static_cast<double>(k % 10007) * 0.0137;
    r.Xx = k % 89 == 0 ? 65535.0 : -3.0 + static_cast<double>(k % 7919) * 0.0011;
    r.Counter = static_cast<int32_t>(k & 0xFFFFFF);
    r.Time = 46000.0 + static_cast<double>(k) / 86400.0 * 60; // one a minute
    return r;
}

inline double ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}
