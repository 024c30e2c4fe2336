#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill {

// For the colours whose weighted grey wr R + wg G + wb B (in units of 1 / scale) lies
// exactly on a half, whether the extended-precision formula literal rounds it down: a
// half can land either side of it there. Each (R, G) has at most one such blue in every
// hundred (the weights used make the blue unique modulo 100), so one byte per (R, G)
// holds a bit for each hundred: 64 KiB, built once from literal.
class GreyHalves {
  public:
    GreyHalves(int wr, int wg, int wb, int scale, int (*literal)(int, int, int));
    // 1 when the half at this colour rounds down, else 0; only meaningful on a half.
    int roundsDown(int r, int g, int b) const { return (m_bits[(r << 8) | g] >> (b / 100)) & 1; }
    // Corrects grey[i], computed with halves rounded up, wherever half[i] is set; pixels
    // holds the count pixels' bytes.
    void settle(const std::uint8_t* pixels, const std::uint8_t* half, int count,
                std::uint8_t* grey) const;

  private:
    std::uint8_t m_bits[65536] = {};
};

// The integer form of one grey conversion Round((wr R + wg G + wb B) / scale), given by
// Weights:
//   Weights::kR, kG, kB, kScale   wr, wg, wb and scale (weights below 2^15);
//   Weights::kPreShift, kMagic, kPostShift
//                                 n / scale = (((n >> kPreShift) * kMagic) >> 16) >> kPostShift
//                                 for every biased sum n = wr R + wg G + wb B + scale / 2,
//                                 with n >> kPreShift below 2^15: a 16-bit high-half multiply;
//   Weights::halves()             the GreyHalves of the conversion's extended-precision form.
namespace greyweights {

template <class Weights>
constexpr std::uint32_t biasedSum(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return std::uint32_t(Weights::kR) * r + std::uint32_t(Weights::kG) * g +
           std::uint32_t(Weights::kB) * b + std::uint32_t(Weights::kScale / 2);
}

template <class Weights> constexpr std::uint32_t quotient(std::uint32_t n) {
    return (((n >> Weights::kPreShift) * std::uint32_t(Weights::kMagic)) >> 16) >>
           Weights::kPostShift;
}

// Whether the high-half multiply gives n / scale for every biased sum. Both sides grow with
// n, so they agree everywhere once they agree on each side of every step of n / scale.
template <class Weights> constexpr bool quotientExact() {
    constexpr std::uint32_t top = biasedSum<Weights>(255, 255, 255);
    constexpr std::uint32_t scale = Weights::kScale;
    if ((top >> Weights::kPreShift) >= 32768 || quotient<Weights>(0) != 0 ||
        quotient<Weights>(top) != top / scale)
        return false;
    for (std::uint32_t k = 1; k * scale <= top; ++k)
        if (quotient<Weights>(k * scale - 1) != k - 1 || quotient<Weights>(k * scale) != k)
            return false;
    return true;
}

#if defined(__SSE2__)
// The biased sums of four pixels as 32-bit lanes: a multiply-add gives the blue and green
// part and the red part of each pixel side by side, and the two are added.
template <class Weights> inline __m128i sumsOfFour(__m128i pixels) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_setr_epi16(Weights::kB, Weights::kG, Weights::kR, 0, Weights::kB,
                                           Weights::kG, Weights::kR, 0);
    const __m128 lo = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero), weights));
    const __m128 hi = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero), weights));
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_add_epi32(_mm_add_epi32(even, odd), _mm_set1_epi32(Weights::kScale / 2));
}

// The quotients of eight biased sums (two vectors of four) as 16-bit lanes.
template <class Weights> inline __m128i quotientsOfEight(__m128i n0, __m128i n1) {
    const __m128i m = _mm_packs_epi32(_mm_srli_epi32(n0, Weights::kPreShift),
                                      _mm_srli_epi32(n1, Weights::kPreShift));
    return _mm_srli_epi16(_mm_mulhi_epu16(m, _mm_set1_epi16(short(Weights::kMagic))),
                          Weights::kPostShift);
}

// All ones in the 32-bit lanes whose sum n is exactly q scale: a half.
template <class Weights> inline __m128i halvesOfFour(__m128i n, __m128i q) {
    return _mm_cmpeq_epi32(_mm_madd_epi16(q, _mm_set1_epi32(Weights::kScale)), n);
}

// Sixteen greys with halves rounded up, and their half marks (1 on a half, else 0); the
// marks are also returned as a mask of 0 or 0xff bytes.
template <class Weights>
inline __m128i greySixteen(const std::uint32_t* pixels, std::uint8_t* grey, std::uint8_t* half) {
    const __m128i zero = _mm_setzero_si128();
    __m128i n[4];
    for (int k = 0; k < 4; ++k)
        n[k] = sumsOfFour<Weights>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels) + k));
    const __m128i q01 = quotientsOfEight<Weights>(n[0], n[1]);
    const __m128i q23 = quotientsOfEight<Weights>(n[2], n[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(grey), _mm_packus_epi16(q01, q23));
    const __m128i h01 = _mm_packs_epi32(halvesOfFour<Weights>(n[0], _mm_unpacklo_epi16(q01, zero)),
                                        halvesOfFour<Weights>(n[1], _mm_unpackhi_epi16(q01, zero)));
    const __m128i h23 = _mm_packs_epi32(halvesOfFour<Weights>(n[2], _mm_unpacklo_epi16(q23, zero)),
                                        halvesOfFour<Weights>(n[3], _mm_unpackhi_epi16(q23, zero)));
    const __m128i marks = _mm_packs_epi16(h01, h23);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(half), _mm_and_si128(marks, _mm_set1_epi8(1)));
    return marks;
}
#endif

} // namespace greyweights

// The grey of each of the width pixels of row, written into grey. Sixteen pixels at a time
// where the processor has SSE2, the rest one by one; halves are rounded up and marked, and
// the few marked ones are then settled the way the extended-precision formula settles them.
template <class Weights>
void weightedGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey) {
    static_assert(Weights::kR > 0 && Weights::kG > 0 && Weights::kB > 0 && Weights::kR < 32768 &&
                  Weights::kG < 32768 && Weights::kB < 32768 && Weights::kScale < 32768 &&
                  Weights::kScale % 2 == 0);
    static_assert(greyweights::quotientExact<Weights>());
    constexpr std::uint32_t scale = Weights::kScale;
    constexpr int kChunk = 1024; // the half marks of a chunk sit on the stack
    for (int x0 = 0; x0 < width; x0 += kChunk) {
        const int count = std::min(kChunk, width - x0);
        const std::uint32_t* pixels = row + x0;
        std::uint8_t* out = grey + x0;
        std::uint8_t half[kChunk];
        std::uint8_t anyHalf = 0;
        int i = 0;
#if defined(__SSE2__)
        __m128i marks = _mm_setzero_si128();
        for (; i + 16 <= count; i += 16)
            marks = _mm_or_si128(marks,
                                 greyweights::greySixteen<Weights>(pixels + i, out + i, half + i));
        anyHalf = std::uint8_t(_mm_movemask_epi8(marks) != 0);
#endif
        for (; i < count; ++i) {
            const std::uint32_t p = pixels[i];
            const std::uint32_t n =
                greyweights::biasedSum<Weights>(pixelRed(p), pixelGreen(p), pixelBlue(p));
            const std::uint32_t q = n / scale;
            out[i] = std::uint8_t(q);
            half[i] = std::uint8_t(q * scale == n);
            anyHalf |= half[i];
        }
        if (!anyHalf)
            continue;
        Weights::halves().settle(reinterpret_cast<const std::uint8_t*>(pixels), half, count, out);
    }
}

// Every pixel of target becomes toPixel(pixel, grey), where pixel is the pixel of source at
// the same place and grey (0..255, as std::uint32_t) its grey as greyRow(row, width, grey)
// writes it for a run of pixels. target must have source's size and may be source itself:
// each chunk's grey is taken before the chunk is written. Rows run in parallel bands; a
// branch-free toPixel lets the compiler vectorise the loop.
template <class GreyRow, class ToPixel>
void mapGreyRows(const TBitmap32& source, TBitmap32& target, GreyRow greyRow, ToPixel toPixel) {
    const int w = source.width();
    parallelRows(source.height(), std::size_t(w), [&](int begin, int end) {
        constexpr int kChunk = 1024; // the grey of a chunk of a row sits on the stack
        std::uint8_t grey[kChunk];
        const int width = w; // a local bound: the loops below must see it cannot change
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* in = source.row32(y);
            std::uint32_t* dst = target.row32(y);
            for (int x0 = 0; x0 < width; x0 += kChunk) {
                const int count = std::min(kChunk, width - x0);
                greyRow(in + x0, count, grey);
                const std::uint32_t* from = in + x0;
                std::uint32_t* to = dst + x0;
                for (int i = 0; i < count; ++i)
                    to[i] = toPixel(from[i], std::uint32_t(grey[i]));
            }
        }
    });
}

// The two grey conversions the program uses, as row functions for mapGreyRows: the pencil
// grey Round(0.3 R + 0.59 G + 0.11 B) (sketches, frames) and the ink grey
// Round(0.299 R + 0.587 G + 0.11 B) (Pen & Ink, the Gray background), each with the
// halves of its extended-precision form, built on first use.
const GreyHalves& pencilGreyHalves();
void pencilGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey);
const GreyHalves& inkGreyHalves();
void inkGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey);

} // namespace quill
