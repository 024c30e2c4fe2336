#include "effects/Kryptol.h"

#include "effects/EdgeSketch.h"
#include "effects/PenSketch.h"

#include <atomic>
#include <cstdint>

namespace quill {
namespace {

constexpr std::uint32_t kColourMask = 0x00ffffffu;

struct StrokeNeighbours {
    int dx1, dy1, dx2, dy2;
};

// One stroke; returns whether any pixel changed.
bool dilateOnce(TBitmap32& picture, int direction) {
    static constexpr StrokeNeighbours kNeighbours[4] = {
        {-1, 1, 1, -1}, // rising diagonal
        {-1, -1, 1, 1}, // falling diagonal
        {0, 1, 0, -1},  // vertical
        {-1, 0, 1, 0},  // horizontal
    };
    const int w = picture.width(), h = picture.height();
    if (direction < 1 || direction > 4 || w < 3 || h < 3)
        return false;
    const StrokeNeighbours n = kNeighbours[direction - 1];
    std::atomic<bool> changed{false};
    // The neighbours are read from the rows as they were before the stroke.
    forEachInteriorRow(picture, [&](const std::uint32_t* up, const std::uint32_t* mid,
                                    const std::uint32_t* down, std::uint32_t* out) {
        const std::uint32_t* rows[3] = {up, mid, down};
        const std::uint32_t* first = rows[n.dy1 + 1] + n.dx1;
        const std::uint32_t* second = rows[n.dy2 + 1] + n.dx2;
        const int last = w - 1;
        std::uint32_t rowChanged = 0;
        for (int x = 1; x < last; ++x) {
            // Branch-free, so that the loop is vectorised: turn is 1 or 0.
            const std::uint32_t p = mid[x];
            const std::uint32_t allColoured = std::uint32_t((p & 0xff) != 0) &
                                              std::uint32_t((p & 0xff00) != 0) &
                                              std::uint32_t((p & 0xff0000) != 0);
            const std::uint32_t touches = std::uint32_t((first[x] & kColourMask) == 0) |
                                          std::uint32_t((second[x] & kColourMask) == 0);
            const std::uint32_t turn = allColoured & touches;
            out[x] = p & ~(kColourMask * turn);
            rowChanged |= turn;
        }
        if (rowChanged)
            changed.store(true, std::memory_order_relaxed);
    });
    return changed.load();
}

} // namespace

void BitmapDilate(TBitmap32& picture, int direction) {
    dilateOnce(picture, direction);
}

TBitmap32 kryptol(const TBitmap32& original, const KryptolParams& params) {
    TBitmap32 edgeBase(original);
    picsobel(edgeBase);
    TBitmap32 result = penSketchThreshold(edgeBase, {kKryptolPressure, params.hollow});
    // A stroke that changes nothing leaves the same picture for the next one, so the
    // presses after it are skipped.
    for (int i = 0; i < params.strokes; ++i)
        if (!dilateOnce(result, params.direction))
            break;
    return result;
}

} // namespace quill
