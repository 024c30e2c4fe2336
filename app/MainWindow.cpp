#include "app/MainWindow.h"

#include "app/Aboutus.h"
#include "app/Icons.h"
#include "app/LayerPanel.h"
#include "app/LongWork.h"
#include "app/SceneCanvas.h"
#include "app/SceneGeometry.h"
#include "app/collections/BrowserStrip.h"
#include "app/collections/CollectionsController.h"
#include "app/collections/PictureListStrip.h"
#include "app/effects/PhotoEffectsController.h"
#include "imaging/Folders.h"
#include "imaging/PictureFile.h"
#include "workspace/SceneFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quill::app {

namespace {

// The tool bar's height in the window's own coordinates: the canvas and the status
// line are placed below it.
constexpr int kToolBarHeight = 30;
// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}

// A panel's contents inside the given margins; the panel takes the size the window's
// layout gives it, whatever the contents would like.
QWidget* withMargins(QWidget* contents, QMargins margins) {
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(margins);
    layout->addWidget(contents);
    contents->setMinimumSize(1, 1);
    return holder;
}

// Works out every layout inside a panel again, innermost first, so that sizes just given to
// its insides hold before the panel is placed (a window keeps the minimum size its layout
// found last until the layout runs again).
void layOutAgain(QWidget* panel) {
    QList<QWidget*> widgets = panel->findChildren<QWidget*>();
    widgets << panel;
    const auto depth = [](const QWidget* w) {
        int d = 0;
        for (; w; w = w->parentWidget())
            ++d;
        return d;
    };
    std::stable_sort(widgets.begin(), widgets.end(),
                     [&](QWidget* a, QWidget* b) { return depth(a) > depth(b); });
    for (QWidget* widget : widgets)
        if (QLayout* layout = widget->layout()) {
            layout->invalidate();
            layout->activate();
        }
}

// A page whose contents keep their own height at its top.
QWidget* topAligned(QWidget* contents) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(contents);
    layout->addStretch(1);
    return page;
}

} // namespace

TMyPicture::TMyPicture(std::unique_ptr<Platform> platform, QString programFolder, QWidget* parent)
    : QMainWindow(parent),
      m_platform(platform ? std::move(platform) : std::make_unique<QtPlatform>()),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : programFolder) {
    setObjectName(QStringLiteral("TMyPicture"));
    setWindowTitle(QStringLiteral("Quillmark v4.65"));
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    setAcceptDrops(true);
    m_work = std::make_unique<LongWork>();

    createActions();
    createMenus();
    createToolBar();
    createCanvas();
    createDockPanels();
    m_about = new TAboutus(this);
    effects::PhotoEffectsHooks effectHooks;
    effectHooks.documentChanged = [this] { syncAll(); };
    effectHooks.message = [this](const QString& text) { m_platform->showMessage(this, text); };
    effectHooks.setWindowEnabled = [this](bool enabled) { setEnabled(enabled); };
    effectHooks.libraryGauge = [this] { return m_collections->foregroundBrowser()->gauge(); };
    m_photoEffects = std::make_unique<effects::PhotoEffectsController>(
        m_workspace, *m_work, m_effectsNotebook, std::move(effectHooks));
    connect(m_tbRotate, &QAction::triggered, this, &TMyPicture::rotate);
    connect(m_angleEdit, &QLineEdit::returnPressed, this, [this] {
        if (m_tbRotate->isEnabled())
            rotate();
    });
    // Quitting stays possible while work runs; the window then closes once it is done.
    m_work->allowDuringWork(m_exit);
    connect(m_work.get(), &LongWork::indicatorChanged, this, &TMyPicture::showBusy);
    connect(m_work.get(), &LongWork::failed, this,
            [this](const QString& text) { m_platform->showMessage(this, text); });
    connect(m_work.get(), &LongWork::busyChanged, this, [this](bool busy) {
        if (!busy && m_closeAfterWork) {
            m_closeAfterWork = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
    });

    // Watches every wheel turn of the application; it zooms only over the canvas.
    qApp->installEventFilter(this);

    setGeometry(2, 1, 843, 668);
    syncZoom();
    syncTransparency();
    updateActions();
}

TMyPicture::~TMyPicture() {
    qApp->removeEventFilter(this);
    // The worker stops before the panels and the document its work may use.
    m_work.reset();
}

void TMyPicture::setSplash(QWidget* splash) {
    m_splash = splash;
}

// ---------------------------------------------------------------------------------
// Building the window

void TMyPicture::createActions() {
    auto make = [this](const QString& text, auto slot) {
        auto* action = new QAction(text, this);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    // A command whose work is connected when the panels that carry it are built.
    auto later = [this](const QString& text) { return new QAction(text, this); };

    m_openForeground = make(QStringLiteral("Open a new foreground"), &TMyPicture::openForeground);
    m_openForeground->setShortcut(QKeySequence::Open);
    m_openBackground = make(QStringLiteral("Open a new background"), &TMyPicture::openBackground);
    m_openBackground->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    m_publish = later(QStringLiteral("Publish"));
    m_openScene = make(QStringLiteral("Open scene\u2026"), &TMyPicture::openScene);
    m_saveScene = make(QStringLiteral("Save scene"), &TMyPicture::saveScene);
    m_saveScene->setShortcut(QKeySequence::Save);
    m_saveSceneAs = make(QStringLiteral("Save scene as\u2026"), &TMyPicture::saveSceneAs);
    m_saveSceneAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_undo = make(QStringLiteral("Undo"), &TMyPicture::undo);
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo = make(QStringLiteral("Redo"), &TMyPicture::redo);
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    m_exit = make(QStringLiteral("Exit"), &QWidget::close);
    // Ctrl+Q quits whatever key scheme the platform follows (some have no Quit key).
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (!quitKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)))
        quitKeys << QKeySequence(Qt::CTRL | Qt::Key_Q);
    m_exit->setShortcuts(quitKeys);

    m_foregroundSize = later(QStringLiteral("Foreground size"));
    m_backgroundSize = later(QStringLiteral("Background size"));

    m_addSketch = later(QStringLiteral("Add selected foreground into sketch-list"));
    m_addAlbum = later(QStringLiteral("Add scene into album-list"));
    m_exportSketch = later(QStringLiteral("Export sketch-list"));
    m_exportAlbum = later(QStringLiteral("Export album-list"));
    m_importForeground = later(QStringLiteral("Import foreground"));
    m_importBackground = later(QStringLiteral("Import background"));

    m_dockForeground = make(QStringLiteral("Foreground"), [this] { showForegroundPage(0); });
    m_dockSketch = make(QStringLiteral("Sketch-list"), [this] { showForegroundPage(1); });
    m_dockBackground = make(QStringLiteral("Background"), [this] {
        floatPanel(m_backgroundDock, currentPanelLayout().background);
    });
    m_dockEffects = make(QStringLiteral("Photo-effects"), [this] {
        floatPanel(m_photoEffectsDock, currentPanelLayout().photoEffects);
    });
    m_dockLayer = make(QStringLiteral("Layer"),
                       [this] { floatPanel(m_layerDock, currentPanelLayout().layer); });
    m_dockAlbum = make(QStringLiteral("Album-list"),
                       [this] { floatPanel(m_albumDock, currentPanelLayout().albumList); });
    m_regressAll = make(QStringLiteral("Regress all"), &TMyPicture::regressAll);

    m_online = make(QStringLiteral("Online"), &TMyPicture::showOnline);
    m_online->setShortcut(QKeySequence::HelpContents);
    m_aboutAction = make(QStringLiteral("About"), &TMyPicture::showAbout);

    m_cmOpenForeground = make(QStringLiteral("Open a new foreground"), &TMyPicture::openForeground);
    m_cmOpenBackground = make(QStringLiteral("Open a new background"), &TMyPicture::openBackground);
    m_cmAddMe = later(QStringLiteral("Add me into sketch-list"));
    m_cmAddScene = later(QStringLiteral("Add scene into album-list"));
    m_cmForegroundSize = later(QStringLiteral("Foreground size"));
    m_cmBackgroundSize = later(QStringLiteral("Background size"));
    m_cmDeleteMe = make(QStringLiteral("Delete me"), &TMyPicture::deleteLayer);
    m_lmDelete = make(QStringLiteral("Delete"), &TMyPicture::deleteLayer);

    m_deleteKey = make(QStringLiteral("Delete the selected layer"), &TMyPicture::deleteLayer);
    m_deleteKey->setShortcut(QKeySequence::Delete);
    m_deleteKey->setShortcutContext(Qt::WindowShortcut);
    addAction(m_deleteKey);

    m_tbOpen = make(QStringLiteral("Open a picture as foreground"), &TMyPicture::openForeground);
    m_tbOpen->setIcon(glyphIcon(Glyph::OpenForeground));
    m_tbPublish = later(QStringLiteral("Publish the scene as"));
    m_tbPublish->setIcon(glyphIcon(Glyph::Publish));
    m_tbForegroundSize = later(QStringLiteral("Foreground size"));
    m_tbForegroundSize->setIcon(glyphIcon(Glyph::ForegroundSize));
    m_tbBackgroundSize = later(QStringLiteral("Background size"));
    m_tbBackgroundSize->setIcon(glyphIcon(Glyph::BackgroundSize));
    m_tbRotate = later(QStringLiteral("Rotate the foreground"));
    m_tbRotate->setIcon(glyphIcon(Glyph::Rotate));
    m_tbZoomOut = make(QStringLiteral("Zoom out the view"), &TMyPicture::zoomOut);
    m_tbZoomOut->setIcon(glyphIcon(Glyph::ZoomOut));
    m_tbZoomOut->setShortcut(QKeySequence::ZoomOut);
    m_tbZoomIn = make(QStringLiteral("Zoom in the view"), &TMyPicture::zoomIn);
    m_tbZoomIn->setIcon(glyphIcon(Glyph::ZoomIn));
    m_tbZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_tbLayerShow = make(QStringLiteral("Layer show"), [this] { m_dockLayer->trigger(); });
    m_tbLayerShow->setIcon(glyphIcon(Glyph::LayerShow));
    m_tbAlbumShow = make(QStringLiteral("Album-list show"), [this] { m_dockAlbum->trigger(); });
    m_tbAlbumShow->setIcon(glyphIcon(Glyph::AlbumShow));
    for (QAction* a : {m_tbOpen, m_tbPublish, m_tbForegroundSize, m_tbBackgroundSize, m_tbRotate,
                       m_tbZoomOut, m_tbZoomIn, m_tbLayerShow, m_tbAlbumShow})
        a->setToolTip(a->text());
}

void TMyPicture::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(m_openForeground);
    file->addAction(m_openBackground);
    file->addAction(m_publish);
    file->addSeparator();
    file->addAction(m_openScene);
    file->addAction(m_saveScene);
    file->addAction(m_saveSceneAs);
    file->addSeparator();
    file->addAction(m_exit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(m_undo);
    edit->addAction(m_redo);
    edit->addSeparator();
    edit->addAction(m_foregroundSize);
    edit->addAction(m_backgroundSize);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(m_addSketch);
    tools->addAction(m_addAlbum);
    tools->addAction(m_exportSketch);
    tools->addAction(m_exportAlbum);
    tools->addAction(m_importForeground);
    tools->addAction(m_importBackground);

    QMenu* docks = menuBar()->addMenu(QStringLiteral("&DockPanels"));
    docks->addAction(m_dockForeground);
    docks->addAction(m_dockSketch);
    docks->addAction(m_dockBackground);
    docks->addAction(m_dockEffects);
    docks->addAction(m_dockLayer);
    docks->addAction(m_dockAlbum);
    docks->addAction(m_regressAll);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(m_online);
    help->addAction(m_aboutAction);

    m_canvasMenu = new QMenu(this);
    m_canvasMenu->setObjectName(QStringLiteral("CanvasMenu"));
    for (QAction* a : {m_cmOpenForeground, m_cmOpenBackground, m_cmAddMe, m_cmAddScene,
                       m_cmForegroundSize, m_cmBackgroundSize, m_cmDeleteMe})
        m_canvasMenu->addAction(a);

    m_layerMenu = new QMenu(this);
    m_layerMenu->setObjectName(QStringLiteral("LayerMenu"));
    m_layerMenu->addAction(m_lmDelete);
}

void TMyPicture::createToolBar() {
    m_toolBar = new QToolBar(QStringLiteral("Tools"), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setFixedHeight(kToolBarHeight);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_toolBar->addAction(m_tbOpen);
    m_toolBar->addAction(m_tbPublish);
    m_toolBar->addAction(m_tbForegroundSize);
    m_toolBar->addAction(m_tbBackgroundSize);
    m_toolBar->addSeparator();

    // The right-hand group is one widget, so the window can give it its width.
    m_rightGroup = new QWidget(m_toolBar);
    m_rightGroup->setObjectName(QStringLiteral("RightGroup"));
    // It takes the room the tool bar has left, up to the width the window gives it.
    m_rightGroup->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(m_rightGroup);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    auto addButton = [this, row](QAction* action) {
        auto* button = new QToolButton(m_rightGroup);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setIconSize(m_toolBar->iconSize());
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        row->addWidget(button);
    };
    auto addSeparator = [this, row] {
        auto* line = new QFrame(m_rightGroup);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        row->addWidget(line);
    };

    m_transparent = new QCheckBox(QStringLiteral("Transparent"), m_rightGroup);
    m_transparent->setObjectName(QStringLiteral("Transparent"));
    m_transparent->setToolTip(QStringLiteral("Set foreground as transparent"));
    row->addWidget(m_transparent);
    connect(m_transparent, &QCheckBox::toggled, this, [this](bool checked) {
        document().setTransparentChecked(checked);
        syncAll();
    });

    m_slider = new QSlider(Qt::Horizontal, m_rightGroup);
    m_slider->setObjectName(QStringLiteral("TransparenceSlider"));
    m_slider->setRange(0, 255);
    m_slider->setValue(127);
    m_slider->setFixedWidth(110);
    m_slider->setToolTip(QStringLiteral("Set transparence"));
    row->addWidget(m_slider);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        document().setTransparenceSlider(position);
        syncAll();
    });

    m_percentLabel = new QLabel(QStringLiteral("50"), m_rightGroup);
    m_percentLabel->setObjectName(QStringLiteral("PercentLabel"));
    m_percentLabel->setMinimumWidth(22);
    m_percentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_percentLabel);
    row->addWidget(new QLabel(QStringLiteral("%"), m_rightGroup));
    addSeparator();

    m_angleEdit = new QLineEdit(QStringLiteral("30"), m_rightGroup);
    m_angleEdit->setObjectName(QStringLiteral("AngleEdit"));
    m_angleEdit->setFixedWidth(36);
    m_angleEdit->setEnabled(false);
    row->addWidget(m_angleEdit);
    row->addWidget(new QLabel(QString(QChar(0x00B0)), m_rightGroup));
    addButton(m_tbRotate);
    addSeparator();

    addButton(m_tbZoomOut);
    m_zoomLabel = new QLabel(QStringLiteral("100%"), m_rightGroup);
    m_zoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    m_zoomLabel->setMinimumWidth(52);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    row->addWidget(m_zoomLabel);
    addButton(m_tbZoomIn);
    addSeparator();
    addButton(m_tbLayerShow);
    addButton(m_tbAlbumShow);
    row->addStretch(1);
    m_toolBar->addWidget(m_rightGroup);
}

QPoint TMyPicture::toolBarButtonPlace(QAction* action) const {
    // The first widget showing the action, in the tool bar's coordinates.
    for (QObject* object : action->associatedObjects()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget && widget != m_toolBar && m_toolBar->isAncestorOf(widget))
            return widget->mapTo(m_toolBar, QPoint(0, 0));
    }
    return {};
}

void TMyPicture::createCanvas() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);

    m_canvas = new CanvasView(m_workspace, central);
    SceneImage* image = m_canvas->image();
    connect(image, &SceneImage::canvasMenuRequested, this,
            [this](const QPoint& at) { m_canvasMenu->popup(at); });
    connect(image, &SceneImage::messageRequested, this,
            [this](const QString& text) { m_platform->showMessage(this, text); });
    connect(image, &SceneImage::stateChanged, this, [this] {
        updateActions();
        syncTransparency();
        m_layerPanel->sync();
    });
    connect(image, &SceneImage::doubleClicked, this,
            [this](int result) { m_collections->canvasDoubleClicked(result); });

    m_statusLabel = new QLabel(QStringLiteral("New picture"), central);
    m_statusLabel->setObjectName(QStringLiteral("Label1"));
    m_statusLabel->setStyleSheet(QStringLiteral("color: grey"));
    m_statusLabel->setMinimumWidth(300);

    // Long work shows a bar (it cannot tell how far it is) and its name.
    m_busyBar = new QProgressBar(central);
    m_busyBar->setObjectName(QStringLiteral("BusyBar"));
    m_busyBar->setRange(0, 0);
    m_busyBar->setTextVisible(false);
    m_busyBar->setFixedSize(120, 14);
    m_busyBar->hide();
    m_busyLabel = new QLabel(central);
    m_busyLabel->setObjectName(QStringLiteral("BusyLabel"));
    m_busyLabel->hide();
}

void TMyPicture::showBusy(bool shown, const QString& what) {
    m_busyLabel->setText(what + QStringLiteral("\u2026"));
    m_busyLabel->adjustSize();
    placeBusyIndicator();
    m_busyBar->setVisible(shown);
    m_busyLabel->setVisible(shown);
    if (shown) {
        // Painted now: the window's thread may be held next.
        m_busyBar->repaint();
        m_busyLabel->repaint();
    }
    updateActions();
}

void TMyPicture::placeBusyIndicator() {
    const QRect status = m_statusLabel->geometry();
    const int middle = status.center().y();
    m_busyBar->move(status.right() + 12, middle - m_busyBar->height() / 2);
    m_busyLabel->move(m_busyBar->geometry().right() + 8, middle - m_busyLabel->height() / 2);
}

void TMyPicture::createDockPanels() {
    CollectionsHooks hooks;
    hooks.sceneChanged = [this] { syncAll(); };
    hooks.showForegroundPage = [this](int page) { showForegroundPage(page); };
    hooks.revealForegroundPage = [this](int page) {
        m_foregroundDock->show();
        m_foregroundDock->raise();
        m_foregroundNotebook->setCurrentIndex(page);
    };
    hooks.floatForegroundKeepingCaption = [this](int page) {
        floatPanel(m_foregroundDock, currentPanelLayout().foreground);
        const QString caption = m_foregroundDock->windowTitle();
        m_foregroundNotebook->setCurrentIndex(page);
        m_foregroundDock->setWindowTitle(caption);
    };
    hooks.floatBackgroundPanel = [this] {
        floatPanel(m_backgroundDock, currentPanelLayout().background);
    };
    hooks.floatAlbumPanel = [this] { floatPanel(m_albumDock, currentPanelLayout().albumList); };
    hooks.programFolder = [this] { return m_programFolder; };
    hooks.recorderFolder = [this] { return recorderFolder(); };
    m_collections =
        new CollectionsController(m_workspace, *m_platform, *m_work, this, std::move(hooks));

    auto makeDock = [this](const QString& caption, const QString& name) {
        auto* dock = new QDockWidget(caption, this);
        dock->setObjectName(name);
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                          QDockWidget::DockWidgetFloatable);
        addDockWidget(Qt::RightDockWidgetArea, dock);
        dock->setFloating(true);
        return dock;
    };

    // Foreground: the library browser page and the sketch-list page.
    m_foregroundDock = makeDock(QStringLiteral("Foreground"), QStringLiteral("ForegroundPanel"));
    m_foregroundNotebook = new QTabWidget(m_foregroundDock);
    // The panel is narrow: both page tabs must fit without scroll arrows.
    m_foregroundNotebook->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
    m_foregroundNotebook->setUsesScrollButtons(false);
    m_foregroundNotebook->addTab(m_collections->foregroundBrowser(), QStringLiteral("Foreground"));
    m_foregroundNotebook->addTab(topAligned(m_collections->sketchStrip()),
                                 QStringLiteral("Sketch-list"));
    connect(m_foregroundNotebook, &QTabWidget::currentChanged, this, [this](int page) {
        m_foregroundDock->setWindowTitle(m_foregroundNotebook->tabText(page));
    });
    // The notebook is 3 pixels shorter than the panel.
    m_foregroundDock->setWidget(withMargins(m_foregroundNotebook, QMargins(0, 0, 0, 3)));

    // Background browser.
    m_backgroundDock = makeDock(QStringLiteral("Background"), QStringLiteral("BackgroundPanel"));
    {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 3, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(new QLabel(QStringLiteral(" Background:"), page));
        layout->addWidget(m_collections->backgroundBrowser(), 1);
        m_backgroundDock->setWidget(page);
    }

    // Photo effects: four pages, each with its hint.
    m_photoEffectsDock =
        makeDock(QStringLiteral("Photo effects"), QStringLiteral("PhotoEffectsPanel"));
    m_effectsNotebook = new QTabWidget(m_photoEffectsDock);
    m_effectsNotebook->setObjectName(QStringLiteral("TabbedNotebook1"));
    m_effectsNotebook->setToolTip(QStringLiteral("Make effect for the last open foreground"));
    connect(m_effectsNotebook, &QTabWidget::currentChanged, this, [this](int page) {
        static const char* const hints[] = {
            "Make effect for the selected foreground", "Add a mask on the selected foreground",
            "Make effect for the background", "Add frame on the scene"};
        if (page >= 0 && page < 4)
            m_effectsNotebook->setToolTip(QString::fromLatin1(hints[page]));
    });
    // The notebook is 2 pixels narrower than the panel.
    m_photoEffectsDock->setWidget(withMargins(m_effectsNotebook, QMargins(0, 0, 2, 0)));

    // Layer panel, hidden at start.
    m_layerDock = makeDock(QStringLiteral("Layer"), QStringLiteral("LayerDock"));
    m_layerPanel = new LayerPanel(m_workspace, m_layerDock);
    m_layerDock->setWidget(m_layerPanel);
    connect(m_layerPanel, &LayerPanel::selectionChanged, this, [this] { syncAll(); });
    connect(m_layerPanel, &LayerPanel::layerMenuRequested, this,
            [this](const QPoint& at) { m_layerMenu->popup(at); });
    connect(m_layerPanel, &LayerPanel::upClicked, this, [this] {
        document().upTheLayer();
        syncAll();
    });
    connect(m_layerPanel, &LayerPanel::downClicked, this, [this] {
        document().downTheLayer();
        syncAll();
    });
    m_layerDock->hide();

    // Album-list panel, hidden at start.
    m_albumDock = makeDock(QStringLiteral("Album-list"), QStringLiteral("AlbumDock"));
    m_albumDock->setWidget(m_collections->albumPage());
    m_albumDock->hide();

    // The collection commands.
    m_sketchMenu = m_collections->sketchMenu();
    m_albumMenu = m_collections->albumMenu();
    CollectionsController* c = m_collections;
    for (QAction* a : {m_publish, m_tbPublish})
        connect(a, &QAction::triggered, c, &CollectionsController::publish);
    for (QAction* a : {m_foregroundSize, m_cmForegroundSize, m_tbForegroundSize})
        connect(a, &QAction::triggered, c, &CollectionsController::foregroundSize);
    for (QAction* a : {m_backgroundSize, m_cmBackgroundSize, m_tbBackgroundSize})
        connect(a, &QAction::triggered, c, &CollectionsController::backgroundSize);
    for (QAction* a : {m_addSketch, m_cmAddMe})
        connect(a, &QAction::triggered, c, &CollectionsController::addSketchOfPanelLayer);
    for (QAction* a : {m_addAlbum, m_cmAddScene})
        connect(a, &QAction::triggered, c, &CollectionsController::addSceneToAlbum);
    connect(m_exportSketch, &QAction::triggered, c, &CollectionsController::sketchSaveAll);
    connect(m_exportAlbum, &QAction::triggered, c, &CollectionsController::albumSaveAll);
    connect(m_importForeground, &QAction::triggered, c, &CollectionsController::importForeground);
    connect(m_importBackground, &QAction::triggered, c, &CollectionsController::importBackground);
}

// ---------------------------------------------------------------------------------
// Showing the model

void TMyPicture::updateActions() {
    // The step undo and redo take back, by name ("Undo Pencil Sketch"); a "&" in a name is
    // shown as such.
    const History& history = document().history();
    const auto stepText = [](const char* verb, const std::string& step) {
        QString name = QString::fromStdString(step);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        return step.empty() ? QString::fromLatin1(verb) : QString::fromLatin1(verb) + ' ' + name;
    };
    m_undo->setText(stepText("Undo", history.undoName()));
    m_redo->setText(stepText("Redo", history.redoName()));
    // While long work shows its progress, nothing that would change the document (or
    // read it for a file) can be started.
    const bool idle = !m_work->indicatorShown();
    const auto set = [idle](auto* control, bool enabled) { control->setEnabled(idle && enabled); };
    for (QAction* a : {m_openForeground, m_openBackground, m_publish, m_openScene, m_saveScene,
                       m_saveSceneAs, m_addAlbum, m_exportSketch, m_exportAlbum, m_importForeground,
                       m_importBackground, m_cmOpenForeground, m_cmOpenBackground, m_cmAddScene,
                       m_tbOpen, m_tbPublish, m_tbZoomOut, m_tbZoomIn})
        set(a, true);
    set(m_undo, history.canUndo());
    set(m_redo, history.canRedo());
    const EnabledStates e = document().enabled();
    set(m_transparent, e.transparentCheck);
    set(m_slider, e.transparenceSlider);
    set(m_cmDeleteMe, e.canvasDeleteMe);
    set(m_deleteKey, e.canvasDeleteMe);
    set(m_lmDelete, e.layerMenuDelete);
    set(m_angleEdit, e.angleEdit);
    set(m_tbRotate, e.rotateForeground);
    set(m_foregroundSize, e.editForegroundSize);
    set(m_backgroundSize, e.editBackgroundSize);
    set(m_cmForegroundSize, e.canvasForegroundSize);
    set(m_cmBackgroundSize, e.canvasBackgroundSize);
    set(m_tbForegroundSize, e.toolForegroundSize);
    set(m_tbBackgroundSize, e.toolBackgroundSize);
    set(m_addSketch, e.toolsAddSelectedForegroundIntoSketchList);
    set(m_cmAddMe, e.canvasAddMeIntoSketchList);
    set(m_layerPanel->upButton(), e.upTheLayer);
    set(m_layerPanel->downButton(), e.downTheLayer);
}

void TMyPicture::syncTransparency() {
    const TransparencyControls& t = document().transparency();
    {
        const QSignalBlocker blockCheck(m_transparent);
        const QSignalBlocker blockSlider(m_slider);
        m_transparent->setChecked(t.checked);
        m_slider->setValue(t.sliderPosition);
    }
    m_percentLabel->setText(fromStd(t.percentLabel));
}

void TMyPicture::syncZoom() {
    m_zoomLabel->setText(fromStd(document().zoomLabel()));
}

void TMyPicture::syncAll() {
    placeCanvas(m_workspace.ScrollBox1resize());
    m_canvas->updateContentSize();
    m_canvas->image()->syncFromModel();
    m_layerPanel->sync();
    syncTransparency();
    syncZoom();
    m_statusLabel->setText(fromStd(document().statusLabel()));
    if (m_photoEffects)
        m_photoEffects->sync();
    m_collections->sync();
    updateActions();
    syncTitle();
}

void TMyPicture::syncTitle() {
    // "Quillmark v4.65" until a scene file is opened or saved; then the file's name, marked
    // while the document has changes it does not hold.
    if (m_sceneFile.isEmpty()) {
        setWindowTitle(QStringLiteral("Quillmark v4.65"));
        setWindowModified(false);
        return;
    }
    setWindowTitle(QFileInfo(m_sceneFile).fileName() + QStringLiteral("[*] - Quillmark v4.65"));
    setWindowModified(document().modified());
}

void TMyPicture::placeCanvas(const Rect& canvas) {
    QRect r = toQRect(canvas);
    r.translate(0, -kToolBarHeight);
    m_canvas->setGeometry(r);
}

void TMyPicture::showMessage(const std::string& text) {
    if (!text.empty())
        m_platform->showMessage(this, fromStd(text));
}

// ---------------------------------------------------------------------------------
// Layout and panels

PanelLayout TMyPicture::currentPanelLayout() const {
    const QRect frame = frameGeometry();
    const Rect window{frame.left(), frame.top(), width(), height()};
    auto buttonPlace = [this](QAction* action) {
        const QPoint at = toolBarButtonPlace(action);
        return Point{at.x(), at.y()};
    };
    return computePanelLayout(window, buttonPlace(m_tbLayerShow), buttonPlace(m_tbAlbumShow));
}

void TMyPicture::floatPanel(QDockWidget* dock, const Rect& screenRect) {
    dock->setFloating(true);
    if (!screenRect.empty())
        dock->setGeometry(toQRect(screenRect));
    dock->show();
    dock->raise();
}

void TMyPicture::showForegroundPage(int page) {
    floatPanel(m_foregroundDock, currentPanelLayout().foreground);
    m_foregroundNotebook->setCurrentIndex(page);
    m_foregroundDock->setWindowTitle(m_foregroundNotebook->tabText(page));
}

void TMyPicture::regressAll() {
    m_layerDock->hide();
    m_albumDock->hide();
    const PanelLayout panels = currentPanelLayout();
    floatPanel(m_foregroundDock, panels.foreground);
    floatPanel(m_backgroundDock, panels.background);
    floatPanel(m_photoEffectsDock, panels.photoEffects);
    m_foregroundNotebook->setCurrentIndex(0);
    m_foregroundDock->setWindowTitle(QStringLiteral("Foreground"));
}

void TMyPicture::layOutWindow() {
    const QRect frame = frameGeometry();
    auto buttonPlace = [this](QAction* action) {
        const QPoint at = toolBarButtonPlace(action);
        return Point{at.x(), at.y()};
    };
    // The left group ends with "Background size"; the right group's buttons sit at its
    // left, so their places do not depend on the widths given below.
    int leftGroupWidth = 0;
    if (QWidget* last = m_toolBar->widgetForAction(m_tbBackgroundSize))
        leftGroupWidth = last->geometry().right() + 1;
    const ResizeReply reply = m_workspace.mainWindowResized(
        Rect{frame.left(), frame.top(), width(), height()}, leftGroupWidth,
        buttonPlace(m_tbLayerShow), buttonPlace(m_tbAlbumShow));
    // Upper bounds only, so the widths never hold the window from being made smaller.
    m_toolBar->setMaximumWidth(std::max(0, reply.toolBarWidth));
    m_rightGroup->setMaximumWidth(std::max(0, reply.rightGroupWidth));
    placeCanvas(reply.canvas);
    // The status line keeps its left; it sits at the bottom of the client area, below the
    // photo effects panel that floats over the window's lower part.
    QWidget* central = centralWidget();
    m_statusLabel->move(reply.statusLabel.x,
                        std::max(0, central->height() - m_statusLabel->sizeHint().height() - 3));
    placeBusyIndicator();

    if (reply.placePanels) {
        const PanelLayout& p = reply.panels;
        // The insides first, so their old sizes do not hold the panels large.
        m_layerPanel->layOut(p.layerListHeight, p.upButtonTop, p.downButtonTop);
        m_collections->layOutPanels(p);
        m_photoEffects->setFrameStripWidth(p.frameStripWidth);
        for (QDockWidget* dock :
             {m_layerDock, m_albumDock, m_foregroundDock, m_backgroundDock, m_photoEffectsDock})
            layOutAgain(dock);
        floatPanel(m_layerDock, p.layer);
        floatPanel(m_albumDock, p.albumList);
        m_layerDock->hide();
        m_albumDock->hide();
        floatPanel(m_foregroundDock, p.foreground);
        floatPanel(m_backgroundDock, p.background);
        floatPanel(m_photoEffectsDock, p.photoEffects);
    }
    if (reply.buildBrowsers)
        m_photoEffects->loadLibraries(QFile::encodeName(m_programFolder).toStdString());
    if (reply.buildBrowsers)
        m_collections->buildBrowsers();
    if (reply.buildBrowsers && m_splash) {
        m_splash->close();
        m_splash->deleteLater();
        m_splash = nullptr;
    }
}

// ---------------------------------------------------------------------------------
// Window events

QString TMyPicture::recorderFolder() const {
    // Beside the program when its folder is writable, else in the user's cache folder.
    const std::string base = workingFolder(QFile::encodeName(m_programFolder).toStdString(), true);
    return QFile::decodeName(QByteArray::fromStdString(libraryFoldersBeside(base).RecorderFolder));
}

void TMyPicture::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    m_workspace.windowShown();
    std::error_code ec;
    std::filesystem::create_directories(QFile::encodeName(recorderFolder()).toStdString(), ec);
    m_recorderMade = !ec;
    placeCanvas(m_workspace.ScrollBox1resize());
    syncAll();
    layOutWindow();
}

void TMyPicture::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_shown)
        layOutWindow();
}

void TMyPicture::closeEvent(QCloseEvent* event) {
    // Work still running is waited for: the window closes once it is done.
    if (m_work->busy()) {
        m_closeAfterWork = true;
        event->ignore();
        return;
    }
    if (mayDiscardChanges([this] { close(); }) != ChangesMayGo::Now) {
        event->ignore();
        return;
    }
    // The effect windows are windows of their own and would keep the program running.
    m_photoEffects->closeWindows();
    m_workspace.layout().windowClosing();
    if (m_recorderMade) {
        DeleteFolder(QFile::encodeName(recorderFolder()).toStdString());
        m_recorderMade = false;
    }
    // The panels float as windows of their own; they go with the main window.
    for (QDockWidget* dock :
         {m_foregroundDock, m_backgroundDock, m_photoEffectsDock, m_layerDock, m_albumDock})
        dock->hide();
    QMainWindow::closeEvent(event);
}

bool TMyPicture::isOverCanvas(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && (widget == m_canvas || m_canvas->isAncestorOf(widget));
}

bool TMyPicture::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && isOverCanvas(watched)) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (delta == 0)
            return false; // a sideways turn scrolls as usual
        // Fine-stepping wheels send parts of a notch; one zoom step per whole notch.
        m_wheelRest += delta;
        while (m_wheelRest <= -kWheelNotch || m_wheelRest >= kWheelNotch) {
            const int notch = m_wheelRest < 0 ? -kWheelNotch : kWheelNotch;
            m_wheelRest -= notch;
            if (m_workspace.wheel(notch, true))
                syncAll();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// Commands

void TMyPicture::openPictureFile(const QString& path, bool asBackground) {
    const std::string name = path.toStdString();
    openPictureAway(
        *m_work, path,
        [this, name, asBackground](TBitmap32 picture) {
            return asBackground ? document().openBackground(std::move(picture), name)
                                : document().openForeground(std::move(picture), name,
                                                            Document::ShapeOfPicture::Kept);
        },
        [this](const std::string& message) {
            showMessage(message);
            syncAll();
        });
}

void TMyPicture::openForegroundFile(const QString& path) {
    openPictureFile(path, false);
}

void TMyPicture::openBackgroundFile(const QString& path) {
    openPictureFile(path, true);
}

void TMyPicture::openForeground() {
    const QString path = m_platform->openPictureFile(this, QStringLiteral("Open a new foreground"),
                                                     openPictureFilters());
    if (!path.isEmpty())
        openForegroundFile(path);
}

void TMyPicture::openBackground() {
    const QString path = m_platform->openPictureFile(this, QStringLiteral("Open a new background"),
                                                     openPictureFilters());
    if (!path.isEmpty())
        openBackgroundFile(path);
}

void TMyPicture::zoomIn() {
    m_workspace.zoomIn();
    syncAll();
}

void TMyPicture::zoomOut() {
    m_workspace.zoomOut();
    syncAll();
}

ChangesMayGo TMyPicture::mayDiscardChanges(std::function<void()> afterSaving) {
    if (!document().modified())
        return ChangesMayGo::Now;
    switch (m_platform->askSaveChanges(
        this, QStringLiteral("Save changes to the scene before closing?"))) {
    case SaveAnswer::Save:
        if (m_sceneFile.isEmpty())
            chooseAndSave(std::move(afterSaving));
        else
            saveSceneFile(m_sceneFile, std::move(afterSaving));
        return ChangesMayGo::AfterSaving;
    case SaveAnswer::Discard:
        return ChangesMayGo::Now;
    case SaveAnswer::Cancel:
        break;
    }
    return ChangesMayGo::No;
}

bool TMyPicture::openSceneFile(const QString& path) {
    const auto open = [this, path] { loadSceneFile(path); };
    switch (mayDiscardChanges(open)) {
    case ChangesMayGo::Now:
        open();
        return true;
    case ChangesMayGo::AfterSaving:
        return true;
    case ChangesMayGo::No:
        break;
    }
    return false;
}

void TMyPicture::loadSceneFile(const QString& path, std::function<void(bool)> whenDone) {
    // Reading and decoding run on the worker with the cache of encoded pictures, which is
    // handed there and back; the document takes the opened state on this thread.
    m_work->run(QStringLiteral("Opening ") + QFileInfo(path).fileName(),
                [this, path, whenDone]() -> LongWork::Work {
                    m_workspace.canvas().finishPendingComposition();
                    auto cache =
                        std::make_shared<SceneFileCache>(std::move(m_workspace.sceneFileCache()));
                    const MaskLibrary* masks = &document().masks();
                    return [this, path, whenDone, cache, masks]() -> LongWork::Finish {
                        auto opened = std::make_shared<OpenedScene>(readSceneFile(
                            QFile::encodeName(path).toStdString(), *masks, cache.get()));
                        return [this, path, whenDone, cache, opened] {
                            m_workspace.sceneFileCache() = std::move(*cache);
                            if (opened->state)
                                document().load(std::move(*opened->state));
                            const bool done = opened->message.empty();
                            if (done)
                                m_sceneFile = path;
                            showMessage(opened->message);
                            syncAll();
                            if (whenDone)
                                whenDone(done);
                        };
                    };
                });
}

void TMyPicture::saveSceneFile(const QString& path, std::function<void()> then) {
    // What the file needs is taken from the document here; it is written on the worker.
    m_work->run(QStringLiteral("Saving ") + QFileInfo(path).fileName(),
                [this, path, then]() -> LongWork::Work {
                    m_workspace.composedScene();
                    auto scene = std::make_shared<const SceneToSave>(sceneToSave(document()));
                    auto cache =
                        std::make_shared<SceneFileCache>(std::move(m_workspace.sceneFileCache()));
                    return [this, path, then, scene, cache]() -> LongWork::Finish {
                        auto written = std::make_shared<WriteResult>(quill::saveSceneFile(
                            QFile::encodeName(path).toStdString(), *scene, cache.get()));
                        return [this, path, then, cache, written] {
                            m_workspace.sceneFileCache() = std::move(*cache);
                            if (!written->ok) {
                                showMessage(written->message);
                                return;
                            }
                            document().markSaved();
                            m_sceneFile = path;
                            syncTitle();
                            if (then)
                                then();
                        };
                    };
                });
}

void TMyPicture::openScene() {
    if (mayDiscardChanges([this] { openScene(); }) != ChangesMayGo::Now)
        return;
    const QString path =
        m_platform->openPictureFile(this, QStringLiteral("Open scene"), sceneFileFilters());
    if (!path.isEmpty())
        loadSceneFile(path);
}

void TMyPicture::saveScene() {
    if (m_sceneFile.isEmpty())
        saveSceneAs();
    else
        saveSceneFile(m_sceneFile);
}

void TMyPicture::saveSceneAs() {
    chooseAndSave({});
}

void TMyPicture::chooseAndSave(std::function<void()> then) {
    const QString suggested =
        m_sceneFile.isEmpty() ? QStringLiteral("scene.ora") : QFileInfo(m_sceneFile).fileName();
    QString path =
        m_platform
            ->chooseFileToSave(this, QStringLiteral("Save scene as"), suggested, sceneFileFilters())
            .name;
    if (path.isEmpty())
        return;
    if (!isSceneFileName(QFile::encodeName(path).toStdString()))
        path += QStringLiteral(".ora");
    saveSceneFile(path, std::move(then));
}

void TMyPicture::undo() {
    m_workspace.undo();
    syncAll();
}

void TMyPicture::redo() {
    m_workspace.redo();
    syncAll();
}

void TMyPicture::openFiles(const QStringList& paths) {
    QStringList scenes, pictures;
    for (const QString& path : paths)
        (isSceneFileName(QFile::encodeName(path).toStdString()) ? scenes : pictures) << path;
    openScenesThenPictures(scenes, pictures);
}

void TMyPicture::openScenesThenPictures(QStringList scenes, QStringList pictures) {
    if (scenes.isEmpty()) {
        for (const QString& path : pictures)
            openForegroundFile(path);
        return;
    }
    const QString first = scenes.takeFirst();
    const auto open = [this, first, scenes, pictures] {
        loadSceneFile(first, [this, scenes, pictures](bool opened) {
            openScenesThenPictures(opened ? QStringList() : scenes, pictures);
        });
    };
    switch (mayDiscardChanges(open)) {
    case ChangesMayGo::Now:
        open();
        break;
    case ChangesMayGo::AfterSaving:
        break;
    case ChangesMayGo::No:
        openScenesThenPictures({}, pictures);
        break;
    }
}

void TMyPicture::rotate() {
    showMessage(document().rotate(m_angleEdit->text().toStdString()).message);
    syncAll();
}

void TMyPicture::deleteLayer() {
    if (!document().enabled().layerMenuDelete)
        return;
    document().deleteLayer();
    syncAll();
}

void TMyPicture::showOnline() {
    const QString manual = QDir(m_programFolder).filePath(QStringLiteral("manual.html"));
    if (!m_platform->openUrl(QUrl::fromLocalFile(manual)))
        m_platform->showMessage(this,
                                QStringLiteral("No web browser could be started for ") + manual);
}

void TMyPicture::showAbout() {
    m_about->show();
    m_about->raise();
}

void TMyPicture::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void TMyPicture::dropEvent(QDropEvent* event) {
    const QPoint onImage = m_canvas->image()->mapFrom(this, event->position().toPoint());
    openDroppedFiles(event->mimeData()->urls(), onImage,
                     event->modifiers().testFlag(Qt::ShiftModifier));
    event->acceptProposedAction();
}

int TMyPicture::openDroppedFiles(const QList<QUrl>& urls, QPoint onImage, bool shift) {
    for (const QUrl& url : urls)
        if (url.isLocalFile() &&
            isSceneFileName(QFile::encodeName(url.toLocalFile()).toStdString()))
            return openSceneFile(url.toLocalFile()) ? 1 : 0; // a scene replaces the scene
    const bool asBackground =
        m_workspace.canvas().dropGoesToBackground(onImage.x(), onImage.y(), shift);
    int taken = 0;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        if (asBackground) {
            openBackgroundFile(url.toLocalFile());
            return 1; // one background only
        }
        openForegroundFile(url.toLocalFile());
        ++taken;
    }
    return taken;
}

} // namespace quill::app
