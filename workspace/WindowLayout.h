#pragma once

// Where the main window puts its canvas, tool bar, status line and floating panels.

#include "imaging/Geometry.h"

namespace quill {

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

// The main window's layout state: its rectangle, the canvas's, and whether the first
// layout is still to come.
class WindowLayout {
  public:
    WindowLayout();

    // The window is shown: the next resize places the panels and builds the browsers.
    void windowShown();
    // The window is closing: the first-layout flag is cleared.
    void windowClosing() { m_firstLayout = false; }
    // A main-window resize to w x h at (left, top) on screen; leftGroupWidth is the width
    // of the tool bar's left group, the button points as for computePanelLayout; image is
    // the scene image's displayed size.
    ResizeReply mainWindowResized(const Rect& mainWindow, const Rect& image, int leftGroupWidth = 0,
                                  Point layerShowButton = {}, Point albumListShowButton = {});
    // The canvas rectangle for the current window size and scene image (ScrollBox1resize).
    Rect ScrollBox1resize(const Rect& image);
    Rect canvasRect() const { return m_canvas; }
    Rect windowRect() const { return m_window; }

  private:
    Rect m_window{2, 1, 843, 668};
    Rect m_canvas;
    bool m_firstLayout = false;
    bool m_firstShow = false;
};

} // namespace quill
