#pragma once

// Everything the main window works with, without a widget: the document, the mask
// library its layers use, the window's layout, the canvas gestures and the layer panel.
// The window forwards every gesture here and shows what the parts say.

#include "decor/MaskLibrary.h"
#include "workspace/CanvasGestures.h"
#include "workspace/Document.h"
#include "workspace/LayerPanelModel.h"
#include "workspace/SceneFile.h"
#include "workspace/WindowLayout.h"

namespace quill {

class Workspace {
  public:
    Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    Document& document() { return m_document; }
    const Document& document() const { return m_document; }
    const Scene& scene() const { return m_document.scene(); }
    // The scene with its picture wholly composed: for whatever uses the picture itself
    // (publishing, the album-list, saving).
    const Scene& composedScene() {
        m_canvas.finishPendingComposition();
        return m_document.scene();
    }
    MaskLibrary& masks() { return m_masks; }
    WindowLayout& layout() { return m_layout; }
    const WindowLayout& layout() const { return m_layout; }
    CanvasGestures& canvas() { return m_canvas; }
    const CanvasGestures& canvas() const { return m_canvas; }
    const LayerPanelModel& layerPanel() const { return m_layerPanel; }
    // The pictures of the scene file last saved or opened, encoded.
    SceneFileCache& sceneFileCache() { return m_sceneFileCache; }

    // The window is shown: a white 600 x 450 background, the first layout to come.
    void windowShown();
    // The canvas rectangle for the window and the scene image as they are now.
    Rect ScrollBox1resize() { return m_layout.ScrollBox1resize(scene().imgbg); }
    // A main-window resize (see WindowLayout::mainWindowResized).
    ResizeReply mainWindowResized(const Rect& mainWindow, int leftGroupWidth = 0,
                                  Point layerShowButton = {}, Point albumListShowButton = {});

    // The zoom buttons: a step, then ScrollBox1resize.
    void zoomIn();
    void zoomOut();
    // Mouse wheel: zooms (negative delta in) only over the canvas; true when handled.
    bool wheel(int delta, bool pointerOverCanvas);
    // Undo and redo, with the canvas fitted to the scene image afterwards.
    bool undo();
    bool redo();

  private:
    MaskLibrary m_masks;
    Document m_document;
    WindowLayout m_layout;
    CanvasGestures m_canvas;
    LayerPanelModel m_layerPanel;
    SceneFileCache m_sceneFileCache;
};

} // namespace quill
