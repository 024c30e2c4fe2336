#pragma once
// Shared by the window tests: a fake platform adapter and a fake desktop that answer from
// queued replies and record what they were asked, a shown main window over a fresh
// program folder, and events sent straight to widgets.
#include "app/LongWork.h"
#include "app/MainWindow.h"
#include "app/SceneCanvas.h"
#include "app/collections/CollectionsController.h"
#include "app/platform/Platform.h"
#include "collections/Publish.h"
#include "imaging/PictureFile.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// What the window asked of the platform. It lives apart from the fake so a test can read
// it after the window, which owns the fake, is gone.
struct PlatformRecord {
    QStringList openReplies; // next file names for the open dialog, in order ("" = cancelled)
    QStringList openCaptions;
    QList<QStringList> openFilters;
    QStringList saveReplies;      // next names for the save chooser ("" = cancelled)
    QList<int> saveFilterReplies; // the filter entry chosen with each (none: the first)
    QStringList saveCaptions;
    QList<QStringList> saveFilters;
    QStringList folderReplies; // next folders for the folder chooser ("" = cancelled)
    QStringList folderCaptions;
    QStringList folderStarts;
    QStringList messages; // message boxes shown
    QStringList titles;   // their titles ("" = the program's name)
    QList<QUrl> urls;     // pages opened
    bool browserWorks = true;
    QList<quill::app::SaveAnswer> saveAnswers; // next answers to "Save changes?" (none: Cancel)
    QStringList saveQuestions;
};

class FakePlatform : public quill::app::Platform {
  public:
    explicit FakePlatform(std::shared_ptr<PlatformRecord> record) : m_record(std::move(record)) {}

    QString openPictureFile(QWidget*, const QString& caption, const QStringList& filters) override {
        m_record->openCaptions << caption;
        m_record->openFilters << filters;
        return next(m_record->openReplies);
    }
    quill::app::SaveChoice chooseFileToSave(QWidget*, const QString& caption, const QString&,
                                            const QStringList& filters) override {
        m_record->saveCaptions << caption;
        m_record->saveFilters << filters;
        const QString name = next(m_record->saveReplies);
        const int filter =
            m_record->saveFilterReplies.isEmpty() ? 1 : m_record->saveFilterReplies.takeFirst();
        return {name, name.isEmpty() ? 0 : filter};
    }
    QString chooseFolder(QWidget*, const QString& caption, const QString& start) override {
        m_record->folderCaptions << caption;
        m_record->folderStarts << start;
        return next(m_record->folderReplies);
    }
    void showMessage(QWidget* parent, const QString& text) override {
        showMessage(parent, text, QString());
    }
    void showMessage(QWidget*, const QString& text, const QString& title) override {
        m_record->messages << text;
        m_record->titles << title;
    }
    bool openUrl(const QUrl& url) override {
        m_record->urls << url;
        return m_record->browserWorks;
    }
    quill::app::SaveAnswer askSaveChanges(QWidget*, const QString& text) override {
        m_record->saveQuestions << text;
        return m_record->saveAnswers.isEmpty() ? quill::app::SaveAnswer::Cancel
                                               : m_record->saveAnswers.takeFirst();
    }

  private:
    static QString next(QStringList& replies) {
        return replies.isEmpty() ? QString() : replies.takeFirst();
    }
    std::shared_ptr<PlatformRecord> m_record;
};

// A desktop whose every way answers as the test says, recording what it was asked.
struct FakeDesktop : quill::DesktopServices {
    bool portalWorks = false;
    bool programsStart = false; // every program ends with 0 and prints nothing
    quill::DesktopEnvironment session;
    std::vector<std::string> wallpaperFiles;
    std::vector<quill::MailMessage> mails;

    quill::DesktopEnvironment environment() override { return session; }
    quill::ServiceOutcome portalSetWallpaper(const std::string& path) override {
        wallpaperFiles.push_back(path);
        return {portalWorks, portalWorks ? "" : "no portal"};
    }
    quill::ServiceOutcome portalComposeEmail(const quill::MailMessage& message) override {
        mails.push_back(message);
        return {portalWorks, portalWorks ? "" : "no portal"};
    }
    quill::ProgramRun runProgram(const std::vector<std::string>& argv) override {
        quill::ProgramRun run;
        run.started = programsStart;
        run.exitCode = programsStart ? 0 : -1;
        if (!programsStart)
            run.error = argv[0] + ": not found";
        return run;
    }
};

// A shown main window over a fresh program folder, with the fake platform and desktop.
struct WindowFixture {
    QTemporaryDir folder;
    std::shared_ptr<PlatformRecord> record = std::make_shared<PlatformRecord>();
    std::unique_ptr<quill::app::TMyPicture> window;
    FakeDesktop* desktop = nullptr;

    WindowFixture() {
        window = std::make_unique<quill::app::TMyPicture>(std::make_unique<FakePlatform>(record),
                                                          folder.path());
        auto fake = std::make_unique<FakeDesktop>();
        desktop = fake.get();
        collections().setDesktopServices(std::move(fake));
        window->show();
        QApplication::processEvents();
    }
    ~WindowFixture() {
        if (window) {
            idle();
            record->saveAnswers = {quill::app::SaveAnswer::Discard}; // the test's work goes
            window->close();
        }
    }
    // Waits until the window's long work is done (never for a fixed time).
    void idle() { window->longWork().waitUntilIdle(); }

    quill::Workspace& workspace() { return window->workspace(); }
    quill::Document& doc() { return window->document(); }
    const quill::Scene& scene() { return window->workspace().scene(); }
    quill::app::SceneImage* image() { return window->canvas()->image(); }
    quill::app::CollectionsController& collections() { return *window->collections(); }

    // Writes a picture as a file in the program folder and returns its path.
    QString writePicture(const QString& name, const quill::TBitmap32& picture,
                         quill::PictureFormat format = quill::PictureFormat::Bmp24) {
        const QString path = folder.filePath(name);
        quill::SavePicture(picture, path.toStdString(), format);
        return path;
    }
    // Opens a foreground through the File menu's command, answering the dialog with path,
    // and waits until it is open.
    void openForeground(const QString& path) {
        record->openReplies << path;
        window->openForeground();
        idle();
    }
    // The command of the given text in any menu of the window's menu bar.
    QAction* menuAction(const QString& text);
};

// The item of the given text in a menu, or nullptr.
inline QAction* findItem(const QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

inline QAction* WindowFixture::menuAction(const QString& text) {
    for (QAction* top : window->menuBar()->actions())
        if (QMenu* menu = top->menu())
            if (QAction* a = findItem(menu, text))
                return a;
    return nullptr;
}

// Sends a mouse event straight to a widget, with the buttons held stated explicitly.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons held, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void doubleClick(QWidget* widget, QPoint at = QPoint(3, 3)) {
    sendMouse(widget, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
}

inline void sendWheel(QWidget* widget, int delta) {
    const QPoint at(5, 5);
    QWheelEvent event(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// A solid opaque picture.
inline quill::TBitmap32 solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return quill::TBitmap32(w, h, quill::makePixel(r, g, b, 255));
}
