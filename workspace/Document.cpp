#include "workspace/Document.h"

#include "decor/Frame.h"
#include "decor/Rotation.h"
#include "imaging/Limits.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <utility>

namespace quill {

namespace {

constexpr int kThumbWidth = 36, kThumbHeight = 21; // a layer panel entry's picture
constexpr std::uint32_t kWhite = 0xffffffffu;
bool hasOwnShape(const TBitmap32& picture) {
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint32_t* in = picture.row32(y);
        for (int x = 0; x < picture.width(); ++x)
            if (pixelAlpha(in[x]) != 255)
                return true;
    }
    return false;
}

// The colours of one picture with the alpha of another of the same size as a layer's
// untouched picture: a pixel of alpha 0 becomes CutoutColor, which no effect, mask or
// transparency makes visible again.
TBitmap32 withOwnShape(const TBitmap32& colours, const TBitmap32& shape) {
    TBitmap32 out = TBitmap32::uninitialized(colours.width(), colours.height());
    for (int y = 0; y < colours.height(); ++y) {
        const std::uint32_t* in = colours.row32(y);
        const std::uint32_t* alpha = shape.row32(y);
        std::uint32_t* row = out.row32(y);
        for (int x = 0; x < colours.width(); ++x)
            row[x] = (alpha[x] >> 24) == 0 ? CutoutColor
                                           : (in[x] & 0x00ffffffu) | (alpha[x] & 0xff000000u);
    }
    return out;
}

// A new layer's untouched picture keeps a shape of its own when shape (a picture of the
// same size, possibly the picture itself) has see-through parts: the picture then takes
// shape's alpha. Returns whether it did.
bool takeOwnShape(TBitmap32& picture, const TBitmap32* shape) {
    if (!shape || shape->width() != picture.width() || shape->height() != picture.height() ||
        !hasOwnShape(*shape))
        return false;
    picture = withOwnShape(picture, *shape);
    return true;
}

// The layer panel's picture of a layer: stretched to 36 x 21; a half pixel more in the
// factor keeps the truncation from coming out one short.
SharedPicture entryThumbnail(const TBitmap32& picture) {
    if (picture.empty())
        return {};
    TBitmap32 thumbnail = picture;
    ZoomInandOut(thumbnail, (kThumbWidth + 0.5L) / picture.width(),
                 (kThumbHeight + 0.5L) / picture.height());
    return SharedPicture(std::move(thumbnail));
}

// Why the pictures of one resize step cannot all be resampled by (fx, fy), or "".
// An empty picture stays empty and is no reason.
std::string resizeRefusal(std::initializer_list<std::pair<int, int>> sizes, long double fx,
                          long double fy) {
    for (const auto& [w, h] : sizes) {
        if (w <= 0 || h <= 0)
            continue;
        const int nw = zoomedSize(w, fx), nh = zoomedSize(h, fy);
        if (nw <= 0 || nh <= 0)
            return kPictureTooSmall;
        if (!pictureSizeAllowed(nw, nh))
            return kPictureTooLarge;
    }
    return {};
}

// The picture resampled by (fx, fy); a picture shared with `same` is resampled once.
void resample(SharedPicture& picture, long double fx, long double fy) {
    if (!picture->empty())
        ZoomInandOut(picture.edit(), fx, fy);
}

} // namespace

std::string openingMessage(const std::string& readerMessage, const std::string& refusal) {
    if (!refusal.empty() && readerMessage.empty())
        return refusal;
    return readerMessage;
}

std::string zoomLabelText(double zoom) {
    // A double times 10 is exact in long double (53 + 4 bits fit the 64-bit mantissa), so
    // roundl rounds the exact value to one decimal, halves away from zero as the "0.0"
    // pattern does: 156.25 shows as 156.3.
    const long double tenths = std::roundl(static_cast<long double>(zoom) * 10.0L);
    const long long t = static_cast<long long>(tenths);
    const long long a = t < 0 ? -t : t;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%lld.%lld%%", t < 0 ? "-" : "", a / 10, a % 10);
    return buf;
}

std::string percentLabelText(int position) {
    return std::to_string(roundHalfEven(static_cast<long double>(position) / 255.0L * 100.0L));
}

// ---- the document and its history ------------------------------------------------------

Document::Document(const MaskLibrary& masks, ProgramRandom& random)
    : m_masks(masks), m_random(random) {
    m_scene.setMaskSource([this](int k) { return maskPicture(k); });
}

const TBitmap32* Document::maskPicture(int k) const {
    if (k >= 1 && k <= kMaskCount)
        return m_masks.mask(k);
    const auto it = m_state.ownMasks.find(k);
    return it == m_state.ownMasks.end() || it->second->empty() ? nullptr : &*it->second;
}

DocumentState Document::snapshot() const {
    DocumentState s = m_state;
    s.scene = m_scene;
    return s;
}

EnabledStates Document::enabled() const {
    EnabledStates e = m_state.enabled;
    const bool panelLayer = m_scene.isVisibleLayer(m_scene.PanelLayer);
    e.canvasDeleteMe = e.canvasDeleteMe && panelLayer;
    e.layerMenuDelete = panelLayer;
    return e;
}

const std::optional<AppliedEffect>& Document::layerEffect(int slot) const {
    static const std::optional<AppliedEffect> none;
    return slot >= 1 && slot < int(m_state.layerEffects.size())
               ? m_state.layerEffects[std::size_t(slot)]
               : none;
}

std::optional<AppliedEffect>& Document::effectOf(int slot) {
    if (int(m_state.layerEffects.size()) <= m_scene.LayerCount())
        m_state.layerEffects.resize(std::size_t(m_scene.LayerCount()) + 1);
    return m_state.layerEffects.at(std::size_t(slot));
}

Document::Step::Step(Document& document, std::string name, std::string mergeKey)
    : m_document(document), m_outer(document.m_stepDepth == 0) {
    if (m_outer)
        document.beginStep(std::move(name), std::move(mergeKey));
    ++document.m_stepDepth;
}

Document::Step::~Step() {
    if (--m_document.m_stepDepth == 0)
        m_document.endStep();
}

void Document::beginStep(std::string name, std::string mergeKey) {
    m_stepName = std::move(name);
    m_stepKey = std::move(mergeKey);
    // A step that joins the last one needs no state of its own: the history holds the
    // state before the first of them, and the pictures this step changes are the
    // document's alone, so they change in place.
    if (!m_history.enabled() || m_history.wouldMerge(m_stepKey))
        m_before.reset();
    else
        m_before = snapshot();
}

void Document::endStep() {
    DocumentState now = snapshot();
    if (m_before && !(now == *m_before))
        m_history.record(m_stepName, m_stepKey, std::move(*m_before), now);
    m_before.reset();
}

void Document::restore(const DocumentState& state) {
    SceneContent content = state.scene;
    // The view stays as it is: a state kept at another zoom has its handles carried to
    // the present zoom as a zoom step carries them.
    if (content.ViewZoom != m_scene.ViewZoom) {
        const long double f =
            static_cast<long double>(m_scene.ViewZoom) / static_cast<long double>(content.ViewZoom);
        for (std::size_t i = 1; i < content.layers.size(); ++i) {
            Rect& h = content.layers[i].handle;
            h.left = roundToCoordinate(h.left * f);
            h.top = roundToCoordinate(h.top * f);
            h.width = displayedSize(content.layers[i].carrierWidth, m_scene.ViewZoom);
            h.height = displayedSize(content.layers[i].carrierHeight, m_scene.ViewZoom);
        }
        content.ViewZoom = m_scene.ViewZoom;
    }
    m_state = state;
    m_state.scene = SceneContent();
    m_scene.restore(content);
    m_scene.updateImageSize();
}

bool Document::undo() {
    std::optional<DocumentState> before = m_history.undo(snapshot());
    if (!before)
        return false;
    restore(*before);
    return true;
}

bool Document::redo() {
    std::optional<DocumentState> after = m_history.redo(snapshot());
    if (!after)
        return false;
    restore(*after);
    return true;
}

void Document::load(DocumentState state) {
    m_history.clear();
    m_scene.ViewZoom = state.scene.ViewZoom;
    m_zoomLabel = state.scene.ViewZoom == 100.0 ? "100%" : zoomLabelText(state.scene.ViewZoom);
    restore(state);
    markSaved();
}

// ---- start-up and adding pictures --------------------------------------------------------

void Document::windowShown() {
    m_scene.BackOriginal = SharedPicture(TBitmap32(600, 450, kWhite));
    m_scene.BackWork = m_scene.BackOriginal;
    m_scene.updateImageSize();
    m_scene.BackgroundSet = true;
    m_scene.ComposeScene();
}

int Document::addForegroundCommon(TBitmap32 picture, bool ownShape) {
    Step step(*this, "Add Foreground");
    const int i = m_scene.AddForegroundLayer(std::move(picture), ownShape);
    effectOf(i).reset();
    LayerSlot& slot = m_scene.layer(i);
    m_state.transparency.checked = false;
    m_state.enabled.transparenceSlider = false;
    m_state.transparency.sliderPosition = 128;
    m_state.transparency.percentLabel = percentLabelText(128);
    slot.thumbnail = entryThumbnail(*slot.ForeOriginal);
    markOnly(i);
    selectEntry(i);
    UpandDownCan(i);
    // The new layer is drawn selected, so whichever way it came (open dialog, browser,
    // sketch-list, a scene description) its controls are enabled as a click on it would.
    enableSelectedLayerControls();
    return i;
}

void Document::enableSelectedLayerControls() {
    EnabledStates& e = m_state.enabled;
    e.canvasAddMeIntoSketchList = true;
    e.canvasForegroundSize = true;
    e.canvasDeleteMe = true;
    e.editForegroundSize = true;
    e.toolsAddSelectedForegroundIntoSketchList = true;
    e.rotateForeground = true;
    e.toolForegroundSize = true;
    e.angleEdit = true;
    e.transparentCheck = true;
}

int Document::addForegroundLayer(TBitmap32 picture, ShapeOfPicture shape) {
    const bool own = shape == ShapeOfPicture::Kept && takeOwnShape(picture, &picture);
    return addForegroundCommon(std::move(picture), own);
}

std::string Document::openForeground(TBitmap32 picture, const std::string& fileName,
                                     ShapeOfPicture shape) {
    if (picture.width() < 1)
        return fileName + kNotAValidFormat;
    addForegroundLayer(std::move(picture), shape);
    return {};
}

void Document::foregroundBrowserDoubleClicked() {
    m_state.enabled.toolForegroundSize = true;
}

std::string Document::browserForeground(TBitmap32 picture, const std::string& fileName,
                                        ShapeOfPicture shape) {
    foregroundBrowserDoubleClicked();
    return openForeground(std::move(picture), fileName, shape);
}

int Document::sketchListForeground(int i) {
    if (i < 1 || i > m_state.sketches.count())
        return 0;
    // A sketch of a layer with a shape of its own keeps that shape, not the mask or
    // transparency it was drawn with.
    const SharedPicture sketch = m_state.sketches.sharedPicture(i);
    const SharedPicture shape = m_state.sketches.sharedShape(i);
    TBitmap32 picture = *sketch;
    const bool own = takeOwnShape(picture, shape->empty() ? nullptr : &*shape);
    return addForegroundCommon(std::move(picture), own);
}

void Document::setBackgroundPicture(TBitmap32 picture) {
    Step step(*this, "Open Background");
    // Composed once, with the frame fitted to the new background.
    m_scene.holdComposition();
    m_scene.SetBackgroundPicture(std::move(picture));
    m_state.backgroundEffect.reset();
    fitFrame();
    m_scene.releaseComposition();
    EnabledStates& e = m_state.enabled;
    e.editBackgroundSize = true;
    e.canvasBackgroundSize = true;
    e.toolBackgroundSize = true;
}

std::string Document::openBackground(TBitmap32 picture, const std::string& fileName) {
    if (picture.width() < 1)
        return fileName + kNotAValidFormat;
    setBackgroundPicture(std::move(picture));
    return {};
}

std::string Document::browserBackground(TBitmap32 picture, const std::string& fileName) {
    // The same test as "Open a new background": an unreadable library file would
    // otherwise leave the scene without any background.
    return openBackground(std::move(picture), fileName);
}

std::string Document::publish() const {
    return m_scene.BackgroundSet ? std::string() : std::string(kNoWorkToPublish);
}

// ---- transparency ---------------------------------------------------------------------------

void Document::loadTransparencyFrom(int i) {
    if (!m_scene.isLayer(i))
        return;
    const LayerSlot& s = m_scene.layer(i);
    m_state.transparency.checked = s.LayerTransparent;
    m_state.enabled.transparenceSlider = s.LayerTransparent;
    m_state.transparency.sliderPosition = s.LayerTransparence;
    m_state.transparency.percentLabel = percentLabelText(s.LayerTransparence);
}

void Document::setTransparentChecked(bool checked) {
    Step step(*this, "Transparent");
    m_state.transparency.checked = checked;
    m_state.enabled.transparenceSlider = checked;
    const int cur = m_scene.CurrentLayer;
    if (!m_scene.isLayer(cur))
        return;
    LayerSlot& s = m_scene.layer(cur);
    s.LayerTransparent = checked;
    m_state.transparency.sliderPosition = s.LayerTransparence;
    m_state.transparency.percentLabel = percentLabelText(s.LayerTransparence);
    m_scene.RefreshLayer();
}

void Document::setTransparenceSlider(int position) {
    // A slider's run of moves on one layer is one step.
    Step step(*this, "Transparence", "transparence " + std::to_string(m_scene.CurrentLayer));
    position = clampByte(position);
    m_state.transparency.sliderPosition = position;
    m_state.transparency.percentLabel = percentLabelText(position);
    const int cur = m_scene.CurrentLayer;
    if (!m_scene.isLayer(cur))
        return;
    m_scene.layer(cur).LayerTransparence = position;
    m_scene.RefreshLayer();
}

// ---- markers and the layer panel ------------------------------------------------------------

void Document::clearAllMarks() {
    for (LayerSlot& slot : m_scene.layers)
        slot.marked = false;
}

void Document::markOnly(int i) {
    clearAllMarks();
    if (m_scene.isLayer(i))
        m_scene.layer(i).marked = true;
}

void Document::UpandDownCan(int p) {
    const int n = m_scene.LayerCount();
    bool up = false, down = false;
    // A deleted slot moves nowhere: exchanging it would bring the deleted layer back
    // in place of a live one.
    if (m_scene.isVisibleLayer(p)) {
        for (int j = p + 1; j <= n && !up; ++j)
            up = m_scene.layer(j).visible;
        for (int j = 1; j < p && !down; ++j)
            down = m_scene.layer(j).visible;
    }
    m_state.enabled.upTheLayer = up;
    m_state.enabled.downTheLayer = down;
}

void Document::swiftlayer(int a, int b) {
    if (!m_scene.isLayer(a) || !m_scene.isLayer(b) || a == b)
        return;
    m_scene.swapLayerState(a, b);
    std::swap(effectOf(a), effectOf(b));
}

void Document::adjustlayer(int a, int b) {
    if (!m_scene.isLayer(a) || !m_scene.isLayer(b) || a == b)
        return;
    std::swap(m_scene.layer(a).thumbnail, m_scene.layer(b).thumbnail);
}

bool Document::layerPanelPress(int slot, bool rightButton) {
    Scene& s = m_scene;
    if (s.LayerCount() == 0)
        return false;
    const bool onThumbnail = s.isVisibleLayer(slot);
    if (onThumbnail)
        s.PanelLayer = slot;
    s.PointedLayer = s.PanelLayer;
    s.CurrentLayer = s.PanelLayer;
    markOnly(s.PointedLayer);
    UpandDownCan(s.PanelLayer);
    selectEntry(s.isLayer(s.PanelLayer) ? s.PanelLayer : 0);
    EnabledStates& e = m_state.enabled;
    e.canvasAddMeIntoSketchList = true;
    e.canvasForegroundSize = true;
    e.canvasDeleteMe = true;
    e.editForegroundSize = true;
    e.toolsAddSelectedForegroundIntoSketchList = true;
    e.rotateForeground = true;
    e.angleEdit = true;
    loadTransparencyFrom(s.CurrentLayer);
    return rightButton && onThumbnail;
}

void Document::upTheLayer() {
    Step step(*this, "Up the Layer");
    moveLayerBy(+1);
}

void Document::downTheLayer() {
    Step step(*this, "Down the Layer");
    moveLayerBy(-1);
}

// "Up the layer" (step +1) and "Down the layer" (step -1): the panel layer exchanges its
// state with the nearest visible slot in that direction.
void Document::moveLayerBy(int step) {
    Scene& s = m_scene;
    const int p = s.PanelLayer;
    if (!s.isVisibleLayer(p))
        return;
    int j = p + step;
    while (s.isLayer(j) && !s.layer(j).visible)
        j += step;
    if (!s.isLayer(j))
        return;
    swiftlayer(p, j);
    adjustlayer(p, j);
    s.PanelLayer = j;
    s.CurrentLayer = j;
    s.RefreshLayer();
    UpandDownCan(j);
    selectEntry(j);
}

void Document::deleteLayer() {
    Step step(*this, "Delete Layer");
    Scene& s = m_scene;
    const int p = s.PanelLayer;
    // Deleting a slot that is already hidden would move the other entries up again.
    if (!s.isVisibleLayer(p))
        return;
    s.layer(p).visible = false;
    s.ComposeScene();
    m_state.enabled.upTheLayer = false;
    m_state.enabled.downTheLayer = false;
}

// ---- the canvas -----------------------------------------------------------------------------

void Document::selectPointedLayer() {
    Scene& s = m_scene;
    enableSelectedLayerControls();
    s.CurrentLayer = s.PointedLayer;
    loadTransparencyFrom(s.CurrentLayer);
    markOnly(s.PointedLayer);
    s.PanelLayer = s.PointedLayer;
    UpandDownCan(s.PanelLayer);
    selectEntry(s.isLayer(s.PanelLayer) ? s.PanelLayer : 0);
}

void Document::releasedOnSceneImage(bool rightButton) {
    EnabledStates& e = m_state.enabled;
    if (rightButton) {
        e.canvasAddMeIntoSketchList = false;
        e.canvasForegroundSize = false;
        e.canvasDeleteMe = false;
        e.editForegroundSize = false;
        e.toolsAddSelectedForegroundIntoSketchList = false;
        e.transparentCheck = false;
    }
    if (m_scene.LayerCount() > 0) {
        clearAllMarks();
        selectEntry(0);
        e.toolForegroundSize = false;
        e.upTheLayer = false;
        e.downTheLayer = false;
        e.toolsAddSelectedForegroundIntoSketchList = false;
        e.editForegroundSize = false;
        e.rotateForeground = false;
        e.angleEdit = false;
        e.transparentCheck = false;
    }
}

void Document::layerMoved(int slot, const Rect& before) {
    if (!m_scene.isLayer(slot) || m_scene.layer(slot).handle == before)
        return;
    // The step's state before it is the handle where the drag found it.
    const Rect after = m_scene.layer(slot).handle;
    m_scene.layer(slot).handle = before;
    Step step(*this, "Move Layer");
    m_scene.layer(slot).handle = after;
}

void Document::moveLayerTo(int slot, int x, int y) {
    if (!m_scene.isLayer(slot))
        return;
    Step step(*this, "Move Layer");
    Rect& h = m_scene.layer(slot).handle;
    h.left = m_scene.imgbg.left + displayedSize(x, m_scene.ViewZoom);
    h.top = m_scene.imgbg.top + displayedSize(y, m_scene.ViewZoom);
    m_scene.ComposeScene();
}

std::string Document::resizeLayerToHandle(int L, const Rect& before) {
    Scene& s = m_scene;
    if (!s.isLayer(L))
        return {};
    LayerSlot& slot = s.layer(L);
    const Rect dragged = slot.handle;
    slot.handle = before;
    Step step(*this, "Resize Layer");
    slot.handle = dragged;
    slot.marked = false;
    const double zoom = s.ViewZoom;
    const int cw = slot.carrierWidth, ch = slot.carrierHeight;
    // A side whose displayed size did not change keeps its pixel size: the factor
    // handle / (carrier * zoom / 100) of an unchanged, rounded handle would otherwise
    // truncate it one pixel short at most zooms, so a mere click shrank the layer.
    long double wf =
        slot.handle.width == displayedSize(cw, zoom)
            ? 1.0L
            : static_cast<long double>(double(slot.handle.width) / (double(cw) * zoom / 100.0));
    long double hf =
        slot.handle.height == displayedSize(ch, zoom)
            ? 1.0L
            : static_cast<long double>(double(slot.handle.height) / (double(ch) * zoom / 100.0));
    if (cw > 0 && zoomedSize(cw, wf) < 1)
        wf = 1.5L / cw; // the smallest layer is one pixel wide
    if (ch > 0 && zoomedSize(ch, hf) < 1)
        hf = 1.5L / ch;
    const int nw = zoomedSize(cw, wf), nh = zoomedSize(ch, hf);
    const bool fits =
        pictureSizeAllowed(nw, nh) && pictureSizeAllowed(zoomedSize(slot.ForeWork->width(), wf),
                                                         zoomedSize(slot.ForeWork->height(), hf));
    if (!fits) {
        slot.handle.width = displayedSize(cw, zoom);
        slot.handle.height = displayedSize(ch, zoom);
        slot.marked = true;
        return kPictureTooLarge;
    }
    slot.carrierWidth = nw;
    slot.carrierHeight = nh;
    slot.handle.width = displayedSize(nw, zoom);
    slot.handle.height = displayedSize(nh, zoom);
    if (wf != 1.0L || hf != 1.0L) {
        resample(slot.ForeOriginal, wf, hf);
        resample(slot.ForeWork, wf, hf);
    }
    const int saved = s.CurrentLayer;
    s.CurrentLayer = L;
    s.RefreshLayer();
    s.CurrentLayer = saved;
    slot.marked = true;
    return {};
}

// ---- zoom -----------------------------------------------------------------------------------

void Document::zoomStep(long double f) {
    Scene& s = m_scene;
    const double next = static_cast<double>(s.ViewZoom * f);
    // Far beyond any useful scale the canvas coordinates would leave the integer range
    // (and at zero every place would divide by zero): the step is not taken.
    if (next > kMaxViewZoom || next < kMinViewZoom)
        return;
    s.ViewZoom = next;
    m_zoomLabel = zoomLabelText(s.ViewZoom);
    s.updateImageSize();
    const long double il = s.imgbg.left, it = s.imgbg.top;
    Rect moved;
    for (int i = 1; i <= s.LayerCount(); ++i) {
        LayerSlot& l = s.layer(i);
        const Rect before = s.layerSceneRect(i);
        l.handle.left = roundToCoordinate(il + (l.handle.left - il) * f);
        l.handle.top = roundToCoordinate(it + (l.handle.top - it) * f);
        l.handle.width = displayedSize(l.carrierWidth, s.ViewZoom);
        l.handle.height = displayedSize(l.carrierHeight, s.ViewZoom);
        // The rounding of a handle's place can move its layer by a scene pixel; the
        // scene shown must follow the places the composition reads.
        const Rect after = s.layerSceneRect(i);
        if (l.visible && !(before == after))
            moved = moved.united(before).united(after);
    }
    if (!moved.empty())
        s.composeRegion(moved);
}

void Document::imgzoomin() {
    zoomStep(1.25L);
}

void Document::imgzoomout() {
    zoomStep(0.8L);
}

// ---- sizes and rotation -----------------------------------------------------------------------

std::string Document::resizeLayerBy(int slot, long double fx, long double fy) {
    Scene& s = m_scene;
    if (!s.isLayer(slot) || !(fx > 0) || !(fy > 0))
        return {};
    LayerSlot& l = s.layer(slot);
    const std::string refused = resizeRefusal({{l.carrierWidth, l.carrierHeight},
                                               {l.ForeOriginal->width(), l.ForeOriginal->height()},
                                               {l.ForeWork->width(), l.ForeWork->height()}},
                                              fx, fy);
    if (!refused.empty())
        return refused;
    Step step(*this, "Foreground Size");
    l.marked = false;
    if (l.carrierWidth > 0 && l.carrierHeight > 0) {
        l.carrierWidth = zoomedSize(l.carrierWidth, fx);
        l.carrierHeight = zoomedSize(l.carrierHeight, fy);
    }
    l.handle.width = displayedSize(l.carrierWidth, s.ViewZoom);
    l.handle.height = displayedSize(l.carrierHeight, s.ViewZoom);
    resample(l.ForeOriginal, fx, fy);
    resample(l.ForeWork, fx, fy);
    // The resized layer's alpha comes again from its own mask at the new size, whichever
    // layer is current (the dialog works on the panel layer).
    s.deriveLayerAlpha(slot);
    s.ComposeScene();
    l.marked = true;
    return {};
}

std::string Document::resizeBackgroundBy(long double fx, long double fy) {
    Scene& s = m_scene;
    if (!(fx > 0) || !(fy > 0))
        return {};
    const std::string refused = resizeRefusal({{s.BackOriginal->width(), s.BackOriginal->height()},
                                               {s.BackWork->width(), s.BackWork->height()}},
                                              fx, fy);
    if (!refused.empty())
        return refused;
    Step step(*this, "Background Size");
    const bool shared = s.BackWork.sameAs(s.BackOriginal);
    resample(s.BackOriginal, fx, fy);
    if (shared)
        s.BackWork = s.BackOriginal;
    else
        resample(s.BackWork, fx, fy);
    s.updateImageSize();
    fitFrame();
    if (s.LayerCount() > 0)
        s.deriveLayerAlpha(s.CurrentLayer);
    s.ComposeScene();
    return {};
}

CommandReply Document::rotate(std::string_view angleText) {
    CommandReply r;
    AngleParse angle = parseAngleText(angleText);
    if (!angle.degrees) {
        r.message = angle.message;
        return r;
    }
    if (!m_scene.isLayer(m_scene.PanelLayer)) {
        r.message = kHaveNoForeground;
        return r;
    }
    r.message = rotateLayer(m_scene.PanelLayer, *angle.degrees);
    return r;
}

std::string Document::rotateLayer(int slot, int degrees) {
    Scene& s = m_scene;
    if (!s.isLayer(slot))
        return kHaveNoForeground;
    LayerSlot& l = s.layer(slot);
    LayerRotation turned;
    try {
        turned = rotateLayerPictures(*l.ForeOriginal, *l.ForeWork, degrees);
    } catch (const std::length_error&) {
        return kPictureTooLarge;
    }
    Step step(*this, "Rotate");
    clearAllMarks();
    const long double z = s.ViewZoom / 100.0L;
    l.carrierWidth = turned.work.width();
    l.carrierHeight = turned.work.height();
    l.handle.width = roundToCoordinate(l.carrierWidth * z);
    l.handle.height = roundToCoordinate(l.carrierHeight * z);
    l.handle.left = roundToCoordinate(l.handle.left - turned.GrowX * z);
    l.handle.top = roundToCoordinate(l.handle.top - turned.GrowY * z);
    l.ForeOriginal = SharedPicture(std::move(turned.original));
    l.ForeWork = SharedPicture(std::move(turned.work));
    l.marked = true;
    const int saved = s.CurrentLayer;
    s.CurrentLayer = slot;
    s.RefreshLayer();
    s.CurrentLayer = saved;
    return {};
}

} // namespace quill
