#include "app/BitmapView.h"
#include "app/platform/Platform.h"

#include <gtest/gtest.h>

#include <vector>

using quill::makePixel;
using quill::TBitmap32;

TEST(NameFilters, PairsBecomeQtFilters) {
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
        EXPECT_EQ(quill::app::qtNameFilters(QString::fromLatin1(c.pairs), c.upper), c.expected)
            << c.pairs;
}

TEST(BitmapView, SharesThePixelsWithoutCopying) {
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
