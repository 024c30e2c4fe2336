#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>

namespace quill {

// Decodes the primary image of a HEIF file (HEIC, and AVIF through the same container)
// with libheif into the 32-bit form, keeping its alpha; pictures without alpha read
// with alpha 255, pictures of more than 8 bits a sample are scaled to 8. libheif crops,
// turns and mirrors the picture as the file's properties say, unless
// applyTransformations is false (the picture as coded). The EXIF orientation inside
// the file is not used again, so a picture is turned once, and the result's orientation
// stays 1. The sizes decoding will allocate are checked first (imaging/HeifBoxes.h).
LoadResult decodeHeif(const std::uint8_t* data, std::size_t size, bool applyTransformations);

} // namespace quill
