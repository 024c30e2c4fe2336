#include "effects/WaterColor.h"

#include <utility>

#include "effects/SharpenSoften.h"

namespace quill {

TBitmap32 waterColor(const TBitmap32& original) {
    if (original.width() < 3 || original.height() < 3)
        return original;
    // Two pictures used in turn: each pass writes the interior of one from the other.
    // Neither filter changes the borders or the alpha bytes, so both pictures keep the
    // original's there and no pass needs a fresh copy.
    TBitmap32 current = original;
    TBitmap32 next = original;
    for (int round = 0; round < 3; ++round) {
        sharpenInto(current, next);
        std::swap(current, next);
        softenInto(current, next);
        std::swap(current, next);
        softenInto(current, next);
        std::swap(current, next);
    }
    return current;
}

} // namespace quill
