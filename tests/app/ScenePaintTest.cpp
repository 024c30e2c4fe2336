// Painting the scene picture: what lands on the screen equals the composed pixels,
// whether the rows are opaque (shown without their alpha) or not.
#include "app/ScenePaint.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using quill::Scene;
using quill::TBitmap32;
using quill::makePixel;

namespace {

Scene sceneOf(const TBitmap32& background)
{
    Scene scene;
    scene.SetBackgroundPicture(background);
    return scene;
}

TBitmap32 stripes(int w, int h)
{
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel((x * 37) % 256, (y * 11) % 256, (x + y) % 256));
    return p;
}

// The screen: a premultiplied image filled with a colour the scene never has.
QImage paintInto(const Scene& scene, QSize size, const QRect& exposed)
{
    QImage screen(size, QImage::Format_ARGB32_Premultiplied);
    screen.fill(QColor(1, 2, 3));
    QPainter painter(&screen);
    quill::app::paintScenePicture(painter, scene, exposed);
    return screen;
}

TEST(ScenePaint, OpaqueRowsAreShownPixelForPixel)
{
    Scene scene = sceneOf(stripes(37, 23));
    ASSERT_TRUE(scene.rowsOpaque(0, 23));
    const QImage screen = paintInto(scene, QSize(40, 30), QRect(0, 0, 40, 30));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(screen.pixel(x, y), scene.scenePicture().pixel(x, y)) << x << "," << y;
    EXPECT_EQ(screen.pixelColor(37, 0), QColor(1, 2, 3)) << "nothing painted beside the scene";
    EXPECT_EQ(screen.pixelColor(0, 23), QColor(1, 2, 3)) << "nothing painted below the scene";
}

TEST(ScenePaint, OnlyTheExposedAreaIsPainted)
{
    Scene scene = sceneOf(stripes(37, 23));
    const QImage screen = paintInto(scene, QSize(37, 23), QRect(5, 6, 10, 4));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
            const bool inside = x >= 5 && x < 15 && y >= 6 && y < 10;
            const QRgb expected = inside ? scene.scenePicture().pixel(x, y) : qRgb(1, 2, 3);
            ASSERT_EQ(screen.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(ScenePaint, SeeThroughRowsKeepTheirAlpha)
{
    Scene scene = sceneOf(stripes(20, 10));
    for (int x = 0; x < 20; ++x)
        scene.BackWork.setPixel(x, 4, makePixel(200, 100, 50, 0));
    scene.ComposeScene();
    ASSERT_FALSE(scene.rowsOpaque(0, 10));
    ASSERT_TRUE(scene.rowsOpaque(0, 4));
    const QImage screen = paintInto(scene, QSize(20, 10), QRect(0, 0, 20, 10));
    // Drawn as the source, a transparent scene pixel leaves a transparent screen pixel,
    // not its colour shown opaque.
    EXPECT_EQ(qAlpha(screen.pixel(3, 4)), 0);
    EXPECT_EQ(screen.pixel(3, 3), scene.scenePicture().pixel(3, 3));
}

TEST(ScenePaint, ZoomShowsEachScenePixelAsABlock)
{
    Scene scene = sceneOf(stripes(10, 6));
    scene.ViewZoom = 300.0;
    scene.updateImageSize();
    ASSERT_EQ(scene.imgbg.width, 30);
    const QImage screen = paintInto(scene, QSize(30, 18), QRect(0, 0, 30, 18));
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(screen.pixel(x, y), scene.scenePicture().pixel(x / 3, y / 3)) << x << "," << y;
}

} // namespace
