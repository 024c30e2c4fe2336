#include "app/MainWindow.h"
#include "app/SplashForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral("4.65"));

    // The splash shows while the main window and its dialogs are built; the window
    // destroys it after its first layout.
    auto* splash = new quill::app::TSplashForm;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    quill::app::TMyPicture window;
    window.setSplash(splash);
    window.show();
    return QApplication::exec();
}
