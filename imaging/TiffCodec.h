#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>

namespace quill {

// Decodes the first page of a TIFF file with libtiff into the 32-bit form: 8 and 16
// bits a sample (16 scaled to 8, rounded), RGB, grey, palette and CMYK (converted as
// JPEG's CMYK is), any compression libtiff reads, in strips or tiles. An alpha sample
// is kept as straight alpha (colours stored multiplied by it are divided back);
// pictures without alpha read with alpha 255. The file's orientation tag is reported
// in the result, the pixels left as stored. The size is checked before anything sized
// by it is allocated, and no single allocation of libtiff's may pass kTiffMemoryLimit.
LoadResult decodeTiff(const std::uint8_t* data, std::size_t size);

inline constexpr std::int64_t kTiffMemoryLimit = 256ll << 20;

} // namespace quill
