#include "imaging/RowBlend.h"

#include "imaging/Bitmap32.h"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace quill {

void blendRowOverOpaqueBaseline(std::uint32_t* dest, const std::uint32_t* source, int n) {
    // Over an opaque destination the four cases of BlendPixel are one formula: alpha 0
    // gives (255 * D) div 255 = D, alpha 255 gives S, and the general case reduces to
    // ((255 - Sa) * D + Sa * S) div 255 with alpha 255. The sum is at most 255 * 255, so
    // it fits 16-bit lanes, and x div 255 = (x + 1 + (x >> 8)) >> 8 there. A test
    // compares this with BlendPixel on every input.
    int k = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    auto half = [&](__m128i s16, __m128i d16) {
        __m128i sa = _mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3));
        sa = _mm_shufflehi_epi16(sa, _MM_SHUFFLE(3, 3, 3, 3));
        const __m128i ia = _mm_sub_epi16(full, sa);
        __m128i x = _mm_add_epi16(_mm_mullo_epi16(ia, d16), _mm_mullo_epi16(sa, s16));
        x = _mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8));
        return _mm_srli_epi16(x, 8);
    };
    for (; k + 4 <= n; k += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + k));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + k));
        const __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
        const __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + k),
                         _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
    }
#endif
    for (; k < n; ++k) {
        const std::uint32_t s = source[k], d = dest[k];
        const std::uint32_t sa = s >> 24, ia = 255u - sa;
        std::uint32_t b = ia * (d & 0xffu) + sa * (s & 0xffu);
        std::uint32_t g = ia * ((d >> 8) & 0xffu) + sa * ((s >> 8) & 0xffu);
        std::uint32_t r = ia * ((d >> 16) & 0xffu) + sa * ((s >> 16) & 0xffu);
        b = (b + 1u + (b >> 8)) >> 8;
        g = (g + 1u + (g >> 8)) >> 8;
        r = (r + 1u + (r >> 8)) >> 8;
        dest[k] = 0xff000000u | (r << 16) | (g << 8) | b;
    }
}

namespace {

// The copy of copyIfOpaque from pixel k on, one pixel at a time.
bool copyIfOpaqueTail(std::uint32_t* dest, const std::uint32_t* source, int k, int n) {
    std::uint32_t all = 0xffffffffu;
    for (; k < n; ++k) {
        all &= source[k];
        dest[k] = source[k];
    }
    return (all >> 24) == 255u;
}

} // namespace

#if defined(__x86_64__) && defined(__GNUC__)
namespace {

__attribute__((target("avx2"))) inline __m256i blendHalfAvx2(__m256i s16, __m256i d16) {
    // The source alpha (16-bit lane 3 of each pixel) spread over the pixel's four lanes.
    const __m256i alphaLanes =
        _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7, 6, 7,
                         6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    const __m256i sa = _mm256_shuffle_epi8(s16, alphaLanes);
    const __m256i ia = _mm256_sub_epi16(_mm256_set1_epi16(255), sa);
    __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(ia, d16), _mm256_mullo_epi16(sa, s16));
    x = _mm256_add_epi16(_mm256_add_epi16(x, _mm256_set1_epi16(1)), _mm256_srli_epi16(x, 8));
    return _mm256_srli_epi16(x, 8);
}

// The same arithmetic as the baseline, eight pixels at a time.
__attribute__((target("avx2"))) void blendRowOverOpaqueAvx2(std::uint32_t* dest,
                                                            const std::uint32_t* source, int n) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(int(0xff000000u));
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + k));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest + k));
        const __m256i lo =
            blendHalfAvx2(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero));
        const __m256i hi =
            blendHalfAvx2(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + k),
                            _mm256_or_si256(_mm256_packus_epi16(lo, hi), opaque));
    }
    blendRowOverOpaqueBaseline(dest + k, source + k, n - k);
}

__attribute__((target("avx2"))) bool copyIfOpaqueAvx2(std::uint32_t* dest,
                                                      const std::uint32_t* source, int n) {
    const __m256i alpha = _mm256_set1_epi32(int(0xff000000u));
    // Up to the destination's next 32-byte boundary one pixel at a time: stores that
    // straddle cache lines cost more than the loads that then straddle them.
    int k = std::min(n, int((32 - (reinterpret_cast<std::uintptr_t>(dest) & 31)) & 31) / 4);
    std::uint32_t head = 0xffffffffu;
    for (int j = 0; j < k; ++j) {
        head &= source[j];
        dest[j] = source[j];
    }
    if ((head >> 24) != 255u)
        return false;
    for (; k + 16 <= n; k += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + k));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + k + 8));
        const __m256i all = _mm256_and_si256(_mm256_and_si256(a, b), alpha);
        if (!_mm256_testc_si256(all, alpha))
            return false;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + k), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + k + 8), b);
    }
    return copyIfOpaqueTail(dest, source, k, n);
}

bool copyIfOpaqueSse2(std::uint32_t* dest, const std::uint32_t* source, int n) {
    const __m128i alpha = _mm_set1_epi32(int(0xff000000u));
    int k = 0;
    for (; k + 16 <= n; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + k + 4));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + k + 8));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + k + 12));
        const __m128i all = _mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(c, d));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(all, alpha), alpha)) != 0xffff)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + k), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + k + 4), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + k + 8), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + k + 12), d);
    }
    return copyIfOpaqueTail(dest, source, k, n);
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");

} // namespace
#endif

void blendRowOverOpaque(std::uint32_t* dest, const std::uint32_t* source, int n) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (kHasAvx2) {
        blendRowOverOpaqueAvx2(dest, source, n);
        return;
    }
#endif
    blendRowOverOpaqueBaseline(dest, source, n);
}

bool rowOpaque(const std::uint32_t* row, int n) {
    std::uint32_t all = 0xffffffffu;
    for (int k = 0; k < n; ++k)
        all &= row[k];
    return (all >> 24) == 255u;
}

bool copyIfOpaque(std::uint32_t* dest, const std::uint32_t* source, int n) {
#if defined(__x86_64__) && defined(__GNUC__)
    return kHasAvx2 ? copyIfOpaqueAvx2(dest, source, n) : copyIfOpaqueSse2(dest, source, n);
#else
    return copyIfOpaqueTail(dest, source, 0, n);
#endif
}

void blendRow(std::uint32_t* dest, const std::uint32_t* source, int n, bool destOpaque) {
    if (destOpaque) {
        blendRowOverOpaque(dest, source, n);
        return;
    }
    for (int k = 0; k < n; ++k)
        TBitmap32::BlendPixel(dest + k, source[k]);
}

} // namespace quill
