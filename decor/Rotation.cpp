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
inline double roundEven(double v) {
    return (v + kRoundShift) - kRoundShift;
}

// The sampling rule: sx = Round(dx cos - dy sin), sy = Round(dx sin + dy cos), each
// product sum in long double, rounded half to even.
struct Turn {
    long double sinL, cosL;
    double sinD, cosD;

    long exactX(long dx, long dy) const {
        return long(std::nearbyintl((long double)dx * cosL - (long double)dy * sinL));
    }
    long exactY(long dx, long dy) const {
        return long(std::nearbyintl((long double)dx * sinL + (long double)dy * cosL));
    }

    // The offsets of a run of a row, dx = dx0 .. dx0 + count - 1 at a fixed dy, as 32-bit
    // whole numbers, with nearHalf[i] set where the long double formula must decide. The
    // double sums differ from the long double ones by far less than 1e-6 within the
    // program's picture limits, so where the nearer sum is not within 1e-6 of a half
    // both round alike (see RowOffsets::get). This loop vectorises.
    void runWhole(long dx0, long dy, int count, std::int32_t* __restrict sx,
                  std::int32_t* __restrict sy, std::uint8_t* __restrict nearHalf) const {
        const double a = -(double(dy) * sinD), b = double(dy) * cosD;
        const double c = cosD, s = sinD, start = double(dx0);
        for (int i = 0; i < count; ++i) {
            const double dx = start + double(i);
            const double vx = dx * c + a, vy = dx * s + b;
            const double rx = roundEven(vx), ry = roundEven(vy);
            const double gx = std::fabs(std::fabs(vx - rx) - 0.5);
            const double gy = std::fabs(std::fabs(vy - ry) - 0.5);
            nearHalf[i] = std::uint8_t(!((gx < gy ? gx : gy) > 1e-6));
            sx[i] = std::int32_t(rx);
            sy[i] = std::int32_t(ry);
        }
    }
};

// The source offsets of a run of at most kMaxRun pixels of one row.
struct RowOffsets {
    static constexpr int kMaxRun = 256;
    std::int32_t sx[kMaxRun], sy[kMaxRun];
    std::uint8_t nearHalf[kMaxRun];
    long dx0 = 0, dy = 0;
    // Offsets of the count pixels from dx = rowDx0 on.
    void compute(const Turn& turn, long rowDx0, long rowDy, int count) {
        dx0 = rowDx0;
        dy = rowDy;
        turn.runWhole(dx0, dy, count, sx, sy, nearHalf);
    }
    void get(const Turn& turn, int i, std::int32_t& x, std::int32_t& y) const {
        if (!nearHalf[i]) {
            x = sx[i];
            y = sy[i];
        } else {
            x = std::int32_t(turn.exactX(dx0 + i, dy));
            y = std::int32_t(turn.exactY(dx0 + i, dy));
        }
    }
};

// The columns [first, last] of a turned-canvas row whose samples can fall on the picture,
// found from the real-valued sample line with a margin of two pixels, so every column
// outside the span samples outside the picture (a cutout pixel) whatever the rounding.
// Empty (first > last) when the row misses the picture.
struct Span {
    int first, last;
};
Span pictureSpan(const Turn& turn, long dy, long xToDx, int columns, double offsetX, double offsetY,
                 int w, int h) {
    // Picture position of column x: (dx c - dy s + offsetX, dx s + dy c + offsetY), dx = x + xToDx.
    double lo = -1e300, hi = 1e300;
    auto limit = [&](double k, double m, double low, double high) {
        if (std::fabs(k) < 1e-12) {
            if (m < low || m > high) {
                lo = 1;
                hi = 0;
            }
            return;
        }
        double a = (low - m) / k, b = (high - m) / k;
        if (a > b)
            std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
    };
    const double margin = 2;
    limit(turn.cosD, -double(dy) * turn.sinD + offsetX, -margin, w - 1 + margin);
    limit(turn.sinD, double(dy) * turn.cosD + offsetY, -margin, h - 1 + margin);
    if (lo > hi)
        return {1, 0};
    const double first = std::max(std::floor(lo) - double(xToDx), 0.0);
    const double last = std::min(std::ceil(hi) - double(xToDx), double(columns - 1));
    if (first > last)
        return {1, 0};
    return {int(first), int(last)};
}

// Reads the padded canvas: the picture at (padX, padY) inside CutoutColor. The canvas is
// never built; sampling outside it gives the cutout colour too, as the padding does.
struct CanvasReader {
    const TBitmap32& picture;
    long offsetX, offsetY; // canvas coordinates minus picture coordinates, less the centre
    std::uint32_t operator()(std::int32_t sx, std::int32_t sy) const {
        const unsigned long px = (unsigned long)(sx + offsetX), py = (unsigned long)(sy + offsetY);
        if (px < (unsigned long)picture.width() && py < (unsigned long)picture.height())
            return picture.row32(int(py))[px];
        return CutoutColor;
    }
};

} // namespace

double rotationAngle(std::int32_t degrees) {
    return double(-(long double)degrees * kPiL / 180.0L);
}

AngleParse parseAngleText(std::string_view text) {
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

namespace {

struct Margins {
    int left = 0, top = 0;
};

// The turn itself. With marginsOnly, only the untrimmed margins of the turned canvas are
// found (into *found); with trim, those margins are used instead of the picture's own.
RotationResult turnPicture(const TBitmap32& picture, int cx, int cy, double theta,
                           const Margins* trim, Margins* found) {
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
    // Source canvas (sx + centre) holds picture pixel (sx + centre - pad).
    const CanvasReader read{picture, centreX - padX, centreY - padY};

    // Margins: leading all-cutout rows (Top) and columns (Left) of the turned canvas.
    // firstContent[y] is the first column of row y holding another pixel, or -1.
    const int qw = int(canvasW), qh = int(canvasH);
    std::vector<int> firstContent(qh, -1);
    // Picture position of a sample offset: offset + centre - pad.
    const double toPictureX = double(centreX - padX), toPictureY = double(centreY - padY);
    parallelRows(qh, std::size_t(qw) / 4 + 1, [&](int y0, int y1) {
        RowOffsets offsets;
        for (int y = y0; y < y1; ++y) {
            const long dy = y - centreY;
            const Span span = pictureSpan(turn, dy, -centreX, qw, toPictureX, toPictureY, w, h);
            if (span.first > span.last)
                continue; // every sample of the row is outside the picture
            // The first content lies a pixel or two into the span unless the picture
            // holds cutout pixels itself: the offsets are worked out a short run at a time.
            constexpr int kRun = 32;
            for (int x0 = span.first; x0 <= span.last && firstContent[y] < 0; x0 += kRun) {
                const int count = std::min(kRun, span.last - x0 + 1);
                offsets.compute(turn, x0 - centreX, dy, count);
                for (int i = 0; i < count; ++i) {
                    std::int32_t sx, sy;
                    offsets.get(turn, i, sx, sy);
                    if (read(sx, sy) != CutoutColor) {
                        firstContent[y] = x0 + i;
                        break;
                    }
                }
            }
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
    if (found) {
        *found = {left, top};
        return result;
    }
    if (trim) {
        left = trim->left;
        top = trim->top;
    }
    // The trim takes as many columns (rows) from the right (bottom) as from the left
    // (top). Where the content lies off-centre in a small picture, that would leave no
    // column at all or a negative width; never take more than (size - 1) div 2.
    left = std::min(left, (qw - 1) / 2);
    top = std::min(top, (qh - 1) / 2);
    const int rw = qw - 2 * left, rh = qh - 2 * top;

    result.picture = TBitmap32::uninitialized(rw, rh);
    TBitmap32& out = result.picture;
    const long xToDx = long(left) - centreX;
    parallelRows(rh, std::size_t(rw), [&](int y0, int y1) {
        // The band is worked in blocks of columns, so that the picture rows a block reads
        // stay in the cache from one turned row to the next.
        constexpr int kBlock = RowOffsets::kMaxRun;
        RowOffsets offsets;
        std::vector<Span> spans(std::size_t(y1 - y0));
        for (int y = y0; y < y1; ++y) {
            const long dy = long(y) + top - centreY;
            std::uint32_t* row = out.row32(y);
            const Span span = pictureSpan(turn, dy, xToDx, rw, toPictureX, toPictureY, w, h);
            spans[std::size_t(y - y0)] = span;
            if (span.first > span.last) {
                std::fill(row, row + rw, CutoutColor);
                continue;
            }
            std::fill(row, row + span.first, CutoutColor);
            std::fill(row + span.last + 1, row + rw, CutoutColor);
        }
        for (int xb = 0; xb < rw; xb += kBlock)
            for (int y = y0; y < y1; ++y) {
                const Span span = spans[std::size_t(y - y0)];
                const int first = std::max(span.first, xb);
                const int last = std::min(span.last, xb + kBlock - 1);
                if (first > last)
                    continue;
                const long dy = long(y) + top - centreY;
                const int count = last - first + 1;
                offsets.compute(turn, first + xToDx, dy, count);
                std::uint32_t* row = out.row32(y) + first;
                for (int i = 0; i < count; ++i) {
                    std::int32_t sx, sy;
                    offsets.get(turn, i, sx, sy);
                    row[i] = read(sx, sy);
                }
            }
    });
    result.GrowX = padX - left;
    result.GrowY = padY - top;
    return result;
}

} // namespace

RotationResult RotatePicture(const TBitmap32& picture, int cx, int cy, double theta) {
    return turnPicture(picture, cx, cy, theta, nullptr, nullptr);
}

RotationResult rotateAboutCentre(const TBitmap32& picture, std::int32_t degrees) {
    const int cx = int(std::nearbyintl(picture.width() / 2.0L));
    const int cy = int(std::nearbyintl(picture.height() / 2.0L));
    return RotatePicture(picture, cx, cy, rotationAngle(degrees));
}

LayerRotation rotateLayerPictures(const TBitmap32& original, const TBitmap32& work,
                                  std::int32_t degrees) {
    LayerRotation r;
    if (original.width() != work.width() || original.height() != work.height()) {
        RotationResult o = rotateAboutCentre(original, degrees),
                       w = rotateAboutCentre(work, degrees);
        r.original = std::move(o.picture);
        r.work = std::move(w.picture);
        r.GrowX = w.GrowX;
        r.GrowY = w.GrowY;
        return r;
    }
    const int cx = int(std::nearbyintl(work.width() / 2.0L));
    const int cy = int(std::nearbyintl(work.height() / 2.0L));
    const double theta = rotationAngle(degrees);
    Margins a, b;
    turnPicture(original, cx, cy, theta, nullptr, &a);
    turnPicture(work, cx, cy, theta, nullptr, &b);
    // The smaller margins keep every pixel of both pictures; a picture with no content
    // has margins 0 and so leaves the other's content whole as well.
    const Margins both{std::min(a.left, b.left), std::min(a.top, b.top)};
    RotationResult o = turnPicture(original, cx, cy, theta, &both, nullptr);
    RotationResult w = turnPicture(work, cx, cy, theta, &both, nullptr);
    r.original = std::move(o.picture);
    r.work = std::move(w.picture);
    r.GrowX = w.GrowX;
    r.GrowY = w.GrowY;
    return r;
}

} // namespace quill
