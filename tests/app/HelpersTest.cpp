#include "app/BitmapView.h"
#include "app/ShapeKeeping.h"
#include "app/platform/Platform.h"

#include <gtest/gtest.h>

#include <vector>

using quill::CutoutColor;
using quill::TBitmap32;
using quill::makePixel;

TEST(NameFilters, PairsBecomeQtFilters)
{
    struct Case {
        const char* pairs;
        bool upper;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"*.jpg|*.jpg|All files|*.*", false, {"*.jpg (*.jpg)", "All files (*)"}},
        {"*.jpg|*.jpg|All files|*.*", true, {"*.jpg (*.jpg *.JPG)", "All files (*)"}},
        {"Pictures|*.jpg;*.bmp", false, {"Pictures (*.jpg *.bmp)"}},
        {"Pictures|*.jpg; *.bmp", true, {"Pictures (*.jpg *.JPG *.bmp *.BMP)"}},
        {"Odd|", false, {}},               // no pattern: dropped
        {"Lonely description", false, {}}, // no pair at all
        {"A|*.a|B", false, {"A (*.a)"}},   // trailing description dropped
        {"Upper|*.PNG", true, {"Upper (*.PNG)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quill::app::qtNameFilters(QString::fromLatin1(c.pairs), c.upper), c.expected) << c.pairs;
}

TEST(NameFilters, OpenPictureOffersEveryReadableFormInOrder)
{
    const QStringList filters = quill::app::openPictureFilters();
    ASSERT_EQ(filters.size(), 8);
    EXPECT_EQ(filters[0], QStringLiteral("*.jpg (*.jpg *.JPG)"));
    EXPECT_EQ(filters[1], QStringLiteral("*.jpeg (*.jpeg *.JPEG)"));
    EXPECT_EQ(filters[5], QStringLiteral("*.gif (*.gif *.GIF)"));
    EXPECT_EQ(filters[6], QStringLiteral("*.png (*.png *.PNG)"));
    EXPECT_EQ(filters[7], QStringLiteral("All files (*)"));
}

TEST(ShapeKeeping, PixelsBelowHalfAlphaAreCutOut)
{
    struct Case {
        int alpha;
        bool cut;
    };
    const Case cases[] = {{0, true}, {1, true}, {126, true}, {127, true}, {128, false}, {200, false}, {255, false}};
    for (const Case& c : cases) {
        TBitmap32 source(3, 2, makePixel(9, 8, 7, 255));
        source.setPixel(1, 1, makePixel(50, 60, 70, c.alpha));
        TBitmap32 layer(3, 2, makePixel(9, 8, 7, 255));
        layer.setPixel(1, 1, makePixel(50, 60, 70, 255));
        EXPECT_EQ(quill::app::hasSeeThroughPixels(source), c.cut) << c.alpha;
        EXPECT_EQ(quill::app::cutOutSeeThroughPixels(source, layer), c.cut ? 1 : 0) << c.alpha;
        EXPECT_EQ(layer.pixel(1, 1), c.cut ? CutoutColor : makePixel(50, 60, 70, 255)) << c.alpha;
        // Every other pixel keeps its bytes.
        EXPECT_EQ(layer.pixel(0, 0), makePixel(9, 8, 7, 255));
        EXPECT_EQ(layer.pixel(2, 1), makePixel(9, 8, 7, 255));
    }
}

TEST(ShapeKeeping, DifferentSizesChangeNothing)
{
    TBitmap32 source(2, 2, makePixel(0, 0, 0, 0));
    TBitmap32 layer(3, 2, makePixel(1, 2, 3, 255));
    const TBitmap32 before = layer;
    EXPECT_EQ(quill::app::cutOutSeeThroughPixels(source, layer), 0);
    EXPECT_TRUE(layer == before);
}

TEST(BitmapView, SharesThePixelsWithoutCopying)
{
    TBitmap32 picture(5, 3, makePixel(10, 20, 30, 255));
    picture.setPixel(4, 2, makePixel(200, 100, 50, 128));
    const QImage view = quill::app::imageView(picture);
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(view.constBits(), reinterpret_cast<const uchar*>(picture.bits()));
    EXPECT_EQ(view.bytesPerLine(), 20);
    EXPECT_EQ(view.pixel(0, 0), qRgba(10, 20, 30, 255));
    EXPECT_EQ(view.pixel(4, 2), qRgba(200, 100, 50, 128));
    EXPECT_TRUE(quill::app::imageView(TBitmap32()).isNull());
}
