#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

// The per-pixel background passes. Each works in place on a copy of the background as
// opened and gives exactly the result of the row-by-row, left-to-right pass.

// Each pixel against its lower-right neighbour (as it was before the pass):
// p' = min(|p - q + 128|, 255). The last row and column keep their colours; alpha kept.
void emboss(TBitmap32& picture);
// s = p*p wrapped to a signed 16-bit number, t = (y*x) mod 255,
// p' = Round(sqrt(|s - t|)) limited to 0..255. Alpha kept.
void scorch(TBitmap32& picture);
// Columns x mod 3 = 1 halved, = 2 doubled (limited to 255), = 0 kept; alpha 255.
void verticalStria(TBitmap32& picture);
// Rows y mod 3 = 1 divided by 3, = 2 doubled (limited to 255), = 0 kept; alpha 255.
void horizontalStria(TBitmap32& picture);
// Red, green, blue := Round(0.299 R + 0.587 G + 0.11 B). Alpha kept.
void grayBackground(TBitmap32& picture);

} // namespace quill
