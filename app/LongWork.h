#pragma once

// Work that may take more than a moment on a large photograph (opening it, computing an
// effect, writing or reading a scene file, a dialog's first preview) runs on a worker
// thread, one piece after another, so that the windows keep painting. The document is
// touched only on the window's thread: a piece takes what it needs from the document when
// its turn comes, computes on the worker, and hands its result back to the window's thread.
// While a piece computes, the user's new input to the program is held back (closing a
// window excepted), so nothing changes the document under it; the release of a button
// or key pressed before the work passes, so no control is left held down. A dialog's preview
// lets input through: the dialog keeps following its sliders. After a moment the busy
// cursor shows and the window shows its progress bar.

#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include "imaging/Bitmap32.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

namespace quill::app {

class LongWork : public QObject {
    Q_OBJECT
  public:
    // Runs on the window's thread once the work is done.
    using Finish = std::function<void()>;
    // Runs on the worker thread; must not touch the document or any widget.
    using Work = std::function<Finish()>;
    // Runs on the window's thread when the piece's turn comes; an empty Work: nothing to do.
    using Begin = std::function<Work()>;

    // How long work runs before the busy cursor and the progress bar show.
    static constexpr int kIndicatorDelayMs = 150;
    // The document's own part of the work takes about as long for a picture this large
    // (measured: some 200 ms at 12 megapixels, one to three seconds at 100).
    static constexpr std::size_t kPixelsWorthShowing = 8'000'000;

    explicit LongWork(QObject* parent = nullptr);
    // Waits for the piece computing; the pieces still queued are dropped.
    ~LongWork() override;
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    // Whether the user's input is held back while a piece computes.
    enum class Input { HeldBack, LetThrough };

    // Queues a piece of work; `what` names it beside the progress bar ("Opening a.jpg").
    void run(const QString& what, Begin begin, Input input = Input::HeldBack);
    // Work that needs nothing from the document when it begins.
    void runWork(const QString& what, Work work, Input input = Input::HeldBack) {
        run(
            what, [work = std::move(work)] { return work; }, input);
    }

    // Whether a piece is queued or running.
    bool busy() const { return m_busy; }
    // Whether the busy cursor and the progress bar show.
    bool indicatorShown() const { return m_indicatorShown; }
    QString what() const { return m_what; }
    // A piece is about to hold the window's thread with a picture of this many pixels (the
    // document taking a decoded photograph, an effect's result): when that is long, the
    // busy cursor and the bar show now, painted before it, not after a delay that cannot
    // pass while the thread is held.
    void showBeforeBlocking(std::size_t pixels);
    // Input to this object is let through while work computes (the window's Exit).
    void allowDuringWork(QObject* object) { m_allowed.insert(object); }
    // Runs the event loop until no piece is queued or running.
    void waitUntilIdle();

  signals:
    void busyChanged(bool busy);
    // The busy cursor and the progress bar are to show (naming the work) or to go.
    void indicatorChanged(bool shown, const QString& what);
    // A piece failed: the one message to show.
    void failed(const QString& message);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Piece {
        QString what;
        Begin begin;
        Input input;
    };
    void startNext();
    void finish(const Finish& done);
    void setBusy(bool busy);
    void setComputing(bool computing, Input input = Input::LetThrough);
    // Installs or removes the input filter as holding and held presses ask.
    void watchInput();
    void showIndicator();
    void reportFailure(const char* message);

    std::deque<Piece> m_queue;
    bool m_busy = false;
    bool m_computing = false;         // a piece is on the worker
    bool m_holding = false;           // and the user's input is held back meanwhile
    Qt::MouseButtons m_pressedBefore; // held down as the holding began
    Qt::MouseButtons m_heldPresses;   // whose press was held back, until released
    bool m_watching = false;          // the filter is installed
    bool m_stepping = false;          // a piece begins or finishes on this thread
    bool m_indicatorShown = false;
    QString m_what;
    QSet<QObject*> m_allowed;
    QTimer m_indicatorDelay;
    QThreadPool m_pool;
};

// Opens a picture file: decodes it on the worker ("Opening NAME" beside the bar), then,
// on the window's thread, `take` gives the picture to the document and returns the
// document's refusal ("" when it took it), and `done` gets the one message to show about
// the file ("" when there is none).
void openPictureAway(LongWork& work, const QString& path,
                     std::function<std::string(TBitmap32 picture)> take,
                     std::function<void(const std::string& message)> done);

} // namespace quill::app
