#pragma once
// Random test pictures for every test program: the same seed gives the same picture.
#include "imaging/Bitmap32.h"

#include <cstdint>
#include <random>

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

} // namespace quill::testpictures
