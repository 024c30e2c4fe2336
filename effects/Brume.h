#pragma once

#include <cstdint>

#include "imaging/Bitmap32.h"

namespace quill {

// The runtime's pseudo-random generator that Brume draws from: each draw replaces the
// 32-bit state by state * 134775813 + 1 (modulo 2^32) and returns the upper 32 bits
// of the 64-bit product of the new state and the range, an integer 0 .. range - 1.
class ProgramRandom {
  public:
    static constexpr std::uint32_t kMultiplier = 134775813u;
    static constexpr std::uint32_t kIncrement = 1u;

    explicit ProgramRandom(std::uint32_t seed = 0) : m_seed(seed) {}

    // A range of 0 or less gives 0 (the state still advances).
    int Random(int range);
    std::uint32_t seed() const { return m_seed; }
    void setSeed(std::uint32_t seed) { m_seed = seed; }
    // Advances the state as `steps` draws would, in O(log steps).
    void skip(std::uint64_t steps);

    // The state after `steps` draws from `state`.
    static std::uint32_t stateAfter(std::uint32_t state, std::uint64_t steps);

  private:
    std::uint32_t m_seed;
};

// The one program-wide generator; its state is 0 when the program starts and it is
// never reseeded.
ProgramRandom& programRandom();

// Brume: every pixel of rows 1..H-1 and columns 1..W-1 takes the colour bytes of a
// pixel up to 3 rows and columns away (offsets Random(6) - 3, the row offset drawn
// first, row by row, left to right), clamped into the picture; row 0, column 0 and
// every alpha byte stay. Leaves `random` in the state the draws left it.
TBitmap32 brume(const TBitmap32& original, ProgramRandom& random);

} // namespace quill
