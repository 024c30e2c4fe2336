#include "app/SplashForm.h"

#include <QApplication>

#include <gtest/gtest.h>

TEST(Splash, SkyBlueBorderAroundThePicture) {
    quill::app::TSplashForm splash;
    EXPECT_EQ(splash.size(), QSize(466, 406));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QImage picture = quill::app::TSplashForm::emblem();
    ASSERT_EQ(picture.size(), QSize(457, 397));

    splash.show();
    QApplication::processEvents();
    const QImage shown = splash.grab().toImage();
    struct Probe {
        int x, y;
        bool border;
    };
    // The picture covers (4, 4) .. (460, 400); the rest is the sky-blue border.
    const Probe probes[] = {{0, 0, true},     {3, 3, true},     {4, 4, false},    {460, 400, false},
                            {461, 400, true}, {460, 401, true}, {465, 405, true}, {200, 3, true}};
    for (const Probe& p : probes) {
        if (p.border)
            EXPECT_EQ(shown.pixelColor(p.x, p.y), QColor(0xA6, 0xCA, 0xF0)) << p.x << "," << p.y;
        else
            EXPECT_EQ(shown.pixelColor(p.x, p.y), picture.pixelColor(p.x - 4, p.y - 4))
                << p.x << "," << p.y;
    }
}
