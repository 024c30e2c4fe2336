#pragma once

#include "WindowTestSupport.h"
#include "app/collections/CollectionsController.h"
#include "collections/Publish.h"

#include <QMenu>
#include <QMenuBar>
#include <QStringList>

#include <memory>

// What the collection commands asked of the desktop beyond the plain fake.
struct ChooserRecord {
    QStringList saveReplies; // next names for the save chooser ("" = cancelled)
    QStringList saveCaptions;
    QList<QStringList> saveFilters;
    QStringList folderReplies; // next folders for the folder chooser ("" = cancelled)
    QStringList folderCaptions;
    QStringList folderStarts;
};

class ChooserPlatform : public FakePlatform {
  public:
    ChooserPlatform(std::shared_ptr<PlatformRecord> record, std::shared_ptr<ChooserRecord> choosers)
        : FakePlatform(std::move(record)), m_choosers(std::move(choosers)) {}
    QString savePictureFile(QWidget*, const QString& caption, const QString&,
                            const QStringList& filters) override {
        m_choosers->saveCaptions << caption;
        m_choosers->saveFilters << filters;
        return m_choosers->saveReplies.isEmpty() ? QString() : m_choosers->saveReplies.takeFirst();
    }
    QString chooseFolder(QWidget*, const QString& caption, const QString& start) override {
        m_choosers->folderCaptions << caption;
        m_choosers->folderStarts << start;
        return m_choosers->folderReplies.isEmpty() ? QString()
                                                   : m_choosers->folderReplies.takeFirst();
    }

  private:
    std::shared_ptr<ChooserRecord> m_choosers;
};

// A desktop whose every way answers as the test says, recording what it was asked.
struct FakeDesktop : quill::DesktopServices {
    bool portalWorks = false;
    bool programsStart = false;
    int programExit = 0;
    std::vector<std::string> wallpaperFiles;
    std::vector<quill::MailMessage> mails;
    std::vector<std::vector<std::string>> programs;

    quill::ServiceOutcome portalSetWallpaper(const std::string& path) override {
        wallpaperFiles.push_back(path);
        return {portalWorks, portalWorks ? "" : "no portal"};
    }
    quill::ServiceOutcome portalComposeEmail(const quill::MailMessage& message) override {
        mails.push_back(message);
        return {portalWorks, portalWorks ? "" : "no portal"};
    }
    quill::ProgramRun runProgram(const std::vector<std::string>& argv) override {
        programs.push_back(argv);
        quill::ProgramRun run;
        run.started = programsStart;
        run.exitCode = programsStart ? programExit : -1;
        if (!programsStart)
            run.error = argv[0] + ": not found";
        return run;
    }
};

// A shown main window whose collections answer from queued chooser replies and a fake
// desktop.
struct CollectionsFixture {
    QTemporaryDir folder;
    std::shared_ptr<PlatformRecord> record = std::make_shared<PlatformRecord>();
    std::shared_ptr<ChooserRecord> choosers = std::make_shared<ChooserRecord>();
    std::unique_ptr<quill::app::TMyPicture> window;
    FakeDesktop* desktop = nullptr;

    CollectionsFixture() {
        window = std::make_unique<quill::app::TMyPicture>(
            std::make_unique<ChooserPlatform>(record, choosers), folder.path());
        auto fake = std::make_unique<FakeDesktop>();
        desktop = fake.get();
        collections().setDesktopServices(std::move(fake));
        window->show();
        QApplication::processEvents();
    }
    ~CollectionsFixture() {
        if (window)
            window->close();
    }

    quill::app::CollectionsController& collections() { return *window->collections(); }
    quill::MainWindowModel& model() { return window->model(); }
    const quill::Scene& scene() { return window->model().scene(); }

    QString writePicture(const QString& name, const quill::TBitmap32& picture,
                         quill::PictureFormat format = quill::PictureFormat::Bmp24) {
        const QString path = folder.filePath(name);
        quill::SavePicture(picture, path.toStdString(), format);
        return path;
    }
    void openForeground(const QString& path) {
        record->openReplies << path;
        window->openForeground();
    }
    // Triggers the menu command of the given text in the window's menu bar.
    QAction* menuAction(const QString& text);
};

inline QAction* CollectionsFixture::menuAction(const QString& text) {
    for (QAction* top : window->menuBar()->actions())
        if (QMenu* menu = top->menu())
            for (QAction* a : menu->actions())
                if (a->text() == text)
                    return a;
    return nullptr;
}
