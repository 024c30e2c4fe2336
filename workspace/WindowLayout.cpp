#include "workspace/WindowLayout.h"

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
