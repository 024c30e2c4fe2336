#include "app/collections/CollectionsController.h"

#include "albumplayer/PlayerBytes.h"
#include "app/LongWork.h"
#include "app/collections/BrowserStrip.h"
#include "app/collections/PictureListStrip.h"
#include "app/collections/PictureSizeDialog.h"
#include "app/collections/PublishDialog.h"
#include "app/platform/DesktopServices.h"
#include "app/platform/Platform.h"
#include "collections/Browser.h"
#include "imaging/Folders.h"
#include "imaging/PictureFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quill::app {

namespace {

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}
std::string toPath(const QString& s) {
    return QFile::encodeName(s).toStdString();
}
QString fromPath(const std::string& s) {
    return QFile::decodeName(QByteArray::fromStdString(s));
}

QStringList listForStrip(const QString& folder, const std::vector<std::string>& patterns) {
    QStringList names;
    for (const std::string& n : listFolderForStrip(toPath(folder), patterns))
        names << fromPath(n);
    return names;
}

QString withoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

CollectionsController::CollectionsController(Workspace& workspace, Platform& platform,
                                             LongWork& work, QWidget* window,
                                             CollectionsHooks hooks)
    : QObject(window), m_workspace(workspace), m_document(workspace.document()),
      m_platform(platform), m_work(work), m_window(window), m_hooks(std::move(hooks)),
      m_desktop(std::make_unique<LinuxDesktopServices>()), m_player(albumPlayerBytes()) {
    setObjectName(QStringLiteral("Collections"));

    m_backBrowser = new BrowserStrip(StripKind::Background);
    m_foreBrowser = new BrowserStrip(StripKind::Foreground);
    connect(m_backBrowser, &BrowserStrip::selectFolderClicked, this,
            &CollectionsController::importBackground);
    connect(m_foreBrowser, &BrowserStrip::selectFolderClicked, this,
            &CollectionsController::importForeground);
    connect(m_backBrowser, &BrowserStrip::pictureDoubleClicked, this,
            [this](const QString& path) { openPicked(path, true); });
    connect(m_foreBrowser, &BrowserStrip::stripDoubleClicked, this, [this] {
        m_document.foregroundBrowserDoubleClicked();
        if (m_hooks.sceneChanged)
            m_hooks.sceneChanged();
    });
    connect(m_foreBrowser, &BrowserStrip::pictureDoubleClicked, this,
            [this](const QString& path) { openPicked(path, false); });

    m_sketchStrip = new PictureListStrip(m_document.sketchesForSelection(), QStringLiteral("SB"));
    m_sketchStrip->setToolTip(QStringLiteral("Double-click to set me as foreground"));
    m_sketchMenu = new QMenu(window);
    m_sketchMenu->setObjectName(QStringLiteral("PopupMenu2"));
    m_sketchMenu->addAction(QStringLiteral("Set me as foreground"), this,
                            &CollectionsController::sketchSetAsForeground);
    m_sketchMenu->addAction(QStringLiteral("Save me as"), this,
                            &CollectionsController::sketchSaveMeAs);
    m_sketchMenu->addAction(QStringLiteral("Delete me"), this,
                            &CollectionsController::sketchDeleteMe);
    m_sketchMenu->addAction(QStringLiteral("Save all into"), this,
                            &CollectionsController::sketchSaveAll);
    connect(m_sketchStrip, &PictureListStrip::contextMenuWanted, this,
            [this](const QPoint& at) { m_sketchMenu->popup(at); });
    connect(m_sketchStrip, &PictureListStrip::thumbnailDoubleClicked, this,
            &CollectionsController::useSketch);

    m_albumPage = new QWidget;
    auto* layout = new QVBoxLayout(m_albumPage);
    // "Make album" stands 9 pixels below the list area's height (the list is at 3).
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(6);
    m_albumStrip = new PictureListStrip(m_document.albumsForSelection(),
                                        QStringLiteral("ScrollBox4"), m_albumPage);
    layout->addWidget(m_albumStrip);
    m_makeAlbumButton = new QPushButton(QStringLiteral("Make album"), m_albumPage);
    m_makeAlbumButton->setObjectName(QStringLiteral("SpeedButton18"));
    m_makeAlbumButton->setToolTip(QStringLiteral("Make album"));
    layout->addWidget(m_makeAlbumButton);
    layout->addStretch(1);
    connect(m_makeAlbumButton, &QPushButton::clicked, this, &CollectionsController::makeAlbum);
    m_albumMenu = new QMenu(window);
    m_albumMenu->setObjectName(QStringLiteral("PopupMenu4"));
    m_albumMenu->addAction(QStringLiteral("Save me as"), this,
                           &CollectionsController::albumSaveMeAs);
    m_albumMenu->addAction(QStringLiteral("Delete me"), this,
                           &CollectionsController::albumDeleteMe);
    m_albumMenu->addAction(QStringLiteral("Save all into"), this,
                           &CollectionsController::albumSaveAll);
    m_albumMenu->addAction(QStringLiteral("Make album"), this, &CollectionsController::makeAlbum);
    connect(m_albumStrip, &PictureListStrip::contextMenuWanted, this,
            [this](const QPoint& at) { m_albumMenu->popup(at); });

    m_publish = new TSave_As(
        platform, *m_desktop,
        [this] {
            const QString program = m_hooks.programFolder ? m_hooks.programFolder() : QString();
            return fromPath(workingFolder(toPath(program), false));
        },
        window);
    m_publish->hide();
    m_size = new TImage_size(m_document, platform, m_hooks.sceneChanged, window);
    m_size->hide();
}

CollectionsController::~CollectionsController() = default;

void CollectionsController::setDesktopServices(std::unique_ptr<DesktopServices> desktop) {
    m_desktop = std::move(desktop);
    m_publish->setDesktopServices(*m_desktop);
}

void CollectionsController::message(const std::string& text) {
    if (!text.empty())
        m_platform.showMessage(m_window, fromStd(text));
}

QString CollectionsController::backgroundFolder() const {
    if (!m_backBrowser->folder().isEmpty())
        return m_backBrowser->folder();
    const QString program = m_hooks.programFolder ? m_hooks.programFolder() : QString();
    return fromPath(libraryFoldersBeside(toPath(program)).BackgroundFolder);
}

QString CollectionsController::foregroundFolder() const {
    if (!m_foreBrowser->folder().isEmpty())
        return m_foreBrowser->folder();
    const QString program = m_hooks.programFolder ? m_hooks.programFolder() : QString();
    return fromPath(libraryFoldersBeside(toPath(program)).ForegroundFolder);
}

// The folder chooser of every collection command opens at the background folder.
QString CollectionsController::chooseFolder(const char* caption) {
    const QString folder =
        m_platform.chooseFolder(m_window, QString::fromLatin1(caption), backgroundFolder());
    return folder.isEmpty() ? folder : withoutTrailingSlash(folder);
}

// ---------------------------------------------------------------------------------
// Browsers

void CollectionsController::buildBrowsers() {
    const QString back = backgroundFolder(), fore = foregroundFolder();
    m_backBrowser->setFolder(back, listForStrip(back, startupFolderPatterns()));
    m_foreBrowser->setFolder(fore, listForStrip(fore, startupFolderPatterns()));
}

void CollectionsController::importBackground() {
    if (m_hooks.floatBackgroundPanel)
        m_hooks.floatBackgroundPanel();
    const QString folder = chooseFolder("Open a directory to add pictures as background.");
    if (folder.isEmpty())
        return;
    m_backBrowser->setFolder(folder, listForStrip(folder, browserFolderPatterns()));
}

void CollectionsController::importForeground() {
    if (m_hooks.showForegroundPage)
        m_hooks.showForegroundPage(0);
    const QString folder = chooseFolder("Open a directory to add pictures as foreground.");
    if (folder.isEmpty())
        return;
    m_foreBrowser->setFolder(folder, listForStrip(folder, browserFolderPatterns()));
}

void CollectionsController::openPicked(const QString& path, bool asBackground) {
    const std::string file = toPath(path);
    openPictureAway(
        m_work, path,
        [this, file, asBackground](TBitmap32 picture) {
            return asBackground ? m_document.browserBackground(std::move(picture), file)
                                : m_document.browserForeground(std::move(picture), file,
                                                               Document::ShapeOfPicture::Kept);
        },
        [this](const std::string& text) {
            message(text);
            if (m_hooks.sceneChanged)
                m_hooks.sceneChanged();
        });
}

// ---------------------------------------------------------------------------------
// Sketch-list and album-list

void CollectionsController::sync() {
    m_sketchStrip->sync();
    m_albumStrip->sync();
}

void CollectionsController::layOutPanels(const PanelLayout& panels) {
    m_foreBrowser->setStripHeight(panels.foregroundStripHeight);
    m_backBrowser->setStripHeight(panels.backgroundStripHeight);
    m_sketchStrip->setFixedHeight(std::max(1, panels.sketchStripHeight));
    m_albumStrip->setFixedHeight(std::max(1, panels.albumListHeight));
}

void CollectionsController::addSketchOfPanelLayer() {
    const Scene& scene = m_document.scene();
    if (!scene.isVisibleLayer(scene.PanelLayer)) {
        message(kHaveNoForeground);
        return;
    }
    if (m_document.addSketch(scene.PanelLayer) == 0)
        return;
    m_sketchStrip->sync();
    if (m_hooks.revealForegroundPage)
        m_hooks.revealForegroundPage(1);
}

void CollectionsController::addSceneToAlbum() {
    m_workspace.composedScene();
    if (m_document.addSceneToAlbum() == 0)
        return;
    m_albumStrip->sync();
    if (m_hooks.floatAlbumPanel)
        m_hooks.floatAlbumPanel();
}

void CollectionsController::canvasDoubleClicked(int result) {
    if (result == -1) {
        addSceneToAlbum();
        return;
    }
    if (result <= 0 || m_document.addSketch(result) == 0)
        return;
    m_sketchStrip->sync();
    if (m_hooks.floatForegroundKeepingCaption)
        m_hooks.floatForegroundKeepingCaption(1);
}

void CollectionsController::useSketch(int i) {
    if (m_document.sketchListForeground(i) == 0)
        return;
    if (m_hooks.sceneChanged)
        m_hooks.sceneChanged();
}

void CollectionsController::sketchSetAsForeground() {
    useSketch(sketches().selected());
}

void CollectionsController::sketchSaveMeAs() {
    if (sketches().hasSelection())
        savePictureThroughChooser(m_window, m_platform, sketches().picture(sketches().selected()));
}

void CollectionsController::sketchDeleteMe() {
    if (m_document.deleteSelectedSketch())
        m_sketchStrip->sync();
}

void CollectionsController::saveAll(PictureList& list, PictureListStrip*) {
    const std::string empty = list.saveAllPrecheck();
    if (!empty.empty()) {
        message(empty);
        return;
    }
    const QString folder = chooseFolder(list.style().folderCaption);
    if (folder.isEmpty())
        return;
    message(list.saveAll(toPath(folder)));
}

void CollectionsController::sketchSaveAll() {
    saveAll(m_document.sketchesForSelection(), m_sketchStrip);
}

void CollectionsController::albumSaveMeAs() {
    if (albums().hasSelection())
        savePictureThroughChooser(m_window, m_platform, albums().picture(albums().selected()));
}

void CollectionsController::albumDeleteMe() {
    if (m_document.deleteSelectedAlbumScene())
        m_albumStrip->sync();
}

void CollectionsController::albumSaveAll() {
    saveAll(m_document.albumsForSelection(), m_albumStrip);
}

void CollectionsController::makeAlbum() {
    const std::string empty = albums().makeAlbumPrecheck();
    if (!empty.empty()) {
        message(empty);
        return;
    }
    const QString recorder = m_hooks.recorderFolder ? m_hooks.recorderFolder() : QString();
    const AlbumMakeResult made = albums().makeAlbum(toPath(recorder), m_player);
    if (!made.ok) {
        message(made.message);
        return;
    }
    const QString chosen = m_platform.savePictureFile(m_window, QStringLiteral("Save album as"),
                                                      QStringLiteral("album.exe"),
                                                      qtNameFilters(QStringLiteral("*.exe|*.exe")));
    if (!chosen.isEmpty()) {
        const std::string failed = copyAlbumTo(made.albumPath, toPath(chosen));
        if (!failed.empty()) {
            message(failed);
            return;
        }
    }
    message(kAlbumMade);
}

// ---------------------------------------------------------------------------------
// Publish and sizes

void CollectionsController::publish() {
    const std::string refused = m_document.publish();
    if (!refused.empty()) {
        message(refused);
        return;
    }
    m_publish->showWith(m_workspace.composedScene().scenePicture());
}

void CollectionsController::foregroundSize() {
    m_size->openFor(1);
}

void CollectionsController::backgroundSize() {
    m_size->openFor(2);
}

} // namespace quill::app
