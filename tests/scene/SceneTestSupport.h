#pragma once
// Shared by the scene tests: random test pictures and a mask source over a map of masks.
#include "scene/Scene.h"
#include "tests/RandomPictures.h"

#include <cstdint>
#include <map>

namespace quill::scenetest {

// A picture of random colours, opaque unless randomAlpha.
inline TBitmap32 randomPicture(int w, int h, unsigned seed, bool randomAlpha = false) {
    using testpictures::PictureAlpha;
    return testpictures::randomPicture(w, h, seed,
                                       randomAlpha ? PictureAlpha::Random : PictureAlpha::Opaque);
}

// The masks of the map, looked up at each use; a number it lacks has no mask.
inline MaskSource maskSourceOf(const std::map<int, TBitmap32>& masks) {
    return [&masks](int k) -> const TBitmap32* {
        auto it = masks.find(k);
        return it == masks.end() ? nullptr : &it->second;
    };
}

} // namespace quill::scenetest
