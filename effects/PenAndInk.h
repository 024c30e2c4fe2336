#pragma once

#include "effects/PencilSketch.h"
#include "imaging/Bitmap32.h"

#include <cstdint>

namespace quill {

struct PenAndInkParams {
    int threshold = 128; // 0..255
    bool hollow = false;
};

// Thresholds the picture in place: a pixel whose ink grey
// Round(0.299 R + 0.587 G + 0.11 B) is at most the threshold becomes opaque black;
// any other becomes CutoutColor when hollow, else opaque white.
void PictureTwoValue(TBitmap32& picture, const PenAndInkParams& params);

// The outline of a thresholded picture: every interior pixel whose whole 3 x 3 block
// is black (R = G = B = 0) becomes CutoutColor when hollow, else opaque white. The
// outermost rows and columns are never cleared.
TBitmap32 penandink(const TBitmap32& inkBase, bool hollow);

// The whole effect from an untouched picture.
TBitmap32 penAndInk(const TBitmap32& original, const PenAndInkParams& params);

} // namespace quill
