#pragma once

#include <cstddef>
#include <cstdint>

namespace quill {

// What decoding the primary image of a HEIF file would cost, read from the file's boxes
// before libheif decodes anything. libheif 1.15 checks the declared size (ispe) of each
// image against its side limit, but then allocates what a grid's header and each coded
// image's own sequence header say, which a small file may set to hundreds of megapixels
// while declaring a few pixels.
struct HeifSizes {
    // The primary image's size as declared: the canvas of a grid or overlay, else its
    // ispe (0 x 0 when the boxes could not be read).
    std::int64_t width = 0, height = 0;
    // True when every image decoding the primary involves (the primary or the tiles
    // of its grid or overlay, and their alpha images) is a HEVC or AV1 image whose
    // coded size fits its declared size (rounded up to 64, the largest coding block),
    // each within the picture limits, the tiles together at most twice the pixel limit.
    bool consistent = false;
};

HeifSizes readHeifSizes(const std::uint8_t* data, std::size_t size);

} // namespace quill
