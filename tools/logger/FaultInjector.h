#pragma once
// Spoils answers on purpose, so that the console's receiver can be tried against a bad line:
// noise bytes before each answer, a wrong checksum on every N-th answer and a pause in the
// middle of each answer.
#include <cstdint>
#include <random>
#include <vector>

#include <QByteArray>

namespace logger {

struct FaultOptions {
    int noiseBytes = 0;              // random bytes before each answer
    bool noiseMayStartFrame = false; // noise may hold 0x5A, the answers' start byte
    int badChecksumEvery = 0;        // every N-th answer gets a wrong checksum; 0 = never
    int pauseMs = 0;                 // pause after the first half of each answer
};

// A piece of output and the pause that precedes it.
struct OutputSegment {
    QByteArray bytes;
    int pauseBeforeMs = 0;
};

class FaultInjector {
public:
    FaultInjector(FaultOptions options, uint64_t seed);

    // The pieces to write for one answer frame, in order.
    std::vector<OutputSegment> Apply(const std::vector<uint8_t>& frame);
    const FaultOptions& Options() const { return options_; }

private:
    FaultOptions options_;
    std::mt19937_64 rng_;
    int64_t answers_ = 0;
};

} // namespace logger
