#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quill {

// The quality of every JPEG the program writes.
inline constexpr int kJpegQuality = 90;

// Encodes the blue, green and red bytes of picture as a baseline JPEG (alpha is not
// stored). An empty picture gives an empty vector.
std::vector<std::uint8_t> encodeJpeg(const TBitmap32& picture, int quality = kJpegQuality);

// Decodes a JPEG (colour, grey, CMYK or YCCK; baseline, progressive or arithmetic)
// into the 32-bit form with alpha 255. A damaged file gives the empty picture; a
// file that ends early gives the part decoded, mid-grey below it.
LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size);

// A progressive file with more scans than this is refused.
inline constexpr int kJpegMaxScans = 500;

} // namespace quill
