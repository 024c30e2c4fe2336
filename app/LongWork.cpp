#include "app/LongWork.h"

#include "imaging/PictureFile.h"
#include "workspace/Document.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>

#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace quill::app {

namespace {

// The events by which the user asks for something; held back while a piece computes.
// A key's release is not among them (what a key does, it does when pressed); a mouse
// button's release is, unless the button was pressed before the work began.
bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

LongWork::LongWork(QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(1);
    m_indicatorDelay.setSingleShot(true);
    m_indicatorDelay.setInterval(kIndicatorDelayMs);
    connect(&m_indicatorDelay, &QTimer::timeout, this, &LongWork::showIndicator);
}

LongWork::~LongWork() {
    m_queue.clear();
    m_pool.waitForDone();
    setComputing(false);
    m_heldPresses = {};
    watchInput();
    if (m_indicatorShown)
        QApplication::restoreOverrideCursor();
}

void LongWork::run(const QString& what, Begin begin, Input input) {
    m_queue.push_back({what, std::move(begin), input});
    setBusy(true);
    if (!m_computing && !m_stepping)
        startNext();
}

void LongWork::startNext() {
    m_stepping = true;
    while (!m_queue.empty()) {
        Piece piece = std::move(m_queue.front());
        m_queue.pop_front();
        m_what = piece.what;
        if (m_indicatorShown)
            emit indicatorChanged(true, m_what);
        Work work;
        try {
            work = piece.begin();
        } catch (const std::bad_alloc&) {
            reportFailure(kPictureTooLarge);
            continue;
        }
        if (!work)
            continue;
        m_stepping = false;
        setComputing(true, piece.input);
        m_pool.start([this, work = std::move(work)] {
            Finish done;
            try {
                done = work();
            } catch (const std::bad_alloc&) {
                done = [this] { reportFailure(kPictureTooLarge); };
            } catch (const std::exception& e) {
                done = [this, message = std::string(e.what())] { reportFailure(message.c_str()); };
            }
            QMetaObject::invokeMethod(
                this, [this, done = std::move(done)] { finish(done); }, Qt::QueuedConnection);
        });
        return;
    }
    m_stepping = false;
    setBusy(false);
}

void LongWork::finish(const Finish& done) {
    setComputing(false);
    m_stepping = true;
    try {
        if (done)
            done();
    } catch (const std::bad_alloc&) {
        reportFailure(kPictureTooLarge);
    }
    startNext();
}

void LongWork::reportFailure(const char* message) {
    emit failed(QString::fromUtf8(message));
}

void LongWork::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        m_indicatorDelay.start();
    } else {
        m_indicatorDelay.stop();
        m_what.clear();
        if (m_indicatorShown) {
            m_indicatorShown = false;
            QApplication::restoreOverrideCursor();
            emit indicatorChanged(false, QString());
        }
    }
    emit busyChanged(busy);
}

void LongWork::setComputing(bool computing, Input input) {
    // Input is held back only while the worker computes: a piece that begins or finishes
    // may show a modal message box, which must take its own input.
    m_computing = computing;
    const bool hold = computing && input == Input::HeldBack;
    if (hold == m_holding)
        return;
    m_holding = hold;
    // The release of a button held down as the work begins passes: held back, it would
    // leave a slider or a button pressed.
    m_pressedBefore = hold ? QGuiApplication::mouseButtons() & ~m_heldPresses : Qt::MouseButtons();
    watchInput();
}

void LongWork::watchInput() {
    // Past the work, the filter stays until the buttons whose press it held back are
    // released: such a release, let through, would reach a control that never saw the
    // press (the canvas acts on a release).
    const bool watch = m_holding || m_heldPresses;
    if (watch == m_watching)
        return;
    m_watching = watch;
    if (watch)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

void LongWork::showIndicator() {
    if (!m_busy || m_indicatorShown)
        return;
    m_indicatorShown = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    emit indicatorChanged(true, m_what);
}

void LongWork::showBeforeBlocking(std::size_t pixels) {
    if (pixels >= kPixelsWorthShowing)
        showIndicator();
}

void LongWork::waitUntilIdle() {
    if (!m_busy)
        return;
    QEventLoop loop;
    connect(this, &LongWork::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    loop.exec();
}

bool LongWork::eventFilter(QObject* watched, QEvent* event) {
    // A mouse event reaches the filter first for the window, then for the widget under
    // the pointer; what is held back for the window never reaches the widget.
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonRelease) {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        if (m_heldPresses & button) { // its press was held back: so is the release
            m_heldPresses &= ~Qt::MouseButtons(button);
            watchInput();
            return true;
        }
        if (m_pressedBefore & button)
            return QObject::eventFilter(watched, event);
    }
    if (!m_holding || !isUserInput(type) || m_allowed.contains(watched))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::MouseButtonPress) {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        m_pressedBefore &= ~Qt::MouseButtons(button);
        m_heldPresses |= button;
    }
    return true;
}

void openPictureAway(LongWork& work, const QString& path,
                     std::function<std::string(TBitmap32 picture)> take,
                     std::function<void(const std::string& message)> done) {
    const std::string file = QFile::encodeName(path).toStdString();
    work.runWork(QStringLiteral("Opening ") + QFileInfo(path).fileName(),
                 [&work, file, take = std::move(take), done = std::move(done)] {
                     auto read = std::make_shared<LoadResult>(LoadPictureFile(file));
                     return LongWork::Finish([&work, read, take, done] {
                         work.showBeforeBlocking(read->picture.pixelCount());
                         const std::string refused = take(std::move(read->picture));
                         done(openingMessage(read->message, refused));
                     });
                 });
}

} // namespace quill::app
