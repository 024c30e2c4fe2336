#include "WindowTestSupport.h"

#include "app/collections/BrowserStrip.h"
#include "app/collections/PictureListStrip.h"
#include "app/collections/PictureSizeDialog.h"
#include "collections/AlbumFile.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

using namespace quill;
using namespace quill::app;

namespace {

// Opens three foregrounds of different colours and adds each to the sketch-list
// through the canvas menu (the last opened layer is the panel-selected one).
void addThreeSketches(WindowFixture& f) {
    const std::uint8_t reds[3] = {10, 20, 30};
    for (int k = 0; k < 3; ++k) {
        f.openForeground(
            f.writePicture(QStringLiteral("s%1.bmp").arg(k), solid(40, 30, reds[k], 0, 0)));
        QAction* add = findItem(f.window->canvasMenu(), QStringLiteral("Add me into sketch-list"));
        ASSERT_NE(add, nullptr);
        ASSERT_TRUE(add->isEnabled());
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
    QAction* deleteMe = findItem(f.collections().sketchMenu(), QStringLiteral("Delete me"));
    ASSERT_NE(deleteMe, nullptr);
    deleteMe->trigger();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(redOf(list.picture(1)), 10);
    EXPECT_EQ(redOf(list.picture(2)), 30);
    EXPECT_FALSE(strip->thumbnail(3)->isVisibleTo(strip->widget()));
    EXPECT_EQ(strip->shownCount(), 2);

    const int before = f.scene().LayerCount();
    doubleClick(strip->thumbnail(1), QPoint(5, 5));
    f.idle();
    ASSERT_EQ(f.scene().LayerCount(), before + 1);
    const TBitmap32& added = *f.scene().layer(before + 1).ForeOriginal;
    EXPECT_EQ(redOf(added), 10);
    EXPECT_EQ(pixelAlpha(added.pixel(0, 0)), 255);
}

TEST(CollectionsWindow, SaveAllSketchesWritesNumberedFilesOrSaysTheListIsEmpty) {
    WindowFixture f;
    QAction* exportSketches = f.menuAction(QStringLiteral("Export sketch-list"));
    ASSERT_NE(exportSketches, nullptr);
    ASSERT_TRUE(exportSketches->isEnabled());
    exportSketches->trigger();
    EXPECT_EQ(f.record->messages, QStringList{"There is no picture in the sketch-list!"});
    EXPECT_TRUE(f.record->folderCaptions.isEmpty()); // no folder is asked for

    addThreeSketches(f);
    QTemporaryDir out;
    // Cancelled: nothing written, nothing said.
    f.record->folderReplies << QString();
    exportSketches->trigger();
    EXPECT_EQ(f.record->messages.size(), 1);
    EXPECT_TRUE(QDir(out.path()).isEmpty());

    f.record->folderReplies << out.path();
    exportSketches->trigger();
    EXPECT_EQ(f.record->folderCaptions.last(),
              QStringLiteral("Select a directory to save all sketchs as..."));
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Save all sketchs successful!"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files),
              (QStringList{"sketch1.jpg", "sketch2.jpg", "sketch3.jpg"}));
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
    EXPECT_NE(f.collections().albumStrip()->thumbnail(1), nullptr);
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

#ifdef QUILL_CLI_PATH
TEST(CollectionsWindow, MakeAlbumWritesAnAlbumTheCommandLineReadsBack) {
    WindowFixture f;
    QAction* addScene = f.menuAction(QStringLiteral("Add scene into album-list"));
    ASSERT_NE(addScene, nullptr);
    addScene->trigger();
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(120, 80, 0, 200, 0)));
    addScene->trigger();
    ASSERT_EQ(f.collections().albums().count(), 2);

    QTemporaryDir out;
    const QString chosen = out.filePath(QStringLiteral("holiday"));
    f.record->saveReplies << chosen;
    f.collections().makeAlbumButton()->click();
    EXPECT_EQ(f.record->messages, QStringList{"Make album successful!"});
    ASSERT_EQ(f.record->saveFilters.size(), 1);
    EXPECT_TRUE(f.record->saveFilters[0].join(' ').contains(QStringLiteral("*.exe")));

    const QString album = chosen + QStringLiteral(".exe");
    ASSERT_TRUE(QFileInfo::exists(album));
    EXPECT_TRUE(QFileInfo(album).isExecutable());
    const QString recorder = f.window->recorderFolder();
    const QStringList sceneFiles = {QDir(recorder).filePath("1.jpg"),
                                    QDir(recorder).filePath("2.jpg")};
    EXPECT_TRUE(QFileInfo::exists(QDir(recorder).filePath("2.exe")));

    QProcess cli;
    cli.start(QStringLiteral(QUILL_CLI_PATH),
              {QStringLiteral("album"), QStringLiteral("list"), album});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QStringList lines =
        QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("2"));
    qint64 expectedOffset = QFileInfo(album).size() - 4 - 8 - QFileInfo(sceneFiles[0]).size() -
                            QFileInfo(sceneFiles[1]).size();
    for (int k = 0; k < 2; ++k) {
        const QStringList parts = lines[k + 1].split(' ');
        ASSERT_EQ(parts.size(), 3) << lines[k + 1].toStdString();
        EXPECT_EQ(parts[0].toInt(), k + 1);
        EXPECT_EQ(parts[1].toLongLong(), expectedOffset) << k;
        EXPECT_EQ(parts[2].toLongLong(), QFileInfo(sceneFiles[k]).size()) << k;
        expectedOffset += QFileInfo(sceneFiles[k]).size() + 4;
    }
}
#endif

TEST(CollectionsWindow, MakeAlbumReportsACopyThatFailsAndGivesNoSuccess) {
    WindowFixture f;
    f.collections().makeAlbum();
    EXPECT_EQ(f.record->messages, QStringList{"Have no picture in the album-list!"});
    f.collections().addSceneToAlbum();
    f.record->messages.clear();
    f.record->saveReplies << f.folder.filePath(QStringLiteral("missing/folder/album"));
    f.collections().makeAlbum();
    ASSERT_EQ(f.record->messages.size(), 1);
    EXPECT_NE(f.record->messages[0], QStringLiteral("Make album successful!"));
    EXPECT_FALSE(QFileInfo::exists(f.folder.filePath(QStringLiteral("missing"))));

    // Cancelling the save chooser still says the album was made (it is in the recorder).
    f.record->messages.clear();
    f.collections().makeAlbum();
    EXPECT_EQ(f.record->messages, QStringList{"Make album successful!"});
}

TEST(CollectionsWindow, ImportingAFolderBuildsOneCellPerPictureJpegFirstInEitherStrip) {
    WindowFixture f;
    QTemporaryDir pics;
    auto write = [&](const QString& name, const TBitmap32& p, PictureFormat format) {
        SavePicture(p, pics.filePath(name).toStdString(), format);
    };
    write("b1.bmp", solid(1003, 757, 1, 2, 3), PictureFormat::Bmp24);
    write("a1.jpg", solid(300, 600, 9, 9, 9), PictureFormat::Jpeg);
    write("a2.jpg", solid(64, 48, 9, 9, 9), PictureFormat::Jpeg);
    QFile bad(pics.filePath("broken.jpg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();

    BrowserStrip* strip = f.collections().backgroundBrowser();
    strip->waitForBuild();
    const QString libraryBefore = strip->folder();
    // Cancelled: the strip and the folder stay.
    const int cellsBefore = strip->cellCount();
    f.record->folderReplies << QString();
    f.menuAction(QStringLiteral("Import background"))->trigger();
    EXPECT_EQ(strip->folder(), libraryBefore);
    EXPECT_EQ(strip->cellCount(), cellsBefore);
    EXPECT_EQ(f.record->folderCaptions.last(),
              QStringLiteral("Open a directory to add pictures as background."));
    EXPECT_EQ(f.record->folderStarts.last(), libraryBefore);

    f.record->folderReplies << pics.path();
    f.menuAction(QStringLiteral("Import background"))->trigger();
    strip->waitForBuild();
    ASSERT_EQ(strip->cellCount(), 4);
    EXPECT_EQ(strip->fileNames(), (QStringList{"a1.jpg", "a2.jpg", "broken.jpg", "b1.bmp"}));
    EXPECT_EQ(strip->gauge()->value(), 4);
    const char* const captions[] = {"300x600", "60x40", "", "1000x750"};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(strip->cell(i)->caption()->text(), QString::fromLatin1(captions[i - 1])) << i;
        EXPECT_EQ(strip->cell(i)->fileName(), strip->fileNames()[i - 1]);
    }
    // A double-click on a caption opens nothing; on a picture it sets the background.
    doubleClick(strip->cell(4)->caption());
    f.idle();
    EXPECT_EQ(f.scene().BackWork->width(), 600);
    doubleClick(strip->cell(4)->picture());
    f.idle();
    EXPECT_EQ(strip->pointedCell(), 4);
    EXPECT_EQ(f.scene().BackWork->width(), 1003);
    EXPECT_EQ(f.scene().BackWork->height(), 757);
    // The unreadable file says so by its full path and changes nothing.
    doubleClick(strip->cell(3)->picture());
    f.idle();
    EXPECT_EQ(f.record->messages.last(), pics.filePath("broken.jpg") + " is not a valid format");
    EXPECT_EQ(f.scene().BackWork->width(), 1003);

    // The foreground strip: smaller cells; a double-click on a picture adds a layer.
    QTemporaryDir fore;
    SavePicture(solid(200, 100, 5, 6, 7), fore.filePath("one.png").toStdString(),
                PictureFormat::Png);
    f.record->folderReplies << fore.path();
    f.menuAction(QStringLiteral("Import foreground"))->trigger();
    EXPECT_EQ(f.record->folderCaptions.last(),
              QStringLiteral("Open a directory to add pictures as foreground."));
    EXPECT_EQ(f.window->foregroundDock()->windowTitle(), QStringLiteral("Foreground"));
    BrowserStrip* foreStrip = f.collections().foregroundBrowser();
    foreStrip->waitForBuild();
    ASSERT_EQ(foreStrip->cellCount(), 1);
    EXPECT_EQ(foreStrip->cell(1)->caption()->text(), QStringLiteral("200x100"));
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
    EXPECT_EQ(strip->cell(1)->caption()->text(), QStringLiteral("100x100"));
    EXPECT_EQ(strip->gauge()->value(), 1);
}

TEST(CollectionsWindow, SizeDialogKeepsTheProportionAndResizesTheLayerOrTheBackgroundOnOk) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("fg.bmp"), solid(300, 200, 9, 9, 9)));
    QAction* size = f.menuAction(QStringLiteral("Foreground size"));
    ASSERT_NE(size, nullptr);
    ASSERT_TRUE(size->isEnabled());
    size->trigger();
    TImage_size* dialog = f.collections().sizeDialog();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Foreground_size"));
    EXPECT_EQ(dialog->edit1()->text(), QStringLiteral("300"));
    EXPECT_EQ(dialog->edit2()->text(), QStringLiteral("200"));
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
    // Enter in an edit acts as OK.
    QTest::keyClick(dialog->edit1(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->width(), 225);
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->height(), 150);
    EXPECT_EQ(f.scene().layer(1).ForeWork->width(), 225);

    // The background's: the steps, a conversion error that keeps the texts, OK.
    f.collections().backgroundSize();
    dialog = f.collections().sizeDialog();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Background_size"));
    ASSERT_EQ(dialog->edit1()->text(), QStringLiteral("600"));
    dialog->minusButton()->click();
    EXPECT_EQ(dialog->edit1()->text(), QStringLiteral("480"));
    EXPECT_EQ(dialog->edit2()->text(), QStringLiteral("360"));
    dialog->edit1()->setText(QStringLiteral("x"));
    const int messages = f.record->messages.size();
    dialog->plusButton()->click();
    EXPECT_EQ(dialog->edit1()->text(), QStringLiteral("x"));
    EXPECT_EQ(f.record->messages.size(), messages + 1);
    dialog->edit1()->setText(QStringLiteral("480"));
    dialog->okButton()->click();
    EXPECT_EQ(f.scene().BackWork->width(), 480);
    EXPECT_EQ(f.scene().BackWork->height(), 360);
    EXPECT_EQ(f.scene().scenePicture().width(), 480);
}

TEST(CollectionsWindow, AlbumSaveMeAsAndSaveAllWriteTheScenes) {
    WindowFixture f;
    f.collections().albumSaveAll();
    EXPECT_EQ(f.record->messages, QStringList{"There is no picture in the album-list!"});
    f.collections().addSceneToAlbum();
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(60, 50, 0, 0, 250)));
    f.collections().addSceneToAlbum();
    ASSERT_EQ(f.collections().albums().count(), 2);

    QTemporaryDir out;
    f.collections().albumStrip()->rightPressAt(2, QPoint());
    ASSERT_EQ(f.collections().albums().selected(), 2);
    EXPECT_EQ(f.collections().albumStrip()->thumbnail(2)->x(), 7);
    f.record->saveReplies << out.filePath(QStringLiteral("second.bmp"));
    f.record->saveFilterReplies << 2;
    f.collections().albumSaveMeAs();
    LoadResult read = LoadPictureFile(out.filePath(QStringLiteral("second.bmp")).toStdString());
    ASSERT_FALSE(read.picture.empty());
    EXPECT_EQ(pixelBlue(read.picture.pixel(0, 0)), 250); // the layer at the scene's corner

    f.record->folderReplies << out.path();
    f.collections().albumSaveAll();
    EXPECT_EQ(f.record->folderCaptions.last(),
              QStringLiteral("Select a directory to save all scenes as..."));
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Save all scenes successful!"));
    EXPECT_EQ(QDir(out.path()).entryList({"scene*.jpg"}, QDir::Files),
              (QStringList{"scene1.jpg", "scene2.jpg"}));
}
