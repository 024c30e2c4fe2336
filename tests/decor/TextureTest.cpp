#include "decor/Texture.h"
#include "tests/RandomPictures.h"

#include "imaging/Colour.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace quill {
namespace {

using testpictures::kOddSizes;
using testpictures::photoLikePicture;
using testpictures::randomPicture;

// The texture exactly as written: both conversions per pixel, the tile read at
// (x mod 58, y mod 58).
void applyTexturePlain(const TBitmap32& tile, const TBitmap32& source, TBitmap32& target) {
    TBitmap32 b = source;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            std::uint32_t p = b.pixel(x, y), t = tile.pixel(x % 58, y % 58);
            HSL360 c = RGBtoHSL360(pixelRed(p), pixelGreen(p), pixelBlue(p));
            HSL360 ct = RGBtoHSL360(pixelRed(t), pixelGreen(t), pixelBlue(t));
            int l = std::clamp(c.l + ct.l - 70, 0, 100);
            RGB8 o = HSLtoRGB360(c.h, c.s, l);
            b.setPixel(x, y, makePixel(o.r, o.g, o.b, 255));
        }
    target = b;
}

TEST(TextureColour, FastRgbToHslEqualsFormulaOnEveryColour) {
    int mismatches = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                HSL360 f = RGBtoHSL360Fast(r, g, b), e = RGBtoHSL360(r, g, b);
                if ((f.h != e.h || f.s != e.s || f.l != e.l) && mismatches++ < 5)
                    ADD_FAILURE() << r << "," << g << "," << b << ": " << f.h << " " << f.s << " "
                                  << f.l << " vs " << e.h << " " << e.s << " " << e.l;
            }
    EXPECT_EQ(mismatches, 0);
}

// Every colour through the whole pass under a neutral tile (lightness 70: no shift),
// against the two conversions proven equal to the formulas above.
TEST(TextureColour, PassConvertsEveryColourAsTheFormulas) {
    TBitmap32 pic = TBitmap32::uninitialized(4096, 4096);
    for (std::uint32_t i = 0; i < (1u << 24); ++i)
        pic.bits()[i] = i | 0x21000000u;
    const TBitmap32 neutral(58, 58, makePixel(178, 178, 178));
    ASSERT_EQ(RGBtoHSL360(178, 178, 178).l, 70);
    ApplyTexture(neutral, pic, pic);
    int mismatches = 0;
    for (std::uint32_t i = 0; i < (1u << 24); ++i) {
        const HSL360 c = RGBtoHSL360Fast(pixelRed(i), pixelGreen(i), pixelBlue(i));
        if (pic.bits()[i] != HSLtoPixelFast(c.h, c.s, c.l) && mismatches++ < 5)
            ADD_FAILURE() << "colour " << std::hex << i;
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(TextureColour, TableHslToRgbEqualsFormulaOnEveryInput) {
    for (int h = 0; h <= 360; ++h)
        for (int s = 0; s <= 100; ++s)
            for (int l = 0; l <= 100; ++l) {
                RGB8 e = HSLtoRGB360(h, s, l);
                ASSERT_EQ(HSLtoPixelFast(h, s, l), makePixel(e.r, e.g, e.b, 255))
                    << h << " " << s << " " << l;
            }
    EXPECT_EQ(HSLtoPixelFast(361, 0, 0), makePixel(0, 0, 0, 255));
    EXPECT_EQ(HSLtoPixelFast(0, 101, 50), makePixel(0, 0, 0, 255));
}

TEST(Texture, WorkedValuesUnderFlatTiles) {
    struct Case {
        int tileGrey;
        std::tuple<int, int, int> in, out;
    } cases[] = {{178, {200, 100, 50}, {200, 100, 50}},   {178, {10, 20, 30}, {10, 20, 31}},
                 {255, {128, 128, 128}, {204, 204, 204}}, {255, {255, 0, 0}, {255, 153, 153}},
                 {255, {0, 0, 255}, {153, 153, 255}},     {0, {178, 178, 178}, {0, 0, 0}},
                 {0, {30, 90, 150}, {0, 0, 0}},           {180, {255, 0, 1}, {255, 5, 5}},
                 {180, {255, 0, 0}, {255, 5, 5}}};
    for (const auto& c : cases) {
        auto [r, g, b] = c.in;
        auto [er, eg, eb] = c.out;
        const TBitmap32 source(3, 2, makePixel(r, g, b, 40));
        TBitmap32 target;
        ApplyTexture(TBitmap32(58, 58, makePixel(c.tileGrey, c.tileGrey, c.tileGrey)), source,
                     target);
        EXPECT_TRUE(target == TBitmap32(3, 2, makePixel(er, eg, eb, 255)))
            << "tile " << c.tileGrey << " over " << r << "," << g << "," << b;
    }
}

// The result goes into the target's own memory when it has the size already, into new
// memory otherwise; the source or the tile itself may be the target. A tile larger than
// 58 x 58 is read in its top-left 58 x 58 only.
TEST(Texture, FastEqualsPlainWhateverTheTarget) {
    const TBitmap32 tiles[] = {randomPicture(58, 58, 31), randomPicture(70, 61, 32), textureTile(3),
                               textureTile(12)};
    const TBitmap32 photo = photoLikePicture(250, 131, 6), small = photoLikePicture(58, 58, 2);
    unsigned seed = 40;
    for (const auto& tile : tiles) {
        for (auto [w, h] : kOddSizes) {
            TBitmap32 source = randomPicture(w, h, seed++), fast, plain;
            ApplyTexture(tile, source, fast);
            applyTexturePlain(tile, source, plain);
            ASSERT_TRUE(fast == plain) << w << "x" << h;
        }
        TBitmap32 plain, inPlace = photo, self = tile, selfPlain, intoTile = tile, smallPlain;
        applyTexturePlain(tile, photo, plain);
        for (auto [w, h] : {std::pair{250, 131}, std::pair{131, 250}, std::pair{1, 1},
                            std::pair{300, 200}, std::pair{0, 0}}) {
            TBitmap32 target = randomPicture(w, h, 5);
            ApplyTexture(tile, photo, target);
            EXPECT_TRUE(target == plain) << w << "x" << h;
        }
        ApplyTexture(tile, inPlace, inPlace);
        EXPECT_TRUE(inPlace == plain);
        applyTexturePlain(tile, tile, selfPlain);
        ApplyTexture(self, self, self);
        EXPECT_TRUE(self == selfPlain);
        applyTexturePlain(tile, small, smallPlain);
        ApplyTexture(intoTile, small, intoTile);
        EXPECT_TRUE(intoTile == smallPlain);
    }
}

TEST(Texture, UsableTilesAndTheProgramsOwn) {
    for (auto [w, h, usable] : {std::tuple{58, 58, true},
                                {100, 58, true},
                                {57, 58, false},
                                {58, 57, false},
                                {0, 0, false}})
        EXPECT_EQ(tileUsable(TBitmap32(w, h)), usable) << w << "x" << h;
    // A relief around the neutral lightness 70, not a wash of light or dark; no two alike.
    std::set<std::vector<std::uint32_t>> distinct;
    for (int k = 1; k <= 12; ++k) {
        const TBitmap32& tile = textureTile(k);
        ASSERT_TRUE(tile.width() == 58 && tile.height() == 58) << k;
        long lightness = 0;
        for (std::uint32_t p : std::vector<std::uint32_t>(tile.bits(), tile.bits() + 58 * 58)) {
            ASSERT_EQ(pixelAlpha(p), 255) << k;
            lightness += RGBtoHSL360(pixelRed(p), pixelGreen(p), pixelBlue(p)).l;
        }
        EXPECT_NEAR(double(lightness) / (58 * 58), 70, 12) << "tile " << k;
        distinct.insert(std::vector<std::uint32_t>(tile.bits(), tile.bits() + 58 * 58));
    }
    EXPECT_EQ(distinct.size(), 12u);
    for (auto [k, name] : {std::pair{1, "canvas weave"}, {3, "brick"}, {12, "ripples"}, {13, ""}})
        EXPECT_EQ(textureTileName(k), name);
    EXPECT_TRUE(textureTile(0).empty() && textureTile(13).empty());
}

TEST(Texture, UnusableTileOrEmptySourceLeavesTheSource) {
    TBitmap32 source = photoLikePicture(20, 10, 1), target(3, 3);
    ApplyTexture(TBitmap32(57, 57), source, target);
    EXPECT_TRUE(target == source);
    TBitmap32 empty, out(2, 2);
    ApplyTexture(textureTile(1), empty, out);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace quill
