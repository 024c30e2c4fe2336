#include "effects/PenSketch.h"

#include "effects/EdgeSketch.h"
#include "effects/PencilSketch.h"

#include <algorithm>

namespace quill {

TBitmap32 penSketchThreshold(const TBitmap32& edgeBase, const PenSketchParams& params) {
    const std::uint32_t black = makePixel(0, 0, 0, 255);
    const std::uint32_t paper = params.hollow ? CutoutColor : makePixel(255, 255, 255, 255);
    // Greys are 0..255: a pressure outside that range makes everything black or nothing.
    const std::uint32_t pressure = std::uint32_t(std::clamp(params.pressure, -1, 255) + 1);
    return mapPencilGrey(edgeBase, [=](std::uint32_t g) { return g < pressure ? black : paper; });
}

TBitmap32 penSketch(const TBitmap32& original, const PenSketchParams& params) {
    TBitmap32 edgeBase(original);
    picsobel(edgeBase);
    return penSketchThreshold(edgeBase, params);
}

} // namespace quill
