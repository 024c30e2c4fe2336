#pragma once

// Plain transcriptions of the sketch effects' arithmetic, pixel by pixel and channel by
// channel, with no table, no band and no shortcut. The fast versions are compared with
// these to the byte, on the test pictures and sizes below (shared with the colour effects).

#include "imaging/Bitmap32.h"

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

// A photograph-like test picture: smooth gradients with noise and a few hard edges,
// alpha bytes varied, and about one pixel in fourteen CutoutColor when cutouts is set.
// The same seed gives the same picture.
TBitmap32 photoLikePicture(int width, int height, std::uint32_t seed, bool cutouts = true);

// The sizes on which the fast passes, sketch and colour, are compared with their plain
// twins: every loop edge of a 3 x 3
// pass (no interior, one interior row or column, odd widths) and one picture large
// enough to be split into parallel bands.
struct Size {
    int width, height;
};
inline constexpr Size kOddSizes[] = {{1, 1}, {1, 5}, {5, 1}, {2, 2},   {2, 3},    {3, 2},
                                     {3, 3}, {5, 3}, {7, 9}, {64, 33}, {509, 263}};
inline std::string name(Size s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

// Small pictures drawn as rows of characters: '#' black, '.' white, 'o' CutoutColor,
// '?' anything else. Black and white are opaque, or of any alpha when anyAlpha is set.
TBitmap32 fromRows(const std::vector<std::string>& rows);
std::vector<std::string> toRows(const TBitmap32& picture, bool anyAlpha = false);

// "" when the pictures are equal, else where they first differ.
std::string difference(const TBitmap32& actual, const TBitmap32& expected);

} // namespace quill::literal
