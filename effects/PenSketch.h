#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

struct PenSketchParams {
    int pressure = 128; // 0..255
    bool hollow = false;
};

// Cuts the edge sketch at the pen pressure: a pixel whose pencil grey is at most the
// pressure becomes opaque black; any other becomes CutoutColor when hollow, else
// opaque white.
TBitmap32 penSketchThreshold(const TBitmap32& edgeBase, const PenSketchParams& params);

// The whole effect: the edge sketch of a copy of original, then the threshold.
TBitmap32 penSketch(const TBitmap32& original, const PenSketchParams& params);

} // namespace quill
