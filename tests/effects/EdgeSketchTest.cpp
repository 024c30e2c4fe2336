#include "effects/EdgeSketch.h"

#include "LiteralSketchEffects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quill {
namespace {

using literal::fromRows;
using literal::toRows;

TEST(Picsobel, EqualsPlainLoopsOnEveryLoopEdge) {
    unsigned seed = 1;
    for (const literal::Size size : literal::kOddSizes) {
        const TBitmap32 original = literal::photoLikePicture(size.width, size.height, seed++);
        TBitmap32 fast(original), plain(original);
        picsobel(fast);
        literal::picsobel(plain);
        EXPECT_EQ(literal::difference(fast, plain), "") << size.width << "x" << size.height;
    }
}

TEST(InteriorRows, EveryRowSeesItsNeighboursAsTheyWere) {
    // A pass that mixes the three rows: any row read after its band neighbour changed it,
    // or handed out twice, or skipped, shows in the result.
    for (const literal::Size size : literal::kOddSizes) {
        TBitmap32 picture = literal::photoLikePicture(size.width, size.height, 77);
        const TBitmap32 before(picture);
        int calls = 0;
        forEachInteriorRow(picture, [&](const std::uint32_t* up, const std::uint32_t* mid,
                                        const std::uint32_t* down, std::uint32_t* out) {
            for (int x = 0; x < size.width; ++x)
                out[x] = up[x] * 3u + mid[x] * 5u + down[x] * 7u + 1u;
            __atomic_add_fetch(&calls, 1, __ATOMIC_RELAXED);
        });
        EXPECT_EQ(calls, std::max(0, size.height - 2));
        TBitmap32 expected(before);
        for (int y = 1; y < size.height - 1; ++y)
            for (int x = 0; x < size.width; ++x)
                expected.setPixel(x, y,
                                  before.pixel(x, y - 1) * 3u + before.pixel(x, y) * 5u +
                                      before.pixel(x, y + 1) * 7u + 1u);
        EXPECT_EQ(literal::difference(picture, expected), "") << size.width << "x" << size.height;
    }
}

TEST(Picsobel, FlatPictureGivesWhiteWithInvertedAlpha) {
    for (std::uint32_t flat :
         {makePixel(0, 0, 0, 255), makePixel(255, 255, 255, 255), makePixel(12, 200, 77, 255),
          makePixel(90, 90, 90, 40), CutoutColor}) {
        TBitmap32 picture(6, 5, flat);
        picsobel(picture);
        EXPECT_EQ(picture, TBitmap32(6, 5, makePixel(255, 255, 255, 255 - pixelAlpha(flat))))
            << std::hex << flat;
    }
}

TEST(Picsobel, OnePixelLineDarkOnBothSides) {
    struct Case {
        std::vector<std::string> in, out;
    } cases[] = {
        {{"...#...", "...#...", "...#...", "...#...", "...#..."},
         {"..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#.."}},
        {{".......", ".......", "#######", ".......", ".......", "......."},
         {"#######", "#######", ".......", "#######", ".......", "......."}},
        // A dot: the upper and lower rows of the first kernel darken the rows above and
        // below it; the left-right kernel darkens only its left side, so the pixel to its
        // right stays white.
        {{".....", ".....", "..#..", ".....", "....."},
         {"#####", "#####", "##...", "#####", "#####"}},
    };
    for (const Case& c : cases) {
        TBitmap32 picture = fromRows(c.in);
        picsobel(picture);
        EXPECT_EQ(toRows(picture, true), c.out) << c.in[0]; // alpha inverted
    }
}

TEST(Picsobel, WorkedChannelValues) {
    // 3 x 3, only the centre is computed. Blue column values left to right 10, 50, 30 in
    // every row, centre blue 50: r1 = 300 - (10+50+30) * 2 = 120, r2 = 3 * (10 - 30) < 0,
    // so blue 120, inverted 135. Green everywhere 0 except the left column 200:
    // r1 = 0 - 400 < 0, r2 = 600 -> 255, inverted 0. Red: centre 255, rest 0:
    // r1 = 1530 -> 255, inverted 0.
    TBitmap32 picture(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const int blue = x == 0 ? 10 : x == 1 ? 50 : 30;
            const int green = x == 0 ? 200 : 0;
            const int red = x == 1 && y == 1 ? 255 : 0;
            picture.setPixel(x, y, makePixel(red, green, blue, 255));
        }
    picsobel(picture);
    EXPECT_EQ(picture, TBitmap32(3, 3, makePixel(0, 0, 135, 0)));
}

TEST(Picsobel, TinyPicturesCopyWhatLiesInside) {
    using V = std::vector<int>;
    struct Case {
        int w, h;
        V values, alphas;       // row by row
        V outValues, outAlphas; // colour source after the border steps
    } cases[] = {
        {1, 1, V{10}, V{255}, V{10}, V{0}},
        // One column: rows 0 and H-1 repeat rows 1 and H-2; the columns have no neighbour.
        {1, 5, V{10, 20, 30, 40, 50}, V{1, 2, 3, 4, 5}, V{20, 20, 30, 40, 40},
         V{254, 253, 252, 251, 250}},
        // One row: nothing to copy from; only the inversion.
        {4, 1, V{10, 20, 30, 40}, V{9, 8, 7, 6}, V{10, 20, 30, 40}, V{246, 247, 248, 249}},
        // Two rows: row 0 takes row 1, then row 1 takes that back.
        {2, 2, V{10, 20, 30, 40}, V{255, 255, 0, 0}, V{30, 40, 30, 40}, V{0, 0, 255, 255}},
        // Three rows, two columns: column 0 takes column 1, column 1 takes that back.
        {2, 3, V{10, 20, 30, 40, 50, 60}, V(6, 255), V(6, 40), V(6, 0)},
    };
    for (const Case& c : cases) {
        TBitmap32 picture(c.w, c.h), expected(c.w, c.h);
        for (int i = 0; i < c.w * c.h; ++i) {
            const int v = c.values[i], o = c.outValues[i];
            picture.setPixel(i % c.w, i / c.w, makePixel(v, v + 1, v + 2, c.alphas[i]));
            expected.setPixel(i % c.w, i / c.w,
                              makePixel(255 - o, 254 - o, 253 - o, c.outAlphas[i]));
        }
        picsobel(picture);
        EXPECT_EQ(literal::difference(picture, expected), "") << c.w << "x" << c.h;
    }
    TBitmap32 empty;
    picsobel(empty);
    EXPECT_TRUE(empty.empty());
}

} // namespace
} // namespace quill
