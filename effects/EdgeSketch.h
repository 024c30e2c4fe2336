#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

// The edge operator of the sketch effects, in place. For every interior pixel and each
// colour channel on its own: r1 = the kernel -1 -1 -1 / 0 6 0 / -1 -1 -1, r2 = the
// kernel 1 0 -1 in each row, both clamped to 0..255; the channel becomes max(r1, r2).
// Alpha keeps its value. The outermost columns, then the outermost rows, repeat the
// colours of their inner neighbours (a copy whose source lies outside the picture is
// skipped, so a picture one pixel wide or high keeps its colours there). Finally every
// byte, alpha included, is inverted: edges come out dark on a white ground.
void picsobel(TBitmap32& picture);

} // namespace quill
