#include "scene/MainWindowModel.h"

#include "imaging/Limits.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace quill {

namespace {

constexpr int kLayerPanelStep = 30; // entries lie 30 pixels apart
constexpr int kNewestEntryTop = 3;  // the newest entry's top
constexpr int kZoneDepth = 20;      // resize zones reach 20 pixels into a handle
constexpr int kThumbWidth = 36, kThumbHeight = 21;
constexpr std::uint32_t kWhite = 0xffffffffu;
constexpr std::uint32_t kMarkerRed = 0xffff0000u; // blue 0, green 0, red 255

} // namespace

// ---------------------------------------------------------------------------------------
// Free geometry helpers

PanelLayout computePanelLayout(const Rect& mw, Point layerShow, Point albumShow) {
    const int L = mw.left, T = mw.top, W = mw.width, H = mw.height;
    PanelLayout p;
    p.foreground = Rect::fromEdges(L + W - 345, T + 85, L + W - 192, T + H - 202);
    p.background = Rect::fromEdges(L + W - 183, T + 85, L + W - 15, T + H - 202);
    p.photoEffects = Rect::fromEdges(L + 6, T + H - 175, L + W - 16, T + H - 65);
    p.layer = Rect::fromEdges(L + layerShow.x + 140, T + layerShow.y + 83, L + layerShow.x + 215,
                              T + H - 202);
    p.albumList = Rect::fromEdges(L + albumShow.x + 140, T + albumShow.y + 83,
                                  L + albumShow.x + 245, T + H - 202);
    p.layerListHeight = p.layer.height - 48;
    p.upButtonTop = p.layerListHeight + 7;
    p.downButtonTop = p.layerListHeight + 26;
    p.albumListHeight = p.albumList.height - 48;
    p.makeAlbumTop = p.albumListHeight + 9;
    p.foregroundNotebookHeight = p.foreground.height - 3;
    p.sketchStripHeight = p.foreground.height - 27;
    p.foregroundStripHeight = p.foreground.height - 74;
    p.foregroundGaugeTop = p.foregroundStripHeight + 3;
    p.backgroundStripHeight = p.background.height - 70;
    p.backgroundGaugeTop = p.backgroundStripHeight + 3;
    p.photoNotebookWidth = p.photoEffects.width - 2;
    p.frameStripWidth = p.photoNotebookWidth - 80;
    p.frameRemoveLeft = p.frameStripWidth + 10;
    return p;
}

Rect canvasRectFor(int windowWidth, int windowHeight, int imageWidth, int imageHeight) {
    Rect r;
    const int aw = windowWidth - 355;
    if (aw <= imageWidth) {
        r.width = aw + 5;
        r.left = 1;
    } else {
        r.width = imageWidth + 5;
        r.left = (aw - imageWidth) / 2 + 1;
    }
    const int ah = windowHeight - 265;
    if (ah <= imageHeight) {
        r.height = ah + 5;
        r.top = 30;
    } else {
        r.height = imageHeight + 5;
        r.top = (ah - imageHeight) / 2 + 30;
    }
    return r;
}

int resizeZoneAt(int X, int Y, int W, int H) {
    const int d = kZoneDepth;
    // Tested in this order; the first that holds wins. X or Y exactly 20 (or W - 20,
    // H - 20) lies in no zone on a large enough handle.
    if (X < d && Y < d)
        return 1;
    if (Y < d && X > d && X < W - d)
        return 2;
    if (Y < d && X > W - d)
        return 3;
    if (Y > d && Y < H - d && X > W - d)
        return 4;
    if (Y > H - d && X > W - d)
        return 5;
    if (Y > H - d && X > d && X < W - d)
        return 6;
    if (Y > H - d && X < d)
        return 7;
    if (Y > d && Y < H - d && X < d)
        return 8;
    return 0;
}

CursorShape zoneCursor(int zone) {
    switch (zone) {
    case 1:
    case 5:
        return CursorShape::SizeNWSE;
    case 2:
    case 6:
        return CursorShape::SizeNS;
    case 3:
    case 7:
        return CursorShape::SizeNESW;
    case 4:
    case 8:
        return CursorShape::SizeWE;
    default:
        return CursorShape::SizeAll;
    }
}

bool isMarkerPixel(int x, int y, int w, int h) {
    if (w < 20 || h < 20 || x < 0 || y < 0 || x >= w || y >= h)
        return false;
    const bool cornerX = x < 10 || x >= w - 10;
    const bool cornerY = y < 10 || y >= h - 10;
    if (cornerX && cornerY)
        return true;
    if ((y >= 3 && y <= 6) || (y >= h - 7 && y <= h - 4))
        return true;
    return (x >= 3 && x <= 6) || (x >= w - 7 && x <= w - 4);
}

TBitmap32 makeCarrier(int w, int h, bool marked) {
    TBitmap32 c(w, h, kWhite);
    if (marked && w >= 20 && h >= 20) {
        for (int y = 0; y < h; ++y) {
            std::uint32_t* row = c.row32(y);
            for (int x = 0; x < w; ++x)
                if (isMarkerPixel(x, y, w, h))
                    row[x] = kMarkerRed;
        }
    }
    return c;
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

// ---------------------------------------------------------------------------------------
// MainWindowModel

MainWindowModel::MainWindowModel() {
    m_canvas = canvasRectFor(m_window.width, m_window.height, 0, 0);
}

void MainWindowModel::windowShown() {
    m_firstLayout = true;
    m_firstShow = true;
    TBitmap32 white(600, 450, kWhite);
    m_scene.BackOriginal = white;
    m_scene.BackWork = std::move(white);
    m_scene.updateImageSize();
    m_scene.BackgroundSet = true;
    m_scene.ComposeScene();
}

void MainWindowModel::windowClosing() {
    m_firstLayout = false;
}

Rect MainWindowModel::ScrollBox1resize() {
    m_canvas =
        canvasRectFor(m_window.width, m_window.height, m_scene.imgbg.width, m_scene.imgbg.height);
    return m_canvas;
}

ResizeReply MainWindowModel::mainWindowResized(const Rect& mainWindow, int leftGroupWidth,
                                               Point layerShowButton, Point albumListShowButton) {
    m_window = mainWindow;
    ResizeReply r;
    r.canvas = ScrollBox1resize();
    r.toolBarWidth = mainWindow.width - 10;
    r.rightGroupWidth = r.toolBarWidth - leftGroupWidth - 32;
    r.statusLabel = {5, mainWindow.height - 87};
    if (m_firstLayout) {
        r.placePanels = true;
        r.panels = computePanelLayout(mainWindow, layerShowButton, albumListShowButton);
    }
    if (m_firstShow) {
        r.buildBrowsers = true;
        m_firstShow = false;
    }
    return r;
}

void MainWindowModel::setScrollRange(int maxX, int maxY) {
    m_scrollMaxX = std::max(0, maxX);
    m_scrollMaxY = std::max(0, maxY);
    m_scrollX = std::clamp(m_scrollX, 0, m_scrollMaxX);
    m_scrollY = std::clamp(m_scrollY, 0, m_scrollMaxY);
}

void MainWindowModel::setScrollPosition(int x, int y) {
    finishPendingComposition();
    m_scrollX = std::clamp(x, 0, m_scrollMaxX);
    m_scrollY = std::clamp(y, 0, m_scrollMaxY);
}

Rect MainWindowModel::visibleSceneRect() const {
    const Scene& s = m_scene;
    const Rect whole{0, 0, s.scenePicture().width(), s.scenePicture().height()};
    if (m_canvas.empty() || s.ViewZoom <= 0)
        return whole;
    // Canvas pixels to scene pixels, rounded outwards, with a pixel of margin for the
    // rounding of places and sizes on screen.
    const long double toScene = 100.0L / s.ViewZoom;
    const auto scene = [&](long double v) { return static_cast<long double>(v) * toScene; };
    const long double left = scene(m_scrollX - s.imgbg.left), top = scene(m_scrollY - s.imgbg.top);
    const long double right = scene(m_scrollX - s.imgbg.left + m_canvas.width);
    const long double bottom = scene(m_scrollY - s.imgbg.top + m_canvas.height);
    const auto clampInt = [](long double v) {
        return int(std::clamp<long double>(v, -(1 << 30), 1 << 30));
    };
    const Rect view =
        Rect::fromEdges(clampInt(std::floor(left)) - 1, clampInt(std::floor(top)) - 1,
                        clampInt(std::ceil(right)) + 1, clampInt(std::ceil(bottom)) + 1);
    return view.intersected(whole);
}

Rect MainWindowModel::composePendingIn(const Rect& sceneRect) {
    const Rect r = m_pendingComposition.intersected(sceneRect);
    return r.empty() ? r : m_scene.composeRegion(r);
}

Rect MainWindowModel::finishPendingComposition() {
    if (m_pendingComposition.empty())
        return {};
    const Rect done = m_scene.composeRegion(m_pendingComposition);
    m_pendingComposition = {};
    return done;
}

// ---- adding pictures ----------------------------------------------------------------

void MainWindowModel::addLayerEntry(const TBitmap32& picture, int i) {
    LayerEntry e;
    e.visible = true;
    if (!picture.empty()) {
        // The entry shows the picture stretched to 36 x 21; a half pixel more in the
        // factor keeps the truncation from coming out one short.
        e.thumbnail = picture;
        ZoomInandOut(e.thumbnail, (kThumbWidth + 0.5L) / picture.width(),
                     (kThumbHeight + 0.5L) / picture.height());
    }
    syncSlots();
    for (int j = 1; j < i; ++j)
        m_entries[std::size_t(j)].top += kLayerPanelStep; // hidden entries too
    e.top = kNewestEntryTop;
    m_entries[std::size_t(i)] = std::move(e);
}

namespace {

// Below half opacity a read pixel lies outside the picture's shape.
constexpr int kSeeThroughBelow = 128;

bool hasSeeThroughPixels(const TBitmap32& picture) {
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint32_t* in = picture.row32(y);
        for (int x = 0; x < picture.width(); ++x)
            if (pixelAlpha(in[x]) < kSeeThroughBelow)
                return true;
    }
    return false;
}

// Every pixel of layer whose pixel in read (of the same size) is see-through becomes
// CutoutColor.
void cutOutSeeThroughPixels(const TBitmap32& read, TBitmap32& layer) {
    if (read.width() != layer.width() || read.height() != layer.height())
        return;
    for (int y = 0; y < read.height(); ++y) {
        const std::uint32_t* in = read.row32(y);
        std::uint32_t* out = layer.row32(y);
        for (int x = 0; x < read.width(); ++x)
            if (pixelAlpha(in[x]) < kSeeThroughBelow)
                out[x] = CutoutColor;
    }
}

} // namespace

int MainWindowModel::addForegroundCommon(const TBitmap32& picture, bool browserVariant,
                                         bool sketchVariant, ShapeOfPicture shape) {
    if (browserVariant)
        foregroundBrowserDoubleClicked();
    const int i = m_scene.AddForegroundLayer(picture);
    syncSlots();
    if (shape == ShapeOfPicture::Kept && hasSeeThroughPixels(picture)) {
        // The scene made the new layer opaque; its see-through pixels are cut out of
        // both pictures, and its alpha derived and composed again.
        LayerSlot& slot = m_scene.layer(i);
        cutOutSeeThroughPixels(picture, slot.ForeOriginal);
        cutOutSeeThroughPixels(picture, slot.ForeWork);
        m_scene.RefreshLayer();
    }
    m_transparency.checked = false;
    m_enabled.transparenceSlider = false;
    m_transparency.sliderPosition = 128;
    m_transparency.percentLabel = percentLabelText(128);
    if (browserVariant) {
        m_enabled.transparentCheck = true;
        m_enabled.angleEdit = true;
        m_enabled.rotateForeground = true;
    }
    addLayerEntry(m_scene.layer(i).ForeOriginal, i);
    markOnly(i);
    unmarkEntries();
    m_entries[std::size_t(i)].selected = true;
    UpandDownCan(i);
    if (!sketchVariant)
        m_enabled.editForegroundSize = true;
    return i;
}

int MainWindowModel::addForegroundLayer(const TBitmap32& picture, ShapeOfPicture shape) {
    return addForegroundCommon(picture, false, false, shape);
}

std::string MainWindowModel::openForeground(const TBitmap32* picture, const std::string& fileName,
                                            ShapeOfPicture shape) {
    if (!picture || picture->width() < 1)
        return fileName + kNotAValidFormat;
    addForegroundCommon(*picture, false, false, shape);
    return {};
}

void MainWindowModel::foregroundBrowserDoubleClicked() {
    m_enabled.toolForegroundSize = true;
}

std::string MainWindowModel::browserForeground(const TBitmap32* picture,
                                               const std::string& fileName, ShapeOfPicture shape) {
    foregroundBrowserDoubleClicked();
    if (!picture || picture->width() < 1)
        return fileName + kNotAValidFormat;
    addForegroundCommon(*picture, true, false, shape);
    return {};
}

void MainWindowModel::sketchListForeground(const TBitmap32& picture) {
    addForegroundCommon(picture, false, true, ShapeOfPicture::Ignored);
}

void MainWindowModel::setBackgroundPicture(const TBitmap32& picture) {
    m_scene.SetBackgroundPicture(picture);
    m_enabled.editBackgroundSize = true;
    m_enabled.canvasBackgroundSize = true;
    m_enabled.toolBackgroundSize = true;
    ScrollBox1resize();
}

std::string MainWindowModel::openBackground(const TBitmap32* picture, const std::string& fileName) {
    if (!picture || picture->width() < 1)
        return fileName + kNotAValidFormat;
    setBackgroundPicture(*picture);
    return {};
}

std::string MainWindowModel::browserBackground(const TBitmap32* picture,
                                               const std::string& fileName) {
    // The same test as "Open a new background": an unreadable library file would
    // otherwise leave the scene without any background.
    return openBackground(picture, fileName);
}

std::string MainWindowModel::requireForeground() const {
    return m_scene.LayerCount() < 1 ? std::string(kHaveNoForeground) : std::string();
}

std::string MainWindowModel::requireBackground() const {
    return m_scene.BackgroundSet ? std::string() : std::string(kHaveNoBackground);
}

std::string MainWindowModel::publish() const {
    return m_scene.BackgroundSet ? std::string() : std::string(kNoWorkToPublish);
}

// ---- transparency -----------------------------------------------------------------------

void MainWindowModel::loadTransparencyFrom(int i) {
    if (!m_scene.isLayer(i))
        return;
    const LayerSlot& s = m_scene.layer(i);
    m_transparency.checked = s.LayerTransparent;
    m_enabled.transparenceSlider = s.LayerTransparent;
    m_transparency.sliderPosition = s.LayerTransparence;
    m_transparency.percentLabel = percentLabelText(s.LayerTransparence);
}

void MainWindowModel::setTransparentChecked(bool checked) {
    m_transparency.checked = checked;
    m_enabled.transparenceSlider = checked;
    const int cur = m_scene.CurrentLayer;
    if (!m_scene.isLayer(cur))
        return;
    LayerSlot& s = m_scene.layer(cur);
    s.LayerTransparent = checked;
    m_transparency.sliderPosition = s.LayerTransparence;
    m_transparency.percentLabel = percentLabelText(s.LayerTransparence);
    m_scene.RefreshLayer();
}

void MainWindowModel::setTransparenceSlider(int position) {
    position = clampByte(position);
    m_transparency.sliderPosition = position;
    m_transparency.percentLabel = percentLabelText(position);
    const int cur = m_scene.CurrentLayer;
    if (!m_scene.isLayer(cur))
        return;
    m_scene.layer(cur).LayerTransparence = position;
    m_scene.RefreshLayer();
}

// ---- markers and entries ------------------------------------------------------------------

void MainWindowModel::syncSlots() const {
    const std::size_t n = std::size_t(m_scene.LayerCount()) + 1;
    if (m_marked.size() < n)
        m_marked.resize(n, 0);
    while (m_entries.size() < n) {
        LayerEntry e;
        e.visible = m_scene.layer(int(m_entries.size())).visible;
        m_entries.push_back(std::move(e));
    }
}

const LayerEntry& MainWindowModel::entry(int i) const {
    syncSlots();
    return m_entries.at(std::size_t(i));
}

bool MainWindowModel::isMarked(int i) const {
    return i >= 0 && i < int(m_marked.size()) && m_marked[std::size_t(i)] != 0;
}

TBitmap32 MainWindowModel::carrier(int i) const {
    const LayerSlot& s = m_scene.layer(i);
    return makeCarrier(s.carrierWidth, s.carrierHeight, isMarked(i));
}

void MainWindowModel::clearAllMarks() {
    std::fill(m_marked.begin(), m_marked.end(), 0);
}

void MainWindowModel::markOnly(int i) {
    syncSlots();
    clearAllMarks();
    if (i >= 1 && i < int(m_marked.size()))
        m_marked[std::size_t(i)] = 1;
}

void MainWindowModel::unmarkEntries() {
    for (auto& e : m_entries)
        e.selected = false;
}

void MainWindowModel::UpandDownCan(int p) {
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
    m_enabled.upTheLayer = up;
    m_enabled.downTheLayer = down;
}

void MainWindowModel::swiftlayer(int a, int b) {
    syncSlots();
    if (!m_scene.isLayer(a) || !m_scene.isLayer(b) || a == b)
        return;
    m_scene.swapLayerState(a, b);
    std::swap(m_marked[std::size_t(a)], m_marked[std::size_t(b)]);
}

void MainWindowModel::adjustlayer(int a, int b) {
    syncSlots();
    if (!m_scene.isLayer(a) || !m_scene.isLayer(b) || a == b)
        return;
    std::swap(m_entries[std::size_t(a)].thumbnail, m_entries[std::size_t(b)].thumbnail);
}

bool MainWindowModel::layerPanelPress(int slot, bool rightButton) {
    syncSlots();
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
    unmarkEntries();
    if (s.isLayer(s.PanelLayer))
        m_entries[std::size_t(s.PanelLayer)].selected = true;
    m_enabled.canvasAddMeIntoSketchList = true;
    m_enabled.canvasForegroundSize = true;
    m_enabled.canvasDeleteMe = true;
    m_enabled.editForegroundSize = true;
    m_enabled.toolsAddSelectedForegroundIntoSketchList = true;
    m_enabled.rotateForeground = true;
    m_enabled.angleEdit = true;
    loadTransparencyFrom(s.CurrentLayer);
    return rightButton && onThumbnail;
}

void MainWindowModel::upTheLayer() {
    moveLayerBy(+1);
}

void MainWindowModel::downTheLayer() {
    moveLayerBy(-1);
}

// "Up the layer" (step +1) and "Down the layer" (step -1): the panel layer exchanges its
// state with the nearest visible slot in that direction.
void MainWindowModel::moveLayerBy(int step) {
    syncSlots();
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
    unmarkEntries();
    m_entries[std::size_t(j)].selected = true;
}

void MainWindowModel::deleteLayer() {
    syncSlots();
    Scene& s = m_scene;
    const int p = s.PanelLayer;
    // Deleting a slot that is already hidden would move the other entries up again.
    if (!s.isVisibleLayer(p))
        return;
    s.layer(p).visible = false;
    m_entries[std::size_t(p)].visible = false;
    for (int j = p - 1; j >= 1; --j)
        if (m_entries[std::size_t(j)].visible)
            m_entries[std::size_t(j)].top -= kLayerPanelStep;
    s.ComposeScene();
    m_enabled.upTheLayer = false;
    m_enabled.downTheLayer = false;
}

// ---- zoom -----------------------------------------------------------------------------------

void MainWindowModel::zoomStep(long double f) {
    finishPendingComposition();
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

void MainWindowModel::imgzoomin() {
    zoomStep(1.25L);
}
void MainWindowModel::imgzoomout() {
    zoomStep(0.8L);
}

void MainWindowModel::zoomIn() {
    imgzoomin();
    ScrollBox1resize();
}

void MainWindowModel::zoomOut() {
    imgzoomout();
    ScrollBox1resize();
}

bool MainWindowModel::wheel(int delta, bool pointerOverCanvas) {
    if (!pointerOverCanvas)
        return false;
    if (delta < 0)
        imgzoomin();
    else
        imgzoomout();
    ScrollBox1resize();
    return true;
}

// ---- canvas -------------------------------------------------------------------------------------

CanvasTarget MainWindowModel::hitTest(int x, int y) const {
    const Scene& s = m_scene;
    for (int i = s.LayerCount(); i >= 1; --i) {
        const LayerSlot& l = s.layer(i);
        if (l.visible && l.handle.contains(x, y))
            return {CanvasTargetKind::Handle, i};
    }
    if (s.imgbg.contains(x, y))
        return {CanvasTargetKind::SceneImage, 0};
    return {};
}

Rect MainWindowModel::fullSceneRect() const {
    return {0, 0, m_scene.scenePicture().width(), m_scene.scenePicture().height()};
}

CanvasReply MainWindowModel::panTo(int X, int Y) {
    CanvasReply r;
    const int nx = std::clamp(m_scrollX + (m_start.x - X), 0, m_scrollMaxX);
    const int ny = std::clamp(m_scrollY + (m_start.y - Y), 0, m_scrollMaxY);
    if (nx != m_scrollX || ny != m_scrollY) {
        m_scrollX = nx;
        m_scrollY = ny;
        r.scrolled = true;
    }
    r.scrollX = m_scrollX;
    r.scrollY = m_scrollY;
    if (m_scrollX != m_savedScrollX || m_scrollY != m_savedScrollY)
        m_clickWithoutPan = false;
    return r;
}

void MainWindowModel::applyDragStep(LayerSlot& slot, int zone, int X, int Y) {
    Rect& h = slot.handle;
    const int dx = X - m_start.x, dy = Y - m_start.y;
    const int oldRight = h.right(), oldBottom = h.bottom();
    bool movesLeft = false, movesTop = false;
    switch (zone) {
    case 1:
        h.width -= dx, h.left += dx, h.height -= dy, h.top += dy;
        movesLeft = movesTop = true;
        break;
    case 2:
        h.height -= dy, h.top += dy;
        movesTop = true;
        break;
    case 3:
        h.width += X - m_last.x, m_last.x = X;
        h.height -= dy, h.top += dy;
        movesTop = true;
        break;
    case 4:
        h.width += X - m_last.x, m_last.x = X;
        break;
    case 5:
        h.width += X - m_last.x, m_last.x = X;
        h.height += Y - m_last.y, m_last.y = Y;
        break;
    case 6:
        h.height += Y - m_last.y, m_last.y = Y;
        break;
    case 7:
        h.width -= dx, h.left += dx;
        h.height += Y - m_last.y, m_last.y = Y;
        movesLeft = true;
        break;
    case 8:
        h.width -= dx, h.left += dx;
        movesLeft = true;
        break;
    default:
        return;
    }
    // A handle keeps at least 1 x 1 pixel; an edge dragged past the opposite one stops
    // there, the opposite edge staying put.
    if (h.width < 1) {
        h.width = 1;
        if (movesLeft)
            h.left = oldRight - 1;
    }
    if (h.height < 1) {
        h.height = 1;
        if (movesTop)
            h.top = oldBottom - 1;
    }
}

CanvasTarget MainWindowModel::pointerTarget(int x, int y) const {
    // The control that took the press keeps the pointer until the release.
    if (m_captureImage)
        return {CanvasTargetKind::SceneImage, 0};
    if (m_captureBare)
        return {};
    if (m_captureSlot > 0 && m_scene.isLayer(m_captureSlot))
        return {CanvasTargetKind::Handle, m_captureSlot};
    return hitTest(x, y);
}

CanvasReply MainWindowModel::canvasMove(int x, int y, Buttons held) {
    Scene& s = m_scene;
    const CanvasTarget target = pointerTarget(x, y);

    if (target.kind == CanvasTargetKind::SceneImage) {
        CanvasReply r;
        if (held.right && m_panBackground)
            r = panTo(x - s.imgbg.left, y - s.imgbg.top);
        r.scrollX = m_scrollX;
        r.scrollY = m_scrollY;
        return r;
    }
    CanvasReply r;
    r.scrollX = m_scrollX;
    r.scrollY = m_scrollY;
    if (target.kind != CanvasTargetKind::Handle)
        return r; // the bare canvas
    const int i = target.slot;
    s.PointedLayer = i;
    LayerSlot& slot = s.layer(i);
    const int X = x - slot.handle.left, Y = y - slot.handle.top;
    r.cursorOn = target;

    if (held.right) {
        if (m_dragMode) {
            const CanvasReply p = panTo(X, Y);
            r.scrolled = p.scrolled;
            r.scrollX = p.scrollX;
            r.scrollY = p.scrollY;
        }
        r.cursorChanged = true;
        r.cursor = CursorShape::Hand;
    }
    if (held.left) {
        if (m_dragMode && s.BackgroundSet) {
            r.cursorChanged = true;
            r.cursor = CursorShape::SizeAll;
            const Rect before = s.layerSceneRect(i);
            // Not beyond the scene's right and bottom edges; no limit left or upwards.
            slot.handle.left =
                std::min(slot.handle.left + (X - m_start.x), s.imgbg.left + s.imgbg.width);
            slot.handle.top =
                std::min(slot.handle.top + (Y - m_start.y), s.imgbg.top + s.imgbg.height);
            const Rect after = s.layerSceneRect(i);
            r.handlesChanged = true;
            if (!(before == after)) {
                // Nothing is composed while the pointer moves: the canvas composes what
                // it shows as it paints, the rest follows at the release.
                const Rect changed = before.united(after);
                m_pendingComposition = m_pendingComposition.united(changed);
                r.repaint = changed.intersected(visibleSceneRect());
            }
        } else if (m_resizeMode && m_resizeZone >= 1 && m_resizeZone <= 8) {
            applyDragStep(slot, m_resizeZone, X, Y);
            r.handlesChanged = true;
        }
    }
    if (held.left && m_resizeDrag) {
        // The zone chosen at the press holds for the whole drag: found anew against the
        // moved or grown handle, a fast pointer would leave it, and the release would then
        // leave the handle's size and the layer's pixel size apart.
        r.cursorChanged = true;
        r.cursor = zoneCursor(m_resizeZone);
        return r;
    }
    // Zone detection, with the pointer as the event gave it and the handle as it is now.
    const int zone = resizeZoneAt(X, Y, slot.handle.width, slot.handle.height);
    if (zone != 0) {
        r.cursorChanged = true;
        r.cursor = zoneCursor(zone);
        m_resizeMode = true;
        m_resizeZone = zone;
    } else {
        m_resizeMode = false;
        m_resizeZone = 0;
        if (!m_panMode) {
            r.cursorChanged = true;
            r.cursor = CursorShape::SizeAll;
        }
    }
    return r;
}

CanvasReply MainWindowModel::canvasPress(int x, int y, Buttons pressed) {
    Scene& s = m_scene;
    CanvasReply r;
    r.scrollX = m_scrollX;
    r.scrollY = m_scrollY;
    const CanvasTarget target = hitTest(x, y);
    if (target.kind == CanvasTargetKind::Handle) {
        const int i = target.slot;
        const LayerSlot& slot = s.layer(i);
        const int X = x - slot.handle.left, Y = y - slot.handle.top;
        // The zone at the press point: what the last move before the press found, since
        // the pointer reached this point by that move; found here as well so that a press
        // without a move before it (no hover events) acts on the handle under it.
        s.PointedLayer = i;
        m_resizeZone = resizeZoneAt(X, Y, slot.handle.width, slot.handle.height);
        m_resizeMode = m_resizeZone != 0;
        m_dragMode = !m_resizeMode;
        m_clickWithoutPan = true;
        m_start = m_last = {X, Y};
        m_savedScrollX = m_scrollX;
        m_savedScrollY = m_scrollY;
        m_captureSlot = i;
        if (pressed.right) {
            r.cursorChanged = true;
            r.cursor = CursorShape::Hand;
            r.cursorOn = {CanvasTargetKind::Handle, s.PointedLayer};
            m_panMode = true;
        }
        if (pressed.left)
            m_panMode = false;
        m_resizeDrag = pressed.left && m_resizeMode && m_resizeZone >= 1;
    } else if (target.kind == CanvasTargetKind::SceneImage) {
        m_panMode = false;
        m_captureImage = true;
        if (pressed.right) {
            m_panBackground = true;
            m_clickWithoutPan = true;
            m_start = {x - s.imgbg.left, y - s.imgbg.top};
            r.cursorChanged = true;
            r.cursor = CursorShape::Hand;
            r.cursorOn = {CanvasTargetKind::SceneImage, 0};
            m_savedScrollX = m_scrollX;
            m_savedScrollY = m_scrollY;
        }
    } else {
        m_captureBare = true; // ignored, but it keeps the pointer until the release
    }
    return r;
}

void MainWindowModel::selectOnCanvas() {
    Scene& s = m_scene;
    m_enabled.canvasAddMeIntoSketchList = true;
    m_enabled.canvasForegroundSize = true;
    m_enabled.canvasDeleteMe = true;
    m_enabled.editForegroundSize = true;
    m_enabled.toolsAddSelectedForegroundIntoSketchList = true;
    m_enabled.rotateForeground = true;
    m_enabled.toolForegroundSize = true;
    m_enabled.angleEdit = true;
    m_enabled.transparentCheck = true;
    s.CurrentLayer = s.PointedLayer;
    loadTransparencyFrom(s.CurrentLayer);
}

CanvasReply MainWindowModel::canvasRelease(int x, int y, Buttons released) {
    syncSlots();
    Scene& s = m_scene;
    CanvasReply r;
    r.scrollX = m_scrollX;
    r.scrollY = m_scrollY;
    const CanvasTarget target = pointerTarget(x, y);
    m_captureImage = false;
    m_captureBare = false;
    m_captureSlot = 0;
    m_resizeDrag = false;
    r.repaint = finishPendingComposition();

    if (target.kind == CanvasTargetKind::Handle) {
        m_dragMode = false;
        m_panMode = false;
        r.cursorChanged = true;
        r.cursor = CursorShape::Default;
        r.cursorOn = {CanvasTargetKind::Handle, s.PointedLayer};
        // The canvas menu belongs to the right button; a left click only selects.
        r.openCanvasMenu = released.right && m_clickWithoutPan;
        selectOnCanvas();
        if (m_resizeMode && s.isLayer(s.CurrentLayer)) {
            r.message = resizeLayerToHandle(s.CurrentLayer);
            r.repaint = fullSceneRect();
        }
        markOnly(s.PointedLayer);
        s.PanelLayer = s.PointedLayer;
        UpandDownCan(s.PanelLayer);
        unmarkEntries();
        if (s.isLayer(s.PanelLayer))
            m_entries[std::size_t(s.PanelLayer)].selected = true;
        r.handlesChanged = true;
    } else if (target.kind == CanvasTargetKind::SceneImage) {
        if (released.right) {
            m_panBackground = false;
            r.cursorChanged = true;
            r.cursor = CursorShape::Default;
            r.cursorOn = {CanvasTargetKind::SceneImage, 0};
            r.openCanvasMenu = m_clickWithoutPan;
            m_enabled.canvasAddMeIntoSketchList = false;
            m_enabled.canvasForegroundSize = false;
            m_enabled.canvasDeleteMe = false;
            m_enabled.editForegroundSize = false;
            m_enabled.toolsAddSelectedForegroundIntoSketchList = false;
            m_enabled.transparentCheck = false;
        }
        if (s.LayerCount() > 0) {
            clearAllMarks();
            unmarkEntries();
            m_enabled.toolForegroundSize = false;
            m_enabled.upTheLayer = false;
            m_enabled.downTheLayer = false;
            m_enabled.toolsAddSelectedForegroundIntoSketchList = false;
            m_enabled.editForegroundSize = false;
            m_enabled.rotateForeground = false;
            m_enabled.angleEdit = false;
            m_enabled.transparentCheck = false;
            r.handlesChanged = true;
        }
    }
    return r;
}

int MainWindowModel::canvasDoubleClick(int x, int y) const {
    const CanvasTarget t = hitTest(x, y);
    if (t.kind == CanvasTargetKind::Handle)
        return t.slot == m_scene.PointedLayer ? t.slot : 0;
    if (t.kind == CanvasTargetKind::SceneImage)
        return -1;
    return 0;
}

std::string MainWindowModel::resizeLayerToHandle(int L) {
    syncSlots();
    Scene& s = m_scene;
    if (!s.isLayer(L))
        return {};
    LayerSlot& slot = s.layer(L);
    if (L < int(m_marked.size()))
        m_marked[std::size_t(L)] = 0;
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
        pictureSizeAllowed(nw, nh) && pictureSizeAllowed(zoomedSize(slot.ForeWork.width(), wf),
                                                         zoomedSize(slot.ForeWork.height(), hf));
    if (!fits) {
        slot.handle.width = displayedSize(cw, zoom);
        slot.handle.height = displayedSize(ch, zoom);
        m_marked[std::size_t(L)] = 1;
        return kPictureTooLarge;
    }
    slot.carrierWidth = nw;
    slot.carrierHeight = nh;
    slot.handle.width = displayedSize(nw, zoom);
    slot.handle.height = displayedSize(nh, zoom);
    ZoomInandOut(slot.ForeOriginal, wf, hf);
    ZoomInandOut(slot.ForeWork, wf, hf);
    const int saved = s.CurrentLayer;
    s.CurrentLayer = L;
    s.RefreshLayer();
    s.CurrentLayer = saved;
    m_marked[std::size_t(L)] = 1;
    return {};
}

namespace {

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

} // namespace

std::string MainWindowModel::resizeLayerBy(int slot, long double fx, long double fy) {
    syncSlots();
    Scene& s = m_scene;
    if (!s.isLayer(slot) || !(fx > 0) || !(fy > 0))
        return {};
    LayerSlot& l = s.layer(slot);
    const std::string refused = resizeRefusal({{l.carrierWidth, l.carrierHeight},
                                               {l.ForeOriginal.width(), l.ForeOriginal.height()},
                                               {l.ForeWork.width(), l.ForeWork.height()}},
                                              fx, fy);
    if (!refused.empty())
        return refused;
    m_marked[std::size_t(slot)] = 0;
    if (l.carrierWidth > 0 && l.carrierHeight > 0) {
        l.carrierWidth = zoomedSize(l.carrierWidth, fx);
        l.carrierHeight = zoomedSize(l.carrierHeight, fy);
    }
    l.handle.width = displayedSize(l.carrierWidth, s.ViewZoom);
    l.handle.height = displayedSize(l.carrierHeight, s.ViewZoom);
    ZoomInandOut(l.ForeOriginal, fx, fy);
    ZoomInandOut(l.ForeWork, fx, fy);
    // The resized layer's alpha comes again from its own mask at the new size, whichever
    // layer is current (the dialog works on the panel layer).
    s.deriveLayerAlpha(slot);
    s.ComposeScene();
    m_marked[std::size_t(slot)] = 1;
    return {};
}

std::string MainWindowModel::resizeBackgroundBy(long double fx, long double fy) {
    Scene& s = m_scene;
    if (!(fx > 0) || !(fy > 0))
        return {};
    const std::string refused = resizeRefusal({{s.BackOriginal.width(), s.BackOriginal.height()},
                                               {s.BackWork.width(), s.BackWork.height()}},
                                              fx, fy);
    if (!refused.empty())
        return refused;
    ZoomInandOut(s.BackOriginal, fx, fy);
    ZoomInandOut(s.BackWork, fx, fy);
    s.updateImageSize();
    if (s.LayerCount() > 0)
        s.deriveLayerAlpha(s.CurrentLayer);
    s.ComposeScene();
    ScrollBox1resize();
    return {};
}

void MainWindowModel::layerRotated(int slot, TBitmap32 original, TBitmap32 work, int growX,
                                   int growY) {
    syncSlots();
    Scene& s = m_scene;
    if (!s.isLayer(slot))
        return;
    clearAllMarks();
    LayerSlot& l = s.layer(slot);
    const long double z = s.ViewZoom / 100.0L;
    l.carrierWidth = work.width();
    l.carrierHeight = work.height();
    l.handle.width = roundToCoordinate(l.carrierWidth * z);
    l.handle.height = roundToCoordinate(l.carrierHeight * z);
    l.handle.left = roundToCoordinate(l.handle.left - growX * z);
    l.handle.top = roundToCoordinate(l.handle.top - growY * z);
    l.ForeOriginal = std::move(original);
    l.ForeWork = std::move(work);
    m_marked[std::size_t(slot)] = 1;
    s.RefreshLayer();
}

} // namespace quill
