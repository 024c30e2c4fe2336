#include "app/ShapeKeeping.h"

namespace quill::app {

namespace {
constexpr int kSeeThroughBelow = 128;
}

long long cutOutSeeThroughPixels(const TBitmap32& source, TBitmap32& picture)
{
    if (source.width() != picture.width() || source.height() != picture.height())
        return 0;
    long long count = 0;
    for (int y = 0; y < source.height(); ++y) {
        const std::uint32_t* in = source.row32(y);
        std::uint32_t* out = picture.row32(y);
        for (int x = 0; x < source.width(); ++x) {
            if (pixelAlpha(in[x]) < kSeeThroughBelow) {
                out[x] = CutoutColor;
                ++count;
            }
        }
    }
    return count;
}

bool hasSeeThroughPixels(const TBitmap32& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint32_t* in = picture.row32(y);
        for (int x = 0; x < picture.width(); ++x)
            if (pixelAlpha(in[x]) < kSeeThroughBelow)
                return true;
    }
    return false;
}

} // namespace quill::app
