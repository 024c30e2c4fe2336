#pragma once

#include "effects/PencilSketch.h"
#include "imaging/Bitmap32.h"

#include <algorithm>
#include <cstdint>

namespace quill {

// The grey Round((wr R + wg G + wb B) / scale) of each of the width pixels of row, written
// into grey. Weights gives the integer form of one grey conversion:
//   Weights::Sum                 an unsigned type that holds the biased sum exactly,
//   Weights::kScale              the scale,
//   Weights::sum(r, g, b)        wr R + wg G + wb B + scale / 2,
//   Weights::quotient(n)         n / scale, without a division so that the loop vectorises,
//   Weights::halves()            the GreyHalves of the conversion's extended-precision form.
// Halves are rounded up in the vectorised loop and marked; the few marked ones are then
// settled the way the extended-precision formula settles them.
template <class Weights>
void weightedGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey) {
    using Sum = typename Weights::Sum;
    constexpr int kChunk = 1024; // the half marks of a chunk sit on the stack
    for (int x0 = 0; x0 < width; x0 += kChunk) {
        const int count = std::min(kChunk, width - x0);
        const std::uint8_t* in = reinterpret_cast<const std::uint8_t*>(row + x0);
        std::uint8_t* out = grey + x0;
        std::uint8_t half[kChunk];
        std::uint8_t anyHalf = 0;
        for (int i = 0; i < count; ++i) {
            const Sum n = Weights::sum(in[4 * i + kRed], in[4 * i + kGreen], in[4 * i + kBlue]);
            const Sum q = Weights::quotient(n);
            out[i] = std::uint8_t(q);
            half[i] = std::uint8_t(Sum(q * Weights::kScale) == n);
            anyHalf |= half[i];
        }
        if (!anyHalf)
            continue;
        Weights::halves().settle(in, half, count, out);
    }
}

} // namespace quill
