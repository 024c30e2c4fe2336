#include "decor/Frame.h"

#include "imaging/Colour.h"
#include "imaging/Parallel.h"

#include <algorithm>

namespace quill {

void frameAlphaFromColour(TBitmap32& frame) {
    const int w = frame.width();
    if (frame.empty())
        return;
    parallelRows(frame.height(), std::size_t(w), [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint32_t* row = frame.row32(y);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = row[x];
                const int v = greyPencil(pixelRed(p), pixelGreen(p), pixelBlue(p));
                const int alpha = std::min(2 * (255 - v), 255);
                row[x] = (p & 0x00ffffffu) | (std::uint32_t(alpha) << 24);
            }
        }
    });
}

TBitmap32 makeFrameOverlay(const TBitmap32& framePicture, int backgroundWidth,
                           int backgroundHeight) {
    if (framePicture.empty() || backgroundWidth <= 0 || backgroundHeight <= 0)
        return TBitmap32();
    TBitmap32 overlay = framePicture;
    frameAlphaFromColour(overlay);
    ZoomInandOut(overlay, (long double)backgroundWidth / framePicture.width(),
                 (long double)backgroundHeight / framePicture.height());
    return overlay;
}

TBitmap32 frameThumbnail(const TBitmap32& framePicture) {
    TBitmap32 thumbnail = framePicture;
    ZoomInandOut(thumbnail, 0.1L, 0.1L);
    return thumbnail;
}

} // namespace quill
