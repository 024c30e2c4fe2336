#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>

namespace quill {

// Decodes the first image of a GIF onto its logical screen: the picture has the
// screen's size, the image is clipped to it, and pixels outside the image (or
// transparent in it) take the screen's background colour, white if it has none.
// Alpha is 255 everywhere. A file that breaks off inside the image keeps the rows
// decoded so far; a file with no image, an empty image or a bad LZW code size gives
// the empty picture.
LoadResult decodeGif(const std::uint8_t* data, std::size_t size);

} // namespace quill
