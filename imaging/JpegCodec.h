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

// How a JPEG is decoded.
struct JpegReadOptions {
    // Turn the picture upright by the EXIF orientation of its APP1 block as it is
    // decoded; false leaves it as stored and reports the orientation in the result.
    bool applyOrientation = false;
    // Decode at scaleEighths / 8 of the full size (1..8), each side rounded up: libjpeg
    // leaves out the finer frequencies, so a reduced picture costs a fraction of the time.
    int scaleEighths = 8;
};

// Decodes a JPEG (colour, grey, CMYK or YCCK; baseline, progressive or arithmetic)
// into the 32-bit form with alpha 255. A damaged file gives the empty picture; a
// file that ends early gives the part decoded, mid-grey below it.
LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size,
                      const JpegReadOptions& options = {});

// A JPEG's frame size and EXIF orientation, read from its markers without decoding.
struct JpegHeader {
    bool ok = false;
    int width = 0, height = 0; // as stored
    int orientation = 1;
};
JpegHeader readJpegHeader(const std::uint8_t* data, std::size_t size);

// A progressive file with more scans than this is refused.
inline constexpr int kJpegMaxScans = 500;

} // namespace quill
