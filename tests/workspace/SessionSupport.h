#pragma once
// A seeded random session of the main window's commands on small pictures: layers added,
// dragged, resized, deleted, reordered, given effects, masks, frames and rotations, the
// view zoomed, sketches and scenes added and deleted, steps undone and redone. Shared by
// the tests that need documents of every kind.
#include "workspace/Workspace.h"

#include <cstdint>
#include <random>
#include <string>

namespace quill::testing {

// A picture of w x h whose every pixel differs from its neighbours; never the cut-out
// colour.
inline TBitmap32 patterned(int w, int h, std::uint32_t seed) {
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

class Session {
  public:
    Session(std::uint32_t seed, bool zoom) : m_rng(seed), m_zoom(zoom) {
        for (int k : {1, 5, 36})
            m_workspace.masks().setMask(k, patterned(9 + k % 4, 7, std::uint32_t(k)));
        m_workspace.windowShown();
        doc().setBackgroundPicture(patterned(48, 36, seed));
        doc().history().clear(); // the session's steps start here
    }

    Document& doc() { return m_workspace.document(); }
    Workspace& workspace() { return m_workspace; }

    // Runs one random command; returns its name for the failure message.
    std::string step() {
        const Scene& s = doc().scene();
        const int slots = s.LayerCount();
        const int anySlot = slots == 0 ? 0 : pick(1, slots);
        CanvasGestures& canvas = m_workspace.canvas();
        switch (pick(0, 23)) {
        case 0:
        case 1:
            if (slots >= 24)
                return "add (skipped: enough slots)";
            if (pick(0, 2) == 0) { // a picture with a soft edge of its own
                TBitmap32 pic = patterned(pick(1, 14), pick(1, 12), m_rng());
                for (int y = 0; y < pic.height(); ++y)
                    for (int x = 0; x < pic.width(); ++x)
                        pic.setPixel(x, y,
                                     (pic.pixel(x, y) & 0x00ffffffu) |
                                         (std::uint32_t(pick(0, 255)) << 24));
                doc().addForegroundLayer(pic, Document::ShapeOfPicture::Kept);
                return "add shaped layer";
            }
            doc().addForegroundLayer(patterned(pick(1, 14), pick(1, 12), m_rng()));
            return "add layer";
        case 2: { // drag a layer's handle by the left button
            if (slots == 0)
                return "drag (no layer)";
            const Rect h = s.layer(anySlot).handle;
            const int x = h.left + h.width / 2, y = h.top + h.height / 2;
            canvas.press(x, y, {true, false});
            canvas.move(x + pick(-20, 20), y + pick(-20, 20), {true, false});
            canvas.release(x + pick(-20, 20), y + pick(-20, 20), {true, false});
            return "drag";
        }
        case 3: { // a press and release anywhere, either button
            const bool right = pick(0, 3) == 0;
            const int x = pick(-10, 70), y = pick(-10, 60);
            canvas.press(x, y, {!right, right});
            canvas.move(x + pick(-8, 8), y + pick(-8, 8), {!right, right});
            canvas.release(x, y, {!right, right});
            return "click";
        }
        case 4: { // resize through the picture size dialog
            if (slots == 0)
                return "resize (no layer)";
            const long double fx = pick(1, 16) / 8.0L, fy = pick(1, 16) / 8.0L;
            const LayerSlot& l = s.layer(anySlot);
            if (l.ForeWork->width() * fx > 40 || l.ForeWork->height() * fy > 40)
                return "resize (skipped: too large)";
            doc().resizeLayerBy(anySlot, fx, fy);
            return "resize layer";
        }
        case 5:
            doc().layerPanelPress(anySlot, false);
            doc().deleteLayer();
            return "delete layer";
        case 6:
            doc().layerPanelPress(anySlot, pick(0, 1) == 1);
            if (pick(0, 1) == 0)
                doc().upTheLayer();
            else
                doc().downTheLayer();
            return "reorder";
        case 7: { // a dialog's result handed back
            doc().layerPanelPress(anySlot, false);
            const TBitmap32* original = doc().currentOriginal();
            if (original == nullptr)
                return "hand back (no layer)";
            TBitmap32 result(*original);
            // Like the program's effects, the result keeps the cut-out pixels (the
            // corners a rotation adds) as they are.
            for (int y = 0; y < result.height(); ++y)
                for (int x = 0; x < result.width(); ++x)
                    if (result.pixel(x, y) != CutoutColor)
                        result.setPixel(x, y, result.pixel(x, y) ^ 0x00FFFFFFu);
            doc().applyEffect(*findEffect("pen-sketch"), {}, SharedPicture(std::move(result)));
            return "hand back";
        }
        case 8:
            doc().removeForegroundEffect();
            return "remove effect";
        case 9: { // the effects that run in the window
            static const char* const inWindow[] = {"water-color", "color-panels", "color-blocks-vh",
                                                   "color-blocks-catercorner", "brume"};
            doc().chooseEffect(*findEffect(inWindow[pick(0, 4)]));
            return "effect";
        }
        case 10:
            doc().chooseMask(pick(1, 36));
            return "mask";
        case 11:
            doc().removeMask();
            return "remove mask";
        case 12:
            doc().setTransparentChecked(pick(0, 1) == 1);
            doc().setTransparenceSlider(pick(-5, 260));
            return "transparency";
        case 13:
            if (pick(0, 2) == 0)
                doc().removeFrame();
            else
                doc().chooseFrame(patterned(pick(1, 20), pick(1, 20), m_rng()));
            return "frame";
        case 14: {
            if (slots == 0 ||
                s.layer(s.PanelLayer).ForeWork->width() * s.layer(s.PanelLayer).ForeWork->height() >
                    600)
                return "rotate (skipped)";
            static const char* const angles[] = {"30",  "-45", "90", "180", "0",
                                                 "361", "abc", "",   "12.5"};
            doc().rotate(angles[pick(0, 8)]);
            return "rotate";
        }
        case 15:
            if (!m_zoom)
                return "zoom (not in this session)";
            if (s.ViewZoom < 400 && pick(0, 1) == 0)
                m_workspace.zoomIn();
            else if (s.ViewZoom > 20)
                m_workspace.zoomOut();
            return "zoom";
        case 16:
            doc().addSketch(pick(-1, slots + 1));
            if (doc().sketches().count() > 30) {
                doc().sketchesForSelection().select(1);
                doc().deleteSelectedSketch();
            }
            return "add sketch";
        case 17:
            doc().sketchesForSelection().select(pick(0, doc().sketches().count() + 1));
            doc().deleteSelectedSketch();
            if (pick(0, 3) == 0 && doc().sketches().hasSelection())
                doc().sketchListForeground(doc().sketches().selected());
            return "delete sketch";
        case 18:
            if (doc().albums().count() < 20)
                doc().addSceneToAlbum();
            return "add scene";
        case 19:
            doc().albumsForSelection().select(pick(0, doc().albums().count() + 1));
            doc().deleteSelectedAlbumScene();
            return "delete scene";
        case 20: {
            static const char* const passes[] = {"emboss", "scorch", "vertical-stria",
                                                 "horizontal-stria", "gray"};
            if (pick(0, 5) == 0) {
                EffectSettings tile;
                tile.integers["tile-number"] = pick(1, 12);
                doc().applyEffect(*findEffect("texture"), tile);
            } else {
                doc().chooseEffect(*findEffect(passes[pick(0, 4)]));
            }
            if (pick(0, 4) == 0)
                doc().restoreBackground();
            return "background effect";
        }
        case 21:
            for (int n = pick(1, 3); n > 0; --n)
                m_workspace.undo();
            return "undo";
        case 22:
            for (int n = pick(1, 3); n > 0; --n)
                m_workspace.redo();
            return "redo";
        default:
            if (pick(0, 9) == 0) {
                doc().setBackgroundPicture(patterned(pick(1, 60), pick(1, 50), m_rng()));
                return "new background";
            }
            doc().resizeBackgroundBy(pick(4, 12) / 8.0L, pick(4, 12) / 8.0L);
            if (s.BackWork->width() > 80 || s.BackWork->height() > 80)
                doc().setBackgroundPicture(patterned(40, 30, m_rng()));
            return "resize background";
        }
    }

  private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

    std::mt19937 m_rng;
    bool m_zoom;
    Workspace m_workspace;
};

} // namespace quill::testing
