#include "effects/ColorFilters.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
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

// Every loop edge of a 3 x 3 pass, odd and even sides, squares, thin strips, sides whose
// ratio is not a short binary fraction (10 / 3, 7 / 9), and one picture large enough for
// parallel bands.
const Size kSizes[] = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {2, 3}, {3, 2},  {3, 3},   {5, 3},    {7, 9},
                       {4, 4}, {6, 3}, {3, 6}, {1, 7}, {7, 1}, {10, 3}, {64, 33}, {641, 479}};

TBitmap32 inPlace(void (*filter)(TBitmap32&), TBitmap32 picture) {
    filter(picture);
    return picture;
}

} // namespace

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
         }},
    };
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
        {"panels", colorPanels, {"GGGG", "GRGY", "GGGG", "GBGM"}},
    };
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
    // Panels one pixel high or wide: the panel loops do nothing.
    for (Size size : {Size{8, 3}, Size{3, 8}, Size{1, 1}, Size{8, 1}, Size{3, 3}, Size{2, 9}}) {
        const TBitmap32 thin = literal::photoLikePicture(size.width, size.height, 8);
        EXPECT_TRUE(colorPanels(thin) == thin) << name(size);
    }
}
