#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"

#include "LiteralSketchEffects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace quill {
namespace {

constexpr std::uint32_t kBlack = makePixel(0, 0, 0, 255);
constexpr std::uint32_t kWhite = makePixel(255, 255, 255, 255);

std::set<std::pair<int, int>> blackPixels(const TBitmap32& picture) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if ((picture.pixel(x, y) & 0xffffff) == 0)
                out.insert({x, y});
    return out;
}

TEST(BitmapDilate, SinglePixelGrowsAlongTheStroke) {
    struct Case {
        int direction;
        std::set<std::pair<int, int>> afterOne, afterTwo;
    } cases[] = {
        {1, {{4, 4}, {3, 5}, {5, 3}}, {{4, 4}, {3, 5}, {5, 3}, {2, 6}, {6, 2}}},
        {2, {{4, 4}, {3, 3}, {5, 5}}, {{4, 4}, {3, 3}, {5, 5}, {2, 2}, {6, 6}}},
        {3, {{4, 4}, {4, 3}, {4, 5}}, {{4, 4}, {4, 3}, {4, 5}, {4, 2}, {4, 6}}},
        {4, {{4, 4}, {3, 4}, {5, 4}}, {{4, 4}, {3, 4}, {5, 4}, {2, 4}, {6, 4}}},
        {0, {{4, 4}}, {{4, 4}}},
        {5, {{4, 4}}, {{4, 4}}},
        {-1, {{4, 4}}, {{4, 4}}},
    };
    for (const Case& c : cases) {
        TBitmap32 picture(9, 9, kWhite);
        picture.setPixel(4, 4, kBlack);
        BitmapDilate(picture, c.direction);
        EXPECT_EQ(blackPixels(picture), c.afterOne) << "direction " << c.direction;
        BitmapDilate(picture, c.direction);
        EXPECT_EQ(blackPixels(picture), c.afterTwo) << "direction " << c.direction;
    }
}

TEST(BitmapDilate, WhatMayAndMayNotTurnBlack) {
    // Left of a black pixel in direction 4; the pixel's own bytes decide whether it turns.
    struct Case {
        std::uint32_t pixel, expected;
    } cases[] = {
        {kWhite, kBlack},
        {makePixel(255, 255, 255, 77), makePixel(0, 0, 0, 77)}, // alpha stays
        {CutoutColor, makePixel(0, 0, 0, 0)},                   // cut-out paper is inked too
        {makePixel(255, 0, 255), makePixel(255, 0, 255)},       // a zero colour byte: left alone
        {makePixel(1, 1, 1, 9), makePixel(0, 0, 0, 9)},
        {makePixel(0, 0, 0, 10), makePixel(0, 0, 0, 10)},
    };
    for (const Case& c : cases) {
        TBitmap32 picture(4, 3, kWhite);
        picture.setPixel(2, 1, makePixel(0, 0, 0, 3)); // black whatever its alpha
        picture.setPixel(1, 1, c.pixel);
        BitmapDilate(picture, 4);
        EXPECT_EQ(picture.pixel(1, 1), c.expected) << std::hex << c.pixel;
        EXPECT_EQ(picture.pixel(2, 1), makePixel(0, 0, 0, 3));
        EXPECT_EQ(picture.pixel(0, 1), kWhite); // the outermost column never changes
    }
}

TEST(BitmapDilate, EqualsPlainLoops) {
    // Black along the edges of a white picture: every direction may ink the ring inside,
    // never the frame.
    TBitmap32 ring(6, 5, kBlack);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 5; ++x)
            ring.setPixel(x, y, kWhite);
    for (int x : {0, 5})
        ring.setPixel(x, 0, kWhite), ring.setPixel(x, 4, kWhite);
    unsigned seed = 400;
    for (const literal::Size size : literal::kOddSizes) {
        TBitmap32 edge = literal::photoLikePicture(size.width, size.height, seed++);
        literal::picsobel(edge);
        const TBitmap32 lines = literal::penThreshold(edge, kKryptolPressure, seed % 2 == 0);
        // The raw photograph too: pixels with some zero bytes, odd alphas, CutoutColor.
        const TBitmap32 photo = literal::photoLikePicture(size.width, size.height, seed++);
        for (const TBitmap32* start : {&lines, &photo, static_cast<const TBitmap32*>(&ring)})
            for (int direction = 0; direction <= 5; ++direction) {
                TBitmap32 fast(*start), plain(*start);
                for (int press = 0; press < 3; ++press) {
                    BitmapDilate(fast, direction);
                    literal::bitmapDilate(plain, direction);
                    ASSERT_EQ(literal::difference(fast, plain), "")
                        << start->width() << "x" << start->height() << " direction " << direction
                        << " press " << press;
                }
                if (start == &ring) {
                    EXPECT_EQ(fast == ring, direction < 1 || direction > 4) << direction;
                }
            }
    }
}

TEST(Kryptol, WholeEffectIsThresholdAt190ThenStrokes) {
    const TBitmap32 original = literal::photoLikePicture(45, 31, 11);
    TBitmap32 edge(original);
    literal::picsobel(edge);
    struct Case {
        int direction, strokes;
        bool hollow;
    } cases[] = {
        {1, 0, false}, {1, 1, false},  {2, 3, true},          {3, 2, false}, {4, 5, true},
        {7, 4, false}, {3, -2, false}, {4, 1'000'000, false}, // many presses: the strokes stop
                                                              // growing once they reach the frame
    };
    for (const Case& c : cases) {
        TBitmap32 expected = literal::penThreshold(edge, kKryptolPressure, c.hollow);
        for (int i = 0; i < std::min(c.strokes, 200); ++i)
            literal::bitmapDilate(expected, c.direction);
        const TBitmap32 before(original);
        EXPECT_EQ(
            literal::difference(kryptol(original, {c.direction, c.strokes, c.hollow}), expected),
            "")
            << "direction " << c.direction << " strokes " << c.strokes;
        EXPECT_EQ(original, before);
    }
}

TEST(SketchEffects, EmptyPictureGivesEmptyPicture) {
    const TBitmap32 empty;
    EXPECT_TRUE(pencilSketch(empty, {PencilSketchParams::Slider::Contrast, 30}).empty());
    EXPECT_TRUE(pencilSketch(empty, {PencilSketchParams::Slider::Lighting, 30}).empty());
    EXPECT_TRUE(penSketch(empty, {}).empty());
    EXPECT_TRUE(penAndInk(empty, {}).empty());
    EXPECT_TRUE(kryptol(empty, {1, 5, true}).empty());
    TBitmap32 inPlace;
    BitmapDilate(inPlace, 1);
    PictureTwoValue(inPlace, {});
    EXPECT_TRUE(inPlace.empty());
}

} // namespace
} // namespace quill
