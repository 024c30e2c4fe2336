#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/Geometry.h"
#include "imaging/RowBlend.h"
#include "imaging/SharedPicture.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quill {

// Gives the full-size picture of mask k (1..36), or nullptr when there is none.
using MaskSource = std::function<const TBitmap32*(int k)>;

// One layer slot. A layer is its slot index; slots are never removed (deleting hides
// the handle).
struct LayerSlot {
    SharedPicture ForeOriginal; // as opened, alpha 255 (see ownShape); effects start from it
    SharedPicture ForeWork;     // the picture drawn, alpha = the layer's opacity
    Rect handle;                // the handle's place and displayed size in canvas coordinates
    int carrierWidth = 0;       // the handle carrier's pixel size (the layer's pixel size)
    int carrierHeight = 0;
    bool visible = false; // false once the layer is deleted
    bool marked = false;  // the handle shows the selection marker
    bool LayerTransparent = false;
    int LayerTransparence = 128;
    int LayerMask = 0; // 0 = no mask, 1..36 = mask picture k, past 36 a mask of its own
    // The layer keeps the shape of the picture it came from: ForeOriginal's alpha, which
    // multiplies the alpha its mask and transparency give. False: ForeOriginal is opaque
    // but for cut-out pixels, and its alpha plays no part.
    bool ownShape = false;
    SharedPicture thumbnail; // what the layer panel's entry shows

    // Equal when every value is and the same pictures are held.
    bool operator==(const LayerSlot&) const = default;
};

// The transparency step (touming) of one pixel: Round(alpha * factor / 255), halves to
// even.
int toumingAlpha(int alpha, int factor);

// Mask step without a mask: every pixel that is not CutoutColor gets alpha 255.
void ClearMask(TBitmap32& picture);

// Round(v), halves to even, held within +-2^30 so that places and sizes derived from
// it (a place plus a width, a difference of two places) stay in the int range.
int roundToCoordinate(long double v);

// Round(size * zoom / 100) in extended precision, halves to even: a displayed size.
int displayedSize(int pixels, double zoom);

// What the scene holds, without the composed picture: the part a copy of which can be
// kept and given back (the pictures are shared, not copied).
struct SceneContent {
    std::vector<LayerSlot> layers = std::vector<LayerSlot>(1); // [0] = the hidden dummy
    SharedPicture BackOriginal;
    SharedPicture BackWork;
    // Present but empty from the start; std::nullopt after the frame was removed.
    std::optional<SharedPicture> FramePicture{SharedPicture()};
    bool BackgroundSet = false;
    int CurrentLayer = 0;
    int PanelLayer = 0;
    int PointedLayer = 0;
    double ViewZoom = 100.0;
    // The scene image on the canvas: left/top 0, displayed size of the scene picture.
    Rect imgbg;

    // Equal when every value is and the same pictures are held.
    bool operator==(const SceneContent&) const = default;
};

// The scene: background, layers in slot order, the frame, and the composed picture.
class Scene : public SceneContent {
  public:
    // ---- layers -------------------------------------------------------------
    // Number of slots in use (deleted ones included); slot 0 is the dummy.
    int LayerCount() const { return int(layers.size()) - 1; }
    // Slot i, 0..LayerCount(); slot 0 is the hidden dummy.
    LayerSlot& layer(int i) { return layers.at(std::size_t(i)); }
    const LayerSlot& layer(int i) const { return layers.at(std::size_t(i)); }
    bool isLayer(int i) const { return i >= 1 && i <= LayerCount(); }
    bool isVisibleLayer(int i) const { return isLayer(i) && layer(i).visible; }

    // ---- the composed picture ------------------------------------------------
    // The composed scene picture (what the canvas shows).
    const TBitmap32& scenePicture() const { return m_scene; }
    // True when rows [top, bottom) of the scene picture are known to be opaque (every
    // alpha 255), as they are wherever the background is; then the picture may be shown
    // without its alpha. False may also mean "not known".
    bool rowsOpaque(int top, int bottom) const;

    void setMaskSource(MaskSource source) { m_maskSource = std::move(source); }

    // Takes the content back (a copy kept earlier) and composes the scene.
    void restore(const SceneContent& content);

    // While composition is held (nested holds count), ComposeScene and composeRegion only
    // note that the picture is out of date; the last release composes the whole scene
    // once. For building a scene from many commands (the same picture, composed once).
    void holdComposition() { ++m_held; }
    void releaseComposition();

    // ---- operations -----------------------------------------------------------
    // Re-derives ForeWork[CurrentLayer]'s alpha from its mask, transparency and own shape, then
    // ComposeScene. Nothing at all when LayerCount() is 0 (or CurrentLayer names no slot).
    void RefreshLayer();
    // Only the alpha derivation of RefreshLayer, on slot i, without composing. The mask
    // step: without a mask every pixel that is not CutoutColor gets alpha 255; with one,
    // the mask is resampled to the picture's size by the factors picture size / mask size
    // as ZoomInandOut does, and every pixel that is not CutoutColor gets alpha 255 - red
    // of the resampled mask at its place (rows and columns the resampled mask comes out
    // short of take its last row or column; an empty mask, or one that resamples to
    // nothing, acts as no mask). Then, with LayerTransparent, the transparency step
    // (toumingAlpha with factor 255 - LayerTransparence) on every pixel.
    void deriveLayerAlpha(int i);
    // Rebuilds the scene picture: BackWork, the visible layers in slot order, the frame.
    void ComposeScene();
    // Recomposes only the given rectangle of scene pixels (clipped to the scene);
    // returns the clipped rectangle. Equal, inside it, to a full ComposeScene.
    Rect composeRegion(const Rect& region);
    // Composes the given rectangle of scene pixels (clipped to the background) onto an
    // outside 32-bit picture instead of the scene picture, which is left as it is:
    // scene pixel (x, y) goes to bits[(y - region.top) * stride + x - region.left].
    // Returns, in order, the rows not known to have come out opaque (every row with a
    // see-through pixel is among them; over an opaque background there are none).
    std::vector<int> composeOnto(const Rect& region, std::uint32_t* bits,
                                 std::ptrdiff_t stride) const;

    // A new layer from picture (taken, alpha made 255 unless the picture's alpha is the
    // layer's own shape): slot LayerCount()+1 with handle at the canvas origin, its
    // displayed size from ViewZoom; it becomes the current, panel and pointed layer;
    // RefreshLayer. Returns the new slot.
    int AddForegroundLayer(TBitmap32 picture, bool ownShape = false);
    // The background: BackOriginal = BackWork = the picture (taken) with alpha 255; imgbg
    // sized; BackgroundSet; RefreshLayer and ComposeScene (layers and frame kept).
    void SetBackgroundPicture(TBitmap32 picture);

    // Layer i's place in scene pixels: Round((handle - imgbg) / ViewZoom * 100).
    Point layerPosition(int i) const;
    // Layer i's rectangle in scene pixels (place and ForeWork size).
    Rect layerSceneRect(int i) const;
    // Exchanges the complete state of slots a and b (pictures, handle rectangle, carrier
    // size and marker, mask, transparency) but not their visibility or thumbnails.
    void swapLayerState(int a, int b);

    // Sets imgbg's displayed size from the scene picture size and ViewZoom.
    void updateImageSize();

  private:
    class RowComposer;
    struct RowTarget;
    // Composes the rectangle r into target, in bands on several threads when it is
    // large; rowDone(y, opaque) follows each row on the thread that composed it.
    template <typename RowDone>
    void composeBands(const Rect& r, const RowTarget& target, RowDone&& rowDone) const;
    void composeRows(const Rect& r);
    // Each visible layer's place in scene pixels, by slot.
    std::vector<Point> layerPlaces() const;

    TBitmap32 m_scene;
    int m_held = 0;
    bool m_outOfDate = false;
    std::vector<std::uint8_t> m_rowOpaque; // per row of m_scene: known opaque
    MaskSource m_maskSource;
};

} // namespace quill
