#include "workspace/CanvasGestures.h"

#include <algorithm>
#include <cmath>

namespace quill {

namespace {
constexpr int kZoneDepth = 20; // resize zones reach 20 pixels into a handle
} // namespace

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

std::vector<Rect> selectionMarker(int w, int h) {
    if (w < 20 || h < 20)
        return {};
    return {{0, 0, 10, 10}, {w - 10, 0, 10, 10}, {0, h - 10, 10, 10}, {w - 10, h - 10, 10, 10},
            {0, 3, w, 4},   {0, h - 7, w, 4},    {3, 0, 4, h},        {w - 7, 0, 4, h}};
}

void CanvasGestures::setScrollRange(int maxX, int maxY) {
    m_scrollMaxX = std::max(0, maxX);
    m_scrollMaxY = std::max(0, maxY);
    m_scrollX = std::clamp(m_scrollX, 0, m_scrollMaxX);
    m_scrollY = std::clamp(m_scrollY, 0, m_scrollMaxY);
}

void CanvasGestures::setScrollPosition(int x, int y) {
    finishPendingComposition();
    m_scrollX = std::clamp(x, 0, m_scrollMaxX);
    m_scrollY = std::clamp(y, 0, m_scrollMaxY);
}

Rect CanvasGestures::visibleSceneRect() const {
    const Scene& s = m_document.scene();
    const Rect whole{0, 0, s.scenePicture().width(), s.scenePicture().height()};
    if (m_layout.canvasRect().empty() || s.ViewZoom <= 0)
        return whole;
    // Canvas pixels to scene pixels, rounded outwards, with a pixel of margin for the
    // rounding of places and sizes on screen.
    const long double toScene = 100.0L / s.ViewZoom;
    const auto scene = [&](long double v) { return static_cast<long double>(v) * toScene; };
    const long double left = scene(m_scrollX - s.imgbg.left), top = scene(m_scrollY - s.imgbg.top);
    const long double right = scene(m_scrollX - s.imgbg.left + m_layout.canvasRect().width);
    const long double bottom = scene(m_scrollY - s.imgbg.top + m_layout.canvasRect().height);
    const auto clampInt = [](long double v) {
        return int(std::clamp<long double>(v, -(1 << 30), 1 << 30));
    };
    const Rect view =
        Rect::fromEdges(clampInt(std::floor(left)) - 1, clampInt(std::floor(top)) - 1,
                        clampInt(std::ceil(right)) + 1, clampInt(std::ceil(bottom)) + 1);
    return view.intersected(whole);
}

Rect CanvasGestures::composePendingIn(const Rect& sceneRect) {
    const Rect r = m_pendingComposition.intersected(sceneRect);
    return r.empty() ? r : m_document.sceneForGestures().composeRegion(r);
}

Rect CanvasGestures::finishPendingComposition() {
    if (m_pendingComposition.empty())
        return {};
    const Rect done = m_document.sceneForGestures().composeRegion(m_pendingComposition);
    m_pendingComposition = {};
    return done;
}

CanvasTarget CanvasGestures::hitTest(int x, int y) const {
    const Scene& s = m_document.scene();
    for (int i = s.LayerCount(); i >= 1; --i) {
        const LayerSlot& l = s.layer(i);
        if (l.visible && l.handle.contains(x, y))
            return {CanvasTargetKind::Handle, i};
    }
    if (s.imgbg.contains(x, y))
        return {CanvasTargetKind::SceneImage, 0};
    return {};
}

Rect CanvasGestures::fullSceneRect() const {
    return {0, 0, m_document.scene().scenePicture().width(),
            m_document.scene().scenePicture().height()};
}

CanvasReply CanvasGestures::panTo(int X, int Y) {
    CanvasReply r;
    const int nx = std::clamp(m_scrollX + (m_start.x - X), 0, m_scrollMaxX);
    const int ny = std::clamp(m_scrollY + (m_start.y - Y), 0, m_scrollMaxY);
    if (nx != m_scrollX || ny != m_scrollY) {
        m_scrollX = nx;
        m_scrollY = ny;
        r.scrolled = true;
    }
    setScroll(r);
    if (m_scrollX != m_savedScrollX || m_scrollY != m_savedScrollY)
        m_clickWithoutPan = false;
    return r;
}

void CanvasGestures::applyDragStep(LayerSlot& slot, int zone, int X, int Y) {
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

CanvasTarget CanvasGestures::pointerTarget(int x, int y) const {
    // The control that took the press keeps the pointer until the release.
    if (m_captureImage)
        return {CanvasTargetKind::SceneImage, 0};
    if (m_captureBare)
        return {};
    if (m_captureSlot > 0 && m_document.scene().isLayer(m_captureSlot))
        return {CanvasTargetKind::Handle, m_captureSlot};
    return hitTest(x, y);
}

CanvasReply CanvasGestures::move(int x, int y, Buttons held) {
    Scene& s = m_document.sceneForGestures();
    const CanvasTarget target = pointerTarget(x, y);

    if (target.kind == CanvasTargetKind::SceneImage) {
        CanvasReply r;
        if (held.right && m_panBackground)
            r = panTo(x - s.imgbg.left, y - s.imgbg.top);
        return setScroll(r);
    }
    CanvasReply r;
    setScroll(r);
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

CanvasReply CanvasGestures::press(int x, int y, Buttons pressed) {
    Scene& s = m_document.sceneForGestures();
    CanvasReply r;
    setScroll(r);
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
        m_pressHandle = slot.handle;
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

CanvasReply CanvasGestures::release(int x, int y, Buttons released) {
    Scene& s = m_document.sceneForGestures();
    CanvasReply r;
    setScroll(r);
    const CanvasTarget target = pointerTarget(x, y);
    const int captured = m_captureSlot;
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
        m_document.selectPointedLayer();
        if (m_resizeMode && s.isLayer(s.CurrentLayer)) {
            const int L = s.CurrentLayer;
            r.message = m_document.resizeLayerToHandle(L, L == captured ? m_pressHandle
                                                                        : s.layer(L).handle);
            r.repaint = fullSceneRect();
        } else if (s.isLayer(captured)) {
            m_document.layerMoved(captured, m_pressHandle);
        }
        r.handlesChanged = true;
    } else if (target.kind == CanvasTargetKind::SceneImage) {
        if (released.right) {
            m_panBackground = false;
            r.cursorChanged = true;
            r.cursor = CursorShape::Default;
            r.cursorOn = {CanvasTargetKind::SceneImage, 0};
            r.openCanvasMenu = m_clickWithoutPan;
        }
        m_document.releasedOnSceneImage(released.right);
        if (s.LayerCount() > 0)
            r.handlesChanged = true;
    }
    return r;
}

bool CanvasGestures::dropGoesToBackground(int x, int y, bool shift) const {
    return shift && hitTest(x, y).kind != CanvasTargetKind::Handle;
}

int CanvasGestures::doubleClick(int x, int y) const {
    const CanvasTarget t = hitTest(x, y);
    if (t.kind == CanvasTargetKind::Handle)
        return t.slot == m_document.scene().PointedLayer ? t.slot : 0;
    if (t.kind == CanvasTargetKind::SceneImage)
        return -1;
    return 0;
}

} // namespace quill
