#include "decor/BackgroundEffects.h"
#include "tests/RandomPictures.h"

#include "imaging/Colour.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <tuple>

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

} // namespace
} // namespace quill
