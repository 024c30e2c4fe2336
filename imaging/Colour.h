#pragma once

#include <cstdint>

namespace quill {

// The two grey conversions of the program, both evaluated in extended precision and
// rounded half-to-even, exactly as written:
//   greyPencil: Round(0.3 R + 0.59 G + 0.11 B)    (sketch effects, frames)
//   greyInk:    Round(0.299 R + 0.587 G + 0.11 B) (Pen & Ink, the Gray background effect)
// The weights are the program's own, 0.11 included.
int greyPencilLiteral(int r, int g, int b);
int greyInkLiteral(int r, int g, int b);

// The fast equivalent of greyPencilLiteral: exact integer arithmetic, falling back to the
// extended-precision formula only where the exact value is a tie. A test proves it equal
// to the literal form on all 2^24 colours. The ink grey's fast forms are the row passes
// of imaging/GreyRows.h.
inline int greyPencil(int r, int g, int b);

struct HSL360 {
    int h = 0; // 0 .. 360 (360 means the same hue as 0)
    int s = 0; // 0 .. 100
    int l = 0; // 0 .. 100
};
struct RGB8 {
    int r = 0, g = 0, b = 0;
};

// Whole-number hue / saturation / lightness conversions, computed in double precision.
HSL360 RGBtoHSL360(int r, int g, int b);
RGB8 HSLtoRGB360(int h, int s, int l);

// The three steps of HSLtoRGB360, each a function of one input, for code that tables
// them: the hue ramp (h 0..359) gives the channel values R, G, B; the saturation step
// moves a channel value toward 128, the lightness step toward 255 or 0. Each rounds
// half to even in double precision exactly as HSLtoRGB360 does.
void hslHueRamp(int h, double rgb[3]);
double hslSaturationStep(double v, int s);
double hslLightnessStep(double v, int l);

// One row of CMYK inks (bytes cyan, magenta, yellow, black) to blue, green, red and
// alpha 255: each colour is (255 - ink) x (255 - black) / 255, rounded. inverted: the
// inks are stored as 255 - ink, as Adobe's JPEG files store them.
void cmykRowToBgra(const std::uint8_t* cmyk, std::uint8_t* bgra, int width, bool inverted);

// A colour stored multiplied by its alpha (HEIF and TIFF may store them so), divided
// back: value x 255 / alpha rounded, at most 255; 0 where alpha is 0.
inline int unpremultiplied(int value, int alpha) {
    if (alpha == 255)
        return value;
    if (alpha == 0)
        return 0;
    const int v = (value * 255 + alpha / 2) / alpha;
    return v < 255 ? v : 255;
}

// ---- inline fast paths ----------------------------------------------------------

inline int greyPencil(int r, int g, int b) {
    const int n = 30 * r + 59 * g + 11 * b; // 100 x the exact value
    const int q = n / 100, rem = n - q * 100;
    if (rem != 50)
        return q + (rem > 50);
    return greyPencilLiteral(r, g, b);
}

} // namespace quill
