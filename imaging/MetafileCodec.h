#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quill {

// Reads an enhanced metafile (EMF) or a Windows metafile (WMF, with or without the
// placeable header) whose content is bitmap records: EMR_STRETCHDIBITS, EMR_BITBLT,
// EMR_STRETCHBLT and EMR_SETDIBITSTODEVICE; META_STRETCHDIB, META_DIBSTRETCHBLT,
// META_DIBBITBLT and META_SETDIBTODEV. The picture has the metafile's size (EMF: its
// bounds in device pixels; WMF: the placeable box at 96 dots per inch, else the window
// extent, else the bitmaps' extent), starts opaque white and gets every bitmap record
// drawn in order, stretched nearest-neighbour. A metafile with no bitmap record gives
// the empty picture and an empty message; a damaged one the empty picture and the
// reason. Never throws.
LoadResult decodeMetafile(const std::uint8_t* data, std::size_t size);

// An enhanced metafile of the picture's size holding it as one EMR_STRETCHDIBITS record
// with a 24-bit bottom-up DIB (alpha dropped): header, record, end-of-file record.
// A 96 dots-per-inch reference device. An empty picture gives an empty vector.
std::vector<std::uint8_t> encodeEmf(const TBitmap32& picture);

} // namespace quill
