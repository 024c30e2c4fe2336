#pragma once

// Plain transcriptions of the colour effects, one pixel at a time, in the order the
// arithmetic is written down. The fast effects must give these pictures to the byte.

#include <cstdint>

#include "LiteralSketchEffects.h"
#include "effects/Fringe.h"
#include "imaging/Bitmap32.h"

namespace quill::literal {

TBitmap32 realismArt(const TBitmap32& original, const Kernel3x3& kernel);
TBitmap32 abstractArt(const TBitmap32& original, const Kernel3x3& kernel);
TBitmap32 popArt(const TBitmap32& original, const Kernel3x3& kernel);
void sharpen(TBitmap32& picture);
void soften(TBitmap32& picture);
TBitmap32 waterColor(const TBitmap32& original);
TBitmap32 colorPanels(const TBitmap32& original);
TBitmap32 colorBlocksVH(const TBitmap32& original);
TBitmap32 colorBlocksCatercorner(const TBitmap32& original);
// Draws from *seed with the runtime's generator, row offset first, and leaves the
// final state in *seed.
TBitmap32 brume(const TBitmap32& original, std::uint32_t* seed);

} // namespace quill::literal
