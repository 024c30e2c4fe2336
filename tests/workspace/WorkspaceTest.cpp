// The main window's working state: canvas gestures, the layer panel, zoom, layout,
// enabled states and messages.
#include "workspace/Workspace.h"

#include "tests/RandomPictures.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <vector>

namespace quill {
namespace {

constexpr Buttons kLeft{true, false};
constexpr Buttons kRight{false, true};
constexpr Buttons kNone{false, false};

const std::uint32_t kRed = makePixel(255, 0, 0), kGreen = makePixel(0, 255, 0),
                    kBlue = makePixel(0, 0, 255);

class ModelFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        m.windowShown();
        m.mainWindowResized({2, 1, 843, 668});
    }
    int add(int w, int h, std::uint32_t colour) {
        return m.document().addForegroundLayer(TBitmap32(w, h, colour));
    }
    // A click: move there, press, release.
    CanvasReply click(int x, int y, Buttons b) {
        m.canvas().move(x, y, kNone);
        m.canvas().press(x, y, b);
        return m.canvas().release(x, y, b);
    }
    // A drag from (x0, y0) to (x1, y1) with the left button, released at the end.
    CanvasReply drag(int x0, int y0, int x1, int y1) {
        m.canvas().move(x0, y0, kNone);
        m.canvas().press(x0, y0, kLeft);
        m.canvas().move(x1, y1, kLeft);
        return m.canvas().release(x1, y1, kLeft);
    }
    TBitmap32 fullComposition() const {
        Scene copy = m.scene();
        copy.ComposeScene();
        return copy.scenePicture();
    }
    // The scene, for a test that sets a handle's place or a layer's state directly.
    Scene& edit() { return m.document().sceneForGestures(); }
    Workspace m;
};

// ---- free geometry -----------------------------------------------------------------------

TEST(ResizeZones, TableOrderAndTheGapsAtTwenty) {
    const struct {
        int w, h, x, y, zone;
    } cases[] = {
        {30, 30, 15, 5, 1},
        {30, 30, 25, 5, 3},
        {30, 30, 19, 19, 1}, // a 30-wide handle has
                             // no zone 2
        {100, 100, 5, 5, 1},
        {100, 100, 50, 5, 2},
        {100, 100, 95, 5, 3},
        {100, 100, 95, 50, 4},
        {100, 100, 95, 95, 5},
        {100, 100, 50, 95, 6},
        {100, 100, 5, 95, 7},
        {100, 100, 5, 50, 8},
        {100, 100, 50, 50, 0},
        {100, 100, 20, 5, 0},
        {100, 100, 80, 5, 0},
        {100, 100, 5, 20, 0},
        {100, 100, 5, 80, 0},
        {100, 100, 50, 20, 0},
        {100, 100, 20, 50, 0},
        {100, 100, 80, 50, 0},
        {100, 100, 50, 80, 0},
        {100, 100, 81, 21, 4},
        {100, 100, 21, 79, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resizeZoneAt(c.x, c.y, c.w, c.h), c.zone)
            << c.w << "x" << c.h << " at " << c.x << "," << c.y;
    const CursorShape cursors[] = {
        CursorShape::SizeAll,  CursorShape::SizeNWSE, CursorShape::SizeNS,
        CursorShape::SizeNESW, CursorShape::SizeWE,   CursorShape::SizeNWSE,
        CursorShape::SizeNS,   CursorShape::SizeNESW, CursorShape::SizeWE};
    for (int z = 0; z <= 8; ++z)
        EXPECT_EQ(zoneCursor(z), cursors[z]) << "zone " << z;
}

TEST(SelectionMarker, CornersAndBarsOfTheMarker) {
    // In the layer's pixels: 10 x 10 corners, 4-pixel bars 3 in from each side.
    const std::vector<Rect> marker = selectionMarker(30, 25);
    const std::vector<Rect> expected = {{0, 0, 10, 10},   {20, 0, 10, 10}, {0, 15, 10, 10},
                                        {20, 15, 10, 10}, {0, 3, 30, 4},   {0, 18, 30, 4},
                                        {3, 0, 4, 25},    {23, 0, 4, 25}};
    EXPECT_EQ(marker, expected);
    EXPECT_TRUE(selectionMarker(19, 30).empty());
    EXPECT_TRUE(selectionMarker(30, 19).empty());
    EXPECT_EQ(selectionMarker(20, 20).size(), 8u);
}

TEST(CanvasFit, CentredWhenSmallerFilledWhenLarger) {
    const struct {
        int w, h, iw, ih;
        Rect expected;
    } cases[] = {
        {843, 668, 600, 450, {1, 30, 493, 408}},
        {843, 668, 200, 150, {145, 156, 205, 155}},
        {843, 668, 488, 403, {1, 30, 493, 408}}, // exactly the available area still fills it
        {843, 668, 487, 402, {1, 30, 492, 407}}, // (1 div 2) + 1 and (1 div 2) + 30
    };
    for (const auto& c : cases)
        EXPECT_EQ(canvasRectFor(c.w, c.h, c.iw, c.ih), c.expected) << c.iw << "x" << c.ih;
}

TEST(PanelPlacement, RectanglesFromTheWindowAndTheButtons) {
    const PanelLayout p = computePanelLayout({2, 1, 843, 668}, {400, 2}, {430, 2});
    EXPECT_EQ(p.foreground, Rect::fromEdges(500, 86, 653, 467));
    EXPECT_EQ(p.background, Rect::fromEdges(662, 86, 830, 467));
    EXPECT_EQ(p.photoEffects, Rect::fromEdges(8, 494, 829, 604));
    EXPECT_EQ(p.layer, Rect::fromEdges(542, 86, 617, 467));
    EXPECT_EQ(p.albumList, Rect::fromEdges(572, 86, 677, 467));
    EXPECT_EQ(p.layerListHeight, 381 - 48);
    EXPECT_EQ(p.upButtonTop, 333 + 7);
    EXPECT_EQ(p.downButtonTop, 333 + 26);
    EXPECT_EQ(p.makeAlbumTop, 333 + 9);
    EXPECT_EQ(p.foregroundNotebookHeight, 378);
    EXPECT_EQ(p.sketchStripHeight, 354);
    EXPECT_EQ(p.foregroundStripHeight, 307);
    EXPECT_EQ(p.backgroundStripHeight, 311);
    EXPECT_EQ(p.photoNotebookWidth, 819);
    EXPECT_EQ(p.frameStripWidth, 739);
    EXPECT_EQ(p.frameRemoveLeft, 749);
}

TEST(Labels, ZoomAndPercentage) {
    const struct {
        double zoom;
        const char* text;
    } zooms[] = {
        {100.0, "100.0%"}, {125.0, "125.0%"}, {156.25, "156.3%"},           {195.3125, "195.3%"},
        {64.0, "64.0%"},   {0.05, "0.1%"},    {99.99999999999999, "100.0%"}};
    for (const auto& z : zooms)
        EXPECT_EQ(zoomLabelText(z.zoom), z.text) << z.zoom;
    const struct {
        int position;
        const char* text;
    } percents[] = {{0, "0"},    {1, "0"},    {2, "1"},    {64, "25"},
                    {127, "50"}, {128, "50"}, {191, "75"}, {255, "100"}};
    for (const auto& p : percents)
        EXPECT_EQ(percentLabelText(p.position), p.text) << p.position;
}

// ---- start-up, layout and messages ------------------------------------------------------------

TEST(MainWindowStart, WhiteSceneAndDisabledSizeCommands) {
    Workspace m;
    EXPECT_EQ(m.document().publish(), kNoWorkToPublish);
    m.windowShown();
    EXPECT_EQ(m.document().publish(), "");
    EXPECT_TRUE(m.scene().scenePicture() == TBitmap32(600, 450, makePixel(255, 255, 255)));
    EXPECT_EQ(m.scene().imgbg, (Rect{0, 0, 600, 450}));
    EXPECT_EQ(m.document().zoomLabel(), "100%");
    EXPECT_FALSE(m.document().enabled().editForegroundSize);
    EXPECT_FALSE(m.document().enabled().editBackgroundSize);
    EXPECT_FALSE(m.document().enabled().toolBackgroundSize);
    EXPECT_FALSE(m.document().enabled().canvasBackgroundSize);
    EXPECT_EQ(m.document().transparency().sliderPosition, 127);
    EXPECT_EQ(m.document().transparency().percentLabel, "50");

    ResizeReply first = m.mainWindowResized({2, 1, 843, 668}, 300);
    EXPECT_EQ(first.canvas, (Rect{1, 30, 493, 408}));
    EXPECT_EQ(first.toolBarWidth, 833);
    EXPECT_EQ(first.rightGroupWidth, 501);
    EXPECT_EQ(first.statusLabel, (Point{5, 581}));
    EXPECT_TRUE(first.placePanels);
    EXPECT_TRUE(first.buildBrowsers);
    ResizeReply second = m.mainWindowResized({2, 1, 900, 700}, 300);
    EXPECT_TRUE(second.placePanels) << "every resize puts the panels back";
    EXPECT_FALSE(second.buildBrowsers) << "the browsers are built once";
    m.layout().windowClosing();
    EXPECT_FALSE(m.mainWindowResized({2, 1, 900, 700}).placePanels);
}

TEST_F(ModelFixture, UnreadablePicturesAnswerWithTheFileName) {
    const TBitmap32 empty;
    EXPECT_EQ(m.document().openForeground({}, "/pics/missing.jpg"),
              "/pics/missing.jpg is not a valid format");
    EXPECT_EQ(m.document().openForeground(empty, "/pics/a.png"),
              "/pics/a.png is not a valid format");
    EXPECT_EQ(m.document().browserForeground(empty, "/lib/b.bmp"),
              "/lib/b.bmp is not a valid format");
    EXPECT_EQ(m.document().openBackground(empty, "/pics/c.gif"),
              "/pics/c.gif is not a valid format");
    EXPECT_EQ(m.document().browserBackground({}, "/lib/d.jpg"), "/lib/d.jpg is not a valid format");
    EXPECT_EQ(m.scene().LayerCount(), 0);
    EXPECT_EQ(m.scene().BackWork->width(), 600) << "the background must not change";
    EXPECT_FALSE(m.document().enabled().editBackgroundSize);
    const TBitmap32 pic(3, 2, kRed);
    EXPECT_EQ(m.document().openForeground(pic, "/pics/ok.jpg"), "");
    EXPECT_EQ(m.scene().LayerCount(), 1);
}

TEST_F(ModelFixture, NewBackgroundEnablesItsSizeCommandsAndRefitsTheCanvas) {
    m.document().setBackgroundPicture(TBitmap32(200, 150, kBlue));
    EXPECT_TRUE(m.document().enabled().editBackgroundSize);
    EXPECT_TRUE(m.document().enabled().canvasBackgroundSize);
    EXPECT_TRUE(m.document().enabled().toolBackgroundSize);
    EXPECT_EQ(m.ScrollBox1resize(), (Rect{145, 156, 205, 155}));
}

TEST(AddingVariants, EveryWayOfAddingEnablesTheNewLayersControls) {
    const TBitmap32 pic(30, 30, kRed);
    using Add = std::function<void(Document&)>;
    const std::pair<const char*, Add> ways[] = {
        {"open dialog", [&](Document& d) { EXPECT_EQ(d.openForeground(pic, "x.jpg"), ""); }},
        {"browser", [&](Document& d) { EXPECT_EQ(d.browserForeground(pic, "x.jpg"), ""); }},
        {"sketch-list",
         [&](Document& d) {
             d.addForegroundLayer(pic);
             d.addSketch(1);
             d.releasedOnSceneImage(true); // a right click beside the layer disables
             d.setTransparentChecked(true);
             EXPECT_EQ(d.sketchListForeground(1), 2);
         }},
    };
    for (const auto& [name, add] : ways) {
        SCOPED_TRACE(name);
        Workspace m;
        m.windowShown();
        m.document().setTransparentChecked(true);
        add(m.document());
        const EnabledStates e = m.document().enabled();
        EXPECT_TRUE(e.canvasAddMeIntoSketchList && e.canvasForegroundSize && e.canvasDeleteMe &&
                    e.editForegroundSize && e.toolsAddSelectedForegroundIntoSketchList &&
                    e.rotateForeground && e.toolForegroundSize && e.angleEdit &&
                    e.transparentCheck);
        EXPECT_FALSE(m.document().transparency().checked);
        EXPECT_FALSE(e.transparenceSlider);
        EXPECT_EQ(m.document().transparency().sliderPosition, 128);
        EXPECT_EQ(m.document().transparency().percentLabel, "50");
        const int added = m.scene().LayerCount();
        EXPECT_TRUE(m.scene().layer(added).marked);
        EXPECT_TRUE(m.layerPanel().entry(added).selected);
    }
}

// A picture's own alpha is the layer's shape: 0 is cut out, the rest multiplies what the
// mask and the transparency give, and every command keeps it.
TEST(OwnShape, AlphaMultipliesMaskAndTransparencyAndEveryCommandKeepsIt) {
    using Shape = Document::ShapeOfPicture;
    // Row 0: alpha 0, 1, 127, 128, 254, 255 over distinct colours; row 1 opaque.
    const int alphas[6] = {0, 1, 127, 128, 254, 255};
    TBitmap32 read(6, 2, makePixel(10, 20, 30, 255));
    for (int x = 0; x < 6; ++x)
        read.setPixel(x, 0, makePixel(40 + x, 50, 60, alphas[x]));
    const auto alphaRow = [](const TBitmap32& p) {
        std::vector<int> a;
        for (int x = 0; x < p.width(); ++x)
            a.push_back(p.pixel(x, 0) == CutoutColor ? -1 : pixelAlpha(p.pixel(x, 0)));
        return a;
    };
    const auto adding = [&](Workspace& m, Shape shape) {
        m.windowShown();
        m.document().addForegroundLayer(read, shape);
        return &m.scene().layer(1);
    };
    {
        Workspace m;
        const LayerSlot* l = adding(m, Shape::Kept);
        EXPECT_TRUE(l->ownShape);
        EXPECT_EQ(alphaRow(*l->ForeOriginal), (std::vector<int>{-1, 1, 127, 128, 254, 255}));
        EXPECT_EQ(alphaRow(*l->ForeWork), (std::vector<int>{-1, 1, 127, 128, 254, 255}));
        const TBitmap32& scene = m.scene().scenePicture();
        EXPECT_EQ(scene.pixel(0, 0), makePixel(255, 255, 255)); // the white background
        EXPECT_EQ(scene.pixel(5, 0), makePixel(45, 50, 60));
        for (int shift : {0, 8, 16}) // half of the colour over half of the white
            EXPECT_NEAR(int(scene.pixel(3, 0) >> shift & 0xff),
                        (int(makePixel(43, 50, 60) >> shift & 0xff) + 255) / 2, 1);

        // Transparency 200 leaves 55 of 255; a mask of red 100 leaves 155.
        m.document().setTransparentChecked(true);
        m.document().setTransparenceSlider(200);
        EXPECT_EQ(alphaRow(*l->ForeWork), (std::vector<int>{-1, 0, 27, 28, 55, 55}));
        m.document().setTransparentChecked(false);
        m.document().chooseOwnMask(TBitmap32(3, 3, makePixel(100, 100, 100)));
        EXPECT_EQ(alphaRow(*l->ForeWork), (std::vector<int>{-1, 1, 77, 78, 154, 155}));
    }
    {
        Workspace m;
        const LayerSlot* l = adding(m, Shape::Ignored);
        EXPECT_FALSE(l->ownShape);
        EXPECT_EQ(alphaRow(*l->ForeWork), std::vector<int>(6, 255));
    }
    // Every command that makes new pictures of the layer carries the shape along: the
    // untouched picture keeps every soft alpha, and the drawn alpha is the shape wherever
    // it is not cut out (no mask or transparency).
    const std::pair<const char*, std::function<void(Document&)>> commands[] = {
        {"effect", [](Document& d) { d.chooseEffect(*findEffect("sharpen")); }},
        {"effect removed",
         [](Document& d) {
             d.chooseEffect(*findEffect("pop-art"));
             d.removeForegroundEffect();
         }},
        {"resize", [](Document& d) { d.resizeLayerBy(1, 3.0L, 2.0L); }},
        {"rotate", [](Document& d) { d.rotate("30"); }},
        {"sketch-list",
         [](Document& d) {
             d.chooseEffect(*findEffect("water-color"));
             d.addSketch(1);
             d.sketchListForeground(1);
         }},
    };
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        Workspace m;
        adding(m, Shape::Kept);
        run(m.document());
        const LayerSlot& l = m.scene().layer(m.scene().LayerCount());
        EXPECT_TRUE(l.ownShape);
        std::set<int> shapeAlphas;
        for (int y = 0; y < l.ForeWork->height(); ++y)
            for (int x = 0; x < l.ForeWork->width(); ++x) {
                if (l.ForeOriginal->pixel(x, y) == CutoutColor)
                    continue;
                shapeAlphas.insert(pixelAlpha(l.ForeOriginal->pixel(x, y)));
                if (l.ForeWork->pixel(x, y) != CutoutColor) {
                    ASSERT_EQ(pixelAlpha(l.ForeWork->pixel(x, y)),
                              pixelAlpha(l.ForeOriginal->pixel(x, y)))
                        << x << "," << y;
                }
            }
        EXPECT_EQ(shapeAlphas, (std::set<int>{1, 127, 128, 254, 255}));
    }
}

TEST_F(ModelFixture, SameFileTwiceGivesTwoLayersAtTheOriginAndZoomedHandles) {
    m.zoomIn();
    add(40, 20, kRed);
    add(40, 20, kGreen);
    EXPECT_EQ(m.scene().LayerCount(), 2);
    EXPECT_EQ(m.scene().layer(2).handle, (Rect{0, 0, 50, 25}));
    EXPECT_EQ(m.scene().layer(1).handle, (Rect{0, 0, 50, 25}));
    EXPECT_EQ(m.scene().CurrentLayer, 2);
    EXPECT_EQ(m.canvas().hitTest(10, 10), (CanvasTarget{CanvasTargetKind::Handle, 2}));
    EXPECT_EQ(m.scene().scenePicture().pixel(0, 0), kGreen);
}

// ---- canvas ----------------------------------------------------------------------------------

TEST_F(ModelFixture, TopmostVisibleHandleIsHit) {
    add(100, 100, kRed);
    add(50, 50, kGreen);
    edit().layer(2).handle.left = 30;
    const struct {
        int x, y;
        CanvasTarget target;
    } cases[] = {
        {40, 10, {CanvasTargetKind::Handle, 2}},       {10, 10, {CanvasTargetKind::Handle, 1}},
        {79, 49, {CanvasTargetKind::Handle, 2}},       {80, 50, {CanvasTargetKind::Handle, 1}},
        {300, 300, {CanvasTargetKind::SceneImage, 0}}, {600, 10, {CanvasTargetKind::BareCanvas, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m.canvas().hitTest(c.x, c.y), c.target) << c.x << "," << c.y;
    edit().layer(2).visible = false;
    EXPECT_EQ(m.canvas().hitTest(40, 10), (CanvasTarget{CanvasTargetKind::Handle, 1}))
        << "a deleted handle is not hit";
}

TEST_F(ModelFixture, DraggingMovesTheLayerAndRecomposesTheTouchedRegion) {
    add(100, 80, kRed);
    m.canvas().move(50, 40, kNone);
    EXPECT_FALSE(m.canvas().ResizeMode());
    m.canvas().press(50, 40, kLeft);
    EXPECT_TRUE(m.canvas().DragMode());
    CanvasReply r = m.canvas().move(55, 40, kLeft);
    EXPECT_EQ(m.scene().layer(1).handle.left, 5);
    EXPECT_EQ(r.repaint, (Rect{0, 0, 105, 80}));
    EXPECT_EQ(r.cursor, CursorShape::SizeAll);
    EXPECT_EQ(m.canvas().pendingComposition(), (Rect{0, 0, 105, 80}));
    EXPECT_TRUE(m.composedScene().scenePicture() == fullComposition());
    EXPECT_EQ(m.scene().scenePicture().pixel(2, 2), makePixel(255, 255, 255));
    EXPECT_TRUE(m.canvas().pendingComposition().empty());

    m.canvas().move(5000, 3000, kLeft);
    EXPECT_EQ(m.scene().layer(1).handle.left, 600)
        << "stops with its left edge at the scene's right edge";
    EXPECT_EQ(m.scene().layer(1).handle.top, 450);
    m.canvas().move(-5000, -3000, kLeft);
    EXPECT_EQ(m.scene().layer(1).handle.left, -5050) << "no limit to the left";
    EXPECT_EQ(m.scene().layer(1).handle.top, -3040);
    EXPECT_TRUE(m.composedScene().scenePicture() == fullComposition());
    const CanvasReply up = m.canvas().release(-5000, -3000, kLeft);
    EXPECT_FALSE(up.openCanvasMenu) << "a left release never opens the canvas menu";
    EXPECT_FALSE(m.canvas().DragMode());
}

TEST_F(ModelFixture, ResizeWithTheBottomRightZoneDoublesTheLayerAndReappliesTheMask) {
    m.masks().setMask(12, TBitmap32(7, 7, makePixel(100, 0, 0)));
    add(100, 80, kRed);
    m.document().chooseMask(12);
    m.canvas().move(95, 75, kNone);
    EXPECT_EQ(m.canvas().ResizeZone(), 5);
    m.canvas().press(95, 75, kLeft);
    EXPECT_FALSE(m.canvas().DragMode());
    CanvasReply r = m.canvas().move(195, 155, kLeft);
    EXPECT_TRUE(r.repaint.empty()) << "nothing is recomposed while resizing";
    EXPECT_EQ(m.scene().layer(1).handle, (Rect{0, 0, 200, 160}));
    m.canvas().release(195, 155, kLeft);
    const LayerSlot& s = m.scene().layer(1);
    EXPECT_EQ(s.carrierWidth, 200);
    EXPECT_EQ(s.carrierHeight, 160);
    EXPECT_EQ(s.ForeOriginal->width(), 200);
    EXPECT_EQ(s.ForeWork->height(), 160);
    EXPECT_EQ(pixelAlpha(s.ForeWork->pixel(199, 159)), 155);
    EXPECT_TRUE(m.scene().layer(1).marked);
    EXPECT_TRUE(m.scene().scenePicture() == fullComposition());
}

// Left-button gestures on a 100 x 80 layer at the origin: moves with no button (the last
// over the handle chooses the zone), the press, moves with the button held, the release.
TEST(CanvasGestures, MoveOrResizeTheLayerAsTheZoneSays) {
    struct Case {
        const char* what;
        std::vector<Point> hover;
        Point press;
        std::vector<Point> held; // the release is at the last one
        int zone;                // the zone in force before the release
        Rect handle;             // after the release
        bool handlesChanged;     // said by any reply to a held move or the release
        const char* message;
    };
    const Case cases[] = {
        {"a press with no move to it finds its own zone",
         {{95, 75}, {300, 300}},
         {50, 40},
         {{60, 40}},
         0,
         {10, 0, 100, 80},
         true,
         ""},
        {"a press beside the scene is ignored until its release",
         {{95, 40}},
         {700, 40},
         {{95, 40}, {50, 40}},
         4,
         {0, 0, 100, 80},
         false,
         ""},
        {"the left edge stops one pixel before the right",
         {{5, 40}},
         {5, 40},
         {{500, 40}},
         8,
         {99, 0, 1, 80},
         true,
         ""},
        {"the bottom edge stops one pixel below the top",
         {{50, 75}},
         {50, 75},
         {{50, -300}},
         6,
         {0, 0, 100, 1},
         true,
         ""},
        // The second move is again at 15, 15 of the handle: dx 5, dy 5. The 85 / 100
        // wide factor truncates the layer to 84 pixels, 70 / 80 is exact.
        {"the top-left corner follows the pointer",
         {{110, 110}, {10, 10}},
         {10, 10},
         {{20, 15}, {25, 20}},
         1,
         {15, 10, 84, 70},
         true,
         ""},
        {"a jump out of the zone keeps resizing",
         {{5, 40}},
         {5, 40},
         {{30, 40}},
         8,
         {25, 0, 75, 80},
         true,
         ""},
        {"a size beyond the picture limit is refused",
         {{95, 40}},
         {95, 40},
         {{95 + 20000, 40}},
         4,
         {0, 0, 100, 80},
         true,
         kPictureTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Workspace m;
        m.windowShown();
        m.mainWindowResized({2, 1, 843, 668});
        m.document().addForegroundLayer(TBitmap32(100, 80, kRed));
        for (Point p : c.hover)
            m.canvas().move(p.x, p.y, kNone);
        m.canvas().press(c.press.x, c.press.y, kLeft);
        bool changed = false;
        for (Point p : c.held)
            changed = m.canvas().move(p.x, p.y, kLeft).handlesChanged || changed;
        EXPECT_EQ(m.canvas().ResizeZone(), c.zone);
        const CanvasReply up = m.canvas().release(c.held.back().x, c.held.back().y, kLeft);
        EXPECT_EQ(up.handlesChanged || changed, c.handlesChanged);
        EXPECT_EQ(up.message, c.message);
        const LayerSlot& l = m.scene().layer(1);
        EXPECT_EQ(l.handle, c.handle);
        EXPECT_EQ(l.ForeWork->width(), c.handle.width) << "handle and layer sizes fell apart";
        EXPECT_EQ(l.ForeOriginal->height(), c.handle.height);
        EXPECT_EQ(l.carrierWidth, c.handle.width);
    }
}

TEST_F(ModelFixture, ClickInAZoneWithoutDraggingKeepsTheSize) {
    m.zoomIn(); // 37 * 1.25 = 46.25 shows as 46
    add(37, 37, kRed);
    click(2, 2, kLeft);
    EXPECT_EQ(m.scene().layer(1).carrierWidth, 37);
    EXPECT_EQ(m.scene().layer(1).ForeOriginal->width(), 37);
    EXPECT_EQ(m.scene().layer(1).handle.width, 46);
}

TEST_F(ModelFixture, CanvasMenuOpensOnARightClickThatDidNotPan) {
    add(100, 80, kRed);
    m.canvas().setScrollRange(400, 400);
    const CanvasReply plain = click(50, 40, kRight);
    EXPECT_TRUE(plain.openCanvasMenu);
    EXPECT_EQ(plain.cursor, CursorShape::Default);

    m.canvas().move(50, 40, kNone);
    const CanvasReply down = m.canvas().press(50, 40, kRight);
    EXPECT_EQ(down.cursor, CursorShape::Hand);
    EXPECT_TRUE(m.canvas().PanMode());
    const CanvasReply moved = m.canvas().move(40, 30, kRight);
    EXPECT_TRUE(moved.scrolled);
    EXPECT_EQ(m.canvas().scrollX(), 10);
    EXPECT_EQ(m.canvas().scrollY(), 10);
    EXPECT_FALSE(m.canvas().ClickWithoutPan());
    EXPECT_FALSE(m.canvas().release(40, 30, kRight).openCanvasMenu);

    // At the start of the scroll range a pan that cannot scroll still counts as a click.
    m.canvas().setScrollPosition(0, 0);
    m.canvas().move(50, 40, kNone);
    m.canvas().press(50, 40, kRight);
    m.canvas().move(60, 45, kRight);
    EXPECT_EQ(m.canvas().scrollX(), 0);
    EXPECT_TRUE(m.canvas().release(60, 45, kRight).openCanvasMenu);

    // The same on the bare scene image.
    m.canvas().press(300, 300, kRight);
    EXPECT_TRUE(m.canvas().PanBackground());
    m.canvas().move(290, 300, kRight);
    EXPECT_EQ(m.canvas().scrollX(), 10);
    EXPECT_FALSE(m.canvas().release(290, 300, kRight).openCanvasMenu);
    EXPECT_FALSE(m.canvas().PanBackground());
    EXPECT_TRUE(click(300, 300, kRight).openCanvasMenu);
}

TEST_F(ModelFixture, SelectingEnablesAndDeselectingDisablesButKeepsTheLayer) {
    add(100, 80, kRed);
    add(50, 40, kGreen);
    edit().layer(2).handle.left = 200;
    m.document().setTransparentChecked(true);
    m.document().setTransparenceSlider(200);
    click(10, 10, kLeft); // layer 1
    EnabledStates e = m.document().enabled();
    EXPECT_TRUE(e.canvasAddMeIntoSketchList && e.canvasForegroundSize && e.canvasDeleteMe &&
                e.editForegroundSize && e.toolsAddSelectedForegroundIntoSketchList &&
                e.rotateForeground && e.toolForegroundSize && e.angleEdit && e.transparentCheck);
    EXPECT_TRUE(e.upTheLayer);
    EXPECT_FALSE(e.downTheLayer);
    EXPECT_EQ(m.scene().CurrentLayer, 1);
    EXPECT_EQ(m.scene().PanelLayer, 1);
    EXPECT_FALSE(m.document().transparency().checked);
    EXPECT_TRUE(m.scene().layer(1).marked);
    EXPECT_FALSE(m.scene().layer(2).marked);
    EXPECT_TRUE(m.layerPanel().entry(1).selected);
    EXPECT_FALSE(m.layerPanel().entry(2).selected);

    click(210, 10, kLeft); // layer 2 carries its transparency to the controls
    EXPECT_TRUE(m.document().transparency().checked);
    EXPECT_TRUE(m.document().enabled().transparenceSlider);
    EXPECT_EQ(m.document().transparency().sliderPosition, 200);
    EXPECT_EQ(m.document().transparency().percentLabel, "78");

    click(400, 300, kLeft); // the bare scene
    e = m.document().enabled();
    EXPECT_FALSE(e.toolForegroundSize || e.upTheLayer || e.downTheLayer ||
                 e.toolsAddSelectedForegroundIntoSketchList || e.editForegroundSize ||
                 e.rotateForeground || e.angleEdit || e.transparentCheck);
    EXPECT_TRUE(e.canvasDeleteMe) << "only a right click on the scene disables the canvas items";
    EXPECT_FALSE(m.scene().layer(2).marked);
    EXPECT_FALSE(m.layerPanel().entry(2).selected);
    EXPECT_EQ(m.scene().CurrentLayer, 2);
    EXPECT_EQ(m.scene().PanelLayer, 2);
    EXPECT_EQ(m.scene().PointedLayer, 2);

    click(400, 300, kRight);
    e = m.document().enabled();
    EXPECT_FALSE(e.canvasAddMeIntoSketchList || e.canvasForegroundSize || e.canvasDeleteMe);
}

TEST_F(ModelFixture, TransparencyControlsDriveTheCurrentLayer) {
    add(10, 10, kRed);
    m.document().setTransparentChecked(true);
    EXPECT_TRUE(m.document().enabled().transparenceSlider);
    EXPECT_EQ(pixelAlpha(m.scene().layer(1).ForeWork->pixel(0, 0)), 127) << "level 128";
    m.document().setTransparenceSlider(255);
    EXPECT_EQ(pixelAlpha(m.scene().layer(1).ForeWork->pixel(0, 0)), 0);
    EXPECT_EQ(m.document().transparency().percentLabel, "100");
    EXPECT_EQ(m.scene().scenePicture().pixel(0, 0), makePixel(255, 255, 255));
    m.document().setTransparentChecked(false);
    EXPECT_FALSE(m.document().enabled().transparenceSlider);
    EXPECT_EQ(m.document().transparency().sliderPosition, 255);
    EXPECT_EQ(m.scene().scenePicture().pixel(0, 0), kRed);
}

TEST_F(ModelFixture, DoubleClickAddsThePointedLayerOrTheScene) {
    add(50, 50, kRed);
    add(50, 50, kGreen);
    edit().layer(2).handle.left = 100;
    m.canvas().move(110, 10, kNone);
    EXPECT_EQ(m.canvas().doubleClick(110, 10), 2);
    EXPECT_EQ(m.canvas().doubleClick(10, 10), 0) << "not the pointed layer";
    EXPECT_EQ(m.canvas().doubleClick(300, 300), -1);
    EXPECT_EQ(m.canvas().doubleClick(700, 10), 0);
}

TEST_F(ModelFixture, SizeDialogStepsResampleTheLayerOrTheBackground) {
    m.zoomIn();
    add(300, 200, kRed);
    edit().layer(1).handle.left = 40;
    EXPECT_EQ(m.document().resizeLayerBy(1, 225.0L / 300.0L, 150.0L / 200.0L), "");
    const LayerSlot& l = m.scene().layer(1);
    EXPECT_EQ(l.ForeOriginal->width(), 225);
    EXPECT_EQ(l.ForeWork->height(), 150);
    EXPECT_EQ(l.carrierWidth, 225);
    EXPECT_EQ(l.handle, (Rect{40, 0, 281, 188})) << "281.25 and 187.5 round to even";
    EXPECT_TRUE(m.scene().layer(1).marked);
    EXPECT_EQ(m.document().resizeLayerBy(1, 100.0L, 1.0L), kPictureTooLarge);
    EXPECT_EQ(l.ForeWork->width(), 225);
    EXPECT_EQ(m.document().resizeLayerBy(1, 1.0L, 1.0L / 151), kPictureTooSmall)
        << "150 / 151 rows";
    EXPECT_EQ(l.ForeWork->height(), 150);
    EXPECT_EQ(l.handle, (Rect{40, 0, 281, 188}));
    EXPECT_EQ(m.document().resizeBackgroundBy(1.0L / 601, 1.0L), kPictureTooSmall);
    EXPECT_EQ(m.scene().BackWork->width(), 600);

    m.zoomOut();
    EXPECT_EQ(m.document().resizeBackgroundBy(0.8L, 0.8L), "");
    EXPECT_EQ(m.scene().BackWork->width(), 480);
    EXPECT_EQ(m.scene().BackOriginal->height(), 360);
    EXPECT_EQ(m.scene().scenePicture().width(), 480);
    EXPECT_EQ(m.scene().imgbg, (Rect{0, 0, 480, 360}));
    EXPECT_EQ(m.ScrollBox1resize(), (Rect{(488 - 480) / 2 + 1, (403 - 360) / 2 + 30, 485, 365}));
    EXPECT_EQ(m.scene().layer(1).ForeWork->width(), 225) << "layers keep their pictures";
    EXPECT_EQ(m.scene().layer(1).handle.left, 32) << "40 at 125 % is 32 at 100 %";
}

TEST_F(ModelFixture, RotatedLayerStaysCentred) {
    add(100, 50, kRed);
    add(10, 10, kGreen);
    edit().layer(1).handle.left = 10;
    edit().layer(1).handle.top = 10;
    m.document().layerPanelPress(1, false);
    // Turned by 90 degrees, 100 x 50 becomes 48 x 100, growing by -26 columns and 25 rows
    // on each side, and keeps its centre.
    EXPECT_EQ(m.document().rotateLayer(1, 90), "");
    const LayerSlot& l = m.scene().layer(1);
    EXPECT_EQ(l.handle, (Rect{10 + 26, 10 - 25, l.carrierWidth, l.carrierHeight}));
    EXPECT_TRUE(m.scene().layer(1).marked);
    EXPECT_FALSE(m.scene().layer(2).marked);
}

// ---- layer panel -------------------------------------------------------------------------------

TEST_F(ModelFixture, EntriesNewestOnTopThirtyApart) {
    add(10, 10, kRed);
    add(10, 10, kGreen);
    add(10, 10, kBlue);
    const int afterAdd[] = {63, 33, 3};
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(m.layerPanel().entry(i).top, afterAdd[i - 1]) << "slot " << i;
    EXPECT_FALSE(m.document().layerPanelPress(2, false));
    m.document().deleteLayer();
    EXPECT_FALSE(m.layerPanel().entry(2).visible);
    EXPECT_FALSE(m.scene().layer(2).visible);
    EXPECT_EQ(m.layerPanel().entry(1).top, 33);
    EXPECT_EQ(m.layerPanel().entry(3).top, 3);
    EXPECT_FALSE(m.document().enabled().upTheLayer || m.document().enabled().downTheLayer);
    m.document().deleteLayer(); // the same slot again: nothing moves
    EXPECT_EQ(m.layerPanel().entry(1).top, 33);
    add(10, 10, kRed);
    const int afterSecondAdd[] = {63, -1, 33, 3};
    for (int i : {1, 3, 4})
        EXPECT_EQ(m.layerPanel().entry(i).top, afterSecondAdd[i - 1]) << "slot " << i;
    EXPECT_EQ(m.scene().LayerCount(), 4);
}

TEST_F(ModelFixture, PanelPressSelectsAndOffersDeleteOnlyOnAThumbnail) {
    EXPECT_FALSE(m.document().layerPanelPress(0, true)) << "no layers: nothing";
    add(10, 10, kRed);
    EXPECT_FALSE(m.document().enabled().upTheLayer || m.document().enabled().downTheLayer)
        << "one layer moves nowhere";
    add(10, 10, kGreen);
    EXPECT_TRUE(m.document().layerPanelPress(1, true));
    EXPECT_EQ(m.scene().CurrentLayer, 1);
    EXPECT_EQ(m.scene().PointedLayer, 1);
    EXPECT_TRUE(m.scene().layer(1).marked);
    EXPECT_TRUE(m.layerPanel().entry(1).selected);
    EXPECT_TRUE(m.document().enabled().upTheLayer);
    EXPECT_FALSE(m.document().enabled().downTheLayer);
    EXPECT_FALSE(m.document().layerPanelPress(0, true)) << "beside the thumbnails: no menu";
    EXPECT_EQ(m.scene().PanelLayer, 1);
}

TEST_F(ModelFixture, UpSkipsDeletedSlotsAndKeepsEachLayersLook) {
    add(20, 20, kRed);
    add(20, 20, kGreen);
    add(20, 20, kBlue);
    edit().layer(1).handle.left = 5;
    m.document().layerPanelPress(2, false);
    m.document().deleteLayer();
    m.document().layerPanelPress(1, false);
    m.document().setTransparentChecked(true);
    m.document().setTransparenceSlider(200);
    EXPECT_TRUE(m.document().enabled().upTheLayer);
    EXPECT_FALSE(m.document().enabled().downTheLayer);
    const TBitmap32 thumb1 = *m.layerPanel().entry(1).thumbnail,
                    thumb3 = *m.layerPanel().entry(3).thumbnail;
    m.document().upTheLayer();
    const Scene& s = m.scene();
    EXPECT_EQ(s.layer(3).ForeOriginal->pixel(0, 0), kRed) << "the red layer moved to slot 3";
    EXPECT_EQ(s.layer(1).ForeOriginal->pixel(0, 0), kBlue);
    EXPECT_EQ(s.layer(3).handle.left, 5) << "it stays where it was on the canvas";
    EXPECT_TRUE(s.layer(3).LayerTransparent);
    EXPECT_EQ(s.layer(3).LayerTransparence, 200);
    EXPECT_FALSE(s.layer(1).LayerTransparent);
    EXPECT_EQ(s.layer(1).LayerTransparence, 128);
    EXPECT_EQ(pixelAlpha(s.layer(1).ForeWork->pixel(0, 0)), 255)
        << "the other layer keeps its look";
    EXPECT_FALSE(s.layer(2).visible);
    EXPECT_EQ(s.PanelLayer, 3);
    EXPECT_EQ(s.CurrentLayer, 3);
    EXPECT_TRUE(m.scene().layer(3).marked);
    EXPECT_TRUE(m.layerPanel().entry(3).selected);
    EXPECT_FALSE(m.layerPanel().entry(1).selected);
    EXPECT_TRUE(*m.layerPanel().entry(3).thumbnail == thumb1);
    EXPECT_TRUE(*m.layerPanel().entry(1).thumbnail == thumb3);
    EXPECT_FALSE(m.document().enabled().upTheLayer);
    EXPECT_TRUE(m.document().enabled().downTheLayer);
    // The red layer, now above, is blended over the blue one at alpha 55.
    std::uint32_t expected = kBlue;
    TBitmap32::BlendPixel(&expected, (kRed & 0xffffffu) | (55u << 24));
    EXPECT_EQ(s.scenePicture().pixel(6, 0), expected);
    EXPECT_TRUE(s.scenePicture() == fullComposition());

    m.document().downTheLayer();
    EXPECT_EQ(m.scene().layer(1).ForeOriginal->pixel(0, 0), kRed);
    EXPECT_EQ(m.scene().PanelLayer, 1);
}

TEST_F(ModelFixture, ADeletedPanelSlotCannotBeExchanged) {
    add(20, 20, kRed);
    add(20, 20, kGreen);
    add(20, 20, kBlue);
    m.document().layerPanelPress(2, false);
    m.document().deleteLayer();
    m.document().layerPanelPress(0,
                                 false); // beside the thumbnails: the deleted slot stays selected
    EXPECT_EQ(m.scene().PanelLayer, 2);
    EXPECT_FALSE(m.document().enabled().upTheLayer);
    EXPECT_FALSE(m.document().enabled().downTheLayer);
    m.document().upTheLayer();
    m.document().downTheLayer();
    EXPECT_EQ(m.scene().layer(3).ForeOriginal->pixel(0, 0), kBlue);
    EXPECT_TRUE(m.scene().layer(3).visible);
    EXPECT_EQ(m.scene().layer(1).ForeOriginal->pixel(0, 0), kRed);
}

// ---- zoom
// ----------------------------------------------------------------------------------------

TEST_F(ModelFixture, ZoomStepsLabelsAndHandles) {
    add(101, 51, kRed);
    edit().layer(1).handle.left = 33;
    edit().layer(1).handle.top = 17;
    const TBitmap32 back = *m.scene().BackWork, fore = *m.scene().layer(1).ForeWork;
    m.zoomIn();
    EXPECT_EQ(m.document().zoomLabel(), "125.0%");
    EXPECT_EQ(m.scene().imgbg, (Rect{0, 0, 750, 562})) << "562.5 rounds to even";
    EXPECT_EQ(m.scene().layer(1).handle, (Rect{41, 21, 126, 64}));
    m.zoomOut();
    EXPECT_EQ(m.document().zoomLabel(), "100.0%");
    EXPECT_EQ(m.scene().layer(1).handle, (Rect{33, 17, 101, 51}));
    EXPECT_EQ(m.scene().layerPosition(1), (Point{33, 17}));
    for (int k = 0; k < 3; ++k)
        m.zoomIn();
    EXPECT_EQ(m.document().zoomLabel(), "195.3%");
    EXPECT_DOUBLE_EQ(m.scene().ViewZoom, 195.3125);
    EXPECT_TRUE(*m.scene().BackWork == back) << "zooming changed a picture";
    EXPECT_TRUE(*m.scene().layer(1).ForeWork == fore);
    EXPECT_EQ(m.layout().canvasRect(), (Rect{1, 30, 493, 408}));
}

TEST_F(ModelFixture, ZoomStaysInItsRange) {
    add(30, 20, kRed);
    edit().layer(1).handle.left = 7;
    for (int k = 0; k < 200; ++k)
        m.zoomOut();
    EXPECT_GE(m.scene().ViewZoom, kMinViewZoom);
    EXPECT_LT(m.scene().ViewZoom, kMinViewZoom / 0.8);
    EXPECT_EQ(m.scene().imgbg.width, 0);
    for (int k = 0; k < 400; ++k)
        m.zoomIn();
    EXPECT_LE(m.scene().ViewZoom, kMaxViewZoom);
    EXPECT_GT(m.scene().ViewZoom, kMaxViewZoom / 1.25);
    EXPECT_GT(m.scene().imgbg.width, 600 * 799);
    click(5, 5, kLeft); // still usable
    EXPECT_EQ(m.scene().CurrentLayer, 1);
}

TEST_F(ModelFixture, WheelZoomsOnlyOverTheCanvas) {
    EXPECT_FALSE(m.wheel(-120, false));
    EXPECT_EQ(m.document().zoomLabel(), "100%");
    EXPECT_TRUE(m.wheel(-120, true));
    EXPECT_EQ(m.document().zoomLabel(), "125.0%");
    EXPECT_TRUE(m.wheel(120, true));
    EXPECT_EQ(m.document().zoomLabel(), "100.0%");
    for (int k = 0; k < 5; ++k)
        m.wheel(120, true);
    // 600 * 0.8^5 = 196.608 -> 197 wide, 147.456 -> 147 high: centred.
    EXPECT_EQ(m.scene().imgbg, (Rect{0, 0, 197, 147}));
    EXPECT_EQ(m.layout().canvasRect(), (Rect{(488 - 197) / 2 + 1, (403 - 147) / 2 + 30, 202, 152}));
}

// While a layer is dragged nothing is composed: the reply names what the view must
// show anew, the old and new places wait as the pending rectangle (the canvas composes
// what it shows as it paints), and the release composes them.
TEST_F(ModelFixture, DragLeavesTheComposingToThePaintAndTheRelease) {
    m.document().setBackgroundPicture(TBitmap32(1200, 900, makePixel(10, 20, 30)));
    m.document().addForegroundLayer(testpictures::randomPicture(1000, 800, 5));
    const TBitmap32 before = m.scene().scenePicture();
    const Rect view = m.canvas().visibleSceneRect();
    ASSERT_LT(view.right(), 1000); // the canvas shows only part of the scene

    m.canvas().move(500, 400, kNone);
    m.canvas().press(500, 400, kLeft);
    const CanvasReply moved = m.canvas().move(540, 430, kLeft);
    const Rect places{0, 0, 1040, 830}; // 1000 x 800 at (0, 0) and at (40, 30)
    EXPECT_EQ(moved.repaint, places.intersected(view));
    EXPECT_EQ(m.canvas().pendingComposition(), places);
    EXPECT_EQ(m.scene().scenePicture(), before) << "the step itself composes nothing";

    const TBitmap32 expected = fullComposition();
    EXPECT_EQ(m.canvas().composePendingIn({1030, 820, 100, 100}), (Rect{1030, 820, 10, 10}));
    EXPECT_EQ(m.canvas().pendingComposition(), places)
        << "composing a part keeps the whole pending";
    for (int y = 815; y < 835; ++y)
        for (int x = 1025; x < 1045; ++x) {
            const bool composed = x >= 1030 && x < 1040 && y >= 820 && y < 830;
            ASSERT_EQ(m.scene().scenePicture().pixel(x, y),
                      (composed ? expected : before).pixel(x, y))
                << x << "," << y;
        }

    const CanvasReply released = m.canvas().release(540, 430, kLeft);
    EXPECT_EQ(released.repaint, places);
    EXPECT_TRUE(m.canvas().pendingComposition().empty());
    EXPECT_EQ(m.scene().scenePicture(), expected);
}

} // namespace
} // namespace quill
