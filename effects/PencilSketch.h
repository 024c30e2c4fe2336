#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/GreyRows.h"

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

struct PencilSketchParams {
    enum class Slider { None, Lighting, Contrast } slider = Slider::None;
    int position = 0;
};

// The whole effect from an untouched picture: the edge sketch, then the grey starting
// picture (Slider::None), the lighting or the contrast of the slider moved last.
TBitmap32 pencilSketch(const TBitmap32& original, const PencilSketchParams& params);

// A new picture of the same size in which every pixel is toPixel(its pencil grey):
// toPixel takes the grey 0..255 as std::uint32_t and gives the whole pixel word. Rows run
// in parallel bands; a branch-free toPixel lets the compiler vectorise the loop.
template <class GreyToPixel>
TBitmap32 mapPencilGrey(const TBitmap32& picture, GreyToPixel toPixel) {
    TBitmap32 out = TBitmap32::uninitialized(picture.width(), picture.height());
    mapGreyRows(picture, out, pencilGreyRow,
                [toPixel](std::uint32_t, std::uint32_t grey) { return toPixel(grey); });
    return out;
}

} // namespace quill
