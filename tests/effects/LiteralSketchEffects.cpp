#include "LiteralSketchEffects.h"

#include "imaging/Colour.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace quill::literal {
namespace {

int channel(const TBitmap32& p, int x, int y, int c) {
    return p.row(y)[4 * x + c];
}
void setChannel(TBitmap32& p, int x, int y, int c, int v) {
    p.row(y)[4 * x + c] = std::uint8_t(v);
}

int pencilGrey(const TBitmap32& p, int x, int y) {
    const long double v = 0.3L * channel(p, x, y, kRed) + 0.59L * channel(p, x, y, kGreen) +
                          0.11L * channel(p, x, y, kBlue);
    return int(std::nearbyintl(v));
}

int inkGrey(const TBitmap32& p, int x, int y) {
    const long double v = 0.299L * channel(p, x, y, kRed) + 0.587L * channel(p, x, y, kGreen) +
                          0.11L * channel(p, x, y, kBlue);
    return int(std::nearbyintl(v));
}

void setGrey(TBitmap32& p, int x, int y, int v) {
    setChannel(p, x, y, kRed, v);
    setChannel(p, x, y, kGreen, v);
    setChannel(p, x, y, kBlue, v);
    setChannel(p, x, y, kAlpha, 255);
}

bool inside(const TBitmap32& p, int x, int y) {
    return x >= 0 && y >= 0 && x < p.width() && y < p.height();
}

void copyColour(TBitmap32& d, int fromX, int fromY, int toX, int toY) {
    if (!inside(d, fromX, fromY) || !inside(d, toX, toY))
        return;
    for (int c : {kBlue, kGreen, kRed})
        setChannel(d, toX, toY, c, channel(d, fromX, fromY, c));
}

bool isBlack(const TBitmap32& p, int x, int y) {
    return channel(p, x, y, kRed) == 0 && channel(p, x, y, kGreen) == 0 &&
           channel(p, x, y, kBlue) == 0;
}

} // namespace

void picsobel(TBitmap32& picture) {
    const TBitmap32 s(picture);
    TBitmap32 d(picture);
    const int w = picture.width(), h = picture.height();
    for (int y = 1; y <= h - 2; ++y)
        for (int x = 1; x <= w - 2; ++x)
            for (int c : {kBlue, kGreen, kRed}) {
                auto v = [&](int dx, int dy) { return channel(s, x + dx, y + dy, c); };
                int r1 =
                    6 * v(0, 0) - v(-1, -1) - v(0, -1) - v(1, -1) - v(-1, 1) - v(0, 1) - v(1, 1);
                r1 = std::clamp(r1, 0, 255);
                int r2 = v(-1, -1) - v(1, -1) + v(-1, 0) - v(1, 0) + v(-1, 1) - v(1, 1);
                r2 = std::clamp(r2, 0, 255);
                setChannel(d, x, y, c, std::max(r1, r2));
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
                setChannel(d, x, y, c, 255 - channel(d, x, y, c));
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
            const HSL360 hsl = RGBtoHSL360(channel(out, x, y, kRed), channel(out, x, y, kGreen),
                                           channel(out, x, y, kBlue));
            const long double t = std::tan(position * pi / 180);
            long double l;
            if (position >= 45)
                l = std::nearbyintl(t * (hsl.l - 50 - (position - 45))) + 50;
            else
                l = std::nearbyintl(t * (hsl.l - 55)) + (100 - position);
            l = std::clamp(l, 0.0L, 100.0L);
            const RGB8 rgb = HSLtoRGB360(hsl.h, hsl.s, int(l));
            setChannel(out, x, y, kRed, rgb.r);
            setChannel(out, x, y, kGreen, rgb.g);
            setChannel(out, x, y, kBlue, rgb.b);
            setChannel(out, x, y, kAlpha, 255);
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
            const bool coloured = channel(picture, x, y, kRed) != 0 &&
                                  channel(picture, x, y, kGreen) != 0 &&
                                  channel(picture, x, y, kBlue) != 0;
            if (coloured && (isBlack(q, x + dx1, y + dy1) || isBlack(q, x + dx2, y + dy2)))
                for (int c : {kBlue, kGreen, kRed})
                    setChannel(picture, x, y, c, 0);
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
