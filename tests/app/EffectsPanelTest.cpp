// The photo effects panel and its dialogs, driven through the real window and the fake
// platform adapter: what the dialogs keep, show and hand back. That each effect gives the
// same bytes by every route is checked by the catalogue test.

#include "WindowTestSupport.h"
#include "app/SceneGeometry.h"
#include "app/collections/BrowserStrip.h"
#include "app/collections/CollectionsController.h"
#include "app/effects/PhotoEffectsController.h"
#include "decor/Frame.h"
#include "decor/Texture.h"
#include "effects/EdgeSketch.h"
#include "effects/Fringe.h"
#include "effects/Kryptol.h"
#include "effects/PenSketch.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <cstring>
#include <future>

using namespace quill;
using namespace quill::app;
using namespace quill::app::effects;

namespace {

// A picture with edges in every direction, a dark disc and a colour ramp.
TBitmap32 photo(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool disc =
                (x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < (h / 3) * (h / 3);
            const std::uint8_t r = disc ? 20 : std::uint8_t(x * 255 / std::max(1, w - 1));
            const std::uint8_t g = disc ? 30 : std::uint8_t(y * 255 / std::max(1, h - 1));
            const std::uint8_t b = std::uint8_t((x * 7 + y * 13) % 256);
            p.setPixel(x, y, makePixel(r, g, b, 255));
        }
    return p;
}

struct EffectsFixture : WindowFixture {
    PhotoEffectsController& fx() { return *window->photoEffects(); }
    const LayerSlot& current() { return scene().layer(scene().CurrentLayer); }
    const TBitmap32& work() { return *current().ForeWork; }
    QString status() { return window->statusLabel()->text(); }
    // A click on the effect's button, and what follows from it done.
    void choose(const char* effect) {
        fx().effectButton(effect)->click();
        idle();
    }
    void click(QAbstractButton* button) {
        button->click();
        idle();
    }

    void openPhoto(int w = 64, int h = 48) {
        openForeground(writePicture(QStringLiteral("photo.bmp"), photo(w, h)));
        ASSERT_EQ(scene().LayerCount(), 1);
    }
    void clickLabel(QWidget* label) {
        const QPoint at(label->width() / 2, label->height() / 2);
        sendMouse(label, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        sendMouse(label, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
};

TEST(EffectsPanel, PencilSketchOkHandsBackTheSliderMovedLast) {
    EffectsFixture f;
    f.openPhoto();
    TBitmap32 edge = *f.current().ForeOriginal;
    picsobel(edge);
    f.choose("pencil-sketch");
    auto* d = static_cast<TBack_and_White_Sketch*>(f.fx().previewDialog("pencil-sketch"));
    ASSERT_TRUE(d->isVisible());
    EXPECT_TRUE(d->holdsBases());
    EXPECT_FALSE(f.window->isEnabled());
    f.click(d->okButton()); // nothing moved: the grey base
    EXPECT_EQ(f.work(), pencilGreyBase(edge));
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->holdsBases());
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_EQ(f.status(), QStringLiteral("Pencil Sketch"));

    // Opened again (after another effect, as the selected button starts nothing).
    f.choose("brume");
    f.choose("pencil-sketch");
    d->TrackBar2->setValue(200);
    EXPECT_EQ(d->Label3->text(), QStringLiteral("78"));
    d->TrackBar2->setValue(30);
    EXPECT_EQ(d->Label3->text(), QStringLiteral("12"));
    f.click(d->okButton());
    EXPECT_EQ(f.work(), pencilLighting(edge, 30));

    // And again: lighting, then contrast, gives the contrast only.
    f.choose("brume");
    f.choose("pencil-sketch");
    ASSERT_TRUE(d->isVisible());
    EXPECT_EQ(d->TrackBar2->value(), 30); // the controls kept their values
    d->TrackBar2->setValue(250);
    d->TrackBar1->setValue(60);
    EXPECT_EQ(d->Label4->text(), QStringLiteral("67"));
    f.click(d->okButton());
    EXPECT_EQ(f.work(), pencilContrast(pencilGreyBase(edge), 60));
    ASSERT_TRUE(f.doc().layerEffect(1));
    EXPECT_EQ(f.doc().layerEffect(1)->settings.integers,
              (std::map<std::string, std::int64_t>{{"contrast", 60}}));
}

TEST(EffectsPanel, DraggedSliderSkipsOvertakenPositionsAndOkUsesTheLast) {
    EffectsFixture f;
    f.openPhoto(900, 700);
    const TBitmap32 original = *f.current().ForeOriginal;
    f.choose("pen-sketch");
    auto* d = static_cast<TPen_Sketch*>(f.fx().previewDialog("pen-sketch"));
    ASSERT_TRUE(d->isVisible());
    const int before = d->renderer().computations();
    for (int p = 0; p <= 255; ++p) // a drag across the whole range, faster than any pass
        d->TrackBar1->setValue(p);
    d->TrackBar1->setValue(77);
    d->CheckBox1->setChecked(true);
    f.click(d->okButton());
    EXPECT_LT(d->renderer().computations() - before, 256);
    EXPECT_EQ(f.work(), penSketch(original, PenSketchParams{77, true}));
    EXPECT_EQ(d->Label9->text(), QStringLiteral("77"));
    EXPECT_EQ(f.status(), QStringLiteral("Pen Sketch"));
}

TEST(EffectsPanel, CloseBoxLeavesTheLayerButWritesTheNameAndDialogsKeepTheirOwnControls) {
    EffectsFixture f;
    f.openPhoto();
    const TBitmap32 before = f.work();
    const int steps = f.doc().history().undoCount();
    f.choose("pen-sketch");
    auto* pen = static_cast<TPen_Sketch*>(f.fx().previewDialog("pen-sketch"));
    auto* ink = static_cast<TPen_and_Ink*>(f.fx().previewDialog("pen-and-ink"));
    ASSERT_TRUE(pen->isVisible());
    pen->TrackBar1->setValue(250);
    EXPECT_EQ(pen->Label9->text(), QStringLiteral("250"));
    EXPECT_EQ(ink->TrackBar1->value(), 128) << "each dialog has its own slider";
    pen->close();
    EXPECT_FALSE(pen->isVisible());
    EXPECT_FALSE(pen->holdsBases());
    EXPECT_EQ(f.work(), before);
    EXPECT_EQ(f.status(), QStringLiteral("Pen Sketch"));
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_EQ(f.doc().history().undoCount(), steps) << "a dialog closed without OK is no step";
}

TEST(EffectsPanel, KryptolStrokesDirectionResetAndHollowOut) {
    EffectsFixture f;
    f.openPhoto();
    const TBitmap32 original = *f.current().ForeOriginal;
    f.choose("kryptol");
    auto* d = static_cast<TKryptol*>(f.fx().previewDialog("kryptol"));
    ASSERT_TRUE(d->isVisible());
    d->Direction[2]->setChecked(true);
    EXPECT_EQ(d->KryptolDirection, 3);
    d->SpeedButton1->click();
    d->SpeedButton1->click();
    // Clicking the selected direction again keeps the strokes.
    f.click(d->Direction[2]);
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{3, 2, false}));
    f.click(d->okButton());
    EXPECT_EQ(f.work(), kryptol(original, KryptolParams{3, 2, false}));
    EXPECT_EQ(f.status(), QStringLiteral("Kryptol"));

    f.choose("brume");
    f.choose("kryptol");
    EXPECT_TRUE(d->Direction[0]->isChecked());
    EXPECT_EQ(d->KryptolDirection, 1);
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{1, 0, false}));

    // Hollow out discards the strokes and keeps the direction.
    d->Direction[3]->setChecked(true);
    f.click(d->SpeedButton1);
    ASSERT_EQ(d->previewPicture(), kryptol(original, KryptolParams{4, 1, false}));
    d->CheckBox1->setChecked(true);
    f.idle();
    EXPECT_EQ(d->KryptolDirection, 4);
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{4, 0, true}));
    d->SpeedButton1->click();
    f.click(d->okButton());
    // The settings handed back describe the picture: direction 4, one stroke, hollow.
    const EffectSettings& s = f.doc().layerEffect(1)->settings;
    EXPECT_EQ(s.integers, (std::map<std::string, std::int64_t>{{"direction", 4}, {"strokes", 1}}));
    EXPECT_EQ(s.flags, std::set<std::string>{"hollow"});
    // The tick stays for the next opening; the close box hands back nothing.
    f.choose("brume");
    const TBitmap32 brumed = f.work();
    f.choose("kryptol");
    EXPECT_TRUE(d->CheckBox1->isChecked());
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{1, 0, true}));
    d->SpeedButton1->click();
    d->close(); // before the stroke is done: nothing of it stays
    f.idle();
    EXPECT_EQ(f.work(), brumed);
    EXPECT_EQ(f.status(), QStringLiteral("Kryptol"));
}

TEST(EffectsPanel, KernelDialogRefusesABadFieldAndConvertsAtOnce) {
    EffectsFixture f;
    f.openPhoto();
    const TBitmap32 original = *f.current().ForeOriginal;
    const TBitmap32 before = f.work();
    f.choose("realism");
    TFormOfFringe* realism = f.fx().kernelDialog("realism");
    ASSERT_TRUE(realism->isVisible());
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_EQ(realism->windowTitle(), QStringLiteral("Setup for Realism"));
    EXPECT_FALSE(realism->Button2->isEnabled());

    realism->Edit[4]->setText(QStringLiteral("x1"));
    realism->Button1->click();
    ASSERT_EQ(f.record->messages.size(), 1);
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("'x1' is not a valid integer value"));
    EXPECT_EQ(f.work(), before);
    EXPECT_FALSE(realism->Button2->isEnabled());

    realism->Edit[4]->setText(QStringLiteral("2"));
    f.click(realism->Button1);
    EXPECT_EQ(f.work(), realismArt(original, Kernel3x3{1, 2, 1, 0, 2, 0, -1, -1, -1}));
    EXPECT_TRUE(realism->Button2->isEnabled());

    // Pop art hides Realism; the converted picture stays; OK is disabled on hiding.
    f.choose("pop-art");
    TFormOfFringe* pop = f.fx().kernelDialog("pop-art");
    EXPECT_FALSE(realism->isVisible());
    EXPECT_FALSE(realism->Button2->isEnabled());
    EXPECT_TRUE(pop->isVisible());
    pop->Edit[0]->setText(QStringLiteral("7"));
    f.click(pop->Button3); // Default: start texts back, then convert
    EXPECT_EQ(pop->Edit[0]->text(), QStringLiteral("-1"));
    EXPECT_EQ(f.work(), popArt(original, kPopArtDefault));
    pop->Button2->click();
    EXPECT_FALSE(pop->isVisible());
    EXPECT_EQ(f.status(), QStringLiteral("Pop art"));
}

TEST(EffectsPanel, AnEffectButtonNamesItsEffectAndRemoveRestores) {
    EffectsFixture f;
    f.openPhoto();
    QRadioButton* blocks = f.fx().effectButton("color-blocks-vh");
    EXPECT_EQ(blocks->text(), QStringLiteral("Color Blocks (V && H)")) << "a plain &, no mnemonic";
    f.click(blocks);
    EXPECT_NE(f.work(), *f.current().ForeOriginal);
    EXPECT_EQ(f.status(), QStringLiteral("Color Blocks (V & H)"));
    f.click(blocks); // the selected button starts nothing
    EXPECT_TRUE(blocks->isChecked());
    f.fx().removeEffectButton()->click();
    EXPECT_EQ(f.work(), *f.current().ForeOriginal);
    EXPECT_EQ(f.status(), QStringLiteral("Foreground effect removed."));
}

TEST(EffectsPanel, WithoutALayerEveryButtonOnlySaysSoThenTheToolBarRotates) {
    EffectsFixture f;
    int buttons = 0;
    for (const EffectDescription& e : effectCatalogue()) {
        if (e.target != EffectTarget::Foreground || !e.hasButton())
            continue;
        f.fx().effectButton(e.name)->click();
        EXPECT_EQ(f.record->messages.size(), ++buttons) << e.name;
        EXPECT_EQ(f.record->messages.last(), QStringLiteral("Have no foreground!"));
    }
    EXPECT_EQ(buttons, 12);
    f.fx().removeEffectButton()->click();
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Have no foreground!"));
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_FALSE(f.fx().previewDialog("pencil-sketch")->isVisible());
    EXPECT_FALSE(f.fx().kernelDialog("abstract")->isVisible());
    EXPECT_EQ(f.status(), QStringLiteral("New picture"));

    // Rotating from the tool bar waits for a selected layer.
    EXPECT_FALSE(f.window->rotateAction()->isEnabled());
    EXPECT_EQ(f.window->angleEdit()->text(), QStringLiteral("30"));
    f.openForeground(f.writePicture(QStringLiteral("wide.bmp"), photo(100, 50)));
    f.doc().layerPanelPress(1, false); // the layer selected in the layer panel
    f.window->syncAll();
    ASSERT_TRUE(f.window->rotateAction()->isEnabled());
    ASSERT_TRUE(f.window->angleEdit()->isEnabled());

    const struct {
        const char* text;
        const char* message;
    } refused[] = {{"3.5", "Please input a valid integer value."},
                   {"1-", "'1-' is not a valid integer value"}};
    for (const auto& r : refused) {
        f.window->angleEdit()->setText(QString::fromLatin1(r.text));
        f.window->rotateAction()->trigger();
        EXPECT_EQ(f.record->messages.last(), QString::fromLatin1(r.message)) << r.text;
        EXPECT_EQ(f.work().width(), 100);
    }
    f.window->angleEdit()->setText(QStringLiteral("90"));
    QTest::keyClick(f.window->angleEdit(), Qt::Key_Return);
    EXPECT_EQ(f.work().width(), 48);
    EXPECT_EQ(f.work().height(), 100);
}

TEST(EffectsPanel, EachPageSetsItsHint) {
    EffectsFixture f;
    QTabWidget* notebook = f.window->photoEffectsNotebook();
    EXPECT_EQ(notebook->toolTip(), QStringLiteral("Make effect for the last open foreground"));
    const struct {
        int page;
        const char* caption;
        const char* hint;
    } pages[] = {
        {1, "Foreground mask", "Add a mask on the selected foreground"},
        {2, "Background effect", "Make effect for the background"},
        {3, "Frames", "Add frame on the scene"},
        {0, "Foreground effect", "Make effect for the selected foreground"},
    };
    for (const auto& p : pages) {
        notebook->setCurrentIndex(p.page);
        EXPECT_EQ(notebook->tabText(p.page), QString::fromLatin1(p.caption));
        EXPECT_EQ(notebook->toolTip(), QString::fromLatin1(p.hint));
    }
}

TEST(EffectsPanel, LibrariesCountOnTheGaugeAndMaskTwelveAndFrameOneComposeAsTheCore) {
    EffectsFixture f;
    // Libraries beside the program: mask 12 and two frames (a jpg listed before a gif).
    QDir(f.folder.path()).mkdir(QStringLiteral("mask"));
    QDir(f.folder.path()).mkdir(QStringLiteral("frame"));
    TBitmap32 mask(20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            mask.setPixel(x, y, makePixel(std::uint8_t(x * 12), 0, 0, 255));
    f.writePicture(QStringLiteral("mask/m12.jpg"), mask, PictureFormat::Jpeg);
    TBitmap32 frame(60, 45, makePixel(255, 255, 255, 255));
    for (int x = 0; x < 60; ++x)
        for (int y : {0, 1, 43, 44})
            frame.setPixel(x, y, makePixel(40, 20, 200, 255));
    f.writePicture(QStringLiteral("frame/b.jpg"), frame, PictureFormat::Jpeg);
    f.writePicture(QStringLiteral("frame/a.gif"), TBitmap32(10, 10), PictureFormat::Bmp24);
    // Building the frame strip counts on the foreground panel's gauge.
    QProgressBar* gauge = f.window->collections()->foregroundBrowser()->gauge();
    ASSERT_NE(gauge, nullptr);
    gauge->setRange(0, 10);
    gauge->setValue(7);
    std::vector<int> positions;
    QObject::connect(gauge, &QProgressBar::valueChanged, [&](int v) { positions.push_back(v); });
    f.fx().loadLibraries(QFile::encodeName(f.folder.path()).toStdString());
    ASSERT_EQ(f.fx().frameThumbs().size(), 2u);
    EXPECT_EQ(gauge->maximum(), 2);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2})) << "one step per thumbnail";
    EXPECT_EQ(f.fx().frameNames()[0], "b.jpg");
    EXPECT_EQ(f.window->photoEffectsNotebook()->currentIndex(), 0);

    f.openPhoto();
    EXPECT_FALSE(f.fx().removeMaskButton()->isEnabled());
    f.clickLabel(f.fx().maskSlot(12));
    EXPECT_TRUE(f.fx().removeMaskButton()->isEnabled());
    EXPECT_EQ(f.current().LayerMask, 12);
    f.clickLabel(f.fx().frameThumbs()[0]);
    EXPECT_EQ(f.fx().pointedFrame(), 1);

    // The same scene built by hand from the same files.
    Scene expected;
    const TBitmap32 maskRead =
        LoadPictureFile(f.folder.filePath(QStringLiteral("mask/m12.jpg")).toStdString()).picture;
    expected.setMaskSource([&](int k) { return k == 12 ? &maskRead : nullptr; });
    expected.SetBackgroundPicture(*f.scene().BackOriginal);
    expected.AddForegroundLayer(*f.scene().layer(1).ForeOriginal);
    expected.layer(1).LayerMask = 12;
    const TBitmap32 frameRead =
        LoadPictureFile(f.folder.filePath(QStringLiteral("frame/b.jpg")).toStdString()).picture;
    expected.FramePicture = SharedPicture(makeFrameOverlay(
        frameRead, expected.BackOriginal->width(), expected.BackOriginal->height()));
    expected.RefreshLayer();
    EXPECT_EQ(f.scene().scenePicture(), expected.scenePicture());

    // Removing both gives background plus layer again.
    f.fx().removeFrameButton()->click();
    f.fx().removeMaskButton()->click();
    expected.FramePicture.reset();
    expected.layer(1).LayerMask = 0;
    expected.RefreshLayer();
    EXPECT_EQ(f.scene().scenePicture(), expected.scenePicture());
}

TEST(EffectsPanel, TextureTilesApplyAndRestore) {
    EffectsFixture f;
    TTexture* t = f.fx().textureWindow();
    f.fx().effectButton("texture")->click();
    ASSERT_TRUE(t->isVisible());
    f.clickLabel(t->tile(3));
    f.clickLabel(t->tile(7));
    TBitmap32 expected;
    ApplyTexture(textureTile(7), *f.scene().BackOriginal, expected);
    EXPECT_EQ(*f.scene().BackWork, expected);
    f.fx().restoreBackgroundButton()->click();
    EXPECT_EQ(*f.scene().BackWork, *f.scene().BackOriginal);
}

TEST(EffectsPanel, ClosingTheWindowClosesItsEffectWindows) {
    EffectsFixture f;
    f.openPhoto();
    f.choose("abstract");
    f.window->setFocus();
    ASSERT_TRUE(f.fx().kernelDialog("abstract")->isVisible());
    f.record->saveAnswers << SaveAnswer::Discard;
    f.window->close();
    // Left open, they would keep the program running with no main window.
    EXPECT_FALSE(f.fx().kernelDialog("abstract")->isVisible());
    EXPECT_FALSE(f.fx().textureWindow()->isVisible());
    f.window.reset();
}

// An effect computed on the worker and handed back gives what the document's own command
// gives: the same bytes, the same steps of the history (undone the same way), the same
// choice of button and the same draws from the generator.
TEST(EffectsPanel, AnEffectComputedAwayEqualsTheDirectCommand) {
    EffectsFixture f;
    f.openPhoto(61, 47);
    Workspace direct;
    direct.windowShown();
    Document& d = direct.document();
    const QString path = f.folder.filePath(QStringLiteral("photo.bmp"));
    const TBitmap32 read = LoadPictureFile(path.toStdString()).picture;
    d.openForeground(&read, path.toStdString(), Document::ShapeOfPicture::Kept);
    const auto same = [&](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(f.work(), *d.scene().layer(1).ForeWork);
        EXPECT_EQ(f.doc().history().undoCount(), d.history().undoCount());
        EXPECT_EQ(f.doc().history().undoName(), d.history().undoName());
        EXPECT_EQ(f.doc().choices().foregroundChoice, d.choices().foregroundChoice);
        EXPECT_EQ(f.doc().layerEffect(1), d.layerEffect(1));
        EXPECT_EQ(f.doc().statusLabel(), d.statusLabel());
    };
    const EffectDescription& realism = *findEffect("realism");
    const char* const steps[] = {"brume", "water-color", "brume", "brume", "realism"};
    for (const char* name : steps) {
        const std::uint32_t seed = 12345u + std::uint32_t(std::strlen(name));
        programRandom().setSeed(seed);
        f.choose(name);
        if (name == std::string("realism"))
            f.click(f.fx().kernelDialog("realism")->Button1);
        const std::uint32_t drawn = programRandom().seed();
        programRandom().setSeed(seed);
        d.chooseEffect(*findEffect(name));
        if (name == std::string("realism"))
            d.applyEffect(realism, f.doc().layerEffect(1)->settings);
        EXPECT_EQ(programRandom().seed(), drawn) << name;
        same(name);
    }
    EXPECT_NE(programRandom().seed(), 12345u + 5) << "brume drew";
    while (d.history().undoCount() > 1) { // back to the opened photograph
        f.window->undo();
        d.undo();
        same("undone");
    }
}

// Work asked for by a dialog that closed before it was done is dropped: a preview opened
// and closed at once leaves nothing behind, and one opened again shows its own layer.
TEST(EffectsPanel, APreviewOfAnEarlierOpeningIsDropped) {
    EffectsFixture f;
    f.openPhoto(300, 200);
    f.openForeground(f.writePicture(QStringLiteral("other.bmp"), photo(120, 90)));
    auto* d = static_cast<TBack_and_White_Sketch*>(f.fx().previewDialog("pencil-sketch"));
    f.fx().effectButton("pencil-sketch")->click(); // its bases are made on the worker
    ASSERT_TRUE(d->isVisible());
    EXPECT_TRUE(d->computingLabel()->isVisible());
    EXPECT_TRUE(d->previewLabel()->pixmap().isNull()) << "the untouched picture is no preview";
    d->close();
    f.idle();
    EXPECT_FALSE(d->holdsBases());
    EXPECT_TRUE(d->previewLabel()->pixmap().isNull());
    EXPECT_TRUE(f.window->isEnabled());

    // Opened and closed again, then asked for on the first layer while that is not done.
    const auto chooseAnother = [&] { // so that the pencil button acts again
        f.doc().chooseEffect(*findEffect("pen-sketch"));
        f.window->syncAll();
    };
    chooseAnother();
    f.fx().effectButton("pencil-sketch")->click();
    d->close();
    f.doc().layerPanelPress(1, false);
    chooseAnother();
    d->TrackBar1->setValue(70); // before the opening: does not act
    f.fx().effectButton("pencil-sketch")->click();
    f.idle();
    QTRY_VERIFY_WITH_TIMEOUT(!d->computingLabel()->isVisible(), 30000);
    EXPECT_EQ(d->previewLabel()->size(), toQRect(fitPreview(300, 200)).size());
    EXPECT_FALSE(d->previewLabel()->pixmap().isNull());
    f.click(d->okButton());
    TBitmap32 edge = *f.scene().layer(1).ForeOriginal;
    picsobel(edge);
    EXPECT_EQ(*f.scene().layer(1).ForeWork, pencilGreyBase(edge)) << "no slider moved since";
    EXPECT_EQ(*f.scene().layer(2).ForeWork, *f.scene().layer(2).ForeOriginal);
}

TEST(PreviewImage, CutOutPixelsShowTheirOwnColour) {
    // The preview shows a hollowed-out sketch's paper in the cut-out colour, not black.
    const struct {
        std::uint32_t pixel;
        QRgb shown;
    } cases[] = {{CutoutColor, qRgb(236, 233, 216)},
                 {makePixel(0, 0, 0, 255), qRgb(0, 0, 0)},
                 {makePixel(10, 200, 30, 7), qRgb(10, 200, 30)}};
    for (const auto& c : cases) {
        for (int side : {1, 600}) { // as it is, and shrunk from a large picture
            const QImage shown = previewImage(TBitmap32(side, side, c.pixel), QSize(5, 5));
            ASSERT_EQ(shown.size(), QSize(5, 5));
            EXPECT_EQ(shown.pixel(2, 2), c.shown) << std::hex << c.pixel << std::dec << " " << side;
        }
    }
}

TEST(LiveRenderer, DropsRequestsOvertakenWhileOneRuns) {
    LiveRenderer renderer;
    std::promise<void> started, release;
    std::shared_future<void> go = release.get_future().share();
    std::vector<int> shown;
    renderer.onReady = [&](const LiveRenderer::Result& r) { shown.push_back(r.picture.width()); };
    renderer.request([&started, go] {
        started.set_value();
        go.wait();
        return TBitmap32(1, 1);
    });
    started.get_future().wait();
    for (int w = 2; w <= 6; ++w)
        renderer.request([w] { return TBitmap32(w, 1); });
    release.set_value();
    const TBitmap32 last = renderer.finalResult([] { return TBitmap32(99, 1); });
    EXPECT_EQ(last.width(), 6); // the newest, computed by the worker, not again here
    EXPECT_EQ(renderer.computations(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, std::vector<int>{6}); // the overtaken first result is never shown
}

} // namespace
