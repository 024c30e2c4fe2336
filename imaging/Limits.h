#pragma once

#include <cstdint>

namespace quill {

// The largest picture the program agrees to hold: a reader refuses anything bigger
// before it allocates, and resampling refuses to grow past it.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr std::int64_t kMaxPicturePixels = 200'000'000;

inline constexpr bool pictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

} // namespace quill
