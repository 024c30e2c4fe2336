#include "WindowTestSupport.h"

#include "app/collections/BrowserStrip.h"
#include "app/collections/PictureListStrip.h"
#include "app/collections/PictureSizeDialog.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <functional>

using namespace quill;
using namespace quill::app;

namespace {

// Opens three foregrounds of different colours and adds each to the sketch-list
// through the canvas menu (the last opened layer is the panel-selected one).
void addThreeSketches(WindowFixture& f) {
    for (std::uint8_t red : {10, 20, 30}) {
        f.openForeground(
            f.writePicture(QStringLiteral("s%1.bmp").arg(red), solid(40, 30, red, 0, 0)));
        QAction* add = findItem(f.window->canvasMenu(), QStringLiteral("Add me into sketch-list"));
        ASSERT_TRUE(add && add->isEnabled());
        add->trigger();
    }
}

int redOf(const TBitmap32& p) {
    return pixelRed(p.pixel(0, 0));
}

} // namespace

// The strip shows the list: the menu only over a thumbnail, the selected one indented,
// Delete me moving the pictures up, a double-click adding the sketch as a layer.
TEST(CollectionsWindow, SketchStripFollowsTheListAndItsMenu) {
    WindowFixture f;
    PictureListStrip* strip = f.collections().sketchStrip();
    QSignalSpy menus(strip, &PictureListStrip::contextMenuWanted);
    strip->rightPressAt(0, QPoint()); // empty list
    EXPECT_EQ(menus.count(), 0);
    addThreeSketches(f);
    const SketchList& list = f.collections().sketches();
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(f.window->foregroundNotebook()->currentIndex(), 1);
    EXPECT_EQ(f.window->foregroundDock()->windowTitle(), QStringLiteral("Sketch-list"));
    strip->rightPressAt(2, QPoint());
    EXPECT_EQ(menus.count(), 1);
    EXPECT_EQ(list.selected(), 2);
    EXPECT_GT(strip->thumbnail(2)->x(), strip->thumbnail(1)->x()) << "the selected is indented";
    findItem(f.collections().sketchMenu(), QStringLiteral("Delete me"))->trigger();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(redOf(list.picture(1)), 10);
    EXPECT_EQ(redOf(list.picture(2)), 30);
    EXPECT_FALSE(strip->thumbnail(3)->isVisibleTo(strip->widget()));
    EXPECT_EQ(strip->shownCount(), 2);

    const int before = f.scene().LayerCount();
    doubleClick(strip->thumbnail(1), QPoint(5, 5));
    ASSERT_EQ(f.scene().LayerCount(), before + 1);
    const TBitmap32& added = *f.scene().layer(before + 1).ForeOriginal;
    EXPECT_EQ(redOf(added), 10);
    EXPECT_EQ(pixelAlpha(added.pixel(0, 0)), 255);
}

// "Save all" of either list: the empty list says so without asking for a folder; a
// cancelled chooser writes nothing; else numbered JPEG files and the list's message.
TEST(CollectionsWindow, SaveAllOfEitherListWritesNumberedFilesOrSaysTheListIsEmpty) {
    const struct {
        const char* command;
        const char* empty;
        const char* caption;
        const char* done;
        QStringList files;
    } lists[] = {
        {"Export sketch-list",
         "There is no picture in the sketch-list!",
         "Select a directory to save all sketchs as...",
         "Save all sketchs successful!",
         {"sketch1.jpg", "sketch2.jpg", "sketch3.jpg"}},
        {"Export album-list",
         "There is no picture in the album-list!",
         "Select a directory to save all scenes as...",
         "Save all scenes successful!",
         {"scene1.jpg", "scene2.jpg", "scene3.jpg"}},
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(l.command);
        WindowFixture f;
        QAction* command = f.menuAction(QString::fromLatin1(l.command));
        command->trigger();
        EXPECT_EQ(f.record->messages, QStringList{l.empty});
        EXPECT_TRUE(f.record->folderCaptions.isEmpty());
        addThreeSketches(f);
        for (int k = 0; k < 3; ++k)
            f.collections().addSceneToAlbum();
        QTemporaryDir out;
        f.record->folderReplies << QString() << out.path();
        command->trigger();
        EXPECT_TRUE(QDir(out.path()).isEmpty()) << "cancelled";
        command->trigger();
        EXPECT_EQ(f.record->folderCaptions.last(), QString::fromLatin1(l.caption));
        EXPECT_EQ(f.record->messages, (QStringList{l.empty, l.done}));
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), l.files);
    }
}

TEST(CollectionsWindow, CanvasDoubleClickSendsALayerToTheSketchListAndTheSceneToTheAlbum) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(50, 40, 200, 0, 0)));
    f.window->albumDock()->hide();
    const QString captionBefore = f.window->foregroundDock()->windowTitle();
    f.collections().canvasDoubleClicked(1);
    EXPECT_EQ(f.collections().sketches().count(), 1);
    EXPECT_EQ(f.window->foregroundNotebook()->currentIndex(), 1);
    EXPECT_EQ(f.window->foregroundDock()->windowTitle(), captionBefore);

    f.collections().canvasDoubleClicked(-1);
    ASSERT_EQ(f.collections().albums().count(), 1);
    EXPECT_TRUE(f.window->albumDock()->isVisible());
    EXPECT_EQ(f.collections().albums().picture(1), f.scene().scenePicture());
}

// A scene added while a layer is still being dragged (from the keyboard) is the scene
// with the layer where it is now, though the drag composes it only at the release.
TEST(CollectionsWindow, TheAlbumTakesTheSceneAsItIsInTheMiddleOfADrag) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(100, 80, 200, 0, 0)));
    QWidget* image = f.image();
    sendMouse(image, QEvent::MouseMove, QPoint(50, 40), Qt::NoButton, Qt::NoButton);
    sendMouse(image, QEvent::MouseButtonPress, QPoint(50, 40), Qt::LeftButton, Qt::LeftButton);
    sendMouse(image, QEvent::MouseMove, QPoint(250, 140), Qt::NoButton, Qt::LeftButton);
    f.collections().addSceneToAlbum();
    ASSERT_EQ(f.collections().albums().count(), 1);
    const TBitmap32& added = f.collections().albums().picture(1);
    EXPECT_EQ(added.pixel(210, 110), makePixel(200, 0, 0)) << "the layer at its new place";
    EXPECT_EQ(added.pixel(20, 20), makePixel(255, 255, 255)) << "not at its old one";
}

TEST(CollectionsWindow, MakeAlbumWritesAnAlbumOrSaysWhyNot) {
    WindowFixture f;
    f.collections().makeAlbum();
    EXPECT_EQ(f.record->messages, QStringList{"Have no picture in the album-list!"});
    f.collections().addSceneToAlbum();
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(120, 80, 0, 200, 0)));
    f.collections().addSceneToAlbum();

    QTemporaryDir out;
    const QString chosen = out.filePath(QStringLiteral("holiday"));
    f.record->saveReplies << chosen << f.folder.filePath(QStringLiteral("missing/folder/album"));
    f.collections().makeAlbumButton()->click();
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Make album successful!"));
    EXPECT_TRUE(f.record->saveFilters[0].join(' ').contains(QStringLiteral("*.exe")));
    const QString album = chosen + QStringLiteral(".exe");
    EXPECT_TRUE(QFileInfo(album).isExecutable());
#ifdef QUILL_CLI_PATH
    QProcess cli;
    cli.start(QStringLiteral(QUILL_CLI_PATH),
              {QStringLiteral("album"), QStringLiteral("list"), album});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(cli.readAllStandardOutput().startsWith("2\n")) << "both scenes";
#endif
    // A copy that fails says so, and not that the album was made.
    f.collections().makeAlbum();
    EXPECT_NE(f.record->messages.last(), QStringLiteral("Make album successful!"));
    EXPECT_FALSE(QFileInfo::exists(f.folder.filePath(QStringLiteral("missing"))));
    // Cancelling the save chooser still says the album was made (it is in the recorder).
    f.collections().makeAlbum();
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Make album successful!"));
}

TEST(CollectionsWindow, ImportingAFolderBuildsOneCellPerPictureJpegFirstInEitherStrip) {
    WindowFixture f;
    QTemporaryDir pics;
    SavePicture(solid(1003, 757, 1, 2, 3), pics.filePath("b1.bmp").toStdString(),
                PictureFormat::Bmp24);
    SavePicture(solid(300, 600, 9, 9, 9), pics.filePath("a1.jpg").toStdString(),
                PictureFormat::Jpeg);
    SavePicture(solid(64, 48, 9, 9, 9), pics.filePath("a2.jpg").toStdString(), PictureFormat::Jpeg);
    QFile bad(pics.filePath("broken.jpg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();

    BrowserStrip* strip = f.collections().backgroundBrowser();
    strip->waitForBuild();
    const QString libraryBefore = strip->folder();
    const int cellsBefore = strip->cellCount();
    f.record->folderReplies << QString() << pics.path(); // cancelled first
    f.menuAction(QStringLiteral("Import background"))->trigger();
    EXPECT_EQ(strip->folder(), libraryBefore);
    EXPECT_EQ(strip->cellCount(), cellsBefore);
    EXPECT_EQ(f.record->folderCaptions.last(),
              QStringLiteral("Open a directory to add pictures as background."));
    EXPECT_EQ(f.record->folderStarts.last(), libraryBefore);
    f.menuAction(QStringLiteral("Import background"))->trigger();
    strip->waitForBuild();
    ASSERT_EQ(strip->fileNames(), (QStringList{"a1.jpg", "a2.jpg", "broken.jpg", "b1.bmp"}));
    EXPECT_EQ(strip->gauge()->value(), 4);
    // The captions give each picture's size reduced to a tenth, times ten.
    const char* const captions[] = {"300x600", "60x40", "", "1000x750"};
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(strip->cell(i)->caption()->text(), QString::fromLatin1(captions[i - 1])) << i;
    // A double-click on a caption opens nothing; on a picture it sets the background; on
    // an unreadable file it says so by its full path and changes nothing.
    const struct {
        QWidget* on;
        int width;
        QString message;
    } clicks[] = {
        {strip->cell(4)->caption(), 600, QString()},
        {strip->cell(4)->picture(), 1003, QString()},
        {strip->cell(3)->picture(), 1003, pics.filePath("broken.jpg") + " is not a valid format"}};
    for (const auto& c : clicks) {
        doubleClick(c.on);
        f.idle();
        EXPECT_EQ(f.scene().BackWork->width(), c.width);
        EXPECT_EQ(f.record->messages.isEmpty() ? QString() : f.record->messages.last(), c.message);
    }

    // The foreground strip: a double-click on a picture adds a layer.
    QTemporaryDir fore;
    SavePicture(solid(200, 100, 5, 6, 7), fore.filePath("one.png").toStdString(),
                PictureFormat::Png);
    f.record->folderReplies << fore.path();
    f.menuAction(QStringLiteral("Import foreground"))->trigger();
    EXPECT_EQ(f.record->folderCaptions.last(),
              QStringLiteral("Open a directory to add pictures as foreground."));
    BrowserStrip* foreStrip = f.collections().foregroundBrowser();
    foreStrip->waitForBuild();
    ASSERT_EQ(foreStrip->cellCount(), 1);
    doubleClick(foreStrip->cell(1)->picture());
    f.idle();
    ASSERT_EQ(f.scene().LayerCount(), 1);
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->width(), 200);
}

TEST(CollectionsWindow, RebuildingWhileReadingShowsOnlyTheNewFolder) {
    WindowFixture f;
    QTemporaryDir first, second;
    for (int k = 0; k < 12; ++k)
        SavePicture(solid(400, 300, 1, 1, 1),
                    first.filePath(QStringLiteral("p%1.jpg").arg(k)).toStdString(),
                    PictureFormat::Jpeg);
    SavePicture(solid(100, 100, 1, 1, 1), second.filePath("only.jpg").toStdString(),
                PictureFormat::Jpeg);
    BrowserStrip* strip = f.collections().backgroundBrowser();
    f.record->folderReplies << first.path() << second.path();
    f.collections().importBackground();
    f.collections().importBackground(); // before the first build has finished
    strip->waitForBuild();
    QApplication::processEvents();
    ASSERT_EQ(strip->cellCount(), 1);
    EXPECT_EQ(strip->cell(1)->fileName(), QStringLiteral("only.jpg"));
    EXPECT_EQ(strip->gauge()->value(), 1);
}

TEST(CollectionsWindow, SizeDialogKeepsTheProportionAndResizesTheLayerOrTheBackgroundOnOk) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("fg.bmp"), solid(300, 200, 9, 9, 9)));
    f.menuAction(QStringLiteral("Foreground size"))->trigger();
    TImage_size* dialog = f.collections().sizeDialog();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Foreground_size"));
    EXPECT_EQ(dialog->edit1()->text() + dialog->edit2()->text(), QStringLiteral("300200"));
    EXPECT_TRUE(dialog->checkBox1()->isChecked());
    dialog->edit2()->setText(QStringLiteral("150"));
    QTest::keyRelease(dialog->edit2(), Qt::Key_0);
    EXPECT_EQ(dialog->edit1()->text(), QStringLiteral("225"));

    // Zero is refused and nothing changes; the dialog stays.
    dialog->edit1()->setText(QStringLiteral("0"));
    dialog->okButton()->click();
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Please input a valid integer value."));
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->width(), 300);
    EXPECT_TRUE(dialog->isVisible());
    dialog->edit1()->setText(QStringLiteral("225"));
    QTest::keyClick(dialog->edit1(), Qt::Key_Return); // Enter in an edit acts as OK
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->height(), 150);
    EXPECT_EQ(f.scene().layer(1).ForeWork->width(), 225);

    // The background's: the steps, a conversion error that keeps the texts, OK.
    f.collections().backgroundSize();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Background_size"));
    ASSERT_EQ(dialog->edit1()->text(), QStringLiteral("600"));
    dialog->minusButton()->click();
    EXPECT_EQ(dialog->edit1()->text() + dialog->edit2()->text(), QStringLiteral("480360"));
    dialog->edit1()->setText(QStringLiteral("x"));
    const int messages = f.record->messages.size();
    dialog->plusButton()->click();
    EXPECT_EQ(dialog->edit1()->text(), QStringLiteral("x"));
    EXPECT_EQ(f.record->messages.size(), messages + 1);
    dialog->edit1()->setText(QStringLiteral("480"));
    dialog->okButton()->click();
    EXPECT_EQ(f.scene().BackWork->height(), 360);
    EXPECT_EQ(f.scene().scenePicture().width(), 480);
}
