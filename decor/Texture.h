#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/Colour.h"

#include <string>

namespace quill {

// The tiles repeat with this period in both directions, whatever their own size.
inline constexpr int kTileSize = 58;
inline constexpr int kTextureTileCount = 12;

// True when the tile covers a whole period (at least 58 x 58); a smaller tile is refused
// by the caller. A larger one is read in its top-left 58 x 58.
bool tileUsable(const TBitmap32& tile);

// Writes into target the source with the tile's relief: per pixel, the source's
// lightness is moved by (tile lightness - 70), hue and saturation kept, alpha 255.
// Target may be the same picture as source. A tile that is not usable (tileUsable) lays
// no relief: target gets the source unchanged.
void ApplyTexture(const TBitmap32& tile, const TBitmap32& source, TBitmap32& target);

// The program's own tiles, k = 1..12 (58 x 58, alpha 255): canvas weave, paper, brick,
// wood grain, stone, linen, sand, cork, leather, dots, crackle, ripples.
// An empty picture for k out of range.
const TBitmap32& textureTile(int k);
// The tile's name as listed above ("canvas weave" .. "ripples"); empty out of range.
std::string textureTileName(int k);

// RGBtoHSL360 computed with exact integer arithmetic, falling back to the double
// formula only where the exact value is a rounding tie; equal on all 2^24 colours.
HSL360 RGBtoHSL360Fast(int r, int g, int b);
// HSLtoRGB360 for h 0..360, s and l 0..100 as a pixel word (alpha 255), read from small
// per-(hue, saturation) and per-lightness tables built once (thread-safe) with the
// formula's own double arithmetic; equal to HSLtoRGB360 on every input.
std::uint32_t HSLtoPixelFast(int h, int s, int l);

} // namespace quill
