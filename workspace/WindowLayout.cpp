#include "workspace/WindowLayout.h"

#include <tuple>
#include <utility>

namespace quill {

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

namespace {

// One axis of the canvas: the room the window leaves, the image's size on it, where the
// room begins. A smaller image is centred; a larger one fills the room. Returns the start
// and the length (5 pixels more than what it shows).
std::pair<int, int> canvasAxis(int room, int image, int origin) {
    if (room <= image)
        return {origin, room + 5};
    return {(room - image) / 2 + origin, image + 5};
}

} // namespace

Rect canvasRectFor(int windowWidth, int windowHeight, int imageWidth, int imageHeight) {
    Rect r;
    std::tie(r.left, r.width) = canvasAxis(windowWidth - 355, imageWidth, 1);
    std::tie(r.top, r.height) = canvasAxis(windowHeight - 265, imageHeight, 30);
    return r;
}

WindowLayout::WindowLayout() {
    m_canvas = canvasRectFor(m_window.width, m_window.height, 0, 0);
}

void WindowLayout::windowShown() {
    m_firstLayout = true;
    m_firstShow = true;
}

Rect WindowLayout::ScrollBox1resize(const Rect& image) {
    m_canvas = canvasRectFor(m_window.width, m_window.height, image.width, image.height);
    return m_canvas;
}

ResizeReply WindowLayout::mainWindowResized(const Rect& mainWindow, const Rect& image,
                                            int leftGroupWidth, Point layerShowButton,
                                            Point albumListShowButton) {
    m_window = mainWindow;
    ResizeReply r;
    r.canvas = ScrollBox1resize(image);
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

} // namespace quill
