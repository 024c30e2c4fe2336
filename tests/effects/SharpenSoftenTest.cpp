#include "effects/SharpenSoften.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LiteralColorEffects.h"

using namespace quill;

namespace {

// A dark picture with alpha varied per pixel, so that a lost alpha byte shows.
TBitmap32 dark(int w, int h, int level) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel(level, level, level, (x * 31 + y * 17) & 255));
    return p;
}

void setColour(TBitmap32& p, int x, int y, int r, int g, int b) {
    p.setPixel(x, y, makePixel(r, g, b, pixelAlpha(p.pixel(x, y))));
}

} // namespace

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
    struct Case {
        const char* name;
        int around, centre, expected;
    };
    // 5 * centre - 4 * around, clamped.
    const std::vector<Case> cases = {
        {"flat stays", 50, 50, 50},
        {"brighter rises", 50, 60, 100},
        {"bright clamps at 255", 50, 100, 255},
        {"dark clamps at 0", 50, 10, 0},
        {"white stays", 255, 255, 255},
        {"black stays", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 picture = dark(5, 5, c.around);
        setColour(picture, 2, 2, c.centre, c.centre, c.centre);
        const TBitmap32 before = picture;
        sharpen(picture);
        EXPECT_EQ(picture.pixel(2, 2),
                  makePixel(c.expected, c.expected, c.expected, pixelAlpha(before.pixel(2, 2))));
    }
    // Channels are not mixed: only red differs from its neighbours.
    TBitmap32 picture = dark(3, 3, 40);
    setColour(picture, 1, 1, 41, 40, 40);
    sharpen(picture);
    EXPECT_EQ(picture.pixel(1, 1) & 0xffffffu, makePixel(45, 40, 40) & 0xffffffu);
}
