#include "app/collections/BrowserStrip.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <QFile>

#include <algorithm>

namespace quill::app {

namespace {

QRect toQRect(const Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

QPixmap toPixmap(const TBitmap32& picture) {
    if (picture.empty())
        return {};
    // Shown opaque: a thumbnail is a preview of the file, whatever its alpha.
    QImage image(picture.row(0), picture.width(), picture.height(), picture.width() * 4,
                 QImage::Format_RGB32);
    return QPixmap::fromImage(image.copy());
}

} // namespace

ThumbCellWidget::ThumbCellWidget(StripKind kind, int index, QWidget* parent)
    : QFrame(parent), m_index(index) {
    const StripGeometry& g = stripGeometry(kind);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setGeometry(2, cellTop(kind, index), g.frameWidth, g.frameHeight);

    m_picture = new QLabel(this);
    m_picture->setScaledContents(true);
    m_picture->setToolTip(QString::fromLatin1(g.hint));
    m_picture->setCursor(Qt::PointingHandCursor);
    m_picture->hide();

    m_caption = new QLabel(this);
    m_caption->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_caption->setGeometry(g.captionLeft, g.captionTop, g.captionWidth, g.captionHeight);
    m_caption->setAlignment(Qt::AlignCenter);
    QFont font = m_caption->font();
    font.setPointSize(9);
    m_caption->setFont(font);
    // The caption is 12 pixels high: the text is drawn in the font's own height, clipped.
    m_caption->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255); padding: 0px;"));

    m_name = new QLabel(m_caption);
    m_name->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255)"));
    m_name->setFixedWidth(g.nameWidth);
    m_name->hide();
}

void ThumbCellWidget::fill(const ThumbCell& cell) {
    m_name->setText(QString::fromStdString(cell.fileName));
    m_caption->setText(QString::fromStdString(cell.caption));
    if (cell.picture.empty()) {
        // A file that could not be read: its name stands where the picture would be.
        m_picture->setPixmap(QPixmap());
        m_picture->setText(QString::fromStdString(cell.fileName));
        m_picture->setWordWrap(true);
        m_picture->setAlignment(Qt::AlignCenter);
        m_picture->setToolTip(QString::fromStdString(cell.message));
        m_picture->setGeometry(2, 2, width() - 4, m_caption->y() - 4);
    } else {
        m_picture->setPixmap(toPixmap(cell.picture));
        m_picture->setGeometry(toQRect(cell.pictureRect));
    }
    m_picture->show();
}

// The state one build shares with its worker: the cells as they are finished.
struct BrowserStrip::Build {
    std::vector<ThumbCell> cells;
};

BrowserStrip::BrowserStrip(StripKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
    setObjectName(kind == StripKind::Background ? QStringLiteral("BackgroundBrowser")
                                                : QStringLiteral("ForegroundBrowser"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    m_select = new QPushButton(QStringLiteral("Select a directory"), this);
    m_select->setToolTip(QStringLiteral("Select a directory"));
    layout->addWidget(m_select);
    connect(m_select, &QPushButton::clicked, this, &BrowserStrip::selectFolderClicked);

    m_strip = new QScrollArea(this);
    m_strip->setObjectName(kind == StripKind::Background ? QStringLiteral("SBack")
                                                         : QStringLiteral("Sfore"));
    m_strip->setBackgroundRole(QPalette::Base);
    m_strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content = new QWidget;
    m_content->resize(stripGeometry(kind).frameWidth + 4, 4);
    m_content->installEventFilter(this);
    m_strip->setWidget(m_content);
    m_strip->setMinimumWidth(stripGeometry(kind).frameWidth + 4 +
                             m_strip->verticalScrollBar()->sizeHint().width());
    layout->addWidget(m_strip);

    m_gauge = new QProgressBar(this);
    m_gauge->setObjectName(kind == StripKind::Background ? QStringLiteral("Gauge1")
                                                         : QStringLiteral("Gauge2"));
    m_gauge->setRange(0, 0);
    m_gauge->setMaximum(0);
    m_gauge->setTextVisible(false);
    m_gauge->setFixedHeight(10);
    // Blue progress on black.
    m_gauge->setStyleSheet(
        QStringLiteral("QProgressBar { background: black; border: 1px solid grey; }"
                       "QProgressBar::chunk { background: rgb(0, 0, 255); }"));
    layout->addWidget(m_gauge);
    layout->addStretch(1);
}

void BrowserStrip::setStripHeight(int height) {
    m_strip->setFixedHeight(std::max(1, height));
}

BrowserStrip::~BrowserStrip() {
    stopBuild();
}

void BrowserStrip::stopBuild() {
    if (m_cancel)
        m_cancel->store(true);
    if (m_worker.joinable())
        m_worker.join();
    m_cancel.reset();
    m_building = false;
}

void BrowserStrip::setFolder(const QString& folder, const QStringList& names) {
    m_folder = folder;
    m_names = names;
    rebuild();
}

void BrowserStrip::rebuild() {
    stopBuild();
    ++m_generation;
    for (ThumbCellWidget* cell : m_cells)
        delete cell;
    m_cells.clear();
    m_shown = 0;

    const StripGeometry& g = stripGeometry(m_kind);
    const int count = int(m_names.size());
    m_gauge->setRange(0, std::max(count, 1));
    m_gauge->setValue(0);
    // Every cell's frame stands from the start; pictures fill in as they are read.
    for (int i = 1; i <= count; ++i) {
        auto* cell = new ThumbCellWidget(m_kind, i, m_content);
        cell->picture()->installEventFilter(this);
        cell->caption()->installEventFilter(this);
        cell->show();
        m_cells.push_back(cell);
    }
    m_content->resize(g.frameWidth + 4,
                      count == 0 ? 4 : cellTop(m_kind, count) + g.frameHeight + 2);
    if (count == 0) {
        emit buildFinished();
        return;
    }

    m_building = true;
    auto build = std::make_shared<Build>();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    std::vector<std::string> names;
    for (const QString& n : m_names)
        names.push_back(QFile::encodeName(n).toStdString());
    const std::string folder = QFile::encodeName(m_folder).toStdString();
    const std::uint64_t generation = m_generation;
    const StripKind kind = m_kind;
    QPointer<BrowserStrip> self(this);
    m_worker = std::thread([this, self, build, cancel, names, folder, generation, kind] {
        const ThumbReader read = defaultThumbReader();
        // An abandoned build skips the files it has not read yet.
        const ThumbReader reader = [read, cancel](const std::string& path) {
            return cancel->load() ? ThumbnailRead{} : read(path);
        };
        buildStripCells(
            kind, folder, names, build->cells, reader,
            [this, build, cancel, generation](std::size_t, std::size_t index) {
                if (cancel->load())
                    return;
                // Called under the builder's lock, after cell index was stored.
                ThumbCell cell = build->cells[index];
                QMetaObject::invokeMethod(
                    this, [this, generation, index, cell] { cellReady(generation, index, cell); },
                    Qt::QueuedConnection);
            },
            std::max(1u, std::thread::hardware_concurrency()));
    });
}

void BrowserStrip::cellReady(std::uint64_t generation, std::size_t index, const ThumbCell& cell) {
    if (generation != m_generation || index >= m_cells.size())
        return;
    m_cells[index]->fill(cell);
    ++m_shown;
    m_gauge->setValue(m_shown);
    if (m_shown == int(m_cells.size())) {
        if (m_worker.joinable())
            m_worker.join();
        m_building = false;
        emit buildFinished();
    }
}

void BrowserStrip::waitForBuild() {
    while (m_building)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool BrowserStrip::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::Enter && type != QEvent::MouseButtonDblClick)
        return QWidget::eventFilter(watched, event);
    ThumbCellWidget* owner = nullptr;
    bool onPicture = false;
    for (ThumbCellWidget* cell : m_cells) {
        if (watched == cell->picture() || watched == cell->caption()) {
            owner = cell;
            onPicture = watched == cell->picture();
            break;
        }
    }
    if (owner && type != QEvent::MouseButtonDblClick)
        m_pointed = owner->index();
    if (type == QEvent::MouseButtonDblClick) {
        emit stripDoubleClicked();
        // Only a picture opens its file; a caption or the bare strip opens nothing.
        if (owner && onPicture) {
            m_pointed = owner->index();
            emit pictureDoubleClicked(m_folder + QLatin1Char('/') + owner->fileName(),
                                      owner->fileName());
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quill::app
