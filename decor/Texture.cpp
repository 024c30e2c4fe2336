#include "decor/Texture.h"

#include "decor/TextureTiles.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {
namespace {

constexpr std::uint16_t kTie = 0xffff; // the exact value is a rounding tie: ask the formula

// Whole-number hue, saturation and lightness as exact ratios of the bytes:
//   l = Round(100 (max + min) / 510)
//   s = Round(100 d / (max + min)) below lightness 0.5, else Round(100 d / (510 - max - min))
//   h = Round(60 (2 k d + n) / d), plus 360 when negative (k = 0, 1, 2 for red, green,
//       blue largest, tested in that order; n the difference of the two other channels).
// The double formula is within 1e-12 of these ratios while a ratio that is not a tie lies
// at least 1/510 from one, so both round alike; a tie is left to the formula.
//
// The divisions by a denominator den = 1..255 are multiplications by
// reciprocal[den] = ceil(2^40 / den): for num < 2^17, num * reciprocal / 2^40 exceeds
// num / den by less than 2^-23, while a fraction of num / den is at most 1 - 1/255, so
// the floor is exact.
struct HslRatioTables {
    std::array<std::uint16_t, 511> lightness; // [max + min], kTie for a tie
    std::array<std::uint64_t, 256> reciprocal;

    HslRatioTables() {
        reciprocal[0] = 0;
        for (std::uint64_t den = 1; den < 256; ++den)
            reciprocal[den] = ((std::uint64_t(1) << 40) + den - 1) / den;
        for (int sum = 0; sum <= 510; ++sum) {
            const int q = 100 * sum / 510, rem = 100 * sum - q * 510;
            lightness[sum] = 2 * rem == 510 ? kTie : std::uint16_t(q + (2 * rem > 510));
        }
    }

    // Round(num / den), halves to even, for num < 2^17 and den 1..255; sets tie when
    // num / den is exactly a half.
    std::uint32_t roundRatio(std::uint32_t num, std::uint32_t den, std::uint32_t& tie) const {
        const auto q = std::uint32_t((std::uint64_t(num) * reciprocal[den]) >> 40);
        const std::uint32_t twiceRem = 2 * (num - q * den);
        tie |= std::uint32_t(twiceRem == den);
        return q + std::uint32_t(twiceRem > den);
    }
};

const HslRatioTables& ratioTables() {
    static const HslRatioTables tables;
    return tables;
}

// HSLtoRGB360 works channel by channel in three steps, each a function of one input:
// the hue gives the three channel values v (one 255, one 0, one in between), the
// saturation moves each v toward 128, the lightness toward 255 or 0. The first two
// steps are held per (h, s) as a pixel word, the last per (l, channel value), every
// entry computed with the formula's own double expressions, so the tables give its
// results exactly (about 170 KiB together).
struct HslToRgbTables {
    std::vector<std::uint32_t>
        hueSaturation; // [h * 101 + s], h 0..359: R, G, B after the saturation step
    std::vector<std::array<std::uint8_t, 256>> lightness; // [l][channel value]

    HslToRgbTables() : hueSaturation(360 * 101), lightness(101) {
        for (int h = 0; h < 360; ++h) {
            double v[3];
            hslHueRamp(h, v);
            for (int s = 0; s <= 100; ++s) {
                int c[3];
                for (int i = 0; i < 3; ++i)
                    c[i] = int(hslSaturationStep(v[i], s));
                hueSaturation[h * 101 + s] = makePixel(c[0], c[1], c[2], 255);
            }
        }
        for (int l = 0; l <= 100; ++l) {
            for (int c = 0; c < 256; ++c)
                lightness[l][c] = std::uint8_t(hslLightnessStep(c, l));
        }
    }

    // h 0..359, s and l 0..100.
    std::uint32_t pixel(int h, int s, int l) const {
        const std::uint32_t c = hueSaturation[h * 101 + s];
        const std::uint8_t* light = lightness[l].data();
        return 0xff000000u | (std::uint32_t(light[(c >> 16) & 0xff]) << 16) |
               (std::uint32_t(light[(c >> 8) & 0xff]) << 8) | light[c & 0xff];
    }
};

const HslToRgbTables& hslToRgbTables() {
    static const HslToRgbTables tables;
    return tables;
}

} // namespace

namespace {

inline HSL360 hslFromRatios(const HslRatioTables& t, int r, int g, int b) {
    const int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    const int d = mx - mn, sum = mx + mn;
    HSL360 out;
    const std::uint16_t l = t.lightness[sum];
    if (d == 0) {
        if (l == kTie)
            return RGBtoHSL360(r, g, b);
        out.l = l;
        return out;
    }
    std::uint32_t tie = l == kTie;
    // At max + min = 255 both denominators are 255.
    const int sDen = sum <= 255 ? sum : 510 - sum;
    const std::uint32_t s = t.roundRatio(std::uint32_t(100 * d), std::uint32_t(sDen), tie);
    // The same order of tests as the formula: red, then green, then blue largest
    // (selects rather than branches: on a photo the largest channel changes unpredictably).
    const bool redLargest = r == mx, greenLargest = g == mx;
    const int sector = redLargest ? 0 : (greenLargest ? 1 : 2);
    const int n = redLargest ? g - b : (greenLargest ? b - r : r - g);
    int num = 60 * (2 * sector * d + n);
    num += num < 0 ? 360 * d : 0;
    const std::uint32_t h = t.roundRatio(std::uint32_t(num), std::uint32_t(d), tie);
    if (tie)
        return RGBtoHSL360(r, g, b);
    out.h = int(h);
    out.s = int(s);
    out.l = l;
    return out;
}

#if defined(__SSE2__)
// Lanes of a where mask is set, else lanes of b.
inline __m128i selectLanes(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Round(num / den) of four lanes, halves rounded up, with 0 < den < 2^15 and the
// rounded value below 2^15: floor((2 num + den) / (2 den)) from a float division. Both
// sides are below 2^24, so exact in a float; where the quotient is not a whole number it
// lies at least 1 / (2 den) >= 1/510 from one while the division is off by less than
// 2^-24 of at most 361, so the floor is exact. A lane whose quotient is whole (num / den
// a half) is set in half.
inline __m128i roundRatioFour(__m128i num, __m128i den, __m128i& half) {
    const __m128i top = _mm_add_epi32(_mm_add_epi32(num, num), den);
    const __m128i bottom = _mm_add_epi32(den, den);
    const __m128i q = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(top), _mm_cvtepi32_ps(bottom)));
    // q * bottom as a 16-bit multiply-add: both below 2^15, the upper halves zero.
    half = _mm_or_si128(half, _mm_cmpeq_epi32(_mm_madd_epi16(q, bottom), top));
    return q;
}
#endif

// The hue, saturation and lightness of count pixels, as RGBtoHSL360 gives them: the
// hue (360 read as 0) times 101 plus the saturation in hueSat, the lightness in light.
void hslRow(const HslRatioTables& t, const std::uint32_t* in, int count, std::uint16_t* hueSat,
            std::uint8_t* light) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i bytes = _mm_set1_epi32(0xff), zero = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), bytes);
        const __m128i g = _mm_and_si128(_mm_srli_epi32(p, 8), bytes);
        const __m128i b = _mm_and_si128(p, bytes);
        const __m128i rg = selectLanes(_mm_cmpgt_epi32(r, g), r, g);
        const __m128i mx = selectLanes(_mm_cmpgt_epi32(rg, b), rg, b);
        const __m128i rgMin = selectLanes(_mm_cmplt_epi32(r, g), r, g);
        const __m128i mn = selectLanes(_mm_cmplt_epi32(rgMin, b), rgMin, b);
        const __m128i d = _mm_sub_epi32(mx, mn), sum = _mm_add_epi32(mx, mn);
        const __m128i grey = _mm_cmpeq_epi32(d, zero);
        // A grey lane divides by 1 and is cleared afterwards.
        const __m128i dSafe = _mm_or_si128(d, _mm_and_si128(grey, _mm_set1_epi32(1)));
        __m128i half = zero;
        // Saturation: 100 d over max + min, or over 510 - max - min from lightness 0.5 on.
        const __m128i low = _mm_cmplt_epi32(sum, _mm_set1_epi32(256));
        const __m128i sDen = selectLanes(low, sum, _mm_sub_epi32(_mm_set1_epi32(510), sum));
        const __m128i hundredD = _mm_madd_epi16(d, _mm_set1_epi32(100));
        __m128i sat = roundRatioFour(
            hundredD, _mm_or_si128(sDen, _mm_and_si128(grey, _mm_set1_epi32(1))), half);
        // Hue: red, then green, then blue largest, as the formula tests them.
        const __m128i redMax = _mm_cmpeq_epi32(r, mx);
        const __m128i greenMax = _mm_andnot_si128(redMax, _mm_cmpeq_epi32(g, mx));
        const __m128i n =
            selectLanes(redMax, _mm_sub_epi32(g, b),
                        selectLanes(greenMax, _mm_sub_epi32(b, r), _mm_sub_epi32(r, g)));
        const __m128i twoD = _mm_add_epi32(d, d);
        const __m128i base =
            selectLanes(redMax, zero, selectLanes(greenMax, twoD, _mm_add_epi32(twoD, twoD)));
        __m128i num = _mm_madd_epi16(_mm_add_epi32(base, n), _mm_set1_epi32(60)); // may be negative
        num = _mm_add_epi32(
            num, _mm_and_si128(_mm_cmplt_epi32(num, zero), _mm_madd_epi16(d, _mm_set1_epi32(360))));
        __m128i hue = roundRatioFour(num, dSafe, half);
        hue = _mm_andnot_si128(_mm_cmpeq_epi32(hue, _mm_set1_epi32(360)), hue);
        half = _mm_andnot_si128(grey, half);
        hue = _mm_andnot_si128(grey, hue);
        sat = _mm_andnot_si128(grey, sat);
        // hue * 101 + saturation, below 2^16.
        const __m128i hs = _mm_add_epi32(_mm_madd_epi16(hue, _mm_set1_epi32(101)), sat);
        alignas(16) std::int32_t hsLanes[4], sumLanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(hsLanes), hs);
        _mm_store_si128(reinterpret_cast<__m128i*>(sumLanes), sum);
        for (int k = 0; k < 4; ++k) {
            hueSat[i + k] = std::uint16_t(hsLanes[k]);
            light[i + k] = std::uint8_t(t.lightness[sumLanes[k]]); // never a tie
        }
        if (const int halves = _mm_movemask_ps(_mm_castsi128_ps(half)))
            for (int k = 0; k < 4; ++k)
                if (halves & (1 << k)) {
                    const std::uint32_t q = in[i + k];
                    const HSL360 c = RGBtoHSL360(pixelRed(q), pixelGreen(q), pixelBlue(q));
                    hueSat[i + k] = std::uint16_t((c.h == 360 ? 0 : c.h) * 101 + c.s);
                    light[i + k] = std::uint8_t(c.l);
                }
    }
#endif
    for (; i < count; ++i) {
        const std::uint32_t q = in[i];
        const HSL360 c = hslFromRatios(t, pixelRed(q), pixelGreen(q), pixelBlue(q));
        hueSat[i] = std::uint16_t((c.h == 360 ? 0 : c.h) * 101 + c.s);
        light[i] = std::uint8_t(c.l);
    }
}

} // namespace

HSL360 RGBtoHSL360Fast(int r, int g, int b) {
    return hslFromRatios(ratioTables(), r, g, b);
}

std::uint32_t HSLtoPixelFast(int h, int s, int l) {
    if (h == 360)
        h = 0;
    if (h < 0 || h > 359 || s < 0 || s > 100 || l < 0 || l > 100)
        return makePixel(0, 0, 0, 255);
    return hslToRgbTables().pixel(h, s, l);
}

bool tileUsable(const TBitmap32& tile) {
    return tile.width() >= kTileSize && tile.height() >= kTileSize;
}

void ApplyTexture(const TBitmap32& tile, const TBitmap32& source, TBitmap32& target) {
    if (!tileUsable(tile) || source.empty()) {
        // Nothing to lay a relief with: the target gets the source unchanged.
        if (&target != &source)
            target = source;
        return;
    }
    // The tile's lightness minus 70, one value per tile pixel.
    std::array<std::int8_t, kTileSize * kTileSize> shift;
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const std::uint32_t p = tile.pixel(x, y);
            shift[y * kTileSize + x] =
                std::int8_t(RGBtoHSL360(pixelRed(p), pixelGreen(p), pixelBlue(p)).l - 70);
        }
    const HslToRgbTables& toRgb = hslToRgbTables();
    const HslRatioTables& ratios = ratioTables();
    const int w = source.width(), h = source.height();
    // Every pixel depends on its own source pixel only, so the result is written straight
    // into the target, into the source itself when they are the same picture, and into
    // the target's own memory when it already has the size.
    if (&target != &source && (target.width() != w || target.height() != h))
        target = TBitmap32::uninitialized(w, h);
    const std::uint32_t* hueSaturation = toRgb.hueSaturation.data();
    const std::array<std::uint8_t, 256>* lightness = toRgb.lightness.data();
    parallelRows(h, std::size_t(w) * 4, [&, hueSaturation, lightness](int y0, int y1) {
        // A run of a row at a time: every pixel's hue, saturation and lightness first,
        // then the colours from the tables.
        constexpr int kRun = 256;
        std::uint16_t hs[kRun];
        std::uint8_t light[kRun];
        for (int y = y0; y < y1; ++y) {
            const std::uint32_t* in = source.row32(y);
            std::uint32_t* out = target.row32(y);
            const std::int8_t* tileRow = &shift[(y % kTileSize) * kTileSize];
            int tx = 0;
            for (int x0 = 0; x0 < w; x0 += kRun) {
                const int count = std::min(kRun, w - x0);
                hslRow(ratios, in + x0, count, hs, light);
                std::uint32_t* o = out + x0;
                for (int i = 0; i < count; ++i) {
                    const int l = std::clamp(int(light[i]) + tileRow[tx], 0, 100);
                    if (++tx == kTileSize)
                        tx = 0;
                    const std::uint32_t c = hueSaturation[hs[i]];
                    const std::uint8_t* lt = lightness[l].data();
                    o[i] = 0xff000000u | (std::uint32_t(lt[(c >> 16) & 0xff]) << 16) |
                           (std::uint32_t(lt[(c >> 8) & 0xff]) << 8) | lt[c & 0xff];
                }
            }
        }
    });
}

const TBitmap32& textureTile(int k) {
    static const std::array<TBitmap32, kTextureTileCount> tiles = [] {
        std::array<TBitmap32, kTextureTileCount> t;
        for (int i = 0; i < kTextureTileCount; ++i) {
            t[i] = TBitmap32(kTileSize, kTileSize);
            const std::uint8_t* rgb = kTextureTileRgb[i];
            for (int y = 0; y < kTileSize; ++y)
                for (int x = 0; x < kTileSize; ++x) {
                    const std::uint8_t* q = rgb + 3 * (y * kTileSize + x);
                    t[i].setPixel(x, y, makePixel(q[0], q[1], q[2], 255));
                }
        }
        return t;
    }();
    static const TBitmap32 none;
    if (k < 1 || k > kTextureTileCount)
        return none;
    return tiles[k - 1];
}

std::string textureTileName(int k) {
    if (k < 1 || k > kTextureTileCount)
        return std::string();
    return kTextureTileNames[k - 1];
}

} // namespace quill
