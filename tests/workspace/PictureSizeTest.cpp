#include "workspace/PictureSize.h"

#include "imaging/IntegerText.h"
#include "workspace/Workspace.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

Scene sceneWithBackground(int w, int h) {
    Scene s;
    s.SetBackgroundPicture(TBitmap32(w, h, makePixel(255, 255, 255)));
    return s;
}

// A shown window whose background is a white w x h picture.
void showWithBackground(Workspace& window, int w, int h) {
    window.windowShown();
    window.document().setBackgroundPicture(TBitmap32(w, h, makePixel(255, 255, 255)));
}

TEST(PictureSizeArithmetic, HalvesGoToTheEvenNeighbour) {
    struct Case {
        std::int64_t value, num, den, expected;
    };
    const Case cases[] = {
        {2, 125, 100, 2}, // 2.5
        {6, 125, 100, 8}, // 7.5
        {1, 125, 100, 1}, // 1.25
        {1, 80, 100, 1},  // 0.8
        {600, 80, 100, 480},
        {450, 80, 100, 360},
        {480, 125, 100, 600},
        {360, 125, 100, 450},
        {800, 450, 600, 600},
        {150, 300, 200, 225},
        {5, 1, 2, 2}, // 2.5
        {7, 1, 2, 4}, // 3.5
        // Products beyond 32 bits are formed wide.
        {2000000000, 125, 100, 2500000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scaledSide(c.value, c.num, c.den), c.expected)
            << c.value << "*" << c.num << "/" << c.den;
}

TEST(PictureSizeArithmetic, IsDigits) {
    const std::pair<const char*, bool> cases[] = {{"0", true},   {"0123", true}, {"", false},
                                                  {"-1", false}, {"+1", false},  {" 1", false},
                                                  {"1a", false}, {"1.5", false}};
    for (auto [text, expected] : cases)
        EXPECT_EQ(IsDigits(text), expected) << text;
}

TEST(PictureSizeDialog, StepsAndProportion) {
    Scene bg = sceneWithBackground(600, 450);
    PictureSizeModel m;
    m.SizeMode = 2;
    m.show(bg);
    EXPECT_EQ(m.caption, "Background_size");
    EXPECT_EQ(m.Edit1, "600");
    EXPECT_EQ(m.Edit2, "450");

    EXPECT_EQ(m.minus(), "");
    EXPECT_EQ(std::pair(m.Edit1, m.Edit2), std::pair(std::string("480"), std::string("360")));
    EXPECT_EQ(m.plus(), "");
    EXPECT_EQ(std::pair(m.Edit1, m.Edit2), std::pair(std::string("600"), std::string("450")));

    m.Edit1 = "2";
    m.Edit2 = "1";
    m.plus();
    EXPECT_EQ(std::pair(m.Edit1, m.Edit2), std::pair(std::string("2"), std::string("1")));
    m.minus();
    EXPECT_EQ(std::pair(m.Edit1, m.Edit2), std::pair(std::string("2"), std::string("1")));

    m.Edit1 = "12a";
    m.Edit2 = "40";
    EXPECT_EQ(m.plus(), notValidIntegerMessage("12a"));
    EXPECT_EQ(m.Edit1, "12a");
    EXPECT_EQ(m.Edit2, "40");

    // Typing a width: the height follows (800 -> 600), unless the proportion is off, the
    // edit is empty, or its digits make no 32-bit number; then the height stays.
    const struct {
        bool proportion;
        const char* typed;
    } releases[] = {{true, "800"}, {false, "300"}, {true, ""}, {true, "99999999999"}};
    for (const auto& r : releases) {
        m.CheckBox1 = r.proportion;
        m.Edit1 = r.typed;
        m.edit1Released(bg);
        EXPECT_EQ(m.Edit2, "600") << r.typed;
    }

    Scene fg = sceneWithBackground(600, 450);
    fg.AddForegroundLayer(TBitmap32(300, 200, makePixel(1, 2, 3)));
    PictureSizeModel f;
    f.SizeMode = 1;
    f.show(fg);
    EXPECT_EQ(f.caption, "Foreground_size");
    EXPECT_EQ(f.Edit1, "300");
    f.Edit2 = "150";
    f.edit2Released(fg);
    EXPECT_EQ(f.Edit1, "225");
}

TEST(PictureSizeDialog, OkRefusesWithoutChangingAnything) {
    const std::pair<const char*, const char*> cases[] =
        {
            {"", "450"},        {"600", "0"},          {"0", "450"},
            {"-600", "450"},    {"60 0", "450"},       {"600", "+45"},
            {"600", "x"},       {"4294967296", "450"}, {"100000", "450"}, // over the side limit
            {"16384", "16384"},                                           // over the pixel limit
        };
    for (auto [w, h] : cases) {
        SCOPED_TRACE(std::string(w) + " x " + h);
        Workspace window;
        showWithBackground(window, 600, 450);
        const Scene& s = window.document().sceneForGestures();
        const TBitmap32 before = s.scenePicture();
        PictureSizeModel m;
        m.SizeMode = 2;
        m.Edit1 = w;
        m.Edit2 = h;
        EXPECT_EQ(m.ok(window.document()), kPleaseInputValidInteger);
        EXPECT_EQ(s.BackWork->width(), 600);
        EXPECT_EQ(s.BackOriginal->height(), 450);
        EXPECT_EQ(s.scenePicture(), before);
    }
    Workspace window;
    showWithBackground(window, 600, 450);
    PictureSizeModel m;
    m.SizeMode = 1; // no layer
    m.Edit1 = "10";
    m.Edit2 = "10";
    EXPECT_EQ(m.ok(window.document()), "Have no foreground!");
}

TEST(PictureSizeDialog, OkRefusesALayerSizeItsPicturesCannotTake) {
    // The layer's working picture differs in width from its original (20 wide): a size
    // fine for the original can be too large or too small for it.
    struct Case {
        int workWidth;
        const char* typedWidth;
    };
    const Case cases[] = {{40, "16000"}, // 32000 wide: over the side limit
                          {10, "1"}};    // half a pixel wide: nothing left
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.workWidth) + " -> " + c.typedWidth);
        Workspace window;
        showWithBackground(window, 600, 450);
        Scene& s = window.document().sceneForGestures();
        window.document().addForegroundLayer(TBitmap32(c.workWidth, 20, makePixel(1, 2, 3)));
        s.layer(1).ForeOriginal = SharedPicture(TBitmap32(20, 20, makePixel(1, 2, 3)));
        s.layer(1).carrierWidth = 20;
        const LayerSlot before = s.layer(1);
        PictureSizeModel m;
        m.SizeMode = 1;
        m.Edit1 = c.typedWidth;
        m.Edit2 = "20";
        EXPECT_EQ(m.ok(window.document()), kPleaseInputValidInteger);
        EXPECT_EQ(s.layer(1).ForeOriginal, before.ForeOriginal);
        EXPECT_EQ(s.layer(1).ForeWork, before.ForeWork);
        EXPECT_EQ(s.layer(1).handle, before.handle);
        EXPECT_EQ(s.layer(1).carrierWidth, 20);
    }
}

TEST(PictureSizeDialog, OkResizesTheBackground) {
    Workspace window;
    showWithBackground(window, 600, 450);
    Scene& s = window.document().sceneForGestures();
    s.ViewZoom = 50;
    s.AddForegroundLayer(TBitmap32(30, 20, makePixel(0, 0, 255)));
    PictureSizeModel m;
    m.SizeMode = 2;
    m.show(s);
    m.Edit1 = "800";
    m.edit1Released(s);
    // The window model's resize step, checked with the model, does the rest.
    ASSERT_EQ(m.ok(window.document()), "");
    EXPECT_EQ(s.BackWork->width(), 800);
    EXPECT_EQ(s.BackWork->height(), 600);
    EXPECT_EQ(s.layer(1).ForeWork->width(), 30) << "the layer is untouched";
    EXPECT_EQ(s.scenePicture().pixel(0, 0), makePixel(0, 0, 255));
}

TEST(PictureSizeDialog, OkResizesThePanelLayer) {
    Workspace window;
    showWithBackground(window, 600, 450);
    Scene& s = window.document().sceneForGestures();
    s.ViewZoom = 200;
    s.AddForegroundLayer(TBitmap32(300, 200, makePixel(1, 2, 3)));
    s.AddForegroundLayer(TBitmap32(10, 10, makePixel(9, 9, 9)));
    s.PanelLayer = 1; // the size dialog works on the panel layer, not the current one
    PictureSizeModel m;
    m.SizeMode = 1;
    m.show(s);
    m.Edit2 = "150";
    m.edit2Released(s);
    ASSERT_EQ(m.ok(window.document()), "");
    const LayerSlot& l = s.layer(1);
    EXPECT_EQ(l.ForeWork->width(), 225);
    EXPECT_EQ(l.ForeOriginal->height(), 150);
    EXPECT_EQ(l.handle.width, 450);
    EXPECT_EQ(s.layer(2).ForeWork->width(), 10);
    EXPECT_EQ(s.BackWork->width(), 600);
}

TEST(PictureSizeDialog, OkGivesTheResizedPanelLayerItsMaskAtTheNewSize) {
    // Mask 3: columns 0..2 red 255 (alpha 0), the rest red 0 (alpha 255).
    TBitmap32 mask(10, 10, makePixel(0, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 3; ++x)
            mask.setPixel(x, y, makePixel(255, 0, 0));
    Workspace window;
    showWithBackground(window, 600, 450);
    Scene& s = window.document().sceneForGestures();
    window.masks().setMask(3, mask);
    s.AddForegroundLayer(TBitmap32(8, 8, makePixel(0, 0, 255)));
    s.layer(1).LayerMask = 3;
    s.AddForegroundLayer(TBitmap32(4, 4, makePixel(0, 255, 0)));
    s.layer(2).handle.left = 300;
    s.RefreshLayer(); // layer 2 is current
    s.PanelLayer = 1;
    s.deriveLayerAlpha(1);
    s.ComposeScene();
    PictureSizeModel m;
    m.SizeMode = 1;
    m.CheckBox1 = false;
    m.Edit1 = "20";
    m.Edit2 = "8";
    ASSERT_EQ(m.ok(window.document()), "");
    const TBitmap32& work = *s.layer(1).ForeWork;
    ASSERT_EQ(work.width(), 20);
    // The mask stretched to 20 columns: column k takes mask column k / 2, so 0..5 are
    // see-through. Stretching the 8-column layer's old alpha instead would have made
    // 0..7 see-through (its columns 0..2).
    for (int x : {0, 5, 6, 7, 19})
        EXPECT_EQ(pixelAlpha(work.pixel(x, 3)), x <= 5 ? 0 : 255) << x;
    EXPECT_EQ(s.scenePicture().pixel(5, 3), makePixel(255, 255, 255));
    EXPECT_EQ(s.scenePicture().pixel(6, 3), makePixel(0, 0, 255));
}

} // namespace
} // namespace quill
