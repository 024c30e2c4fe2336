#include "effects/SharpenSoften.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/Parallel.h"

namespace quill {
namespace {

inline void keepAlpha(const std::uint32_t* source, std::uint32_t* destination, int width) {
    for (int x = 1; x < width - 1; ++x)
        destination[x] = (destination[x] & 0x00ffffffu) | (source[x] & 0xff000000u);
}

inline std::uint8_t median3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

bool filterable(const TBitmap32& source, const TBitmap32& destination) {
    return source.width() >= 3 && source.height() >= 3 && destination.width() == source.width() &&
           destination.height() == source.height();
}

// A picture of source's size holding source's outermost rows and columns; the
// interior is left for a filter to write.
TBitmap32 withBorderOf(const TBitmap32& source) {
    const int W = source.width(), H = source.height();
    TBitmap32 result = TBitmap32::uninitialized(W, H);
    std::memcpy(result.row32(0), source.row32(0), std::size_t(W) * 4);
    std::memcpy(result.row32(H - 1), source.row32(H - 1), std::size_t(W) * 4);
    for (int y = 1; y < H - 1; ++y) {
        result.row32(y)[0] = source.row32(y)[0];
        result.row32(y)[W - 1] = source.row32(y)[W - 1];
    }
    return result;
}

} // namespace

namespace {

// One row of sharpen: bytes 4 .. endByte - 1, alpha bytes included (put back later).
void sharpenRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                const std::uint8_t* __restrict down, std::uint8_t* __restrict out, int endByte) {
    // 5 * 255 and -4 * 255 fit 16 bits, which lets the loop work on more lanes.
    for (int i = 4; i < endByte; ++i) {
        const std::int16_t v =
            std::int16_t(5 * std::int16_t(mid[i]) - std::int16_t(up[i]) - std::int16_t(down[i]) -
                         std::int16_t(mid[i - 4]) - std::int16_t(mid[i + 4]));
        out[i] = std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

// Sorts each column of three bytes: low, middle and high value per byte position.
void sortColumns(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                 const std::uint8_t* __restrict down, std::uint8_t* __restrict low,
                 std::uint8_t* __restrict middle, std::uint8_t* __restrict high, int rowBytes) {
    for (int i = 0; i < rowBytes; ++i) {
        const std::uint8_t a = up[i], b = mid[i], c = down[i];
        const std::uint8_t lo = std::min(a, b), hi = std::max(a, b);
        low[i] = std::min(lo, c);
        high[i] = std::max(hi, c);
        middle[i] = std::max(lo, std::min(hi, c));
    }
}

// The median of nine from three sorted columns: the median of the largest low value,
// the median of the middle values and the smallest high value.
void medianRow(const std::uint8_t* __restrict low, const std::uint8_t* __restrict middle,
               const std::uint8_t* __restrict high, std::uint8_t* __restrict out, int endByte) {
    for (int i = 4; i < endByte; ++i) {
        const std::uint8_t maxLow = std::max(std::max(low[i - 4], low[i]), low[i + 4]);
        const std::uint8_t minHigh = std::min(std::min(high[i - 4], high[i]), high[i + 4]);
        const std::uint8_t midMiddle = median3(middle[i - 4], middle[i], middle[i + 4]);
        out[i] = median3(maxLow, midMiddle, minHigh);
    }
}

} // namespace

void sharpenInto(const TBitmap32& source, TBitmap32& destination) {
    if (!filterable(source, destination))
        return;
    const int W = source.width(), H = source.height();
    const int endByte = 4 * (W - 1);
    parallelRows(H - 2, std::size_t(W), [&source, &destination, W, endByte](int begin, int end) {
        for (int y = begin + 1; y < end + 1; ++y) {
            sharpenRow(source.row(y - 1), source.row(y), source.row(y + 1), destination.row(y),
                       endByte);
            keepAlpha(source.row32(y), destination.row32(y), W);
        }
    });
}

void softenInto(const TBitmap32& source, TBitmap32& destination) {
    if (!filterable(source, destination))
        return;
    const int W = source.width(), H = source.height();
    const int rowBytes = 4 * W;
    const int endByte = 4 * (W - 1);
    parallelRows(H - 2, std::size_t(W),
                 [&source, &destination, W, rowBytes, endByte](int begin, int end) {
                     // Each column of three values is sorted once and shared by the three pixels
                     // that use it; one buffer per band, none per pixel.
                     std::vector<std::uint8_t> buffer(std::size_t(rowBytes) * 3);
                     std::uint8_t* low = buffer.data();
                     std::uint8_t* middle = low + rowBytes;
                     std::uint8_t* high = middle + rowBytes;
                     for (int y = begin + 1; y < end + 1; ++y) {
                         sortColumns(source.row(y - 1), source.row(y), source.row(y + 1), low,
                                     middle, high, rowBytes);
                         medianRow(low, middle, high, destination.row(y), endByte);
                         keepAlpha(source.row32(y), destination.row32(y), W);
                     }
                 });
}

void sharpen(TBitmap32& picture) {
    if (picture.width() < 3 || picture.height() < 3)
        return;
    TBitmap32 result = withBorderOf(picture);
    sharpenInto(picture, result);
    picture = std::move(result);
}

void soften(TBitmap32& picture) {
    if (picture.width() < 3 || picture.height() < 3)
        return;
    TBitmap32 result = withBorderOf(picture);
    softenInto(picture, result);
    picture = std::move(result);
}

} // namespace quill
