#include "decor/BackgroundEffects.h"

#include "effects/PenAndInk.h"
#include "effects/PencilSketch.h"
#include "imaging/Colour.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {
namespace {

constexpr std::uint32_t kAlphaMask = 0xff000000u;

// One emboss row: out bytes of columns 0..width-2 from row cur against row below
// (one pixel to the right); the last column and every alpha byte keep their values.
void embossRow(std::uint32_t* cur, const std::uint32_t* below, int width, std::uint8_t* scratch) {
    const int n = (width - 1) * 4;
    const auto* a = reinterpret_cast<const std::uint8_t*>(cur);
    const auto* b = reinterpret_cast<const std::uint8_t*>(below) + 4;
    for (int i = 0; i < n; ++i) {
        int v = int(a[i]) - int(b[i]) + 128;
        v = v < 0 ? -v : v;
        scratch[i] = std::uint8_t(v > 255 ? 255 : v);
    }
    const auto* s = reinterpret_cast<const std::uint32_t*>(scratch);
    for (int x = 0; x < width - 1; ++x)
        cur[x] = (s[x] & ~kAlphaMask) | (cur[x] & kAlphaMask);
}

// Round(sqrt(|s - t|)) for every byte p and every t = 0..254, with s the signed 16-bit
// square of p: for p >= 182 the square wraps negative, which darkens bright values.
struct ScorchTable {
    std::array<std::array<std::uint8_t, 256>, 255> value;
    ScorchTable() {
        for (int t = 0; t < 255; ++t)
            for (int p = 0; p < 256; ++p) {
                const auto s = std::int16_t(std::uint16_t(p * p));
                const long double root = std::sqrt((long double)std::abs(int(s) - t));
                value[t][p] = std::uint8_t(std::clamp<long double>(std::nearbyintl(root), 0, 255));
            }
    }
};

const ScorchTable& scorchTable() {
    static const ScorchTable table;
    return table;
}

} // namespace

void emboss(TBitmap32& picture) {
    const int w = picture.width(), h = picture.height();
    if (w < 2 || h < 2)
        return;
    // Row y reads row y+1 as it was before the pass. The rows are cut into chunks run in
    // parallel; the first row of every chunk is saved first, because the chunk above
    // reads it after that chunk may already have changed it.
    const int rows = h - 1;
    const int chunks = std::min(rows, std::max(1, workerCount() * 4));
    std::vector<int> start(chunks + 1);
    for (int c = 0; c <= chunks; ++c)
        start[c] = int(std::int64_t(rows) * c / chunks);
    std::vector<std::uint32_t> saved(std::size_t(chunks) * w);
    for (int c = 1; c < chunks; ++c)
        std::memcpy(&saved[std::size_t(c) * w], picture.row32(start[c]), std::size_t(w) * 4);
    parallelRows(chunks, std::size_t(w) * (rows / chunks + 1), [&](int c0, int c1) {
        std::vector<std::uint8_t> scratch(std::size_t(w) * 4);
        for (int c = c0; c < c1; ++c)
            for (int y = start[c]; y < start[c + 1]; ++y) {
                const bool belowSaved = y + 1 == start[c + 1] && c + 1 < chunks;
                const std::uint32_t* below =
                    belowSaved ? &saved[std::size_t(c + 1) * w] : picture.row32(y + 1);
                embossRow(picture.row32(y), below, w, scratch.data());
            }
    });
}

#if defined(__SSE2__)
// Scorch of four pixels at once. The square wraps in 16-bit lanes exactly as the signed
// 16-bit square does; |s - t| is at most 33022, held exactly in a float, whose correctly
// rounded square root lies at least 6e-4 from any half while its error is below 2e-5, so
// rounding it to the nearest integer gives Round(sqrt) of the extended-precision formula.
inline __m128i scorchFour(__m128i pixels, int t0, int t1, int t2, int t3) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_unpacklo_epi8(pixels, zero), hi = _mm_unpackhi_epi8(pixels, zero);
    const __m128i sqLo = _mm_mullo_epi16(lo, lo), sqHi = _mm_mullo_epi16(hi, hi);
    auto root = [](__m128i square16, int t) { // four lanes of one pixel, sign-extended
        const __m128i s = _mm_srai_epi32(square16, 16);
        const __m128i d = _mm_sub_epi32(s, _mm_set1_epi32(t));
        const __m128i sign = _mm_srai_epi32(d, 31);
        const __m128i a = _mm_sub_epi32(_mm_xor_si128(d, sign), sign);
        return _mm_cvtps_epi32(_mm_sqrt_ps(_mm_cvtepi32_ps(a)));
    };
    const __m128i r0 = root(_mm_unpacklo_epi16(sqLo, sqLo), t0);
    const __m128i r1 = root(_mm_unpackhi_epi16(sqLo, sqLo), t1);
    const __m128i r2 = root(_mm_unpacklo_epi16(sqHi, sqHi), t2);
    const __m128i r3 = root(_mm_unpackhi_epi16(sqHi, sqHi), t3);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(r0, r1), _mm_packs_epi32(r2, r3));
    const __m128i alpha = _mm_set1_epi32(int(kAlphaMask));
    return _mm_or_si128(_mm_and_si128(pixels, alpha), _mm_andnot_si128(alpha, packed));
}
#endif

void scorch(TBitmap32& picture) {
    const int w = picture.width(), h = picture.height();
    if (picture.empty())
        return;
    const ScorchTable& table = scorchTable();
    parallelRows(h, std::size_t(w), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint32_t* q = picture.row32(y);
            const int step = y % 255;
            int t = 0; // (y * x) mod 255, advanced column by column
            auto advance = [step](int& tt) {
                tt += step;
                tt -= tt >= 255 ? 255 : 0;
            };
            int x = 0;
#if defined(__SSE2__)
            for (; x + 4 <= w; x += 4) {
                const int t0 = t;
                advance(t);
                const int t1 = t;
                advance(t);
                const int t2 = t;
                advance(t);
                const int t3 = t;
                advance(t);
                auto* at = reinterpret_cast<__m128i*>(q + x);
                _mm_storeu_si128(at, scorchFour(_mm_loadu_si128(at), t0, t1, t2, t3));
            }
#endif
            for (; x < w; ++x) {
                const std::uint8_t* v = table.value[t].data();
                const std::uint32_t p = q[x];
                q[x] = (p & kAlphaMask) | (std::uint32_t(v[(p >> 16) & 0xff]) << 16) |
                       (std::uint32_t(v[(p >> 8) & 0xff]) << 8) | v[p & 0xff];
                advance(t);
            }
        }
    });
}

// Per pixel word, colour bytes only (the alpha byte is set to 255 afterwards):
// halving shifts every byte right by one; doubling shifts left by one and saturates the
// bytes whose top bit was set.
inline std::uint32_t halveBytes(std::uint32_t p) {
    return (p >> 1) & 0x007f7f7fu;
}
inline std::uint32_t doubleBytes(std::uint32_t p) {
    const std::uint32_t top = p & 0x00808080u;
    return ((p << 1) & 0x00fefefeu) | ((top >> 7) * 0xffu);
}

void verticalStria(TBitmap32& picture) {
    const int w = picture.width(), h = picture.height();
    if (picture.empty())
        return;
    parallelRows(h, std::size_t(w), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint32_t* q = picture.row32(y);
            int x = 0;
            for (; x + 2 < w; x += 3) {
                q[x] |= kAlphaMask;
                q[x + 1] = halveBytes(q[x + 1]) | kAlphaMask;
                q[x + 2] = doubleBytes(q[x + 2]) | kAlphaMask;
            }
            if (x < w)
                q[x] |= kAlphaMask;
            if (x + 1 < w)
                q[x + 1] = halveBytes(q[x + 1]) | kAlphaMask;
        }
    });
}

namespace {

void horizontalStriaRow(std::uint8_t* __restrict p, int w, int phase) {
    const int n = w * 4;
    if (phase == 1) {
        for (int i = 0; i < n; ++i)
            p[i] = std::uint8_t(unsigned(p[i]) / 3);
    } else if (phase == 2) {
        for (int i = 0; i < n; ++i) {
            const unsigned v = unsigned(p[i]) * 2;
            p[i] = std::uint8_t(v > 255 ? 255 : v);
        }
    }
    for (int i = kAlpha; i < n; i += 4)
        p[i] = 255;
}

} // namespace

void horizontalStria(TBitmap32& picture) {
    const int w = picture.width(), h = picture.height();
    if (picture.empty())
        return;
    parallelRows(h, std::size_t(w), [&picture, w](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            horizontalStriaRow(picture.row(y), w, y % 3);
    });
}

namespace {

// The pixel with its colour bytes replaced by grey, alpha kept.
inline std::uint32_t greyPixel(std::uint32_t p, std::uint32_t grey) {
    return (p & kAlphaMask) | (grey * 0x010101u);
}

#if defined(__SSE2__)
// Four pixels: n = 299 R + 587 G + 110 B + 500 (exact, below 2^18) from two
// multiply-adds, n / 1000 as (n / 8) / 125 by a 16-bit high multiply (n / 8 < 2^15, and
// (m * 33555) >> 22 = m div 125 for every m below 2^15), halves rounded up. Returns a
// mask of the lanes whose n is a multiple of 1000: an exact half, which the
// extended-precision formula settles either way, redone by the caller from the pixels
// as they were, left in before only then.
inline int grayFour(std::uint32_t* at, std::uint32_t* before) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_setr_epi16(110, 587, 299, 0, 110, 587, 299, 0);
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), weights);
    const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), weights);
    // lo = [B0 G0 part, R0 part, B1 G1 part, R1 part], hi the same for pixels 2 and 3.
    const __m128 loF = _mm_castsi128_ps(lo), hiF = _mm_castsi128_ps(hi);
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(loF, hiF, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(loF, hiF, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128i n = _mm_add_epi32(_mm_add_epi32(even, odd), _mm_set1_epi32(500));
    const __m128i eighth = _mm_packs_epi32(_mm_srli_epi32(n, 3), zero);
    const __m128i q16 = _mm_srli_epi16(_mm_mulhi_epu16(eighth, _mm_set1_epi16(short(33555))), 6);
    const __m128i q = _mm_unpacklo_epi16(q16, zero);
    const __m128i half = _mm_cmpeq_epi32(_mm_madd_epi16(q, _mm_set1_epi32(1000)), n);
    const __m128i grey = _mm_or_si128(_mm_or_si128(q, _mm_slli_epi32(q, 8)), _mm_slli_epi32(q, 16));
    const __m128i alpha = _mm_set1_epi32(int(kAlphaMask));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                     _mm_or_si128(_mm_and_si128(pixels, alpha), grey));
    const int halves = _mm_movemask_ps(_mm_castsi128_ps(half));
    if (halves)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(before), pixels);
    return halves;
}
#endif

// The ink grey of a pixel whose weighted sum is an exact half.
inline std::uint32_t greyOfHalf(const GreyHalves& halves, std::uint32_t p) {
    const int r = pixelRed(p), g = pixelGreen(p), b = pixelBlue(p);
    const int up = (299 * r + 587 * g + 110 * b + 500) / 1000;
    return std::uint32_t(up - halves.roundsDown(r, g, b));
}

void grayRow(const GreyHalves& halves, std::uint32_t* q, int w) {
    int x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= w; x += 4) {
        std::uint32_t before[4];
        if (const int halfLanes = grayFour(q + x, before))
            for (int i = 0; i < 4; ++i)
                if (halfLanes & (1 << i))
                    q[x + i] = greyPixel(before[i], greyOfHalf(halves, before[i]));
    }
#endif
    for (; x < w; ++x) {
        const std::uint32_t p = q[x];
        q[x] = greyPixel(p, std::uint32_t(greyInk(pixelRed(p), pixelGreen(p), pixelBlue(p))));
    }
}

} // namespace

void grayBackground(TBitmap32& picture) {
    const int w = picture.width(), h = picture.height();
    if (picture.empty())
        return;
    const GreyHalves& halves = inkGreyHalves(); // built before the bands start
    parallelRows(h, std::size_t(w), [&picture, &halves, w](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            grayRow(halves, picture.row32(y), w);
    });
}

const std::vector<BackgroundEffectEntry>& backgroundEffectTable() {
    static const std::vector<BackgroundEffectEntry> table = {
        {"emboss", "Emboss", &emboss},
        {"scorch", "Scorch", &scorch},
        {"vertical-stria", "Vertical stria", &verticalStria},
        {"horizontal-stria", "Horizontal stria", &horizontalStria},
        {"gray", "Gray", &grayBackground},
    };
    return table;
}

const BackgroundEffectEntry* findBackgroundEffect(std::string_view name) {
    for (const auto& entry : backgroundEffectTable())
        if (entry.name == name)
            return &entry;
    return nullptr;
}

} // namespace quill
