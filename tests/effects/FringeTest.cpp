#include "effects/Fringe.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "LiteralColorEffects.h"

using namespace quill;

namespace {

using literal::kOddSizes;
using literal::Size;

const Kernel3x3 kIdentity{0, 0, 0, 0, 1, 0, 0, 0, 0};
const Kernel3x3 kLargest{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX,
                         INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
// Small enough entries for 32-bit products, but sums of up to 9 * 9e6 * 255 that leave
// the 32-bit range.
const Kernel3x3 kNineMillions{9000000, 9000000, 9000000, 9000000, 9000000,
                              9000000, 9000000, 9000000, 9000000};
const Kernel3x3 kMixedLarge{INT32_MAX, INT32_MIN, INT32_MAX, -7, INT32_MAX,
                            3,         INT32_MIN, INT32_MIN, 11};
const Kernel3x3 kBeyond32{INT64_MAX, INT64_MIN, 5, 0, INT64_MAX, -1, 2, INT64_MIN, 9};

struct KernelCase {
    const char* name;
    Kernel3x3 kernel;
};
const std::vector<KernelCase> kKernels = {
    {"realism default", kRealismDefault},
    {"abstract default", kAbstractDefault},
    {"pop art default", kPopArtDefault},
    {"identity", kIdentity},
    {"largest entries", kLargest},
    {"mixed large", kMixedLarge},
    {"beyond 32 bits", kBeyond32},
    {"zero", Kernel3x3{}},
    {"nine millions", kNineMillions},
    // Around the largest kernels whose sums stay within 16 bits (sum of |k| up to 128).
    {"128 in all", Kernel3x3{64, 0, -32, 0, 16, 0, -16, 0, 0}},
    {"129 in all", Kernel3x3{64, 0, -33, 0, 16, 0, -16, 0, 0}},
    {"beyond 16 bits", Kernel3x3{0, 0, 0, 0, 200, 0, 0, 0, -100}},
};

} // namespace

TEST(FringeTest, FastPassesEqualTheLiteralOnesToTheByte) {
    for (const Size& size : kOddSizes)
        for (const KernelCase& k : kKernels) {
            SCOPED_TRACE(literal::name(size) + " " + k.name);
            const TBitmap32 picture = literal::photoLikePicture(size.width, size.height, 7);
            EXPECT_TRUE(realismArt(picture, k.kernel) == literal::realismArt(picture, k.kernel));
            EXPECT_TRUE(abstractArt(picture, k.kernel) == literal::abstractArt(picture, k.kernel));
            EXPECT_TRUE(popArt(picture, k.kernel) == literal::popArt(picture, k.kernel));
        }
}

TEST(FringeTest, WorkedValues) {
    // 3x3 pictures: the one interior pixel is (1, 1).
    struct Case {
        const char* name;
        TBitmap32 (*effect)(const TBitmap32&, const Kernel3x3&);
        Kernel3x3 kernel;
        std::vector<std::uint32_t> input; // row by row
        std::uint32_t expectedCentre;
    };
    const std::uint32_t g = makePixel(100, 100, 100, 9);
    const std::uint32_t k = makePixel(0, 0, 0, 9);
    const std::uint32_t white = makePixel(255, 255, 255, 255), black = makePixel(0, 0, 0, 255);
    const std::vector<Case> cases = {
        // Realism default 1 2 1 / 0 0 0 / -1 -1 -1: 4 * 100 - 3 * 0 with a dark bottom row.
        {"realism bright above", realismArt, kRealismDefault, {g, g, g, g, g, g, k, k, k}, white},
        // Light below: 0 - 300 clamps to 0.
        {"realism light below", realismArt, kRealismDefault, {k, k, k, g, g, g, g, g, g}, black},
        // Per channel: red 10*(1+2+1) - 10*3 = 10, green 60*4 - 40*3 = 120, blue 0.
        {"realism per channel",
         realismArt,
         kRealismDefault,
         {makePixel(10, 60, 0), makePixel(10, 60, 0), makePixel(10, 60, 0), makePixel(99, 99, 99),
          makePixel(99, 99, 99), makePixel(99, 99, 99), makePixel(10, 40, 0), makePixel(10, 40, 0),
          makePixel(10, 40, 0)},
         makePixel(10, 120, 0, 255)},
        // Pop art, dark left column: Sobel right minus left 400 -> 255, kernel 0: black.
        {"pop art left edge", popArt, kPopArtDefault, {k, g, g, k, g, g, k, g, g}, black},
        // Pop art, dark right column: both responses negative: white.
        {"pop art right edge", popArt, kPopArtDefault, {g, g, k, g, g, k, g, g, k}, white},
        // Abstract, dark right column: left minus right 300 -> 255: black.
        {"abstract right edge", abstractArt, kAbstractDefault, {g, g, k, g, g, k, g, g, k}, black},
        // Abstract, a kernel of 1s on a grey of 20: 180 beats the gradient 0: 255 - 180.
        {"abstract user kernel", abstractArt, Kernel3x3{1, 1, 1, 1, 1, 1, 1, 1, 1},
         std::vector<std::uint32_t>(9, makePixel(20, 20, 20)), makePixel(75, 75, 75, 255)},
        // A kernel of 2147483647s over a grey of 2: 18 * (2^31 - 1) wraps negative in
        // 32 bits; the true sum is huge and positive.
        {"realism largest entries", realismArt, kLargest,
         std::vector<std::uint32_t>(9, makePixel(2, 2, 2)), white},
        // 81e6 * 255 wraps to a negative 32-bit sum.
        {"realism nine millions", realismArt, kNineMillions,
         std::vector<std::uint32_t>(9, makePixel(255, 255, 255)), white},
        {"abstract largest entries", abstractArt, kLargest,
         std::vector<std::uint32_t>(9, makePixel(2, 2, 2)), black},
        {"pop art largest entries", popArt, kLargest,
         std::vector<std::uint32_t>(9, makePixel(2, 2, 2)), black},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 picture(3, 3);
        for (int i = 0; i < 9; ++i)
            picture.setPixel(i % 3, i / 3, c.input[std::size_t(i)]);
        EXPECT_EQ(c.effect(picture, c.kernel).pixel(1, 1), c.expectedCentre);
    }
}

TEST(FringeTest, KernelTextsAreReadAsTheFieldsHoldThem) {
    struct Case {
        const char* text;
        bool ok;
        Kernel3x3 kernel;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"1,2,1,0,0,0,-1,-1,-1", true, kRealismDefault, ""},
        {"-1,-2,-1,0,0,0,1,2,1", true, kPopArtDefault, ""},
        {"2147483647,-2147483648,0,0,0,0,0,0,0", true,
         Kernel3x3{INT32_MAX, INT32_MIN, 0, 0, 0, 0, 0, 0, 0}, ""},
        {"2147483648,0,0,0,0,0,0,0,0", false, {}, "'2147483648' is not a valid integer value"},
        {"1,2,1,0,0,0,-1,-1,x", false, {}, "'x' is not a valid integer value"},
        {"1,2,1,0,,0,-1,-1,-1", false, {}, "'' is not a valid integer value"},
        {"1, 2,1,0,0,0,-1,-1,-1", false, {}, "' 2' is not a valid integer value"},
        {"1,2,1", false, {}, "a kernel needs nine comma-separated integers"},
        {"1,2,1,0,0,0,-1,-1,-1,", false, {}, "a kernel needs nine comma-separated integers"},
        {"", false, {}, "a kernel needs nine comma-separated integers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const std::optional<Kernel3x3> kernel = parseKernel(c.text, &error);
        ASSERT_EQ(kernel.has_value(), c.ok);
        if (c.ok)
            EXPECT_EQ(*kernel, c.kernel);
        else
            EXPECT_EQ(error, c.message);
    }
}
