#pragma once

#include "imaging/Bitmap32.h"

namespace quill::app {

// A picture read with an alpha channel (a PNG with see-through parts) keeps its shape
// as a foreground: every pixel of picture whose alpha in source is below 128 becomes
// CutoutColor, which no mask or transparency makes visible again. source and picture
// must have the same size (otherwise nothing changes). Returns the number of pixels cut out.
long long cutOutSeeThroughPixels(const TBitmap32& source, TBitmap32& picture);

// True when some pixel of the picture has alpha below 128.
bool hasSeeThroughPixels(const TBitmap32& picture);

} // namespace quill::app
