#include "effects/EdgeSketch.h"

#include "imaging/Parallel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace quill {
namespace {

constexpr std::uint32_t kColourMask = 0x00ffffffu;
constexpr std::uint32_t kAlphaMask = 0xff000000u;

// One interior row of the edge operator, written already inverted. The loop runs over
// the bytes of columns 1 .. W - 2 so that the compiler vectorises it; the alpha bytes it
// computes there are replaced by the inverted source alpha afterwards.
void edgeRow(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
             std::uint8_t* out, int width) {
    const int last = 4 * (width - 1);
    for (int i = 4; i < last; ++i) {
        // Every sum lies within -1530 .. 1530: 16-bit lanes hold it, eight to a vector.
        const std::int16_t left = std::int16_t(up[i - 4] + mid[i - 4] + down[i - 4]);
        const std::int16_t right = std::int16_t(up[i + 4] + mid[i + 4] + down[i + 4]);
        const std::int16_t above = std::int16_t(up[i - 4] + up[i] + up[i + 4]);
        const std::int16_t below = std::int16_t(down[i - 4] + down[i] + down[i + 4]);
        // -1 -1 -1 / 0 6 0 / -1 -1 -1, and 1 0 -1 in each row.
        std::int16_t r1 = std::int16_t(6 * mid[i] - above - below);
        std::int16_t r2 = std::int16_t(left - right);
        r1 = std::clamp<std::int16_t>(r1, 0, 255);
        r2 = std::clamp<std::int16_t>(r2, 0, 255);
        out[i] = std::uint8_t(255 - std::max(r1, r2));
    }
    const std::uint32_t* mid32 = reinterpret_cast<const std::uint32_t*>(mid);
    std::uint32_t* out32 = reinterpret_cast<std::uint32_t*>(out);
    for (int x = 1; x < width - 1; ++x)
        out32[x] = (out32[x] & kColourMask) | (~mid32[x] & kAlphaMask);
}

} // namespace

void forEachInteriorRow(TBitmap32& picture, const InteriorRowPass& rowPass) {
    const int w = picture.width(), h = picture.height();
    const int rows = h - 2;
    if (w <= 0 || rows <= 0)
        return;
    const std::size_t rowBytes = std::size_t(w) * 4;
    // Bands of rows 1 .. H-2. The row above a band's first row and the row below its last
    // belong to the neighbouring bands, which may overwrite them first: both are saved
    // before the bands start. Inside a band the untouched copy of the row above travels
    // in a buffer of its own.
    const int bands = std::min(rows, std::max(1, workerCount() * 4));
    const auto bandStart = [&](int band) { return 1 + int(std::int64_t(rows) * band / bands); };
    std::vector<std::uint32_t> saved(std::size_t(bands) * 2 * std::size_t(w));
    const auto above = [&](int band) { return saved.data() + std::size_t(band) * 2 * w; };
    const auto below = [&](int band) { return above(band) + w; };
    for (int band = 0; band < bands; ++band) {
        std::memcpy(above(band), picture.row32(bandStart(band) - 1), rowBytes);
        std::memcpy(below(band), picture.row32(bandStart(band + 1)), rowBytes);
    }

    parallelRows(
        bands, std::size_t(w) * std::size_t(rows) / std::size_t(bands), [&](int first, int last) {
            std::vector<std::uint32_t> buffers(std::size_t(w) * 2);
            std::uint32_t* previous = buffers.data(); // row y - 1 as it was
            std::uint32_t* current = previous + w;    // row y as it was
            for (int band = first; band < last; ++band) {
                const int begin = bandStart(band), end = bandStart(band + 1);
                std::memcpy(previous, above(band), rowBytes);
                for (int y = begin; y < end; ++y) {
                    std::memcpy(current, picture.row32(y), rowBytes);
                    // Row y + 1 of this band is still untouched; the one after the band's end
                    // is the saved copy.
                    const std::uint32_t* down = y + 1 < end ? picture.row32(y + 1) : below(band);
                    rowPass(previous, current, down, picture.row32(y));
                    std::swap(previous, current);
                }
            }
        });
}

void picsobel(TBitmap32& picture) {
    const int w = picture.width(), h = picture.height();
    if (picture.empty())
        return;

    // Interior pixels: computed from the rows as they were, stored inverted. Every other
    // pixel still holds its source value until the border steps below.
    if (w >= 3)
        forEachInteriorRow(picture, [w](const std::uint32_t* up, const std::uint32_t* mid,
                                        const std::uint32_t* down, std::uint32_t* out) {
            edgeRow(reinterpret_cast<const std::uint8_t*>(up),
                    reinterpret_cast<const std::uint8_t*>(mid),
                    reinterpret_cast<const std::uint8_t*>(down),
                    reinterpret_cast<std::uint8_t*>(out), w);
        });

    const auto interior = [&](int x, int y) {
        return x >= 1 && x <= w - 2 && y >= 1 && y <= h - 2;
    };
    // The colour of a pixel before the inversion.
    const auto colourAt = [&](int x, int y) {
        const std::uint32_t p = picture.pixel(x, y);
        return (interior(x, y) ? ~p : p) & kColourMask;
    };
    // Copies only the colour bytes; a copy from or to outside the picture is skipped.
    const auto copyColour = [&](int fromX, int fromY, int toX, int toY) {
        if (fromX < 0 || fromX >= w || fromY < 0 || fromY >= h || toX < 0 || toX >= w || toY < 0 ||
            toY >= h)
            return;
        std::uint32_t* p = picture.row32(toY) + toX;
        *p = (*p & kAlphaMask) | colourAt(fromX, fromY);
    };

    for (int y = 1; y <= h - 2; ++y) {
        copyColour(1, y, 0, y);
        copyColour(w - 2, y, w - 1, y);
    }
    // Whole rows, after the columns, so the corners come from the diagonal neighbour. On a
    // picture two rows high the second copy reads the result of the first.
    for (int x = 0; x < w; ++x)
        copyColour(x, 1, x, 0);
    for (int x = 0; x < w; ++x)
        copyColour(x, h - 2, x, h - 1);

    // Inversion of every pixel that is not interior (the interior is inverted already).
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = picture.row32(y);
        if (y == 0 || y == h - 1) {
            for (int x = 0; x < w; ++x)
                row[x] = ~row[x];
        } else {
            row[0] = ~row[0];
            if (w > 1)
                row[w - 1] = ~row[w - 1];
        }
    }
}

} // namespace quill
