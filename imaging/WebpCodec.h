#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>

namespace quill {

// Decodes a WebP file (lossy or lossless, with or without alpha) with libwebp into the
// 32-bit form; pictures without alpha read with alpha 255. Of an animation, the first
// frame as it shows on the canvas (transparent where the frame does not cover it). The
// orientation of an EXIF chunk is reported in the result, the pixels left as stored.
// The canvas size is checked before anything is decoded.
LoadResult decodeWebp(const std::uint8_t* data, std::size_t size);

} // namespace quill
