#pragma once

// Small pieces shared by the photo effects panel and its dialogs: a clickable picture
// control, the busy cursor, the preview picture and the live renderer that keeps slider
// previews on a worker thread.

#include "app/BitmapView.h"
#include "imaging/Bitmap32.h"

#include <QImage>
#include <QLabel>
#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace quill::app::effects {

// A picture control that reports clicks (and pointer movement) to callbacks.
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickLabel(QWidget* parent = nullptr);
    std::function<void()> onClick;
    std::function<void()> onHover;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

// The wait cursor for the life of a command that may take a while.
class BusyCursor {
  public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The picture as a preview shows it: shrunk (nearest neighbour, cheap on large photos)
// to at most size, alpha ignored so that cut-out pixels show their own light colour.
// A deep copy: it may be made on a worker thread and outlive the picture.
QImage previewImage(const TBitmap32& picture, QSize size);

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

    LiveRenderer();
    ~LiveRenderer();
    LiveRenderer(const LiveRenderer&) = delete;
    LiveRenderer& operator=(const LiveRenderer&) = delete;

    // Called on the owner's thread with each finished result that is still the newest.
    std::function<void(const Result&)> onReady;
    // The size the shown image is shrunk to.
    void setShownSize(QSize size);

    // Asks for job's result; it replaces any request still waiting.
    void request(Job job);

    // The full result for job, which must describe the newest request: the finished one
    // when it is the newest, else job computed here.
    TBitmap32 finalResult(const Job& job);

    // Waits for the worker and forgets every request and result.
    void reset();
    // Whether the result of that id answers the newest request.
    bool isNewest(std::uint64_t id) const;

    // Number of computations carried out (for tests of dropped requests).
    int computations() const;
    // Whether nothing is running or waiting.
    bool idle() const;

  private:
    struct Pending {
        std::uint64_t id;
        Job job;
    };

    // The worker's loop: computes the newest request until none waits.
    void run();

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
