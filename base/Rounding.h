#pragma once
#include <cmath>
#include <cstdint>

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4), as the link rounds.
inline int64_t Round(double x) {
    return static_cast<int64_t>(std::nearbyint(x));
}
