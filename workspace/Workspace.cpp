#include "workspace/Workspace.h"

namespace quill {

Workspace::Workspace()
    : m_document(m_masks), m_canvas(m_document, m_layout), m_layerPanel(m_document) {}

void Workspace::windowShown() {
    m_layout.windowShown();
    m_document.windowShown();
}

ResizeReply Workspace::mainWindowResized(const Rect& mainWindow, int leftGroupWidth,
                                         Point layerShowButton, Point albumListShowButton) {
    return m_layout.mainWindowResized(mainWindow, scene().imgbg, leftGroupWidth, layerShowButton,
                                      albumListShowButton);
}

void Workspace::zoomIn() {
    m_canvas.finishPendingComposition();
    m_document.imgzoomin();
    ScrollBox1resize();
}

void Workspace::zoomOut() {
    m_canvas.finishPendingComposition();
    m_document.imgzoomout();
    ScrollBox1resize();
}

bool Workspace::wheel(int delta, bool pointerOverCanvas) {
    if (!pointerOverCanvas)
        return false;
    if (delta < 0)
        zoomIn();
    else
        zoomOut();
    return true;
}

bool Workspace::undo() {
    m_canvas.finishPendingComposition();
    const bool done = m_document.undo();
    ScrollBox1resize();
    return done;
}

bool Workspace::redo() {
    m_canvas.finishPendingComposition();
    const bool done = m_document.redo();
    ScrollBox1resize();
    return done;
}

} // namespace quill
