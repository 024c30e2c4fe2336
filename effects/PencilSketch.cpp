#include "effects/PencilSketch.h"

#include "effects/EdgeSketch.h"
#include "imaging/Colour.h"
#include "imaging/Parallel.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cmath>

namespace quill {
namespace {

// Pixels handled per chunk of a row: the grey of a chunk sits on the stack.
constexpr int kChunk = 1024;

constexpr long double kPi = 3.141592653589793238462643383279502884L;

std::uint32_t greyPixel(int v) { return makePixel(v, v, v, 255); }

} // namespace

TBitmap32 mapPencilGrey(const TBitmap32& picture, const std::uint32_t (&table)[256])
{
    const int w = picture.width(), h = picture.height();
    TBitmap32 out = TBitmap32::uninitialized(w, h);
    parallelRows(h, std::size_t(w), [&](int begin, int end) {
        std::uint8_t grey[kChunk];
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* in = picture.row32(y);
            std::uint32_t* dst = out.row32(y);
            for (int x0 = 0; x0 < w; x0 += kChunk) {
                const int n = std::min(kChunk, w - x0);
                pencilGreyRow(in + x0, n, grey);
                for (int i = 0; i < n; ++i)
                    dst[x0 + i] = table[grey[i]];
            }
        }
    });
    return out;
}

namespace {

// The contrast of one colour: the HSL round trip with the lightness stretched by t.
std::uint32_t contrastPixel(int r, int g, int b, int position, long double t)
{
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

long double contrastSlope(int position) { return std::tan((long double)position * kPi / 180); }

} // namespace

void pencilGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey)
{
    // n = 100 x (0.3 R + 0.59 G + 0.11 B) + 50 is exact in integers; n / 100 rounds halves
    // up. A half (n a multiple of 100) is settled by the extended-precision formula, which
    // may land on either side of it; the halves are marked in the vectorised loop and
    // settled afterwards.
    for (int x0 = 0; x0 < width; x0 += kChunk) {
        const int count = std::min(kChunk, width - x0);
        const std::uint32_t* in = row + x0;
        std::uint8_t* out = grey + x0;
        std::uint8_t half[kChunk];
        std::uint8_t anyHalf = 0;
        for (int i = 0; i < count; ++i) {
            const std::uint32_t p = in[i];
            const std::uint32_t n = 30 * ((p >> 16) & 0xff) + 59 * ((p >> 8) & 0xff) + 11 * (p & 0xff) + 50;
            const std::uint32_t q = (n * 5243u) >> 19; // n / 100 for n <= 25550
            out[i] = std::uint8_t(q);
            half[i] = std::uint8_t(q * 100 == n);
            anyHalf |= half[i];
        }
        if (!anyHalf)
            continue;
        for (int i = 0; i < count; ++i)
            if (half[i])
                out[i] = std::uint8_t(greyPencilLiteral(pixelRed(in[i]), pixelGreen(in[i]), pixelBlue(in[i])));
    }
}

TBitmap32 pencilGreyBase(const TBitmap32& edgeBase)
{
    std::uint32_t table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = greyPixel(v);
    return mapPencilGrey(edgeBase, table);
}

TBitmap32 pencilLighting(const TBitmap32& edgeBase, int position)
{
    position = std::clamp(position, kLightingMin, kLightingMax);
    std::uint32_t table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = greyPixel(clampByte(v + 2 * (position - 128)));
    return mapPencilGrey(edgeBase, table);
}

int contrastGrey(int grey, int position)
{
    position = std::clamp(position, kContrastMin, kContrastMax);
    return pixelRed(contrastPixel(grey, grey, grey, position, contrastSlope(position)));
}

TBitmap32 pencilContrast(const TBitmap32& greyBase, int position)
{
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
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* in = greyBase.row32(y);
            std::uint32_t* dst = out.row32(y);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = in[x];
                const int r = pixelRed(p), g = pixelGreen(p), b = pixelBlue(p);
                dst[x] = (r == g && g == b) ? table[r] : contrastPixel(r, g, b, position, t);
            }
        }
    });
    return out;
}

int lightingLabel(int position) { return int(roundHalfEven((long double)position * 100 / 255)); }

int contrastLabel(int position) { return int(roundHalfEven((long double)position * 100 / 89)); }

TBitmap32 pencilSketch(const TBitmap32& original, const PencilSketchParams& params)
{
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
