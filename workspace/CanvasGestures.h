#pragma once

// The canvas's pointer state machine: which layer the pointer is over, dragging and
// resizing a layer's handle, panning the view, and the scroll position. A drag moves the
// handle while the pointer moves and becomes one step of the document when it ends.

#include "workspace/Document.h"
#include "workspace/WindowLayout.h"

#include <string>
#include <vector>

namespace quill {

// Pointer shapes the canvas asks for.
enum class CursorShape {
    Default,  // arrow
    SizeAll,  // move
    SizeNWSE, // north-west / south-east
    SizeNS,   // north / south
    SizeNESW, // north-east / south-west
    SizeWE,   // west / east
    Hand,     // panning ("PALM")
};

// Which mouse buttons are held during a move, or which one is pressed/released.
struct Buttons {
    bool left = false;
    bool right = false;
};

// What lies under a canvas point.
enum class CanvasTargetKind { BareCanvas, Handle, SceneImage };
struct CanvasTarget {
    CanvasTargetKind kind = CanvasTargetKind::BareCanvas;
    int slot = 0; // the handle's slot for Handle
    bool operator==(const CanvasTarget&) const = default;
};

// What the window must do after a canvas step.
struct CanvasReply {
    bool cursorChanged = false;
    CursorShape cursor = CursorShape::Default;
    CanvasTarget cursorOn;       // the control that gets the cursor
    bool openCanvasMenu = false; // pop up the canvas menu now
    Rect repaint;                // scene pixels to show anew (empty = none)
    bool handlesChanged = false; // handle rectangles, markers or visibility changed
    bool scrolled = false;       // the scroll position changed (see scrollX/Y)
    int scrollX = 0;
    int scrollY = 0;
    std::string message; // a message box to show (empty = none)
};

// Resize zone of a handle of displayed size w x h for a pointer at (x, y) in the
// handle's coordinates: 1..8, 0 = none.
int resizeZoneAt(int x, int y, int w, int h);
// The cursor of a zone (SizeAll for 0).
CursorShape zoneCursor(int zone);
// The selection marker of a layer of w x h pixels, in the layer's pixels (shown stretched
// with its handle): a 10 x 10 square in each corner and two 4-pixel bars 3 pixels in from
// each side. None below 20 pixels a side.
std::vector<Rect> selectionMarker(int w, int h);

class CanvasGestures {
  public:
    CanvasGestures(Document& document, const WindowLayout& layout)
        : m_document(document), m_layout(layout) {}

    // What lies under canvas point (x, y) (content coordinates, the scene image at its
    // place): the topmost visible handle containing it, else the scene image, else the
    // bare canvas.
    CanvasTarget hitTest(int x, int y) const;
    // Pointer steps at canvas point (x, y). While a press on a handle holds, the handle
    // keeps the pointer (moves and the release go to it wherever the pointer is).
    CanvasReply move(int x, int y, Buttons held);
    CanvasReply press(int x, int y, Buttons pressed);
    CanvasReply release(int x, int y, Buttons released);
    // Double-click: the slot whose ForeWork goes into the sketch-list (0 = none), or
    // -1 when it was on the scene image ("Add scene into album-list").
    int doubleClick(int x, int y) const;
    // Files dropped at canvas point (x, y) with shift held go to the background unless
    // they land on a layer.
    bool dropGoesToBackground(int x, int y, bool shift) const;

    // Pointer state
    bool DragMode() const { return m_dragMode; }
    bool ResizeMode() const { return m_resizeMode; }
    int ResizeZone() const { return m_resizeZone; }
    bool PanMode() const { return m_panMode; }
    bool PanBackground() const { return m_panBackground; }
    bool ClickWithoutPan() const { return m_clickWithoutPan; }

    // ---- scroll ------------------------------------------------------------------------
    // The window reports its scroll range (largest positions) and the positions after
    // the user moved the scroll bars.
    void setScrollRange(int maxX, int maxY);
    void setScrollPosition(int x, int y);
    int scrollX() const { return m_scrollX; }
    int scrollY() const { return m_scrollY; }

    // The part of the scene (in scene pixels) that the canvas shows at its scroll
    // position, with a pixel of margin; the whole scene while the canvas has no size yet.
    Rect visibleSceneRect() const;
    // While a layer is dragged the scene picture is not recomposed at each step: the
    // canvas composes what it shows as it paints (straight onto the screen, or into the
    // scene picture through composePendingIn), and the rest of the moved layer's old
    // and new places waits for the release. The rectangle of scene pixels not composed
    // yet (empty when none).
    Rect pendingComposition() const { return m_pendingComposition; }
    // Composes the part of the pending rectangle inside `sceneRect` into the scene
    // picture (the pending rectangle stays as it is); returns what was composed.
    Rect composePendingIn(const Rect& sceneRect);
    // Recomposes everything a drag left for later. Returns that rectangle (empty when
    // nothing was left).
    Rect finishPendingComposition();

  private:
    // The reply carries the canvas's scroll position as it stands.
    CanvasReply& setScroll(CanvasReply& r) const {
        r.scrollX = m_scrollX;
        r.scrollY = m_scrollY;
        return r;
    }
    void applyDragStep(LayerSlot& slot, int zone, int X, int Y);
    CanvasReply panTo(int x, int y);
    CanvasTarget pointerTarget(int x, int y) const;
    Rect fullSceneRect() const;

    Document& m_document;
    const WindowLayout& m_layout;

    bool m_dragMode = false;
    bool m_resizeMode = false;
    int m_resizeZone = 0;
    bool m_panMode = false;
    bool m_panBackground = false;
    bool m_clickWithoutPan = false;
    Point m_start;
    Point m_last;
    int m_savedScrollX = 0;
    int m_savedScrollY = 0;
    int m_captureSlot = 0;       // handle holding the pointer during a press (0 = none)
    Rect m_pressHandle;          // that handle where the press found it
    bool m_captureImage = false; // the scene image holds the pointer during a press
    bool m_captureBare = false;  // the bare canvas holds it
    bool m_resizeDrag = false;   // a left press in a zone: resizing until the release

    int m_scrollX = 0;
    int m_scrollY = 0;
    int m_scrollMaxX = 0;
    int m_scrollMaxY = 0;
    // Scene pixels a drag changed but recomposed only where the view shows them.
    Rect m_pendingComposition;
};

} // namespace quill
