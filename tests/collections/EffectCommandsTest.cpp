#include "collections/EffectCommands.h"

#include "CollectionsTestSupport.h"

#include "decor/BackgroundEffects.h"
#include "decor/MaskLibrary.h"
#include "decor/Rotation.h"
#include "decor/Texture.h"
#include "effects/Brume.h"
#include "effects/Fringe.h"
#include "effects/PencilSketch.h"
#include "effects/WaterColor.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

using quill::testing::photo;

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        model.windowShown();
        TBitmap32 mask(8, 8, makePixel(0, 0, 0));
        for (int x = 0; x < 8; ++x)
            mask.setPixel(x, 0, makePixel(100, 7, 9)); // only red counts: alpha 155
        masks.setMask(5, mask);
    }
    Scene& scene() { return model.scene(); }
    int addLayer(const TBitmap32& p) { return model.addForegroundLayer(p); }

    MainWindowModel model;
    MaskLibrary masks;
    EffectCommands commands{model, masks};
};

TEST_F(Commands, WithoutALayerEveryEffectOnlySaysSo) {
    const TBitmap32 before = scene().scenePicture();
    for (int i = 0; i < kForegroundEffectCount; ++i) {
        CommandReply r = commands.chooseForegroundEffect(ForegroundEffect(i));
        EXPECT_EQ(r.message, "Have no foreground!") << i;
        EXPECT_FALSE(r.openPreviewDialog || r.showKernelDialog || r.sceneChanged) << i;
    }
    EXPECT_EQ(commands.removeForegroundEffect().message, "Have no foreground!");
    EXPECT_EQ(commands.chooseMask(3).message, "Have no foreground!");
    const int slot = model.addForegroundLayer(photo(4, 4));
    for (int k : {0, 37, -1})
        EXPECT_FALSE(commands.chooseMask(k).sceneChanged) << k;
    EXPECT_EQ(scene().layer(slot).LayerMask, 0);
    model.deleteLayer();
    EXPECT_EQ(scene().scenePicture(), before);
    EXPECT_EQ(commands.statusLabel(), "New picture");
}

TEST_F(Commands, EachButtonStartsItsKindOfEffect) {
    addLayer(photo(12, 9));
    struct Case {
        ForegroundEffect effect;
        bool dialog, kernel, changed;
        const char* status;
    } cases[] = {
        {ForegroundEffect::PencilSketch, true, false, false, "New picture"},
        {ForegroundEffect::Realism, false, true, false, "New picture"},
        {ForegroundEffect::ColorPanels, false, false, true, "Color Panels"},
        {ForegroundEffect::ColorBlocksVH, false, false, true, "Color Blocks (V && H)"},
        {ForegroundEffect::Kryptol, true, false, false, "Color Blocks (V && H)"},
        {ForegroundEffect::PopArt, false, true, false, "Color Blocks (V && H)"},
    };
    for (const Case& c : cases) {
        CommandReply r = commands.chooseForegroundEffect(c.effect);
        EXPECT_EQ(r.openPreviewDialog, c.dialog) << foregroundEffectInfo(c.effect).caption;
        EXPECT_EQ(r.showKernelDialog, c.kernel) << foregroundEffectInfo(c.effect).caption;
        EXPECT_EQ(r.sceneChanged, c.changed) << foregroundEffectInfo(c.effect).caption;
        EXPECT_EQ(commands.statusLabel(), c.status);
    }
}

TEST_F(Commands, TheSelectedButtonStartsNothingAndBrumeDrawsAnew) {
    const int slot = addLayer(photo(16, 11));
    programRandom().setSeed(0);
    ASSERT_TRUE(commands.chooseForegroundEffect(ForegroundEffect::Brume).sceneChanged);
    const TBitmap32 first = scene().layer(slot).ForeWork;
    CommandReply again = commands.chooseForegroundEffect(ForegroundEffect::Brume);
    EXPECT_FALSE(again.sceneChanged);
    EXPECT_TRUE(again.message.empty());
    EXPECT_EQ(scene().layer(slot).ForeWork, first);

    commands.chooseForegroundEffect(ForegroundEffect::WaterColor);
    commands.chooseForegroundEffect(ForegroundEffect::Brume);
    EXPECT_NE(scene().layer(slot).ForeWork, first); // the generator went on
}

TEST_F(Commands, EffectsNeverAccumulate) {
    const TBitmap32 original = photo(20, 14);
    const int slot = addLayer(original);
    PencilSketchParams params;
    commands.handBack(pencilSketch(original, params));
    commands.chooseForegroundEffect(ForegroundEffect::WaterColor);
    TBitmap32 expected = waterColor(original);
    TBitmap32 got = scene().layer(slot).ForeWork;
    SetAlpha(expected, 255);
    SetAlpha(got, 255);
    EXPECT_EQ(got, expected);
}

TEST_F(Commands, MaskAndTransparencySurviveAnEffectAndItsRemoval) {
    const TBitmap32 original = photo(8, 8);
    const int slot = addLayer(original);
    commands.chooseMask(5);
    EXPECT_TRUE(commands.removeMaskEnabled());
    model.setTransparentChecked(true);
    model.setTransparenceSlider(200);
    // Mask red 100 on row 0 gives 155, black elsewhere 255; then factor 55.
    const int top = toumingAlpha(155, 55), rest = toumingAlpha(255, 55);
    auto checkAlpha = [&](const char* when) {
        const TBitmap32& w = scene().layer(slot).ForeWork;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(pixelAlpha(w.pixel(x, y)), y == 0 ? top : rest)
                    << when << " " << x << "," << y;
    };
    checkAlpha("masked");
    commands.chooseForegroundEffect(ForegroundEffect::ColorPanels);
    checkAlpha("after an effect");
    commands.removeForegroundEffect();
    checkAlpha("after removal");
    EXPECT_EQ(commands.statusLabel(), "Foreground effect removed.");
    const TBitmap32& w = scene().layer(slot).ForeWork;
    EXPECT_EQ(w.pixel(3, 3) & 0x00ffffffu, original.pixel(3, 3) & 0x00ffffffu);
}

TEST_F(Commands, CutoutCornersStayOrTurnVisibleAsEachEffectSays) {
    const int slot = addLayer(photo(30, 20));
    ASSERT_TRUE(commands.rotate("45").message.empty());
    const TBitmap32& original = scene().layer(slot).ForeOriginal;
    ASSERT_EQ(original.pixel(0, 0), CutoutColor);

    commands.handBack(realismArt(original, kRealismDefault));
    EXPECT_EQ(pixelAlpha(scene().layer(slot).ForeWork.pixel(1, 1)), 0)
        << "Realism keeps the corners cut out";
    // A colour filter changes the cut-out colour, so the corner becomes part of the layer;
    // Water color leaves a flat cut-out area exactly as it was, so it stays cut out.
    commands.chooseForegroundEffect(ForegroundEffect::ColorBlocksVH);
    EXPECT_EQ(pixelAlpha(scene().layer(slot).ForeWork.pixel(1, 1)), 255)
        << "Color Blocks recolours them";
    commands.chooseForegroundEffect(ForegroundEffect::WaterColor);
    EXPECT_EQ(pixelAlpha(scene().layer(slot).ForeWork.pixel(1, 1)), 0)
        << "a flat cut-out area stays";
}

TEST_F(Commands, BackgroundEffectsStartFromTheBackgroundAsOpened) {
    TBitmap32 background = photo(14, 9);
    model.setBackgroundPicture(background);
    SetAlpha(background, 255);
    commands.chooseBackgroundEffect(BackgroundEffect::Emboss);
    commands.chooseBackgroundEffect(BackgroundEffect::Gray);
    TBitmap32 grey = background;
    grayBackground(grey);
    EXPECT_EQ(scene().BackWork, grey);

    commands.restoreBackground();
    EXPECT_EQ(scene().BackWork, background);
    commands.chooseBackgroundEffect(BackgroundEffect::Gray); // still the selected button
    EXPECT_EQ(scene().BackWork, background);
    EXPECT_TRUE(commands.chooseBackgroundEffect(BackgroundEffect::Texture).showTextureWindow);
    commands.applyTextureTile(3);
    commands.applyTextureTile(7);
    TBitmap32 textured;
    ApplyTexture(textureTile(7), background, textured);
    EXPECT_EQ(scene().BackWork, textured);
}

TEST_F(Commands, FrameOverTheSceneAndRemovedAgain) {
    addLayer(photo(5, 5));
    const TBitmap32 plain = scene().scenePicture();
    commands.chooseFrame(TBitmap32(6, 4, makePixel(0, 0, 0)));
    EXPECT_EQ(scene().scenePicture(), TBitmap32(600, 450, makePixel(0, 0, 0)));
    commands.removeFrame();
    EXPECT_FALSE(scene().FramePicture.has_value());
    EXPECT_EQ(scene().scenePicture(), plain);
    EXPECT_FALSE(commands.chooseFrame(TBitmap32()).sceneChanged); // unreadable frame file
}

TEST_F(Commands, RotationRefusalsAndHandleGeometry) {
    const int slot = addLayer(photo(100, 50));
    scene().layer(slot).handle.left = 200;
    scene().layer(slot).handle.top = 100;
    // The angle reader's every refusal is checked with it; here one of each message.
    struct Refusal {
        const char* text;
        const char* message;
    } refusals[] = {{"3.0", "Please input a valid integer value."},
                    {"3-", "'3-' is not a valid integer value"}};
    for (const Refusal& r : refusals) {
        EXPECT_EQ(commands.rotate(r.text).message, r.message) << r.text;
        EXPECT_EQ(scene().layer(slot).ForeOriginal.width(), 100) << r.text;
    }
    ASSERT_TRUE(commands.rotate("90").message.empty());
    const LayerSlot& l = scene().layer(slot);
    EXPECT_EQ(l.ForeOriginal.width(), 48);
    EXPECT_EQ(l.ForeOriginal.height(), 100);
    EXPECT_EQ(l.handle, (Rect{226, 75, 48, 100})); // left - (-26), top - 25
}

TEST(PreviewFit, PortraitAndLandscape) {
    struct Case {
        int w, h;
        Rect expected;
    } cases[] = {
        {600, 450, {0, 43, 537, 403}},  // 402.75 rounds to 403
        {300, 600, {146, 0, 244, 489}}, // 244.5 rounds to the even 244
        {537, 489, {0, 0, 537, 489}},   // exactly the area's ratio: portrait rule
        {1, 1, {24, 0, 489, 489}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitPreview(c.w, c.h), c.expected) << c.w << "x" << c.h;
}

TEST(KernelDialog, BadFieldChangesNothingAndDefaultRestores) {
    const TBitmap32 original = photo(9, 7);
    KernelDialogState realism(ForegroundEffect::Realism);
    EXPECT_STREQ(realism.caption(), "Setup for Realism");
    EXPECT_EQ(realism.fields[6], "-1");
    realism.fields[4] = "1x";
    KernelDialogState::Conversion bad = realism.convert(original);
    EXPECT_EQ(bad.message, "'1x' is not a valid integer value");
    EXPECT_FALSE(bad.picture);
    EXPECT_FALSE(realism.okEnabled());

    KernelDialogState::Conversion good = realism.restoreDefaults(original);
    ASSERT_TRUE(good.picture);
    EXPECT_EQ(*good.picture, realismArt(original, kRealismDefault));
    EXPECT_EQ(realism.fields[4], "0");
    EXPECT_TRUE(realism.okEnabled());
    realism.closed();
    EXPECT_FALSE(realism.okEnabled());

    KernelDialogState pop(ForegroundEffect::PopArt);
    EXPECT_STREQ(pop.banner(), "************  Set for Pop art   ************");
    EXPECT_EQ(*pop.convert(original).picture, popArt(original, kPopArtDefault));
}

} // namespace
} // namespace quill
