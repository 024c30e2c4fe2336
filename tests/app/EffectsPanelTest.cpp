// The photo effects panel and its dialogs, driven through the real window and the fake
// platform adapter: what reaches the scene must be exactly what the core computes.

#include "WindowTestSupport.h"
#include "app/collections/BrowserStrip.h"
#include "app/collections/CollectionsController.h"
#include "app/effects/PhotoEffectsController.h"
#include "decor/Frame.h"
#include "decor/Rotation.h"
#include "effects/Brume.h"
#include "effects/EdgeSketch.h"
#include "effects/Fringe.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

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
    QString status() { return window->statusLabel()->text(); }

    void openPhoto(int w = 64, int h = 48) {
        openForeground(writePicture(QStringLiteral("photo.bmp"), photo(w, h)));
        ASSERT_EQ(scene().LayerCount(), 1);
    }
    // A click as the button takes it from the user (a selected radio button stays selected).
    void click(QAbstractButton* button) { button->click(); }
    void clickLabel(QWidget* label) {
        const QPoint at(label->width() / 2, label->height() / 2);
        sendMouse(label, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        sendMouse(label, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
};

TEST(EffectsPanel, PencilSketchOkHandsBackTheSliderMovedLast) {
    EffectsFixture f;
    f.openPhoto();
    TBitmap32 edge = f.current().ForeOriginal;
    picsobel(edge);
    f.click(f.fx().effectButton(ForegroundEffect::PencilSketch));
    TBack_and_White_Sketch* d = f.fx().pencilDialog();
    ASSERT_TRUE(d->isVisible());
    EXPECT_TRUE(d->holdsBases());
    EXPECT_FALSE(f.window->isEnabled());
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Pencil_Sketch"));
    // 64 x 48 is landscape: width 537, height Round(48 * 537 / 64) = 403, centred.
    EXPECT_EQ(d->previewLabel()->geometry(), QRect(0, 43, 537, 403));
    f.click(d->okButton()); // nothing moved: the grey base
    EXPECT_EQ(f.current().ForeWork, pencilGreyBase(edge));
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->holdsBases());
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_EQ(f.status(), QStringLiteral("Pencil Sketch"));
    EXPECT_EQ(d->previewLabel()->geometry(), QRect(0, 0, 537, 489));

    // Opened again (after another effect, as the selected button starts nothing).
    f.click(f.fx().effectButton(ForegroundEffect::Brume));
    f.click(f.fx().effectButton(ForegroundEffect::PencilSketch));
    d->TrackBar2->setValue(200);
    EXPECT_EQ(d->Label3->text(), QStringLiteral("78"));
    d->TrackBar2->setValue(30);
    EXPECT_EQ(d->Label3->text(), QStringLiteral("12"));
    f.click(d->okButton());
    EXPECT_EQ(f.current().ForeWork, pencilLighting(edge, 30));

    // And again: lighting, then contrast, gives the contrast only.
    f.click(f.fx().effectButton(ForegroundEffect::Brume));
    f.click(f.fx().effectButton(ForegroundEffect::PencilSketch));
    ASSERT_TRUE(d->isVisible());
    EXPECT_EQ(d->TrackBar2->value(), 30); // the controls kept their values
    d->TrackBar2->setValue(250);
    d->TrackBar1->setValue(60);
    EXPECT_EQ(d->Label4->text(), QStringLiteral("67"));
    f.click(d->okButton());
    EXPECT_EQ(f.current().ForeWork, pencilContrast(pencilGreyBase(edge), 60));
}

TEST(EffectsPanel, DraggedSliderSkipsOvertakenPositionsAndOkUsesTheLast) {
    EffectsFixture f;
    f.openPhoto(900, 700);
    const TBitmap32 original = f.current().ForeOriginal;
    f.click(f.fx().effectButton(ForegroundEffect::PenSketch));
    TPen_Sketch* d = f.fx().penSketchDialog();
    ASSERT_TRUE(d->isVisible());
    const int before = d->renderer().computations();
    for (int p = 0; p <= 255; ++p) // a drag across the whole range, faster than any pass
        d->TrackBar1->setValue(p);
    d->TrackBar1->setValue(77);
    d->CheckBox1->setChecked(true);
    f.click(d->okButton());
    EXPECT_LT(d->renderer().computations() - before, 256);
    EXPECT_EQ(f.current().ForeWork, penSketch(original, PenSketchParams{77, true}));
    EXPECT_EQ(d->Label9->text(), QStringLiteral("77"));
    EXPECT_EQ(f.status(), QStringLiteral("Pen Sketch"));
}

TEST(EffectsPanel, CloseBoxLeavesTheLayerButWritesTheName) {
    EffectsFixture f;
    f.openPhoto();
    const TBitmap32 before = f.current().ForeWork;
    f.click(f.fx().effectButton(ForegroundEffect::PenSketch));
    TPen_Sketch* d = f.fx().penSketchDialog();
    ASSERT_TRUE(d->isVisible());
    d->TrackBar1->setValue(250);
    EXPECT_EQ(d->Label9->text(), QStringLiteral("250"));
    d->close();
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->holdsBases());
    EXPECT_EQ(f.current().ForeWork, before);
    EXPECT_EQ(f.status(), QStringLiteral("Pen Sketch"));
    EXPECT_TRUE(f.window->isEnabled());
}

TEST(EffectsPanel, PenSketchAndPenAndInkDialogsKeepTheirOwnTextsStartAndResult) {
    EffectsFixture f;
    struct Case {
        ForegroundEffect effect;
        ThresholdDialog* dialog;
        const char* caption;
        QSize size;
        const char* sliderCaption;
    };
    const Case cases[] = {
        {ForegroundEffect::PenSketch,
         f.fx().penSketchDialog(),
         "Pen_Sketch",
         {549, 602},
         "Pen Pressure:"},
        {ForegroundEffect::PenAndInk,
         f.fx().penAndInkDialog(),
         "Pen_and_Ink",
         {551, 604},
         "Adjust thread:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ThresholdDialog* d = c.dialog;
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(f.fx().previewDialog(c.effect), d);
        EXPECT_EQ(d->effect(), c.effect);
        EXPECT_EQ(d->windowTitle(), QString::fromLatin1(c.caption));
        EXPECT_EQ(d->objectName(), QString::fromLatin1(c.caption));
        EXPECT_EQ(d->size(), c.size);
        EXPECT_EQ(d->TrackBar1->minimum(), 0);
        EXPECT_EQ(d->TrackBar1->maximum(), 255);
        EXPECT_EQ(d->TrackBar1->value(), 128);
        EXPECT_EQ(d->Label9->text(), QStringLiteral("128"));
        EXPECT_EQ(d->CheckBox1->text(), QStringLiteral("Hollow out"));
        EXPECT_FALSE(d->CheckBox1->isChecked());
        QStringList captions;
        for (QLabel* label : d->findChildren<QLabel*>())
            captions << label->text();
        EXPECT_TRUE(captions.contains(QString::fromLatin1(c.sliderCaption)))
            << captions.join(',').toStdString();
        EXPECT_FALSE(d->holdsBases());
    }
    // Each keeps its own controls: moving one slider leaves the other dialog alone.
    cases[0].dialog->TrackBar1->setValue(40);
    EXPECT_EQ(cases[1].dialog->TrackBar1->value(), 128);
    EXPECT_EQ(cases[1].dialog->Label9->text(), QStringLiteral("128"));

    // Pen & Ink hands back the core's result (Pen Sketch's is checked with its dragged slider).
    f.openPhoto();
    const TBitmap32 original = f.current().ForeOriginal;
    f.click(f.fx().effectButton(ForegroundEffect::PenAndInk));
    TPen_and_Ink* ink = f.fx().penAndInkDialog();
    ASSERT_TRUE(ink->isVisible());
    ink->TrackBar1->setValue(90);
    ink->CheckBox1->setChecked(true);
    ink->settle();
    f.click(ink->okButton());
    EXPECT_EQ(f.current().ForeWork, penAndInk(original, PenAndInkParams{90, true}));
    EXPECT_EQ(f.status(), QStringLiteral("Pen and Ink"));
}

TEST(EffectsPanel, KryptolStrokesDirectionResetAndHollowOut) {
    EffectsFixture f;
    f.openPhoto();
    const TBitmap32 original = f.current().ForeOriginal;
    f.click(f.fx().effectButton(ForegroundEffect::Kryptol));
    TKryptol* d = f.fx().kryptolDialog();
    ASSERT_TRUE(d->isVisible());
    EXPECT_EQ(d->Direction[1]->text(), QStringLiteral("\\\\\\"));
    d->Direction[2]->setChecked(true);
    EXPECT_EQ(d->KryptolDirection, 3);
    f.click(d->SpeedButton1);
    f.click(d->SpeedButton1);
    // Clicking the selected direction again keeps the strokes.
    f.click(d->Direction[2]);
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{3, 2, false}));
    f.click(d->okButton());
    EXPECT_EQ(f.current().ForeWork, kryptol(original, KryptolParams{3, 2, false}));
    EXPECT_EQ(f.status(), QStringLiteral("Kryptol"));

    f.click(f.fx().effectButton(ForegroundEffect::Brume));
    f.click(f.fx().effectButton(ForegroundEffect::Kryptol));
    EXPECT_TRUE(d->Direction[0]->isChecked());
    EXPECT_EQ(d->KryptolDirection, 1);
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{1, 0, false}));

    // Hollow out discards the strokes and keeps the direction.
    d->Direction[3]->setChecked(true);
    f.click(d->SpeedButton1);
    ASSERT_EQ(d->previewPicture(), kryptol(original, KryptolParams{4, 1, false}));
    d->CheckBox1->setChecked(true);
    EXPECT_EQ(d->KryptolDirection, 4);
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{4, 0, true}));
    f.click(d->SpeedButton1);
    f.click(d->okButton());
    // Strokes over cut-out paper keep its alpha byte 0; the hand-back makes them opaque.
    Scene expected;
    expected.AddForegroundLayer(original);
    expected.setCurrentForeWork(kryptol(original, KryptolParams{4, 1, true}));
    EXPECT_EQ(f.current().ForeWork, expected.layer(1).ForeWork);
    const TBitmap32 handedBack = f.current().ForeWork;
    // The tick stays for the next opening.
    f.click(f.fx().effectButton(ForegroundEffect::Brume));
    const TBitmap32 brumed = f.current().ForeWork;
    ASSERT_NE(brumed, handedBack);
    f.click(f.fx().effectButton(ForegroundEffect::Kryptol));
    EXPECT_TRUE(d->CheckBox1->isChecked());
    EXPECT_EQ(d->previewPicture(), kryptol(original, KryptolParams{1, 0, true}));
    f.click(d->SpeedButton1);
    d->close();
    // Brume's picture, not the strokes: the close box hands back nothing.
    EXPECT_EQ(f.current().ForeWork, brumed);
    EXPECT_EQ(f.status(), QStringLiteral("Kryptol"));
}

TEST(EffectsPanel, KernelDialogRefusesABadFieldAndConvertsAtOnce) {
    EffectsFixture f;
    f.openPhoto();
    const TBitmap32 original = f.current().ForeOriginal;
    const TBitmap32 before = f.current().ForeWork;
    f.click(f.fx().effectButton(ForegroundEffect::Realism));
    TFormOfFringe* realism = f.fx().kernelDialog(ForegroundEffect::Realism);
    ASSERT_TRUE(realism->isVisible());
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_EQ(realism->windowTitle(), QStringLiteral("Setup for Realism"));
    EXPECT_FALSE(realism->Button2->isEnabled());

    realism->Edit[4]->setText(QStringLiteral("x1"));
    f.click(realism->Button1);
    ASSERT_EQ(f.record->messages.size(), 1);
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("'x1' is not a valid integer value"));
    EXPECT_EQ(f.current().ForeWork, before);
    EXPECT_FALSE(realism->Button2->isEnabled());

    realism->Edit[4]->setText(QStringLiteral("2"));
    f.click(realism->Button1);
    EXPECT_EQ(f.current().ForeWork, realismArt(original, Kernel3x3{1, 2, 1, 0, 2, 0, -1, -1, -1}));
    EXPECT_TRUE(realism->Button2->isEnabled());

    // Pop art hides Realism; the converted picture stays; OK is disabled on hiding.
    f.click(f.fx().effectButton(ForegroundEffect::PopArt));
    TFormOfFringe* pop = f.fx().kernelDialog(ForegroundEffect::PopArt);
    EXPECT_FALSE(realism->isVisible());
    EXPECT_FALSE(realism->Button2->isEnabled());
    EXPECT_TRUE(pop->isVisible());
    pop->Edit[0]->setText(QStringLiteral("7"));
    f.click(pop->Button3); // Default: start texts back, then convert
    EXPECT_EQ(pop->Edit[0]->text(), QStringLiteral("-1"));
    EXPECT_EQ(f.current().ForeWork, popArt(original, kPopArtDefault));
    f.click(pop->Button2);
    EXPECT_FALSE(pop->isVisible());
    EXPECT_EQ(f.status(), QStringLiteral("Pop art"));
}

TEST(EffectsPanel, AnEffectButtonNamesItsEffectAndRemoveRestores) {
    EffectsFixture f;
    f.openPhoto();
    QRadioButton* brume = f.fx().effectButton(ForegroundEffect::Brume);
    f.click(brume);
    EXPECT_NE(f.current().ForeWork, f.current().ForeOriginal);
    EXPECT_EQ(f.status(), QStringLiteral("Brume"));
    f.click(brume); // the selected button starts nothing
    EXPECT_TRUE(brume->isChecked());
    f.click(f.fx().removeEffectButton());
    EXPECT_EQ(f.current().ForeWork, f.current().ForeOriginal);
    EXPECT_EQ(f.status(), QStringLiteral("Foreground effect removed."));
}

TEST(EffectsPanel, WithoutALayerEveryButtonOnlySaysSoThenTheToolBarRotates) {
    EffectsFixture f;
    for (int i = 0; i < kForegroundEffectCount; ++i) {
        f.click(f.fx().effectButton(ForegroundEffect(i)));
        EXPECT_EQ(f.record->messages.size(), i + 1) << i;
        EXPECT_EQ(f.record->messages.last(), QStringLiteral("Have no foreground!"));
    }
    f.click(f.fx().removeEffectButton());
    EXPECT_EQ(f.record->messages.last(), QStringLiteral("Have no foreground!"));
    EXPECT_TRUE(f.window->isEnabled());
    EXPECT_FALSE(f.fx().pencilDialog()->isVisible());
    EXPECT_FALSE(f.fx().kernelDialog(ForegroundEffect::Abstract)->isVisible());
    EXPECT_EQ(f.status(), QStringLiteral("New picture"));

    // Rotating from the tool bar waits for a selected layer.
    EXPECT_FALSE(f.window->rotateAction()->isEnabled());
    EXPECT_EQ(f.window->angleEdit()->text(), QStringLiteral("30"));
    f.openForeground(f.writePicture(QStringLiteral("wide.bmp"), photo(100, 50)));
    f.model().layerPanelPress(1, false); // the layer selected in the layer panel
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
        EXPECT_EQ(f.current().ForeWork.width(), 100);
    }
    f.window->angleEdit()->setText(QStringLiteral("90"));
    QTest::keyClick(f.window->angleEdit(), Qt::Key_Return);
    EXPECT_EQ(f.current().ForeWork.width(), 48);
    EXPECT_EQ(f.current().ForeWork.height(), 100);
}

// The panel's make-up: page captions and hints, button texts and names, the mask slots'
// places, and the classes Qt knows its windows by.
TEST(EffectsPanel, PagesButtonsSlotsAndWindowClasses) {
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
    // A single "&" shows as such, not as a mnemonic.
    EXPECT_EQ(f.fx().effectButton(ForegroundEffect::PenAndInk)->text(),
              QStringLiteral("Pen && Ink"));
    EXPECT_EQ(f.fx().effectButton(ForegroundEffect::ColorBlocksVH)->objectName(),
              QStringLiteral("RadioButton10"));
    EXPECT_EQ(f.fx().effectButton(ForegroundEffect::Kryptol)->objectName(),
              QStringLiteral("RadioButton12"));
    const struct {
        int k;
        QRect at;
    } maskPlaces[] = {{1, {5, 4, 33, 33}},
                      {12, {445, 4, 33, 33}},
                      {18, {685, 4, 33, 33}},
                      {19, {5, 42, 33, 33}},
                      {36, {685, 42, 33, 33}}};
    for (const auto& s : maskPlaces)
        EXPECT_EQ(f.fx().maskSlot(s.k)->geometry(), s.at) << s.k;
    EXPECT_EQ(f.fx().maskSlot(0), nullptr);
    EXPECT_EQ(f.fx().maskSlot(37), nullptr);
    struct Case {
        QObject* window;
        const char* className;
    };
    const Case cases[] = {
        {f.fx().pencilDialog(), "quill::app::effects::TBack_and_White_Sketch"},
        {f.fx().kryptolDialog(), "quill::app::effects::TKryptol"},
        {f.fx().penSketchDialog(), "quill::app::effects::ThresholdDialog"},
        {f.fx().penAndInkDialog(), "quill::app::effects::ThresholdDialog"},
        {f.fx().kernelDialog(ForegroundEffect::PopArt), "quill::app::effects::TFormOfFringe"},
        {f.fx().textureWindow(), "quill::app::effects::TTexture"},
        {f.fx().maskSlot(1), "quill::app::effects::ClickLabel"},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.window, nullptr) << c.className;
        EXPECT_STREQ(c.window->metaObject()->className(), c.className);
    }
    // The preview dialogs are known as such to Qt's casts.
    for (ForegroundEffect e : {ForegroundEffect::PencilSketch, ForegroundEffect::PenSketch,
                               ForegroundEffect::PenAndInk, ForegroundEffect::Kryptol})
        EXPECT_NE(qobject_cast<PreviewDialog*>(static_cast<QObject*>(f.fx().previewDialog(e))),
                  nullptr);
    EXPECT_EQ(qobject_cast<PreviewDialog*>(static_cast<QObject*>(f.fx().textureWindow())), nullptr);
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
    EXPECT_EQ(gauge->objectName(), QStringLiteral("Gauge2"));
    gauge->setRange(0, 10);
    gauge->setValue(7);
    std::vector<int> positions;
    QObject::connect(gauge, &QProgressBar::valueChanged, [&](int v) { positions.push_back(v); });
    f.fx().loadLibraries(QFile::encodeName(f.folder.path()).toStdString());
    ASSERT_EQ(f.fx().frameThumbs().size(), 2u);
    EXPECT_EQ(gauge->maximum(), 2);
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2})) << "one step per thumbnail";
    // Drawn: the full gauge is blue inside, the empty one black.
    gauge->resize(120, 10);
    EXPECT_EQ(gauge->grab().toImage().pixel(60, 5), qRgb(0, 0, 255));
    gauge->setValue(0);
    EXPECT_EQ(gauge->grab().toImage().pixel(60, 5), qRgb(0, 0, 0));
    EXPECT_EQ(f.fx().frameNames()[0], "b.jpg");
    EXPECT_EQ(f.fx().frameThumbs()[1]->geometry(), QRect(62, 2, 52, 40));
    EXPECT_EQ(f.fx().frameThumbs()[0]->toolTip(), QStringLiteral("Click to set as frame"));
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
    expected.SetBackgroundPicture(f.scene().BackOriginal);
    expected.AddForegroundLayer(f.scene().layer(1).ForeOriginal);
    expected.layer(1).LayerMask = 12;
    const TBitmap32 frameRead =
        LoadPictureFile(f.folder.filePath(QStringLiteral("frame/b.jpg")).toStdString()).picture;
    expected.FramePicture =
        makeFrameOverlay(frameRead, expected.BackOriginal.width(), expected.BackOriginal.height());
    expected.RefreshLayer();
    EXPECT_EQ(f.scene().scenePicture(), expected.scenePicture());

    // Removing both gives background plus layer again.
    f.click(f.fx().removeFrameButton());
    f.click(f.fx().removeMaskButton());
    expected.FramePicture.reset();
    expected.layer(1).LayerMask = 0;
    expected.RefreshLayer();
    EXPECT_EQ(f.scene().scenePicture(), expected.scenePicture());
}

TEST(EffectsPanel, TextureTilesStandInTheirGridAndApply) {
    EffectsFixture f;
    const struct {
        int k;
        QPoint at;
    } places[] = {{1, {216, 8}},  {4, {8, 8}},   {3, {80, 8}},    {5, {8, 80}},
                  {8, {216, 80}}, {9, {8, 152}}, {12, {216, 152}}};
    TTexture* t = f.fx().textureWindow();
    for (const auto& p : places)
        EXPECT_EQ(t->tile(p.k)->geometry(), QRect(p.at, QSize(58, 58))) << p.k;
    EXPECT_EQ(t->windowTitle(), QStringLiteral("Texture for background"));

    f.click(f.fx().backgroundButton(BackgroundEffect::Texture));
    ASSERT_TRUE(t->isVisible());
    f.clickLabel(t->tile(3));
    f.clickLabel(t->tile(7));
    TBitmap32 expected;
    ApplyTexture(textureTile(7), f.scene().BackOriginal, expected);
    EXPECT_EQ(f.scene().BackWork, expected);
    f.click(f.fx().restoreBackgroundButton());
    EXPECT_EQ(f.scene().BackWork, f.scene().BackOriginal);
}

TEST(EffectsPanel, ClosingTheWindowClosesItsEffectWindows) {
    EffectsFixture f;
    f.openPhoto();
    f.click(f.fx().effectButton(ForegroundEffect::Abstract));
    f.window->setFocus();
    ASSERT_TRUE(f.fx().kernelDialog(ForegroundEffect::Abstract)->isVisible());
    f.window->close();
    // Left open, they would keep the program running with no main window.
    EXPECT_FALSE(f.fx().kernelDialog(ForegroundEffect::Abstract)->isVisible());
    EXPECT_FALSE(f.fx().textureWindow()->isVisible());
    f.window.reset();
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

TEST(LiveRenderer, FinalResultComputesWhenNothingIsDone) {
    LiveRenderer renderer;
    EXPECT_EQ(renderer.finalResult([] { return TBitmap32(3, 2); }).width(), 3);
    renderer.request([] { return TBitmap32(4, 1); });
    renderer.reset(); // forgets the request: the final result is computed anew
    EXPECT_EQ(renderer.finalResult([] { return TBitmap32(5, 1); }).width(), 5);
}

} // namespace
