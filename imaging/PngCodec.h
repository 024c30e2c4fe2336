#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quill {

// Encodes picture as an 8-bit RGBA PNG: lossless, all four bytes of every pixel kept.
// An empty picture gives an empty vector.
std::vector<std::uint8_t> encodePng(const TBitmap32& picture);

// Decodes a PNG of any colour type and depth into the 32-bit form, keeping the file's
// alpha (tRNS included); forms without alpha read with alpha 255. 16-bit samples are
// scaled to 8 bits with rounding. The orientation of an eXIf chunk is reported in the
// result, the pixels left as stored. A damaged file gives the empty picture.
LoadResult decodePng(const std::uint8_t* data, std::size_t size);

} // namespace quill
