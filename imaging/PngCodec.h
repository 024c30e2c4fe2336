#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quill {

// How a PNG is compressed: the one row filter used for every row (or libpng's adaptive
// choice), zlib's level (0..9) and its strategy. The defaults are encodePng's own.
enum class PngFilter { None, Sub, Up, Average, Paeth, Adaptive };
enum class PngStrategy { Default, Filtered, HuffmanOnly, Rle };
struct PngEncoding {
    PngFilter filter = PngFilter::Sub;
    int zlibLevel = 1;
    PngStrategy strategy = PngStrategy::Default;
};

// Encodes picture as an 8-bit RGBA PNG: lossless, all four bytes of every pixel kept.
// An empty picture gives an empty vector.
std::vector<std::uint8_t> encodePng(const TBitmap32& picture);
std::vector<std::uint8_t> encodePng(const TBitmap32& picture, const PngEncoding& encoding);

// Decodes a PNG of any colour type and depth into the 32-bit form, keeping the file's
// alpha (tRNS included); forms without alpha read with alpha 255. 16-bit samples are
// scaled to 8 bits with rounding. A damaged file gives the empty picture.
LoadResult decodePng(const std::uint8_t* data, std::size_t size);

} // namespace quill
