// Painting the scene picture: what lands on the screen equals the composed pixels,
// whether the rows are opaque (shown without their alpha) or not, and whether the
// canvas composes a dragged layer straight into the screen's image or not.
#include "app/ScenePaint.h"
#include "workspace/Workspace.h"

#include "tests/RandomPictures.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using quill::makePixel;
using quill::Rect;
using quill::Scene;
using quill::TBitmap32;
using quill::Workspace;

namespace {

Scene sceneOf(const TBitmap32& background) {
    Scene scene;
    scene.SetBackgroundPicture(background);
    return scene;
}

TBitmap32 stripes(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel((x * 37) % 256, (y * 11) % 256, (x + y) % 256));
    return p;
}

// The screen: a premultiplied image filled with a colour the scene never has.
QImage paintInto(const Scene& scene, QSize size, const QRect& exposed) {
    QImage screen(size, QImage::Format_ARGB32_Premultiplied);
    screen.fill(QColor(1, 2, 3));
    QPainter painter(&screen);
    quill::app::paintScenePicture(painter, scene, exposed);
    return screen;
}

// What lands on the screen: the scene's pixels (opaque rows without their alpha, a
// see-through pixel left see-through), each shown as a block at the zoom, only under the
// exposed area, and nothing beside or below the scene.
TEST(ScenePaint, TheExposedScenePixelsAndNothingElseAreShown) {
    const struct {
        const char* name;
        double zoom;
        QRect exposed;
        int seeThroughRow; // -1: none
    } cases[] = {{"whole", 100, {0, 0, 45, 30}, -1},
                 {"part", 100, {5, 6, 10, 4}, -1},
                 {"see-through row", 100, {0, 0, 45, 30}, 4},
                 {"zoomed", 300, {0, 0, 45, 30}, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene = sceneOf(stripes(13, 9));
        if (c.seeThroughRow >= 0) {
            for (int x = 0; x < 13; ++x)
                scene.BackWork.edit().setPixel(x, c.seeThroughRow, makePixel(200, 100, 50, 0));
            scene.ComposeScene();
            ASSERT_TRUE(scene.rowsOpaque(0, c.seeThroughRow));
            ASSERT_FALSE(scene.rowsOpaque(0, 9));
        }
        scene.ViewZoom = c.zoom;
        scene.updateImageSize();
        const int k = int(c.zoom / 100);
        const QImage screen = paintInto(scene, QSize(45, 30), c.exposed);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 45; ++x) {
                const bool shown = c.exposed.contains(x, y) && x < 13 * k && y < 9 * k;
                const QRgb pixel =
                    scene.scenePicture().pixel(std::min(x / k, 12), std::min(y / k, 8));
                const QRgb expected = !shown                     ? qRgb(1, 2, 3)
                                      : y / k == c.seeThroughRow ? qRgba(0, 0, 0, 0)
                                                                 : pixel;
                ASSERT_EQ(screen.pixel(x, y), expected) << x << "," << y;
            }
    }
}

// ---- the canvas's paint while a layer is dragged ------------------------------------

// An 80 x 60 scene with two layers, the second see-through over the first, and the first
// dragged from (0, 0) to (7, 4) (at 100 %) without a release: the pixels under its old and new
// places are not composed yet.
struct DraggedScene {
    explicit DraggedScene(int zoomSteps = 0) {
        model.windowShown();
        model.document().setBackgroundPicture(stripes(80, 60));
        for (int k = 0; k < zoomSteps; ++k)
            model.wheel(-120, true);
        model.document().addForegroundLayer(quill::testpictures::randomPicture(50, 46, 3));
        model.document().addForegroundLayer(quill::testpictures::randomPicture(25, 15, 4));
        Scene& scene = model.document().sceneForGestures();
        scene.layer(2).handle.left += 35;
        scene.layer(2).handle.top += 30;
        model.document().setTransparenceSlider(100);
        model.document().setTransparentChecked(true);
        const int factor = zoomSteps ? 2 : 1; // a whole number of scene pixels at 125 %
        model.canvas().move(25, 23, {});
        model.canvas().press(25, 23, {true, false});
        model.canvas().move(25 + 7 * factor, 23 + 4 * factor, {true, false});
    }
    Workspace model;
};

struct Screen {
    QImage::Format format;
    QPoint shift;  // the painter's origin in the image
    qreal scale;   // of the painter
    QRect clip;    // of the painter, empty for none
    QRect exposed; // canvas coordinates
};

// Paints into a 90 x 70 image filled with a colour the scene never has.
template <typename Paint> QImage paintOnScreen(const Screen& s, Paint paint) {
    QImage image(90, 70, s.format);
    image.fill(QColor(1, 2, 3));
    QPainter painter(&image);
    painter.translate(s.shift);
    painter.scale(s.scale, s.scale);
    if (!s.clip.isEmpty())
        painter.setClipRect(s.clip);
    paint(painter);
    return image;
}

TEST(CanvasPaint, ADraggedLayerIsShownAsTheComposedSceneWouldBe) {
    const QImage::Format rgb = QImage::Format_RGB32,
                         premultiplied = QImage::Format_ARGB32_Premultiplied;
    const struct {
        const char* name;
        Screen screen;
        int zoomSteps;
        bool straightIntoTheImage;
        bool seeThroughRows = false; // one under the dragged layer, one below every layer
    } cases[] = {
        {"the screen's image", {rgb, {4, 3}, 1, {}, {0, 0, 80, 60}}, 0, true},
        {"a premultiplied one", {premultiplied, {}, 1, {}, {2, 1, 40, 35}}, 0, true},
        {"beyond its left and top", {rgb, {-10, -5}, 1, {}, {0, 0, 80, 60}}, 0, true},
        {"with a clip", {rgb, {}, 1, {10, 5, 30, 30}, {0, 0, 80, 60}}, 0, true},
        {"not premultiplied", {QImage::Format_ARGB32, {}, 1, {}, {0, 0, 80, 60}}, 0, false},
        {"a scaling painter", {rgb, {}, 2, {}, {0, 0, 45, 35}}, 0, false},
        {"a shift by half a pixel", {rgb, {}, 1, {}, {0, 0, 80, 60}}, 0, false},
        {"the scene zoomed", {rgb, {}, 1, {}, {0, 0, 90, 70}}, 1, false},
        // See-through rows are composed into the scene and drawn as Qt shows alpha.
        {"see-through rows", {rgb, {}, 1, {}, {0, 0, 80, 60}}, 0, false, true},
        {"see-through, premultiplied", {premultiplied, {}, 1, {}, {0, 0, 80, 60}}, 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DraggedScene dragged(c.zoomSteps);
        Workspace& model = dragged.model;
        ASSERT_TRUE(model.canvas().DragMode());
        ASSERT_FALSE(model.canvas().pendingComposition().empty());
        if (c.seeThroughRows) {
            Scene& scene = model.document().sceneForGestures();
            for (int x = 0; x < 80; ++x) {
                scene.BackWork.edit().setPixel(x, 10, makePixel(200, 100, 50, 0));
                scene.BackWork.edit().setPixel(x, 55, makePixel(200, 100, 50, 90));
            }
        }
        const TBitmap32 before = model.scene().scenePicture();
        const bool halfPixel = std::string(c.name) == "a shift by half a pixel";
        const auto paint = [&](auto draw) {
            return paintOnScreen(c.screen, [&](QPainter& painter) {
                if (halfPixel)
                    painter.translate(0.5, 0);
                draw(painter);
            });
        };
        const QImage shown =
            paint([&](QPainter& p) { quill::app::paintCanvasScene(p, model, c.screen.exposed); });
        // Composed straight into the image, the scene picture is left for the release;
        // otherwise what is shown is composed into it first.
        EXPECT_EQ(model.scene().scenePicture() == before, c.straightIntoTheImage);
        model.canvas().finishPendingComposition();
        const QImage expected = paint([&](QPainter& p) {
            quill::app::paintScenePicture(p, model.scene(), c.screen.exposed);
        });
        ASSERT_EQ(shown, expected);
        EXPECT_NE(shown.pixel(c.screen.shift + QPoint(12, 12)), qRgb(1, 2, 3))
            << "something was painted";
        if (c.seeThroughRows) {
            EXPECT_NE(shown.pixel(40, 55), shown.pixel(40, 54));
        }
    }
}

} // namespace
