#include "WindowTestSupport.h"

#include "app/LayerPanel.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>

#include <algorithm>
#include <string>

using quill::makePixel;
using quill::TBitmap32;

namespace {

const std::uint32_t kWhite = makePixel(255, 255, 255);
const std::uint32_t kBlue = makePixel(10, 20, 200);

// Pointer steps on the scene image: a move to `from`, a press, moves to `to`, a release.
void dragOnImage(WindowFixture& f, QPoint from, QPoint to,
                 Qt::MouseButton button = Qt::LeftButton) {
    QWidget* image = f.image();
    sendMouse(image, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    sendMouse(image, QEvent::MouseButtonPress, from, button, button);
    if (to != from)
        sendMouse(image, QEvent::MouseMove, to, Qt::NoButton, button);
    sendMouse(image, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

void clickOnImage(WindowFixture& f, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    dragOnImage(f, at, at, button);
}

QColor shownAt(WindowFixture& f, int x, int y) {
    return f.image()->grab().toImage().pixelColor(x, y);
}

} // namespace

TEST(Canvas, DragMovesTheLayerAndRecomposesTheScene) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("blue.bmp"), TBitmap32(100, 80, kBlue)));
    ASSERT_EQ(f.scene().LayerCount(), 1);

    dragOnImage(f, QPoint(50, 40), QPoint(80, 60));

    EXPECT_EQ(f.scene().layerPosition(1), (quill::Point{30, 20}));
    EXPECT_EQ(f.scene().scenePicture().pixel(30, 20), kBlue);
    EXPECT_EQ(f.scene().scenePicture().pixel(29, 20), kWhite);
    // What the canvas shows: the layer's inside at its new place, the old place white.
    EXPECT_EQ(shownAt(f, 80, 60), QColor(10, 20, 200));
    EXPECT_EQ(shownAt(f, 15, 15), QColor(255, 255, 255));
    EXPECT_EQ(shownAt(f, 40, 25), QColor(255, 0, 0)) << "the marker of the selected layer";
}

// The marker is red exactly on the carrier's marker pixels (none below 20 a side).
TEST(Canvas, MarkerIsPaintedWhereTheCarrierHasIt) {
    for (const QSize size : {QSize(40, 30), QSize(19, 40)}) {
        WindowFixture f;
        f.openForeground(
            f.writePicture(QStringLiteral("m.bmp"), TBitmap32(size.width(), size.height(), kBlue)));
        const QImage shown = f.image()->grab().toImage();
        const std::vector<quill::Rect> marker = quill::selectionMarker(size.width(), size.height());
        EXPECT_EQ(marker.empty(), size.width() < 20);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const bool red =
                    std::any_of(marker.begin(), marker.end(),
                                [&](const quill::Rect& r) { return r.contains(x, y); });
                ASSERT_EQ(shown.pixelColor(x, y), red ? QColor(255, 0, 0) : QColor(10, 20, 200))
                    << size.width() << " at " << x << "," << y;
            }
    }
}

TEST(Canvas, ClickOnTheBareSceneRemovesTheMarkerAndTransparencyFollowsTheControls) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("blue.bmp"), TBitmap32(100, 80, kBlue)));
    EXPECT_EQ(shownAt(f, 0, 0), QColor(255, 0, 0));
    clickOnImage(f, QPoint(300, 300));
    EXPECT_EQ(shownAt(f, 0, 0), QColor(10, 20, 200));
    EXPECT_FALSE(f.window->transparentCheck()->isEnabled());
    // A click on the layer selects it again and enables "Transparent".
    clickOnImage(f, QPoint(50, 40));
    EXPECT_EQ(shownAt(f, 0, 0), QColor(255, 0, 0));
    EXPECT_TRUE(f.window->transparentCheck()->isEnabled());

    // The transparency controls drive the selected layer.
    f.window->transparentCheck()->setChecked(true);
    EXPECT_TRUE(f.window->transparenceSlider()->isEnabled());
    EXPECT_EQ(f.window->transparenceSlider()->value(), 128);
    // Level 128: factor 127, so alpha 127 over white:
    // ((255 - 127) * 255 + 127 * c) div 255.
    EXPECT_EQ(f.scene().scenePicture().pixel(50, 40), makePixel(132, 137, 227));

    f.window->transparenceSlider()->setValue(3);
    EXPECT_EQ(f.window->percentLabel()->text(), QStringLiteral("1"));
    EXPECT_EQ(f.scene().scenePicture().pixel(50, 40), makePixel(12, 22, 200));
    f.window->transparentCheck()->setChecked(false);
    EXPECT_FALSE(f.window->transparenceSlider()->isEnabled());
    EXPECT_EQ(f.scene().scenePicture().pixel(50, 40), kBlue) << "unticking restores the layer";
}

TEST(Canvas, RightClickOpensTheMenuOnlyWithoutPanning) {
    WindowFixture f; // 600 x 450 in a 493 x 408 canvas: the view can scroll
    clickOnImage(f, QPoint(300, 300), Qt::RightButton);
    EXPECT_TRUE(f.window->canvasMenu()->isVisible());
    f.window->canvasMenu()->hide();

    dragOnImage(f, QPoint(300, 300), QPoint(250, 260), Qt::RightButton);
    EXPECT_FALSE(f.window->canvasMenu()->isVisible());
    EXPECT_EQ(f.window->canvas()->horizontalScrollBar()->value(), 50);
    EXPECT_EQ(f.window->canvas()->verticalScrollBar()->value(), 40);
    EXPECT_EQ(f.workspace().canvas().scrollX(), 50);
}

TEST(Zoom, LabelImageSizeAndANewLayerFollowTheSteps) {
    WindowFixture f;
    EXPECT_EQ(f.window->zoomLabel()->text(), QStringLiteral("100%"));
    f.window->zoomIn();
    EXPECT_EQ(f.window->zoomLabel()->text(), QStringLiteral("125.0%"));
    EXPECT_EQ(f.image()->size(), QSize(750, 562));
    // A layer opened at 125 %: the canvas shows it stretched, its (99, 79) near (124, 99).
    f.openForeground(f.writePicture(QStringLiteral("b.bmp"), TBitmap32(100, 80, kBlue)));
    EXPECT_EQ(shownAt(f, 110, 90), QColor(10, 20, 200));
    EXPECT_EQ(shownAt(f, 127, 102), QColor(255, 255, 255));
    struct Step {
        bool in;
        const char* label;
        QSize image;
    };
    const Step steps[] = {
        {true, "156.3%", {938, 703}},  {true, "195.3%", {1172, 879}}, {false, "156.3%", {938, 703}},
        {false, "125.0%", {750, 562}}, {false, "100.0%", {600, 450}}, {false, "80.0%", {480, 360}},
        {false, "64.0%", {384, 288}},
    };
    for (const Step& s : steps) {
        s.in ? f.window->zoomIn() : f.window->zoomOut();
        EXPECT_EQ(f.window->zoomLabel()->text(), QString::fromLatin1(s.label));
        EXPECT_EQ(f.image()->size(), s.image) << s.label;
    }
    EXPECT_EQ(f.scene().scenePicture().width(), 600) << "zooming never touches the pictures";
    EXPECT_EQ(f.scene().layer(1).ForeWork->width(), 100);
}

TEST(Zoom, WheelZoomsOnlyOverTheCanvas) {
    WindowFixture f;
    struct Step {
        const char* where;
        int delta;
        const char* label;
    };
    const Step steps[] = {
        {"panel", -120, "100%"},   {"viewport", -120, "125.0%"}, {"image", -120, "156.3%"},
        {"image", 120, "125.0%"},  {"viewport", -60, "125.0%"},  {"viewport", -60, "156.3%"},
        {"status", 120, "156.3%"},
    };
    for (const Step& s : steps) {
        const std::string where = s.where;
        QWidget* target = where == "panel"      ? static_cast<QWidget*>(f.window->layerPanel())
                          : where == "viewport" ? f.window->canvas()->viewport()
                          : where == "image"    ? static_cast<QWidget*>(f.image())
                                                : static_cast<QWidget*>(f.window->statusLabel());
        sendWheel(target, s.delta);
        EXPECT_EQ(f.window->zoomLabel()->text(), QString::fromLatin1(s.label))
            << s.where << " " << s.delta;
    }
}

TEST(LayerPanel, UpExchangesTheDrawingOrderAndTheMenuDeletesOnlyOverAThumbnail) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("blue.bmp"), TBitmap32(50, 50, kBlue)));
    f.openForeground(
        f.writePicture(QStringLiteral("green.bmp"), TBitmap32(50, 50, makePixel(0, 160, 0))));
    EXPECT_EQ(f.scene().scenePicture().pixel(25, 25), makePixel(0, 160, 0));
    quill::app::LayerPanel* panel = f.window->layerPanel();
    const auto marked = [&](int i) {
        return panel->entryPanel(i)->palette().color(QPalette::Window) == QColor(255, 0, 0);
    };
    EXPECT_TRUE(marked(2) && !marked(1)) << "only the newest entry is marked";
    sendMouse(panel->entryThumb(1), QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton,
              Qt::LeftButton);
    ASSERT_TRUE(panel->upButton()->isEnabled());
    EXPECT_FALSE(panel->downButton()->isEnabled());
    panel->upButton()->click();
    EXPECT_EQ(f.scene().scenePicture().pixel(25, 25), kBlue);
    EXPECT_EQ(f.scene().PanelLayer, 2);
    EXPECT_TRUE(marked(2));
    EXPECT_FALSE(panel->upButton()->isEnabled());
    EXPECT_TRUE(panel->downButton()->isEnabled());

    f.window->layerDock()->show();
    sendMouse(panel->listArea(), QEvent::MouseButtonPress, QPoint(44, 80), Qt::RightButton,
              Qt::RightButton);
    EXPECT_FALSE(f.window->layerMenu()->isVisible());
    sendMouse(panel->entryThumb(1), QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton,
              Qt::RightButton);
    EXPECT_TRUE(f.window->layerMenu()->isVisible());
    EXPECT_EQ(f.scene().PanelLayer, 1);
    f.window->layerMenu()->actions().first()->trigger();
    f.window->layerMenu()->hide();
    EXPECT_EQ(f.scene().LayerCount(), 2);
    EXPECT_FALSE(f.scene().layer(1).visible || panel->entryPanel(1)->isVisible());
    EXPECT_EQ(panel->entryPanel(2)->y(), 3) << "the entries below move up";
    EXPECT_FALSE(panel->upButton()->isEnabled() || panel->downButton()->isEnabled());
}

TEST(Help, OnlineOpensTheManualOrSaysWhyNot) {
    WindowFixture f;
    f.window->showOnline();
    ASSERT_EQ(f.record->urls.size(), 1);
    EXPECT_EQ(f.record->urls.first(),
              QUrl::fromLocalFile(f.folder.filePath(QStringLiteral("manual.html"))));
    f.record->browserWorks = false;
    f.window->showOnline();
    EXPECT_EQ(f.record->messages.size(), 1) << "a browser that cannot start is reported";
}

// The hint follows what a double-click at the point would do.
TEST(Canvas, TheHintNamesWhatADoubleClickThereDoes) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), TBitmap32(100, 80, kBlue)));
    f.openForeground(f.writePicture(QStringLiteral("b.bmp"), TBitmap32(30, 30, kBlue)));
    f.workspace().document().moveLayerTo(2, 580, 400); // partly beyond the scene image
    f.window->syncAll();
    const QString layer = QStringLiteral("Double-click on the foreround to add into sketch-list");
    const QString scene =
        QStringLiteral("Double-click on the background to add scene into album-list");
    const struct {
        QPoint at;
        QString hint;
    } cases[] = {
        {{50, 40}, layer},   {{0, 0}, layer},         {{99, 79}, layer},   {{100, 79}, scene},
        {{300, 300}, scene}, {{599, 410}, layer},     {{605, 425}, layer}, {{605, 200}, QString()},
        {{599, 0}, scene},   {{700, 500}, QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.image()->hintAt(c.at), c.hint) << c.at.x() << "," << c.at.y();
    f.doc().deleteLayer(); // the second, selected last
    EXPECT_EQ(f.image()->hintAt(QPoint(599, 410)), scene) << "a deleted layer has no hint";
}

TEST(Drop, FilesOpenAsForegroundsOrWithShiftAsTheBackground) {
    WindowFixture f;
    const QString fore = f.writePicture(QStringLiteral("f.bmp"), TBitmap32(30, 30, kBlue));
    const QString back =
        f.writePicture(QStringLiteral("b.bmp"), TBitmap32(300, 200, makePixel(0, 0, 0)));
    auto drop = [&](const QString& path, bool shift, QPoint at = QPoint(200, 200)) {
        const int taken = f.window->openDroppedFiles(
            {QUrl::fromLocalFile(path), QUrl(QStringLiteral("https://x.example/a.jpg"))}, at,
            shift);
        f.idle();
        return taken;
    };
    EXPECT_EQ(drop(fore, false), 1);
    EXPECT_EQ(f.scene().LayerCount(), 1);
    // Shift over the layer still adds a foreground.
    EXPECT_EQ(drop(fore, true, QPoint(5, 5)), 1);
    EXPECT_EQ(f.scene().LayerCount(), 2);
    EXPECT_EQ(drop(back, true), 1);
    EXPECT_EQ(f.scene().LayerCount(), 2);
    EXPECT_EQ(f.scene().scenePicture().width(), 300);
    EXPECT_EQ(f.scene().scenePicture().pixel(100, 100), makePixel(0, 0, 0));
    EXPECT_EQ(f.scene().scenePicture().pixel(10, 10), kBlue)
        << "the layer stays over the new background";
}

TEST(Canvas, PointerShapeFollowsTheZonesAndTheBottomRightOneResizes) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("blue.bmp"), TBitmap32(100, 80, kBlue)));
    struct Case {
        QPoint at;
        Qt::CursorShape shape;
    };
    const Case cases[] = {
        {{5, 5}, Qt::SizeFDiagCursor},  {{50, 5}, Qt::SizeVerCursor},
        {{95, 5}, Qt::SizeBDiagCursor}, {{95, 40}, Qt::SizeHorCursor},
        {{50, 40}, Qt::SizeAllCursor},
    };
    for (const Case& c : cases) {
        sendMouse(f.image(), QEvent::MouseMove, c.at, Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(f.image()->cursor().shape(), c.shape) << c.at.x() << "," << c.at.y();
    }
    dragOnImage(f, QPoint(95, 75), QPoint(195, 155));
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->width(), 200);
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->height(), 160);
    EXPECT_EQ(shownAt(f, 150, 120), QColor(10, 20, 200));
    EXPECT_EQ(shownAt(f, 195, 155), QColor(255, 0, 0)) << "the marker follows the new size";
}
