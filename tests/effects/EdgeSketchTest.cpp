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

} // namespace
} // namespace quill
