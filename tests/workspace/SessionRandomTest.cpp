// A long seeded session of the main window's commands on small pictures: layers added,
// dragged, resized, deleted, reordered, given effects, masks, frames and rotations,
// the view zoomed, sketches and scenes added and deleted, steps undone and redone. After
// every command the document must still hold together; now and then every step is undone
// and redone, which must give back the document as it was before the first step and as
// it stands.
#include "workspace/Workspace.h"

#include "tests/workspace/SessionSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

namespace quill {
namespace {

using testing::patterned;
using testing::Session;

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSteps = 3000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSteps = 3000;
#else
constexpr int kSteps = 20000;
#endif
#else
constexpr int kSteps = 20000;
#endif
// Every this many steps, all steps are undone and redone.
constexpr int kUndoAllEvery = 400;

// BackWork, every visible layer at its place in slot order, then the frame: the scene
// picture as it would be composed from nothing.
TBitmap32 composedFromScratch(const Scene& s) {
    TBitmap32 out(*s.BackWork);
    for (int i = 1; i <= s.LayerCount(); ++i)
        if (s.layer(i).visible) {
            const Point p = s.layerPosition(i);
            s.layer(i).ForeWork->DrawOnto(p.x, p.y, out);
        }
    if (s.FramePicture && !(*s.FramePicture)->empty())
        (*s.FramePicture)->DrawOnto(0, 0, out);
    return out;
}

// The document's content, apart from what only shows it (the selection, the enabled
// states, the status label) and, when the two were kept at different zooms, the handles'
// places and sizes on the canvas: "" when the two states hold the same document.
std::string differentContent(const DocumentState& a, const DocumentState& b) {
    const bool sameZoom = a.scene.ViewZoom == b.scene.ViewZoom;
    if (a.scene.layers.size() != b.scene.layers.size())
        return "slot counts " + std::to_string(a.scene.layers.size()) + " and " +
               std::to_string(b.scene.layers.size());
    for (std::size_t i = 1; i < a.scene.layers.size(); ++i) {
        LayerSlot x = a.scene.layers[i], y = b.scene.layers[i];
        x.marked = y.marked = false;
        if (!sameZoom)
            x.handle = y.handle = Rect{};
        if (!(x == y)) {
            std::ostringstream why;
            why << "slot " << i << (x.ForeOriginal == y.ForeOriginal ? "" : " original")
                << (x.ForeWork == y.ForeWork ? "" : " work")
                << (x.thumbnail == y.thumbnail ? "" : " thumbnail")
                << (x.handle == y.handle ? "" : " handle")
                << (x.visible == y.visible ? "" : " visibility")
                << (x.LayerMask == y.LayerMask ? "" : " mask");
            return why.str();
        }
    }
    if (!(a.scene.BackOriginal == b.scene.BackOriginal && a.scene.BackWork == b.scene.BackWork &&
          a.scene.FramePicture == b.scene.FramePicture))
        return "the background or the frame";
    if (!(a.layerEffects == b.layerEffects && a.backgroundEffect == b.backgroundEffect &&
          a.frameSource == b.frameSource && a.ownMasks == b.ownMasks))
        return "the effects, the frame or the masks";
    if (a.sketches.count() != b.sketches.count() || a.albums.count() != b.albums.count())
        return "the lists";
    for (int i = 1; i <= a.sketches.count(); ++i)
        if (!(a.sketches.sharedPicture(i) == b.sketches.sharedPicture(i)))
            return "sketch " + std::to_string(i);
    for (int i = 1; i <= a.albums.count(); ++i)
        if (!(a.albums.sharedPicture(i) == b.albums.sharedPicture(i)))
            return "album scene " + std::to_string(i);
    return {};
}

// Every rule the model keeps, or a description of the first one broken.
std::string brokenInvariant(const Document& document, bool checkShown = true) {
    const Scene& s = document.scene();
    const SketchList& sketches = document.sketches();
    const AlbumList& albums = document.albums();
    std::ostringstream why;
    for (int i = 1; i <= s.LayerCount(); ++i) {
        const LayerSlot& l = s.layer(i);
        if (l.ForeWork->width() != l.ForeOriginal->width() ||
            l.ForeWork->height() != l.ForeOriginal->height())
            why << "slot " << i << ": ForeWork " << l.ForeWork->width() << "x"
                << l.ForeWork->height() << " but ForeOriginal " << l.ForeOriginal->width() << "x"
                << l.ForeOriginal->height();
        // A picture resized to no width or height is the empty picture (0 x 0) while
        // its carrier keeps the other side.
        else if (l.ForeWork->empty() ? (l.carrierWidth != 0 && l.carrierHeight != 0)
                                     : (l.carrierWidth != l.ForeWork->width() ||
                                        l.carrierHeight != l.ForeWork->height()))
            why << "slot " << i << ": carrier " << l.carrierWidth << "x" << l.carrierHeight
                << " for a picture " << l.ForeWork->width() << "x" << l.ForeWork->height();
        else if (l.handle.width != displayedSize(l.carrierWidth, s.ViewZoom) ||
                 l.handle.height != displayedSize(l.carrierHeight, s.ViewZoom))
            why << "slot " << i << ": handle " << l.handle.width << "x" << l.handle.height
                << " at zoom " << s.ViewZoom << " for a carrier " << l.carrierWidth << "x"
                << l.carrierHeight;
        else if (l.LayerMask < 0 || l.LayerMask > 36 || l.LayerTransparence < 0 ||
                 l.LayerTransparence > 255)
            why << "slot " << i << ": mask " << l.LayerMask << ", transparence "
                << l.LayerTransparence;
        if (!why.str().empty())
            return why.str();
    }
    for (int v : {s.CurrentLayer, s.PanelLayer, s.PointedLayer})
        if (v < 0 || v > s.LayerCount())
            return "a layer index " + std::to_string(v) + " beyond the " +
                   std::to_string(s.LayerCount()) + " slots";
    // The list selections keep their value when the selected picture is deleted, so
    // they may name the place just past the end, never further.
    if (sketches.selected() < 0 || sketches.selected() > sketches.count() + 1)
        return "sketch selection " + std::to_string(sketches.selected()) + " of " +
               std::to_string(sketches.count());
    if (albums.selected() < 0 || albums.selected() > albums.count() + 1)
        return "album selection " + std::to_string(albums.selected()) + " of " +
               std::to_string(albums.count());
    const TBitmap32& shown = s.scenePicture();
    if (shown.width() != s.BackWork->width() || shown.height() != s.BackWork->height())
        return "scene picture size differs from the background's";
    const TBitmap32 expected = composedFromScratch(s);
    Scene recomposed(s);
    recomposed.ComposeScene();
    if (!(recomposed.scenePicture() == expected))
        return "ComposeScene differs from a composition from nothing";
    if (checkShown && !(shown == expected))
        return "the scene picture shown differs from a composition from nothing";
    return {};
}

// Undoes every step and redoes as many: "" when the document came back to `first` (the
// document before the first step) and then to where it stood, with the scene picture it
// had. (Steps undone before are not redone: they stay for a later redo.)
std::string undoAllAndRedoAll(Workspace& w, const DocumentState& first) {
    Document& doc = w.document();
    const DocumentState now = doc.snapshot();
    const TBitmap32 shown = doc.scene().scenePicture();
    int undone = 0;
    while (w.undo())
        ++undone;
    if (std::string d = differentContent(doc.snapshot(), first); !d.empty())
        return "undoing every step: " + d;
    if (!(doc.scene().scenePicture() == composedFromScratch(doc.scene())))
        return "undoing every step: the scene picture is not the composed scene";
    for (; undone > 0; --undone)
        if (!w.redo())
            return "a step undone could not be redone";
    if (!(doc.snapshot() == now))
        return "redoing every step: " + differentContent(doc.snapshot(), now);
    if (now.scene.ViewZoom == doc.scene().ViewZoom && !(doc.scene().scenePicture() == shown))
        return "redoing every step: the scene picture differs";
    return {};
}

// Runs a session; the scene picture shown is compared with a composition from nothing
// only without zoom steps: a zoom step rounds the handles' places, which may move a
// layer by a pixel without recomposing the scene.
void runSession(std::uint32_t seed, bool zoom, int steps) {
    Session session(seed, zoom);
    const DocumentState first = session.doc().snapshot();
    int peakLayers = 0, peakSketches = 0, peakScenes = 0, peakUndo = 0;
    for (int n = 1; n <= steps; ++n) {
        std::string command;
        try {
            command = session.step();
        } catch (const std::exception& e) {
            FAIL() << "step " << n << " threw: " << e.what();
        }
        ASSERT_EQ(brokenInvariant(session.doc(), !zoom), "")
            << "after step " << n << " (" << command << ")";
        if (n % kUndoAllEvery == 0) {
            ASSERT_EQ(undoAllAndRedoAll(session.workspace(), first), "") << "at step " << n;
        }
        peakLayers = std::max(peakLayers, session.doc().scene().LayerCount());
        peakSketches = std::max(peakSketches, session.doc().sketches().count());
        peakScenes = std::max(peakScenes, session.doc().albums().count());
        peakUndo = std::max(peakUndo, session.doc().history().undoCount());
    }
    // The session did real work: layers, sketches, scenes and steps were made.
    EXPECT_GT(peakLayers, 3);
    EXPECT_GT(peakSketches, 1);
    EXPECT_GT(peakScenes, 1);
    EXPECT_GT(peakUndo, 100);
}

TEST(SessionRandom, TheDocumentHoldsTogetherThroughALongSession) {
    runSession(20261206u, true, kSteps);
}

TEST(SessionRandom, TheSceneShownIsAlwaysTheComposedScene) {
    runSession(4242u, false, kSteps / 2);
}

// A layer given an effect whose result has cut-out pixels where the untouched picture
// has none is turned: trimmed each by its own content, the two pictures would come out
// of different sizes, and removing the effect later would give a picture the size of
// neither the handle nor the carrier. Both are trimmed alike.
TEST(SessionRandom, ATurnedLayerKeepsItsTwoPicturesOneSize) {
    Workspace w;
    Document& doc = w.document();
    w.windowShown();
    doc.setBackgroundPicture(patterned(40, 30, 1));
    doc.addForegroundLayer(patterned(30, 3, 2));
    TBitmap32 result(*doc.currentOriginal());
    for (int x = 0; x < 10; ++x) // the effect cut out the left third
        for (int y = 0; y < 3; ++y)
            result.setPixel(x, y, CutoutColor);
    doc.applyEffect(*findEffect("pen-sketch"), {}, SharedPicture(std::move(result)));
    doc.rotate("-45");
    const LayerSlot& l = doc.scene().layer(1);
    EXPECT_EQ(l.ForeOriginal->width(), l.ForeWork->width());
    EXPECT_EQ(l.ForeOriginal->height(), l.ForeWork->height());
    doc.removeForegroundEffect();
    EXPECT_EQ(l.ForeWork->width(), l.carrierWidth);
    EXPECT_EQ(l.ForeWork->height(), l.carrierHeight);
}

} // namespace
} // namespace quill
