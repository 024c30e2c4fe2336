#pragma once

#include "imaging/Bitmap32.h"
#include "scene/Scene.h"

#include <string>
#include <vector>

namespace quill {

// The program's fixed message texts.
inline constexpr const char* kHaveNoForeground = "Have no foreground!";
inline constexpr const char* kHaveNoBackground = "Have no background!";
inline constexpr const char* kNotAValidFormat = " is not a valid format";
inline constexpr const char* kNoWorkToPublish = "You have no work to publish, please do.";
inline constexpr const char* kPictureTooLarge =
    "The picture would be larger than the program can hold.";
inline constexpr const char* kPictureTooSmall =
    "The picture would be less than one pixel wide or high.";

// The range of ViewZoom (percent) the zoom steps stay in.
inline constexpr double kMinViewZoom = 0.001;
inline constexpr double kMaxViewZoom = 100000.0;

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

// Every enabled state the commands switch. Items not listed are always enabled.
struct EnabledStates {
    // Edit menu
    bool editForegroundSize = false;
    bool editBackgroundSize = false;
    // Tools menu
    bool toolsAddSelectedForegroundIntoSketchList = false;
    // Canvas menu
    bool canvasAddMeIntoSketchList = true;
    bool canvasForegroundSize = true;
    bool canvasBackgroundSize = false;
    bool canvasDeleteMe = true;
    // Tool bar
    bool toolForegroundSize = false;
    bool toolBackgroundSize = false;
    bool transparentCheck = false;   // "Transparent"
    bool transparenceSlider = false; // "Set transparence"
    bool angleEdit = false;          // rotation angle edit
    bool rotateForeground = false;   // "Rotate the foreground"
    // Layer panel
    bool upTheLayer = false;
    bool downTheLayer = false;
    bool operator==(const EnabledStates&) const = default;
};

// The tool bar's transparency controls.
struct TransparencyControls {
    bool checked = false;            // "Transparent"
    int sliderPosition = 127;        // 0..255
    std::string percentLabel = "50"; // Round(position / 255 * 100)
};

// One layer panel entry (40 x 25 at left 2 inside the list area).
struct LayerEntry {
    int top = 0;
    bool visible = false;
    bool selected = false; // shown red
    TBitmap32 thumbnail;   // the picture shown (stretched to 36 x 21)
};

// Floating panel rectangles (screen coordinates) and the sizes laid out inside them.
struct PanelLayout {
    Rect foreground;
    Rect background;
    Rect photoEffects;
    Rect layer;
    Rect albumList;
    // Inside the layer panel: list area height, "Up the layer" / "Down the layer" tops.
    int layerListHeight = 0;
    int upButtonTop = 0;
    int downButtonTop = 0;
    // Inside the album-list panel: list area height, "Make album" top.
    int albumListHeight = 0;
    int makeAlbumTop = 0;
    // Foreground panel: notebook and sketch-list strip heights, foreground strip height
    // and its gauge's top; background panel: strip height and its gauge's top.
    int foregroundNotebookHeight = 0;
    int sketchStripHeight = 0;
    int foregroundStripHeight = 0;
    int foregroundGaugeTop = 0;
    int backgroundStripHeight = 0;
    int backgroundGaugeTop = 0;
    // Photo effects panel: notebook width, frame strip width, frame remove button left.
    int photoNotebookWidth = 0;
    int frameStripWidth = 0;
    int frameRemoveLeft = 0;
};

// The floating panels' rectangles for a main window at mainWindow (screen coordinates)
// whose "Layer show" and "Album-list show" buttons sit at the given places in the tool bar.
PanelLayout computePanelLayout(const Rect& mainWindow, Point layerShowButton,
                               Point albumListShowButton);

// Where the canvas goes inside a main window of the given size for a scene image of
// the given displayed size (centred with a 5-pixel margin when it fits).
Rect canvasRectFor(int windowWidth, int windowHeight, int imageWidth, int imageHeight);

// What a main-window resize asks the window to do.
struct ResizeReply {
    Rect canvas;
    int toolBarWidth = 0;
    int rightGroupWidth = 0;
    Point statusLabel;
    bool placePanels = false; // float the panels at `panels`, hide layer and album-list
    PanelLayout panels;
    bool buildBrowsers = false; // first layout: build browsers, frames and masks, drop the splash
};

// Resize zone of a handle of displayed size w x h for a pointer at (x, y) in the
// handle's coordinates: 1..8, 0 = none.
int resizeZoneAt(int x, int y, int w, int h);
// The cursor of a zone (SizeAll for 0).
CursorShape zoneCursor(int zone);

// True when carrier pixel (x, y) of a w x h carrier belongs to the selection marker.
bool isMarkerPixel(int x, int y, int w, int h);
// A carrier picture: all white (transparent on screen), with the red marker when marked.
TBitmap32 makeCarrier(int w, int h, bool marked);

// Formats the zoom label: "0.0" pattern (halves away from zero) followed by "%".
std::string zoomLabelText(double zoom);
// Round(position / 255 * 100) as text.
std::string percentLabelText(int position);

// The working state of the main window, without any widget: the scene, the handles,
// the pointer state machine of the canvas, the layer panel, the zoom, the enabled
// states and the messages. The window forwards every gesture here and draws the state.
class MainWindowModel {
  public:
    MainWindowModel();

    // The scene as it stands: while a layer is dragged, the part of its scene picture
    // named by pendingComposition() is not composed yet.
    Scene& scene() { return m_scene; }
    const Scene& scene() const { return m_scene; }
    // The scene with its picture wholly composed: for whatever uses the picture itself
    // (publishing, the album-list).
    const Scene& composedScene() {
        finishPendingComposition();
        return m_scene;
    }

    // ---- start-up and layout --------------------------------------------------
    // The window is shown: no layers, a white 600 x 450 background, first-layout and
    // first-show flags set.
    void windowShown();
    // The window is closing: the first-layout flag is cleared.
    void windowClosing();
    // A main-window resize to w x h at (left, top) on screen; leftGroupWidth is the
    // width of the tool bar's left group, the button points as for computePanelLayout.
    ResizeReply mainWindowResized(const Rect& mainWindow, int leftGroupWidth = 0,
                                  Point layerShowButton = {}, Point albumListShowButton = {});
    // The canvas rectangle for the current window size (ScrollBox1resize).
    Rect ScrollBox1resize();
    Rect canvasRect() const { return m_canvas; }

    // ---- scroll ------------------------------------------------------------------
    // The window reports its scroll range (largest positions) and the positions after
    // the user moved the scroll bars.
    void setScrollRange(int maxX, int maxY);
    void setScrollPosition(int x, int y);
    int scrollX() const { return m_scrollX; }
    int scrollY() const { return m_scrollY; }

    // ---- adding pictures -----------------------------------------------------------
    // With ShapeOfPicture::Kept, a picture read with see-through parts (a PNG, an icon)
    // keeps its shape as a layer: every pixel whose alpha in the read picture is below
    // 128 becomes CutoutColor in ForeOriginal and ForeWork, which no mask or
    // transparency makes visible again. Ignored: the picture is made opaque as a whole.
    enum class ShapeOfPicture { Ignored, Kept };
    // "Open a new foreground": picture = what the reader gave (nullptr = missing file).
    // Returns the message to show (fileName + " is not a valid format") or "".
    std::string openForeground(const TBitmap32* picture, const std::string& fileName,
                               ShapeOfPicture shape = ShapeOfPicture::Ignored);
    // Foreground browser double-click on a thumbnail (same test, browser variant).
    std::string browserForeground(const TBitmap32* picture, const std::string& fileName,
                                  ShapeOfPicture shape = ShapeOfPicture::Ignored);
    // Any double-click in the foreground browser first enables the tool-bar button.
    void foregroundBrowserDoubleClicked();
    // "Set me as foreground" from the sketch-list (no readability test).
    void sketchListForeground(const TBitmap32& picture);
    // The plain sequence, as "Open a new foreground" after its test. Returns the slot.
    int addForegroundLayer(const TBitmap32& picture,
                           ShapeOfPicture shape = ShapeOfPicture::Ignored);
    // "Open a new background": the test, then setBackgroundPicture.
    std::string openBackground(const TBitmap32* picture, const std::string& fileName);
    // Background browser double-click: the same readability test.
    std::string browserBackground(const TBitmap32* picture, const std::string& fileName);
    // The sequence itself, without a test.
    void setBackgroundPicture(const TBitmap32& picture);

    // ---- effect hand-back ------------------------------------------------------------
    // Checks for a layer: "Have no foreground!" when there is none, else "".
    std::string requireForeground() const;
    std::string requireBackground() const;
    // File "Publish": "You have no work to publish, please do." without a background.
    std::string publish() const;

    // ---- transparency controls ------------------------------------------------------
    const TransparencyControls& transparency() const { return m_transparency; }
    void setTransparentChecked(bool checked);
    void setTransparenceSlider(int position);

    // ---- canvas ----------------------------------------------------------------------
    // What lies under canvas point (x, y) (content coordinates, the scene image at its
    // place): the topmost visible handle containing it, else the scene image, else the
    // bare canvas.
    CanvasTarget hitTest(int x, int y) const;
    // Pointer steps at canvas point (x, y). While a press on a handle holds, the handle
    // keeps the pointer (moves and the release go to it wherever the pointer is).
    CanvasReply canvasMove(int x, int y, Buttons held);
    CanvasReply canvasPress(int x, int y, Buttons pressed);
    CanvasReply canvasRelease(int x, int y, Buttons released);
    // Double-click: the slot whose ForeWork goes into the sketch-list (0 = none), or
    // -1 when it was on the scene image ("Add scene into album-list").
    int canvasDoubleClick(int x, int y) const;

    // Pointer state
    bool DragMode() const { return m_dragMode; }
    bool ResizeMode() const { return m_resizeMode; }
    int ResizeZone() const { return m_resizeZone; }
    bool PanMode() const { return m_panMode; }
    bool PanBackground() const { return m_panBackground; }
    bool ClickWithoutPan() const { return m_clickWithoutPan; }
    Point startPoint() const { return m_start; }
    Point lastPoint() const { return m_last; }

    // Selection marker of handle i.
    bool isMarked(int i) const;
    // The carrier picture of handle i (white with the marker when marked).
    TBitmap32 carrier(int i) const;

    // ---- layer panel -----------------------------------------------------------------
    // Entry of slot i (1..LayerCount).
    const LayerEntry& entry(int i) const;
    // A press on the list area: slot = the thumbnail pressed, 0 = the bare list area.
    // Returns true when the layer menu ("Delete") pops up.
    bool layerPanelPress(int slot, bool rightButton);
    void upTheLayer();
    void downTheLayer();
    // "Delete" and "Delete me": hides PanelLayer.
    void deleteLayer();
    void UpandDownCan(int p);
    void swiftlayer(int a, int b);
    void adjustlayer(int a, int b);

    // ---- zoom ------------------------------------------------------------------------
    void imgzoomin();
    void imgzoomout();
    // The buttons: a step, then ScrollBox1resize.
    void zoomIn();
    void zoomOut();
    // Mouse wheel: zooms (negative delta in) only over the canvas; true when handled.
    bool wheel(int delta, bool pointerOverCanvas);
    const std::string& zoomLabel() const { return m_zoomLabel; }

    // ---- states ------------------------------------------------------------------------
    const EnabledStates& enabled() const { return m_enabled; }

    // The picture size dialog's foreground step: resamples layer `slot` (carrier,
    // ForeOriginal, ForeWork) by (fx, fy) (new size = Trunc(size * factor)), sizes its
    // handle, derives the layer's alpha again (its mask at the new size), composes and
    // marks it. Changes nothing and returns kPictureTooLarge or kPictureTooSmall when a
    // picture of the layer would pass the size limit or come out 0 wide or high (an
    // empty picture stays empty).
    std::string resizeLayerBy(int slot, long double fx, long double fy);
    // The picture size dialog's background step: resamples BackOriginal and BackWork by
    // (fx, fy), sizes imgbg, RefreshLayer, ComposeScene, ScrollBox1resize. Layers keep
    // their pictures and places. Refuses as resizeLayerBy does.
    std::string resizeBackgroundBy(long double fx, long double fy);
    // After a rotation of layer `slot`: its new pictures and how many columns (growX)
    // and rows (growY) it gained on each side; the handle is resized and moved so the
    // layer stays centred, every other marker is erased, RefreshLayer.
    void layerRotated(int slot, TBitmap32 original, TBitmap32 work, int growX, int growY);

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

    // Resizes layer L to its handle's displayed size (after a resize drag).
    // Returns a message when the new size cannot be held (the handle is put back).
    std::string resizeLayerToHandle(int L);

  private:
    // Grows the per-slot state to the scene's slots (layers added to the scene directly).
    void syncSlots() const;
    void selectOnCanvas();
    void loadTransparencyFrom(int i);
    void markOnly(int i);
    void clearAllMarks();
    void unmarkEntries();
    void addLayerEntry(const TBitmap32& picture, int i);
    int addForegroundCommon(const TBitmap32& picture, bool browserVariant, bool sketchVariant,
                            ShapeOfPicture shape);
    void applyDragStep(LayerSlot& slot, int zone, int X, int Y);
    CanvasReply panTo(int x, int y);
    CanvasTarget pointerTarget(int x, int y) const;
    void zoomStep(long double f);
    void moveLayerBy(int step);
    Rect fullSceneRect() const;

    Scene m_scene;
    // Per slot, [0] unused; kept as long as the scene's slots (syncSlots).
    mutable std::vector<LayerEntry> m_entries{1};
    mutable std::vector<char> m_marked{0};
    EnabledStates m_enabled;
    TransparencyControls m_transparency;
    std::string m_zoomLabel = "100%";

    // pointer state
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
    bool m_captureImage = false; // the scene image holds the pointer during a press
    bool m_captureBare = false;  // the bare canvas holds it
    bool m_resizeDrag = false;   // a left press in a zone: resizing until the release

    int m_scrollX = 0;
    int m_scrollY = 0;
    // Scene pixels a drag changed but recomposed only where the view shows them.
    Rect m_pendingComposition;
    int m_scrollMaxX = 0;
    int m_scrollMaxY = 0;

    Rect m_window{2, 1, 843, 668};
    Rect m_canvas;
    bool m_firstLayout = false;
    bool m_firstShow = false;
};

} // namespace quill
