// The scene: opacity from mask and transparency, the composition and its regions.
#include "scene/Scene.h"

#include "SceneTestSupport.h"
#include "imaging/Rounding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace quill {
namespace {

using scenetest::randomPicture;

// A mask whose red is the same everywhere.
TBitmap32 flatMask(int w, int h, int red) {
    return TBitmap32(w, h, makePixel(red, red, red, 255));
}

// ---- touming -------------------------------------------------------------------------

TEST(Touming, EqualsTheExtendedFormulaForEveryAlphaAndFactor) {
    for (int f = 0; f <= 255; ++f)
        for (int a = 0; a <= 255; ++a) {
            const long double exact = static_cast<long double>(a) * f / 255.0L;
            ASSERT_EQ(toumingAlpha(a, f), int(std::nearbyintl(exact)))
                << "alpha " << a << " factor " << f;
        }
    // The picture pass uses the same rule: one row holding every alpha.
    for (int f : {0, 1, 127, 128, 200, 254}) {
        TBitmap32 p(256, 1);
        for (int a = 0; a < 256; ++a)
            p.setPixel(a, 0, makePixel(11, 22, 33, a));
        touming(p, f);
        for (int a = 0; a < 256; ++a) {
            ASSERT_EQ(pixelAlpha(p.pixel(a, 0)), toumingAlpha(a, f)) << a << " " << f;
            ASSERT_EQ(p.pixel(a, 0) & 0xffffffu, makePixel(11, 22, 33, 0)) << "colour changed";
        }
    }
    // Worked levels: level -> factor 255 - level -> alpha of an opaque pixel.
    const std::pair<int, int> levels[] = {{128, 127}, {0, 255}, {255, 0}, {1, 254}, {254, 1}};
    for (auto [level, alpha] : levels)
        EXPECT_EQ(toumingAlpha(255, 255 - level), alpha) << "level " << level;
}

// ---- the mask step ------------------------------------------------------------------------

// The mask step as written: resample a copy of the mask with ZoomInandOut, apply where
// both pictures have the pixel, and take the resampled mask's last row or column beyond.
void referenceMaskStep(TBitmap32& p, const TBitmap32& mask) {
    TBitmap32 m(mask);
    ZoomInandOut(m, static_cast<long double>(p.width()) / mask.width(),
                 static_cast<long double>(p.height()) / mask.height());
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            if (p.pixel(x, y) == CutoutColor)
                continue;
            const std::uint32_t mv =
                m.pixel(std::min(x, m.width() - 1), std::min(y, m.height() - 1));
            p.setPixel(x, y,
                       (p.pixel(x, y) & 0xffffffu) | (std::uint32_t(255 - pixelRed(mv)) << 24));
        }
}

TEST(ApplyMask, ColumnsAndRowsTheResampledMaskMissesTakeItsLastOnes) {
    // 11 * (13 / 11) truncates to 12: the resampled mask is one column and one row short.
    ASSERT_EQ(zoomedSize(11, 13.0L / 11.0L), 12);
    TBitmap32 mask(11, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            mask.setPixel(x, y, makePixel(x == 10 ? 200 : (y == 10 ? 100 : 0), 0, 0, 255));
    TBitmap32 p(13, 13, makePixel(5, 5, 5, 255));
    ApplyMask(p, mask);
    EXPECT_EQ(pixelAlpha(p.pixel(12, 0)), 55)
        << "the last column comes from the mask's last column";
    EXPECT_EQ(pixelAlpha(p.pixel(0, 12)), 155) << "the last row comes from the mask's last row";
    EXPECT_EQ(pixelAlpha(p.pixel(12, 12)), 55);
    EXPECT_EQ(pixelAlpha(p.pixel(0, 0)), 255);
}

TEST(ApplyMask, MatchesTheLiteralStepOnOddSizes) {
    const struct {
        int pw, ph, mw, mh;
    } sizes[] = {{1, 1, 1, 1},     {2, 3, 5, 3},     {5, 3, 2, 3},     {7, 9, 3, 4},
                 {13, 26, 11, 11}, {30, 29, 21, 29}, {40, 39, 37, 38}, {300, 200, 64, 48}};
    unsigned seed = 1;
    for (const auto& s : sizes) {
        TBitmap32 p = randomPicture(s.pw, s.ph, seed++);
        p.setPixel(0, 0, CutoutColor);
        const TBitmap32 mask = randomPicture(s.mw, s.mh, seed++);
        TBitmap32 expected(p);
        referenceMaskStep(expected, mask);
        ApplyMask(p, mask);
        EXPECT_TRUE(p == expected) << s.pw << "x" << s.ph << " with mask " << s.mw << "x" << s.mh;
    }
}

TEST(ApplyMask, EmptyMaskActsAsNoMask) {
    TBitmap32 p(4, 4, makePixel(1, 2, 3, 9));
    p.setPixel(2, 2, CutoutColor);
    ApplyMask(p, TBitmap32());
    EXPECT_EQ(pixelAlpha(p.pixel(0, 0)), 255);
    EXPECT_EQ(p.pixel(2, 2), CutoutColor);
}

// ---- the scene ------------------------------------------------------------------------------

class SceneFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        scene.setMaskSource([this](int k) -> const TBitmap32* {
            auto it = masks.find(k);
            return it == masks.end() ? nullptr : &it->second;
        });
        scene.SetBackgroundPicture(TBitmap32(40, 30, makePixel(0, 0, 255, 255)));
    }
    int addLayer(int w, int h, std::uint32_t colour, int left = 0, int top = 0) {
        const int i = scene.AddForegroundLayer(TBitmap32(w, h, colour));
        scene.layer(i).handle.left = left;
        scene.layer(i).handle.top = top;
        scene.ComposeScene();
        return i;
    }
    Scene scene;
    std::map<int, TBitmap32> masks;
};

// The composition as written: a copy of the background, every visible layer pixel by
// pixel with BlendPixel, then the frame.
TBitmap32 referenceCompose(const Scene& s) {
    TBitmap32 out(*s.BackWork);
    auto draw = [&out](const TBitmap32& pic, int px, int py) {
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x) {
                const int dx = px + x, dy = py + y;
                if (dx >= 0 && dy >= 0 && dx < out.width() && dy < out.height())
                    TBitmap32::BlendPixel(out.row32(dy) + dx, pic.pixel(x, y));
            }
    };
    for (int i = 1; i <= s.LayerCount(); ++i) {
        if (!s.layer(i).visible)
            continue;
        const long double z = s.ViewZoom;
        const int x = int(std::nearbyintl(
            static_cast<long double>(s.layer(i).handle.left - s.imgbg.left) / z * 100));
        const int y = int(std::nearbyintl(
            static_cast<long double>(s.layer(i).handle.top - s.imgbg.top) / z * 100));
        draw(*s.layer(i).ForeWork, x, y);
    }
    if (s.FramePicture)
        draw(**s.FramePicture, 0, 0);
    return out;
}

TEST_F(SceneFixture, HigherSlotCoversLowerAndDeletedLayerIsNotDrawn) {
    const std::uint32_t red = makePixel(255, 0, 0), green = makePixel(0, 255, 0),
                        grey = makePixel(90, 90, 90);
    addLayer(10, 10, red, 0, 0);
    const int two = addLayer(10, 10, green, 5, 5);
    scene.ComposeScene();
    EXPECT_EQ(scene.scenePicture().pixel(7, 7), green);
    EXPECT_EQ(scene.scenePicture().pixel(2, 2), red);
    EXPECT_EQ(scene.scenePicture().pixel(20, 20), makePixel(0, 0, 255));
    scene.layer(two).visible = false;
    scene.ComposeScene();
    EXPECT_EQ(scene.scenePicture().pixel(7, 7), red);
    EXPECT_EQ(scene.scenePicture().pixel(12, 12), makePixel(0, 0, 255));
    EXPECT_EQ(scene.LayerCount(), 2) << "a deleted layer keeps its slot";
    const int three = addLayer(3, 3, grey, -1, -1);
    EXPECT_EQ(three, 3);
    EXPECT_EQ(scene.scenePicture().pixel(1, 1), grey);
    EXPECT_EQ(scene.scenePicture().pixel(2, 2), red);
}

TEST_F(SceneFixture, LayerPartlyLeftAndAboveDrawsItsLowerRightPart) {
    TBitmap32 pic = randomPicture(8, 6, 7);
    const int i = scene.AddForegroundLayer(pic);
    scene.layer(i).handle.left = -3;
    scene.layer(i).handle.top = -2;
    scene.ComposeScene();
    EXPECT_EQ(scene.scenePicture().pixel(0, 0), pic.pixel(3, 2));
    EXPECT_EQ(scene.scenePicture().pixel(4, 3), pic.pixel(7, 5));
    EXPECT_EQ(scene.scenePicture().pixel(5, 0), makePixel(0, 0, 255));
    EXPECT_EQ(scene.scenePicture().pixel(0, 4), makePixel(0, 0, 255));
}

TEST_F(SceneFixture, PlaceRoundsHalvesToEvenAtTheZoom) {
    const int i = addLayer(2, 2, makePixel(1, 1, 1));
    const struct {
        double zoom;
        int left, top;
        Point expected;
    } cases[] = {{100, 7, -3, {7, -3}},
                 {200, 5, 7, {2, 4}},
                 {200, -5, -7, {-2, -4}},
                 {125, 10, 11, {8, 9}},
                 {50, 3, 0, {6, 0}}};
    for (const auto& c : cases) {
        scene.ViewZoom = c.zoom;
        scene.layer(i).handle.left = c.left;
        scene.layer(i).handle.top = c.top;
        EXPECT_EQ(scene.layerPosition(i), c.expected) << c.zoom << " " << c.left << "," << c.top;
    }
}

TEST_F(SceneFixture, FarPlacesStayInTheIntegerRange) {
    const int i = addLayer(2, 2, makePixel(1, 1, 1));
    scene.ViewZoom = 0.001;
    scene.layer(i).handle.left = -2000000000;
    scene.layer(i).handle.top = 2000000000;
    EXPECT_EQ(scene.layerPosition(i), (Point{-(1 << 30), 1 << 30}));
    scene.ComposeScene();
    EXPECT_TRUE(scene.scenePicture() == *scene.BackWork) << "a layer far away draws nothing";
    EXPECT_EQ(roundToCoordinate(2.5L), 2);
    EXPECT_EQ(roundToCoordinate(-3.5L), -4);
    EXPECT_EQ(roundToCoordinate(std::nanl("")), -(1 << 30));
}

TEST_F(SceneFixture, FrameIsDrawnAtTheOriginOverTheLayersUnlessRemoved) {
    addLayer(10, 10, makePixel(255, 0, 0));
    TBitmap32 frame(40, 30, 0); // transparent black
    frame.setPixel(0, 0, makePixel(0, 255, 0));
    frame.setPixel(39, 29, makePixel(0, 255, 0, 128));
    scene.FramePicture = SharedPicture(frame);
    scene.ComposeScene();
    EXPECT_EQ(scene.scenePicture().pixel(0, 0), makePixel(0, 255, 0));
    EXPECT_EQ(scene.scenePicture().pixel(1, 1), makePixel(255, 0, 0));
    EXPECT_EQ(scene.scenePicture().pixel(39, 29), makePixel(0, 128, 127));
    scene.FramePicture.reset();
    scene.ComposeScene();
    EXPECT_EQ(scene.scenePicture().pixel(0, 0), makePixel(255, 0, 0));
    scene.FramePicture = SharedPicture(TBitmap32()); // the empty frame of start-up draws nothing
    scene.ComposeScene();
    EXPECT_EQ(scene.scenePicture().pixel(39, 29), makePixel(0, 0, 255));
}

TEST_F(SceneFixture, ComposeEqualsTheLiteralComposition) {
    masks[3] = randomPicture(17, 9, 99);
    const int a = scene.AddForegroundLayer(randomPicture(25, 14, 1));
    scene.layer(a).LayerMask = 3;
    scene.layer(a).LayerTransparent = true;
    scene.layer(a).LayerTransparence = 77;
    scene.RefreshLayer();
    scene.layer(a).handle = {-4, 3, 25, 14};
    const int b = scene.AddForegroundLayer(randomPicture(9, 40, 2));
    scene.layer(b).handle.left = 33;
    TBitmap32 frame = randomPicture(40, 30, 3, true);
    scene.FramePicture = SharedPicture(frame);
    for (double zoom : {100.0, 125.0, 80.0}) {
        scene.ViewZoom = zoom;
        scene.ComposeScene();
        EXPECT_TRUE(scene.scenePicture() == referenceCompose(scene)) << "zoom " << zoom;
    }
    // A background that is not opaque everywhere (rows 3 and 20 partly transparent).
    for (int x = 0; x < 40; x += 3) {
        scene.BackWork.edit().setPixel(x, 3, makePixel(9, 9, 9, std::uint32_t(x * 6)));
        scene.BackWork.edit().setPixel(x, 20, makePixel(9, 9, 9, 0));
    }
    scene.ComposeScene();
    EXPECT_TRUE(scene.scenePicture() == referenceCompose(scene)) << "transparent background rows";
    EXPECT_LT(pixelAlpha(scene.scenePicture().pixel(39, 20)), 255);
}

TEST_F(SceneFixture, OpaqueLayersHideWhatLiesUnderThem) {
    // A layer opaque over the whole scene except one pixel, over two others, under a
    // half-transparent layer and a frame; the background is not opaque in row 4.
    for (int x = 0; x < 40; ++x)
        scene.BackWork.edit().setPixel(x, 4, makePixel(1, 2, 3, 90));
    const int under = scene.AddForegroundLayer(randomPicture(40, 30, 81, true));
    scene.layer(under).handle.top = 2;
    TBitmap32 cover = randomPicture(44, 28, 82);
    cover.setPixel(20, 10, makePixel(5, 6, 7, 100)); // row 11 of the scene is not covered
    const int top = scene.AddForegroundLayer(cover);
    scene.layer(top).ForeWork = SharedPicture(cover);
    scene.layer(top).handle = {-2, 1, 44, 28};
    const int above = scene.AddForegroundLayer(randomPicture(10, 10, 83));
    scene.layer(above).LayerTransparent = true;
    scene.RefreshLayer();
    scene.layer(above).handle = {30, 20, 10, 10};
    scene.FramePicture = SharedPicture(randomPicture(40, 30, 84, true));
    scene.ComposeScene();
    EXPECT_TRUE(scene.scenePicture() == referenceCompose(scene));
    for (const Rect& r : {Rect{3, 0, 30, 30}, Rect{0, 11, 40, 1}, Rect{0, 0, 1, 1}}) {
        scene.layer(top).handle.left += 1;
        scene.composeRegion(r.united(scene.layerSceneRect(top)).united({-3, 0, 5, 30}));
        EXPECT_TRUE(scene.scenePicture() == referenceCompose(scene)) << r.left << "," << r.top;
    }
}

TEST_F(SceneFixture, MaskAndTransparencyAreDerivedForTheCurrentLayerOnly) {
    masks[1] = flatMask(5, 5, 255); // pure white hides everything
    const int one = addLayer(6, 6, makePixel(10, 10, 10));
    const int two = addLayer(6, 6, makePixel(20, 20, 20));
    scene.layer(two).ForeWork.edit().setPixel(1, 1, CutoutColor);
    const TBitmap32 oneBefore = *scene.layer(one).ForeWork;
    scene.layer(two).LayerMask = 1;
    scene.RefreshLayer();
    EXPECT_TRUE(*scene.layer(one).ForeWork == oneBefore) << "another layer's alpha changed";
    EXPECT_EQ(pixelAlpha(scene.layer(two).ForeWork->pixel(0, 0)), 0);
    EXPECT_EQ(scene.layer(two).ForeWork->pixel(1, 1), CutoutColor);
    // Cut-out pixels stay invisible with no mask, a black mask and transparency.
    masks[2] = flatMask(5, 5, 0);
    for (int mask : {0, 2, 1}) {
        for (bool transparent : {false, true}) {
            scene.layer(two).LayerMask = mask;
            scene.layer(two).LayerTransparent = transparent;
            scene.RefreshLayer();
            EXPECT_EQ(scene.layer(two).ForeWork->pixel(1, 1), CutoutColor)
                << mask << " " << transparent;
        }
    }
    // A missing mask picture acts as no mask.
    scene.layer(two).LayerMask = 30;
    scene.layer(two).LayerTransparent = false;
    scene.RefreshLayer();
    EXPECT_EQ(pixelAlpha(scene.layer(two).ForeWork->pixel(0, 0)), 255);
}

TEST_F(SceneFixture, RefreshIsIdempotentAndTransparencyOffRestores) {
    masks[4] = randomPicture(7, 5, 12);
    const int i = scene.AddForegroundLayer(randomPicture(20, 10, 4));
    scene.layer(i).LayerMask = 4;
    scene.RefreshLayer();
    const TBitmap32 masked = *scene.layer(i).ForeWork;
    scene.layer(i).LayerTransparent = true;
    scene.layer(i).LayerTransparence = 200;
    scene.RefreshLayer();
    const TBitmap32 once = *scene.layer(i).ForeWork;
    const TBitmap32 sceneOnce = scene.scenePicture();
    scene.RefreshLayer();
    scene.RefreshLayer();
    EXPECT_TRUE(*scene.layer(i).ForeWork == once) << "repeating RefreshLayer changed the alpha";
    EXPECT_TRUE(scene.scenePicture() == sceneOnce);
    EXPECT_FALSE(once == masked);

    scene.layer(i).LayerTransparence = 255;
    scene.RefreshLayer();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(pixelAlpha(scene.layer(i).ForeWork->pixel(x, y)), 0);
    EXPECT_TRUE(scene.scenePicture() == TBitmap32(40, 30, makePixel(0, 0, 255)))
        << "level 255 is invisible";
    scene.layer(i).LayerTransparent = false;
    scene.RefreshLayer();
    EXPECT_TRUE(*scene.layer(i).ForeWork == masked)
        << "turning transparency off restores the masked alpha";
}

TEST(SceneWithoutLayers, RefreshDoesNothing) {
    Scene s;
    s.BackWork = SharedPicture(TBitmap32(4, 4, makePixel(1, 1, 1)));
    s.RefreshLayer();
    EXPECT_TRUE(s.scenePicture().empty()) << "RefreshLayer composed without a layer";
    EXPECT_EQ(s.LayerCount(), 0);
    EXPECT_FALSE(s.layer(0).visible) << "slot 0 is the hidden dummy";
}

TEST_F(SceneFixture, NewLayerTakesTheDefaultsAndDisplayedSize) {
    scene.ViewZoom = 125.0;
    TBitmap32 pic(40, 21, makePixel(1, 2, 3, 0)); // alpha is forced to 255
    const int i = scene.AddForegroundLayer(pic);
    const LayerSlot& s = scene.layer(i);
    EXPECT_EQ(s.handle, (Rect{0, 0, 50, 26})) << "26.25 rounds to 26";
    EXPECT_EQ(s.carrierWidth, 40);
    EXPECT_EQ(s.carrierHeight, 21);
    EXPECT_TRUE(s.visible);
    EXPECT_FALSE(s.LayerTransparent);
    EXPECT_EQ(s.LayerTransparence, 128);
    EXPECT_EQ(s.LayerMask, 0);
    EXPECT_EQ(pixelAlpha(s.ForeOriginal->pixel(0, 0)), 255);
    EXPECT_EQ(scene.CurrentLayer, i);
    EXPECT_EQ(scene.PanelLayer, i);
    EXPECT_EQ(scene.PointedLayer, i);
}

TEST_F(SceneFixture, NewBackgroundKeepsLayersAndDropsTheEffect) {
    const int i = addLayer(4, 4, makePixel(9, 9, 9), 2, 3);
    scene.BackWork.edit().fill(makePixel(1, 1, 1)); // a background effect in force
    TBitmap32 back(20, 10, makePixel(50, 60, 70, 3));
    scene.SetBackgroundPicture(back);
    EXPECT_EQ(pixelAlpha(scene.BackOriginal->pixel(0, 0)), 255);
    EXPECT_TRUE(*scene.BackWork == *scene.BackOriginal);
    EXPECT_EQ(scene.imgbg, (Rect{0, 0, 20, 10}));
    EXPECT_EQ(scene.layer(i).handle.left, 2);
    EXPECT_EQ(scene.scenePicture().pixel(2, 3), makePixel(9, 9, 9));
    EXPECT_EQ(scene.scenePicture().pixel(0, 0), makePixel(50, 60, 70));
}

TEST_F(SceneFixture, RegionRecompositionAfterAMoveEqualsFullComposition) {
    masks[7] = randomPicture(6, 6, 70);
    scene.FramePicture = SharedPicture(randomPicture(40, 30, 71, true));
    const int a = scene.AddForegroundLayer(randomPicture(12, 9, 72, true));
    scene.layer(a).handle.left = 10;
    const int b = scene.AddForegroundLayer(randomPicture(15, 11, 73));
    scene.layer(b).LayerMask = 7;
    scene.layer(b).LayerTransparent = true;
    scene.RefreshLayer();
    scene.layer(b).handle = {20, 12, 15, 11};
    scene.ComposeScene();
    const struct {
        int dx, dy;
    } moves[] = {{5, 0}, {-7, 3}, {30, 30}, {-60, -60}, {1, -1}, {40, 2}};
    for (const auto& m : moves) {
        const Rect before = scene.layerSceneRect(b);
        scene.layer(b).handle.left += m.dx;
        scene.layer(b).handle.top += m.dy;
        const Rect done = scene.composeRegion(before.united(scene.layerSceneRect(b)));
        EXPECT_TRUE(done == done.intersected({0, 0, 40, 30})) << "region not clipped";
        const TBitmap32 partial = scene.scenePicture();
        scene.ComposeScene();
        EXPECT_TRUE(partial == scene.scenePicture()) << "move " << m.dx << "," << m.dy;
    }
}

// Staggered piles of layers over a scene wider than the copy blocks: opaque layers, one
// see-through pixel far into an otherwise opaque row, wholly see-through layers, hidden
// layers, places beyond every edge, a background with see-through rows. Every full and
// region composition equals the literal one, and the rows said to be opaque are.
TEST(ComposeSpans, StaggeredLayersEqualTheLiteralComposition) {
    std::mt19937 rng(2024);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 12; ++round) {
        Scene scene;
        TBitmap32 background = randomPicture(230, 40, 500 + unsigned(round));
        scene.SetBackgroundPicture(background);
        if (round % 3 == 0)
            for (int x = 0; x < 230; x += 7)
                scene.BackWork.edit().setPixel(x, 5 + round,
                                               makePixel(1, 2, 3, std::uint32_t(x % 255)));
        const int layers = pick(1, 9);
        for (int k = 0; k < layers; ++k) {
            const int kind = pick(0, 3);
            TBitmap32 pic = randomPicture(pick(1, 260), pick(1, 45), rng(), kind == 3);
            if (kind == 1) // opaque but for one pixel past the first copy block
                pic.setPixel(std::min(pic.width() - 1, 100), pic.height() / 2,
                             makePixel(4, 5, 6, 30));
            const int i = scene.AddForegroundLayer(pic);
            scene.layer(i).ForeWork = SharedPicture(pic);
            scene.layer(i).handle.left = pick(-60, 220);
            scene.layer(i).handle.top = pick(-20, 35);
            scene.layer(i).visible = kind != 2 || pick(0, 1) == 1;
        }
        if (round % 4 == 1)
            scene.FramePicture = SharedPicture(randomPicture(230, 40, 900 + unsigned(round), true));
        scene.ComposeScene();
        const TBitmap32 literal = referenceCompose(scene);
        ASSERT_TRUE(scene.scenePicture() == literal) << "round " << round;
        for (int y = 0; y < 40; ++y) {
            bool opaque = true;
            for (int x = 0; x < 230; ++x)
                opaque = opaque && pixelAlpha(literal.pixel(x, y)) == 255;
            EXPECT_TRUE(!scene.rowsOpaque(y, y + 1) || opaque) << "round " << round << " row " << y;
            // Over an opaque background every row is known to be opaque.
            EXPECT_TRUE(round % 3 == 0 || scene.rowsOpaque(y, y + 1))
                << "round " << round << " row " << y;
        }
        for (int move = 0; move < 6; ++move) {
            const int i = pick(1, layers);
            const Rect before = scene.layerSceneRect(i);
            scene.layer(i).handle.left += pick(-30, 30);
            scene.layer(i).handle.top += pick(-10, 10);
            const TBitmap32 expected = referenceCompose(scene);

            // Composed onto an outside picture (a stride wider than the region, and a
            // region that may reach beyond the scene): only the scene's pixels inside
            // the region are written, the scene picture is left alone.
            const Rect region{pick(-20, 200), pick(-5, 30), pick(1, 80), pick(1, 20)};
            const std::ptrdiff_t stride = region.width + 3;
            constexpr std::uint32_t kUntouched = 0x12345678u;
            std::vector<std::uint32_t> outside(std::size_t(stride * region.height), kUntouched);
            const TBitmap32 unchanged = scene.scenePicture();
            const std::vector<int> seeThrough = scene.composeOnto(region, outside.data(), stride);
            ASSERT_TRUE(scene.scenePicture() == unchanged);
            for (int y = region.top; y < region.bottom(); ++y) {
                bool opaque = true;
                for (int x = region.left; x < region.left + stride; ++x) {
                    const bool inScene =
                        x >= 0 && x < 230 && y >= 0 && y < 40 && x < region.right();
                    const std::uint32_t got =
                        outside[std::size_t((y - region.top) * stride + x - region.left)];
                    ASSERT_EQ(got, inScene ? expected.pixel(x, y) : kUntouched)
                        << "round " << round << " move " << move << " at " << x << "," << y;
                    opaque = opaque && (!inScene || pixelAlpha(got) == 255);
                }
                const bool reported =
                    std::find(seeThrough.begin(), seeThrough.end(), y) != seeThrough.end();
                EXPECT_TRUE(opaque || reported) << "round " << round << " row " << y;
                EXPECT_FALSE(reported && round % 3 != 0) << "over an opaque background, row " << y;
            }

            scene.composeRegion(before.united(scene.layerSceneRect(i)));
            ASSERT_TRUE(scene.scenePicture() == expected) << "round " << round << " move " << move;
        }
    }
}

// A pile deeper than the span walk's nesting limit: three hundred see-through layers
// over one another, each reaching one column further than the one below.
TEST(ComposeSpans, DeepPilesOfSeeThroughLayersEqualTheLiteralComposition) {
    Scene scene;
    scene.SetBackgroundPicture(randomPicture(320, 3, 7));
    for (int k = 0; k < 300; ++k) {
        TBitmap32 pic(4 + k, 3, makePixel(k % 256, 40, 200 - k % 200, 3 + k % 5));
        if (k % 50 == 0)
            pic.fill(makePixel(9, k % 256, 9, 255));
        const int i = scene.AddForegroundLayer(pic);
        scene.layer(i).ForeWork = SharedPicture(pic);
        scene.layer(i).handle.left = k % 2 == 0 ? 0 : 1;
    }
    scene.ComposeScene();
    EXPECT_TRUE(scene.scenePicture() == referenceCompose(scene));
    EXPECT_TRUE(scene.rowsOpaque(0, 3));
}

// A scene past a megapixel is composed in bands on several threads; the bands meet
// where layers begin and end, and a region below the megapixel runs on one thread.
TEST(ComposeSpans, BandsOfALargeSceneEqualTheLiteralComposition) {
    Scene scene;
    scene.SetBackgroundPicture(randomPicture(1200, 900, 31));
    const struct {
        int w, h, left, top;
        bool seeThrough;
    } layers[] = {{1200, 900, 3, -2, false}, {700, 500, 100, 333, true}, {64, 880, 1150, 7, false}};
    for (const auto& l : layers) {
        const TBitmap32 pic = randomPicture(l.w, l.h, unsigned(l.w + l.top), l.seeThrough);
        const int i = scene.AddForegroundLayer(pic);
        scene.layer(i).ForeWork = SharedPicture(pic);
        scene.layer(i).handle.left = l.left;
        scene.layer(i).handle.top = l.top;
    }
    scene.ComposeScene();
    const TBitmap32 literal = referenceCompose(scene);
    EXPECT_TRUE(scene.scenePicture() == literal);
    scene.layer(2).handle.left -= 40;
    scene.composeRegion({0, 0, 1200, 900});
    scene.layer(2).handle.left += 40;
    scene.composeRegion({60, 333, 740, 500});
    EXPECT_TRUE(scene.scenePicture() == literal) << "moved away and back";

    TBitmap32 outside(1200, 900, 0);
    EXPECT_TRUE(scene.composeOnto({0, 0, 1200, 900}, outside.bits(), 1200).empty());
    EXPECT_TRUE(outside == literal) << "composed onto an outside picture in bands";
}

// The one-pass derivation must equal the mask step followed by touming.
TEST(DeriveLayerAlpha, EqualsMaskStepThenTouming) {
    std::map<int, TBitmap32> masks;
    masks[1] = randomPicture(9, 7, 501);
    masks[2] = TBitmap32();
    Scene s;
    s.setMaskSource(scenetest::maskSourceOf(masks));
    s.BackWork = SharedPicture(TBitmap32(8, 8, makePixel(0, 0, 0)));
    TBitmap32 pic = randomPicture(23, 17, 502, true);
    for (int k = 0; k < 17; ++k)
        pic.setPixel(k, k, CutoutColor);
    const int i = s.AddForegroundLayer(pic);
    for (int mask : {0, 1, 2, 3}) {
        for (int level : {-1, 0, 1, 128, 200, 255}) {
            LayerSlot& l = s.layer(i);
            l.ForeWork = SharedPicture(pic);
            l.LayerMask = mask;
            l.LayerTransparent = level >= 0;
            l.LayerTransparence = level < 0 ? 128 : level;
            TBitmap32 expected(pic);
            if (mask == 1)
                ApplyMask(expected, masks[1]);
            else
                ClearMask(expected);
            if (level >= 0)
                touming(expected, 255 - level);
            s.deriveLayerAlpha(i);
            EXPECT_TRUE(*l.ForeWork == expected) << "mask " << mask << " level " << level;
        }
    }
}

} // namespace
} // namespace quill
