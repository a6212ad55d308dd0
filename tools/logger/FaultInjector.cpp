#include "tools/logger/FaultInjector.h"

#include "link/Frame.h"

namespace logger {

FaultInjector::FaultInjector(FaultOptions options, uint64_t seed)
    : options_(options), rng_(seed ^ 0x6E6F697365ull) {}

std::vector<OutputSegment> FaultInjector::Apply(const std::vector<uint8_t>& frame) {
    std::vector<OutputSegment> out;
    if (options_.noiseBytes > 0) {
        // Without 0x5A the noise is skipped by a receiver hunting for the start byte, so every
        // answer stays decodable; with it, the noise may swallow the answer that follows.
        std::uniform_int_distribution<int> byte(0, 255);
        QByteArray noise;
        noise.reserve(options_.noiseBytes);
        while (noise.size() < options_.noiseBytes) {
            int b = byte(rng_);
            if (b == frame::AnswerStart && !options_.noiseMayStartFrame)
                continue;
            noise.append(static_cast<char>(b));
        }
        out.push_back({noise, 0});
    }
    QByteArray bytes(reinterpret_cast<const char*>(frame.data()),
                     static_cast<qsizetype>(frame.size()));
    ++answers_;
    if (options_.badChecksumEvery > 0 && answers_ % options_.badChecksumEvery == 0 &&
        !bytes.isEmpty())
        bytes[bytes.size() - 1] = static_cast<char>(~bytes[bytes.size() - 1]);
    if (options_.pauseMs > 0 && bytes.size() > 1) {
        qsizetype half = bytes.size() / 2;
        out.push_back({bytes.left(half), 0});
        out.push_back({bytes.mid(half), options_.pauseMs});
    } else {
        out.push_back({bytes, 0});
    }
    return out;
}

} // namespace logger
