#include "imaging/Colour.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

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

TEST(Hsl, WorkedValues) {
    const std::array<int, 6> toRgb[] = {
        {0, 100, 50, 255, 0, 0},    {60, 100, 50, 255, 255, 0},  {120, 100, 50, 0, 255, 0},
        {30, 50, 50, 192, 128, 64}, {200, 0, 75, 192, 192, 192}, {360, 100, 50, 255, 0, 0},
        {361, 100, 50, 0, 0, 0},    {0, 101, 50, 0, 0, 0},       {0, 0, 50, 128, 128, 128},
    };
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
