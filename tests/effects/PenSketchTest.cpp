#include "effects/PenSketch.h"
#include "effects/EdgeSketch.h"

#include "LiteralSketchEffects.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill {
namespace {

constexpr std::uint32_t kBlack = makePixel(0, 0, 0, 255);
constexpr std::uint32_t kWhite = makePixel(255, 255, 255, 255);

TEST(PenSketch, ThresholdEqualsPlainLoops) {
    unsigned seed = 200;
    for (const literal::Size size : literal::kOddSizes) {
        TBitmap32 edge = literal::photoLikePicture(size.width, size.height, seed++);
        literal::picsobel(edge);
        for (int pressure : {0, 1, 128, 190, 254, 255})
            for (bool hollow : {false, true})
                EXPECT_EQ(literal::difference(penSketchThreshold(edge, {pressure, hollow}),
                                              literal::penThreshold(edge, pressure, hollow)),
                          "")
                    << size.width << "x" << size.height << " pressure " << pressure << " hollow "
                    << hollow;
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
    } cases[] = {
        {0, false, "#.#....."},   {0, true, "#.#....."},    {1, false, "####...."},
        {127, false, "#####..."}, {128, false, "######.."}, {255, false, "########"},
        {255, true, "########"},  {-1, false, "........"},
    };
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

TEST(PenSketch, WholeEffectIsThresholdOfTheSketch) {
    for (const literal::Size size :
         {literal::Size{1, 1}, literal::Size{2, 3}, literal::Size{64, 33}}) {
        const TBitmap32 original = literal::photoLikePicture(size.width, size.height, 9);
        const TBitmap32 before(original);
        TBitmap32 edge(original);
        literal::picsobel(edge);
        EXPECT_EQ(literal::difference(penSketch(original, {150, true}),
                                      literal::penThreshold(edge, 150, true)),
                  "");
        EXPECT_EQ(original, before);
    }
    // A flat picture has no edges: white paper, or nothing at all when hollowed.
    EXPECT_EQ(penSketch(TBitmap32(5, 5, makePixel(10, 20, 30)), {128, false}),
              TBitmap32(5, 5, kWhite));
    EXPECT_EQ(penSketch(TBitmap32(5, 5, makePixel(10, 20, 30)), {128, true}),
              TBitmap32(5, 5, CutoutColor));
}

} // namespace
} // namespace quill
