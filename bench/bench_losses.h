#pragma once
// What the code under a benchmark dropped or refused (arrivals not archived, a poke or a save
// refused): a counter on the benchmark's line, a line on stderr, and a failing exit of the
// program, since a rate over work that was not done flatters the code.
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>

inline int64_t& BenchLosses() {
    static int64_t total = 0;
    return total;
}

// n items of the kind `what` were dropped or refused in the running benchmark.
inline void CountLosses(benchmark::State& state, const char* what, int64_t n) {
    state.counters[what] = static_cast<double>(n);
    if (n <= 0)
        return;
    std::fprintf(stderr, "LOST: %lld %s\n", static_cast<long long>(n), what);
    BenchLosses() += n;
}

// What main returns: 1 when anything was lost.
inline int BenchExitCode() {
    if (BenchLosses() == 0)
        return 0;
    std::fprintf(stderr, "%lld items were dropped or refused: the figures are not the code's\n",
                 static_cast<long long>(BenchLosses()));
    return 1;
}
