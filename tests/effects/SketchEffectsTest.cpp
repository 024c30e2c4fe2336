// The sketch effects: the edge sketch, Pencil Sketch, Pen Sketch, Pen & Ink and Kryptol,
// against their plain twins and worked pictures.
#include "effects/EdgeSketch.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"

#include "LiteralEffects.h"
#include "imaging/Colour.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quill {
namespace {

using literal::fromRows;
using literal::toRows;

// An edge sketch of a photograph-like picture: the usual input of the grey passes.
TBitmap32 sketchOf(const TBitmap32& original) {
    TBitmap32 edge(original);
    literal::picsobel(edge);
    return edge;
}

// One pixel per listed grey, in a row.
TBitmap32 greyRow(const std::vector<int>& greys) {
    TBitmap32 out(int(greys.size()), 1);
    for (int x = 0; x < out.width(); ++x)
        out.setPixel(x, 0, makePixel(greys[x], greys[x], greys[x], 255));
    return out;
}

std::vector<int> greysOf(const TBitmap32& picture) {
    std::vector<int> out;
    for (int x = 0; x < picture.width(); ++x) {
        const std::uint32_t p = picture.pixel(x, 0);
        EXPECT_EQ(pixelAlpha(p), 255);
        EXPECT_TRUE(pixelRed(p) == pixelGreen(p) && pixelGreen(p) == pixelBlue(p)) << std::hex << p;
        out.push_back(pixelRed(p));
    }
    return out;
}

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

// Every pass of the sketch effects against its plain twin on every loop edge: the edge
// sketch; the pencil passes on the sketch and on the raw photograph (every colour,
// CutoutColor and odd alphas); the pen threshold; Pen & Ink's two passes; the strokes
// over pen lines and over the photograph (bytes of 0, odd alphas, CutoutColor).
TEST(SketchPasses, EqualTheirPlainTwinsOnEveryLoopEdge) {
    using literal::difference;
    unsigned seed = 1;
    for (const literal::Size size : literal::kOddSizes) {
        SCOPED_TRACE(literal::name(size));
        const TBitmap32 original = literal::photoLikePicture(size.width, size.height, seed++);
        TBitmap32 edge(original);
        picsobel(edge);
        ASSERT_EQ(difference(edge, sketchOf(original)), "");
        for (const TBitmap32* p : {static_cast<const TBitmap32*>(&edge), &original})
            EXPECT_EQ(difference(pencilGreyBase(*p), literal::greyBase(*p)), "");
        for (int p : {0, 1, 127, 128, 129, 200, 255})
            EXPECT_EQ(difference(pencilLighting(edge, p), literal::lighting(edge, p)), "") << p;
        // A picture that is not grey takes the whole colour round trip.
        for (int p : {10, 45, 70})
            EXPECT_EQ(difference(pencilContrast(original, p), literal::contrast(original, p)), "")
                << p;
        for (int pressure : {0, 1, 128, 190, 254, 255})
            for (bool hollow : {false, true})
                EXPECT_EQ(difference(penSketchThreshold(edge, {pressure, hollow}),
                                     literal::penThreshold(edge, pressure, hollow)),
                          "")
                    << "pressure " << pressure << " hollow " << hollow;
        for (int threshold : {0, 60, 127, 128, 253, 254, 255})
            for (bool hollow : {false, true}) {
                TBitmap32 fast(original), plain(original);
                PictureTwoValue(fast, {threshold, hollow});
                literal::pictureTwoValue(plain, threshold, hollow);
                ASSERT_EQ(difference(fast, plain), "") << "threshold " << threshold;
                const TBitmap32 expected = literal::penandink(plain, hollow);
                EXPECT_EQ(difference(penandink(plain, hollow), expected), "") << threshold;
                EXPECT_EQ(difference(penAndInk(original, {threshold, hollow}), expected), "");
            }
        // The outline of an unthresholded picture: only pure black counts as black.
        EXPECT_EQ(difference(penandink(original, true), literal::penandink(original, true)), "");
        const TBitmap32 lines = literal::penThreshold(edge, kKryptolPressure, seed % 2 == 0);
        for (const TBitmap32* start : {&lines, &original})
            for (int direction = 0; direction <= 5; ++direction) {
                TBitmap32 fast(*start), plain(*start);
                for (int press = 0; press < 3; ++press) {
                    BitmapDilate(fast, direction);
                    literal::bitmapDilate(plain, direction);
                    ASSERT_EQ(difference(fast, plain), "") << direction << " press " << press;
                }
            }
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
    } cases[] = {{{"...#...", "...#...", "...#...", "...#...", "...#..."},
                  {"..#.#..", "..#.#..", "..#.#..", "..#.#..", "..#.#.."}},
                 {{".......", ".......", "#######", ".......", ".......", "......."},
                  {"#######", "#######", ".......", "#######", ".......", "......."}},
                 // A dot: the upper and lower rows of the first kernel darken the rows above and
                 // below it; the left-right kernel darkens only its left side, so the pixel to its
                 // right stays white.
                 {{".....", ".....", "..#..", ".....", "....."},
                  {"#####", "#####", "##...", "#####", "#####"}}};
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

TEST(PencilSketch, SliderLabels) {
    struct Case {
        int position, lighting, contrast;
    } cases[] = {{0, 0, 0},    {1, 0, 1},     {44, 17, 49},   {45, 18, 51},
                 {88, 35, 99}, {89, 35, 100}, {128, 50, 144}, {255, 100, 287}};
    for (const Case& c : cases) {
        EXPECT_EQ(lightingLabel(c.position), c.lighting) << c.position;
        EXPECT_EQ(contrastLabel(c.position), c.contrast) << c.position;
    }
}

// The fast pencil grey of one colour and the grey rows (vectorised, halves settled
// afterwards) must agree with the extended-precision formula on every colour: a tie in exact
// arithmetic can land either side of it. Odd and even alphas alternate along the rows.
TEST(Grey, FastFormsAndRowsEqualTheFormulaOnAllColours) {
    const struct {
        const char* name;
        int (*literal)(int, int, int);
        int (*fast)(int, int, int);
        void (*row)(const std::uint32_t*, int, std::uint8_t*);
    } forms[] = {{"pencil", greyPencilLiteral, greyPencil, pencilGreyRow},
                 {"ink", greyInkLiteral, nullptr, inkGreyRow}};
    std::vector<std::uint32_t> row(65536);
    std::vector<std::uint8_t> grey(65536);
    for (const auto& form : forms) {
        long fastMismatches = 0, rowMismatches = 0;
        for (int r = 0; r < 256; ++r) {
            for (int i = 0; i < 65536; ++i)
                row[i] = makePixel(r, i >> 8, i & 255, i & 1 ? 255 : 0);
            // In runs of uneven lengths, so that every colour also meets the row's
            // one-pixel tail after the wide steps.
            static constexpr int kRuns[] = {1021, 7, 15, 1, 16, 33, 4093};
            for (int at = 0, k = 0; at < 65536; at += kRuns[k], k = (k + 1) % 7)
                form.row(row.data() + at, std::min(kRuns[k], 65536 - at), grey.data() + at);
            for (int i = 0; i < 65536; ++i) {
                const int exact = form.literal(r, i >> 8, i & 255);
                fastMismatches += form.fast && form.fast(r, i >> 8, i & 255) != exact;
                rowMismatches += grey[i] != exact;
            }
        }
        EXPECT_EQ(fastMismatches, 0) << form.name;
        EXPECT_EQ(rowMismatches, 0) << form.name;
    }
}

// The table of greys meets the plain round trip on every grey at every position.
TEST(PencilSketch, ContrastOfEveryGreyAtEveryPosition) {
    std::vector<int> all(256);
    std::iota(all.begin(), all.end(), 0);
    const TBitmap32 greys = greyRow(all);
    for (int p = 0; p <= 89; ++p)
        ASSERT_EQ(literal::difference(pencilContrast(greys, p), literal::contrast(greys, p)), "")
            << p;
}

TEST(PencilSketch, WorkedLightingAndContrast) {
    const std::vector<int> in = {0, 1, 100, 128, 200, 238, 239, 240, 241, 254, 255};
    struct Case {
        bool lighting;
        int position;
        std::vector<int> out;
    } cases[] = {
        {true, 128, in},
        {true, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}, // every grey lowered by 256
        {true, 255, {254, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}}, // raised by 254
        {true, 129, {2, 3, 102, 130, 202, 240, 241, 242, 243, 255, 255}},
        {true, 127, {0, 0, 98, 126, 198, 236, 237, 238, 239, 252, 253}},
        {false, 0, {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}}, // t = 0, l' = 100
        {false,
         45,
         {0, 0, 100, 128, 199, 237, 240, 240, 242, 255, 255}},    // the grey, to the rounding
        {false, 89, {0, 0, 0, 0, 0, 0, 128, 128, 255, 255, 255}}, // l <= 93 turns black
        {false, 30, {97, 97, 156, 171, 212, 235, 237, 237, 237, 245, 245}} // 100: l 39 -> 61 -> 156
    };
    const TBitmap32 picture = greyRow(in);
    for (const Case& c : cases) {
        const TBitmap32 out =
            c.lighting ? pencilLighting(picture, c.position) : pencilContrast(picture, c.position);
        EXPECT_EQ(greysOf(out), c.out) << (c.lighting ? "lighting " : "contrast ") << c.position;
    }
}

TEST(PenSketch, WorkedThresholds) {
    // Pencil greys: (1,0,0) 0.3 -> 0; (0,1,0) 0.59 -> 1; (0,0,4) 0.44 -> 0; (0,0,5) 0.55 -> 1;
    // (100,100,100) -> 100; (128,129,120) 127.71 -> 128; (255,255,255) -> 255.
    const std::vector<std::uint32_t> in = {makePixel(1, 0, 0),       makePixel(0, 1, 0),
                                           makePixel(0, 0, 4),       makePixel(0, 0, 5),
                                           makePixel(100, 100, 100), makePixel(128, 129, 120, 0),
                                           makePixel(255, 255, 255), CutoutColor};
    struct Case {
        int pressure;
        bool hollow;
        const char* black; // '#' where the pixel turns black
    } cases[] = {{0, false, "#.#....."},   {0, true, "#.#....."},    {1, false, "####...."},
                 {127, false, "#####..."}, {128, false, "######.."}, {255, false, "########"},
                 {255, true, "########"},  {-1, false, "........"}};
    TBitmap32 picture(int(in.size()), 1);
    for (int x = 0; x < picture.width(); ++x)
        picture.setPixel(x, 0, in[x]);
    for (const Case& c : cases) {
        const TBitmap32 out = penSketchThreshold(picture, {c.pressure, c.hollow});
        for (int x = 0; x < out.width(); ++x) {
            const std::uint32_t expected = c.black[x] == '#' ? kBlack
                                           : c.hollow        ? CutoutColor
                                                             : kWhite;
            EXPECT_EQ(out.pixel(x, 0), expected) << "pressure " << c.pressure << " pixel " << x;
        }
    }
}

TEST(PenAndInk, WorkedPictures) {
    struct Case {
        const char* what;
        std::uint32_t fill;
        int threshold;
        bool hollow;
        std::vector<std::string> out;
    } cases[] = {
        // White has ink grey 254: at 254 and 255 all turns black, and only the frame stays.
        {"white at 255", kWhite, 255, false, {"####", "#..#", "####"}},
        {"white at 254", kWhite, 254, true, {"####", "#oo#", "####"}},
        {"white at 253", kWhite, 253, false, {"....", "....", "...."}},
        {"white at 253 hollow", kWhite, 253, true, {"oooo", "oooo", "oooo"}},
        // Grey 128 has ink grey 127.488 -> 127, at most 128.
        {"grey 128", makePixel(128, 128, 128), 128, false, {"####", "#..#", "####"}},
        {"grey 128 at 126", makePixel(128, 128, 128), 126, false, {"....", "....", "...."}},
        // Thresholds past the slider's ends act like its ends.
        {"white at 1000", kWhite, 1000, false, {"####", "#..#", "####"}},
        {"black at -5", makePixel(0, 0, 0), -5, false, {"....", "....", "...."}},
        {"cutout at 255", CutoutColor, 255, true, {"####", "#oo#", "####"}}};
    for (const Case& c : cases)
        EXPECT_EQ(toRows(penAndInk(TBitmap32(4, 3, c.fill), {c.threshold, c.hollow})), c.out)
            << c.what;
}

TEST(BitmapDilate, SinglePixelGrowsAlongTheStroke) {
    struct Case {
        int direction;
        std::set<std::pair<int, int>> afterOne, afterTwo;
    } cases[] = {{1, {{4, 4}, {3, 5}, {5, 3}}, {{4, 4}, {3, 5}, {5, 3}, {2, 6}, {6, 2}}},
                 {2, {{4, 4}, {3, 3}, {5, 5}}, {{4, 4}, {3, 3}, {5, 5}, {2, 2}, {6, 6}}},
                 {3, {{4, 4}, {4, 3}, {4, 5}}, {{4, 4}, {4, 3}, {4, 5}, {4, 2}, {4, 6}}},
                 {4, {{4, 4}, {3, 4}, {5, 4}}, {{4, 4}, {3, 4}, {5, 4}, {2, 4}, {6, 4}}},
                 {0, {{4, 4}}, {{4, 4}}},
                 {5, {{4, 4}}, {{4, 4}}},
                 {-1, {{4, 4}}, {{4, 4}}}};
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
    } cases[] = {{kWhite, kBlack},
                 {makePixel(255, 255, 255, 77), makePixel(0, 0, 0, 77)}, // alpha stays
                 {CutoutColor, makePixel(0, 0, 0, 0)},             // cut-out paper is inked too
                 {makePixel(255, 0, 255), makePixel(255, 0, 255)}, // a zero colour byte: left alone
                 {makePixel(1, 1, 1, 9), makePixel(0, 0, 0, 9)},
                 {makePixel(0, 0, 0, 10), makePixel(0, 0, 0, 10)}};
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

// Each whole effect is its passes in order on a copy of the original, which it leaves as
// it was: Pencil Sketch shows the slider moved last only; Kryptol is the threshold at 190,
// then the strokes (many presses stop once the strokes reach the frame). An empty picture
// gives an empty one; a flat picture has no edges, so Pen Sketch gives white paper, or
// nothing at all when hollowed.
TEST(SketchEffects, WholeEffectsAreTheirPassesInOrder) {
    const TBitmap32 original = literal::photoLikePicture(45, 31, 11), before = original, empty;
    const TBitmap32 edge = sketchOf(original), grey = literal::greyBase(edge);
    const auto strokes = [&](int direction, int presses, bool hollow) {
        TBitmap32 t = literal::penThreshold(edge, kKryptolPressure, hollow);
        for (int i = 0; i < std::min(presses, 200); ++i)
            literal::bitmapDilate(t, direction);
        return t;
    };
    using Slider = PencilSketchParams::Slider;
    const TBitmap32 flat(5, 5, makePixel(10, 20, 30));
    const std::pair<TBitmap32, TBitmap32> cases[] = {
        {pencilSketch(original, {Slider::None, 200}), grey},
        {pencilSketch(original, {Slider::Lighting, 128}), grey},
        {pencilSketch(original, {Slider::Lighting, 180}), literal::lighting(edge, 180)},
        {pencilSketch(original, {Slider::Lighting, -9}), literal::lighting(edge, 0)},
        {pencilSketch(original, {Slider::Contrast, 60}), literal::contrast(grey, 60)},
        {pencilSketch(original, {Slider::Contrast, 500}), literal::contrast(grey, 89)},
        {penSketch(original, {150, true}), literal::penThreshold(edge, 150, true)},
        {kryptol(original, {1, 0, false}), strokes(1, 0, false)},
        {kryptol(original, {1, 1, false}), strokes(1, 1, false)},
        {kryptol(original, {2, 3, true}), strokes(2, 3, true)},
        {kryptol(original, {3, 2, false}), strokes(3, 2, false)},
        {kryptol(original, {4, 5, true}), strokes(4, 5, true)},
        {kryptol(original, {7, 4, false}), strokes(7, 4, false)},
        {kryptol(original, {3, -2, false}), strokes(3, -2, false)},
        {kryptol(original, {4, 1'000'000, false}), strokes(4, 1'000'000, false)},
        {penSketch(flat, {128, false}), TBitmap32(5, 5, kWhite)},
        {penSketch(flat, {128, true}), TBitmap32(5, 5, CutoutColor)},
        {pencilSketch(empty, {Slider::Contrast, 30}), empty},
        {pencilSketch(empty, {Slider::Lighting, 30}), empty},
        {penSketch(empty, {}), empty},
        {penAndInk(empty, {}), empty},
        {kryptol(empty, {1, 5, true}), empty}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(literal::difference(cases[i].first, cases[i].second), "") << "case " << i;
    EXPECT_EQ(original, before);
    TBitmap32 inPlace;
    BitmapDilate(inPlace, 1);
    PictureTwoValue(inPlace, {});
    EXPECT_TRUE(inPlace.empty());
}

} // namespace
} // namespace quill
