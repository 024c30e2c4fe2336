#pragma once

#include <cstdint>

#include "imaging/Bitmap32.h"

namespace quill {

// The four colour filters of Color Panels and Color Blocks: each overwrites one or two
// colour bytes of a pixel word (0xAARRGGBB) and keeps the rest, alpha included.
struct ColorFilter {
    std::uint32_t keep; // the bits that stay
    std::uint32_t set;  // the bits that become 1
    constexpr std::uint32_t operator()(std::uint32_t p) const { return (p & keep) | set; }
};
inline constexpr ColorFilter kRedFilter{0xffffffffu, 0x00ff0000u};     // R := 255
inline constexpr ColorFilter kYellowFilter{0xffffff00u, 0x0000ff00u};  // G := 255, B := 0
inline constexpr ColorFilter kBlueFilter{0xff00ffffu, 0x000000ffu};    // R := 0, B := 255
inline constexpr ColorFilter kMagentaFilter{0xffffffffu, 0x00ff00ffu}; // R := 255, B := 255

// Color Panels: the picture at half size four times, red top left, yellow top right,
// blue bottom left, magenta bottom right. Each panel's first row and column, and the
// last row or column when a side is odd, keep the full-size picture's pixels there;
// alpha bytes are the original's.
TBitmap32 colorPanels(const TBitmap32& original);

// Color Blocks (V && H): quarters split at W/2 and H/2, red top left, yellow bottom
// left, blue top right, magenta bottom right; row 0 and column 0 unfiltered.
TBitmap32 colorBlocksVH(const TBitmap32& original);

// Color Blocks (Catercorner): triangles between the two diagonals, red top, yellow
// right, magenta bottom, blue left; a pixel on the diagonal from the top-left corner
// goes to the left or bottom triangle, one on the other diagonal to the right or
// bottom one. Row 0 and column 0 unfiltered.
TBitmap32 colorBlocksCatercorner(const TBitmap32& original);

} // namespace quill
