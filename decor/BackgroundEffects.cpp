#include "decor/BackgroundEffects.h"

#include "imaging/GreyRows.h"
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

void grayBackground(TBitmap32& picture) {
    // Each pixel depends on itself only, so the picture is rewritten in place.
    mapGreyRows(picture, picture, inkGreyRow, [](std::uint32_t pixel, std::uint32_t grey) {
        return (pixel & kAlphaMask) | (grey * 0x010101u);
    });
}

} // namespace quill
