#pragma once

#include "imaging/AtomicFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quill {

struct PaletteColour {
    std::uint8_t r = 0, g = 0, b = 0;
};
using GifPalette = std::array<PaletteColour, 256>;

// 256 greys, index i = grey i.
GifPalette greyPalette();
// 256 steps from dark to white through the given colour at index 128.
GifPalette rampPalette(PaletteColour dark, PaletteColour middle);

// Writes a single-image 8-bit GIF (width x height palette indices, rows top to bottom)
// through giflib, to a temporary name in the same folder that is renamed over path when
// complete; on failure nothing is left behind and an existing file keeps its bytes.
WriteResult writeIndexedGif(const std::string& path, int width, int height,
                            const std::vector<std::uint8_t>& indices, const GifPalette& palette);

} // namespace quill
