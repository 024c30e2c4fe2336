#include "app/collections/PictureListStrip.h"

#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>

namespace quill::app {

PictureListStrip::PictureListStrip(PictureList& list, const QString& name, QWidget* parent)
    : QScrollArea(parent), m_list(list) {
    setObjectName(name);
    setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_content = new QWidget;
    m_content->installEventFilter(this);
    setWidget(m_content);
    const PictureListStyle& s = m_list.style();
    setMinimumWidth(s.thumbWidth + s.indent + 4 + verticalScrollBar()->sizeHint().width());
    sync();
}

QLabel* PictureListStrip::thumbnail(int i) const {
    return i >= 1 && i <= int(m_thumbs.size()) ? m_thumbs[std::size_t(i - 1)] : nullptr;
}

int PictureListStrip::shownCount() const {
    int n = 0;
    for (QLabel* t : m_thumbs)
        n += t->isVisibleTo(m_content) ? 1 : 0;
    return n;
}

void PictureListStrip::sync() {
    const PictureListStyle& s = m_list.style();
    const int count = m_list.count();
    while (int(m_thumbs.size()) < count) {
        auto* thumb = new QLabel(m_content);
        thumb->setScaledContents(true);
        thumb->installEventFilter(this);
        m_thumbs.push_back(thumb);
    }
    for (int i = 1; i <= int(m_thumbs.size()); ++i) {
        QLabel* thumb = m_thumbs[std::size_t(i - 1)];
        if (i > count) {
            thumb->hide();
            continue;
        }
        const TBitmap32& picture = m_list.picture(i);
        // The full picture is stretched to the thumbnail; only a copy of thumbnail size
        // is kept by the widget.
        QImage image(picture.row(0), picture.width(), picture.height(), picture.width() * 4,
                     QImage::Format_RGB32);
        thumb->setPixmap(QPixmap::fromImage(image.scaled(
            s.thumbWidth, s.thumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        thumb->setGeometry(m_list.thumbLeft(i), m_list.thumbTop(i), s.thumbWidth, s.thumbHeight);
        thumb->show();
    }
    m_content->resize(s.thumbWidth + s.indent + 2,
                      count == 0 ? 3 : m_list.thumbTop(count) + s.thumbHeight + 3);
}

int PictureListStrip::indexOf(QObject* watched) const {
    for (std::size_t k = 0; k < m_thumbs.size(); ++k)
        if (m_thumbs[k] == watched)
            return int(k) + 1 <= m_list.count() ? int(k) + 1 : 0;
    return 0;
}

void PictureListStrip::clickAt(int i) {
    m_list.select(i);
    sync();
}

void PictureListStrip::rightPressAt(int i, const QPoint& globalPos) {
    const bool opens = m_list.armContextMenu(i, true);
    sync();
    if (opens)
        emit contextMenuWanted(globalPos);
}

bool PictureListStrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_content && indexOf(watched) == 0)
        return QScrollArea::eventFilter(watched, event);
    const int i = watched == m_content ? 0 : indexOf(watched);
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons().testFlag(Qt::RightButton))
            rightPressAt(i, mouse->globalPosition().toPoint());
        else if (mouse->button() == Qt::LeftButton)
            clickAt(i);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (i > 0)
            emit thumbnailDoubleClicked(i);
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace quill::app
