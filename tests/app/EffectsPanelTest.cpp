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
#include "tests/RandomPictures.h"

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

TBitmap32 photo(int w, int h) {
    return testpictures::photoLikePicture(w, h, 7, false);
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
    auto* d = static_cast<TBack_and_White_Sketch*>(f.fx().previewDialog("pencil-sketch"));
    // Nothing moved: the grey base; lighting; lighting, then contrast: the contrast only.
    // Each opening follows another effect, as the selected button starts nothing.
    const struct {
        std::vector<std::pair<QSlider*, int>> moves;
        const char* label;
        TBitmap32 expected;
    } openings[] = {
        {{}, "", pencilGreyBase(edge)},
        {{{d->TrackBar2, 200}, {d->TrackBar2, 30}}, "12", pencilLighting(edge, 30)},
        {{{d->TrackBar2, 250}, {d->TrackBar1, 60}}, "67", pencilContrast(pencilGreyBase(edge), 60)},
    };
    for (const auto& o : openings) {
        f.choose("brume");
        f.choose("pencil-sketch");
        ASSERT_TRUE(d->isVisible() && d->holdsBases());
        EXPECT_FALSE(f.window->isEnabled());
        if (&o == &openings[2]) {
            EXPECT_EQ(d->TrackBar2->value(), 30) << "the controls keep their values";
        }
        for (const auto& [slider, value] : o.moves)
            slider->setValue(value);
        if (!o.moves.empty()) {
            EXPECT_EQ((o.moves.back().first == d->TrackBar1 ? d->Label4 : d->Label3)->text(),
                      QString::fromLatin1(o.label));
        }
        f.click(d->okButton());
        EXPECT_EQ(f.work(), o.expected);
        EXPECT_FALSE(d->isVisible() || d->holdsBases());
        EXPECT_TRUE(f.window->isEnabled());
        EXPECT_EQ(f.status(), QStringLiteral("Pencil Sketch"));
    }
    EXPECT_EQ(f.doc().layerEffect(1)->settings.integers,
              (std::map<std::string, std::int64_t>{{"contrast", 60}}));
}

// A drag across the slider computes fewer previews than positions, OK gives the last; the
// close box hands back nothing and is no step, but writes the name; each dialog has its
// own controls.
TEST(EffectsPanel, PenSketchSkipsOvertakenPositionsAndTheCloseBoxHandsBackNothing) {
    EffectsFixture f;
    f.openPhoto(900, 700);
    const TBitmap32 original = *f.current().ForeOriginal;
    const int steps = f.doc().history().undoCount();
    auto* d = static_cast<TPen_Sketch*>(f.fx().previewDialog("pen-sketch"));
    f.choose("pen-sketch");
    d->TrackBar1->setValue(250);
    d->close();
    EXPECT_FALSE(d->holdsBases());
    EXPECT_EQ(f.work(), original);
    EXPECT_EQ(f.status(), QStringLiteral("Pen Sketch"));
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_EQ(f.doc().history().undoCount(), steps);
    EXPECT_EQ(f.fx().previewDialog("pen-and-ink")->findChild<QSlider*>()->value(), 128);

    f.choose("brume");
    f.choose("pen-sketch");
    const int before = d->renderer().computations();
    for (int p = 0; p <= 255; ++p) // a drag across the whole range, faster than any pass
        d->TrackBar1->setValue(p);
    d->TrackBar1->setValue(77);
    d->CheckBox1->setChecked(true);
    f.click(d->okButton());
    EXPECT_LT(d->renderer().computations() - before, 256);
    EXPECT_EQ(f.work(), penSketch(original, PenSketchParams{77, true}));
    EXPECT_EQ(d->Label9->text(), QStringLiteral("77"));
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

    f.window->angleEdit()->setText(QStringLiteral("3.5"));
    f.window->rotateAction()->trigger();
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Please input a valid integer value."));
    EXPECT_EQ(f.work().width(), 100);
    f.window->angleEdit()->setText(QStringLiteral("90"));
    QTest::keyClick(f.window->angleEdit(), Qt::Key_Return);
    EXPECT_EQ(f.work().width(), 48);
    EXPECT_EQ(f.work().height(), 100);
}

TEST(EffectsPanel, EachPageSetsItsHint) {
    EffectsFixture f;
    QTabWidget* notebook = f.window->photoEffectsNotebook();
    EXPECT_EQ(notebook->toolTip(), QStringLiteral("Make effect for the last open foreground"));
    const char* const hints[] = {"Make effect for the selected foreground",
                                 "Add a mask on the selected foreground",
                                 "Make effect for the background", "Add frame on the scene"};
    for (int page : {1, 2, 3, 0}) {
        notebook->setCurrentIndex(page);
        EXPECT_EQ(notebook->toolTip(), QString::fromLatin1(hints[page]));
    }
}

TEST(EffectsPanel, LibrariesCountOnTheGaugeAndTheirMaskAndFrameReachTheDocument) {
    EffectsFixture f;
    // Libraries beside the program: mask 12 and two frames (a jpg listed before a gif).
    QDir(f.folder.path()).mkdir(QStringLiteral("mask"));
    QDir(f.folder.path()).mkdir(QStringLiteral("frame"));
    f.writePicture(QStringLiteral("mask/m12.jpg"), photo(20, 10), PictureFormat::Jpeg);
    f.writePicture(QStringLiteral("frame/b.jpg"), photo(60, 45), PictureFormat::Jpeg);
    f.writePicture(QStringLiteral("frame/a.gif"), TBitmap32(10, 10), PictureFormat::Bmp24);
    // Building the frame strip counts on the foreground panel's gauge.
    QProgressBar* gauge = f.window->collections()->foregroundBrowser()->gauge();
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

    // The document got the library's mask and the frame fitted to the background.
    const auto read = [&](const char* name) {
        return LoadPictureFile(f.folder.filePath(QString::fromLatin1(name)).toStdString()).picture;
    };
    EXPECT_EQ(*f.workspace().masks().mask(12), read("mask/m12.jpg"));
    ASSERT_TRUE(f.scene().FramePicture);
    EXPECT_EQ(**f.scene().FramePicture, makeFrameOverlay(read("frame/b.jpg"), 600, 450));
    f.fx().removeFrameButton()->click();
    f.fx().removeMaskButton()->click();
    EXPECT_FALSE(f.scene().FramePicture);
    EXPECT_EQ(f.current().LayerMask, 0);
}

TEST(EffectsPanel, TextureTilesApplyAndRestoreAndClosingTheWindowClosesTheEffectWindows) {
    EffectsFixture f;
    TTexture* t = f.fx().textureWindow();
    f.fx().effectButton("texture")->click();
    ASSERT_TRUE(t->isVisible());
    f.clickLabel(t->tile(3));
    f.idle(); // input is held back while a tile is computed
    f.clickLabel(t->tile(7));
    f.idle();
    TBitmap32 expected;
    ApplyTexture(textureTile(7), *f.scene().BackOriginal, expected);
    EXPECT_EQ(*f.scene().BackWork, expected);
    f.fx().restoreBackgroundButton()->click();
    EXPECT_EQ(*f.scene().BackWork, *f.scene().BackOriginal);

    f.openPhoto();
    f.choose("abstract");
    ASSERT_TRUE(f.fx().kernelDialog("abstract")->isVisible());
    f.record->saveAnswers << SaveAnswer::Discard;
    f.window->close();
    // Left open, they would keep the program running with no main window.
    EXPECT_FALSE(f.fx().kernelDialog("abstract")->isVisible() || t->isVisible());
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
    d.openForeground(read, path.toStdString(), Document::ShapeOfPicture::Kept);
    const auto same = [&](const char* when) {
        SCOPED_TRACE(when);
        EXPECT_EQ(f.work(), *d.scene().layer(1).ForeWork);
        EXPECT_EQ(f.doc().history().undoCount(), d.history().undoCount());
        EXPECT_EQ(f.doc().history().undoName(), d.history().undoName());
        EXPECT_EQ(f.doc().choices().foregroundChoice, d.choices().foregroundChoice);
        EXPECT_EQ(f.doc().choices().backgroundChoice, d.choices().backgroundChoice);
        EXPECT_EQ(*f.scene().BackWork, *d.scene().BackWork);
        EXPECT_EQ(f.scene().scenePicture(), d.scene().scenePicture());
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
    // The background's effects and the texture window's tiles are computed away too.
    for (const char* name : {"emboss", "gray", "gray", "texture"}) {
        f.choose(name);
        d.chooseEffect(*findEffect(name));
        same(name);
    }
    f.clickLabel(f.fx().textureWindow()->tile(5));
    f.idle();
    EffectSettings tile;
    tile.integers["tile-number"] = 5;
    d.applyEffect(*findEffect("texture"), tile);
    same("texture tile");
    EXPECT_NE(*f.scene().BackWork, *f.scene().BackOriginal);
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
