#include "effects/Kryptol.h"

#include "effects/EdgeSketch.h"
#include "effects/PenSketch.h"
#include "imaging/Parallel.h"

#include <atomic>
#include <cstdint>

namespace quill {
namespace {

constexpr std::uint32_t kColourMask = 0x00ffffffu;
constexpr std::uint32_t kAlphaMask = 0xff000000u;

struct StrokeNeighbours {
    int dx1, dy1, dx2, dy2;
};

// One stroke; returns whether any pixel changed.
bool dilateOnce(TBitmap32& picture, int direction)
{
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
    // The neighbours are read from the picture as it was before the stroke.
    const TBitmap32 before(picture);
    std::atomic<bool> changed{false};
    parallelRows(h - 2, std::size_t(w), [&](int begin, int end) {
        std::uint32_t bandChanged = 0;
        const int last = w - 1; // a local bound: the loop below must see it cannot change
        for (int y = begin + 1; y < end + 1; ++y) {
            const std::uint32_t* first = before.row32(y + n.dy1) + n.dx1;
            const std::uint32_t* second = before.row32(y + n.dy2) + n.dx2;
            const std::uint32_t* centre = before.row32(y);
            std::uint32_t* dst = picture.row32(y);
            for (int x = 1; x < last; ++x) {
                // Branch-free, so that the loop is vectorised: turn is 1 or 0.
                const std::uint32_t p = centre[x];
                const std::uint32_t allColoured =
                    std::uint32_t((p & 0xff) != 0) & std::uint32_t((p & 0xff00) != 0) &
                    std::uint32_t((p & 0xff0000) != 0);
                const std::uint32_t touches = std::uint32_t((first[x] & kColourMask) == 0) |
                                              std::uint32_t((second[x] & kColourMask) == 0);
                const std::uint32_t turn = allColoured & touches;
                dst[x] = p & ~(kColourMask * turn);
                bandChanged |= turn;
            }
        }
        if (bandChanged)
            changed.store(true, std::memory_order_relaxed);
    });
    return changed.load();
}

} // namespace

void BitmapDilate(TBitmap32& picture, int direction) { dilateOnce(picture, direction); }

TBitmap32 kryptol(const TBitmap32& original, const KryptolParams& params)
{
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
