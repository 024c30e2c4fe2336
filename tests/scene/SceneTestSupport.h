#pragma once
// Shared by the scene tests: random test pictures and a mask source over a map of masks.
#include "scene/Scene.h"

#include <cstdint>
#include <map>
#include <random>

namespace quill::scenetest {

// A picture of random colours, opaque unless randomAlpha.
inline TBitmap32 randomPicture(int w, int h, unsigned seed, bool randomAlpha = false)
{
    std::mt19937 rng(seed);
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = rng();
            if (!randomAlpha)
                v |= 0xff000000u;
            p.setPixel(x, y, v);
        }
    return p;
}

// The masks of the map, looked up at each use; a number it lacks has no mask.
inline MaskSource maskSourceOf(const std::map<int, TBitmap32>& masks)
{
    return [&masks](int k) -> const TBitmap32* {
        auto it = masks.find(k);
        return it == masks.end() ? nullptr : &it->second;
    };
}

} // namespace quill::scenetest
