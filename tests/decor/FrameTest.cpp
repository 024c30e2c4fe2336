#include "decor/Frame.h"
#include "tests/RandomPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace quill {
namespace {

// A frame pixel with the alpha its colour gives, the arithmetic as written.
std::uint32_t withFrameAlpha(std::uint32_t p) {
    const int v =
        int(std::nearbyintl(0.3L * pixelRed(p) + 0.59L * pixelGreen(p) + 0.11L * pixelBlue(p)));
    return (p & 0xffffffu) | std::uint32_t(std::min(2 * (255 - v), 255)) << 24;
}

TEST(Frame, AlphaFromColourWorkedValuesAndNoise) {
    struct Case {
        int r, g, b, alpha;
    } cases[] = {
        {128, 128, 128, 254},
        {200, 200, 200, 110},
        {250, 250, 250, 10},
        {255, 255, 255, 0},
        {0, 0, 0, 255},
        {127, 127, 127, 255},
        {129, 129, 129, 252},
        {254, 254, 254, 2},
        // v = Round(0.3 * 255) = Round(76.5) = 76 (half to even): 2 * 179 limited to 255
        {255, 0, 0, 255},
        // v = Round(0.3*255 + 0.59*255) = Round(226.95) = 227
        {255, 255, 0, 56},
    };
    for (auto c : cases) {
        TBitmap32 pic(3, 2, makePixel(c.r, c.g, c.b, 99));
        frameAlphaFromColour(pic);
        EXPECT_TRUE(pic == TBitmap32(3, 2, makePixel(c.r, c.g, c.b, c.alpha)))
            << c.r << "," << c.g << "," << c.b;
    }
    TBitmap32 pic = testpictures::randomPicture(301, 257, 12), expected = pic;
    for (std::size_t i = 0; i < expected.pixelCount(); ++i)
        expected.bits()[i] = withFrameAlpha(expected.bits()[i]);
    frameAlphaFromColour(pic);
    EXPECT_TRUE(pic == expected);
}

TEST(Frame, OverlayStretchesEachDirectionOnItsOwn) {
    // 4 x 2 frame: column x has red 50 x, row y has green 100 y.
    TBitmap32 frame(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            frame.setPixel(x, y, makePixel(50 * x, 100 * y, 0));
    const TBitmap32 before = frame;
    for (auto [bw, bh] : {std::pair{8, 6}, std::pair{4, 10}, std::pair{12, 2}, std::pair{2, 1}}) {
        TBitmap32 overlay = makeFrameOverlay(frame, bw, bh);
        ASSERT_EQ(overlay.width(), bw);
        ASSERT_EQ(overlay.height(), bh);
        for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x)
                ASSERT_EQ(overlay.pixel(x, y), withFrameAlpha(frame.pixel(x * 4 / bw, y * 2 / bh)))
                    << bw << "x" << bh << " at " << x << "," << y;
    }
    EXPECT_TRUE(frame == before);
    EXPECT_TRUE(makeFrameOverlay(TBitmap32(), 600, 450).empty());
    EXPECT_TRUE(makeFrameOverlay(TBitmap32(5, 5), 0, 450).empty());
    EXPECT_TRUE(makeFrameOverlay(TBitmap32(5, 5), 600, -1).empty());
}

TEST(Frame, ThumbnailIsOneTenthNearestNeighbour) {
    // Column x has red x, row y has green y.
    TBitmap32 frame(600, 450);
    for (int y = 0; y < 450; ++y)
        for (int x = 0; x < 600; ++x)
            frame.setPixel(x, y, makePixel(x % 256, y % 256, 7));
    TBitmap32 thumb = frameThumbnail(frame);
    ASSERT_EQ(thumb.width(), 60);
    ASSERT_EQ(thumb.height(), 45);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(thumb.pixel(x, y), makePixel((10 * x) % 256, (10 * y) % 256, 7))
                << x << "," << y;
    EXPECT_TRUE(frameThumbnail(TBitmap32(9, 40)).empty());
    EXPECT_TRUE(frameThumbnail(TBitmap32()).empty());
}

} // namespace
} // namespace quill
