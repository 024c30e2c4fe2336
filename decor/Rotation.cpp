#include "decor/Rotation.h"

#include "imaging/IntegerText.h"
#include "imaging/Limits.h"
#include "imaging/Parallel.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace quill {
namespace {

constexpr long double kPiL = 3.141592653589793238462643383279502884L;

// Adding and subtracting 1.5 * 2^52 rounds a double to an integer, halves to even, in
// the default rounding mode; unlike nearbyint it vectorises without a library call.
constexpr double kRoundShift = 6755399441055744.0;
inline double roundEven(double v) { return (v + kRoundShift) - kRoundShift; }

// The exact sampling rule: Round(a * c - b * s) in long double, halves to even.
struct Turn {
    long double sinL, cosL;
    double sinD, cosD;
    // Offset of one coordinate: Round(dx * cos - dy * sin) (or the sin/cos pair).
    // The double value differs from the long double one by far less than 1e-6 for
    // canvases within the program's limits, so when it is not that close to a half
    // both round alike; near a half the long double formula decides.
    long sourceX(long dx, long dy) const
    {
        const double v = double(dx) * cosD - double(dy) * sinD;
        const double r = roundEven(v);
        if (std::fabs(std::fabs(v - r) - 0.5) > 1e-6)
            return long(r);
        return long(std::nearbyintl((long double)dx * cosL - (long double)dy * sinL));
    }
    long sourceY(long dx, long dy) const
    {
        const double v = double(dx) * sinD + double(dy) * cosD;
        const double r = roundEven(v);
        if (std::fabs(std::fabs(v - r) - 0.5) > 1e-6)
            return long(r);
        return long(std::nearbyintl((long double)dx * sinL + (long double)dy * cosL));
    }
};

} // namespace

double rotationAngle(std::int32_t degrees)
{
    return double(-(long double)degrees * kPiL / 180.0L);
}

AngleParse parseAngleText(std::string_view text)
{
    AngleParse result;
    if (!IsIntegerText(text)) {
        result.message = kPleaseInputValidInteger;
        return result;
    }
    result.degrees = StrToInt32(text);
    if (!result.degrees)
        result.message = notValidIntegerMessage(text);
    return result;
}

RotationResult RotatePicture(const TBitmap32& picture, int cx, int cy, double theta)
{
    RotationResult result;
    const int w = picture.width(), h = picture.height();
    if (picture.empty())
        return result;

    Turn turn;
    turn.sinL = std::sin((long double)theta);
    turn.cosL = std::cos((long double)theta);
    turn.sinD = double(turn.sinL);
    turn.cosD = double(turn.cosL);

    // The diagonal from W^2 + H^2 in 32-bit integers (no overflow within the limits).
    const long double diagonal = std::sqrt((long double)(std::int32_t(w * w + h * h)));
    const int padX = int(std::nearbyintl((diagonal - w) / 2));
    const int padY = int(std::nearbyintl((diagonal - h) / 2));
    const std::int64_t canvasW = std::int64_t(w) + 2 * padX, canvasH = std::int64_t(h) + 2 * padY;
    if (!pictureSizeAllowed(canvasW, canvasH))
        throw std::length_error("The turned picture is larger than the program can hold");
    const long centreX = long(cx) + padX, centreY = long(cy) + padY;

    // The canvas is the picture at (padX, padY) inside CutoutColor; it is never built:
    // a canvas pixel is read straight from the picture or is the cutout colour.
    auto canvasPixel = [&](long sx, long sy) -> std::uint32_t {
        const long px = sx - padX, py = sy - padY;
        if (px >= 0 && px < w && py >= 0 && py < h)
            return picture.pixel(int(px), int(py));
        return CutoutColor;
    };
    // Sampling outside the canvas gives the cutout colour too, the same as the padding.
    auto turnedPixel = [&](long x, long y) -> std::uint32_t {
        const long dx = x - centreX, dy = y - centreY;
        return canvasPixel(turn.sourceX(dx, dy) + centreX, turn.sourceY(dx, dy) + centreY);
    };

    // Margins: leading all-cutout rows (Top) and columns (Left) of the turned canvas.
    // firstContent[y] is the first column of row y holding another pixel, or -1.
    const int qw = int(canvasW), qh = int(canvasH);
    std::vector<int> firstContent(qh, -1);
    parallelRows(qh, std::size_t(qw) / 4 + 1, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < qw; ++x)
                if (turnedPixel(x, y) != CutoutColor) {
                    firstContent[y] = x;
                    break;
                }
    });
    int top = 0, left = 0;
    {
        int firstRow = -1, firstCol = qw;
        for (int y = 0; y < qh; ++y)
            if (firstContent[y] >= 0) {
                if (firstRow < 0)
                    firstRow = y;
                firstCol = std::min(firstCol, firstContent[y]);
            }
        if (firstRow >= 0) {
            top = firstRow;
            left = firstCol;
        }
    }
    // The trim takes as many columns (rows) from the right (bottom) as from the left
    // (top). Where the content lies off-centre in a small picture, that would leave no
    // column at all or a negative width; never take more than (size - 1) div 2.
    left = std::min(left, (qw - 1) / 2);
    top = std::min(top, (qh - 1) / 2);
    const int rw = qw - 2 * left, rh = qh - 2 * top;

    result.picture = TBitmap32::uninitialized(rw, rh);
    TBitmap32& out = result.picture;
    parallelRows(rh, std::size_t(rw), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint32_t* row = out.row32(y);
            const long dy = long(y) + top - centreY;
            for (int x = 0; x < rw; ++x) {
                const long dx = long(x) + left - centreX;
                row[x] = canvasPixel(turn.sourceX(dx, dy) + centreX,
                                     turn.sourceY(dx, dy) + centreY);
            }
        }
    });
    result.GrowX = padX - left;
    result.GrowY = padY - top;
    return result;
}

RotationResult rotateAboutCentre(const TBitmap32& picture, std::int32_t degrees)
{
    const int cx = int(std::nearbyintl(picture.width() / 2.0L));
    const int cy = int(std::nearbyintl(picture.height() / 2.0L));
    return RotatePicture(picture, cx, cy, rotationAngle(degrees));
}

} // namespace quill
