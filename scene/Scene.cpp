#include "scene/Scene.h"

#include "imaging/Parallel.h"
#include "imaging/Rounding.h"
#include "imaging/RowBlend.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

namespace quill {

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

namespace {

// A layer's alpha, one row at a time: the mask step with the transparency factor folded
// in, then the own-shape step. touming after the mask step gives a non-cut-out pixel
// Round(maskAlpha * factor / 255) and leaves a cut-out pixel as it is, so one pass does
// both; a layer with a shape of its own then gives every non-cut-out pixel
// Round(alpha * shape alpha / 255), the shape alpha read at the same place of its
// untouched picture. factor 255 is no transparency; no mask (or an empty one, or one
// that resamples to nothing) gives every pixel the factor's alpha.
class AlphaRule {
  public:
    AlphaRule(int width, int height, const TBitmap32* mask, std::uint32_t factor,
              const TBitmap32* shape)
        : m_width(width),
          m_shape(shape && shape->width() == width && shape->height() == height ? shape : nullptr) {
        m_plainAlpha = std::uint32_t(toumingAlpha(255, int(factor))) << 24;
        if (!mask || mask->empty() || width < 1 || height < 1)
            return;
        const int mw = mask->width(), mh = mask->height();
        // The size ZoomInandOut gives the mask for the factors picture size / mask size.
        m_zw = zoomedSize(mw, static_cast<long double>(width) / static_cast<long double>(mw));
        m_zh = zoomedSize(mh, static_cast<long double>(height) / static_cast<long double>(mh));
        if (m_zw <= 0 || m_zh <= 0)
            return;
        m_mask = mask;
        // Column k of the resampled mask is mask column floor(k * mw / zw); columns and
        // rows of the picture beyond the resampled mask take its last column or row.
        m_column.resize(std::size_t(width));
        for (int k = 0; k < width; ++k)
            m_column[std::size_t(k)] = int(std::int64_t(std::min(k, m_zw - 1)) * mw / m_zw);
        // Alpha for each red value of the mask: 255 - red, then the transparency factor.
        for (int red = 0; red < 256; ++red)
            m_alphaOfRed[red] = std::uint32_t(toumingAlpha(255 - red, int(factor))) << 24;
    }

    // Row y of the layer's picture with its alpha derived, from `in` to `out` (which may
    // be the same row).
    void row(int y, const std::uint32_t* in, std::uint32_t* out) const {
        const std::uint32_t* maskRow = nullptr;
        if (m_mask) {
            const int yy = std::min(y, m_zh - 1);
            maskRow = m_mask->row32(int(std::int64_t(yy) * m_mask->height() / m_zh));
        }
        const std::uint32_t* shapeRow = m_shape ? m_shape->row32(y) : nullptr;
        for (int x = 0; x < m_width; ++x) {
            const std::uint32_t p = in[x];
            if (p == CutoutColor) {
                out[x] = p;
                continue;
            }
            std::uint32_t a = maskRow
                                  ? m_alphaOfRed[(maskRow[m_column[std::size_t(x)]] >> 16) & 0xffu]
                                  : m_plainAlpha;
            if (shapeRow)
                a = (((a >> 24) * (shapeRow[x] >> 24) + 127u) / 255u) << 24;
            out[x] = (p & 0x00ffffffu) | a;
        }
    }

    // Whether deriving changes any pixel of the picture.
    bool changes(const TBitmap32& picture) const {
        std::atomic<bool> changed{false};
        parallelRows(picture.height(), std::size_t(m_width), [&](int begin, int end) {
            std::vector<std::uint32_t> derived(static_cast<std::size_t>(m_width));
            for (int y = begin; y < end && !changed.load(std::memory_order_relaxed); ++y) {
                row(y, picture.row32(y), derived.data());
                if (std::memcmp(derived.data(), picture.row32(y), std::size_t(m_width) * 4) != 0)
                    changed = true;
            }
        });
        return changed;
    }

    // The picture with its alpha derived, into `out` (the same picture or one of its size).
    void derive(const TBitmap32& in, TBitmap32& out) const {
        parallelRows(in.height(), std::size_t(m_width), [&](int begin, int end) {
            for (int y = begin; y < end; ++y)
                row(y, in.row32(y), out.row32(y));
        });
    }

  private:
    int m_width;
    const TBitmap32* m_shape;
    std::uint32_t m_plainAlpha = 0xff000000u;
    const TBitmap32* m_mask = nullptr;
    int m_zw = 0, m_zh = 0;
    std::vector<int> m_column;
    std::uint32_t m_alphaOfRed[256] = {};
};

} // namespace

void ClearMask(TBitmap32& picture) {
    const AlphaRule rule(picture.width(), picture.height(), nullptr, 255, nullptr);
    rule.derive(picture, picture);
}

void Scene::deriveLayerAlpha(int i) {
    if (!isLayer(i))
        return;
    LayerSlot& s = layer(i);
    const TBitmap32* mask = nullptr;
    if (s.LayerMask >= 1 && m_maskSource)
        mask = m_maskSource(s.LayerMask);
    const std::uint32_t factor =
        s.LayerTransparent ? std::uint32_t(clampByte(255 - s.LayerTransparence)) : 255u;
    const TBitmap32& current = *s.ForeWork;
    const AlphaRule rule(current.width(), current.height(), mask, factor,
                         s.ownShape ? &*s.ForeOriginal : nullptr);
    if (s.ForeWork.shared()) {
        // Shared with the untouched picture or the history: a picture whose alpha is
        // derived already stays shared (a new opaque layer, a layer under a changed
        // background); otherwise the derived picture is written straight into new memory,
        // not copied first and derived over.
        if (!rule.changes(current))
            return;
        TBitmap32 derived = TBitmap32::uninitialized(current.width(), current.height());
        rule.derive(current, derived);
        s.ForeWork = SharedPicture(std::move(derived));
        return;
    }
    TBitmap32& work = s.ForeWork.edit();
    rule.derive(work, work);
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
    const TBitmap32& w = *layer(i).ForeWork;
    return {p.x, p.y, w.width(), w.height()};
}

namespace {

// Draws row y of the picture placed at (px, py) onto columns [left, right) of row y,
// whose column `left` is at `dest`. `opaque`: the row under it is opaque there.
void blendLayerRow(const TBitmap32& pic, int px, int py, std::uint32_t* dest, int y, int left,
                   int right, bool opaque) {
    if (y < py || y - py >= pic.height())
        return;
    const int l = std::max(left, px);
    const int r = int(std::min<std::int64_t>(right, std::int64_t(px) + pic.width()));
    if (l >= r)
        return;
    blendRow(dest + (l - left), pic.row32(y - py) + (l - px), r - l, opaque);
}

} // namespace

// Where composed rows go: scene row y, column x is at row(y)[x - left].
struct Scene::RowTarget {
    std::uint32_t* origin; // scene column `left` of scene row `top`
    std::ptrdiff_t stride; // pixels from one row to the next
    int left, top;
    std::uint32_t* row(int y) const { return origin + std::ptrdiff_t(y - top) * stride; }
};

// Composes rows of the scene, a span of columns at a time, from the top down: where the
// topmost layer reaching a span is opaque there, the span is a copy of that layer
// (BlendPixel with source alpha 255 writes the source whatever lies under it) and
// nothing below it is read. A layer reaching only part of a span splits it at its
// edges; a see-through layer is blended over what lies below it. One composer serves
// one band of rows on one thread.
class Scene::RowComposer {
  public:
    RowComposer(const Scene& scene, const std::vector<Point>& places, const RowTarget& target)
        : m_scene(scene), m_places(places), m_target(target) {}

    // Writes columns [a, b) of row y, then the frame over them; returns true when the
    // row is known to be opaque there.
    bool row(int y, int a, int b) {
        // The pieces of pictures the last row read start a few rows further down in the
        // same places: asking for them now lets the memory fetch them while this row is
        // composed (each piece's lines would otherwise stall this row on their way in).
        for (const Piece& piece : m_reads) {
            if (y + kPrefetchRows >= piece.bottom)
                continue;
            const char* line =
                reinterpret_cast<const char*>(piece.start + kPrefetchRows * piece.stride);
            const char* end = line + std::ptrdiff_t(piece.count) * 4;
            for (; line < end; line += 64)
                __builtin_prefetch(line);
        }
        m_reads.clear();
        const bool opaque = span(y, a, b, m_scene.LayerCount(), 0);
        const std::optional<SharedPicture>& frame = m_scene.FramePicture;
        if (frame && !(*frame)->empty())
            blendLayerRow(**frame, 0, 0, dest(y, a), y, a, b, opaque);
        return opaque;
    }

  private:
    // Past this many nested spans (a pile of see-through or staggered layers) the span
    // is drawn bottom up, every layer in turn.
    static constexpr int kMaxDepth = 256;
    static constexpr std::ptrdiff_t kPrefetchRows = 4;

    struct Piece {
        const std::uint32_t* start; // first pixel read in this row
        std::ptrdiff_t stride;      // pixels from one row of its picture to the next
        int count;                  // pixels read
        int bottom;                 // the scene row below the picture's last row
    };

    std::uint32_t* dest(int y, int a) const { return m_target.row(y) + (a - m_target.left); }

    const std::uint32_t* read(const TBitmap32& pic, int px, int py, int y, int a, int n) {
        const std::uint32_t* start = pic.row32(y - py) + (a - px);
        const int bottom = int(std::min<std::int64_t>(std::int64_t(py) + pic.height(), 1 << 30));
        m_reads.push_back({start, std::ptrdiff_t(pic.width()), n, bottom});
        return start;
    }

    // Writes columns [a, b) of row y from the background and layers 1..top. Returns
    // true when the span is known to be opaque (then later layers may take the blend
    // for opaque destinations).
    bool span(int y, int a, int b, int top, int depth) {
        if (depth > kMaxDepth)
            return layered(y, a, b, top);
        std::uint32_t* out = dest(y, a);
        for (int i = top; i >= 1; --i) {
            const LayerSlot& slot = m_scene.layer(i);
            const TBitmap32& pic = *slot.ForeWork;
            const Point p = m_places[std::size_t(i)];
            if (!slot.visible || y < p.y || std::int64_t(y) - p.y >= pic.height())
                continue;
            const int la = std::max(a, p.x);
            const int lb = int(std::min<std::int64_t>(b, std::int64_t(p.x) + pic.width()));
            if (la >= lb)
                continue;
            if (la > a || lb < b) {
                // Every layer above i misses [a, b); i misses what lies beside [la, lb).
                const bool before = la > a ? span(y, a, la, i - 1, depth + 1) : true;
                const bool inside = span(y, la, lb, i, depth + 1);
                const bool after = lb < b ? span(y, lb, b, i - 1, depth + 1) : true;
                return before && inside && after;
            }
            const std::uint32_t* source = read(pic, p.x, p.y, y, a, b - a);
            if (copyIfOpaque(out, source, b - a))
                return true;
            const bool opaque = span(y, a, b, i - 1, depth + 1);
            blendLayerRow(pic, p.x, p.y, out, y, a, b, opaque);
            return opaque;
        }
        std::memcpy(out, read(*m_scene.BackWork, 0, 0, y, a, b - a), std::size_t(b - a) * 4);
        return rowOpaque(out, b - a);
    }

    bool layered(int y, int a, int b, int top) const {
        std::uint32_t* out = dest(y, a);
        std::memcpy(out, m_scene.BackWork->row32(y) + a, std::size_t(b - a) * 4);
        const bool opaque = rowOpaque(out, b - a);
        for (int i = 1; i <= top; ++i) {
            const LayerSlot& slot = m_scene.layer(i);
            if (!slot.visible)
                continue;
            const Point p = m_places[std::size_t(i)];
            blendLayerRow(*slot.ForeWork, p.x, p.y, out, y, a, b, opaque);
        }
        return opaque;
    }

    const Scene& m_scene;
    const std::vector<Point>& m_places;
    const RowTarget m_target;
    std::vector<Piece> m_reads; // what the last row read, for the prefetch
};

namespace {
constexpr std::size_t kParallelComposition = std::size_t(1) << 20; // pixels
} // namespace

std::vector<Point> Scene::layerPlaces() const {
    std::vector<Point> places(std::size_t(LayerCount()) + 1);
    for (int i = 1; i <= LayerCount(); ++i)
        if (layer(i).visible)
            places[std::size_t(i)] = layerPosition(i);
    return places;
}

template <typename RowDone>
void Scene::composeBands(const Rect& r, const RowTarget& target, RowDone&& rowDone) const {
    // Row chunks of about 32K pixels; the chunks run in parallel bands.
    const int chunkRows = std::max(1, 32768 / std::max(1, r.width));
    const int chunks = (r.height + chunkRows - 1) / chunkRows;
    const std::vector<Point> places = layerPlaces();
    const auto composeChunks = [&](int begin, int end) {
        RowComposer composer(*this, places, target);
        const int top = r.top + begin * chunkRows;
        const int bottom = std::min(r.bottom(), r.top + end * chunkRows);
        for (int y = top; y < bottom; ++y)
            rowDone(y, composer.row(y, r.left, r.right()));
    };
    // Composing costs about one copy a pixel: under a megapixel (a drag step within the
    // view) waking another thread costs more than it saves.
    if (std::size_t(r.width) * std::size_t(r.height) < kParallelComposition)
        composeChunks(0, chunks);
    else
        parallelRows(chunks, std::size_t(r.width) * std::size_t(chunkRows), composeChunks);
}

void Scene::composeRows(const Rect& r) {
    const RowTarget target{m_scene.row32(0), std::ptrdiff_t(m_scene.width()), 0, 0};
    const bool wholeRows = r.left == 0 && r.width == m_scene.width();
    composeBands(r, target, [&](int y, bool opaque) {
        // Every row is composed over its whole width at least once (ComposeScene); a row
        // stays known opaque while each of its recomposed spans is.
        std::uint8_t& known = m_rowOpaque[std::size_t(y)];
        known = (wholeRows || known) && opaque;
    });
}

std::vector<int> Scene::composeOnto(const Rect& region, std::uint32_t* bits,
                                    std::ptrdiff_t stride) const {
    std::vector<int> seeThrough;
    const Rect r = region.intersected({0, 0, BackWork->width(), BackWork->height()});
    if (r.empty())
        return seeThrough;
    const RowTarget target{bits + std::ptrdiff_t(r.top - region.top) * stride +
                               (r.left - region.left),
                           stride, r.left, r.top};
    std::vector<std::uint8_t> opaque(std::size_t(r.height));
    composeBands(r, target,
                 [&](int y, bool rowOpaque) { opaque[std::size_t(y - r.top)] = rowOpaque; });
    for (int y = r.top; y < r.bottom(); ++y)
        if (!opaque[std::size_t(y - r.top)])
            seeThrough.push_back(y);
    return seeThrough;
}

void Scene::ComposeScene() {
    if (m_held > 0) {
        m_outOfDate = true;
        return;
    }
    if (m_scene.width() != BackWork->width() || m_scene.height() != BackWork->height())
        m_scene = TBitmap32::uninitialized(BackWork->width(), BackWork->height());
    m_rowOpaque.resize(std::size_t(std::max(0, m_scene.height())));
    if (!m_scene.empty())
        composeRows({0, 0, m_scene.width(), m_scene.height()});
}

bool Scene::rowsOpaque(int top, int bottom) const {
    top = std::max(top, 0);
    bottom = std::min(bottom, int(m_rowOpaque.size()));
    for (int y = top; y < bottom; ++y)
        if (!m_rowOpaque[std::size_t(y)])
            return false;
    return true;
}

Rect Scene::composeRegion(const Rect& region) {
    if (m_held > 0) {
        m_outOfDate = true;
        return region.intersected({0, 0, BackWork->width(), BackWork->height()});
    }
    if (m_scene.width() != BackWork->width() || m_scene.height() != BackWork->height()) {
        ComposeScene();
        return {0, 0, m_scene.width(), m_scene.height()};
    }
    const Rect r = region.intersected({0, 0, m_scene.width(), m_scene.height()});
    if (!r.empty())
        composeRows(r);
    return r;
}

void Scene::releaseComposition() {
    if (m_held > 0 && --m_held == 0 && m_outOfDate) {
        m_outOfDate = false;
        ComposeScene();
    }
}

void Scene::restore(const SceneContent& content) {
    static_cast<SceneContent&>(*this) = content;
    ComposeScene();
}

int Scene::AddForegroundLayer(TBitmap32 picture, bool ownShape) {
    TBitmap32 tmp(std::move(picture));
    if (!ownShape)
        SetAlpha(tmp, 255);
    LayerSlot slot;
    slot.ownShape = ownShape;
    slot.carrierWidth = tmp.width();
    slot.carrierHeight = tmp.height();
    slot.handle = {0, 0, displayedSize(tmp.width(), ViewZoom),
                   displayedSize(tmp.height(), ViewZoom)};
    slot.ForeOriginal = SharedPicture(std::move(tmp));
    // ForeWork shares the picture until the alpha derivation below gives it its own.
    slot.ForeWork = slot.ForeOriginal;
    slot.visible = true;
    layers.push_back(std::move(slot));
    const int i = LayerCount();
    CurrentLayer = i;
    RefreshLayer();
    PanelLayer = i;
    PointedLayer = i;
    return i;
}

void Scene::updateImageSize() {
    imgbg.width = displayedSize(BackWork->width(), ViewZoom);
    imgbg.height = displayedSize(BackWork->height(), ViewZoom);
}

void Scene::SetBackgroundPicture(TBitmap32 picture) {
    BackgroundSet = true;
    TBitmap32 opaque(std::move(picture));
    SetAlpha(opaque, 255);
    BackOriginal = SharedPicture(std::move(opaque));
    BackWork = BackOriginal;
    updateImageSize();
    if (LayerCount() > 0)
        deriveLayerAlpha(CurrentLayer);
    ComposeScene();
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
    std::swap(x.marked, y.marked);
    std::swap(x.LayerMask, y.LayerMask);
    std::swap(x.ownShape, y.ownShape);
    std::swap(x.LayerTransparent, y.LayerTransparent);
    std::swap(x.LayerTransparence, y.LayerTransparence);
}

} // namespace quill
