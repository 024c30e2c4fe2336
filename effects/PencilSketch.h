#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <cstdint>

namespace quill {

// Ranges of the Pencil Sketch sliders.
inline constexpr int kLightingMin = 0, kLightingMax = 255, kLightingStart = 128;
inline constexpr int kContrastMin = 0, kContrastMax = 89, kContrastStart = 45;

// Grey conversion of the edge sketch: g = Round(0.3 R + 0.59 G + 0.11 B),
// R = G = B = g, alpha 255.
TBitmap32 pencilGreyBase(const TBitmap32& edgeBase);

// Lighting slider (0..255, positions outside are taken as the nearest end): the grey of
// each pixel raised by 2 (position - 128), clamped to 0..255; alpha 255.
TBitmap32 pencilLighting(const TBitmap32& edgeBase, int position);

// Contrast slider (0..89, positions outside are taken as the nearest end): each pixel
// goes through the whole-number HSL conversion, its lightness is stretched around the
// middle by tan(position degrees), and it is converted back; alpha 255.
TBitmap32 pencilContrast(const TBitmap32& greyBase, int position);

// The numbers the slider labels show: Round(p * 100 / 255) and Round(p * 100 / 89).
int lightingLabel(int position);
int contrastLabel(int position);

// The output grey of the contrast for an input grey v (R = G = B = v), exactly as the
// HSL round trip gives it.
int contrastGrey(int grey, int position);

struct PencilSketchParams {
    enum class Slider { None, Lighting, Contrast } slider = Slider::None;
    int position = 0;
};

// The whole effect from an untouched picture: the edge sketch, then the grey starting
// picture (Slider::None), the lighting or the contrast of the slider moved last.
TBitmap32 pencilSketch(const TBitmap32& original, const PencilSketchParams& params);

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

// The halves of the pencil grey Round(0.3 R + 0.59 G + 0.11 B), built on first use.
const GreyHalves& pencilGreyHalves();

// Writes the pencil grey of each of the width pixels of row into grey.
void pencilGreyRow(const std::uint32_t* row, int width, std::uint8_t* grey);

// A new picture of the same size in which every pixel is toPixel(its pencil grey):
// toPixel takes the grey 0..255 as std::uint32_t and gives the whole pixel word. Rows run
// in parallel bands; a branch-free toPixel lets the compiler vectorise the loop.
template <class GreyToPixel>
TBitmap32 mapPencilGrey(const TBitmap32& picture, GreyToPixel toPixel) {
    const int w = picture.width(), h = picture.height();
    TBitmap32 out = TBitmap32::uninitialized(w, h);
    parallelRows(h, std::size_t(w), [&](int begin, int end) {
        constexpr int kChunk = 1024; // the grey of a chunk of a row sits on the stack
        std::uint8_t grey[kChunk];
        const int width = w;
        for (int y = begin; y < end; ++y) {
            const std::uint32_t* in = picture.row32(y);
            std::uint32_t* dst = out.row32(y);
            for (int x0 = 0; x0 < width; x0 += kChunk) {
                const int count = std::min(kChunk, width - x0);
                pencilGreyRow(in + x0, count, grey);
                std::uint32_t* chunk = dst + x0;
                for (int i = 0; i < count; ++i)
                    chunk[i] = toPixel(std::uint32_t(grey[i]));
            }
        }
    });
    return out;
}

} // namespace quill
