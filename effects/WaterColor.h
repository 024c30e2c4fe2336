#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

// Water color: three times sharpen once, then soften twice (nine passes) on a copy of
// the original. Borders and alpha bytes come through unchanged.
TBitmap32 waterColor(const TBitmap32& original);

} // namespace quill
