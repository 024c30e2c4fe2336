#pragma once

#include <cstdint>

namespace quill {

// DrawOnto's blend of n source pixels over n destination pixels that are all opaque
// (alpha 255): the same bytes BlendPixel gives, in a loop the compiler vectorises.
void blendRowOverOpaque(std::uint32_t* dest, const std::uint32_t* source, int n);
// The same without the wider vector instructions of newer processors (which
// blendRowOverOpaque uses where the processor has them).
void blendRowOverOpaqueBaseline(std::uint32_t* dest, const std::uint32_t* source, int n);

// True when every one of the n pixels has alpha 255.
bool rowOpaque(const std::uint32_t* row, int n);
// Copies n pixels from source to dest while they are all opaque. Returns true when the
// whole run was opaque and copied; false as soon as a cache line of the source holds a
// see-through pixel (some of the run may have been copied by then).
bool copyIfOpaque(std::uint32_t* dest, const std::uint32_t* source, int n);
// DrawOnto's blend of n source pixels over n destination pixels: blendRowOverOpaque when
// destOpaque says every destination pixel is opaque, else BlendPixel pixel by pixel.
void blendRow(std::uint32_t* dest, const std::uint32_t* source, int n, bool destOpaque);

} // namespace quill
