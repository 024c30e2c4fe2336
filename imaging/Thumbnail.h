#pragma once

#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quill {

struct PictureSize {
    int width = 0, height = 0;
};

// The size a thumbnail is made at, from the picture's full upright size.
using ThumbnailSizeRule = std::function<PictureSize(int width, int height)>;

// A picture read for a thumbnail.
struct ThumbnailRead {
    // The picture reduced by resampleNearest to the size the rule gives; empty when
    // the file could not be read.
    TBitmap32 picture;
    // The picture's full size, upright as LoadPictureFile gives it.
    int fullWidth = 0, fullHeight = 0;
    std::string message; // as LoadResult's
};

// Reads a picture for a thumbnail as LoadPictureFile reads it, at less cost where the
// form allows: a JPEG is decoded at the smallest eighth of its size (libjpeg's scaled
// decoding, 1/8 .. 7/8) that still gives the thumbnail's size, and only then reduced,
// so it may differ from the reduction of a full decode by a level or two of a channel
// where the picture is smooth (a reduced decode averages what a full one samples).
// Other forms are read whole, and give exactly the reduction of the full picture.
ThumbnailRead LoadThumbnail(const std::string& path, const ThumbnailSizeRule& size,
                            const LoadOptions& options = currentLoadOptions());
ThumbnailRead decodeThumbnailBytes(const std::uint8_t* data, std::size_t size,
                                   const std::string& fileName, const ThumbnailSizeRule& rule,
                                   const LoadOptions& options = currentLoadOptions());

} // namespace quill
