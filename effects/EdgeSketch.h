#pragma once

#include "imaging/Bitmap32.h"

#include <cstdint>
#include <functional>

namespace quill {

// The edge operator of the sketch effects, in place. For every interior pixel and each
// colour channel on its own: r1 = the kernel -1 -1 -1 / 0 6 0 / -1 -1 -1, r2 = the
// kernel 1 0 -1 in each row, both clamped to 0..255; the channel becomes max(r1, r2).
// Alpha keeps its value. The outermost columns, then the outermost rows, repeat the
// colours of their inner neighbours (a copy whose source lies outside the picture is
// skipped, so a picture one pixel wide or high keeps its colours there). Finally every
// byte, alpha included, is inverted: edges come out dark on a white ground.
void picsobel(TBitmap32& picture);

// The frame of an in-place 3 x 3 pass. Calls rowPass(up, mid, down, out) for every row y
// from 1 to H - 2 (none when the picture has fewer than three rows): up, mid and down
// are rows y - 1, y and y + 1 as they were before the pass, out is row y of the picture,
// which rowPass may overwrite. Rows run in parallel bands with no copy of the picture;
// the result equals that of the serial loop over an untouched copy. Rows 0 and H - 1
// are never handed out for writing.
using InteriorRowPass = std::function<void(const std::uint32_t* up, const std::uint32_t* mid,
                                           const std::uint32_t* down, std::uint32_t* out)>;
void forEachInteriorRow(TBitmap32& picture, const InteriorRowPass& rowPass);

} // namespace quill
