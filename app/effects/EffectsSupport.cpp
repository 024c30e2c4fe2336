#include "app/effects/EffectsSupport.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>

namespace quill::app::effects {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
    setMouseTracking(true);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        onClick)
        onClick();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::mouseMoveEvent(QMouseEvent* event) {
    if (onHover)
        onHover();
    QLabel::mouseMoveEvent(event);
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

QImage previewImage(const TBitmap32& picture, QSize size) {
    if (picture.empty() || size.isEmpty())
        return QImage();
    // Nearest neighbour down to at most twice the shown size, then a smooth step: cheap on
    // a large photograph, and thin pencil lines do not break up. The alpha byte is set
    // opaque by hand: Qt's own conversions would darken pixels by their alpha.
    const int w = std::min(picture.width(), size.width() * 2);
    const int h = std::min(picture.height(), size.height() * 2);
    QImage near(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* src = picture.row32(int(std::int64_t(y) * picture.height() / h));
        auto* dst = reinterpret_cast<std::uint32_t*>(near.scanLine(y));
        for (int x = 0; x < w; ++x)
            dst[x] = src[std::int64_t(x) * picture.width() / w] | 0xFF000000u;
    }
    return near.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// ---- LiveRenderer ---------------------------------------------------------------------

LiveRenderer::LiveRenderer() {
    m_pool.setMaxThreadCount(1);
}

LiveRenderer::~LiveRenderer() {
    m_pool.waitForDone();
}

void LiveRenderer::setShownSize(QSize size) {
    std::lock_guard lock(m_mutex);
    m_shownSize = size;
}

void LiveRenderer::request(Job job) {
    std::lock_guard lock(m_mutex);
    ++m_requested;
    m_pending = Pending{m_requested, std::move(job)};
    if (!m_running) {
        m_running = true;
        m_pool.start([this] { run(); });
    }
}

TBitmap32 LiveRenderer::finalResult(const Job& job) {
    m_pool.waitForDone();
    {
        std::lock_guard lock(m_mutex);
        if (m_done && m_done->id == m_requested)
            return m_done->picture;
    }
    return job();
}

void LiveRenderer::reset() {
    m_pool.waitForDone();
    std::lock_guard lock(m_mutex);
    m_pending.reset();
    m_done.reset();
    ++m_requested; // a result still on its way to onReady is stale now
}

bool LiveRenderer::isNewest(std::uint64_t id) const {
    std::lock_guard lock(m_mutex);
    return id == m_requested;
}

int LiveRenderer::computations() const {
    std::lock_guard lock(m_mutex);
    return m_computations;
}

bool LiveRenderer::idle() const {
    std::lock_guard lock(m_mutex);
    return !m_running;
}

void LiveRenderer::run() {
    for (;;) {
        Pending next;
        QSize size;
        {
            std::lock_guard lock(m_mutex);
            if (!m_pending) {
                m_running = false;
                return;
            }
            next = std::move(*m_pending);
            m_pending.reset();
            size = m_shownSize;
            ++m_computations;
        }
        Result result;
        result.id = next.id;
        try {
            result.picture = next.job();
            result.shown = previewImage(result.picture, size);
        } catch (const std::exception&) {
            result.picture = TBitmap32(); // too large for memory: nothing to show
        }
        {
            // Shown even when a newer request waits: it is newer than what is on the
            // screen, so a dragged slider's preview keeps up with the hand.
            std::lock_guard lock(m_mutex);
            m_done = result;
        }
        QMetaObject::invokeMethod(
            &m_context,
            [this, id = result.id] {
                std::optional<Result> done;
                {
                    std::lock_guard lock(m_mutex);
                    if (m_done && m_done->id == id) // else a newer one is on its way
                        done = m_done;
                }
                if (done && onReady)
                    onReady(*done);
            },
            Qt::QueuedConnection);
    }
}

} // namespace quill::app::effects
