#include "effects/PencilSketch.h"

#include "effects/EdgeSketch.h"
#include "imaging/Colour.h"
#include "imaging/Parallel.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quill {
namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Opaque grey pixel of a grey 0..255.
inline std::uint32_t greyWord(std::uint32_t v) {
    return 0xff000000u | v | (v << 8) | (v << 16);
}

// The contrast of one colour: the HSL round trip with the lightness stretched by t.
std::uint32_t contrastPixel(int r, int g, int b, int position, long double t) {
    const HSL360 hsl = RGBtoHSL360(r, g, b);
    std::int64_t l;
    if (position >= 45)
        l = roundHalfEven(t * (long double)(hsl.l - 50 - (position - 45))) + 50;
    else
        l = roundHalfEven(t * (long double)(hsl.l - 55)) + (100 - position);
    l = std::clamp<std::int64_t>(l, 0, 100);
    const RGB8 rgb = HSLtoRGB360(hsl.h, hsl.s, int(l));
    return makePixel(rgb.r, rgb.g, rgb.b, 255);
}

long double contrastSlope(int position) {
    return std::tan((long double)position * kPi / 180);
}

} // namespace

TBitmap32 pencilGreyBase(const TBitmap32& edgeBase) {
    return mapPencilGrey(edgeBase, [](std::uint32_t g) { return greyWord(g); });
}

TBitmap32 pencilLighting(const TBitmap32& edgeBase, int position) {
    const int shift = 2 * (std::clamp(position, kLightingMin, kLightingMax) - 128);
    return mapPencilGrey(edgeBase, [shift](std::uint32_t g) {
        int v = int(g) + shift;
        v = v < 0 ? 0 : v;
        v = v > 255 ? 255 : v;
        return greyWord(std::uint32_t(v));
    });
}

TBitmap32 pencilContrast(const TBitmap32& greyBase, int position) {
    position = std::clamp(position, kContrastMin, kContrastMax);
    const long double t = contrastSlope(position);
    // A grey pixel's result depends on its grey alone; other colours (a caller may pass
    // any picture) take the whole round trip.
    std::uint32_t table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = contrastPixel(v, v, v, position, t);
    const int w = greyBase.width(), h = greyBase.height();
    TBitmap32 out = TBitmap32::uninitialized(w, h);
    parallelRows(h, std::size_t(w), [&](int begin, int end) {
        const int width = w;
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* in = greyBase.row32(y);
            std::uint32_t* dst = out.row32(y);
            // A vectorised look first: is every pixel of the row grey, as in GreyBase?
            std::uint32_t colours = 0;
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = in[x];
                colours |= ((p >> 8) ^ p) & 0xffff; // zero when R = G = B
            }
            if (colours == 0) {
                for (int x = 0; x < width; ++x)
                    dst[x] = table[in[x] & 0xff];
                continue;
            }
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = in[x];
                const int r = pixelRed(p), g = pixelGreen(p), b = pixelBlue(p);
                dst[x] = (r == g && g == b) ? table[r] : contrastPixel(r, g, b, position, t);
            }
        }
    });
    return out;
}

int lightingLabel(int position) {
    return int(roundHalfEven((long double)position * 100 / 255));
}

int contrastLabel(int position) {
    return int(roundHalfEven((long double)position * 100 / 89));
}

TBitmap32 pencilSketch(const TBitmap32& original, const PencilSketchParams& params) {
    TBitmap32 edgeBase(original);
    picsobel(edgeBase);
    switch (params.slider) {
    case PencilSketchParams::Slider::Lighting:
        return pencilLighting(edgeBase, params.position);
    case PencilSketchParams::Slider::Contrast:
        return pencilContrast(pencilGreyBase(edgeBase), params.position);
    case PencilSketchParams::Slider::None:
        break;
    }
    return pencilGreyBase(edgeBase);
}

} // namespace quill
