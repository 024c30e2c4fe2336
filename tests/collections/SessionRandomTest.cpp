// A long seeded session of the main window's commands on small pictures: layers added,
// dragged, resized, deleted, reordered, given effects, masks, frames and rotations,
// the view zoomed, sketches and scenes added and deleted. After every command the
// model must still hold together.
#include "collections/AlbumList.h"
#include "collections/EffectCommands.h"
#include "collections/SketchList.h"
#include "decor/MaskLibrary.h"
#include "scene/MainWindowModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

namespace quill {
namespace {

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

// A picture of w x h whose every pixel differs from its neighbours; never the cut-out
// colour.
TBitmap32 patterned(int w, int h, std::uint32_t seed) {
    TBitmap32 pic(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v =
                (seed + 97u * std::uint32_t(x) + 31u * std::uint32_t(y)) * 2654435761u;
            pic.setPixel(x, y,
                         (v | 0xFF000000u) == (CutoutColor | 0xFF000000u) ? 0xFF000000u
                                                                          : (v | 0xFF000000u));
        }
    return pic;
}

// BackWork, every visible layer at its place in slot order, then the frame: the scene
// picture as it would be composed from nothing.
TBitmap32 composedFromScratch(const Scene& s) {
    TBitmap32 out(s.BackWork);
    for (int i = 1; i <= s.LayerCount(); ++i)
        if (s.layer(i).visible) {
            const Point p = s.layerPosition(i);
            s.layer(i).ForeWork.DrawOnto(p.x, p.y, out);
        }
    if (s.FramePicture && !s.FramePicture->empty())
        s.FramePicture->DrawOnto(0, 0, out);
    return out;
}

// Every rule the model keeps, or a description of the first one broken.
std::string brokenInvariant(const MainWindowModel& model, const SketchList& sketches,
                            const AlbumList& albums, bool checkShown = true) {
    const Scene& s = model.scene();
    std::ostringstream why;
    for (int i = 1; i <= s.LayerCount(); ++i) {
        const LayerSlot& l = s.layer(i);
        if (l.ForeWork.width() != l.ForeOriginal.width() ||
            l.ForeWork.height() != l.ForeOriginal.height())
            why << "slot " << i << ": ForeWork " << l.ForeWork.width() << "x" << l.ForeWork.height()
                << " but ForeOriginal " << l.ForeOriginal.width() << "x" << l.ForeOriginal.height();
        // A picture resized to no width or height is the empty picture (0 x 0) while
        // its carrier keeps the other side.
        else if (l.ForeWork.empty() ? (l.carrierWidth != 0 && l.carrierHeight != 0)
                                    : (l.carrierWidth != l.ForeWork.width() ||
                                       l.carrierHeight != l.ForeWork.height()))
            why << "slot " << i << ": carrier " << l.carrierWidth << "x" << l.carrierHeight
                << " for a picture " << l.ForeWork.width() << "x" << l.ForeWork.height();
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
    if (shown.width() != s.BackWork.width() || shown.height() != s.BackWork.height())
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

class Session {
  public:
    Session(std::uint32_t seed, bool zoom)
        : m_rng(seed), m_zoom(zoom), m_commands(m_model, m_masks) {
        for (int k : {1, 5, 36})
            m_masks.setMask(k, patterned(9 + k % 4, 7, std::uint32_t(k)));
        m_model.windowShown();
        m_model.setBackgroundPicture(patterned(48, 36, seed));
    }

    // Runs one random command; returns its name for the failure message.
    std::string step() {
        Scene& s = m_model.scene();
        const int slots = s.LayerCount();
        const int anySlot = slots == 0 ? 0 : pick(1, slots);
        switch (pick(0, 21)) {
        case 0:
        case 1:
            if (slots >= 24)
                return "add (skipped: enough slots)";
            m_model.addForegroundLayer(patterned(pick(1, 14), pick(1, 12), m_rng()));
            return "add layer";
        case 2: { // drag a layer's handle by the left button
            if (slots == 0)
                return "drag (no layer)";
            const Rect h = s.layer(anySlot).handle;
            const int x = h.left + h.width / 2, y = h.top + h.height / 2;
            m_model.canvasPress(x, y, {true, false});
            m_model.canvasMove(x + pick(-20, 20), y + pick(-20, 20), {true, false});
            m_model.canvasRelease(x + pick(-20, 20), y + pick(-20, 20), {true, false});
            return "drag";
        }
        case 3: { // a press and release anywhere, either button
            const bool right = pick(0, 3) == 0;
            const int x = pick(-10, 70), y = pick(-10, 60);
            m_model.canvasPress(x, y, {!right, right});
            m_model.canvasMove(x + pick(-8, 8), y + pick(-8, 8), {!right, right});
            m_model.canvasRelease(x, y, {!right, right});
            return "click";
        }
        case 4: { // resize through the picture size dialog
            if (slots == 0)
                return "resize (no layer)";
            const long double fx = pick(1, 16) / 8.0L, fy = pick(1, 16) / 8.0L;
            const LayerSlot& l = s.layer(anySlot);
            if (l.ForeWork.width() * fx > 40 || l.ForeWork.height() * fy > 40)
                return "resize (skipped: too large)";
            m_model.resizeLayerBy(anySlot, fx, fy);
            return "resize layer";
        }
        case 5:
            m_model.layerPanelPress(anySlot, false);
            m_model.deleteLayer();
            return "delete layer";
        case 6:
            m_model.layerPanelPress(anySlot, pick(0, 1) == 1);
            if (pick(0, 1) == 0)
                m_model.upTheLayer();
            else
                m_model.downTheLayer();
            return "reorder";
        case 7: { // an effect's result handed back
            m_model.layerPanelPress(anySlot, false);
            const TBitmap32* original = m_commands.currentOriginal();
            if (original == nullptr)
                return "hand back (no layer)";
            TBitmap32 result(*original);
            // Like the program's effects, the result keeps the cut-out pixels (the
            // corners a rotation adds) as they are.
            for (int y = 0; y < result.height(); ++y)
                for (int x = 0; x < result.width(); ++x)
                    if (result.pixel(x, y) != CutoutColor)
                        result.setPixel(x, y, result.pixel(x, y) ^ 0x00FFFFFFu);
            m_commands.handBack(result);
            return "hand back";
        }
        case 8:
            m_commands.removeForegroundEffect();
            return "remove effect";
        case 9: {
            const auto e = static_cast<ForegroundEffect>(pick(7, kForegroundEffectCount - 1));
            m_commands.chooseForegroundEffect(e); // the effects that run in the window
            return "effect " + std::to_string(int(e));
        }
        case 10:
            m_commands.chooseMask(pick(1, 36));
            return "mask";
        case 11:
            m_commands.removeMask();
            return "remove mask";
        case 12:
            m_model.setTransparentChecked(pick(0, 1) == 1);
            m_model.setTransparenceSlider(pick(-5, 260));
            return "transparency";
        case 13:
            if (pick(0, 2) == 0)
                m_commands.removeFrame();
            else
                m_commands.chooseFrame(patterned(pick(1, 20), pick(1, 20), m_rng()));
            return "frame";
        case 14: {
            if (slots == 0 ||
                s.layer(s.PanelLayer).ForeWork.width() * s.layer(s.PanelLayer).ForeWork.height() >
                    600)
                return "rotate (skipped)";
            static const char* const angles[] = {"30",  "-45", "90", "180", "0",
                                                 "361", "abc", "",   "12.5"};
            m_commands.rotate(angles[pick(0, 8)]);
            return "rotate";
        }
        case 15:
            if (!m_zoom)
                return "zoom (not in this session)";
            if (s.ViewZoom < 400 && pick(0, 1) == 0)
                m_model.zoomIn();
            else if (s.ViewZoom > 20)
                m_model.zoomOut();
            return "zoom";
        case 16:
            m_sketches.addLayer(s, pick(-1, slots + 1));
            if (m_sketches.count() > 30) {
                m_sketches.select(1);
                m_sketches.deleteSelected();
            }
            return "add sketch";
        case 17:
            m_sketches.select(pick(0, m_sketches.count() + 1));
            m_sketches.deleteSelected();
            if (pick(0, 3) == 0 && m_sketches.hasSelection())
                m_sketches.useAsForeground(s, m_sketches.selected());
            return "delete sketch";
        case 18:
            if (m_albums.count() < 20)
                m_albums.addScene(s);
            return "add scene";
        case 19:
            m_albums.select(pick(0, m_albums.count() + 1));
            m_albums.deleteSelected();
            return "delete scene";
        case 20: {
            const auto e = static_cast<BackgroundEffect>(pick(0, kBackgroundEffectCount - 1));
            if (e == BackgroundEffect::Texture)
                m_commands.applyTexture(patterned(pick(1, 9), pick(1, 9), m_rng()));
            else
                m_commands.chooseBackgroundEffect(e);
            if (pick(0, 4) == 0)
                m_commands.restoreBackground();
            return "background effect";
        }
        default:
            if (pick(0, 9) == 0) {
                m_model.setBackgroundPicture(patterned(pick(1, 60), pick(1, 50), m_rng()));
                return "new background";
            }
            m_model.resizeBackgroundBy(pick(4, 12) / 8.0L, pick(4, 12) / 8.0L);
            if (s.BackWork.width() > 80 || s.BackWork.height() > 80)
                m_model.setBackgroundPicture(patterned(40, 30, m_rng()));
            return "resize background";
        }
    }

    const MainWindowModel& model() const { return m_model; }
    const SketchList& sketches() const { return m_sketches; }
    const AlbumList& albums() const { return m_albums; }

  private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

    std::mt19937 m_rng;
    bool m_zoom;
    MaskLibrary m_masks;
    MainWindowModel m_model;
    EffectCommands m_commands;
    SketchList m_sketches;
    AlbumList m_albums;
};

// Runs a session; the scene picture shown is compared with a composition from nothing
// only without zoom steps: a zoom step rounds the handles' places, which may move a
// layer by a pixel without recomposing the scene.
void runSession(std::uint32_t seed, bool zoom, int steps) {
    Session session(seed, zoom);
    int peakLayers = 0, peakSketches = 0, peakScenes = 0;
    for (int n = 1; n <= steps; ++n) {
        std::string command;
        try {
            command = session.step();
        } catch (const std::exception& e) {
            FAIL() << "step " << n << " threw: " << e.what();
        }
        const std::string broken =
            brokenInvariant(session.model(), session.sketches(), session.albums(), !zoom);
        ASSERT_EQ(broken, "") << "after step " << n << " (" << command << ")";
        peakLayers = std::max(peakLayers, session.model().scene().LayerCount());
        peakSketches = std::max(peakSketches, session.sketches().count());
        peakScenes = std::max(peakScenes, session.albums().count());
    }
    // The session did real work: layers, sketches and scenes were made.
    EXPECT_GT(peakLayers, 3);
    EXPECT_GT(peakSketches, 1);
    EXPECT_GT(peakScenes, 1);
}

TEST(SessionRandom, TheModelHoldsTogetherThroughALongSession) {
    runSession(20261206u, true, kSteps);
}

TEST(SessionRandom, TheSceneShownIsAlwaysTheComposedScene) {
    runSession(4242u, true, kSteps / 2);
}

// A layer given an effect whose result has cut-out pixels where the untouched picture
// has none is turned: trimmed each by its own content, the two pictures would come out
// of different sizes, and removing the effect later would give a picture the size of
// neither the handle nor the carrier. Both are trimmed alike.
TEST(SessionRandom, ATurnedLayerKeepsItsTwoPicturesOneSize) {
    MaskLibrary masks;
    MainWindowModel model;
    EffectCommands commands(model, masks);
    model.windowShown();
    model.setBackgroundPicture(patterned(40, 30, 1));
    model.addForegroundLayer(patterned(30, 3, 2));
    TBitmap32 result(*commands.currentOriginal());
    for (int x = 0; x < 10; ++x) // the effect cut out the left third
        for (int y = 0; y < 3; ++y)
            result.setPixel(x, y, CutoutColor);
    commands.handBack(result);
    commands.rotate("-45");
    const LayerSlot& l = model.scene().layer(1);
    EXPECT_EQ(l.ForeOriginal.width(), l.ForeWork.width());
    EXPECT_EQ(l.ForeOriginal.height(), l.ForeWork.height());
    commands.removeForegroundEffect();
    EXPECT_EQ(l.ForeWork.width(), l.carrierWidth);
    EXPECT_EQ(l.ForeWork.height(), l.carrierHeight);
}

} // namespace
} // namespace quill
