#include "effects/SharpenSoften.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/Parallel.h"

namespace quill {
namespace {

inline void keepAlpha(const std::uint32_t* source, std::uint32_t* destination, int width)
{
    for (int x = 1; x < width - 1; ++x)
        destination[x] = (destination[x] & 0x00ffffffu) | (source[x] & 0xff000000u);
}

inline std::uint8_t median3(std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

bool filterable(const TBitmap32& source, const TBitmap32& destination)
{
    return source.width() >= 3 && source.height() >= 3 && destination.width() == source.width() &&
           destination.height() == source.height();
}

// A picture of source's size holding source's outermost rows and columns; the
// interior is left for a filter to write.
TBitmap32 withBorderOf(const TBitmap32& source)
{
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

void sharpenInto(const TBitmap32& source, TBitmap32& destination)
{
    if (!filterable(source, destination))
        return;
    const int W = source.width(), H = source.height();
    const int endByte = 4 * (W - 1);
    parallelRows(H - 2, std::size_t(W), [&](int begin, int end) {
        for (int y = begin + 1; y < end + 1; ++y) {
            const std::uint8_t* up = source.row(y - 1);
            const std::uint8_t* mid = source.row(y);
            const std::uint8_t* down = source.row(y + 1);
            std::uint8_t* out = destination.row(y);
            // 5 * 255 and -4 * 255 fit 16 bits, which lets the loop work on more lanes.
            for (int i = 4; i < endByte; ++i) {
                const std::int16_t v = std::int16_t(5 * std::int16_t(mid[i]) - std::int16_t(up[i]) -
                                                    std::int16_t(down[i]) - std::int16_t(mid[i - 4]) -
                                                    std::int16_t(mid[i + 4]));
                out[i] = std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
            keepAlpha(source.row32(y), destination.row32(y), W);
        }
    });
}

void softenInto(const TBitmap32& source, TBitmap32& destination)
{
    if (!filterable(source, destination))
        return;
    const int W = source.width(), H = source.height();
    const int rowBytes = 4 * W;
    const int endByte = 4 * (W - 1);
    parallelRows(H - 2, std::size_t(W), [&](int begin, int end) {
        // Each column of three values sorted once, shared by the three pixels that use
        // it. The median of nine is then the median of the largest low value, the
        // median of the middle values and the smallest high value.
        std::vector<std::uint8_t> buffer(std::size_t(rowBytes) * 3);
        std::uint8_t* low = buffer.data();
        std::uint8_t* middle = low + rowBytes;
        std::uint8_t* high = middle + rowBytes;
        for (int y = begin + 1; y < end + 1; ++y) {
            const std::uint8_t* up = source.row(y - 1);
            const std::uint8_t* mid = source.row(y);
            const std::uint8_t* down = source.row(y + 1);
            for (int i = 0; i < rowBytes; ++i) {
                const std::uint8_t a = up[i], b = mid[i], c = down[i];
                const std::uint8_t lo = std::min(a, b), hi = std::max(a, b);
                low[i] = std::min(lo, c);
                high[i] = std::max(hi, c);
                middle[i] = std::max(lo, std::min(hi, c));
            }
            std::uint8_t* out = destination.row(y);
            for (int i = 4; i < endByte; ++i) {
                const std::uint8_t maxLow = std::max(std::max(low[i - 4], low[i]), low[i + 4]);
                const std::uint8_t minHigh = std::min(std::min(high[i - 4], high[i]), high[i + 4]);
                const std::uint8_t midMiddle = median3(middle[i - 4], middle[i], middle[i + 4]);
                out[i] = median3(maxLow, midMiddle, minHigh);
            }
            keepAlpha(source.row32(y), destination.row32(y), W);
        }
    });
}

void sharpen(TBitmap32& picture)
{
    if (picture.width() < 3 || picture.height() < 3)
        return;
    TBitmap32 result = withBorderOf(picture);
    sharpenInto(picture, result);
    picture = std::move(result);
}

void soften(TBitmap32& picture)
{
    if (picture.width() < 3 || picture.height() < 3)
        return;
    TBitmap32 result = withBorderOf(picture);
    softenInto(picture, result);
    picture = std::move(result);
}

} // namespace quill
