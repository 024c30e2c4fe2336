#include "imaging/Colour.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(Grey, WorkedValues) {
    struct Case {
        int r, g, b, pencil, ink;
    } cases[] = {
        {255, 255, 255, 255, 254}, // the ink weights add up to 0.996
        {0, 0, 0, 0, 0},           {100, 100, 100, 100, 100},
        {128, 128, 128, 128, 127}, {200, 200, 200, 200, 199},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(greyPencil(c.r, c.g, c.b), c.pencil) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(greyInkLiteral(c.r, c.g, c.b), c.ink) << c.r << "," << c.g << "," << c.b;
    }
}

TEST(Hsl, HSLtoRGB360WorkedValues) {
    struct Case {
        int h, s, l, r, g, b;
    } cases[] = {
        {0, 100, 50, 255, 0, 0},    {60, 100, 50, 255, 255, 0},  {120, 100, 50, 0, 255, 0},
        {30, 50, 50, 192, 128, 64}, {200, 0, 75, 192, 192, 192}, {360, 100, 50, 255, 0, 0},
        {361, 100, 50, 0, 0, 0},    {0, 101, 50, 0, 0, 0},       {0, 0, 50, 128, 128, 128},
    };
    for (const Case& c : cases) {
        RGB8 out = HSLtoRGB360(c.h, c.s, c.l);
        EXPECT_EQ(out.r, c.r) << c.h << "," << c.s << "," << c.l;
        EXPECT_EQ(out.g, c.g) << c.h << "," << c.s << "," << c.l;
        EXPECT_EQ(out.b, c.b) << c.h << "," << c.s << "," << c.l;
    }
}

TEST(Hsl, RGBtoHSL360GivesHue360ForRedsWithMoreBlueThanGreen) {
    HSL360 hsl = RGBtoHSL360(255, 0, 1);
    EXPECT_EQ(hsl.h, 360);
    EXPECT_EQ(hsl.s, 100);
    EXPECT_EQ(hsl.l, 50);
    HSL360 grey = RGBtoHSL360(178, 178, 178);
    EXPECT_EQ(grey.h, 0);
    EXPECT_EQ(grey.s, 0);
    EXPECT_EQ(grey.l, 70);
}

} // namespace
} // namespace quill
