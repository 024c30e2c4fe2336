#pragma once

#include "collections/Publish.h"
#include "workspace/Workspace.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <span>

class QMenu;
class QPushButton;
class QWidget;

namespace quill::app {

class BrowserStrip;
class LongWork;
class Platform;
class PictureListStrip;
class TImage_size;
class TSave_As;

// What the collections ask of the main window.
struct CollectionsHooks {
    // The scene or the layers changed: place the canvas again and show the model.
    std::function<void()> sceneChanged;
    // The foreground panel floated at its default place on page (0 browser,
    // 1 sketch-list), its caption the page's name.
    std::function<void(int)> showForegroundPage;
    // The foreground panel shown where it is, switched to page (caption follows).
    std::function<void(int)> revealForegroundPage;
    // The foreground panel floated at its default place and switched to page, its
    // caption left as it was.
    std::function<void(int)> floatForegroundKeepingCaption;
    // Float the panel at its default place, shown.
    std::function<void()> floatBackgroundPanel;
    std::function<void()> floatAlbumPanel;
    // The folder the picture libraries live in (ends without '/').
    std::function<QString()> programFolder;
    // The working folder of the run (recorder), existing while the window is open.
    std::function<QString()> recorderFolder;
};

// The picture browsers, the sketch-list, the album-list, the publish dialog and the
// picture size dialog, with every command the main window hands to them.
class CollectionsController : public QObject {
    Q_OBJECT
  public:
    // Pictures picked in a browser are read through `work`.
    CollectionsController(Workspace& workspace, Platform& platform, LongWork& work, QWidget* window,
                          CollectionsHooks hooks);
    ~CollectionsController() override;

    // The pages the main window puts into its panels.
    BrowserStrip* backgroundBrowser() const { return m_backBrowser; }
    BrowserStrip* foregroundBrowser() const { return m_foreBrowser; }
    PictureListStrip* sketchStrip() const { return m_sketchStrip; }
    QWidget* albumPage() const { return m_albumPage; }
    PictureListStrip* albumStrip() const { return m_albumStrip; }
    QPushButton* makeAlbumButton() const { return m_makeAlbumButton; }
    QMenu* sketchMenu() const { return m_sketchMenu; }
    QMenu* albumMenu() const { return m_albumMenu; }
    TSave_As* publishDialog() const { return m_publish; }
    TImage_size* sizeDialog() const { return m_size; }

    const SketchList& sketches() const { return m_workspace.document().sketches(); }
    const AlbumList& albums() const { return m_workspace.document().albums(); }
    // Shows the lists as the document holds them.
    void sync();
    // The heights of the strips and list areas the window's layout gives.
    void layOutPanels(const PanelLayout& panels);

    // Replaces the desktop behind wallpaper and mail (tests use a fake).
    void setDesktopServices(std::unique_ptr<DesktopServices> desktop);
    // The player program albums start with (default: the one this build carries).
    void setPlayerBytes(std::span<const std::uint8_t> player) { m_player = player; }

    QString backgroundFolder() const;
    QString foregroundFolder() const;

  public slots:
    // First layout: both strips from the library folders.
    void buildBrowsers();
    void importBackground();
    void importForeground();

    void addSketchOfPanelLayer();
    void addSceneToAlbum();
    // The canvas double-click: a layer slot goes into the sketch-list, -1 (the scene
    // image) into the album-list.
    void canvasDoubleClicked(int result);

    void sketchSetAsForeground();
    void sketchSaveMeAs();
    void sketchDeleteMe();
    void sketchSaveAll();
    void albumSaveMeAs();
    void albumDeleteMe();
    void albumSaveAll();
    void makeAlbum();

    void publish();
    void foregroundSize();
    void backgroundSize();

  private:
    void openPicked(const QString& path, bool asBackground);
    void useSketch(int i);
    void saveAll(PictureList& list, PictureListStrip* strip);
    void message(const std::string& text);
    QString chooseFolder(const char* caption);

    Workspace& m_workspace;
    Document& m_document;
    Platform& m_platform;
    LongWork& m_work;
    QWidget* m_window;
    CollectionsHooks m_hooks;
    std::unique_ptr<DesktopServices> m_desktop;
    std::span<const std::uint8_t> m_player;

    BrowserStrip* m_backBrowser;
    BrowserStrip* m_foreBrowser;
    PictureListStrip* m_sketchStrip;
    QWidget* m_albumPage;
    PictureListStrip* m_albumStrip;
    QPushButton* m_makeAlbumButton;
    QMenu* m_sketchMenu;
    QMenu* m_albumMenu;
    TSave_As* m_publish;
    TImage_size* m_size;
};

} // namespace quill::app
