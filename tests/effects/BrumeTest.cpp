#include "effects/Brume.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "LiteralColorEffects.h"

using namespace quill;

namespace {

// A picture whose colour names its place: red = x, green = y, blue = 7.
TBitmap32 placePicture(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel(x, y, 7, (x + 3 * y) & 255));
    return p;
}

} // namespace

TEST(BrumeTest, GeneratorFirstValuesFromZero) {
    // state := state * 134775813 + 1 (mod 2^32); Random(6) = (state * 6) >> 32.
    struct Step {
        std::uint32_t state;
        int value;
    };
    const std::vector<Step> steps = {{1u, 0},          {134775814u, 0},  {3698175007u, 5},
                                     {870078620u, 1},  {1172187917u, 1}, {2884733762u, 4},
                                     {1368768587u, 1}, {694906232u, 0}};
    ProgramRandom random;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(random.Random(6), steps[i].value);
        EXPECT_EQ(random.seed(), steps[i].state);
    }
}

TEST(BrumeTest, GeneratorRangesAndJumps) {
    struct RangeCase {
        std::uint32_t seed;
        int range, expected;
    };
    // The draw from state 0x7fffffff gives state (0x7fffffff * 134775813 + 1) mod 2^32 =
    // 0x77f77bfc.
    const std::vector<RangeCase> ranges = {{0x7fffffffu, 6, 2},
                                           {0x7fffffffu, 1, 0},
                                           {0x7fffffffu, 0, 0},
                                           {0x7fffffffu, -4, 0},
                                           {0x7fffffffu, 1000, 468}};
    for (const RangeCase& c : ranges) {
        SCOPED_TRACE(c.range);
        ProgramRandom random(c.seed);
        EXPECT_EQ(random.Random(c.range), c.expected);
        EXPECT_EQ(random.seed(), 0x77f77bfcu);
    }
    for (std::uint64_t steps : {0ull, 1ull, 2ull, 3ull, 7ull, 1000ull, 65536ull, 1048579ull}) {
        SCOPED_TRACE(steps);
        ProgramRandom serial(12345u);
        for (std::uint64_t i = 0; i < steps; ++i)
            serial.Random(6);
        ProgramRandom jumped(12345u);
        jumped.skip(steps);
        EXPECT_EQ(jumped.seed(), serial.seed());
    }
}

TEST(BrumeTest, FastBrumeEqualsTheSerialLoop) {
    struct Case {
        int width, height;
        std::uint32_t seed;
    };
    const std::vector<Case> cases = {
        {1, 1, 0}, {2, 3, 0}, {3, 3, 5},   {5, 3, 0},     {7, 9, 99},
        {1, 6, 3}, {6, 1, 3}, {64, 33, 0}, {400, 210, 0}, {401, 233, 0xdeadbeefu}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const TBitmap32 picture = literal::photoLikePicture(c.width, c.height, 41);
        ProgramRandom random(c.seed);
        std::uint32_t literalSeed = c.seed;
        EXPECT_TRUE(brume(picture, random) == literal::brume(picture, &literalSeed));
        EXPECT_EQ(random.seed(), literalSeed); // the generator continues where the loop left it
    }
}

TEST(BrumeTest, WorkedFirstPixels) {
    // From state 0 the first pixel (1, 1) draws 0 and 0: offsets -3, -3, clamped to (0, 0);
    // the pixel (2, 1) draws 5 and 1: row 1 + 2 = 3, column 2 - 2 = 0.
    const TBitmap32 picture = placePicture(8, 8);
    ProgramRandom random(0);
    const TBitmap32 result = brume(picture, random);
    EXPECT_EQ(result.pixel(1, 1) & 0xffffffu, picture.pixel(0, 0) & 0xffffffu);
    EXPECT_EQ(result.pixel(2, 1) & 0xffffffu, picture.pixel(0, 3) & 0xffffffu);
}
