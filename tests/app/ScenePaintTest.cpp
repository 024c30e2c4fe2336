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

TEST(ScenePaint, OpaqueRowsAreShownPixelForPixel) {
    Scene scene = sceneOf(stripes(37, 23));
    ASSERT_TRUE(scene.rowsOpaque(0, 23));
    const QImage screen = paintInto(scene, QSize(40, 30), QRect(0, 0, 40, 30));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(screen.pixel(x, y), scene.scenePicture().pixel(x, y)) << x << "," << y;
    EXPECT_EQ(screen.pixelColor(37, 0), QColor(1, 2, 3)) << "nothing painted beside the scene";
    EXPECT_EQ(screen.pixelColor(0, 23), QColor(1, 2, 3)) << "nothing painted below the scene";
}

TEST(ScenePaint, OnlyTheExposedAreaIsPainted) {
    Scene scene = sceneOf(stripes(37, 23));
    const QImage screen = paintInto(scene, QSize(37, 23), QRect(5, 6, 10, 4));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
            const bool inside = x >= 5 && x < 15 && y >= 6 && y < 10;
            const QRgb expected = inside ? scene.scenePicture().pixel(x, y) : qRgb(1, 2, 3);
            ASSERT_EQ(screen.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(ScenePaint, SeeThroughRowsKeepTheirAlpha) {
    Scene scene = sceneOf(stripes(20, 10));
    for (int x = 0; x < 20; ++x)
        scene.BackWork.edit().setPixel(x, 4, makePixel(200, 100, 50, 0));
    scene.ComposeScene();
    ASSERT_FALSE(scene.rowsOpaque(0, 10));
    ASSERT_TRUE(scene.rowsOpaque(0, 4));
    const QImage screen = paintInto(scene, QSize(20, 10), QRect(0, 0, 20, 10));
    // Drawn as the source, a transparent scene pixel leaves a transparent screen pixel,
    // not its colour shown opaque.
    EXPECT_EQ(qAlpha(screen.pixel(3, 4)), 0);
    EXPECT_EQ(screen.pixel(3, 3), scene.scenePicture().pixel(3, 3));
}

TEST(ScenePaint, ZoomShowsEachScenePixelAsABlock) {
    Scene scene = sceneOf(stripes(10, 6));
    scene.ViewZoom = 300.0;
    scene.updateImageSize();
    ASSERT_EQ(scene.imgbg.width, 30);
    const QImage screen = paintInto(scene, QSize(30, 18), QRect(0, 0, 30, 18));
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(screen.pixel(x, y), scene.scenePicture().pixel(x / 3, y / 3))
                << x << "," << y;
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
    const QImage::Format rgb = QImage::Format_RGB32;
    const struct {
        const char* name;
        Screen screen;
        int zoomSteps;
        bool straightIntoTheImage;
    } cases[] = {
        {"the screen's image", {rgb, {4, 3}, 1, {}, {0, 0, 80, 60}}, 0, true},
        {"a premultiplied one",
         {QImage::Format_ARGB32_Premultiplied, {}, 1, {}, {2, 1, 40, 35}},
         0,
         true},
        {"beyond its left and top", {rgb, {-10, -5}, 1, {}, {0, 0, 80, 60}}, 0, true},
        {"with a clip", {rgb, {}, 1, {10, 5, 30, 30}, {0, 0, 80, 60}}, 0, true},
        {"not premultiplied", {QImage::Format_ARGB32, {}, 1, {}, {0, 0, 80, 60}}, 0, false},
        {"a scaling painter", {rgb, {}, 2, {}, {0, 0, 45, 35}}, 0, false},
        {"a shift by half a pixel", {rgb, {}, 1, {}, {0, 0, 80, 60}}, 0, false},
        {"the scene zoomed", {rgb, {}, 1, {}, {0, 0, 90, 70}}, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DraggedScene dragged(c.zoomSteps);
        Workspace& model = dragged.model;
        ASSERT_TRUE(model.canvas().DragMode());
        ASSERT_FALSE(model.canvas().pendingComposition().empty());
        const TBitmap32 before = model.scene().scenePicture();
        const bool halfPixel = std::string(c.name) == "a shift by half a pixel";
        const QImage shown = paintOnScreen(c.screen, [&](QPainter& painter) {
            if (halfPixel)
                painter.translate(0.5, 0);
            quill::app::paintCanvasScene(painter, model, c.screen.exposed);
        });
        // Composed straight into the image, the scene picture is left for the release;
        // otherwise what is shown is composed into it first.
        EXPECT_EQ(model.scene().scenePicture() == before, c.straightIntoTheImage);

        model.canvas().finishPendingComposition();
        const QImage expected = paintOnScreen(c.screen, [&](QPainter& painter) {
            if (halfPixel)
                painter.translate(0.5, 0);
            quill::app::paintScenePicture(painter, model.scene(), c.screen.exposed);
        });
        ASSERT_EQ(shown, expected);
        EXPECT_NE(shown.pixel(c.screen.shift + QPoint(12, 12)), qRgb(1, 2, 3))
            << "something was painted";
    }
}

TEST(CanvasPaint, SeeThroughRowsOfADraggedSceneAreShownAsQtShowsThem) {
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        DraggedScene dragged;
        Workspace& model = dragged.model;
        Scene& scene = model.document().sceneForGestures();
        // Two rows of the background see-through: one under the dragged layer (which
        // covers it), one below every layer.
        for (int x = 0; x < 80; ++x) {
            scene.BackWork.edit().setPixel(x, 10, makePixel(200, 100, 50, 0));
            scene.BackWork.edit().setPixel(x, 55, makePixel(200, 100, 50, 90));
        }
        const Screen screen{format, {}, 1, {}, {0, 0, 80, 60}};
        const QImage shown = paintOnScreen(screen, [&](QPainter& painter) {
            quill::app::paintCanvasScene(painter, model, screen.exposed);
        });
        model.canvas().finishPendingComposition();
        ASSERT_FALSE(scene.rowsOpaque(55, 56));
        const QImage expected = paintOnScreen(screen, [&](QPainter& painter) {
            quill::app::paintScenePicture(painter, scene, screen.exposed);
        });
        ASSERT_EQ(shown, expected) << format;
        EXPECT_NE(shown.pixel(40, 55), shown.pixel(40, 54));
    }
}

} // namespace
