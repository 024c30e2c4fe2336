#pragma once

#include "workspace/Workspace.h"

#include <QScrollArea>
#include <QWidget>

#include <vector>

namespace quill::app {

class CanvasView;

// The scene image imgbg and the layer handles, drawn in one widget that is the
// scroll area's content. Pixels come straight from the model's composed scene
// picture; handles are invisible but for the red selection marker. Every pointer
// gesture goes to the model, and the reply says what to repaint.
class SceneImage : public QWidget {
    Q_OBJECT
  public:
    SceneImage(Workspace& model, CanvasView* view);

    // The widget rectangle covering the given rectangle of scene pixels at the current zoom.
    QRect widgetRectOfScene(const Rect& scenePixels) const;
    // Takes the model's sizes and handles anew and repaints everything.
    void syncFromModel();
    // Repaints only what changed in the handles since the last sync (markers, places).
    void repaintChangedHandles();
    // The content size: the scene image and every visible handle right and below of it.
    QSize contentSize() const;
    // The hint shown at a point of the canvas: over a layer the sketch-list's, over the
    // bare scene image the album-list's, none elsewhere.
    QString hintAt(QPoint at) const;

    // Applies a canvas reply: repaint, cursor, scroll, menu, message.
    void applyReply(const CanvasReply& reply, const QPoint& globalPos);

  signals:
    void canvasMenuRequested(const QPoint& globalPos);
    void messageRequested(const QString& text);
    // The selection, the enabled states or the transparency controls may have changed.
    void stateChanged();
    // A double-click; see MainWindowModel::canvasDoubleClick.
    void doubleClicked(int result);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    struct HandleState {
        Rect rect;
        bool visible = false;
        bool marked = false;
        bool operator==(const HandleState&) const = default;
    };
    HandleState handleState(int i) const;
    void paintMarker(QPainter& painter, const LayerSlot& slot) const;

    Workspace& m_model;
    CanvasView* m_view;
    std::vector<HandleState> m_handles; // as last painted, [0] unused
};

// The canvas scroll box ("ScrollBox1"): scroll bars always tracking, the scene image
// at its origin.
class CanvasView : public QScrollArea {
    Q_OBJECT
  public:
    CanvasView(Workspace& model, QWidget* parent = nullptr);

    SceneImage* image() const { return m_image; }
    // Scrolls to the given positions (kept within range) and tells the model where it ended.
    void scrollTo(int x, int y);
    // Sizes the content after a change of the scene image or of the handles.
    void updateContentSize();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void reportScroll();

    Workspace& m_model;
    SceneImage* m_image;
};

} // namespace quill::app
