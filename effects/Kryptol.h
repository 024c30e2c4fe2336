#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

// The fixed pen pressure of the Kryptol threshold.
inline constexpr int kKryptolPressure = 190;

// One pen stroke, in place. Every interior pixel whose three colour bytes are all
// non-zero turns black (colour 0, alpha kept) when one of its two stroke neighbours was
// black before the stroke: direction 1 (x-1, y+1) and (x+1, y-1), 2 (x-1, y-1) and
// (x+1, y+1), 3 (x, y+1) and (x, y-1), 4 (x-1, y) and (x+1, y). Any other direction
// changes nothing; so do the outermost rows and columns.
void BitmapDilate(TBitmap32& picture, int direction);

struct KryptolParams {
    int direction = 1; // 1..4
    int strokes = 0;   // presses of the pen; 0 or less: none
    bool hollow = false;
};

// The whole effect: the Pen Sketch threshold at kKryptolPressure of the edge sketch of
// original, then `strokes` presses of BitmapDilate in the given direction.
TBitmap32 kryptol(const TBitmap32& original, const KryptolParams& params);

} // namespace quill
