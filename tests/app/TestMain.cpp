#include <QApplication>
#include <gtest/gtest.h>

// The window tests need one QApplication for the whole run; the offscreen platform is
// chosen when the environment does not name one, so the program runs without a display.
namespace {
QtMessageHandler previousHandler = nullptr;
// The offscreen platform reports every window operation it cannot carry out; those
// lines say nothing about the program.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    previousHandler(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
