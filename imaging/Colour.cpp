#include "imaging/Colour.h"

#include "imaging/Bitmap32.h"

#include <cmath>

namespace quill {

int greyPencilLiteral(int r, int g, int b) {
    return int(std::nearbyintl(0.3L * r + 0.59L * g + 0.11L * b));
}

int greyInkLiteral(int r, int g, int b) {
    return int(std::nearbyintl(0.299L * r + 0.587L * g + 0.11L * b));
}

HSL360 RGBtoHSL360(int R, int G, int B) {
    const double r = R / 255.0, g = G / 255.0, b = B / 255.0;
    double mx = r, mn = r;
    if (g > mx)
        mx = g;
    if (b > mx)
        mx = b;
    if (g < mn)
        mn = g;
    if (b < mn)
        mn = b;
    const double L = (mx + mn) / 2;
    double S = 0, Hf = 0;
    if (mx != mn) {
        const double d = mx - mn;
        S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
        if (r == mx)
            Hf = (g - b) / d;
        else if (g == mx)
            Hf = 2 + (b - r) / d;
        else
            Hf = 4 + (r - g) / d;
        Hf = Hf / 6;
        if (Hf < 0)
            Hf += 1;
    }
    HSL360 out;
    out.h = int(std::nearbyint(Hf * 360));
    out.s = int(std::nearbyint(S * 100));
    out.l = int(std::nearbyint(L * 100));
    return out;
}

void hslHueRamp(int h, double v[3]) {
    const double k = 4.25; // 255 / 60 per degree
    if (h <= 60) {
        v[0] = 255;
        v[1] = std::nearbyint(h * k);
        v[2] = 0;
    } else if (h <= 120) {
        v[0] = std::nearbyint(255 - (h - 60) * k);
        v[1] = 255;
        v[2] = 0;
    } else if (h <= 180) {
        v[0] = 0;
        v[1] = 255;
        v[2] = std::nearbyint((h - 120) * k);
    } else if (h <= 240) {
        v[0] = 0;
        v[1] = std::nearbyint(255 - (h - 180) * k);
        v[2] = 255;
    } else if (h <= 300) {
        v[0] = std::nearbyint((h - 240) * k);
        v[1] = 0;
        v[2] = 255;
    } else {
        v[0] = 255;
        v[1] = 0;
        v[2] = std::nearbyint(255 - (h - 300) * k);
    }
}

double hslSaturationStep(double v, int s) {
    const double f = std::fabs(double(s - 100)) / 100;
    return std::nearbyint(v - (v - 128) * f);
}

double hslLightnessStep(double v, int l) {
    const double m = double(l - 50) / 50;
    if (m > 0)
        return std::nearbyint(v + (255 - v) * m);
    if (m < 0)
        return std::nearbyint(v + v * m);
    return v;
}

RGB8 HSLtoRGB360(int h, int s, int l) {
    if (h == 360)
        h = 0;
    if (h < 0 || h > 359 || s < 0 || s > 100 || l < 0 || l > 100)
        return {0, 0, 0};
    double v[3];
    hslHueRamp(h, v);
    for (double& c : v)
        c = hslLightnessStep(hslSaturationStep(c, s), l);
    return {int(v[0]), int(v[1]), int(v[2])};
}

void cmykRowToBgra(const std::uint8_t* cmyk, std::uint8_t* bgra, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // (255 - ink) * (255 - black) / 255 with the inverted values, rounded.
        bgra[kRed] = std::uint8_t((c * k + 127) / 255);
        bgra[kGreen] = std::uint8_t((m * k + 127) / 255);
        bgra[kBlue] = std::uint8_t((y * k + 127) / 255);
        bgra[kAlpha] = 255;
    }
}

} // namespace quill
