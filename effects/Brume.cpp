#include "effects/Brume.h"

#include <algorithm>
#include <cstring>

#include "imaging/Parallel.h"

namespace quill {

int ProgramRandom::Random(int range) {
    m_seed = m_seed * kMultiplier + kIncrement;
    if (range <= 0)
        return 0;
    return int((std::uint64_t(m_seed) * std::uint32_t(range)) >> 32);
}

std::uint32_t ProgramRandom::stateAfter(std::uint32_t state, std::uint64_t steps) {
    // Composition of the affine steps s -> a s + c: applying (a1, c1) after (a2, c2)
    // gives (a1 a2, a1 c2 + c1). Square-and-multiply over the bits of steps.
    std::uint32_t stepA = kMultiplier, stepC = kIncrement;
    std::uint32_t totalA = 1, totalC = 0;
    while (steps != 0) {
        if (steps & 1) {
            totalC = stepA * totalC + stepC;
            totalA = stepA * totalA;
        }
        stepC = stepA * stepC + stepC;
        stepA = stepA * stepA;
        steps >>= 1;
    }
    return totalA * state + totalC;
}

void ProgramRandom::skip(std::uint64_t steps) {
    m_seed = stateAfter(m_seed, steps);
}

ProgramRandom& programRandom() {
    static ProgramRandom generator(0);
    return generator;
}

TBitmap32 brume(const TBitmap32& original, ProgramRandom& random) {
    const int W = original.width(), H = original.height();
    if (W < 2 || H < 2)
        return original; // no pixel is drawn for, and no number is drawn
    TBitmap32 result = TBitmap32::uninitialized(W, H);
    std::memcpy(result.row32(0), original.row32(0), std::size_t(W) * 4);
    const std::uint32_t start = random.seed();
    const std::uint64_t drawsPerRow = 2 * std::uint64_t(W - 1);
    // Row y (1 .. H-1) starts from the state after 2 (W - 1) (y - 1) draws, so each band
    // jumps to its first row's state and the sequence is that of the serial loop.
    parallelRows(H - 1, std::size_t(W), [&](int begin, int end) {
        std::uint32_t state = ProgramRandom::stateAfter(start, drawsPerRow * std::uint64_t(begin));
        for (int y = begin + 1; y < end + 1; ++y) {
            // The six rows a pixel of this row can read from, clamped into the picture.
            const std::uint32_t* rows[6];
            for (int k = 0; k < 6; ++k)
                rows[k] = original.row32(std::clamp(y + k - 3, 0, H - 1));
            const std::uint32_t* s = original.row32(y);
            std::uint32_t* d = result.row32(y);
            d[0] = s[0];
            for (int x = 1; x < W; ++x) {
                state = state * ProgramRandom::kMultiplier + ProgramRandom::kIncrement;
                const int dy = int((std::uint64_t(state) * 6) >> 32); // row offset first
                state = state * ProgramRandom::kMultiplier + ProgramRandom::kIncrement;
                const int dx = int((std::uint64_t(state) * 6) >> 32) - 3;
                const int rx = std::clamp(x + dx, 0, W - 1);
                d[x] = (rows[dy][rx] & 0x00ffffffu) | (s[x] & 0xff000000u);
            }
        }
    });
    random.skip(drawsPerRow * std::uint64_t(H - 1));
    return result;
}

} // namespace quill
