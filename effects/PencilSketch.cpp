#include "effects/PencilSketch.h"

#include "effects/EdgeSketch.h"
#include "effects/GreyRows.h"
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

GreyHalves::GreyHalves(int wr, int wg, int wb, int scale, int (*literal)(int, int, int)) {
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const int n = wr * r + wg * g + wb * b;
                if (n % scale != scale / 2)
                    continue;
                const int halfUp = (n + scale / 2) / scale;
                if (literal(r, g, b) < halfUp)
                    m_bits[(r << 8) | g] |= std::uint8_t(1u << (b / 100));
            }
}

void GreyHalves::settle(const std::uint8_t* pixels, const std::uint8_t* half, int count,
                        std::uint8_t* grey) const {
    for (int i = 0; i < count; ++i) {
        if (i + 8 <= count) { // eight marks at a time: halves are rare
            std::uint64_t marks;
            std::memcpy(&marks, half + i, sizeof marks);
            if (!marks) {
                i += 7;
                continue;
            }
        }
        if (half[i])
            grey[i] =
                std::uint8_t(grey[i] - roundsDown(pixels[4 * i + kRed], pixels[4 * i + kGreen],
                                                  pixels[4 * i + kBlue]));
    }
}

namespace {

// n = 100 x (0.3 R + 0.59 G + 0.11 B) + 50 is at most 25550, where n / 100 = (n * 5243) >> 19.
struct PencilWeights {
    static constexpr int kR = 30, kG = 59, kB = 11, kScale = 100;
    static constexpr int kPreShift = 0, kMagic = 5243, kPostShift = 3;
    static const GreyHalves& halves() { return pencilGreyHalves(); }
};

} // namespace

const GreyHalves& pencilGreyHalves() {
    static const GreyHalves halves(PencilWeights::kR, PencilWeights::kG, PencilWeights::kB,
                                   PencilWeights::kScale, greyPencilLiteral);
    return halves;
}

void pencilGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey) {
    weightedGreyRow<PencilWeights>(row, width, grey);
}

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

int contrastGrey(int grey, int position) {
    position = std::clamp(position, kContrastMin, kContrastMax);
    return pixelRed(contrastPixel(grey, grey, grey, position, contrastSlope(position)));
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
