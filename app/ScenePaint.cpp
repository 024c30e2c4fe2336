#include "app/ScenePaint.h"

#include "app/BitmapView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quill::app {

void paintScenePicture(QPainter& painter, const Scene& scene, const QRect& exposed)
{
    const TBitmap32& picture = scene.scenePicture();
    const QRect image(scene.imgbg.left, scene.imgbg.top, scene.imgbg.width, scene.imgbg.height);
    if (picture.empty() || image.isEmpty() || !exposed.intersects(image))
        return;
    const double sx = double(image.width()) / picture.width();
    const double sy = double(image.height()) / picture.height();
    const QRect wanted = exposed.intersected(image);
    const int x0 = std::clamp(int(std::floor((wanted.left() - image.left()) / sx)), 0, picture.width());
    const int y0 = std::clamp(int(std::floor((wanted.top() - image.top()) / sy)), 0, picture.height());
    const int x1 =
        std::clamp(int(std::ceil((wanted.right() + 1 - image.left()) / sx)), 0, picture.width());
    const int y1 =
        std::clamp(int(std::ceil((wanted.bottom() + 1 - image.top()) / sy)), 0, picture.height());
    if (x1 <= x0 || y1 <= y0)
        return;
    painter.save();
    painter.setClipRect(wanted);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.translate(image.left(), image.top());
    painter.scale(sx, sy);
    const QImage view = scene.rowsOpaque(y0, y1) ? opaqueImageView(picture) : imageView(picture);
    painter.drawImage(QPointF(x0, y0), view, QRectF(x0, y0, x1 - x0, y1 - y0));
    painter.restore();
}

} // namespace quill::app
