#include "app/ScenePaint.h"

#include "app/BitmapView.h"
#include "app/SceneGeometry.h"

#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace quill::app {

namespace {

// The scene pixels drawn under `exposed` (canvas coordinates), empty when none.
Rect scenePixelsUnder(const Scene& scene, const QRect& exposed) {
    const TBitmap32& picture = scene.scenePicture();
    const QRect image = toQRect(scene.imgbg);
    if (picture.empty() || image.isEmpty() || !exposed.intersects(image))
        return {};
    const double sx = double(image.width()) / picture.width();
    const double sy = double(image.height()) / picture.height();
    const QRect wanted = exposed.intersected(image);
    const int x0 =
        std::clamp(int(std::floor((wanted.left() - image.left()) / sx)), 0, picture.width());
    const int y0 =
        std::clamp(int(std::floor((wanted.top() - image.top()) / sy)), 0, picture.height());
    const int x1 =
        std::clamp(int(std::ceil((wanted.right() + 1 - image.left()) / sx)), 0, picture.width());
    const int y1 =
        std::clamp(int(std::ceil((wanted.bottom() + 1 - image.top()) / sy)), 0, picture.height());
    return Rect::fromEdges(x0, y0, x1, y1).intersected({0, 0, picture.width(), picture.height()});
}

// Composes the scene under `exposed` straight into the image the painter draws on.
// Only when that is a 32-bit raster image the painter reaches by a whole-pixel shift
// and the scene is shown at its pixel size; returns false (nothing drawn) otherwise.
// Rows that come out see-through are composed into the scene picture and drawn by Qt,
// which knows how the screen shows alpha.
bool composeIntoDevice(QPainter& painter, Scene& scene, const QRect& exposed) {
    const TBitmap32& picture = scene.scenePicture();
    if (scene.imgbg.width != picture.width() || scene.imgbg.height != picture.height() ||
        picture.width() != scene.BackWork->width() || picture.height() != scene.BackWork->height())
        return false;
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return false;
    auto* image = static_cast<QImage*>(engine->paintDevice());
    if (image->format() != QImage::Format_RGB32 &&
        image->format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::round(toDevice.dx()) ||
        toDevice.dy() != std::round(toDevice.dy()))
        return false;
    const QPoint shift(int(toDevice.dx()), int(toDevice.dy()));

    // What may be drawn, in the image's pixels: the exposed part of the scene image,
    // within the image, the painter's clip and the area the window system gave it.
    QRegion area = QRegion(exposed.intersected(toQRect(scene.imgbg)).translated(shift))
                       .intersected(image->rect());
    if (painter.hasClipping())
        area = area.intersected(painter.clipRegion().translated(shift));
    if (const QRegion given = engine->systemClip(); !given.isEmpty())
        area = area.intersected(given);

    const QPoint sceneOrigin = shift + QPoint(scene.imgbg.left, scene.imgbg.top);
    const std::ptrdiff_t stride = image->bytesPerLine() / 4;
    for (const QRect& part : area) {
        auto* bits = reinterpret_cast<std::uint32_t*>(image->bits()) +
                     std::ptrdiff_t(part.top()) * stride + part.left();
        const Rect pixels{part.left() - sceneOrigin.x(), part.top() - sceneOrigin.y(), part.width(),
                          part.height()};
        for (int y : scene.composeOnto(pixels, bits, stride)) {
            const Rect row{pixels.left, y, pixels.width, 1};
            scene.composeRegion(row);
            paintScenePicture(
                painter, scene,
                QRect(row.left + scene.imgbg.left, y + scene.imgbg.top, row.width, 1));
        }
    }
    return true;
}

} // namespace

void paintScenePicture(QPainter& painter, const Scene& scene, const QRect& exposed) {
    const Rect pixels = scenePixelsUnder(scene, exposed);
    if (pixels.empty())
        return;
    const TBitmap32& picture = scene.scenePicture();
    const QRect image = toQRect(scene.imgbg);
    painter.save();
    painter.setClipRect(exposed.intersected(image), Qt::IntersectClip);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.translate(image.left(), image.top());
    painter.scale(double(image.width()) / picture.width(),
                  double(image.height()) / picture.height());
    const QImage view = scene.rowsOpaque(pixels.top, pixels.bottom()) ? opaqueImageView(picture)
                                                                      : imageView(picture);
    painter.drawImage(QPointF(pixels.left, pixels.top), view, QRectF(toQRect(pixels)));
    painter.restore();
}

void paintCanvasScene(QPainter& painter, Workspace& workspace, const QRect& exposed) {
    // The canvas may compose what it shows into the scene picture: the only writer besides
    // the document's commands.
    Scene& scene = workspace.document().sceneForGestures();
    CanvasGestures& canvas = workspace.canvas();
    const Rect pending = canvas.pendingComposition().intersected(scenePixelsUnder(scene, exposed));
    if (!pending.empty()) {
        if (composeIntoDevice(painter, scene, exposed))
            return;
        canvas.composePendingIn(pending);
    }
    paintScenePicture(painter, scene, exposed);
}

} // namespace quill::app
