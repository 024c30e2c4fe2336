#pragma once

#include "imaging/Bitmap32.h"
#include "tests/RandomPictures.h"

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace quill::testing {

// The odd sizes every fast pass is compared on against its plain twin.
inline const std::vector<std::pair<int, int>>& oddSizes() {
    static const std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 3},   {3, 3}, {5, 3},
                                                           {7, 9}, {64, 33}, {3, 1}, {1, 4}};
    return sizes;
}

using testpictures::randomPicture;

// Photo-like: smooth gradients with some noise, flat areas, pure white and black
// patches, alpha 255 (as a background as opened).
inline TBitmap32 photoLikePicture(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    TBitmap32 pic(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto clampB = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
            int r = clampB(x * 255 / std::max(1, w - 1) + noise(rng));
            int g = clampB(y * 255 / std::max(1, h - 1) + noise(rng));
            int b = clampB(((x + y) * 7) % 256 + noise(rng));
            if (x < w / 8 && y < h / 8)
                r = g = b = 255;
            else if (x > w - w / 8 && y > h - h / 8)
                r = g = b = 0;
            else if (x > w / 2 && x < w / 2 + w / 10)
                r = g = b = 181 + (y % 3);
            pic.setPixel(x, y, makePixel(r, g, b, 255));
        }
    return pic;
}

} // namespace quill::testing
