#include "effects/PenSketch.h"

#include "effects/EdgeSketch.h"
#include "effects/PencilSketch.h"

namespace quill {

TBitmap32 penSketchThreshold(const TBitmap32& edgeBase, const PenSketchParams& params)
{
    const std::uint32_t black = makePixel(0, 0, 0, 255);
    const std::uint32_t paper = params.hollow ? CutoutColor : makePixel(255, 255, 255, 255);
    std::uint32_t table[256];
    for (int g = 0; g < 256; ++g)
        table[g] = g <= params.pressure ? black : paper;
    return mapPencilGrey(edgeBase, table);
}

TBitmap32 penSketch(const TBitmap32& original, const PenSketchParams& params)
{
    TBitmap32 edgeBase(original);
    picsobel(edgeBase);
    return penSketchThreshold(edgeBase, params);
}

} // namespace quill
