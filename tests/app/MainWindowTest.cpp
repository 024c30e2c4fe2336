#include "WindowTestSupport.h"

#include "app/LayerPanel.h"
#include "app/SceneGeometry.h"
#include "app/collections/BrowserStrip.h"
#include "app/collections/PictureListStrip.h"
#include "app/effects/PhotoEffectsController.h"

#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <future>
#include <utility>
#include <vector>

using quill::makePixel;
using quill::TBitmap32;

namespace {

QStringList itemTexts(const QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            texts << a->text();
    return texts;
}

// Where the tool-bar button of the action with this text sits in the tool bar.
quill::Point toolBarPlace(QToolBar* bar, const QString& text) {
    for (QToolButton* b : bar->findChildren<QToolButton*>())
        if (b->defaultAction() && b->defaultAction()->text() == text) {
            const QPoint at = b->mapTo(bar, QPoint(0, 0));
            return {at.x(), at.y()};
        }
    return {};
}

} // namespace

TEST(MainWindowStart, CaptionSizeAndFirstState) {
    WindowFixture f;
    auto& w = *f.window;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillmark v4.65"));
    EXPECT_EQ(w.size(), QSize(843, 668));
    const std::pair<QLabel*, const char*> labels[] = {
        {w.statusLabel(), "New picture"}, {w.zoomLabel(), "100%"}, {w.percentLabel(), "50"}};
    for (const auto& [label, text] : labels)
        EXPECT_EQ(label->text(), QString::fromLatin1(text));
    EXPECT_EQ(w.transparenceSlider()->value(), 127);
    EXPECT_FALSE(w.transparenceSlider()->isEnabled());
    EXPECT_FALSE(w.transparentCheck()->isEnabled());
    // The 600 x 450 scene at 100 %: aw = 843 - 355 = 488 <= 600, so the canvas is 493 wide
    // at left 1; ah = 403: 408 high.
    EXPECT_EQ(f.image()->size(), QSize(600, 450));
    EXPECT_EQ(w.canvas()->geometry().left(), 1);
    EXPECT_EQ(w.canvas()->size(), QSize(493, 408));
    EXPECT_FALSE(w.layerDock()->isVisible());
    EXPECT_FALSE(w.albumDock()->isVisible());
    EXPECT_TRUE(w.foregroundDock()->isVisible() && w.backgroundDock()->isVisible() &&
                w.photoEffectsDock()->isVisible());
    EXPECT_FALSE(w.busyBar()->isVisible());
    EXPECT_EQ(w.photoEffectsNotebook()->toolTip(),
              QStringLiteral("Make effect for the last open foreground"));
}

TEST(MainWindowStart, MenusAndToolBarInOrderWithTheirStates) {
    WindowFixture f;
    auto& w = *f.window;
    const std::vector<std::pair<QString, QStringList>> menus = {
        {"File",
         {"Open a new foreground", "Open a new background", "Publish", "Open scene\u2026",
          "Save scene", "Save scene as\u2026", "Exit"}},
        {"Edit", {"Undo", "Redo", "Foreground size", "Background size"}},
        {"Tools",
         {"Add selected foreground into sketch-list", "Add scene into album-list",
          "Export sketch-list", "Export album-list", "Import foreground", "Import background"}},
        {"DockPanels",
         {"Foreground", "Sketch-list", "Background", "Photo-effects", "Layer", "Album-list",
          "Regress all"}},
        {"Help", {"Online", "About"}},
    };
    const QList<QAction*> tops = w.menuBar()->actions();
    ASSERT_EQ(tops.size(), int(menus.size()));
    for (int k = 0; k < tops.size(); ++k) {
        EXPECT_EQ(tops[k]->text().remove(QLatin1Char('&')), menus[k].first);
        EXPECT_EQ(itemTexts(tops[k]->menu()), menus[k].second) << menus[k].first.toStdString();
    }
    for (const char* text :
         {"Open a new foreground", "Open a new background", "Exit", "Foreground", "Sketch-list",
          "Background", "Photo-effects", "Layer", "Album-list", "Regress all", "Online", "About"})
        EXPECT_TRUE(f.menuAction(QString::fromLatin1(text))->isEnabled()) << text;
    for (const char* text : {"Undo", "Redo", "Foreground size", "Background size",
                             "Add selected foreground into sketch-list"})
        EXPECT_FALSE(f.menuAction(QString::fromLatin1(text))->isEnabled()) << text;

    EXPECT_EQ(itemTexts(w.canvasMenu()),
              (QStringList{"Open a new foreground", "Open a new background",
                           "Add me into sketch-list", "Add scene into album-list",
                           "Foreground size", "Background size", "Delete me"}));
    EXPECT_FALSE(findItem(w.canvasMenu(), QStringLiteral("Background size"))->isEnabled());
    EXPECT_EQ(itemTexts(w.layerMenu()), QStringList{"Delete"});

    // The tool bar: every control with a hint, from left to right.
    QToolBar* bar = f.window->toolBar();
    std::vector<std::pair<int, QString>> placed;
    for (QWidget* widget : bar->findChildren<QWidget*>())
        if (!widget->toolTip().isEmpty() && widget->isVisibleTo(bar) &&
            !qobject_cast<QLabel*>(widget))
            placed.emplace_back(widget->mapTo(bar, QPoint(0, 0)).x(), widget->toolTip());
    std::sort(placed.begin(), placed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList hints;
    for (const auto& p : placed)
        hints << p.second;
    EXPECT_EQ(hints,
              (QStringList{"Open a picture as foreground", "Publish the scene as",
                           "Foreground size", "Background size", "Set foreground as transparent",
                           "Set transparence", "Rotate the foreground", "Zoom out the view",
                           "Zoom in the view", "Layer show", "Album-list show"}));
}

// Every resize lays the tool bar out and puts the panels at the rectangles the layout
// computes, with their insides sized as it says.
TEST(MainWindowLayout, ToolBarAndPanelsTakeTheComputedPlaces) {
    WindowFixture f;
    auto& w = *f.window;
    QToolBar* bar = w.toolBar();
    QWidget* right = w.toolBarRightGroup();
    int leftGroupWidth = 0;
    for (QAction* a : bar->actions())
        if (a->text() == QStringLiteral("Background size"))
            leftGroupWidth = bar->widgetForAction(a)->geometry().right() + 1;
    ASSERT_GT(leftGroupWidth, 0);
    auto& c = *w.collections();
    for (QSize size : {QSize(1280, 1024), QSize(900, 700)}) {
        SCOPED_TRACE(size.width());
        w.layerDock()->show();
        w.resize(size);
        QApplication::processEvents();
        ASSERT_EQ(w.size(), size) << "nothing may hold the window larger";
        EXPECT_EQ(bar->width(), size.width() - 10);
        EXPECT_EQ(right->width(), size.width() - 10 - leftGroupWidth - 32);
        EXPECT_FALSE(w.layerDock()->isVisible()) << "a resize puts the panels back";

        const QRect frame = w.frameGeometry();
        const quill::PanelLayout p =
            quill::computePanelLayout({frame.left(), frame.top(), size.width(), size.height()},
                                      toolBarPlace(bar, QStringLiteral("Layer show")),
                                      toolBarPlace(bar, QStringLiteral("Album-list show")));
        f.menuAction(QStringLiteral("Layer"))->trigger();
        f.menuAction(QStringLiteral("Album-list"))->trigger();
        w.photoEffectsNotebook()->setCurrentIndex(3); // the Frames page, laid out while shown
        w.foregroundNotebook()->setCurrentIndex(1);
        QApplication::processEvents();
        const std::pair<QDockWidget*, quill::Rect> docks[] = {
            {w.foregroundDock(), p.foreground},
            {w.backgroundDock(), p.background},
            {w.photoEffectsDock(), p.photoEffects},
            {w.layerDock(), p.layer},
            {w.albumDock(), p.albumList}};
        for (const auto& [dock, rect] : docks)
            EXPECT_EQ(dock->geometry(), quill::app::toQRect(rect))
                << dock->objectName().toStdString();

        EXPECT_EQ(w.foregroundNotebook()->height(), p.foregroundNotebookHeight);
        EXPECT_EQ(c.sketchStrip()->height(), p.sketchStripHeight);
        for (auto [browser, height, gauge] :
             {std::tuple(c.foregroundBrowser(), p.foregroundStripHeight, p.foregroundGaugeTop),
              std::tuple(c.backgroundBrowser(), p.backgroundStripHeight, p.backgroundGaugeTop)}) {
            EXPECT_EQ(browser->strip()->height(), height);
            EXPECT_EQ(browser->gauge()->y() - browser->strip()->y(), gauge);
        }
        EXPECT_EQ(c.albumStrip()->height(), p.albumListHeight);
        EXPECT_EQ(c.makeAlbumButton()->y(), p.makeAlbumTop);
        EXPECT_EQ(w.layerPanel()->upButton()->y(), p.upButtonTop);
        EXPECT_EQ(w.layerPanel()->downButton()->y(), p.downButtonTop);
        EXPECT_EQ(w.photoEffectsNotebook()->width(), p.photoNotebookWidth);
        EXPECT_EQ(w.photoEffects()->frameStrip()->width(), p.frameStripWidth);
        EXPECT_EQ(w.photoEffects()->removeFrameButton()->x(), p.frameRemoveLeft);
    }
    // "Regress all": the layer and album-list panels go, the foreground panel shows its
    // first page under its name.
    w.regressAll();
    EXPECT_FALSE(w.layerDock()->isVisible() || w.albumDock()->isVisible());
    EXPECT_EQ(w.foregroundNotebook()->currentIndex(), 0);
    EXPECT_EQ(w.foregroundDock()->windowTitle(), QStringLiteral("Foreground"));
}

TEST(MainWindowKeys, ShortcutsOpenZoomDeleteAndQuit) {
    WindowFixture f;
    auto& w = *f.window;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QString path =
        f.writePicture(QStringLiteral("key.bmp"), TBitmap32(40, 30, makePixel(1, 2, 3)));

    // Ctrl+O asks the chooser for a foreground and opens what it answers.
    f.record->openReplies << path;
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    f.idle();
    EXPECT_EQ(f.record->openCaptions, QStringList{"Open a new foreground"});
    ASSERT_EQ(f.scene().LayerCount(), 1);
    EXPECT_TRUE(f.scene().isVisibleLayer(1));

    // Ctrl+Shift+O asks for a background; cancelling it changes nothing.
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.record->openCaptions,
              (QStringList{"Open a new foreground", "Open a new background"}));
    EXPECT_EQ(f.scene().BackWork->width(), 600);

    QTest::keySequence(&w, QKeySequence(Qt::CTRL | Qt::Key_Equal));
    EXPECT_EQ(w.zoomLabel()->text(), QStringLiteral("125.0%"));
    QTest::keySequence(&w, QKeySequence(Qt::CTRL | Qt::Key_Minus));
    EXPECT_EQ(w.zoomLabel()->text(), QStringLiteral("100.0%"));

    // Delete hides the selected layer and shows the background again.
    QTest::keyClick(&w, Qt::Key_Delete);
    EXPECT_FALSE(f.scene().isVisibleLayer(1));
    EXPECT_EQ(f.scene().scenePicture().pixel(0, 0), makePixel(255, 255, 255));
    EXPECT_TRUE(f.record->messages.isEmpty()) << f.record->messages.join('|').toStdString();

    // Ctrl+Q closes the window, and the working folder goes with it, files left in it too.
    const QString recorder = w.recorderFolder();
    EXPECT_TRUE(QFileInfo(recorder).isDir());
    QFile leftOver(QDir(recorder).filePath(QStringLiteral("scene1.jpg")));
    ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    leftOver.close();
    // The scene has changes: Ctrl+Q asks first; cancelled, the window stays.
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(f.record->saveQuestions, QStringList{"Save changes to the scene before closing?"});
    f.record->saveAnswers << quill::app::SaveAnswer::Discard;
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFileInfo::exists(recorder));
}

TEST(OpenPicture, AForegroundBecomesALayerAndABackgroundRefitsTheCanvas) {
    WindowFixture f;
    f.window->openForeground(); // no reply queued: the dialog was cancelled, nothing happens
    f.idle();
    EXPECT_EQ(f.scene().LayerCount(), 0);
    EXPECT_EQ(f.record->openFilters, QList<QStringList>{quill::app::openPictureFilters()});
    f.openForeground(f.writePicture(QStringLiteral("blue.bmp"), solid(100, 80, 200, 20, 10)));
    ASSERT_EQ(f.scene().LayerCount(), 1);
    EXPECT_EQ(f.scene().scenePicture().pixel(99, 79), makePixel(200, 20, 10));
    EXPECT_EQ(f.scene().scenePicture().pixel(100, 79), makePixel(255, 255, 255));
    EXPECT_EQ(f.window->layerPanel()->entryPanel(1)->palette().color(QPalette::Window),
              QColor(255, 0, 0))
        << "the new layer's entry is marked";

    f.record->openReplies << f.writePicture(QStringLiteral("bg.bmp"), solid(200, 150, 3, 2, 1));
    f.window->openBackground();
    f.idle();
    EXPECT_EQ(f.scene().scenePicture().width(), 200);
    EXPECT_EQ(f.image()->size(), QSize(200, 150));
    // A scene smaller than the room is centred: (488 - 200) div 2 + 1, (403 - 150) div 2 + 30.
    EXPECT_EQ(f.window->canvas()->geometry(), QRect(145, 156 - 30, 205, 155));
    EXPECT_TRUE(f.record->messages.isEmpty()) << f.record->messages.join('|').toStdString();
}

// A PNG's own alpha is the layer's shape: over the white background,
// ((255 - a) * 255 + a * colour) div 255; alpha 0 keeps the cut-out colour.
TEST(OpenPicture, APngsOwnAlphaIsTheLayersShape) {
    WindowFixture f;
    TBitmap32 shape(40, 40, makePixel(200, 0, 0, 255));
    for (int y = 0; y < 40; ++y)
        for (int x = 20; x < 40; ++x)
            shape.setPixel(x, y, makePixel(0, 0, 200, x < 30 ? 127 : 0));
    shape.setPixel(0, 0, makePixel(200, 0, 0, 128));
    f.openForeground(f.writePicture(QStringLiteral("shape.png"), shape, quill::PictureFormat::Png));
    const TBitmap32& scene = f.scene().scenePicture();
    EXPECT_EQ(scene.pixel(0, 0), makePixel(227, 127, 127));
    EXPECT_EQ(scene.pixel(25, 5), makePixel(128, 128, 227));
    EXPECT_EQ(scene.pixel(39, 39), makePixel(255, 255, 255));
    EXPECT_EQ(scene.pixel(5, 5), makePixel(200, 0, 0));
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->pixel(39, 39), quill::CutoutColor);
}

TEST(OpenPicture, UnreadableFileShowsTheMessageAndChangesNothing) {
    WindowFixture f;
    const QString text = f.folder.filePath(QStringLiteral("text.jpg"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a picture");
    file.close();
    const TBitmap32 before = f.scene().scenePicture();
    for (const QString& path : {f.folder.filePath(QStringLiteral("missing.jpg")), text}) {
        for (bool foreground : {true, false}) {
            SCOPED_TRACE(path.toStdString() + (foreground ? " as foreground" : " as background"));
            f.record->messages.clear();
            f.record->openReplies << path;
            foreground ? f.window->openForeground() : f.window->openBackground();
            f.idle();
            EXPECT_EQ(f.record->messages,
                      QStringList{path + QStringLiteral(" is not a valid format")});
            EXPECT_EQ(f.scene().LayerCount(), 0);
            EXPECT_TRUE(f.scene().scenePicture() == before);
        }
    }
}

// Long work runs on the worker: after a moment the busy cursor and the bar show and the
// commands that would change the document are disabled; input is held back meanwhile;
// when it is done all is as before.
TEST(LongWork, ShowsItselfHoldsInputBackAndEndsCleanly) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(100, 80, 10, 20, 200)));
    auto& w = *f.window;
    std::promise<void> release;
    std::shared_future<void> go = release.get_future().share();
    bool finished = false;
    w.longWork().runWork(QStringLiteral("Waiting"), [go, &finished] {
        go.wait();
        return [&finished] { finished = true; };
    });
    QAction* open = f.menuAction(QStringLiteral("Open a new foreground"));
    EXPECT_TRUE(w.longWork().busy());
    QTRY_VERIFY_WITH_TIMEOUT(w.busyBar()->isVisible(), 30000);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_FALSE(open->isEnabled());
    EXPECT_FALSE(f.menuAction(QStringLiteral("Save scene"))->isEnabled());
    EXPECT_FALSE(f.menuAction(QStringLiteral("Foreground size"))->isEnabled());
    EXPECT_TRUE(f.menuAction(QStringLiteral("Exit"))->isEnabled());
    // A press on the layer does not reach the canvas: the layer is not pointed anew.
    sendMouse(f.image(), QEvent::MouseButtonRelease, QPoint(300, 300), Qt::LeftButton,
              Qt::NoButton);
    EXPECT_EQ(f.scene().layer(1).marked, true) << "the click on the bare scene was held back";
    EXPECT_FALSE(w.grab().isNull()) << "the window paints";
    // A press held back holds back its release after the work too: the canvas, which
    // acts on a release, never sees half a click.
    sendMouse(f.image(), QEvent::MouseButtonPress, QPoint(300, 300), Qt::LeftButton,
              Qt::LeftButton);
    release.set_value();
    f.idle();
    sendMouse(f.image(), QEvent::MouseButtonRelease, QPoint(300, 300), Qt::LeftButton,
              Qt::NoButton);
    EXPECT_EQ(f.scene().layer(1).marked, true) << "half a click reached the canvas";
    sendMouse(f.image(), QEvent::MouseButtonPress, QPoint(300, 300), Qt::LeftButton,
              Qt::LeftButton);
    sendMouse(f.image(), QEvent::MouseButtonRelease, QPoint(300, 300), Qt::LeftButton,
              Qt::NoButton);
    EXPECT_EQ(f.scene().layer(1).marked, false) << "a whole click after the work";
    EXPECT_TRUE(finished);
    EXPECT_FALSE(w.busyBar()->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(open->isEnabled());
    // A failing piece says so in one message and leaves the rest to run.
    w.longWork().runWork(QStringLiteral("Failing"),
                         []() -> quill::app::LongWork::Finish { throw std::bad_alloc(); });
    f.openForeground(f.writePicture(QStringLiteral("b.bmp"), solid(10, 10, 1, 2, 3)));
    EXPECT_EQ(f.record->messages, QStringList{QString::fromLatin1(quill::kPictureTooLarge)});
    EXPECT_EQ(f.scene().LayerCount(), 2);
}

// A slider held down as work begins is let go when its button is released during the
// work; a press that comes during the work is held back. A preview dialog's work lets
// every input through.
TEST(LongWork, ABlockedReleaseNeverLeavesASliderHeldDown) {
    WindowFixture f;
    QWidget window;
    auto* slider = new QSlider(Qt::Horizontal, &window);
    slider->setGeometry(0, 0, 200, 30);
    window.resize(200, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint handle(6, 15); // the handle stands at the left end, at value 0
    using Input = quill::app::LongWork::Input;
    for (Input input : {Input::HeldBack, Input::LetThrough}) {
        SCOPED_TRACE(input == Input::HeldBack ? "held back" : "let through");
        std::promise<void> done;
        std::shared_future<void> go = done.get_future().share();
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, handle);
        ASSERT_TRUE(slider->isSliderDown()) << handle.x() << "," << handle.y() << " buttons "
                                            << int(QGuiApplication::mouseButtons());
        f.window->longWork().runWork(
            QStringLiteral("Waiting"),
            [go] {
                go.wait();
                return [] {};
            },
            input);
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, handle);
        EXPECT_FALSE(slider->isSliderDown()) << "the release was held back";
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, handle);
        EXPECT_EQ(slider->isSliderDown(), input == Input::LetThrough);
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, handle);
        done.set_value();
        f.idle();
        EXPECT_FALSE(slider->isSliderDown());
    }
}
