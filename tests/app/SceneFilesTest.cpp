// Work that lasts, in the window: scene files saved and opened, the title that names them,
// the question before unsaved changes are lost, and undo and redo from the Edit menu.

#include "WindowTestSupport.h"
#include "workspace/SceneFile.h"

#include <QFileInfo>
#include <QTest>
#include <QUrl>

using namespace quill;
using namespace quill::app;

namespace {

TEST(SceneFiles, SaveOpenAndTheTitleThatNamesTheFile) {
    WindowFixture f;
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(30, 20, 200, 10, 10)));
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("Quillmark v4.65")) << "no file yet";

    // Ctrl+S without a file asks for one; a name without ".ora" gets it.
    f.record->saveReplies << f.folder.filePath(QStringLiteral("picnic"));
    QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier);
    f.idle();
    const QString saved = f.folder.filePath(QStringLiteral("picnic.ora"));
    ASSERT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(f.record->saveCaptions.last(), QStringLiteral("Save scene as"));
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("picnic.ora[*] - Quillmark v4.65"));
    EXPECT_FALSE(f.window->isWindowModified());
    f.doc().chooseEffect(*findEffect("brume"));
    f.window->syncAll();
    EXPECT_TRUE(f.window->isWindowModified()) << "a change shows in the title";
    QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier); // to the same file
    EXPECT_TRUE(f.window->isWindowModified()) << "saved only once the file is written";
    f.idle();
    EXPECT_FALSE(f.window->isWindowModified());
    const TBitmap32 scene = f.scene().scenePicture();

    // Another window opens it as it was, from the command line (a damaged scene file named
    // first is passed over) or dropped on it.
    const QString bad = f.folder.filePath(QStringLiteral("bad.ora"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("PK\x03\x04 not really");
    file.close();
    for (int way = 0; way < 2; ++way) {
        WindowFixture g;
        if (way == 0)
            g.window->openFiles({bad, saved});
        else
            EXPECT_EQ(g.window->openDroppedFiles({QUrl::fromLocalFile(saved)}, QPoint(5, 5), false),
                      1);
        g.idle();
        EXPECT_EQ(g.record->messages.size(), 1 - way) << g.record->messages.join('|').toStdString();
        if (way == 0) {
            EXPECT_TRUE(g.record->messages[0].startsWith(bad)) << "one line naming the file";
        }
        EXPECT_TRUE(g.scene().scenePicture() == scene) << way;
        EXPECT_EQ(g.window->sceneFile(), saved);
        EXPECT_FALSE(g.window->isWindowModified());
    }
    // A damaged file changes nothing where it is opened.
    EXPECT_TRUE(f.window->openSceneFile(bad));
    f.idle();
    EXPECT_TRUE(f.record->messages.last().startsWith(bad));
    EXPECT_TRUE(f.scene().scenePicture() == scene);
    EXPECT_EQ(f.window->sceneFile(), saved);
}

TEST(SceneFiles, UnsavedChangesAreAskedAboutBeforeTheyAreLost) {
    WindowFixture f;
    const QString other = f.folder.filePath(QStringLiteral("other.ora"));
    {
        WindowFixture g;
        g.openForeground(g.writePicture(QStringLiteral("b.bmp"), solid(10, 10, 1, 2, 3)));
        g.window->saveSceneFile(other);
        g.idle();
    }
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(30, 20, 200, 10, 10)));
    const int layers = f.scene().LayerCount();
    // Cancel: nothing happens; Discard: the other scene replaces this one.
    f.record->saveAnswers << SaveAnswer::Cancel;
    EXPECT_FALSE(f.window->openSceneFile(other));
    f.idle();
    EXPECT_EQ(f.scene().LayerCount(), layers);
    EXPECT_EQ(f.record->saveQuestions, QStringList{"Save changes to the scene before closing?"});
    f.record->saveAnswers << SaveAnswer::Discard;
    EXPECT_TRUE(f.window->openSceneFile(other));
    f.idle();
    EXPECT_EQ(f.scene().layer(1).ForeOriginal->width(), 10);

    // Save: the changes are written to the file first, then they may go.
    f.doc().chooseEffect(*findEffect("water-color"));
    f.record->saveAnswers << SaveAnswer::Save;
    bool proceeded = false;
    EXPECT_EQ(f.window->mayDiscardChanges([&] { proceeded = true; }), ChangesMayGo::AfterSaving);
    f.idle();
    EXPECT_TRUE(proceeded);
    EXPECT_FALSE(f.doc().modified());
    Workspace reread;
    reread.windowShown();
    ASSERT_EQ(openSceneFile(other.toStdString(), reread.document()), "");
    EXPECT_TRUE(reread.document().layerEffect(1)) << "the effect was saved";
    EXPECT_EQ(f.record->saveQuestions.size(), 3);

    // Closing with changes while a save runs waits for it, then asks; Save closes once saved.
    f.doc().chooseEffect(*findEffect("brume"));
    f.window->saveSceneFile(other);
    f.window->close();
    EXPECT_TRUE(f.window->isVisible()) << "closed only once the work is done";
    f.idle();
    QTRY_VERIFY_WITH_TIMEOUT(!f.window->isVisible(), 30000);
    EXPECT_EQ(f.record->saveQuestions.size(), 3) << "saved, so nothing was asked";
}

TEST(SceneFiles, TheEditMenuUndoesAndRedoesByName) {
    WindowFixture f;
    QAction* undo = f.menuAction(QStringLiteral("Undo"));
    QAction* redo = f.menuAction(QStringLiteral("Redo"));
    ASSERT_NE(undo, nullptr);
    ASSERT_NE(redo, nullptr);
    f.openForeground(f.writePicture(QStringLiteral("a.bmp"), solid(30, 20, 200, 10, 10)));
    f.doc().chooseEffect(*findEffect("color-blocks-vh"));
    f.window->syncAll();
    EXPECT_EQ(undo->text(), QStringLiteral("Undo Color Blocks (V && H)")) << "a plain &";
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int layers;
        const char* undoText;
    } keys[] = {
        {Qt::Key_Z, Qt::ControlModifier, 1, "Undo Add Foreground"},
        {Qt::Key_Z, Qt::ControlModifier, 0, "Undo"},
        {Qt::Key_Y, Qt::ControlModifier, 1, "Undo Add Foreground"},
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 1, "Undo Color Blocks (V && H)"},
    };
    for (const auto& k : keys) {
        QTest::keyClick(f.window.get(), k.key, k.modifiers);
        EXPECT_EQ(f.scene().LayerCount(), k.layers) << k.undoText;
        EXPECT_EQ(undo->text(), QString::fromLatin1(k.undoText));
    }
    EXPECT_NE(*f.scene().layer(1).ForeWork, *f.scene().layer(1).ForeOriginal) << "redone";
}

} // namespace
