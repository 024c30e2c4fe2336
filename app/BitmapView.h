#pragma once

#include "imaging/Bitmap32.h"

#include <QImage>

namespace quill::app {

// A QImage over the pixels of a TBitmap32, without copying: TBitmap32 keeps
// blue, green, red, alpha bytes with a stride of width * 4, which is
// QImage::Format_ARGB32 on a little-endian machine. The view is valid only while the
// picture keeps its size and storage; an empty picture gives a null image.
inline QImage imageView(const TBitmap32& picture) {
    if (picture.empty())
        return QImage();
    return QImage(reinterpret_cast<const uchar*>(picture.bits()), picture.width(), picture.height(),
                  qsizetype(picture.strideBytes()), QImage::Format_ARGB32);
}

// The same view without the alpha channel (QImage::Format_RGB32), for a picture whose
// every alpha is 255: Qt then copies its rows to the screen instead of blending them.
inline QImage opaqueImageView(const TBitmap32& picture) {
    if (picture.empty())
        return QImage();
    return QImage(reinterpret_cast<const uchar*>(picture.bits()), picture.width(), picture.height(),
                  qsizetype(picture.strideBytes()), QImage::Format_RGB32);
}

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the pixel view assumes a little-endian machine");

} // namespace quill::app
