#include "decor/BackgroundEffects.h"
#include "decor/Texture.h"
#include "imaging/Colour.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

#include "tests/RandomPictures.h"

namespace quill {
namespace {

using testpictures::kOddSizes;
using testpictures::photoLikePicture;
using testpictures::randomPicture;

// ---- plain twins: the arithmetic exactly as written, one pixel at a time ----

void embossPlain(TBitmap32& pic) {
    for (int y = 0; y <= pic.height() - 2; ++y)
        for (int x = 0; x <= pic.width() - 2; ++x)
            for (int c : {kBlue, kGreen, kRed}) {
                int v = std::abs(int(pic.row(y)[4 * x + c]) - int(pic.row(y + 1)[4 * (x + 1) + c]) +
                                 128);
                pic.row(y)[4 * x + c] = std::uint8_t(std::min(v, 255));
            }
}

void scorchPlain(TBitmap32& pic) {
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            for (int c : {kBlue, kGreen, kRed}) {
                int p = pic.row(y)[4 * x + c];
                std::int16_t s = std::int16_t(p * p); // wraps for p >= 182
                int t = (y * x) % 255;
                long double v = std::nearbyintl(std::sqrt((long double)std::abs(s - t)));
                pic.row(y)[4 * x + c] = std::uint8_t(std::clamp<long double>(v, 0, 255));
            }
}

// Columns (vertical) or rows (horizontal) by position mod 3: kept, darkened, doubled.
template <bool byColumn> void striaPlain(TBitmap32& pic) {
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            for (int c : {kBlue, kGreen, kRed}) {
                int p = pic.row(y)[4 * x + c];
                const int k = (byColumn ? x : y) % 3;
                if (k == 1)
                    p = byColumn ? p >> 1 : p / 3;
                else if (k == 2)
                    p = std::min(255, 2 * p);
                pic.row(y)[4 * x + c] = std::uint8_t(p);
            }
            pic.row(y)[4 * x + kAlpha] = 255;
        }
}

void grayPlain(TBitmap32& pic) {
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            std::uint8_t* p = pic.row(y) + 4 * x;
            int v = int(std::nearbyintl(0.299L * p[kRed] + 0.587L * p[kGreen] + 0.11L * p[kBlue]));
            p[kRed] = p[kGreen] = p[kBlue] = std::uint8_t(v);
        }
}

struct PassPair {
    const char* name;
    void (*fast)(TBitmap32&);
    void (*plain)(TBitmap32&);
};

const PassPair kPasses[] = {{"emboss", &emboss, &embossPlain},
                            {"scorch", &scorch, &scorchPlain},
                            {"vertical-stria", &verticalStria, &striaPlain<true>},
                            {"horizontal-stria", &horizontalStria, &striaPlain<false>},
                            {"gray", &grayBackground, &grayPlain}};

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

TEST(BackgroundEffects, FastPassesEqualPlainPassesOnOddSizesAndPhotos) {
    for (const auto& pass : kPasses) {
        unsigned seed = 1;
        for (auto [w, h] : kOddSizes) {
            TBitmap32 a = randomPicture(w, h, seed++), b = a;
            pass.fast(a);
            pass.plain(b);
            EXPECT_TRUE(a == b) << pass.name << " " << w << "x" << h;
        }
        // Large enough to run in parallel bands; a height that does not split evenly.
        TBitmap32 a = photoLikePicture(613, 457, 7), b = a, empty;
        pass.fast(a);
        pass.plain(b);
        EXPECT_TRUE(a == b) << pass.name << " photo";
        pass.fast(empty);
        EXPECT_TRUE(empty.empty()) << pass.name;
    }
}

TEST(BackgroundEffects, EmbossWorkedValues) {
    // 2 x 2: pixel (0,0) against (1,1); the others are the last row/column, kept.
    for (auto [p, below, e] : {std::tuple{0, 255, 127},
                               {255, 0, 255},
                               {10, 200, 62},
                               {128, 128, 128},
                               {77, 77, 128},
                               {0, 0, 128},
                               {255, 255, 128},
                               {0, 128, 0},
                               {200, 73, 255}}) {
        TBitmap32 pic(2, 2, makePixel(9, 9, 9, 17));
        pic.setPixel(0, 0, makePixel(p, p, p, 42));
        pic.setPixel(1, 1, makePixel(below, below, below, 200));
        TBitmap32 expected = pic;
        expected.setPixel(0, 0, makePixel(e, e, e, 42));
        emboss(pic);
        EXPECT_TRUE(pic == expected) << p << " over " << below;
    }
}

TEST(BackgroundEffects, ScorchWorkedValues) {
    // t = x * y mod 255: 100 at (10, 10), 254 at (127, 2), 0 at (255, 1) and in column 0.
    for (auto [x, y, p, e] : {std::array{0, 0, 0, 0},
                              {0, 0, 100, 100},
                              {0, 0, 181, 181},
                              {0, 0, 182, 180},
                              {0, 0, 200, 160},
                              {0, 0, 255, 23},
                              {10, 10, 100, 99},
                              {127, 2, 255, 28},
                              {255, 1, 255, 23},
                              {0, 7, 0, 0},
                              {1, 1, 0, 1}}) {
        TBitmap32 pic(x + 1, y + 1, makePixel(0, 0, 0, 77));
        pic.setPixel(x, y, makePixel(p, p, p, 77));
        scorch(pic);
        EXPECT_EQ(pic.pixel(x, y), makePixel(e, e, e, 77)) << "p " << p << " at " << x << "," << y;
    }
}

TEST(BackgroundEffects, ScorchEqualsFormulaForEveryValueAndPosition) {
    // Row 1 has t = x for x = 0 .. 254; 260 columns put each t under every part of the
    // four-pixel groups and the single-pixel tail. Each channel carries its own p.
    for (int base = 0; base < 256; base += 3) {
        TBitmap32 pic(260, 2);
        for (int x = 0; x < 260; ++x)
            pic.setPixel(x, 1, makePixel(base, (base + 1) % 256, (base + 2) % 256, x % 256));
        TBitmap32 expected = pic;
        scorchPlain(expected);
        scorch(pic);
        ASSERT_TRUE(pic == expected) << "values from " << base;
    }
}

TEST(BackgroundEffects, StriaWorkedValues) {
    struct Case {
        void (*pass)(TBitmap32&);
        bool byColumn;
        int value;
        int expected[3]; // by position mod 3
    } cases[] = {{&verticalStria, true, 100, {100, 50, 200}},
                 {&verticalStria, true, 200, {200, 100, 255}},
                 {&verticalStria, true, 255, {255, 127, 255}},
                 {&horizontalStria, false, 100, {100, 33, 200}},
                 {&horizontalStria, false, 200, {200, 66, 255}},
                 {&horizontalStria, false, 1, {1, 0, 2}}};
    for (const auto& c : cases) {
        TBitmap32 pic(7, 7, makePixel(c.value, c.value, c.value, 3));
        c.pass(pic);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x) {
                int e = c.expected[(c.byColumn ? x : y) % 3];
                ASSERT_EQ(pic.pixel(x, y), makePixel(e, e, e, 255))
                    << c.value << " at " << x << "," << y;
            }
    }
}

// The pass, with its own division and tie handling, meets the extended-precision formula
// on every colour.
TEST(BackgroundEffects, GrayEqualsTheFormulaOnEveryColour) {
    // 4096 x 4096 holds every colour once.
    TBitmap32 pic = TBitmap32::uninitialized(4096, 4096);
    for (std::uint32_t i = 0; i < (1u << 24); ++i)
        pic.bits()[i] = i | 0x5a000000u;
    grayBackground(pic);
    int mismatches = 0;
    for (std::uint32_t i = 0; i < (1u << 24); ++i) {
        const int v = greyInkLiteral(pixelRed(i), pixelGreen(i), pixelBlue(i));
        if (pic.bits()[i] != makePixel(v, v, v, 0x5a) && mismatches++ < 5)
            ADD_FAILURE() << "colour " << std::hex << i;
    }
    EXPECT_EQ(mismatches, 0);
}

// Rows longer than the grey pass's 1024-pixel chunks, ending inside a chunk, with every
// byte random (alpha included) and the colours whose grey is an exact half planted
// across the chunk edges.
TEST(BackgroundEffects, GrayEqualsPlainAcrossChunkEdges) {
    const std::pair<int, int> sizes[] = {{1025, 3}, {2049, 4}, {1023, 2}, {3000, 1}};
    unsigned seed = 90;
    for (auto [w, h] : sizes) {
        TBitmap32 a = testpictures::randomPicture(w, h, seed++);
        int planted = 0;
        for (int r = 0; r < 256 && planted < 64; ++r)
            for (int g = 0; g < 256 && planted < 64; g += 37)
                for (int b = 0; b < 256; ++b)
                    if ((299 * r + 587 * g + 110 * b) % 1000 == 500) {
                        const int x = (1020 + 3 * planted) % w, y = planted % h;
                        a.setPixel(x, y, makePixel(r, g, b, 0x33));
                        // and in the last pixel of a row, past the last group of four
                        a.setPixel(w - 1, (y + 1) % h, makePixel(r, g, b, 0x44));
                        ++planted;
                        break;
                    }
        ASSERT_EQ(planted, 64);
        TBitmap32 b = a;
        grayBackground(a);
        grayPlain(b);
        EXPECT_TRUE(a == b) << w << "x" << h;
    }
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
