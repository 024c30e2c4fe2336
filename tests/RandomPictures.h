#pragma once
// Random test pictures for every test program: the same seed gives the same picture.
#include "imaging/Bitmap32.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

namespace quill::testpictures {

enum class PictureAlpha { Random, Opaque };

// A picture of random bytes: every byte random (catches a pass that touches what it must
// not), or opaque with random colours.
inline TBitmap32 randomPicture(int width, int height, unsigned seed,
                               PictureAlpha alpha = PictureAlpha::Random) {
    std::mt19937 random(seed);
    const std::uint32_t opaque = alpha == PictureAlpha::Opaque ? 0xff000000u : 0u;
    TBitmap32 picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, std::uint32_t(random()) | opaque);
    return picture;
}

// A photograph-like test picture: smooth gradients with noise and a few hard edges,
// alpha bytes varied, and about one pixel in fourteen CutoutColor when cutouts is set.
// The same seed gives the same picture.
inline TBitmap32 photoLikePicture(int width, int height, std::uint32_t seed, bool cutouts = true) {
    TBitmap32 p(width, height);
    std::uint32_t state = seed * 2654435761u + 12345u;
    auto noise = [&state](int span) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % std::uint32_t(2 * span + 1)) - span;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Gradients, a hard vertical and a hard diagonal edge, and a flat patch where
            // many equal values meet the median.
            int r = 40 + 170 * x / std::max(1, width) + noise(12);
            int g = 220 - 150 * y / std::max(1, height) + noise(12);
            int b = (x * 3 + y * 5) % 256;
            if (x > width / 3)
                r += 60;
            if (x + y > (width + height) / 2)
                g -= 90;
            if (x % 11 < 4 && y % 9 < 3)
                r = g = b = 128;
            const int a = (x * 7 + y * 13) & 255;
            p.setPixel(
                x, y,
                makePixel(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255), a));
            if (cutouts && noise(1000) > 850)
                p.setPixel(x, y, CutoutColor);
        }
    return p;
}

// The sizes on which fast passes are compared with their plain twins: every loop edge of a
// 3 x 3 pass (no interior, one interior row or column, odd widths) and one picture large
// enough to be split into parallel bands.
struct Size {
    int width, height;
};
inline constexpr Size kOddSizes[] = {{1, 1}, {1, 5}, {5, 1}, {2, 2},   {2, 3},    {3, 2},
                                     {3, 3}, {5, 3}, {7, 9}, {64, 33}, {509, 263}};
inline std::string name(Size s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

} // namespace quill::testpictures
