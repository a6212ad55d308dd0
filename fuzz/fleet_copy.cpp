// The fleet database's binary COPY stream of measurements: any bytes, in any pieces. Fed whole
// or piece by piece (piece sizes taken from the input), the reader gives the same records and the
// same end; a failed stream stays failed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fleet/MeasurementCopyReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    fleet::MeasurementCopyReader whole, pieces;
    std::vector<TMeasRecord> a, b;
    whole.Feed(all, a);
    size_t at = 0, k = 0;
    while (at < size) {
        const size_t n = std::min<size_t>(size - at, 1 + data[k++ % size] % 37);
        pieces.Feed(all.substr(at, n), b);
        at += n;
    }
    if (whole.Failed() != pieces.Failed() || whole.Ended() != pieces.Ended())
        std::abort();
    // Records come only from whole rows, the same whatever the pieces.
    if (!whole.Failed() &&
        (a.size() != b.size() ||
         (!a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof(TMeasRecord)) != 0)))
        std::abort();
    if (whole.Failed() && whole.Feed("x", a))
        std::abort();
    return 0;
}
