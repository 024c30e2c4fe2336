#pragma once

// Small pieces shared by the photo effects panel and its dialogs: a clickable picture
// control, the busy cursor, the preview picture and the live renderer that keeps slider
// previews on a worker thread.

#include "app/BitmapView.h"
#include "imaging/Bitmap32.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QObject>
#include <QThreadPool>

#include <algorithm>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace quill::app::effects {

// A picture control that reports clicks (and pointer movement) to callbacks.
class ClickLabel : public QLabel {
  public:
    explicit ClickLabel(QWidget* parent = nullptr) : QLabel(parent) { setMouseTracking(true); }
    std::function<void()> onClick;
    std::function<void()> onHover;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            onClick)
            onClick();
        QLabel::mouseReleaseEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (onHover)
            onHover();
        QLabel::mouseMoveEvent(event);
    }
};

// The wait cursor for the life of a command that may take a while.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The picture as a preview shows it: shrunk (nearest neighbour, cheap on large photos)
// to at most size, alpha ignored so that cut-out pixels show their own light colour.
// A deep copy: it may be made on a worker thread and outlive the picture.
inline QImage previewImage(const TBitmap32& picture, QSize size) {
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

// Computes previews on one worker thread for the newest request only: a request made
// while a computation runs replaces any request still waiting, so a slider dragged across
// its range is followed without a queue of stale work. Each finished result comes back on
// the thread that owns the renderer, through onReady, unless a newer one has finished.
class LiveRenderer {
  public:
    struct Result {
        std::uint64_t id = 0;
        TBitmap32 picture;
        QImage shown;
    };
    using Job = std::function<TBitmap32()>;

    LiveRenderer() { m_pool.setMaxThreadCount(1); }
    ~LiveRenderer() { m_pool.waitForDone(); }
    LiveRenderer(const LiveRenderer&) = delete;
    LiveRenderer& operator=(const LiveRenderer&) = delete;

    // Called on the owner's thread with each finished result that is still the newest.
    std::function<void(const Result&)> onReady;
    // The size the shown image is shrunk to.
    void setShownSize(QSize size) {
        std::lock_guard lock(m_mutex);
        m_shownSize = size;
    }

    void request(Job job) {
        std::lock_guard lock(m_mutex);
        ++m_requested;
        m_pending = Pending{m_requested, std::move(job)};
        if (!m_running) {
            m_running = true;
            m_pool.start([this] { run(); });
        }
    }

    // The full result for job, which must describe the newest request: the finished one
    // when it is the newest, else job computed here.
    TBitmap32 finalResult(const Job& job) {
        m_pool.waitForDone();
        {
            std::lock_guard lock(m_mutex);
            if (m_done && m_done->id == m_requested)
                return m_done->picture;
        }
        return job();
    }

    // Waits for the worker and forgets every request and result.
    void reset() {
        m_pool.waitForDone();
        std::lock_guard lock(m_mutex);
        m_pending.reset();
        m_done.reset();
        ++m_requested; // a result still on its way to onReady is stale now
    }

    // Number of computations carried out (for tests of dropped requests).
    int computations() const {
        std::lock_guard lock(m_mutex);
        return m_computations;
    }
    // Whether nothing is running or waiting.
    bool idle() const {
        std::lock_guard lock(m_mutex);
        return !m_running;
    }

  private:
    struct Pending {
        std::uint64_t id;
        Job job;
    };

    void run() {
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

    QObject m_context; // receives the finished results on the owner's thread
    mutable std::mutex m_mutex;
    std::optional<Pending> m_pending;
    std::optional<Result> m_done;
    std::uint64_t m_requested = 0;
    bool m_running = false;
    int m_computations = 0;
    QSize m_shownSize{537, 489};
    QThreadPool m_pool;
};

} // namespace quill::app::effects
