#include "effects/ColorFilters.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "LiteralColorEffects.h"
#include "effects/Brume.h"
#include "effects/Fringe.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"
#include "imaging/PictureFile.h"

using namespace quill;

namespace {

using literal::name;
using literal::Size;

// Odd and even sides, squares, thin strips, sides whose ratio is not a short binary
// fraction (10 / 3, 7 / 9), and one picture large enough for parallel bands.
const std::vector<Size> kSizes = {{1, 1}, {2, 3}, {3, 3},  {5, 3}, {7, 9}, {64, 33}, {4, 4},
                                  {6, 3}, {3, 6}, {10, 3}, {1, 7}, {7, 1}, {2, 2},   {641, 479}};

const std::uint32_t kGrey = makePixel(100, 110, 120, 77);
const std::uint32_t kRedGrey = makePixel(255, 110, 120, 77);
const std::uint32_t kYellowGrey = makePixel(100, 255, 0, 77);
const std::uint32_t kBlueGrey = makePixel(0, 110, 255, 77);
const std::uint32_t kMagentaGrey = makePixel(255, 110, 255, 77);

} // namespace

TEST(ColorEffectsTest, FastFiltersEqualTheLiteralOnesToTheByte) {
    struct Effect {
        const char* name;
        std::function<TBitmap32(const TBitmap32&)> fast, slow;
    };
    const std::vector<Effect> effects = {
        {"color panels", colorPanels, literal::colorPanels},
        {"color blocks v&h", colorBlocksVH, literal::colorBlocksVH},
        {"color blocks catercorner", colorBlocksCatercorner, literal::colorBlocksCatercorner},
    };
    for (const Effect& e : effects)
        for (const Size& size : kSizes) {
            SCOPED_TRACE(std::string(e.name) + " " + name(size));
            const TBitmap32 picture = literal::photoLikePicture(size.width, size.height, 31);
            EXPECT_TRUE(e.fast(picture) == e.slow(picture));
        }
}

TEST(ColorEffectsTest, ColorBlocksVHOnFourByFour) {
    const TBitmap32 result = colorBlocksVH(TBitmap32(4, 4, kGrey));
    const std::uint32_t G = kGrey, R = kRedGrey, Y = kYellowGrey, B = kBlueGrey, M = kMagentaGrey;
    // (x, y): x < 2 and y < 2 red, x < 2 and y >= 2 yellow, x >= 2 and y < 2 blue, else
    // magenta; row 0 and column 0 unfiltered.
    const std::uint32_t expected[4][4] = {
        {G, G, G, G},
        {G, R, B, B},
        {G, Y, M, M},
        {G, Y, M, M},
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(result.pixel(x, y), expected[y][x]) << x << "," << y;
}

TEST(ColorEffectsTest, ColorBlocksCatercornerTriangles) {
    const TBitmap32 result = colorBlocksCatercorner(TBitmap32(5, 5, kGrey));
    const std::uint32_t G = kGrey, R = kRedGrey, Y = kYellowGrey, B = kBlueGrey, M = kMagentaGrey;
    // d1 = y, d2 = 5 - y. On the main diagonal x = d1: left or bottom, never top or right.
    const std::uint32_t expected[5][5] = {
        {G, G, G, G, G}, {G, B, R, R, Y}, {G, B, B, Y, Y}, {G, B, M, M, Y}, {G, M, M, M, M},
    };
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(result.pixel(x, y), expected[y][x]) << x << "," << y;

    // A picture twice as wide as high: d1 = 2y lands on whole columns.
    const TBitmap32 wide = colorBlocksCatercorner(TBitmap32(6, 3, kGrey));
    EXPECT_EQ(wide.pixel(2, 1), B); // x = d1 = 2, x < d2 = 4
    EXPECT_EQ(wide.pixel(3, 1), R); // d1 < 3 < d2
    EXPECT_EQ(wide.pixel(4, 1), Y); // x = d2 = 4, x > d1
    EXPECT_EQ(wide.pixel(4, 2), M); // x = d1 = 4, x >= d2 = 2
}

TEST(ColorEffectsTest, ColorPanelsWorkedValues) {
    // 4x4 with unique pixels: the panels are 2x2 and only their pixel (1, 1) is written,
    // from the resampled pixel (1, 1) = original (2, 2).
    TBitmap32 picture(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            picture.setPixel(x, y, makePixel(10 * x + 1, 10 * y + 2, 50 + x + y, 200 + x + 4 * y));
    const TBitmap32 result = colorPanels(picture);
    const std::uint32_t source = picture.pixel(2, 2);
    struct Case {
        int x, y;
        ColorFilter filter;
    };
    const std::vector<Case> panels = {
        {1, 1, kRedFilter}, {3, 1, kYellowFilter}, {1, 3, kBlueFilter}, {3, 3, kMagentaFilter}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            std::uint32_t want = picture.pixel(x, y);
            for (const Case& c : panels)
                if (c.x == x && c.y == y)
                    want = (c.filter(source) & 0xffffffu) | (picture.pixel(x, y) & 0xff000000u);
            EXPECT_EQ(result.pixel(x, y), want) << x << "," << y;
        }
}

TEST(ColorEffectsTest, ColorPanelsLeaveThinPicturesUnchanged) {
    // Panels one pixel high or wide: the panel loops do nothing.
    for (Size size : {Size{8, 3}, Size{3, 8}, Size{1, 1}, Size{8, 1}, Size{3, 3}, Size{2, 9}}) {
        SCOPED_TRACE(name(size));
        const TBitmap32 picture = literal::photoLikePicture(size.width, size.height, 8);
        EXPECT_TRUE(colorPanels(picture) == picture);
    }
}

TEST(ColorEffectsTest, PhotographGivesTheLiteralBytesInEveryColourEffect) {
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
    const Kernel3x3 kernel{3, -1, 0, 2, 1, -2, 0, -1, 1};
    struct Effect {
        const char* name;
        std::function<TBitmap32(const TBitmap32&)> fast, slow;
    };
    auto inPlace = [](void (*filter)(TBitmap32&)) {
        return [filter](const TBitmap32& p) {
            TBitmap32 q = p;
            filter(q);
            return q;
        };
    };
    const std::vector<Effect> effects = {
        {"realism", [&](const TBitmap32& p) { return realismArt(p, kernel); },
         [&](const TBitmap32& p) {
             TBitmap32 q = p;
             literal::Convolve(kernel, q, 1);
             return q;
         }},
        {"abstract", [](const TBitmap32& p) { return abstractArt(p, kAbstractDefault); },
         [](const TBitmap32& p) { return literal::abstractArt(p, kAbstractDefault); }},
        {"pop art", [](const TBitmap32& p) { return popArt(p, kPopArtDefault); },
         [](const TBitmap32& p) { return literal::popArt(p, kPopArtDefault); }},
        {"sharpen", inPlace(sharpen), inPlace(literal::sharpen)},
        {"soften", inPlace(soften), inPlace(literal::soften)},
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
         }},
    };
    for (const Effect& e : effects) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(e.fast(photo) == e.slow(photo));
    }
}
