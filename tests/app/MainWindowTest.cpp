#include "WindowTestSupport.h"

#include "app/Aboutus.h"
#include "app/LayerPanel.h"
#include "app/effects/PhotoEffectsController.h"

#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
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

} // namespace

TEST(MainWindowStart, CaptionSizeAndFirstState) {
    WindowFixture f;
    auto& w = *f.window;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillmark v4.65"));
    EXPECT_EQ(w.size(), QSize(843, 668));
    EXPECT_EQ(w.statusLabel()->text(), QStringLiteral("New picture"));
    EXPECT_EQ(w.zoomLabel()->text(), QStringLiteral("100%"));
    EXPECT_EQ(w.percentLabel()->text(), QStringLiteral("50"));
    EXPECT_EQ(w.transparenceSlider()->value(), 127);
    EXPECT_FALSE(w.transparenceSlider()->isEnabled());
    EXPECT_FALSE(w.transparentCheck()->isEnabled());
    EXPECT_FALSE(w.transparentCheck()->isChecked());
    // The 600 x 450 scene at 100 %.
    EXPECT_EQ(f.image()->size(), QSize(600, 450));
    // aw = 843 - 355 = 488 <= 600: the canvas is 493 wide at left 1; ah = 403: 408 high.
    EXPECT_EQ(w.canvas()->geometry().left(), 1);
    EXPECT_EQ(w.canvas()->width(), 493);
    EXPECT_EQ(w.canvas()->height(), 408);
    EXPECT_FALSE(w.layerDock()->isVisible());
    EXPECT_FALSE(w.albumDock()->isVisible());
    EXPECT_TRUE(w.foregroundDock()->isVisible());
    EXPECT_TRUE(w.backgroundDock()->isVisible());
    EXPECT_TRUE(w.photoEffectsDock()->isVisible());
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
    // At start-up; the collection commands and Publish are left to their own panels.
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
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->objectName(), QStringLiteral("ToolBar1"));
    std::vector<std::pair<int, QString>> placed;
    for (QWidget* widget : bar->findChildren<QWidget*>()) {
        if (widget->toolTip().isEmpty() || !widget->isVisibleTo(bar) ||
            qobject_cast<QLabel*>(widget))
            continue;
        placed.emplace_back(widget->mapTo(bar, QPoint(0, 0)).x(), widget->toolTip());
    }
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

TEST(MainWindowLayout, ToolBarAndItsRightGroupFollowTheWindowWidth) {
    WindowFixture f;
    auto& w = *f.window;
    QToolBar* bar = w.toolBar();
    QWidget* right = w.toolBarRightGroup();
    ASSERT_NE(right, nullptr);
    QWidget* lastOfLeft = nullptr;
    for (QAction* a : bar->actions())
        if (a->text() == QStringLiteral("Background size"))
            lastOfLeft = bar->widgetForAction(a);
    ASSERT_NE(lastOfLeft, nullptr);
    const int leftGroupWidth = lastOfLeft->geometry().right() + 1;
    w.photoEffectsNotebook()->setCurrentIndex(3); // the Frames page, laid out while shown
    for (int width : {843, 1000, 760, 900, 843}) {
        SCOPED_TRACE(width);
        w.resize(width, 668);
        QApplication::processEvents();
        ASSERT_EQ(w.width(), width) << "the bar must not hold the window wide";
        EXPECT_EQ(bar->width(), width - 10);
        EXPECT_EQ(right->width(), width - 10 - leftGroupWidth - 32);
        // The group stays inside the bar, at the right of the left group.
        EXPECT_TRUE(right->isVisible());
        EXPECT_GE(right->x(), leftGroupWidth);
        EXPECT_LE(right->geometry().right(), bar->width());
        // The photo effects panel is W - 22 wide, its notebook 2 narrower and the frame
        // strip 80 narrower than that; its remove button 10 right of the strip's width.
        if (width < 843)
            continue; // the 36 masks in a row hold the panel wider than W - 22
        QWidget* strip = w.photoEffects()->frameStrip();
        EXPECT_EQ(w.photoEffectsDock()->width(), width - 22);
        EXPECT_EQ(strip->width(), width - 22 - 2 - 80);
        EXPECT_EQ(w.photoEffects()->removeFrameButton()->x(), strip->width() + 10);
    }
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
    EXPECT_EQ(f.record->openCaptions, QStringList{"Open a new foreground"});
    ASSERT_EQ(f.scene().LayerCount(), 1);
    EXPECT_TRUE(f.scene().isVisibleLayer(1));

    // Ctrl+Shift+O asks for a background; cancelling it changes nothing.
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.record->openCaptions,
              (QStringList{"Open a new foreground", "Open a new background"}));
    EXPECT_EQ(f.scene().BackWork->width(), 600);

    struct Step {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* zoom;
    };
    const Step steps[] = {
        {Qt::Key_Plus, Qt::ControlModifier, "125.0%"},
        {Qt::Key_Equal, Qt::ControlModifier, "156.3%"},
        {Qt::Key_Minus, Qt::ControlModifier, "125.0%"},
        {Qt::Key_Minus, Qt::ControlModifier, "100.0%"},
    };
    for (const Step& step : steps) {
        QTest::keyClick(&w, Qt::Key(step.key), step.modifiers);
        EXPECT_EQ(w.zoomLabel()->text(), QString::fromLatin1(step.zoom)) << step.key;
    }

    // Delete hides the selected layer and shows the background again.
    QTest::keyClick(&w, Qt::Key_Delete);
    EXPECT_FALSE(f.scene().isVisibleLayer(1));
    EXPECT_EQ(f.scene().scenePicture().pixel(0, 0), makePixel(255, 255, 255));
    EXPECT_TRUE(f.record->messages.isEmpty())
        << f.record->messages.join(QLatin1Char('|')).toStdString();

    // Ctrl+Q closes the window, and the working folder goes with it, files left in it too.
    const QString recorder = w.recorderFolder();
    EXPECT_TRUE(QFileInfo(recorder).isDir());
    QFile leftOver(QDir(recorder).filePath(QStringLiteral("scene1.jpg")));
    ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    leftOver.write("x");
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

TEST(OpenPicture, CancelledDoesNothingAndAForegroundBecomesALayerWithItsPanelEntry) {
    WindowFixture f;
    f.window->openForeground(); // no reply queued: the dialog was cancelled, nothing happens
    EXPECT_EQ(f.scene().LayerCount(), 0);
    EXPECT_TRUE(f.record->messages.isEmpty());
    EXPECT_EQ(f.record->openFilters, QList<QStringList>{quill::app::openPictureFilters()});
    TBitmap32 picture(100, 80, makePixel(10, 20, 200));
    f.openForeground(f.writePicture(QStringLiteral("blue.bmp"), picture));

    EXPECT_TRUE(f.record->messages.isEmpty())
        << f.record->messages.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(f.scene().LayerCount(), 1);
    EXPECT_EQ(f.record->openCaptions,
              (QStringList{"Open a new foreground", "Open a new foreground"}));
    EXPECT_EQ(f.scene().scenePicture().pixel(99, 79), makePixel(10, 20, 200));
    EXPECT_EQ(f.scene().scenePicture().pixel(100, 79), makePixel(255, 255, 255));

    // The layer panel's entry: 40 x 25 at (2, 3), marked red, with a 36 x 21 thumbnail.
    QFrame* entry = f.window->layerPanel()->entryPanel(1);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->geometry(), QRect(2, 3, 40, 25));
    EXPECT_EQ(entry->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(f.window->layerPanel()->entryThumb(1)->geometry(), QRect(2, 2, 36, 21));
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
            EXPECT_EQ(f.record->messages,
                      QStringList{path + QStringLiteral(" is not a valid format")});
            EXPECT_EQ(f.scene().LayerCount(), 0);
            EXPECT_TRUE(f.scene().scenePicture() == before);
            EXPECT_EQ(f.window->layerPanel()->entryPanel(1), nullptr);
        }
    }
}

TEST(OpenPicture, BackgroundReplacesTheSceneAndRefitsTheCanvas) {
    WindowFixture f;
    f.record->openReplies << f.writePicture(QStringLiteral("bg.bmp"),
                                            TBitmap32(200, 150, makePixel(1, 2, 3)));
    f.window->openBackground();
    EXPECT_TRUE(f.record->messages.isEmpty());
    EXPECT_EQ(f.scene().scenePicture().width(), 200);
    EXPECT_EQ(f.image()->size(), QSize(200, 150));
    // A scene smaller than the room is centred: (488 - 200) div 2 + 1, (403 - 150) div 2 + 30.
    EXPECT_EQ(f.window->canvas()->width(), 205);
    EXPECT_EQ(f.window->canvas()->height(), 155);
    EXPECT_EQ(f.window->canvas()->x(), 145);
    EXPECT_EQ(f.window->canvas()->y(), 156 - 30);
}

TEST(OpenPicture, SeeThroughPartsOfAPngStaySeeThrough) {
    WindowFixture f;
    TBitmap32 picture(40, 40, makePixel(200, 0, 0, 255));
    for (int y = 0; y < 40; ++y)
        for (int x = 20; x < 40; ++x)
            picture.setPixel(x, y, makePixel(0, 0, 200, x < 30 ? 127 : 0));
    picture.setPixel(0, 0, makePixel(200, 0, 0, 128));
    f.openForeground(
        f.writePicture(QStringLiteral("shape.png"), picture, quill::PictureFormat::Png));
    ASSERT_EQ(f.scene().LayerCount(), 1);
    // Over the white background: (255 - a) * 255 + a * colour, div 255.
    EXPECT_EQ(f.scene().scenePicture().pixel(0, 0), makePixel(227, 127, 127));
    EXPECT_EQ(f.scene().scenePicture().pixel(25, 5), makePixel(128, 128, 227));
    EXPECT_EQ(f.scene().scenePicture().pixel(39, 39), makePixel(255, 255, 255));
    EXPECT_EQ(f.scene().scenePicture().pixel(5, 5), makePixel(200, 0, 0));
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->pixel(39, 39), quill::CutoutColor);
}
