#include "effects/PenAndInk.h"

#include "effects/PencilSketch.h"
#include "imaging/Colour.h"
#include "imaging/GreyRows.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quill {
namespace {

constexpr std::uint32_t kColourMask = 0x00ffffffu;

} // namespace

void PictureTwoValue(TBitmap32& picture, const PenAndInkParams& params) {
    const std::uint32_t black = makePixel(0, 0, 0, 255);
    const std::uint32_t paper = params.hollow ? CutoutColor : makePixel(255, 255, 255, 255);
    // Greys are 0..255: a threshold outside that range makes everything black or nothing.
    const std::uint32_t limit = std::uint32_t(std::clamp(params.threshold, -1, 255) + 1);
    // Each pixel depends on itself only, so the picture is rewritten in place.
    mapGreyRows(picture, picture, inkGreyRow,
                [=](std::uint32_t, std::uint32_t grey) { return grey < limit ? black : paper; });
}

TBitmap32 penandink(const TBitmap32& inkBase, bool hollow) {
    const int w = inkBase.width(), h = inkBase.height();
    const std::uint32_t cleared = hollow ? CutoutColor : makePixel(255, 255, 255, 255);
    TBitmap32 out = TBitmap32::uninitialized(w, h);
    parallelRows(h, std::size_t(w), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* mid = inkBase.row32(y);
            std::uint32_t* dst = out.row32(y);
            if (y == 0 || y == h - 1 || w < 3) {
                std::memcpy(dst, mid, std::size_t(w) * 4);
                continue;
            }
            const std::uint32_t* up = inkBase.row32(y - 1);
            const std::uint32_t* down = inkBase.row32(y + 1);
            dst[0] = mid[0];
            const int last = w - 1; // a local bound: the loop below must see it cannot change
            for (int x = 1; x < last; ++x) {
                const std::uint32_t any = up[x - 1] | up[x] | up[x + 1] | mid[x - 1] | mid[x] |
                                          mid[x + 1] | down[x - 1] | down[x] | down[x + 1];
                const std::uint32_t keep = 0u - std::uint32_t((any & kColourMask) != 0);
                dst[x] = (mid[x] & keep) | (cleared & ~keep);
            }
            dst[w - 1] = mid[w - 1];
        }
    });
    return out;
}

TBitmap32 penAndInk(const TBitmap32& original, const PenAndInkParams& params) {
    TBitmap32 inkBase(original);
    PictureTwoValue(inkBase, params);
    return penandink(inkBase, params.hollow);
}

} // namespace quill
