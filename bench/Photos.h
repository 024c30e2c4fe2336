#pragma once
// A photograph-like test picture: smooth shading, a few hard edges and sensor-like
// noise, so that it compresses as a camera's photo does.
#include "imaging/Bitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace quill::bench {

inline TBitmap32 photoLike(int width, int height, unsigned seed = 1) {
    TBitmap32 p = TBitmap32::uninitialized(width, height);
    std::mt19937 random(seed);
    const double phase = (seed - 1) * 0.7; // seed 1: the codecs benchmark's picture
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = p.row(y);
        for (int x = 0; x < width; ++x) {
            double shade = 0.5 + 0.5 * std::sin(x * 0.004 + phase) * std::cos(y * 0.003);
            bool inside = ((x / 400) + (y / 300)) % 3 == 0;
            int noise = int(random() % 9) - 4;
            int r = int(220 * shade) + (inside ? 30 : 0) + noise;
            int g = int(180 * (1 - shade)) + 40 + noise;
            int b = int(120 + 100 * std::sin((x + y) * 0.002 + phase)) + noise;
            row[x * 4 + kRed] = std::uint8_t(std::clamp(r, 0, 255));
            row[x * 4 + kGreen] = std::uint8_t(std::clamp(g, 0, 255));
            row[x * 4 + kBlue] = std::uint8_t(std::clamp(b, 0, 255));
            row[x * 4 + kAlpha] = 255;
        }
    }
    return p;
}

} // namespace quill::bench
