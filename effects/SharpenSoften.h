#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

// The Laplacian sharpening filter, in place: each colour channel of the interior pixels
// (rows 1..H-2, columns 1..W-2) becomes clamp(5 s(0,0) - s(0,-1) - s(-1,0) - s(1,0) -
// s(0,1), 0, 255) over an unchanged copy. The outermost rows and columns and every
// alpha byte stay; a picture with fewer than three rows or columns is unchanged.
void sharpen(TBitmap32& picture);

// The 3 x 3 median filter, in place, per colour channel; borders and alpha as sharpen.
void soften(TBitmap32& picture);

// The same filters from source into destination (same size as source): only the
// interior pixels of destination are written (colour from the filter, alpha from
// source), so destination's outermost rows and columns keep what they hold.
void sharpenInto(const TBitmap32& source, TBitmap32& destination);
void softenInto(const TBitmap32& source, TBitmap32& destination);

} // namespace quill
