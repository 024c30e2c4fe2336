#include "imaging/Bitmap32.h"
#include "imaging/Colour.h"
#include "imaging/RowBlend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

// The general blend rule written out exactly as the arithmetic reads, for comparison.
std::uint32_t literalBlend(std::uint32_t d, std::uint32_t s) {
    int sa = pixelAlpha(s), da = pixelAlpha(d);
    if (da == 0 && sa == 0)
        return makePixel(255, 255, 255, 0);
    if (sa == 0)
        return d;
    if (da == 0 || sa == 255)
        return s;
    int a = 255 * sa + 255 * da - sa * da;
    auto mix = [&](int dv, int sv) { return (da * (255 - sa) * dv + 255 * sa * sv) / a; };
    return makePixel(mix(pixelRed(d), pixelRed(s)), mix(pixelGreen(d), pixelGreen(s)),
                     mix(pixelBlue(d), pixelBlue(s)), a / 255);
}

TEST(BlendPixel, TheFourCases) {
    struct Case {
        const char* what;
        std::uint32_t dest, source, expected;
    } cases[] = {
        {"both transparent: white with alpha 0", makePixel(10, 20, 30, 0), makePixel(40, 50, 60, 0),
         makePixel(255, 255, 255, 0)},
        {"transparent source keeps dest", makePixel(10, 20, 30, 77), makePixel(40, 50, 60, 0),
         makePixel(10, 20, 30, 77)},
        {"transparent dest takes source", makePixel(10, 20, 30, 0), makePixel(40, 50, 60, 99),
         makePixel(40, 50, 60, 99)},
        {"opaque source replaces", makePixel(10, 20, 30, 128), makePixel(40, 50, 60, 255),
         makePixel(40, 50, 60, 255)},
        // Blue and green (127*255) div 255 = 127.
        {"alpha 128 red over white", makePixel(255, 255, 255, 255), makePixel(255, 0, 0, 128),
         makePixel(255, 127, 127, 255)},
        // A = 255*100 + 255*50 - 5000 = 33250; colour (50*155*200 + 255*100*0) div 33250 = 46
        {"both partial", makePixel(200, 200, 200, 50), makePixel(0, 0, 0, 100),
         makePixel(46, 46, 46, 130)},
        // Sa 50 over Da 100: (100*205*200 + 255*50*10) div 33250 = 127; alpha 33250 div 255 = 130.
        {"both partial, source lighter", makePixel(200, 200, 200, 100), makePixel(10, 10, 10, 50),
         makePixel(127, 127, 127, 130)},
        // Over opaque: (254*0 + 1*255) div 255 = 1 and (1*255 + 254*0) div 255 = 1.
        {"alpha 1 over black", makePixel(0, 0, 0, 255), makePixel(255, 255, 255, 1),
         makePixel(1, 1, 1, 255)},
        {"alpha 254 of black over white", makePixel(255, 255, 255, 255), makePixel(0, 0, 0, 254),
         makePixel(1, 1, 1, 255)}};
    for (const Case& c : cases) {
        std::uint32_t d = c.dest;
        TBitmap32::BlendPixel(&d, c.source);
        EXPECT_EQ(d, c.expected) << c.what;
        EXPECT_EQ(literalBlend(c.dest, c.source), c.expected) << c.what;
        TBitmap32 dest(1, 1, c.dest);
        TBitmap32(1, 1, c.source).DrawOnto(0, 0, dest);
        EXPECT_EQ(dest.pixel(0, 0), c.expected) << c.what << " (DrawOnto)";
    }
}

// The row blends over an opaque destination (DrawOnto's and the composition's fast path)
// must give the general rule's bytes for every source alpha and every pair of channel
// values; BlendPixel too.
TEST(BlendOverOpaque, RowBlendsAndDrawOntoEqualTheGeneralRuleOnEveryInput) {
    using RowBlend = void (*)(std::uint32_t*, const std::uint32_t*, int);
    const struct {
        const char* name;
        RowBlend blend;
    } kernels[] = {{"dispatched", blendRowOverOpaque},
                   {"baseline", blendRowOverOpaqueBaseline},
                   {"DrawOnto", [](std::uint32_t* dest, const std::uint32_t* source, int n) {
                        TBitmap32 d(n, 1), s(n, 1);
                        std::copy(dest, dest + n, d.row32(0));
                        std::copy(source, source + n, s.row32(0));
                        s.DrawOnto(0, 0, d);
                        std::copy(d.row32(0), d.row32(0) + n, dest);
                    }}};
    std::vector<std::uint32_t> dest(256), source(256), expected(256);
    for (int sa = 0; sa < 256; ++sa)
        for (int d = 0; d < 256; ++d) {
            for (std::size_t s = 0; s < 256; ++s) {
                source[s] = makePixel(int(s), d, 255 - int(s), sa);
                expected[s] = literalBlend(makePixel(d, 255 - d, d ^ 0x5a, 255), source[s]);
                std::uint32_t blended = makePixel(d, 255 - d, d ^ 0x5a, 255);
                TBitmap32::BlendPixel(&blended, source[s]);
                ASSERT_EQ(blended, expected[s])
                    << "BlendPixel: source alpha " << sa << " dest value " << d;
            }
            for (const auto& kernel : kernels) {
                std::fill(dest.begin(), dest.end(), makePixel(d, 255 - d, d ^ 0x5a, 255));
                // Two uneven calls, so both the vector steps and the one-pixel tail see
                // every input.
                kernel.blend(dest.data(), source.data(), 243);
                kernel.blend(dest.data() + 243, source.data() + 243, 13);
                ASSERT_EQ(dest, expected)
                    << kernel.name << ": source alpha " << sa << " dest value " << d;
            }
        }
}

// An opaque picture placed anywhere: DrawOnto writes exactly the part inside dest.
TEST(DrawOnto, PlacementAndClipping) {
    const TBitmap32 source =
        testpictures::randomPicture(3, 2, 4, testpictures::PictureAlpha::Opaque);
    for (auto [x, y] :
         {std::pair{1, 1}, {-2, -1}, {6, 0}, {-3, 0}, {0, 4}, {4, 2}, {5, 3}, {0, -2}}) {
        TBitmap32 dest(6, 4, makePixel(0, 0, 0)), expected = dest;
        for (int sy = 0; sy < 2; ++sy)
            for (int sx = 0; sx < 3; ++sx)
                if (x + sx >= 0 && x + sx < 6 && y + sy >= 0 && y + sy < 4)
                    expected.setPixel(x + sx, y + sy, source.pixel(sx, sy));
        source.DrawOnto(x, y, dest);
        EXPECT_EQ(dest, expected) << x << "," << y;
    }
}

// Sizes Trunc(side x factor), and column k from source column floor(k x old / new).
TEST(ZoomInandOut, NewSizesAndNearestNeighbourMapping) {
    const struct {
        int w, h;
        long double wf, hf;
        int newW, newH;
    } cases[] = {
        {5, 3, 0.5L, 0.5L, 2, 1},
        {7, 7, 59.0L / 7.0L, 1.0L, 58, 7}, // 7 * (59/7) is a hair under 59 in extended precision
        {4, 4, 1.0L, 1.0L, 4, 4},
        {10, 10, 0.1L, 0.1L, 1, 1},
        {9, 9, 0.1L, 0.1L, 0, 0},
        {3, 2, 2.0L, 3.0L, 6, 6},
        {10, 4, 2.0L, 0.25L, 20, 1},
        {3, 3, 0.2L, 1.0L, 0, 0} // no column left: an empty picture
    };
    for (const auto& c : cases) {
        TBitmap32 p(c.w, c.h, makePixel(1, 2, 3, 4));
        ZoomInandOut(p, c.wf, c.hf);
        EXPECT_EQ(std::pair(p.width(), p.height()), std::pair(c.newW, c.newH)) << c.w << "x" << c.h;
    }
    TBitmap32 p(7, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            p.setPixel(x, y, makePixel(x, y, 0, 200));
    TBitmap32 shrunk = p, grown = p;
    ZoomInandOut(shrunk, 0.5L, 0.5L); // 3 x 1: columns floor(k * 7 / 3) = 0, 2, 4 of row 0
    EXPECT_EQ(test_bytes::pixelsOf(shrunk),
              (test_bytes::Pixels{p.pixel(0, 0), p.pixel(2, 0), p.pixel(4, 0)}));
    ZoomInandOut(grown, 59.0L / 7.0L, 2.0L); // 58 x 6, all four bytes of each pixel kept
    ASSERT_EQ(grown.height(), 6);
    const std::pair<int, int> columns[] = {{0, 0},  {8, 0},  {9, 1},  {16, 1},
                                           {17, 2}, {49, 5}, {50, 6}, {57, 6}};
    for (const auto& [column, source] : columns)
        for (int y = 0; y < 6; ++y)
            EXPECT_EQ(grown.pixel(column, y), p.pixel(source, y / 2)) << "column " << column;
}

TEST(ZoomInandOut, RefusesPicturesPastTheLimit) {
    TBitmap32 p(100, 100);
    EXPECT_THROW(ZoomInandOut(p, 1000.0L, 1.0L), std::length_error);
    EXPECT_EQ(p.width(), 100); // unchanged on refusal
}

TEST(SetAlpha, ChangesOnlyAlpha) {
    TBitmap32 p(3, 2, makePixel(1, 2, 3, 4)), empty;
    SetAlpha(p, 255);
    EXPECT_TRUE(p == TBitmap32(3, 2, makePixel(1, 2, 3, 255)));
    SetAlpha(empty, 9); // nothing to do, nothing to crash
    EXPECT_TRUE(empty.empty());
}

TEST(TBitmap32, CutoutColorBytes) {
    const TBitmap32 p(1, 1, CutoutColor);
    const std::uint8_t* px = p.row(0);
    EXPECT_EQ(std::vector<int>({px[kBlue], px[kGreen], px[kRed], px[kAlpha]}),
              std::vector<int>({216, 233, 236, 0}));
}

TEST(Grey, WorkedValues) {
    // r, g, b, pencil grey, ink grey (the ink weights add up to 0.996).
    for (auto [r, g, b, pencil, ink] : {std::array{255, 255, 255, 255, 254},
                                        {0, 0, 0, 0, 0},
                                        {100, 100, 100, 100, 100},
                                        {128, 128, 128, 128, 127},
                                        {200, 200, 200, 200, 199},
                                        {255, 0, 0, 76, 76},
                                        {0, 255, 0, 150, 150},
                                        {0, 0, 255, 28, 28}})
        EXPECT_EQ(std::pair(greyPencil(r, g, b), greyInkLiteral(r, g, b)), std::pair(pencil, ink))
            << r << "," << g << "," << b;
}

TEST(Hsl, WorkedValues) {
    const std::array<int, 6> toRgb[] = {
        {0, 100, 50, 255, 0, 0},    {60, 100, 50, 255, 255, 0},  {120, 100, 50, 0, 255, 0},
        {30, 50, 50, 192, 128, 64}, {200, 0, 75, 192, 192, 192}, {360, 100, 50, 255, 0, 0},
        {361, 100, 50, 0, 0, 0},    {0, 101, 50, 0, 0, 0},       {0, 0, 50, 128, 128, 128}};
    for (const auto& [h, s, l, r, g, b] : toRgb) {
        const RGB8 out = HSLtoRGB360(h, s, l);
        EXPECT_EQ((std::vector<int>{out.r, out.g, out.b}), (std::vector<int>{r, g, b}))
            << h << "," << s << "," << l;
    }
    // A red with more blue than green has hue 360; a grey has none.
    const std::array<int, 6> toHsl[] = {{255, 0, 1, 360, 100, 50}, {178, 178, 178, 0, 0, 70}};
    for (const auto& [r, g, b, h, s, l] : toHsl) {
        const HSL360 out = RGBtoHSL360(r, g, b);
        EXPECT_EQ((std::vector<int>{out.h, out.s, out.l}), (std::vector<int>{h, s, l}));
    }
}

} // namespace
} // namespace quill
