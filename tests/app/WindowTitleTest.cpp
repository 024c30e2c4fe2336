#include "app/ProgramStart.h"
#include "tests/app/WindowTestSupport.h"

#include <QDialog>
#include <QWindow>
// Qt's private platform API: the title a platform window hands the window system (X11's
// WM_NAME) is made by this function, which appends the application's display name when
// one is set. The offscreen platform shows no title, so the test asks the function.
#include <qpa/qplatformwindow.h>

namespace {

struct PlatformTitle : QPlatformWindow {
    static std::string of(const QString& title) {
        return formatWindowTitle(title, QString::fromUtf8(" \u2014 ")).toStdString();
    }
};

TEST(WindowTitles, TheWindowSystemGetsExactlyTheProgramsCaptions) {
    const QString name = QGuiApplication::applicationName(),
                  version = QGuiApplication::applicationVersion(),
                  desktop = QGuiApplication::desktopFileName();
    quill::app::nameApplication(); // the program's names, as its main() sets them
    {
        WindowFixture f;
        ASSERT_NE(f.window->windowHandle(), nullptr);
        EXPECT_EQ(PlatformTitle::of(f.window->windowHandle()->title()), "Quillmark v4.65");
        // Every dialog's caption reaches the window system unchanged.
        int captions = 0;
        for (const QDialog* dialog : f.window->findChildren<QDialog*>()) {
            if (dialog->windowTitle().isEmpty())
                continue; // the window system shows the program's name there
            ++captions;
            EXPECT_EQ(PlatformTitle::of(dialog->windowTitle()),
                      dialog->windowTitle().toStdString());
        }
        EXPECT_GT(captions, 0);
    }
    QGuiApplication::setApplicationName(name);
    QGuiApplication::setApplicationVersion(version);
    QGuiApplication::setDesktopFileName(desktop);
}

} // namespace
