#pragma once
// PNG for the layered scene files, where a save or an open handles ten full-size pictures
// at once: the picture data compressed and inflated whole by libdeflate, which does both
// two to three times as fast as zlib through libpng (see bench/scene_files.cpp). libpng
// cannot be given another deflate, so the few lines of PNG framing are written here:
// signature, IHDR, one IDAT, IEND, each with its checksum. The files are ordinary PNGs.
#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quill {

// Encodes picture as an 8-bit RGBA PNG, not interlaced, every row with the "sub" filter,
// at libdeflate's level (1 the fastest .. 12): lossless, all four bytes of every pixel kept.
// An empty picture gives an empty vector.
std::vector<std::uint8_t> encodePngFast(const TBitmap32& picture, int level = 1);

// Decodes a PNG as decodePng does, with its bounds, messages and results: 8-bit RGBA and
// RGB files without a transparency chunk, not interlaced, through libdeflate; every other
// form through decodePng.
LoadResult decodePngFast(const std::uint8_t* data, std::size_t size);

} // namespace quill
