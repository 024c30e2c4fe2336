#pragma once

#include <cmath>
#include <cstdint>

namespace quill {

// Round to the nearest integer, halves to the even neighbour, in the precision of
// the argument. The default floating-point rounding mode is round-to-nearest-even,
// which nearbyint uses.
inline std::int64_t roundHalfEven(long double v) {
    return static_cast<std::int64_t>(std::nearbyintl(v));
}

// a * b / d rounded to the nearest integer, halves away from zero, in 64 bits.
inline std::int64_t mulDiv(std::int64_t a, std::int64_t b, std::int64_t d) {
    if (d == 0)
        return -1;
    std::int64_t n = a * b;
    bool negative = (n < 0) != (d < 0);
    std::int64_t an = n < 0 ? -n : n;
    std::int64_t ad = d < 0 ? -d : d;
    std::int64_t q = (2 * an + ad) / (2 * ad);
    return negative ? -q : q;
}

inline constexpr int clampByte(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

} // namespace quill
