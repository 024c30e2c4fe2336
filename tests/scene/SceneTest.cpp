// The scene: opacity from mask and transparency, the composition and its regions.
#include "scene/Scene.h"

#include "tests/RandomPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>

namespace quill {
namespace {

// A picture of random colours, opaque unless randomAlpha.
TBitmap32 randomPicture(int w, int h, unsigned seed, bool randomAlpha = false) {
    using testpictures::PictureAlpha;
    return testpictures::randomPicture(w, h, seed,
                                       randomAlpha ? PictureAlpha::Random : PictureAlpha::Opaque);
}

// The masks of the map, looked up at each use; a number it lacks has no mask.
MaskSource maskSourceOf(const std::map<int, TBitmap32>& masks) {
    return [&masks](int k) -> const TBitmap32* {
        auto it = masks.find(k);
        return it == masks.end() ? nullptr : &it->second;
    };
}

TEST(Touming, EqualsTheExtendedFormulaForEveryAlphaAndFactor) {
    for (int f = 0; f <= 255; ++f)
        for (int a = 0; a <= 255; ++a)
            ASSERT_EQ(toumingAlpha(a, f),
                      int(std::nearbyintl(static_cast<long double>(a) * f / 255)))
                << "alpha " << a << " factor " << f;
    // Worked levels: level -> factor 255 - level -> alpha of an opaque pixel.
    const std::pair<int, int> levels[] = {{128, 127}, {0, 255}, {255, 0}, {1, 254}, {254, 1}};
    for (auto [level, alpha] : levels)
        EXPECT_EQ(toumingAlpha(255, 255 - level), alpha) << "level " << level;
}

// The alpha derivation as written: the mask step (a copy of the mask resampled with
// ZoomInandOut, applied where both pictures have the pixel, its last row or column
// beyond; no mask, or one that resamples to nothing, gives alpha 255; cut-out pixels
// untouched), then the transparency step Round(alpha * (255 - level) / 255).
TBitmap32 literalAlpha(TBitmap32 p, const TBitmap32* mask, int level) {
    TBitmap32 m;
    if (mask && !mask->empty()) {
        m = *mask;
        ZoomInandOut(m, static_cast<long double>(p.width()) / mask->width(),
                     static_cast<long double>(p.height()) / mask->height());
    }
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            std::uint32_t v = p.pixel(x, y);
            if (v != CutoutColor) {
                const int red = m.empty() ? 0
                                          : pixelRed(m.pixel(std::min(x, m.width() - 1),
                                                             std::min(y, m.height() - 1)));
                v = (v & 0xffffffu) | std::uint32_t(255 - red) << 24;
            }
            if (level >= 0)
                v = (v & 0xffffffu) |
                    std::uint32_t(std::nearbyintl(pixelAlpha(v) * (255.0L - level) / 255)) << 24;
            p.setPixel(x, y, v);
        }
    return p;
}

// A scene of one layer over a black background whose masks are looked up in masks (which
// must outlive it).
struct OneLayer {
    explicit OneLayer(const TBitmap32& picture, const std::map<int, TBitmap32>& masks) {
        scene.setMaskSource(maskSourceOf(masks));
        scene.BackWork = SharedPicture(TBitmap32(8, 8, makePixel(0, 0, 0)));
        scene.AddForegroundLayer(picture);
    }
    // The layer's alpha derived afresh from picture, in place or, when another owner
    // holds the picture too, into a new one.
    const TBitmap32& derive(const TBitmap32& picture, int mask, int level, bool shared) {
        LayerSlot& l = scene.layer(1);
        l.ForeWork = SharedPicture(picture);
        const SharedPicture other = shared ? l.ForeWork : SharedPicture();
        l.LayerMask = mask;
        l.LayerTransparent = level >= 0;
        l.LayerTransparence = level < 0 ? 128 : level;
        scene.deriveLayerAlpha(1);
        EXPECT_TRUE(!shared || *other == picture) << "the other owner's picture changed";
        return *l.ForeWork;
    }
    Scene scene;
};

// Masks 1 (random), 2 (empty) and 3 (missing) on odd sizes, every transparency level
// kind (-1: none), cut-out pixels on the diagonal.
TEST(DeriveLayerAlpha, EqualsTheMaskStepThenTheTransparencyStep) {
    const struct {
        int pw, ph, mw, mh;
    } sizes[] = {{1, 1, 1, 1},     {2, 3, 5, 3},     {5, 3, 2, 3},     {7, 9, 3, 4},
                 {13, 26, 11, 11}, {30, 29, 21, 29}, {40, 39, 37, 38}, {300, 200, 64, 48}};
    unsigned seed = 1;
    for (const auto& s : sizes) {
        const std::map<int, TBitmap32> masks{{1, randomPicture(s.mw, s.mh, seed++)},
                                             {2, TBitmap32()}};
        TBitmap32 pic = randomPicture(s.pw, s.ph, seed++, true);
        for (int k = 0; k < std::min(s.pw, s.ph); ++k)
            pic.setPixel(k, k, CutoutColor);
        OneLayer one(pic, masks);
        for (int mask : {0, 1, 2, 3})
            for (int level : {-1, 0, 1, 128, 200, 255})
                for (bool shared : {false, true})
                    ASSERT_TRUE(one.derive(pic, mask, level, shared) ==
                                literalAlpha(pic, mask == 1 ? &masks.at(1) : nullptr, level))
                        << s.pw << "x" << s.ph << " mask " << mask << " level " << level
                        << (shared ? " shared" : "");
    }
}

TEST(DeriveLayerAlpha, ColumnsAndRowsTheResampledMaskMissesTakeItsLastOnes) {
    // 11 * (13 / 11) truncates to 12: the resampled mask is one column and one row short.
    ASSERT_EQ(zoomedSize(11, 13.0L / 11.0L), 12);
    TBitmap32 mask(11, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            mask.setPixel(x, y, makePixel(x == 10 ? 200 : (y == 10 ? 100 : 0), 0, 0, 255));
    const TBitmap32 p(13, 13, makePixel(5, 5, 5, 255));
    const std::map<int, TBitmap32> masks{{1, mask}};
    OneLayer one(p, masks);
    const TBitmap32& out = one.derive(p, 1, -1, false);
    EXPECT_EQ(pixelAlpha(out.pixel(12, 0)), 55) << "the last column from the mask's last column";
    EXPECT_EQ(pixelAlpha(out.pixel(0, 12)), 155) << "the last row from the mask's last row";
    EXPECT_EQ(pixelAlpha(out.pixel(12, 12)), 55);
    EXPECT_EQ(pixelAlpha(out.pixel(0, 0)), 255);
}

class SceneFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        scene.setMaskSource(maskSourceOf(masks));
        scene.SetBackgroundPicture(TBitmap32(40, 30, makePixel(0, 0, 255, 255)));
    }
    int addLayer(int w, int h, std::uint32_t colour) {
        return scene.AddForegroundLayer(TBitmap32(w, h, colour));
    }
    Scene scene;
    std::map<int, TBitmap32> masks;
};

TEST_F(SceneFixture, PlaceRoundsHalvesToEvenAtTheZoom) {
    const int i = addLayer(2, 2, makePixel(1, 1, 1));
    // Zoom, handle left and top, place.
    for (auto [zoom, left, top, x, y] : {std::array{100, 7, -3, 7, -3},
                                         {200, 5, 7, 2, 4},
                                         {200, -5, -7, -2, -4},
                                         {125, 10, 11, 8, 9},
                                         {50, 3, 0, 6, 0}}) {
        scene.ViewZoom = zoom;
        scene.layer(i).handle.left = left;
        scene.layer(i).handle.top = top;
        EXPECT_EQ(scene.layerPosition(i), (Point{x, y})) << zoom << " " << left << "," << top;
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

TEST_F(SceneFixture, MaskAndTransparencyAreDerivedForTheCurrentLayerOnly) {
    masks[1] = TBitmap32(5, 5, makePixel(255, 255, 255)); // pure white hides everything
    const int one = addLayer(6, 6, makePixel(10, 10, 10));
    const int two = addLayer(6, 6, makePixel(20, 20, 20));
    const TBitmap32 oneBefore = *scene.layer(one).ForeWork;
    scene.layer(one).LayerTransparent = true; // set, but layer one is not refreshed
    scene.layer(two).LayerMask = 1;
    scene.RefreshLayer();
    EXPECT_TRUE(*scene.layer(one).ForeWork == oneBefore) << "another layer's alpha changed";
    EXPECT_EQ(pixelAlpha(scene.layer(two).ForeWork->pixel(0, 0)), 0);
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
    EXPECT_TRUE(s.ForeWork.sameAs(s.ForeOriginal)) << "an opaque layer draws its own picture";
    EXPECT_EQ(scene.CurrentLayer, i);
    EXPECT_EQ(scene.PanelLayer, i);
    EXPECT_EQ(scene.PointedLayer, i);
}

TEST_F(SceneFixture, NewBackgroundKeepsLayersAndDropsTheEffect) {
    const int i = addLayer(4, 4, makePixel(9, 9, 9));
    scene.layer(i).handle.left = 2;
    scene.layer(i).handle.top = 3;
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

// The composition as written: a copy of the background, every visible layer pixel by
// pixel with BlendPixel at its place Round((handle - imgbg) / zoom * 100), then the frame.
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
    const long double z = s.ViewZoom;
    for (int i = 1; i <= s.LayerCount(); ++i)
        if (s.layer(i).visible)
            draw(*s.layer(i).ForeWork,
                 int(std::nearbyintl((s.layer(i).handle.left - s.imgbg.left) / z * 100)),
                 int(std::nearbyintl((s.layer(i).handle.top - s.imgbg.top) / z * 100)));
    if (s.FramePicture)
        draw(**s.FramePicture, 0, 0);
    return out;
}

// Staggered piles of layers over a scene wider than the copy blocks: opaque layers, one
// see-through pixel far into an otherwise opaque row, wholly see-through layers, hidden
// layers, places beyond every edge, zooms, a background with see-through rows, frames
// (one empty, as at start-up). Every full and region composition equals the literal one,
// and the rows said to be opaque are.
TEST(ComposeSpans, StaggeredLayersEqualTheLiteralComposition) {
    std::mt19937 rng(2024);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 12; ++round) {
        Scene scene;
        scene.ViewZoom = round % 5 == 2 ? 125 : round % 5 == 4 ? 80 : 100;
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
        else if (round % 4 == 3)
            scene.FramePicture = SharedPicture(TBitmap32());
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

            const Rect done = scene.composeRegion(before.united(scene.layerSceneRect(i)));
            EXPECT_EQ(done, before.united(scene.layerSceneRect(i)).intersected({0, 0, 230, 40}));
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

} // namespace
} // namespace quill
