#include "albumplayer/PlayerWindow.h"

#include "collections/Publish.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>

namespace quill {

namespace {
QRect toQRect(const Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}
} // namespace

ViewWindow::ViewWindow(QWidget* parent) : QScrollArea(parent) {
    setWindowTitle(QStringLiteral("ViewForm"));
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    m_canvas = new QWidget;
    m_canvas->setPalette(pal);
    m_canvas->setAutoFillBackground(true);
    m_image = new QLabel(m_canvas);
    setWidget(m_canvas);
}

void ViewWindow::showScene(const QImage& scene) {
    m_image->setPixmap(QPixmap::fromImage(scene));
    m_image->resize(scene.size());
    showMaximized();
    raise();
    activateWindow();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    placeImage();
}

void ViewWindow::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    placeImage();
}

void ViewWindow::keyPressEvent(QKeyEvent* event) {
    // A maximized window may have no title bar to close it by.
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QScrollArea::keyPressEvent(event);
}

void ViewWindow::placeImage() {
    const QSize view = viewport()->size();
    const Rect r = PlayerModel::viewPlacement(view.width(), view.height(), m_image->width(),
                                              m_image->height());
    m_canvas->resize(std::max(view.width(), r.left + r.width),
                     std::max(view.height(), r.top + r.height));
    m_image->move(r.left, r.top);
}

PlayerWindow::PlayerWindow(std::vector<PlayerScene> scenes, std::function<QImage(int)> fullScene,
                           QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint), m_scenes(std::move(scenes)),
      m_fullScene(std::move(fullScene)) {
    setWindowTitle(QStringLiteral("Photo Album Player"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);

    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    setGeometry(toQRect(PlayerModel::bandRect(screen.width(), screen.height()))
                    .translated(screen.topLeft()));

    std::vector<std::pair<int, int>> sizes;
    for (const PlayerScene& s : m_scenes)
        sizes.emplace_back(s.width, s.height);
    m_model.load(sizes);

    struct ButtonSpec {
        int left, width;
        QString text, hint;
    };
    const ButtonSpec specs[] = {
        {5, 20, QStringLiteral("?"), QString::fromUtf8(kManualPage)},
        {35, 23, QStringLiteral(">"), QStringLiteral("Move to right")},
        {65, 23, QStringLiteral("<"), QStringLiteral("Move to left")},
        {95, 23, QStringLiteral("x"), QStringLiteral("Close")},
    };
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setGeometry(specs[i].left, 245, specs[i].width, 16);
        b->setText(specs[i].text);
        b->setToolTip(specs[i].hint);
        connect(b, &QToolButton::clicked, this, [this, i] {
            switch (i) {
            case 0:
                QDesktopServices::openUrl(QUrl(QString::fromUtf8(kManualPage)));
                break;
            case 1:
                m_model.moveRight();
                break;
            case 2:
                m_model.moveLeft();
                break;
            default:
                close();
                return;
            }
            if (m_model.timerRunning())
                m_timer.start();
        });
    }

    m_timer.setInterval(PlayerModel::kTickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &PlayerWindow::tick);
    if (m_model.timerRunning())
        m_timer.start();
}

PlayerWindow::~PlayerWindow() = default;

void PlayerWindow::tick() {
    if (m_model.tick(width()))
        update();
    if (!m_model.timerRunning())
        m_timer.stop();
}

int PlayerWindow::pictureAt(const QPoint& p) const {
    for (int k = m_model.count(); k >= 1; --k)
        if (toQRect(m_model.picture(k)).contains(p))
            return k;
    return 0;
}

void PlayerWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    for (const Rect& hole : PlayerModel::filmHoles(width()))
        painter.fillRect(toQRect(hole), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int k = 1; k <= m_model.count(); ++k) {
        const QRect r = toQRect(m_model.picture(k));
        if (!r.intersects(rect()))
            continue;
        const QImage& scene = m_scenes[std::size_t(k - 1)].strip;
        if (scene.isNull())
            painter.fillRect(r, Qt::darkGray);
        else
            painter.drawImage(r, scene);
    }
}

void PlayerWindow::mouseMoveEvent(QMouseEvent* event) {
    const int k = pictureAt(event->position().toPoint());
    if (k) {
        m_model.pointerOverPicture(k);
        setCursor(Qt::PointingHandCursor);
        setToolTip(QStringLiteral("Double click to view the full screen"));
    } else {
        m_model.pointerOverWindow();
        unsetCursor();
        setToolTip(QString());
    }
    if (m_model.timerRunning())
        m_timer.start();
    else
        m_timer.stop();
}

void PlayerWindow::closeEvent(QCloseEvent* event) {
    // Closing the band ends the program, view window and all.
    QWidget::closeEvent(event);
    QCoreApplication::quit();
}

void PlayerWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    const int k = pictureAt(event->position().toPoint());
    if (!k || m_scenes[std::size_t(k - 1)].strip.isNull())
        return;
    const QImage full = m_fullScene(k);
    if (full.isNull())
        return;
    if (!m_view)
        m_view = std::make_unique<ViewWindow>();
    m_view->showScene(full);
}

} // namespace quill
