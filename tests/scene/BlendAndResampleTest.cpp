// The pixel operations the scene is built from: the "over" blend, DrawOnto's placement
// and the nearest-neighbour resampler, checked with worked numbers.
#include "imaging/Bitmap32.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

struct BlendCase {
    const char* name;
    std::uint32_t dest;
    std::uint32_t source;
    std::uint32_t expected;
};

TEST(BlendPixel, FourCasesWithWorkedValues) {
    const BlendCase cases[] = {
        {"both transparent -> white, alpha 0", makePixel(10, 20, 30, 0), makePixel(40, 50, 60, 0),
         makePixel(255, 255, 255, 0)},
        {"transparent source leaves dest", makePixel(10, 20, 30, 100), makePixel(40, 50, 60, 0),
         makePixel(10, 20, 30, 100)},
        {"transparent dest takes source", makePixel(10, 20, 30, 0), makePixel(40, 50, 60, 77),
         makePixel(40, 50, 60, 77)},
        {"opaque source replaces", makePixel(10, 20, 30, 100), makePixel(40, 50, 60, 255),
         makePixel(40, 50, 60, 255)},
        // Red (255) at alpha 128 over white: blue and green (127*255) div 255 = 127.
        {"half red over opaque white", makePixel(255, 255, 255, 255), makePixel(255, 0, 0, 128),
         makePixel(255, 127, 127, 255)},
        // Sa 50 over Da 100: A = 12750 + 25500 - 5000 = 33250; colour
        // (100*205*200 + 255*50*10) div 33250 = 127; alpha 33250 div 255 = 130.
        {"general case", makePixel(200, 200, 200, 100), makePixel(10, 10, 10, 50),
         makePixel(127, 127, 127, 130)},
        // Over opaque: ((255-1)*0 + 1*255) div 255 = 1 and ((255-254)*255 + 0) div 255 = 1.
        {"alpha 1 over black", makePixel(0, 0, 0, 255), makePixel(255, 255, 255, 1),
         makePixel(1, 1, 1, 255)},
        {"alpha 254 of black over white", makePixel(255, 255, 255, 255), makePixel(0, 0, 0, 254),
         makePixel(1, 1, 1, 255)},
    };
    for (const auto& c : cases) {
        std::uint32_t d = c.dest;
        TBitmap32::BlendPixel(&d, c.source);
        EXPECT_EQ(d, c.expected) << c.name;
        // DrawOnto's fast path over an opaque destination must agree with BlendPixel.
        TBitmap32 dest(1, 1, c.dest), src(1, 1, c.source);
        src.DrawOnto(0, 0, dest);
        EXPECT_EQ(dest.pixel(0, 0), c.expected) << c.name << " (DrawOnto)";
    }
}

struct PlaceCase {
    int x, y;
    int changed; // pixels of the 4 x 4 destination that change
};

TEST(DrawOnto, PlacementAndClipping) {
    // A 3 x 3 opaque source whose pixel (c, r) has red 10*r + c + 1.
    TBitmap32 src(3, 3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            src.setPixel(c, r, makePixel(10 * r + c + 1, 0, 0, 255));
    const std::uint32_t bg = makePixel(0, 0, 200, 255);
    const PlaceCase cases[] = {
        {0, 0, 9},  {-1, -1, 4}, {-2, 0, 3}, {2, 2, 4}, {4, 0, 0},
        {-3, 0, 0}, {0, 4, 0},   {0, -3, 0}, {3, 3, 1},
    };
    for (const auto& c : cases) {
        TBitmap32 dest(4, 4, bg);
        src.DrawOnto(c.x, c.y, dest);
        int changed = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int sx = x - c.x, sy = y - c.y;
                const bool inside = sx >= 0 && sx < 3 && sy >= 0 && sy < 3;
                const std::uint32_t want = inside ? src.pixel(sx, sy) : bg;
                EXPECT_EQ(dest.pixel(x, y), want)
                    << "at " << c.x << "," << c.y << " pixel " << x << "," << y;
                changed += dest.pixel(x, y) != bg;
            }
        EXPECT_EQ(changed, c.changed) << "at " << c.x << "," << c.y;
    }
    // Source pixel (-x, -y) lands on (0, 0).
    TBitmap32 dest(4, 4, bg);
    src.DrawOnto(-1, -2, dest);
    EXPECT_EQ(dest.pixel(0, 0), src.pixel(1, 2));
}

struct ZoomCase {
    int w, h;
    long double wf, hf;
    int newW, newH;
};

TEST(ZoomInandOut, SizesTruncate) {
    const ZoomCase cases[] = {
        {5, 3, 0.5L, 0.5L, 2, 1},
        {7, 1, 59.0L / 7.0L, 1.0L, 58, 1}, // 7 * (59/7) comes out just under 59
        {10, 10, 1.0L, 1.0L, 10, 10},
        {10, 4, 2.0L, 0.25L, 20, 1},
        {3, 3, 0.2L, 1.0L, 0, 0}, // nothing left: an empty picture
    };
    for (const auto& c : cases) {
        TBitmap32 p(c.w, c.h, makePixel(1, 2, 3, 4));
        ZoomInandOut(p, c.wf, c.hf);
        EXPECT_EQ(p.width(), c.newW) << c.w << "x" << c.h;
        EXPECT_EQ(p.height(), c.newH) << c.w << "x" << c.h;
    }
}

TEST(ZoomInandOut, ColumnMappingIsFloorOfKTimesOldOverNew) {
    TBitmap32 p(7, 2);
    for (int x = 0; x < 7; ++x) {
        p.setPixel(x, 0, makePixel(x, 0, 0, 255));
        p.setPixel(x, 1, makePixel(x, 1, 0, 255));
    }
    ZoomInandOut(p, 59.0L / 7.0L, 1.5L); // 58 x 3
    ASSERT_EQ(p.width(), 58);
    ASSERT_EQ(p.height(), 3);
    const struct {
        int column, source;
    } columns[] = {{0, 0}, {8, 0}, {9, 1}, {16, 1}, {17, 2}, {49, 5}, {50, 6}, {57, 6}};
    for (const auto& c : columns)
        EXPECT_EQ(pixelRed(p.pixel(c.column, 0)), c.source) << "column " << c.column;
    // Rows: floor(k * 2 / 3) = 0, 0, 1.
    EXPECT_EQ(pixelGreen(p.pixel(3, 0)), 0);
    EXPECT_EQ(pixelGreen(p.pixel(3, 1)), 0);
    EXPECT_EQ(pixelGreen(p.pixel(3, 2)), 1);
}

} // namespace
} // namespace quill

#include "scene/Scene.h"

namespace quill {
namespace {

// The composition's row blend over an opaque scene must give BlendPixel's bytes for
// every source alpha and every pair of channel values.
TEST(BlendRowOverOpaque, EqualsBlendPixelOnEveryInput) {
    using RowBlend = void (*)(std::uint32_t*, const std::uint32_t*, int);
    const struct {
        const char* name;
        RowBlend blend;
    } kernels[] = {{"dispatched", blendRowOverOpaque}, {"baseline", blendRowOverOpaqueBaseline}};
    std::vector<std::uint32_t> dest(256), source(256), expected(256);
    for (const auto& kernel : kernels)
        for (int sa = 0; sa < 256; ++sa)
            for (int d = 0; d < 256; ++d) {
                for (int s = 0; s < 256; ++s) {
                    dest[std::size_t(s)] = makePixel(d, 255 - d, d ^ 0x5a, 255);
                    source[std::size_t(s)] = makePixel(s, d, 255 - s, sa);
                    expected[std::size_t(s)] = dest[std::size_t(s)];
                    TBitmap32::BlendPixel(&expected[std::size_t(s)], source[std::size_t(s)]);
                }
                // Two uneven calls, so both the vector steps and the one-pixel tail see
                // every input.
                kernel.blend(dest.data(), source.data(), 243);
                kernel.blend(dest.data() + 243, source.data() + 243, 13);
                ASSERT_EQ(dest, expected)
                    << kernel.name << ": source alpha " << sa << " dest value " << d;
            }
}

} // namespace
} // namespace quill
