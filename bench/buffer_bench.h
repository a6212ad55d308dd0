#pragma once
// Shared by the buffer benchmarks: plausible records (a download's worth of boards, channels and
// times) and the process's resident memory.
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <unistd.h>

#include "buffer/BufferTextFile.h"
#include "buffer/RecordStream.h"
#include "records/MeasRecord.h"

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

// A buffer of n such records.
inline void FillBenchPool(RecordStream& pool, long long n) {
    for (long long k = 0; k < n; ++k)
        pool.Append(BenchRecord(k));
}

// A buffer of n records and where a benchmark saves it, with the operator's formats.
struct BenchBufferFile {
    RecordStream pool;
    QTemporaryDir dir;
    QString folder = dir.path() + '/';
    QString path = folder + "Data.txt";
    FormatSettings fs;
    QString settings = SettingsLine(1000, 0.5, 0, 15, 3, fs);
    explicit BenchBufferFile(long long n) { FillBenchPool(pool, n); }
};

// Items and bytes per second of a benchmark that reads or writes the buffer file at path.
inline void CountFileRate(benchmark::State& state, const QString& path, long long items) {
    const double bytes = static_cast<double>(QFile(path).size());
    state.counters["file_MB"] = bytes / 1e6;
    state.SetItemsProcessed(state.iterations() * items);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
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
