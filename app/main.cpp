#include "app/MainWindow.h"
#include "app/ProgramStart.h"
#include "app/SplashForm.h"
#include "imaging/Folders.h"

#include <QApplication>
#include <QFile>

int main(int argc, char* argv[]) {
    // Files named on the command line are accepted and left for the program to open.
    const int status = quill::app::readCommandLine(
        argc, argv,
        {"quillmark", "[OPTION]... [FILE]...",
         "Quillmark: combine photographs into scenes and turn them into drawings and paintings.",
         true});
    if (status >= 0)
        return status;

    QApplication application(argc, argv);
    quill::app::nameApplication();

    // The splash shows while the main window and its dialogs are built; the window
    // destroys it after its first layout.
    auto* splash = new quill::app::TSplashForm;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    // Beside the program in a build, in ../share/quillmark when installed.
    const std::string libraries = quill::libraryFolder(quill::programFolder());
    quill::app::TMyPicture window(nullptr, QFile::decodeName(QByteArray::fromStdString(libraries)));
    window.setSplash(splash);
    window.show();
    // Qt has taken its own options out of the arguments; what is left are files.
    QStringList files = QApplication::arguments().mid(1);
    files.removeIf([](const QString& a) { return a.startsWith(QLatin1Char('-')); });
    window.openFiles(files);
    return QApplication::exec();
}
