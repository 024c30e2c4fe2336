#pragma once

// Plain transcriptions of the effects' arithmetic, pixel by pixel and channel by channel,
// in the order it is written down, with no table, no band and no shortcut. The fast
// effects are compared with these to the byte, on the shared test pictures and sizes of
// tests/RandomPictures.h.

#include "effects/Fringe.h"
#include "imaging/Bitmap32.h"
#include "tests/RandomPictures.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill::literal {

void picsobel(TBitmap32& picture);
TBitmap32 greyBase(const TBitmap32& edgeBase);
TBitmap32 lighting(const TBitmap32& edgeBase, int position);
TBitmap32 contrast(const TBitmap32& greyBase, int position);
TBitmap32 penThreshold(const TBitmap32& edgeBase, int pressure, bool hollow);
void pictureTwoValue(TBitmap32& picture, int threshold, bool hollow);
TBitmap32 penandink(const TBitmap32& inkBase, bool hollow);
void bitmapDilate(TBitmap32& picture, int direction);

using testpictures::kOddSizes;
using testpictures::name;
using testpictures::photoLikePicture;
using testpictures::Size;

// Small pictures drawn as rows of characters: '#' black, '.' white, 'o' CutoutColor,
// '?' anything else. Black and white are opaque, or of any alpha when anyAlpha is set.
TBitmap32 fromRows(const std::vector<std::string>& rows);
std::vector<std::string> toRows(const TBitmap32& picture, bool anyAlpha = false);

// "" when the pictures are equal, else where they first differ.
std::string difference(const TBitmap32& actual, const TBitmap32& expected);

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
