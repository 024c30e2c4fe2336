#include "effects/ColorFilters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/Parallel.h"

namespace quill {
namespace {

// d[x] := filter(s[x]) for x in [from, to).
inline void filterSpan(const std::uint32_t* __restrict s, std::uint32_t* __restrict d, int from,
                       int to, ColorFilter filter) {
    for (int x = from; x < to; ++x)
        d[x] = filter(s[x]);
}

// d[offset + x] := the colour bytes of filter(q[column[x]]) with the alpha byte of
// s[offset + x], for x in [1, count).
inline void panelSpan(const std::uint32_t* __restrict q, const int* __restrict column, int count,
                      const std::uint32_t* __restrict s, std::uint32_t* __restrict d, int offset,
                      ColorFilter filter) {
    for (int x = 1; x < count; ++x)
        d[offset + x] = (filter(q[column[x]]) & 0x00ffffffu) | (s[offset + x] & 0xff000000u);
}

void copyRow(const TBitmap32& source, TBitmap32& destination, int y) {
    std::memcpy(destination.row32(y), source.row32(y), std::size_t(source.width()) * 4);
}

} // namespace

TBitmap32 colorPanels(const TBitmap32& original) {
    const int W = original.width(), H = original.height();
    // The panels are the original resampled by 0.5 and 0.5 exactly as ZoomInandOut does
    // (size Trunc(side * 0.5), column k from floor(k * W / w)), read in place here
    // instead of from four resampled copies.
    const int w = zoomedSize(W, 0.5L), h = zoomedSize(H, 0.5L);
    if (w < 2 || h < 2)
        return original; // the panel loops (1 .. w - 1, 1 .. h - 1) are empty
    std::vector<int> column(static_cast<std::size_t>(w));
    for (int k = 0; k < w; ++k)
        column[std::size_t(k)] = int(std::int64_t(k) * W / w);
    TBitmap32 result = TBitmap32::uninitialized(W, H);
    parallelRows(H, std::size_t(W), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* s = original.row32(y);
            std::uint32_t* d = result.row32(y);
            const bool top = y >= 1 && y <= h - 1, bottom = y >= h + 1 && y <= 2 * h - 1;
            if (!top && !bottom) {
                copyRow(original, result, y);
                continue;
            }
            // The panels' first columns and the last column of an odd width keep the
            // full-size picture's pixels.
            d[0] = s[0];
            d[w] = s[w];
            for (int x = 2 * w; x < W; ++x)
                d[x] = s[x];
            const std::uint32_t* q = original.row32(int(std::int64_t(top ? y : y - h) * H / h));
            panelSpan(q, column.data(), w, s, d, 0, top ? kRedFilter : kBlueFilter);
            panelSpan(q, column.data(), w, s, d, w, top ? kYellowFilter : kMagentaFilter);
        }
    });
    return result;
}

namespace {

// The frame both Color Blocks share: the first row and the first column keep the
// original's pixels, and fillRow(y, s, d) fills columns 1 .. W - 1 of every other row y
// from the source row s into the destination row d.
template <class FillRow> TBitmap32 colorBlocks(const TBitmap32& original, FillRow fillRow) {
    if (original.empty())
        return original;
    TBitmap32 result = TBitmap32::uninitialized(original.width(), original.height());
    parallelRows(original.height(), std::size_t(original.width()), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* s = original.row32(y);
            std::uint32_t* d = result.row32(y);
            if (y == 0) {
                copyRow(original, result, y);
                continue;
            }
            d[0] = s[0];
            fillRow(y, s, d);
        }
    });
    return result;
}

} // namespace

TBitmap32 colorBlocksVH(const TBitmap32& original) {
    const int W = original.width(), H = original.height();
    // x < W / 2 in real numbers is 2x < W, so the left blocks end before (W + 1) div 2.
    const int split = std::max(1, (W + 1) / 2);
    return colorBlocks(original, [&](int y, const std::uint32_t* s, std::uint32_t* d) {
        const bool top = 2 * std::int64_t(y) < H;
        filterSpan(s, d, 1, split, top ? kRedFilter : kYellowFilter);
        filterSpan(s, d, split, W, top ? kBlueFilter : kMagentaFilter);
    });
}

TBitmap32 colorBlocksCatercorner(const TBitmap32& original) {
    const int W = original.width(), H = original.height();
    return colorBlocks(original, [&](int y, const std::uint32_t* s, std::uint32_t* d) {
        // The diagonals in extended precision, in this order of operations.
        const long double d1 = (static_cast<long double>(W) / static_cast<long double>(H)) * y;
        const long double d2 = static_cast<long double>(W) * static_cast<long double>(H - y) / H;
        // x > d1 exactly when x >= floor(d1) + 1; x < d2 exactly when x < ceil(d2).
        const int right1 = int(std::clamp<long double>(std::floor(d1) + 1, 1, W));
        const int right2 = int(std::clamp<long double>(std::ceil(d2), 1, W));
        const int lo = std::min(right1, right2), hi = std::max(right1, right2);
        const int cuts[4] = {1, lo, hi, W};
        for (int k = 0; k < 3; ++k) {
            const int from = cuts[k], to = cuts[k + 1];
            if (from >= to)
                continue;
            const bool beyond1 = from >= right1, before2 = from < right2;
            const ColorFilter filter = beyond1 ? (before2 ? kRedFilter : kYellowFilter)
                                               : (before2 ? kBlueFilter : kMagentaFilter);
            filterSpan(s, d, from, to, filter);
        }
    });
}

} // namespace quill
