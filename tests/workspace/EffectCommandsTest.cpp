// The document's commands of the photo effects panel: effects, masks, background effects,
// frames and rotation, with the messages and status texts they give.
#include "workspace/Document.h"
#include "workspace/EffectDialogs.h"

#include "tests/collections/CollectionsTestSupport.h"

#include "decor/BackgroundEffects.h"
#include "decor/Texture.h"
#include "effects/Fringe.h"
#include "effects/PencilSketch.h"
#include "effects/WaterColor.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

using quill::testing::photo;

const EffectDescription& effect(const char* name) {
    return *findEffect(name);
}

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.windowShown();
        TBitmap32 mask(8, 8, makePixel(0, 0, 0));
        for (int x = 0; x < 8; ++x)
            mask.setPixel(x, 0, makePixel(100, 7, 9)); // only red counts: alpha 155
        masks.setMask(5, mask);
    }
    const Scene& scene() const { return doc.scene(); }
    int addLayer(const TBitmap32& p) { return doc.addForegroundLayer(p); }

    MaskLibrary masks;
    Document doc{masks};
};

TEST_F(Commands, WithoutALayerEveryEffectOnlySaysSo) {
    const TBitmap32 before = scene().scenePicture();
    for (const EffectDescription& e : effectCatalogue()) {
        if (e.target != EffectTarget::Foreground || !e.hasButton())
            continue;
        const CommandReply r = doc.chooseEffect(e);
        EXPECT_EQ(r.message, "Have no foreground!") << e.name;
        EXPECT_EQ(r.openDialog, nullptr) << e.name;
    }
    EXPECT_EQ(doc.removeForegroundEffect().message, "Have no foreground!");
    EXPECT_EQ(doc.chooseMask(3).message, "Have no foreground!");
    const int slot = doc.addForegroundLayer(photo(4, 4));
    for (int k : {0, 37, -1})
        EXPECT_EQ(doc.chooseMask(k).message, "") << k;
    EXPECT_EQ(scene().layer(slot).LayerMask, 0);
    doc.deleteLayer();
    EXPECT_EQ(scene().scenePicture(), before);
    EXPECT_EQ(doc.statusLabel(), "New picture");
}

TEST_F(Commands, EachButtonStartsItsKindOfEffect) {
    addLayer(photo(12, 9));
    const struct {
        const char* effect;
        bool dialog;
        const char* status;
    } cases[] = {
        {"pencil-sketch", true, "New picture"},
        {"realism", true, "New picture"},
        {"color-panels", false, "Color Panels"},
        {"color-blocks-vh", false, "Color Blocks (V & H)"},
        {"kryptol", true, "Color Blocks (V & H)"},
        {"pop-art", true, "Color Blocks (V & H)"},
    };
    for (const auto& c : cases) {
        const CommandReply r = doc.chooseEffect(effect(c.effect));
        EXPECT_EQ(r.openDialog, c.dialog ? &effect(c.effect) : nullptr) << c.effect;
        EXPECT_EQ(doc.statusLabel(), c.status) << c.effect;
    }
    doc.dialogClosed(effect("pen-and-ink"));
    EXPECT_EQ(doc.statusLabel(), "Pen and Ink");
}

TEST_F(Commands, TheSelectedButtonStartsNothingAndBrumeDrawsAnew) {
    const int slot = addLayer(photo(16, 11));
    programRandom().setSeed(0);
    doc.chooseEffect(effect("brume"));
    const SharedPicture first = scene().layer(slot).ForeWork;
    EXPECT_TRUE(doc.chooseEffect(effect("brume")).message.empty());
    EXPECT_TRUE(scene().layer(slot).ForeWork.sameAs(first)) << "the selected button: nothing";
    doc.chooseEffect(effect("water-color"));
    doc.chooseEffect(effect("brume"));
    EXPECT_NE(*scene().layer(slot).ForeWork, *first) << "the generator went on";
}

TEST_F(Commands, EffectsNeverAccumulate) {
    const TBitmap32 original = photo(20, 14);
    const int slot = addLayer(original);
    doc.applyEffect(effect("pencil-sketch"), {}, SharedPicture(pencilSketch(original, {})));
    doc.chooseEffect(effect("water-color"));
    TBitmap32 expected = waterColor(original);
    TBitmap32 got = *scene().layer(slot).ForeWork;
    SetAlpha(expected, 255);
    SetAlpha(got, 255);
    EXPECT_EQ(got, expected);
    ASSERT_TRUE(doc.layerEffect(slot));
    EXPECT_EQ(doc.layerEffect(slot)->effect, &effect("water-color"));
}

TEST_F(Commands, MaskAndTransparencySurviveAnEffectAndItsRemoval) {
    const TBitmap32 original = photo(8, 8);
    const int slot = addLayer(original);
    doc.chooseMask(5);
    EXPECT_TRUE(doc.enabled().removeMask);
    doc.setTransparentChecked(true);
    doc.setTransparenceSlider(200);
    // Mask red 100 on row 0 gives 155, black elsewhere 255; then factor 55.
    const int top = toumingAlpha(155, 55), rest = toumingAlpha(255, 55);
    auto checkAlpha = [&](const char* when) {
        const TBitmap32& w = *scene().layer(slot).ForeWork;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(pixelAlpha(w.pixel(x, y)), y == 0 ? top : rest)
                    << when << " " << x << "," << y;
    };
    checkAlpha("masked");
    doc.chooseEffect(effect("color-panels"));
    checkAlpha("after an effect");
    doc.removeForegroundEffect();
    checkAlpha("after removal");
    EXPECT_EQ(doc.statusLabel(), "Foreground effect removed.");
    EXPECT_FALSE(doc.layerEffect(slot));
    EXPECT_EQ(scene().layer(slot).ForeWork->pixel(3, 3) & 0x00ffffffu,
              original.pixel(3, 3) & 0x00ffffffu);
}

TEST_F(Commands, CutoutCornersStayOrTurnVisibleAsEachEffectSays) {
    const int slot = addLayer(photo(30, 20));
    ASSERT_TRUE(doc.rotate("45").message.empty());
    ASSERT_EQ(scene().layer(slot).ForeOriginal->pixel(0, 0), CutoutColor);
    const auto cornerAlpha = [&] { return pixelAlpha(scene().layer(slot).ForeWork->pixel(1, 1)); };
    doc.chooseEffect(effect("realism"));
    doc.applyEffect(effect("realism"), {});
    EXPECT_EQ(cornerAlpha(), 0) << "Realism keeps the corners cut out";
    // A colour filter changes the cut-out colour, so the corner becomes part of the layer;
    // Water color leaves a flat cut-out area exactly as it was, so it stays cut out.
    doc.chooseEffect(effect("color-blocks-vh"));
    EXPECT_EQ(cornerAlpha(), 255) << "Color Blocks recolours them";
    doc.chooseEffect(effect("water-color"));
    EXPECT_EQ(cornerAlpha(), 0) << "a flat cut-out area stays";
}

TEST_F(Commands, BackgroundEffectsStartFromTheBackgroundAsOpened) {
    TBitmap32 background = photo(14, 9);
    doc.setBackgroundPicture(background);
    SetAlpha(background, 255);
    doc.chooseEffect(effect("emboss"));
    doc.chooseEffect(effect("gray"));
    TBitmap32 grey = background;
    grayBackground(grey);
    EXPECT_EQ(*scene().BackWork, grey);

    doc.restoreBackground();
    EXPECT_EQ(*scene().BackWork, background);
    EXPECT_FALSE(doc.backgroundEffect());
    doc.chooseEffect(effect("gray")); // still the selected button
    EXPECT_EQ(*scene().BackWork, background);
    EXPECT_EQ(doc.chooseEffect(effect("texture")).openDialog, &effect("texture"));
    EffectSettings tile;
    tile.integers["tile-number"] = 7;
    doc.applyEffect(effect("texture"), tile);
    TBitmap32 textured;
    ApplyTexture(textureTile(7), background, textured);
    EXPECT_EQ(*scene().BackWork, textured);
}

TEST_F(Commands, FrameOverTheSceneFollowsTheBackgroundAndIsRemovedAgain) {
    addLayer(photo(5, 5));
    const TBitmap32 plain = scene().scenePicture();
    doc.chooseFrame(TBitmap32(6, 4, makePixel(0, 0, 0)));
    EXPECT_EQ(scene().scenePicture(), TBitmap32(600, 450, makePixel(0, 0, 0)));
    // A larger background opened later takes the chosen frame at its own size.
    doc.setBackgroundPicture(TBitmap32(900, 700, makePixel(9, 9, 9)));
    EXPECT_EQ(scene().scenePicture(), TBitmap32(900, 700, makePixel(0, 0, 0)));
    doc.resizeBackgroundBy(0.5L, 0.5L);
    EXPECT_EQ((**scene().FramePicture).width(), 450);
    doc.removeFrame();
    EXPECT_FALSE(scene().FramePicture.has_value());
    doc.setBackgroundPicture(TBitmap32(600, 450, makePixel(255, 255, 255)));
    EXPECT_FALSE(scene().FramePicture.has_value()) << "a removed frame stays removed";
    EXPECT_EQ(scene().scenePicture(), plain);
    const SceneContent before = scene();
    doc.chooseFrame(TBitmap32()); // an unreadable frame file
    EXPECT_EQ(SceneContent(scene()), before);
}

TEST_F(Commands, RotationRefusalsAndHandleGeometry) {
    const int slot = addLayer(photo(100, 50));
    doc.moveLayerTo(slot, 200, 100);
    // The angle reader's every refusal is checked with it; here one of each message.
    struct Refusal {
        const char* text;
        const char* message;
    } refusals[] = {{"3.0", "Please input a valid integer value."},
                    {"3-", "'3-' is not a valid integer value"}};
    for (const Refusal& r : refusals) {
        EXPECT_EQ(doc.rotate(r.text).message, r.message) << r.text;
        EXPECT_EQ(scene().layer(slot).ForeOriginal->width(), 100) << r.text;
    }
    ASSERT_TRUE(doc.rotate("90").message.empty());
    const LayerSlot& l = scene().layer(slot);
    EXPECT_EQ(l.ForeOriginal->width(), 48);
    EXPECT_EQ(l.ForeOriginal->height(), 100);
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
    KernelDialogState realism(effect("realism"));
    EXPECT_EQ(realism.effect().dialogCaption, "Setup for Realism");
    EXPECT_EQ(realism.fields[6], "-1");
    realism.fields[4] = "1x";
    KernelDialogState::Conversion bad = realism.convert();
    EXPECT_EQ(bad.message, "'1x' is not a valid integer value");
    EXPECT_FALSE(bad.settings);
    EXPECT_FALSE(realism.okEnabled());

    KernelDialogState::Conversion good = realism.restoreDefaults();
    ASSERT_TRUE(good.settings);
    EXPECT_EQ(*good.settings->kernel, kRealismDefault);
    EXPECT_EQ(realism.fields[4], "0");
    EXPECT_TRUE(realism.okEnabled());
    realism.closed();
    EXPECT_FALSE(realism.okEnabled());
    EXPECT_EQ(effect("pop-art").dialogBanner, "************  Set for Pop art   ************");
}

} // namespace
} // namespace quill
