#pragma once

#include "app/platform/Platform.h"
#include "workspace/Workspace.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSlider;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace quill::app {

class CanvasView;
class CollectionsController;
class LayerPanel;
class LongWork;
class TAboutus;
namespace effects {
class PhotoEffectsController;
}

// The main window: menus, tool bar, canvas, floating tool panels and status line.
// It shows the model's state and forwards gestures to it; the model decides every
// enabled state, message and place.
// Whether unsaved changes may be lost: at once, once the scene is saved, or not at all.
enum class ChangesMayGo { Now, AfterSaving, No };

class TMyPicture : public QMainWindow {
    Q_OBJECT
  public:
    // platform: the desktop adapter (the window keeps it); nullptr = the Qt one.
    // programFolder: where the picture libraries and the working folder live; empty =
    // the folder of the running program.
    explicit TMyPicture(std::unique_ptr<Platform> platform = nullptr,
                        QString programFolder = QString(), QWidget* parent = nullptr);
    ~TMyPicture() override;

    // The splash window to destroy after the first layout.
    void setSplash(QWidget* splash);

    Workspace& workspace() { return m_workspace; }
    const Workspace& workspace() const { return m_workspace; }
    Document& document() { return m_workspace.document(); }
    Platform& platform() { return *m_platform; }

    // The work that runs away from the window's thread (see LongWork.h). The commands
    // below that read or write files or compute pictures are carried out through it: they
    // return at once, and the document changes when the work is done.
    LongWork& longWork() { return *m_work; }

    // The commands, for callers that open pictures by name (drops, tests).
    // Each shows the program's message and changes nothing when the file cannot be read.
    void openForegroundFile(const QString& path);
    void openBackgroundFile(const QString& path);

    // Files dropped on the window at a point of the scene image: a scene file opens as the
    // scene; pictures become foregrounds, or with shift over anything but a layer, the
    // (first) file the background. Returns the number of files taken.
    int openDroppedFiles(const QList<QUrl>& urls, QPoint onImage, bool shift);
    // Files named on the command line: the first scene file that opens is the scene (a
    // later one is tried when one fails), pictures open as foregrounds.
    void openFiles(const QStringList& paths);

    // Scene files; each shows its one message on failure. Opening first asks whether to
    // save unsaved changes; false when the user cancelled. `then` runs once the file is
    // saved.
    bool openSceneFile(const QString& path);
    void saveSceneFile(const QString& path, std::function<void()> then = {});
    // The scene file shown in the title (empty until one is opened or saved).
    QString sceneFile() const { return m_sceneFile; }
    // Asks "Save changes to the scene before closing?" when the document has unsaved
    // changes. Now: none, or "Discard"; AfterSaving: "Save", and `afterSaving` runs once
    // the scene is saved; No: the user cancelled.
    ChangesMayGo mayDiscardChanges(std::function<void()> afterSaving);

    // The working folder created at show and removed at close.
    QString recorderFolder() const;

    CanvasView* canvas() const { return m_canvas; }
    LayerPanel* layerPanel() const { return m_layerPanel; }
    QLabel* zoomLabel() const { return m_zoomLabel; }
    QLabel* percentLabel() const { return m_percentLabel; }
    QLabel* statusLabel() const { return m_statusLabel; }
    // The progress bar beside the status line, shown while long work runs.
    QProgressBar* busyBar() const { return m_busyBar; }
    QCheckBox* transparentCheck() const { return m_transparent; }
    QSlider* transparenceSlider() const { return m_slider; }
    QMenu* canvasMenu() const { return m_canvasMenu; }
    QMenu* layerMenu() const { return m_layerMenu; }
    QDockWidget* foregroundDock() const { return m_foregroundDock; }
    QDockWidget* backgroundDock() const { return m_backgroundDock; }
    QDockWidget* photoEffectsDock() const { return m_photoEffectsDock; }
    QDockWidget* layerDock() const { return m_layerDock; }
    QDockWidget* albumDock() const { return m_albumDock; }
    QTabWidget* foregroundNotebook() const { return m_foregroundNotebook; }
    QTabWidget* photoEffectsNotebook() const { return m_effectsNotebook; }
    TAboutus* aboutBox() const { return m_about; }
    // The browsers, the sketch-list, the album-list, publishing and the size dialog.
    CollectionsController* collections() const { return m_collections; }
    // The photo effects panel with its dialogs.
    effects::PhotoEffectsController* photoEffects() const { return m_photoEffects.get(); }
    QAction* rotateAction() const { return m_tbRotate; }
    QToolBar* toolBar() const { return m_toolBar; }
    QWidget* toolBarRightGroup() const { return m_rightGroup; }
    QLineEdit* angleEdit() const { return m_angleEdit; }
    // Shows the model's state everywhere after a command.
    void syncAll();

  public slots:
    void openForeground();
    void openBackground();
    void zoomIn();
    void zoomOut();
    void rotate();
    void openScene();
    void saveScene();
    void saveSceneAs();
    void undo();
    void redo();
    void regressAll();
    void showOnline();
    void showAbout();
    void deleteLayer();

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createCanvas();
    void createDockPanels();
    // Sets every enabled state from the model.
    void updateActions();
    void syncTransparency();
    void syncTitle();
    // Opens the scene file without asking about unsaved changes; `whenDone(opened)`.
    void loadSceneFile(const QString& path, std::function<void(bool)> whenDone = {});
    // "Save scene as": the file chooser, then the save.
    void chooseAndSave(std::function<void()> then);
    void openPictureFile(const QString& path, bool asBackground);
    void openScenesThenPictures(QStringList scenes, QStringList pictures);
    void showBusy(bool shown, const QString& what);
    void placeBusyIndicator();
    void syncZoom();
    void placeCanvas(const Rect& canvas);
    void layOutWindow();
    void floatPanel(QDockWidget* dock, const Rect& screenRect);
    PanelLayout currentPanelLayout() const;
    // Where the tool-bar button of action sits in the tool bar.
    QPoint toolBarButtonPlace(QAction* action) const;
    void showForegroundPage(int page);
    void showMessage(const std::string& text);
    bool isOverCanvas(QObject* watched) const;

    Workspace m_workspace;
    std::unique_ptr<Platform> m_platform;
    QString m_programFolder;
    QWidget* m_splash = nullptr;
    bool m_shown = false;
    bool m_recorderMade = false;
    QString m_sceneFile;
    int m_wheelRest = 0;

    // File
    QAction* m_openForeground = nullptr;
    QAction* m_openBackground = nullptr;
    QAction* m_publish = nullptr;
    QAction* m_openScene = nullptr;
    QAction* m_saveScene = nullptr;
    QAction* m_saveSceneAs = nullptr;
    QAction* m_exit = nullptr;
    // Edit
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_foregroundSize = nullptr;
    QAction* m_backgroundSize = nullptr;
    // Tools
    QAction* m_addSketch = nullptr;
    QAction* m_addAlbum = nullptr;
    QAction* m_exportSketch = nullptr;
    QAction* m_exportAlbum = nullptr;
    QAction* m_importForeground = nullptr;
    QAction* m_importBackground = nullptr;
    // DockPanels
    QAction* m_dockForeground = nullptr;
    QAction* m_dockSketch = nullptr;
    QAction* m_dockBackground = nullptr;
    QAction* m_dockEffects = nullptr;
    QAction* m_dockLayer = nullptr;
    QAction* m_dockAlbum = nullptr;
    QAction* m_regressAll = nullptr;
    // Help
    QAction* m_online = nullptr;
    QAction* m_aboutAction = nullptr;
    // Canvas menu
    QAction* m_cmOpenForeground = nullptr;
    QAction* m_cmOpenBackground = nullptr;
    QAction* m_cmAddMe = nullptr;
    QAction* m_cmAddScene = nullptr;
    QAction* m_cmForegroundSize = nullptr;
    QAction* m_cmBackgroundSize = nullptr;
    QAction* m_cmDeleteMe = nullptr;
    // Layer menu
    QAction* m_lmDelete = nullptr;
    // Keyboard only
    QAction* m_deleteKey = nullptr;
    // Tool bar
    QAction* m_tbOpen = nullptr;
    QAction* m_tbPublish = nullptr;
    QAction* m_tbForegroundSize = nullptr;
    QAction* m_tbBackgroundSize = nullptr;
    QAction* m_tbRotate = nullptr;
    QAction* m_tbZoomOut = nullptr;
    QAction* m_tbZoomIn = nullptr;
    QAction* m_tbLayerShow = nullptr;
    QAction* m_tbAlbumShow = nullptr;

    QToolBar* m_toolBar = nullptr;
    QWidget* m_rightGroup = nullptr; // the tool bar's right-hand group
    QCheckBox* m_transparent = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_percentLabel = nullptr;
    QLineEdit* m_angleEdit = nullptr;
    QLabel* m_zoomLabel = nullptr;

    QMenu* m_canvasMenu = nullptr;
    QMenu* m_layerMenu = nullptr;
    QMenu* m_sketchMenu = nullptr;
    QMenu* m_albumMenu = nullptr;

    CanvasView* m_canvas = nullptr;
    QLabel* m_statusLabel = nullptr;
    QProgressBar* m_busyBar = nullptr;
    QLabel* m_busyLabel = nullptr;
    bool m_closeAfterWork = false;

    QDockWidget* m_foregroundDock = nullptr;
    QDockWidget* m_backgroundDock = nullptr;
    QDockWidget* m_photoEffectsDock = nullptr;
    QDockWidget* m_layerDock = nullptr;
    QDockWidget* m_albumDock = nullptr;
    QTabWidget* m_foregroundNotebook = nullptr;
    QTabWidget* m_effectsNotebook = nullptr;
    LayerPanel* m_layerPanel = nullptr;
    TAboutus* m_about = nullptr;
    CollectionsController* m_collections = nullptr;
    std::unique_ptr<effects::PhotoEffectsController> m_photoEffects;
    // Last, so that it is gone (its worker stopped) before anything its work uses.
    std::unique_ptr<LongWork> m_work;
};

} // namespace quill::app
