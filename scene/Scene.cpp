#include "scene/Scene.h"

#include "imaging/Parallel.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cstring>
#include <utility>


namespace quill {

Rect Rect::united(const Rect& o) const {
    if (o.empty())
        return *this;
    if (empty())
        return o;
    return fromEdges(std::min(left, o.left), std::min(top, o.top), std::max(right(), o.right()),
                     std::max(bottom(), o.bottom()));
}

Rect Rect::intersected(const Rect& o) const {
    const int l = std::max(left, o.left), t = std::max(top, o.top);
    const int r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
    if (l >= r || t >= b)
        return {};
    return fromEdges(l, t, r, b);
}

int roundToCoordinate(long double v) {
    constexpr long double limit = 1 << 30;
    if (!(v > -limit)) // also NaN
        return -(1 << 30);
    if (v > limit)
        return 1 << 30;
    return int(roundHalfEven(v));
}

int displayedSize(int pixels, double zoom) {
    return roundToCoordinate(static_cast<long double>(pixels) * zoom / 100.0L);
}

// Round(alpha * factor / 255) in extended precision equals (alpha * factor + 127) div 255:
// the exact quotient q / 255 of an integer q is never a half (255 is odd), and it lies
// at least 1/510 from one, far beyond the 64-bit mantissa's error; floor(q/255 + 1/2)
// and floor((q + 127) / 255) differ only when q + 127.5 is a multiple of 255, which no
// integer q gives. A test checks all 65536 pairs against the long double form.
int toumingAlpha(int alpha, int factor) {
    return (alpha * factor + 127) / 255;
}

void touming(TBitmap32& picture, int factor) {
    const std::uint32_t f = std::uint32_t(clampByte(factor));
    if (f == 255)
        return; // alpha * 255 / 255 is alpha
    const int w = picture.width();
    parallelRows(picture.height(), std::size_t(w), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint32_t* row = picture.row32(y);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = row[x];
                const std::uint32_t a = ((p >> 24) * f + 127u) / 255u;
                row[x] = (p & 0x00ffffffu) | (a << 24);
            }
        }
    });
}

namespace {

// The mask step, with the transparency factor folded in: touming after the mask step
// gives a non-cut-out pixel Round(maskAlpha * factor / 255), and leaves a cut-out pixel
// (alpha 0) as it is, so one pass does both. factor 255 is no transparency.
void clearMaskScaled(TBitmap32& picture, std::uint32_t factor) {
    const int w = picture.width();
    const std::uint32_t alpha = std::uint32_t(toumingAlpha(255, int(factor))) << 24;
    parallelRows(picture.height(), std::size_t(w), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint32_t* row = picture.row32(y);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = row[x];
                row[x] = p == CutoutColor ? p : ((p & 0x00ffffffu) | alpha);
            }
        }
    });
}

void applyMaskScaled(TBitmap32& picture, const TBitmap32& mask, std::uint32_t factor) {
    const int pw = picture.width(), ph = picture.height();
    if (picture.empty())
        return;
    if (mask.empty()) {
        clearMaskScaled(picture, factor);
        return;
    }
    const int mw = mask.width(), mh = mask.height();
    // The size ZoomInandOut gives the mask for the factors picture size / mask size.
    const int zw = zoomedSize(mw, static_cast<long double>(pw) / static_cast<long double>(mw));
    const int zh = zoomedSize(mh, static_cast<long double>(ph) / static_cast<long double>(mh));
    if (zw <= 0 || zh <= 0) {
        clearMaskScaled(picture, factor);
        return;
    }
    // Column k of the resampled mask is mask column floor(k * mw / zw); columns and rows
    // of the picture beyond the resampled mask take its last column or row.
    std::vector<int> column(static_cast<std::size_t>(pw));
    for (int k = 0; k < pw; ++k) {
        const int kk = std::min(k, zw - 1);
        column[std::size_t(k)] = int(std::int64_t(kk) * mw / zw);
    }
    // Alpha for each red value of the mask: 255 - red, then the transparency factor.
    std::uint32_t alphaOfRed[256];
    for (int red = 0; red < 256; ++red)
        alphaOfRed[red] = std::uint32_t(toumingAlpha(255 - red, int(factor))) << 24;
    parallelRows(ph, std::size_t(pw), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const int yy = std::min(y, zh - 1);
            const std::uint32_t* mrow = mask.row32(int(std::int64_t(yy) * mh / zh));
            std::uint32_t* row = picture.row32(y);
            for (int x = 0; x < pw; ++x) {
                const std::uint32_t p = row[x];
                const std::uint32_t a = alphaOfRed[(mrow[column[std::size_t(x)]] >> 16) & 0xffu];
                row[x] = p == CutoutColor ? p : ((p & 0x00ffffffu) | a);
            }
        }
    });
}

} // namespace

void ClearMask(TBitmap32& picture) {
    clearMaskScaled(picture, 255);
}

void ApplyMask(TBitmap32& picture, const TBitmap32& mask) {
    applyMaskScaled(picture, mask, 255);
}

Scene::Scene() : m_layers(1) {}

void Scene::deriveLayerAlpha(int i) {
    if (!isLayer(i))
        return;
    LayerSlot& s = layer(i);
    const TBitmap32* mask = nullptr;
    if (s.LayerMask >= 1 && m_maskSource)
        mask = m_maskSource(s.LayerMask);
    // The mask step and the transparency step in one pass over the picture.
    const std::uint32_t factor =
        s.LayerTransparent ? std::uint32_t(clampByte(255 - s.LayerTransparence)) : 255u;
    if (mask)
        applyMaskScaled(s.ForeWork, *mask, factor);
    else
        clearMaskScaled(s.ForeWork, factor);
}

void Scene::RefreshLayer() {
    if (LayerCount() == 0 || !isLayer(CurrentLayer))
        return;
    deriveLayerAlpha(CurrentLayer);
    ComposeScene();
}

Point Scene::layerPosition(int i) const {
    const Rect& h = layer(i).handle;
    const long double zoom = ViewZoom;
    return {roundToCoordinate(static_cast<long double>(h.left - imgbg.left) / zoom * 100.0L),
            roundToCoordinate(static_cast<long double>(h.top - imgbg.top) / zoom * 100.0L)};
}

Rect Scene::layerSceneRect(int i) const {
    const Point p = layerPosition(i);
    const TBitmap32& w = layer(i).ForeWork;
    return {p.x, p.y, w.width(), w.height()};
}

namespace {

bool rowOpaque(const std::uint32_t* row, int n) {
    std::uint32_t all = 0xffffffffu;
    for (int k = 0; k < n; ++k)
        all &= row[k];
    return (all >> 24) == 255u;
}

// Draws row y of the picture placed at (px, py) onto dest row y, columns [left, right).
void blendLayerRow(const TBitmap32& pic, int px, int py, std::uint32_t* destRow, int y, int left,
                   int right) {
    if (y < py || y - py >= pic.height())
        return;
    const int l = std::max(left, px);
    const int r = int(std::min<std::int64_t>(right, std::int64_t(px) + pic.width()));
    if (l >= r)
        return;
    blendRowOverOpaque(destRow + l, pic.row32(y - py) + (l - px), r - l);
}

} // namespace

void Scene::composeRows(const Rect& r) {
    // Row chunks of about 32K pixels, each finished (background, every layer, the frame)
    // before the next, so a chunk's rows stay in cache between the passes; the chunks run
    // in parallel bands. A row whose background is opaque (every row of a background
    // set by SetBackgroundPicture) stays opaque under every layer and takes the
    // branch-free blend; any other row goes through DrawOntoClipped.
    const int chunkRows = std::max(1, 32768 / std::max(1, r.width));
    const int chunks = (r.height + chunkRows - 1) / chunkRows;
    std::vector<Point> places(std::size_t(LayerCount()) + 1);
    for (int i = 1; i <= LayerCount(); ++i)
        if (layer(i).visible)
            places[std::size_t(i)] = layerPosition(i);
    const TBitmap32* frame = FramePicture && !FramePicture->empty() ? &*FramePicture : nullptr;
    const std::size_t work = std::size_t(r.width) * std::size_t(chunkRows);
    parallelRows(chunks, work, [&](int begin, int end) {
        for (int c = begin; c < end; ++c) {
            const int top = r.top + c * chunkRows;
            const int bottom = std::min(r.bottom(), top + chunkRows);
            for (int y = top; y < bottom; ++y) {
                std::uint32_t* dest = m_scene.row32(y);
                // The topmost layer whose row is opaque across the whole segment hides
                // everything under it: BlendPixel with source alpha 255 writes the source
                // whatever the destination, so drawing starts with a copy of that row.
                int first = 0;
                for (int i = LayerCount(); i >= 1 && first == 0; --i) {
                    const TBitmap32& pic = layer(i).ForeWork;
                    const Point p = places[std::size_t(i)];
                    if (!layer(i).visible || y < p.y || y - p.y >= pic.height() || p.x > r.left ||
                        std::int64_t(p.x) + pic.width() < r.right())
                        continue;
                    if (rowOpaque(pic.row32(y - p.y) + (r.left - p.x), r.width))
                        first = i;
                }
                const std::uint32_t* base =
                    first == 0 ? BackWork.row32(y) + r.left
                               : layer(first).ForeWork.row32(y - places[std::size_t(first)].y) +
                                     (r.left - places[std::size_t(first)].x);
                std::memcpy(dest + r.left, base, std::size_t(r.width) * 4);
                const bool opaque = first > 0 || rowOpaque(dest + r.left, r.width);
                for (int i = first + 1; i <= LayerCount(); ++i) {
                    if (!layer(i).visible)
                        continue;
                    const Point p = places[std::size_t(i)];
                    if (opaque)
                        blendLayerRow(layer(i).ForeWork, p.x, p.y, dest, y, r.left, r.right());
                    else
                        layer(i).ForeWork.DrawOntoClipped(p.x, p.y, m_scene, r.left, y, r.right(),
                                                          y + 1);
                }
                if (frame) {
                    if (opaque)
                        blendLayerRow(*frame, 0, 0, dest, y, r.left, r.right());
                    else
                        frame->DrawOntoClipped(0, 0, m_scene, r.left, y, r.right(), y + 1);
                }
            }
        }
    });
}

void Scene::ComposeScene() {
    if (m_scene.width() != BackWork.width() || m_scene.height() != BackWork.height())
        m_scene = TBitmap32::uninitialized(BackWork.width(), BackWork.height());
    if (!m_scene.empty())
        composeRows({0, 0, m_scene.width(), m_scene.height()});
}

Rect Scene::composeRegion(const Rect& region) {
    if (m_scene.width() != BackWork.width() || m_scene.height() != BackWork.height()) {
        ComposeScene();
        return {0, 0, m_scene.width(), m_scene.height()};
    }
    const Rect r = region.intersected({0, 0, m_scene.width(), m_scene.height()});
    if (!r.empty())
        composeRows(r);
    return r;
}

int Scene::AddForegroundLayer(const TBitmap32& picture) {
    TBitmap32 tmp(picture);
    SetAlpha(tmp, 255);
    LayerSlot slot;
    slot.ForeOriginal = tmp;
    slot.carrierWidth = tmp.width();
    slot.carrierHeight = tmp.height();
    slot.handle = {0, 0, displayedSize(tmp.width(), ViewZoom),
                   displayedSize(tmp.height(), ViewZoom)};
    slot.ForeWork = std::move(tmp);
    slot.visible = true;
    m_layers.push_back(std::move(slot));
    const int i = LayerCount();
    CurrentLayer = i;
    RefreshLayer();
    PanelLayer = i;
    PointedLayer = i;
    return i;
}

void Scene::updateImageSize() {
    imgbg.width = displayedSize(BackWork.width(), ViewZoom);
    imgbg.height = displayedSize(BackWork.height(), ViewZoom);
}

void Scene::SetBackgroundPicture(const TBitmap32& picture) {
    BackgroundSet = true;
    BackOriginal = picture;
    SetAlpha(BackOriginal, 255);
    BackWork = BackOriginal;
    updateImageSize();
    if (LayerCount() > 0)
        deriveLayerAlpha(CurrentLayer);
    ComposeScene();
}

bool Scene::setCurrentForeWork(const TBitmap32& picture) {
    if (!isLayer(CurrentLayer))
        return false;
    layer(CurrentLayer).ForeWork = picture;
    RefreshLayer();
    return true;
}

void Scene::swapLayerState(int a, int b) {
    if (!isLayer(a) || !isLayer(b) || a == b)
        return;
    LayerSlot& x = layer(a);
    LayerSlot& y = layer(b);
    std::swap(x.ForeOriginal, y.ForeOriginal);
    std::swap(x.ForeWork, y.ForeWork);
    std::swap(x.handle, y.handle);
    std::swap(x.carrierWidth, y.carrierWidth);
    std::swap(x.carrierHeight, y.carrierHeight);
    std::swap(x.LayerMask, y.LayerMask);
    std::swap(x.LayerTransparent, y.LayerTransparent);
    std::swap(x.LayerTransparence, y.LayerTransparence);
}

} // namespace quill
