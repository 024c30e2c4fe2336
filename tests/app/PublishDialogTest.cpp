#include "WindowTestSupport.h"

#include "app/collections/PictureListStrip.h"
#include "app/collections/PublishDialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPrinter>
#include <QScrollArea>
#include <QTabBar>
#include <QToolButton>

#include <algorithm>
#include <functional>

using namespace quill;
using namespace quill::app;

namespace {

QByteArray fileHead(const QString& path, int n) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(n);
}

} // namespace

TEST(PublishDialog, PublishShowsTheSceneFittedAndSavesItAsChosen) {
    WindowFixture f;
    f.menuAction(QStringLiteral("Publish"))->trigger();
    TSave_As* dialog = f.collections().publishDialog();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Publish your work..."));
    EXPECT_EQ(dialog->workingCopy(), f.scene().scenePicture());
    const char* hints[5] = {"Save as", "Print", "Set as wallpaper", "Mail to friend", "Close"};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(dialog->button(k)->toolTip(), QString::fromLatin1(hints[k])) << k;

    // Every "Save as" writes the form of the chosen filter entry, under the chosen name
    // with that form's extension: the dialog's button and "Save me as" of both lists.
    f.openForeground(f.writePicture(QStringLiteral("fore.bmp"), solid(30, 20, 0, 0, 250)));
    f.collections().addSketchOfPanelLayer();
    f.collections().sketchStrip()->clickAt(1);
    f.collections().addSceneToAlbum();
    f.collections().albumStrip()->clickAt(1);
    const std::function<void()> ways[3] = {[&] { dialog->button(0)->click(); },
                                           [&] { f.collections().sketchSaveMeAs(); },
                                           [&] { f.collections().albumSaveMeAs(); }};
    struct Case {
        const char* chosen;
        int filter;
        const char* written;
        QByteArray head;
    };
    const Case cases[] = {
        {"b.jpg", 2, "b.bmp", QByteArray("BM")},
        {"c.bmp", 4, "c.png", QByteArray("\x89PNG", 4)},
        {"d", 1, "d.jpg", QByteArray("\xFF\xD8", 2)},
        {"e.png", 3, "e.wmf", QByteArray("\x01\0\0\0", 4)}, // the metafile header record
    };
    for (const auto& way : ways) {
        QTemporaryDir out;
        for (const Case& c : cases) {
            f.record->saveReplies << out.filePath(QString::fromLatin1(c.chosen));
            f.record->saveFilterReplies << c.filter;
            way();
            const QString written = out.filePath(QString::fromLatin1(c.written));
            EXPECT_EQ(fileHead(written, c.head.size()), c.head) << c.chosen;
        }
        // Only the files named above: a chosen name of another form is not written.
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files),
                  (QStringList{"b.bmp", "c.png", "d.jpg", "e.wmf"}));
        way(); // cancelled: nothing written
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 4);
    }
    EXPECT_TRUE(f.record->saveFilters[0].join(' ').contains(QStringLiteral("*.wmf")));
    EXPECT_TRUE(f.record->messages.isEmpty());

    EXPECT_EQ(dialog->button(4)->text(), QStringLiteral("X"));
    dialog->button(4)->click();
    EXPECT_FALSE(dialog->isVisible());
}

TEST(PublishDialog, PrintingWritesThePdfAndRefusesASceneless) {
    WindowFixture f;
    TSave_As* dialog = f.collections().publishDialog();
    QTemporaryDir out;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out.filePath("none.pdf"));
    dialog->showWith(TBitmap32());
    dialog->button(1)->click(); // refused before any print dialog opens
    EXPECT_EQ(f.record->messages, QStringList{QString::fromLatin1(kNothingToPrint)});
    EXPECT_EQ(dialog->printOn(printer), QString::fromLatin1(kNothingToPrint));
    EXPECT_FALSE(QFileInfo::exists(out.filePath("none.pdf")));

    dialog->showWith(solid(60, 45, 0, 0, 255));
    printer.setOutputFileName(out.filePath("scene.pdf"));
    EXPECT_EQ(dialog->printOn(printer), QString());
    EXPECT_EQ(fileHead(out.filePath("scene.pdf"), 5), QByteArray("%PDF-"));
    EXPECT_GT(QFileInfo(out.filePath("scene.pdf")).size(), 500);
}

TEST(PublishDialog, WallpaperSaysSuccessOnlyWhenAWayWorked) {
    struct Case {
        bool portal;
        bool programs;
        const char* desktop;
        bool success;
    };
    // Programs that end with 0 without a desktop to set, or whose setting reads back
    // empty, set nothing.
    const Case cases[] = {{true, false, "", true},
                          {false, true, "", false},
                          {false, true, "GNOME", false},
                          {false, false, "", false}};
    for (const Case& c : cases) {
        WindowFixture f;
        f.desktop->portalWorks = c.portal;
        f.desktop->programsStart = c.programs;
        f.desktop->session.currentDesktop = c.desktop;
        TSave_As* dialog = f.collections().publishDialog();
        dialog->showWith(solid(40, 30, 18, 52, 86));
        dialog->button(2)->click();
        ASSERT_EQ(f.record->messages.size(), 1);
        EXPECT_EQ(f.record->messages[0] == QStringLiteral("Set as wallpaper successful!"),
                  c.success)
            << f.record->messages[0].toStdString();
        EXPECT_EQ(f.record->titles[0] == QStringLiteral("ok!"), c.success);
        // The BMP written into the program folder is what the desktop is handed.
        const QString wallpaper = f.folder.filePath("wallpaper.bmp");
        EXPECT_EQ(fileHead(wallpaper, 2), QByteArray("BM"));
        ASSERT_FALSE(f.desktop->wallpaperFiles.empty());
        EXPECT_EQ(QString::fromStdString(f.desktop->wallpaperFiles[0]), wallpaper);
    }
}

TEST(PublishDialog, MailAttachesMyworkAndSaysWhenNoMailProgramStarts) {
    struct Case {
        bool portal;
        bool programs;
        bool message;
    };
    const Case cases[] = {{true, false, false}, {false, true, false}, {false, false, true}};
    for (const Case& c : cases) {
        WindowFixture f;
        f.desktop->portalWorks = c.portal;
        f.desktop->programsStart = c.programs;
        TSave_As* dialog = f.collections().publishDialog();
        dialog->showWith(solid(40, 30, 101, 67, 33));
        dialog->button(3)->click();
        EXPECT_EQ(!f.record->messages.isEmpty(), c.message)
            << f.record->messages.join('|').toStdString();
        const QString attachment = f.folder.filePath("mywork.jpg");
        EXPECT_EQ(fileHead(attachment, 2), QByteArray("\xFF\xD8", 2));
        ASSERT_EQ(f.desktop->mails.size(), 1u);
        EXPECT_TRUE(f.desktop->mails[0].to.empty());
        EXPECT_EQ(f.desktop->mails[0].subject,
                  std::string("Tell you a great software--Quillmark."));
        ASSERT_EQ(f.desktop->mails[0].attachments.size(), 1u);
        EXPECT_EQ(QString::fromStdString(f.desktop->mails[0].attachments[0]), attachment);
    }
}

// A symbol character shows as an empty box where the font lacks it: buttons show words
// in plain letters and pictures as drawn icons.
TEST(PublishDialog, EveryButtonShowsADrawnIconOrPlainWords) {
    WindowFixture f;
    TSave_As* dialog = f.collections().publishDialog();
    dialog->showWith(solid(40, 30, 1, 2, 3));
    auto drawn = [](const QIcon& icon) { // a pixel that is not see-through
        const QImage a = icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_Alpha8);
        return std::any_of(a.constBits(), a.constBits() + a.sizeInBytes(),
                           [](uchar v) { return v != 0; });
    };
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(drawn(dialog->button(k)->icon())) << k;
    int buttons = 0;
    for (QWidget* widget : QApplication::allWidgets()) {
        // The tab bars' scroll arrows are Qt's own, drawn by the style.
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (!button || qobject_cast<QTabBar*>(button->parentWidget()))
            continue;
        ++buttons;
        const std::string name =
            button->objectName().toStdString() + " '" + button->text().toStdString() + "'";
        for (QChar c : button->text())
            EXPECT_LT(c.unicode(), 0x2000) << name;
        if (button->text().isEmpty()) {
            EXPECT_TRUE(drawn(button->icon())) << name;
        }
    }
    EXPECT_GT(buttons, 30);
}
