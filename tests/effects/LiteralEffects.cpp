#include "LiteralEffects.h"

#include "imaging/Colour.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace quill::literal {
namespace {

const int kColourBytes[3] = {kRed, kGreen, kBlue};

// The channel c of the pixel (x, y).
std::uint8_t& at(TBitmap32& p, int x, int y, int c) {
    return p.row(y)[4 * x + c];
}
int at(const TBitmap32& p, int x, int y, int c) {
    return p.row(y)[4 * x + c];
}

int clamp255(__int128 v) {
    return v < 0 ? 0 : (v > 255 ? 255 : int(v));
}

void copyPixel(TBitmap32& p, int toX, int toY, int fromX, int fromY) {
    p.setPixel(toX, toY, p.pixel(fromX, fromY));
}

void setColourBytes(TBitmap32& to, int x, int y, const TBitmap32& from, int fx, int fy) {
    for (int c : kColourBytes)
        at(to, x, y, c) = std::uint8_t(at(from, fx, fy, c));
}

void filterRed(TBitmap32& p, int x, int y) {
    at(p, x, y, kRed) = 255;
}
void filterYellow(TBitmap32& p, int x, int y) {
    at(p, x, y, kGreen) = 255;
    at(p, x, y, kBlue) = 0;
}
void filterBlue(TBitmap32& p, int x, int y) {
    at(p, x, y, kRed) = 0;
    at(p, x, y, kBlue) = 255;
}
void filterMagenta(TBitmap32& p, int x, int y) {
    at(p, x, y, kRed) = 255;
    at(p, x, y, kBlue) = 255;
}

template <bool Sobel> TBitmap32 fringe(const TBitmap32& original, const Kernel3x3& k) {
    TBitmap32 P = original;
    const TBitmap32 S = P;
    const int W = P.width(), H = P.height();
    for (int y = 1; y <= H - 2; ++y)
        for (int x = 1; x <= W - 2; ++x) {
            if (P.pixel(x, y) == CutoutColor) {
                P.setPixel(x, y, makePixel(19, 22, 39, 255));
                continue;
            }
            for (int c : kColourBytes) {
                auto s = [&](int dx, int dy) { return at(S, x + dx, y + dy, c); };
                __int128 sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        sum += static_cast<__int128>(k[(dy + 1) * 3 + (dx + 1)]) * s(dx, dy);
                const int r1 = clamp255(sum);
                int fixed;
                if (Sobel)
                    fixed = -s(-1, -1) + s(1, -1) - 2 * s(-1, 0) + 2 * s(1, 0) - s(-1, 1) + s(1, 1);
                else
                    fixed = s(-1, -1) - s(1, -1) + s(-1, 0) - s(1, 0) + s(-1, 1) - s(1, 1);
                const int r2 = clamp255(fixed);
                at(P, x, y, c) = std::uint8_t(std::max(r1, r2));
            }
            at(P, x, y, kAlpha) = 0;
        }
    for (int y = 1; y <= H - 2; ++y)
        if (W >= 2) { // a picture one pixel wide has no neighbour column
            copyPixel(P, 0, y, 1, y);
            copyPixel(P, W - 1, y, W - 2, y);
        }
    if (H >= 2) {
        for (int x = 0; x < W; ++x)
            copyPixel(P, x, 0, x, 1);
        for (int x = 0; x < W; ++x)
            copyPixel(P, x, H - 1, x, H - 2);
    }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 4; ++c)
                at(P, x, y, c) = std::uint8_t(255 - at(P, x, y, c));
    return P;
}

std::uint32_t nextRandom(std::uint32_t* seed) {
    *seed = *seed * 134775813u + 1u;
    return *seed;
}

int pencilGrey(const TBitmap32& p, int x, int y) {
    const long double v =
        0.3L * at(p, x, y, kRed) + 0.59L * at(p, x, y, kGreen) + 0.11L * at(p, x, y, kBlue);
    return int(std::nearbyintl(v));
}

int inkGrey(const TBitmap32& p, int x, int y) {
    const long double v =
        0.299L * at(p, x, y, kRed) + 0.587L * at(p, x, y, kGreen) + 0.11L * at(p, x, y, kBlue);
    return int(std::nearbyintl(v));
}

void setGrey(TBitmap32& p, int x, int y, int v) {
    at(p, x, y, kRed) = std::uint8_t(v);
    at(p, x, y, kGreen) = std::uint8_t(v);
    at(p, x, y, kBlue) = std::uint8_t(v);
    at(p, x, y, kAlpha) = std::uint8_t(255);
}

bool inside(const TBitmap32& p, int x, int y) {
    return x >= 0 && y >= 0 && x < p.width() && y < p.height();
}

void copyColour(TBitmap32& d, int fromX, int fromY, int toX, int toY) {
    if (!inside(d, fromX, fromY) || !inside(d, toX, toY))
        return;
    for (int c : {kBlue, kGreen, kRed})
        at(d, toX, toY, c) = std::uint8_t(at(d, fromX, fromY, c));
}

bool isBlack(const TBitmap32& p, int x, int y) {
    return at(p, x, y, kRed) == 0 && at(p, x, y, kGreen) == 0 && at(p, x, y, kBlue) == 0;
}

} // namespace

// Convolve(kernel, P, 1) on a copy of the original.
TBitmap32 realismArt(const TBitmap32& original, const Kernel3x3& k) {
    TBitmap32 P = original;
    const TBitmap32 S = P;
    const int W = P.width(), H = P.height();
    for (int y = 1; y <= H - 2; ++y)
        for (int x = 1; x <= W - 2; ++x) {
            if (P.pixel(x, y) == CutoutColor)
                continue;
            for (int c : kColourBytes) {
                __int128 v = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        v += static_cast<__int128>(k[(dy + 1) * 3 + (dx + 1)]) *
                             at(S, x + dx, y + dy, c);
                at(P, x, y, c) = std::uint8_t(clamp255(v));
            }
            at(P, x, y, kAlpha) = 255;
        }
    return P;
}

TBitmap32 abstractArt(const TBitmap32& original, const Kernel3x3& kernel) {
    return fringe<false>(original, kernel);
}
TBitmap32 popArt(const TBitmap32& original, const Kernel3x3& kernel) {
    return fringe<true>(original, kernel);
}

void sharpen(TBitmap32& T) {
    TBitmap32 D = T;
    const TBitmap32 S = D;
    const int W = T.width(), H = T.height();
    for (int y = 1; y <= H - 2; ++y)
        for (int x = 1; x <= W - 2; ++x)
            for (int c : kColourBytes) {
                const int v = 5 * at(S, x, y, c) - at(S, x, y - 1, c) - at(S, x - 1, y, c) -
                              at(S, x + 1, y, c) - at(S, x, y + 1, c);
                at(D, x, y, c) = std::uint8_t(clamp255(v));
            }
    T = D;
}

void soften(TBitmap32& T) {
    TBitmap32 D = T;
    const TBitmap32 S = T;
    const int W = T.width(), H = T.height();
    int a[9];
    for (int y = 1; y <= H - 2; ++y)
        for (int x = 1; x <= W - 2; ++x)
            for (int c : kColourBytes) {
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        a[n++] = at(S, x + dx, y + dy, c);
                std::sort(a, a + 9);
                at(D, x, y, c) = std::uint8_t(a[4]);
            }
    T = D;
}

TBitmap32 waterColor(const TBitmap32& original) {
    TBitmap32 T = original;
    for (int i = 0; i < 3; ++i) {
        sharpen(T);
        soften(T);
        soften(T);
    }
    return T;
}

TBitmap32 colorPanels(const TBitmap32& original) {
    TBitmap32 T = original;
    TBitmap32 Q1 = original, Q2 = original, Q3 = original, Q4 = original;
    for (TBitmap32* q : {&Q1, &Q2, &Q3, &Q4})
        ZoomInandOut(*q, 0.5L, 0.5L);
    const int w = Q1.width(), h = Q1.height();
    for (int y = 1; y <= h - 1; ++y)
        for (int x = 1; x <= w - 1; ++x) {
            filterRed(Q1, x, y);
            filterYellow(Q2, x, y);
            filterBlue(Q3, x, y);
            filterMagenta(Q4, x, y);
            setColourBytes(T, x, y, Q1, x, y);
            setColourBytes(T, w + x, y, Q2, x, y);
            setColourBytes(T, x, h + y, Q3, x, y);
            setColourBytes(T, w + x, h + y, Q4, x, y);
        }
    return T;
}

TBitmap32 colorBlocksVH(const TBitmap32& original) {
    TBitmap32 T = original;
    const int W = T.width(), H = T.height();
    const long double halfW = static_cast<long double>(W) / 2,
                      halfH = static_cast<long double>(H) / 2;
    for (int y = 1; y <= H - 1; ++y)
        for (int x = 1; x <= W - 1; ++x) {
            if (x < halfW && y < halfH)
                filterRed(T, x, y);
            else if (x < halfW && y >= halfH)
                filterYellow(T, x, y);
            else if (x >= halfW && y < halfH)
                filterBlue(T, x, y);
            else
                filterMagenta(T, x, y);
        }
    return T;
}

TBitmap32 colorBlocksCatercorner(const TBitmap32& original) {
    TBitmap32 T = original;
    const int W = T.width(), H = T.height();
    for (int y = 1; y <= H - 1; ++y)
        for (int x = 1; x <= W - 1; ++x) {
            const long double d1 = (static_cast<long double>(W) / H) * y;
            const long double d2 = static_cast<long double>(W * (H - y)) / H;
            if (x > d1 && x < d2)
                filterRed(T, x, y);
            else if (x > d1 && x >= d2)
                filterYellow(T, x, y);
            else if (x <= d1 && x >= d2)
                filterMagenta(T, x, y);
            else
                filterBlue(T, x, y);
        }
    return T;
}

TBitmap32 brume(const TBitmap32& original, std::uint32_t* seed) {
    TBitmap32 T = original;
    const TBitmap32 S = original;
    const int W = T.width(), H = T.height();
    for (int y = 1; y <= H - 1; ++y)
        for (int x = 1; x <= W - 1; ++x) {
            int ry = y + int((std::uint64_t(nextRandom(seed)) * 6) >> 32) - 3;
            int rx = x + int((std::uint64_t(nextRandom(seed)) * 6) >> 32) - 3;
            if (ry >= H)
                ry = H - 1;
            if (ry < 0)
                ry = 0;
            if (rx >= W)
                rx = W - 1;
            if (rx < 0)
                rx = 0;
            setColourBytes(T, x, y, S, rx, ry);
        }
    return T;
}

void picsobel(TBitmap32& picture) {
    const TBitmap32 s(picture);
    TBitmap32 d(picture);
    const int w = picture.width(), h = picture.height();
    for (int y = 1; y <= h - 2; ++y)
        for (int x = 1; x <= w - 2; ++x)
            for (int c : {kBlue, kGreen, kRed}) {
                auto v = [&](int dx, int dy) { return at(s, x + dx, y + dy, c); };
                int r1 =
                    6 * v(0, 0) - v(-1, -1) - v(0, -1) - v(1, -1) - v(-1, 1) - v(0, 1) - v(1, 1);
                r1 = std::clamp(r1, 0, 255);
                int r2 = v(-1, -1) - v(1, -1) + v(-1, 0) - v(1, 0) + v(-1, 1) - v(1, 1);
                r2 = std::clamp(r2, 0, 255);
                at(d, x, y, c) = std::uint8_t(std::max(r1, r2));
            }
    for (int y = 1; y <= h - 2; ++y) {
        copyColour(d, 1, y, 0, y);
        copyColour(d, w - 2, y, w - 1, y);
    }
    for (int x = 0; x < w; ++x)
        copyColour(d, x, 1, x, 0);
    for (int x = 0; x < w; ++x)
        copyColour(d, x, h - 2, x, h - 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                at(d, x, y, c) = std::uint8_t(255 - at(d, x, y, c));
    picture = d;
}

TBitmap32 greyBase(const TBitmap32& edgeBase) {
    TBitmap32 out(edgeBase);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            setGrey(out, x, y, std::clamp(pencilGrey(edgeBase, x, y), 0, 255));
    return out;
}

TBitmap32 lighting(const TBitmap32& edgeBase, int position) {
    TBitmap32 out(edgeBase);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            setGrey(out, x, y,
                    std::clamp(pencilGrey(edgeBase, x, y) + 2 * (position - 128), 0, 255));
    return out;
}

TBitmap32 contrast(const TBitmap32& greyBase, int position) {
    const long double pi = 3.141592653589793238462643383279502884L;
    TBitmap32 out(greyBase);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const HSL360 hsl =
                RGBtoHSL360(at(out, x, y, kRed), at(out, x, y, kGreen), at(out, x, y, kBlue));
            const long double t = std::tan(position * pi / 180);
            long double l;
            if (position >= 45)
                l = std::nearbyintl(t * (hsl.l - 50 - (position - 45))) + 50;
            else
                l = std::nearbyintl(t * (hsl.l - 55)) + (100 - position);
            l = std::clamp(l, 0.0L, 100.0L);
            const RGB8 rgb = HSLtoRGB360(hsl.h, hsl.s, int(l));
            at(out, x, y, kRed) = std::uint8_t(rgb.r);
            at(out, x, y, kGreen) = std::uint8_t(rgb.g);
            at(out, x, y, kBlue) = std::uint8_t(rgb.b);
            at(out, x, y, kAlpha) = std::uint8_t(255);
        }
    return out;
}

TBitmap32 penThreshold(const TBitmap32& edgeBase, int pressure, bool hollow) {
    TBitmap32 out(edgeBase);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            if (pencilGrey(edgeBase, x, y) <= pressure)
                out.setPixel(x, y, makePixel(0, 0, 0, 255));
            else if (hollow)
                out.setPixel(x, y, CutoutColor);
            else
                out.setPixel(x, y, makePixel(255, 255, 255, 255));
        }
    return out;
}

void pictureTwoValue(TBitmap32& picture, int threshold, bool hollow) {
    TBitmap32 copy(picture);
    for (int y = 0; y < copy.height(); ++y)
        for (int x = 0; x < copy.width(); ++x) {
            if (inkGrey(copy, x, y) <= threshold)
                copy.setPixel(x, y, makePixel(0, 0, 0, 255));
            else if (hollow)
                copy.setPixel(x, y, CutoutColor);
            else
                copy.setPixel(x, y, makePixel(255, 255, 255, 255));
        }
    picture = copy;
}

TBitmap32 penandink(const TBitmap32& inkBase, bool hollow) {
    const TBitmap32 s(inkBase);
    TBitmap32 d(inkBase);
    for (int y = 1; y <= s.height() - 2; ++y)
        for (int x = 1; x <= s.width() - 2; ++x) {
            bool allBlack = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    allBlack = allBlack && isBlack(s, x + dx, y + dy);
            if (allBlack)
                d.setPixel(x, y, hollow ? CutoutColor : makePixel(255, 255, 255, 255));
        }
    return d;
}

void bitmapDilate(TBitmap32& picture, int direction) {
    // The two stroke neighbours (dx1, dy1) and (dx2, dy2) of directions 1 to 4.
    static const int kStroke[4][4] = {{-1, 1, 1, -1}, {-1, -1, 1, 1}, {0, 1, 0, -1}, {-1, 0, 1, 0}};
    if (direction < 1 || direction > 4)
        return;
    const auto& [dx1, dy1, dx2, dy2] = kStroke[direction - 1];
    const TBitmap32 q(picture);
    for (int y = 1; y <= picture.height() - 2; ++y)
        for (int x = 1; x <= picture.width() - 2; ++x) {
            const bool coloured = at(picture, x, y, kRed) != 0 && at(picture, x, y, kGreen) != 0 &&
                                  at(picture, x, y, kBlue) != 0;
            if (coloured && (isBlack(q, x + dx1, y + dy1) || isBlack(q, x + dx2, y + dy2)))
                for (int c : {kBlue, kGreen, kRed})
                    at(picture, x, y, c) = std::uint8_t(0);
        }
}

TBitmap32 fromRows(const std::vector<std::string>& rows) {
    TBitmap32 out(int(rows[0].size()), int(rows.size()));
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const char c = rows[std::size_t(y)][std::size_t(x)];
            out.setPixel(x, y,
                         c == '#'   ? makePixel(0, 0, 0, 255)
                         : c == 'o' ? CutoutColor
                                    : makePixel(255, 255, 255, 255));
        }
    return out;
}

std::vector<std::string> toRows(const TBitmap32& picture, bool anyAlpha) {
    const std::uint32_t mask = anyAlpha ? 0x00ffffffu : 0xffffffffu;
    std::vector<std::string> rows;
    for (int y = 0; y < picture.height(); ++y) {
        std::string row;
        for (int x = 0; x < picture.width(); ++x) {
            const std::uint32_t p = picture.pixel(x, y);
            row += p == CutoutColor                                 ? 'o'
                   : (p & mask) == (makePixel(0, 0, 0, 255) & mask) ? '#'
                   : (p & mask) == (0xffffffffu & mask)             ? '.'
                                                                    : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

std::string difference(const TBitmap32& actual, const TBitmap32& expected) {
    std::ostringstream out;
    if (actual.width() != expected.width() || actual.height() != expected.height()) {
        out << "size " << actual.width() << "x" << actual.height() << " instead of "
            << expected.width() << "x" << expected.height();
        return out.str();
    }
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y)) {
                out << std::hex << "pixel (" << std::dec << x << "," << y << ") is 0x" << std::hex
                    << actual.pixel(x, y) << " instead of 0x" << expected.pixel(x, y);
                return out.str();
            }
    return "";
}

} // namespace quill::literal
