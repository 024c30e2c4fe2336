#pragma once

#include "imaging/Bitmap32.h"

#include <cstddef>
#include <cstdint>

namespace quill {

// The orientation a camera records for its picture (the EXIF and TIFF tag 0x0112):
// 1 upright, 2 mirrored left to right, 3 turned half round, 4 mirrored top to bottom,
// 5 mirrored along the main diagonal, 6 to be turned a quarter clockwise, 7 mirrored
// along the other diagonal, 8 to be turned a quarter anticlockwise.
inline constexpr int kUpright = 1;

// True for the orientations whose upright picture has the width and height swapped.
inline constexpr bool orientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// The orientation recorded in an EXIF block: the TIFF structure (byte order mark,
// first directory) with or without the "Exif\0\0" header that JPEG files put before it.
// Only the first directory is looked at and only entries inside the block are read.
// 1 when the block has no such tag, or a value outside 1..8.
int exifOrientation(const std::uint8_t* block, std::size_t size);

// Turns a picture stored in the given orientation upright. Orientations 2 to 4 are
// done in place; 5 to 8 make a picture with the sides swapped. 1 (and any value
// outside 1..8) leaves the picture as it is.
TBitmap32 orientPicture(TBitmap32 stored, int orientation);

// Places the rows of a picture stored in some orientation into its upright picture as
// they are decoded, so that a reader needs no second picture to turn it.
class OrientedRows {
  public:
    // upright must already have the upright size of a storedWidth x storedHeight picture.
    OrientedRows(TBitmap32& upright, int orientation, int storedWidth, int storedHeight);

    // Stored rows firstRow .. firstRow + count - 1, each storedWidth pixels, one after
    // another strideBytes apart.
    void put(int firstRow, const std::uint8_t* rows, std::size_t strideBytes, int count);

  private:
    TBitmap32& m_upright;
    int m_orientation;
    int m_width, m_height; // stored
};

} // namespace quill
