#include "app/SceneCanvas.h"

#include "app/SceneGeometry.h"
#include "app/ScenePaint.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace quill::app {

namespace {

const QColor kMarkerRed(255, 0, 0);

Qt::CursorShape qtCursor(CursorShape shape) {
    switch (shape) {
    case CursorShape::Default:
        return Qt::ArrowCursor;
    case CursorShape::SizeAll:
        return Qt::SizeAllCursor;
    case CursorShape::SizeNWSE:
        return Qt::SizeFDiagCursor;
    case CursorShape::SizeNS:
        return Qt::SizeVerCursor;
    case CursorShape::SizeNESW:
        return Qt::SizeBDiagCursor;
    case CursorShape::SizeWE:
        return Qt::SizeHorCursor;
    case CursorShape::Hand:
        return QGuiApplication::mouseButtons() == Qt::NoButton ? Qt::OpenHandCursor
                                                               : Qt::ClosedHandCursor;
    }
    return Qt::ArrowCursor;
}

Buttons buttonsOf(Qt::MouseButtons b) {
    return Buttons{b.testFlag(Qt::LeftButton), b.testFlag(Qt::RightButton)};
}

} // namespace

SceneImage::SceneImage(Workspace& model, CanvasView* view)
    : QWidget(view), m_model(model), m_view(view) {
    setObjectName(QStringLiteral("imgbg"));
    setMouseTracking(true);
    // Every pixel is painted from the scene picture or the canvas colour.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QString SceneImage::hintAt(QPoint at) const {
    // The double-click under the pointer decides: a layer goes into the sketch-list, the
    // scene into the album-list.
    switch (m_model.canvas().hitTest(at.x(), at.y()).kind) {
    case CanvasTargetKind::Handle:
        return QStringLiteral("Double-click on the foreround to add into sketch-list");
    case CanvasTargetKind::SceneImage:
        return QStringLiteral("Double-click on the background to add scene into album-list");
    case CanvasTargetKind::BareCanvas:
        break;
    }
    return QString();
}

bool SceneImage::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString hint = hintAt(help->pos());
    if (hint.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), hint, this);
    return true;
}

QSize SceneImage::contentSize() const {
    const Scene& scene = m_model.scene();
    int right = std::max(0, scene.imgbg.right());
    int bottom = std::max(0, scene.imgbg.bottom());
    for (int i = 1; i <= scene.LayerCount(); ++i) {
        const LayerSlot& slot = scene.layer(i);
        if (!slot.visible)
            continue;
        right = std::max(right, slot.handle.right());
        bottom = std::max(bottom, slot.handle.bottom());
    }
    return QSize(right, bottom);
}

QRect SceneImage::widgetRectOfScene(const Rect& r) const {
    const Scene& scene = m_model.scene();
    const TBitmap32& picture = scene.scenePicture();
    if (r.empty() || picture.empty())
        return QRect();
    const double sx = double(scene.imgbg.width) / picture.width();
    const double sy = double(scene.imgbg.height) / picture.height();
    // One pixel of slack on each side covers the nearest-neighbour edges.
    const int left = int(std::floor(r.left * sx)) - 1;
    const int top = int(std::floor(r.top * sy)) - 1;
    const int right = int(std::ceil(r.right() * sx)) + 1;
    const int bottom = int(std::ceil(r.bottom() * sy)) + 1;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

SceneImage::HandleState SceneImage::handleState(int i) const {
    const LayerSlot& slot = m_model.scene().layer(i);
    return HandleState{slot.handle, slot.visible, slot.visible && slot.marked};
}

void SceneImage::syncFromModel() {
    const int count = m_model.scene().LayerCount();
    m_handles.assign(std::size_t(count) + 1, HandleState{});
    for (int i = 1; i <= count; ++i)
        m_handles[std::size_t(i)] = handleState(i);
    update();
}

void SceneImage::repaintChangedHandles() {
    const int count = m_model.scene().LayerCount();
    if (int(m_handles.size()) != count + 1) {
        syncFromModel();
        return;
    }
    for (int i = 1; i <= count; ++i) {
        HandleState now = handleState(i);
        HandleState& before = m_handles[std::size_t(i)];
        if (now == before)
            continue;
        // A marker or a handle moved: the old and the new place are repainted.
        if (before.marked)
            update(toQRect(before.rect));
        if (now.marked)
            update(toQRect(now.rect));
        before = now;
    }
}

void SceneImage::paintMarker(QPainter& painter, const LayerSlot& slot) const {
    const int w = slot.carrierWidth;
    const int h = slot.carrierHeight;
    const std::vector<Rect> parts = selectionMarker(w, h);
    if (parts.empty() || slot.handle.empty())
        return;
    // The marker lives at the layer's pixel size and is shown stretched with the handle,
    // so its thickness on screen follows the zoom.
    painter.save();
    painter.translate(slot.handle.left, slot.handle.top);
    painter.scale(double(slot.handle.width) / w, double(slot.handle.height) / h);
    for (const Rect& part : parts)
        painter.fillRect(toQRect(part), kMarkerRed);
    painter.restore();
}

void SceneImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect exposed = event->rect();
    const Scene& scene = m_model.scene();
    const QRect image = toQRect(scene.imgbg);

    // Whatever the scene image does not cover shows the canvas colour.
    const QRegion outside = QRegion(exposed).subtracted(QRegion(image));
    for (const QRect& r : outside)
        painter.fillRect(r, palette().color(QPalette::Dark));

    paintCanvasScene(painter, m_model, exposed);

    for (int i = 1; i <= scene.LayerCount(); ++i) {
        const LayerSlot& slot = scene.layer(i);
        if (slot.visible && slot.marked && exposed.intersects(toQRect(slot.handle)))
            paintMarker(painter, slot);
    }
}

void SceneImage::applyReply(const CanvasReply& reply, const QPoint& globalPos) {
    if (!reply.repaint.empty())
        update(widgetRectOfScene(reply.repaint));
    if (reply.handlesChanged) {
        if (contentSize() != size())
            m_view->updateContentSize();
        repaintChangedHandles();
    }
    if (reply.cursorChanged)
        setCursor(qtCursor(reply.cursor));
    if (reply.scrolled)
        m_view->scrollTo(reply.scrollX, reply.scrollY);
    if (!reply.message.empty())
        emit messageRequested(QString::fromStdString(reply.message));
    if (reply.openCanvasMenu)
        emit canvasMenuRequested(globalPos);
}

void SceneImage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    applyReply(m_model.canvas().move(p.x(), p.y(), buttonsOf(event->buttons())),
               event->globalPosition().toPoint());
}

void SceneImage::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    applyReply(m_model.canvas().press(p.x(), p.y(), buttonsOf(event->button())),
               event->globalPosition().toPoint());
    emit stateChanged();
}

void SceneImage::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const CanvasReply reply = m_model.canvas().release(p.x(), p.y(), buttonsOf(event->button()));
    // The selection is shown before a menu opens over it.
    emit stateChanged();
    applyReply(reply, event->globalPosition().toPoint());
}

void SceneImage::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is a press as well.
    mousePressEvent(event);
    const QPoint p = event->position().toPoint();
    emit doubleClicked(m_model.canvas().doubleClick(p.x(), p.y()));
}

CanvasView::CanvasView(Workspace& model, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_image(new SceneImage(model, this)) {
    setObjectName(QStringLiteral("ScrollBox1"));
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWidget(m_image);
    setFrameShape(QFrame::StyledPanel);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { reportScroll(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { reportScroll(); });
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { reportScroll(); });
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { reportScroll(); });
}

void CanvasView::reportScroll() {
    m_model.canvas().setScrollRange(horizontalScrollBar()->maximum(),
                                    verticalScrollBar()->maximum());
    m_model.canvas().setScrollPosition(horizontalScrollBar()->value(),
                                       verticalScrollBar()->value());
}

void CanvasView::scrollTo(int x, int y) {
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
    reportScroll();
}

void CanvasView::updateContentSize() {
    const QSize wanted = m_image->contentSize();
    if (m_image->size() != wanted)
        m_image->resize(wanted);
    reportScroll();
}

void CanvasView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    reportScroll();
}

} // namespace quill::app
