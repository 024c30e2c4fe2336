#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/Bitmap32.h"

namespace quill {

// A 3 x 3 kernel as the set-up dialogs show it (Edit1..Edit9): top row k(-1,-1),
// k(0,-1), k(1,-1), then the middle row, then the bottom row; y grows downwards.
using Kernel3x3 = std::array<std::int64_t, 9>;

// The dialogs' start texts, which "Default" writes back.
inline constexpr Kernel3x3 kRealismDefault{1, 2, 1, 0, 0, 0, -1, -1, -1};
inline constexpr Kernel3x3 kAbstractDefault{-1, -1, -1, 0, 0, 0, -1, -1, -1};
inline constexpr Kernel3x3 kPopArtDefault{-1, -2, -1, 0, 0, 0, 1, 2, 1};

// Realism, the convolution with divisor 1 on a copy of the original: interior pixels
// (rows 1..H-2, columns 1..W-2) get, per colour channel, the kernel sum over the
// original, clamped to 0..255, and alpha 255. CutoutColor pixels and the outermost rows
// and columns are left alone. Sums are taken wide enough that no kernel can overflow them.
TBitmap32 realismArt(const TBitmap32& original, const Kernel3x3& kernel);

// Abstract: per channel the larger of the clamped kernel sum and the clamped fixed
// gradient s(-1,*) - s(1,*) summed over the three rows, borders copied from the
// neighbouring column and row, then every byte inverted. CutoutColor pixels come out
// as CutoutColor.
TBitmap32 abstractArt(const TBitmap32& original, const Kernel3x3& kernel);

// Pop art: as Abstract with the right-minus-left Sobel kernel -1 0 1 / -2 0 2 / -1 0 1.
TBitmap32 popArt(const TBitmap32& original, const Kernel3x3& kernel);

// Reads the nine kernel fields, Edit1..Edit9, each a 32-bit decimal integer as the
// dialog's fields hold. On failure returns nullopt and sets *error to the conversion's
// message for the first bad field ("'x' is not a valid integer value").
std::optional<Kernel3x3> kernelFromTexts(const std::array<std::string, 9>& fields,
                                         std::string* error);

// The same from one comma-separated text "k1,k2,...,k9" (the command line's form).
// A wrong number of entries gives "a kernel needs nine comma-separated integers".
std::optional<Kernel3x3> parseKernel(std::string_view text, std::string* error);

} // namespace quill
