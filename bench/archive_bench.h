#pragma once
// Shared by the archive benchmarks: records as the decoder makes them (times of whole seconds,
// which the archive stores as text alone; a report item's counter 0), and the process's CPU time.
#include <sys/resource.h>

#include "buffer_bench.h"
#include "records/DateTime.h"

// A report item carries no counter: its record has 0.
inline TMeasRecord ArchiveRecord(long long k, bool reported = false) {
    TMeasRecord r = BenchRecord(k);
    if (reported)
        r.Counter = 0;
    const long long minute = k % (60 * 24 * 28);
    r.Time = dt::ComposeDateTime(
        dt::EncodeDate(2026, 2, 1 + static_cast<int>(minute / 1440)),
        dt::EncodeTime(static_cast<int>(minute / 60 % 24), static_cast<int>(minute % 60), 0));
    return r;
}

inline double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
