#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill {

// Reads an icon (or cursor) file with BMP and PNG images. The largest image is taken,
// and among equally large ones the deepest; an image that cannot be decoded gives way
// to the next in that order. The icon is drawn on a new white picture: 32-bit images
// are alpha-blended over white, the others (and 32-bit images whose alpha is all zero)
// show white where their AND mask is set. The result is opaque (alpha 255).
// On failure the picture is empty and message is "Input picture" + fileName + "Error."
// + the reason, joined with nothing between. Never throws.
LoadResult decodeIco(const std::uint8_t* data, std::size_t size, const std::string& fileName);

} // namespace quill
