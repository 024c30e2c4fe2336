#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace quill::app {

// What the save chooser gave: the name and the 1-based entry of its filter list that
// was selected when the user confirmed (an empty name and 0 when cancelled).
struct SaveChoice {
    QString name;
    int filter = 0;
};

// The answer to "Save changes to the scene before closing?".
enum class SaveAnswer { Save, Discard, Cancel };

// Everything the window asks of the desktop: file and folder choosers, message
// boxes, the web browser. The window never calls QFileDialog, QMessageBox or
// QDesktopServices directly, so tests run the real window with a fake.
class Platform {
  public:
    virtual ~Platform() = default;

    // An existing file chosen by the user, or an empty string when cancelled.
    // filters are Qt name filters ("Pictures (*.jpg *.png)"), the first one selected.
    virtual QString openPictureFile(QWidget* parent, const QString& caption,
                                    const QStringList& filters) = 0;
    // A file name to write and the filter entry chosen with it; filters are Qt name
    // filters, the first one selected when the chooser opens.
    virtual SaveChoice chooseFileToSave(QWidget* parent, const QString& caption,
                                        const QString& suggestedName,
                                        const QStringList& filters) = 0;
    // The name alone (an empty string when cancelled), where the list has one form.
    QString savePictureFile(QWidget* parent, const QString& caption, const QString& suggestedName,
                            const QStringList& filters) {
        return chooseFileToSave(parent, caption, suggestedName, filters).name;
    }
    // An existing folder, or an empty string when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& caption,
                                 const QString& startFolder) = 0;
    // A plain message box with one OK button.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // The same with a title of its own (the program's name otherwise).
    virtual void showMessage(QWidget* parent, const QString& text, const QString& title) {
        (void)title;
        showMessage(parent, text);
    }
    // Opens a page in the user's browser; false when no browser could be started.
    virtual bool openUrl(const QUrl& url) = 0;
    // Asks whether to save the scene's changes: Save, Discard or Cancel.
    virtual SaveAnswer askSaveChanges(QWidget* parent, const QString& text) = 0;
};

// The desktop implementation.
class QtPlatform : public Platform {
  public:
    QString openPictureFile(QWidget* parent, const QString& caption,
                            const QStringList& filters) override;
    SaveChoice chooseFileToSave(QWidget* parent, const QString& caption,
                                const QString& suggestedName, const QStringList& filters) override;
    QString chooseFolder(QWidget* parent, const QString& caption,
                         const QString& startFolder) override;
    void showMessage(QWidget* parent, const QString& text) override;
    void showMessage(QWidget* parent, const QString& text, const QString& title) override;
    bool openUrl(const QUrl& url) override;
    SaveAnswer askSaveChanges(QWidget* parent, const QString& text) override;
};

// Turns a filter written as description|pattern pairs ("*.jpg|*.jpg|All files|*.*")
// into Qt name filters ("*.jpg (*.jpg)", "All files (*)"). A pattern list separated by
// ';' becomes a space-separated list; "*.*" means every file. A trailing description
// without a pattern is dropped. With upperCaseToo, every pattern that has letters is
// followed by its upper-case form ("*.jpg *.JPG"), since file names on Linux are
// matched case-sensitively and cameras write upper-case extensions.
QStringList qtNameFilters(const QString& pairs, bool upperCaseToo = false);

// The filter of the scene file dialogs.
QStringList sceneFileFilters();

// The filter of the open-picture dialog, with PNG offered beside the other forms.
QStringList openPictureFilters();

} // namespace quill::app
