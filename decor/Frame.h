#pragma once

#include "imaging/Bitmap32.h"

namespace quill {

// Alpha of every pixel from its colour: v = Round(0.3 R + 0.59 G + 0.11 B),
// alpha = min(2 * (255 - v), 255). Colour bytes kept.
void frameAlphaFromColour(TBitmap32& frame);

// The overlay that choosing a frame lays over a background of the given size: a copy of
// the frame with alpha from its colour, stretched by the factors (background width /
// frame width, background height / frame height), each direction on its own. The
// truncating resampler can leave it one column or row short. An empty frame or a
// background without pixels gives an empty overlay.
TBitmap32 makeFrameOverlay(const TBitmap32& framePicture, int backgroundWidth,
                           int backgroundHeight);

// The frame strip's thumbnail: the frame picture shrunk to one tenth of its width and
// height by the nearest-neighbour resampler (empty for a frame under 10 pixels a side).
TBitmap32 frameThumbnail(const TBitmap32& framePicture);

} // namespace quill
