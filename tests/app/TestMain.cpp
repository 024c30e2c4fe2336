#include <QApplication>
#include <gtest/gtest.h>

// The window tests need one QApplication for the whole run; the offscreen platform is
// chosen when the environment does not name one, so the program runs without a display.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
