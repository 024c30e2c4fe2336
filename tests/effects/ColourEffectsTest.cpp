// The colour effects: Realism, Abstract, Pop art, Sharpen, Soften, Water color, the
// colour panels and blocks, and Brume, against their plain twins and worked values.
#include "effects/Brume.h"
#include "effects/ColorFilters.h"
#include "effects/Fringe.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"

#include "LiteralEffects.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quill {
namespace {

using literal::name;
using literal::Size;

// Every loop edge of a 3 x 3 pass, odd and even sides, squares, thin strips, sides whose
// ratio is not a short binary fraction (10 / 3, 7 / 9), and one picture large enough for
// parallel bands.
const Size kSizes[] = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {2, 3}, {3, 2},  {3, 3},   {5, 3},    {7, 9},
                       {4, 4}, {6, 3}, {3, 6}, {1, 7}, {7, 1}, {10, 3}, {64, 33}, {641, 479}};

TBitmap32 inPlace(void (*filter)(TBitmap32&), TBitmap32 picture) {
    filter(picture);
    return picture;
}

using literal::kOddSizes;

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
    {"beyond 16 bits", Kernel3x3{0, 0, 0, 0, 200, 0, 0, 0, -100}}};

// A picture whose colour names its place: red = x, green = y, blue = 7.
TBitmap32 placePicture(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel(x, y, 7, (x + 3 * y) & 255));
    return p;
}

TEST(ColorEffectsTest, FastEffectsEqualTheLiteralOnesOnOddSizesAndAPhotograph) {
    const Kernel3x3 kernel{3, -1, 0, 2, 1, -2, 0, -1, 1};
    using Effect = std::function<TBitmap32(const TBitmap32&)>;
    const struct {
        const char* name;
        Effect fast, slow;
    } effects[] = {
        {"realism", [&](const TBitmap32& p) { return realismArt(p, kernel); },
         [&](const TBitmap32& p) { return literal::realismArt(p, kernel); }},
        {"abstract", [](const TBitmap32& p) { return abstractArt(p, kAbstractDefault); },
         [](const TBitmap32& p) { return literal::abstractArt(p, kAbstractDefault); }},
        {"pop art", [](const TBitmap32& p) { return popArt(p, kPopArtDefault); },
         [](const TBitmap32& p) { return literal::popArt(p, kPopArtDefault); }},
        {"sharpen", [](TBitmap32 p) { return inPlace(sharpen, p); },
         [](TBitmap32 p) { return inPlace(literal::sharpen, p); }},
        {"soften", [](TBitmap32 p) { return inPlace(soften, p); },
         [](TBitmap32 p) { return inPlace(literal::soften, p); }},
        {"water color", waterColor, literal::waterColor},
        {"color panels", colorPanels, literal::colorPanels},
        {"color blocks v&h", colorBlocksVH, literal::colorBlocksVH},
        {"color blocks catercorner", colorBlocksCatercorner, literal::colorBlocksCatercorner},
        {"brume",
         [](const TBitmap32& p) {
             ProgramRandom r(0);
             return brume(p, r);
         },
         [](const TBitmap32& p) {
             std::uint32_t seed = 0;
             return literal::brume(p, &seed);
         }}};
    LoadResult loaded =
        LoadPictureFile(std::string(QUILL_SOURCE_DIR) + "/library/foreground/chelsea.jpg");
    ASSERT_FALSE(loaded.picture.empty()) << loaded.message;
    TBitmap32 photo = std::move(loaded.picture);
    // Cut-out corners as a rotated layer has them, and odd alpha bytes elsewhere.
    const int W = photo.width(), H = photo.height();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (x + y < H / 4 || (W - 1 - x) + (H - 1 - y) < H / 3)
                photo.setPixel(x, y, CutoutColor);
            else if ((x ^ y) % 5 == 0)
                photo.setPixel(
                    x, y, (photo.pixel(x, y) & 0xffffffu) | (std::uint32_t((x * y) & 255) << 24));
        }
    for (const auto& e : effects) {
        for (const Size& size : kSizes) {
            const TBitmap32 picture = literal::photoLikePicture(size.width, size.height, 31);
            EXPECT_TRUE(e.fast(picture) == e.slow(picture)) << e.name << " " << name(size);
        }
        EXPECT_TRUE(e.fast(photo) == e.slow(photo)) << e.name << " photograph";
    }
}

TEST(ColorEffectsTest, FilteredRegionsOfAFlatGrey) {
    // G the grey (100, 110, 120, alpha 77); R, Y, B, M its red, yellow, blue and magenta
    // filterings, which keep alpha; row 0 and column 0 are never filtered.
    const std::uint32_t grey = makePixel(100, 110, 120, 77);
    const std::map<std::uint32_t, char> letters = {{grey, 'G'},
                                                   {makePixel(255, 110, 120, 77), 'R'},
                                                   {makePixel(100, 255, 0, 77), 'Y'},
                                                   {makePixel(0, 110, 255, 77), 'B'},
                                                   {makePixel(255, 110, 255, 77), 'M'}};
    struct Case {
        const char* name;
        TBitmap32 (*effect)(const TBitmap32&);
        std::vector<std::string> rows;
    } cases[] = {
        // Left of W / 2 and above H / 2 red, below yellow; right blue above, magenta below.
        {"v&h", colorBlocksVH, {"GGGG", "GRBB", "GYMM", "GYMM"}},
        // d1 = y W / H, d2 = W (H - y) / H; on a diagonal x = d1: left or bottom, never top
        // or right.
        {"catercorner", colorBlocksCatercorner, {"GGGGG", "GBRRY", "GBBYY", "GBMMY", "GMMMM"}},
        // Twice as wide as high: d1 = 2y lands on whole columns.
        {"catercorner wide", colorBlocksCatercorner, {"GGGGGG", "GBBRYY", "GBMMMY"}},
        // 2 x 2 panels: only their pixel (1, 1) is written.
        {"panels", colorPanels, {"GGGG", "GRGY", "GGGG", "GBGM"}}};
    for (const Case& c : cases) {
        const TBitmap32 out = c.effect(TBitmap32(int(c.rows[0].size()), int(c.rows.size()), grey));
        std::vector<std::string> rows(std::size_t(out.height()), std::string(out.width(), '?'));
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                if (letters.count(out.pixel(x, y)))
                    rows[y][x] = letters.at(out.pixel(x, y));
        EXPECT_EQ(rows, c.rows) << c.name;
    }
}

TEST(ColorEffectsTest, ColorPanelsTakeTheHalfSizePicture) {
    // Unique pixels: each panel's pixel (1, 1) is the resampled (1, 1) = original (2, 2),
    // (21, 22, 54), filtered, with the alpha of the pixel it replaces.
    TBitmap32 picture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            picture.setPixel(x, y, makePixel(10 * x + 1, 10 * y + 2, 50 + x + y, 200 + x + 4 * y));
    TBitmap32 expected = picture;
    expected.setPixel(1, 1, makePixel(255, 22, 54, 205));
    expected.setPixel(3, 1, makePixel(21, 255, 0, 207));
    expected.setPixel(1, 3, makePixel(0, 22, 255, 213));
    expected.setPixel(3, 3, makePixel(255, 22, 255, 215));
    EXPECT_EQ(literal::difference(colorPanels(picture), expected), "");
}

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
         std::vector<std::uint32_t>(9, makePixel(2, 2, 2)), black}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 picture(3, 3);
        for (int i = 0; i < 9; ++i)
            picture.setPixel(i % 3, i / 3, c.input[std::size_t(i)]);
        EXPECT_EQ(c.effect(picture, c.kernel).pixel(1, 1), c.expectedCentre);
    }
}

TEST(FringeTest, KernelTextsAreReadAsTheFieldsHoldThem) {
    const std::pair<const char*, Kernel3x3> read[] = {
        {"1,2,1,0,0,0,-1,-1,-1", kRealismDefault},
        {"-1,-2,-1,0,0,0,1,2,1", kPopArtDefault},
        {"2147483647,-2147483648,0,0,0,0,0,0,0", {INT32_MAX, INT32_MIN, 0, 0, 0, 0, 0, 0, 0}}};
    for (const auto& [text, kernel] : read)
        EXPECT_EQ(parseKernel(text, nullptr), kernel) << text;
    const std::string nine = "a kernel needs nine comma-separated integers";
    const std::pair<const char*, std::string> refused[] = {
        {"2147483648,0,0,0,0,0,0,0,0", "'2147483648' is not a valid integer value"},
        {"1,2,1,0,0,0,-1,-1,x", "'x' is not a valid integer value"},
        {"1,2,1,0,,0,-1,-1,-1", "'' is not a valid integer value"},
        {"1, 2,1,0,0,0,-1,-1,-1", "' 2' is not a valid integer value"},
        {"1,2,1", nine},
        {"1,2,1,0,0,0,-1,-1,-1,", nine},
        {"", nine}};
    for (const auto& [text, message] : refused) {
        std::string error;
        EXPECT_EQ(parseKernel(text, &error), std::nullopt) << text;
        EXPECT_EQ(error, message);
    }
}

TEST(SharpenSoftenTest, MedianEqualsTheSortedMiddleForManyNeighbourhoods) {
    // Few distinct values give many ties, where a wrong network most easily slips.
    for (int levels : {2, 3, 5, 256}) {
        SCOPED_TRACE(levels);
        TBitmap32 picture(301, 223);
        std::uint32_t state = 99u + std::uint32_t(levels);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                state = state * 1664525u + 1013904223u;
                const int r = int((state >> 8) % std::uint32_t(levels)) * 255 / (levels - 1);
                const int g = int((state >> 16) % std::uint32_t(levels)) * 255 / (levels - 1);
                const int b = int((state >> 24) % std::uint32_t(levels)) * 255 / (levels - 1);
                picture.setPixel(x, y, makePixel(r, g, b, int(state & 255)));
            }
        TBitmap32 fast = picture, slow = picture;
        soften(fast);
        literal::soften(slow);
        EXPECT_TRUE(fast == slow);
    }
}

TEST(SharpenSoftenTest, SharpenWorkedValues) {
    // Around, centre, 5 * centre - 4 * around clamped: flat, brighter, clamped both ways.
    for (auto [around, centre, e] : {std::array{50, 50, 50},
                                     {50, 60, 100},
                                     {50, 100, 255},
                                     {50, 10, 0},
                                     {255, 255, 255},
                                     {0, 0, 0}}) {
        TBitmap32 picture(5, 5, makePixel(around, around, around, 77));
        picture.setPixel(2, 2, makePixel(centre, centre, centre, 9));
        sharpen(picture);
        EXPECT_EQ(picture.pixel(2, 2), makePixel(e, e, e, 9)) << around << " " << centre;
    }
    // Channels are not mixed: only red differs from its neighbours.
    TBitmap32 picture(3, 3, makePixel(40, 40, 40));
    picture.setPixel(1, 1, makePixel(41, 40, 40));
    sharpen(picture);
    EXPECT_EQ(picture.pixel(1, 1), makePixel(45, 40, 40));
}

TEST(BrumeTest, GeneratorFirstValuesFromZero) {
    // state := state * 134775813 + 1 (mod 2^32); Random(6) = (state * 6) >> 32.
    ProgramRandom random;
    for (auto [state, value] : {std::pair{1u, 0},
                                {134775814u, 0},
                                {3698175007u, 5},
                                {870078620u, 1},
                                {1172187917u, 1},
                                {2884733762u, 4},
                                {1368768587u, 1},
                                {694906232u, 0}}) {
        EXPECT_EQ(random.Random(6), value);
        EXPECT_EQ(random.seed(), state);
    }
}

TEST(BrumeTest, GeneratorRangesAndJumps) {
    // The draw from state 0x7fffffff gives state (0x7fffffff * 134775813 + 1) mod 2^32 =
    // 0x77f77bfc, whatever the range.
    for (auto [range, expected] : {std::pair{6, 2}, {1, 0}, {0, 0}, {-4, 0}, {1000, 468}}) {
        ProgramRandom random(0x7fffffffu);
        EXPECT_EQ(random.Random(range), expected) << range;
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
    for (auto [w, h, seed] : {std::array{1u, 1u, 0u},
                              {2u, 3u, 0u},
                              {3u, 3u, 5u},
                              {5u, 3u, 0u},
                              {7u, 9u, 99u},
                              {1u, 6u, 3u},
                              {6u, 1u, 3u},
                              {64u, 33u, 0u},
                              {400u, 210u, 0u},
                              {401u, 233u, 0xdeadbeefu}}) {
        const TBitmap32 picture = literal::photoLikePicture(int(w), int(h), 41);
        ProgramRandom random(seed);
        std::uint32_t literalSeed = seed;
        EXPECT_TRUE(brume(picture, random) == literal::brume(picture, &literalSeed))
            << w << "x" << h;
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

} // namespace
} // namespace quill
