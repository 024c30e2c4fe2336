#include "app/LayerPanel.h"

#include "app/BitmapView.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>

namespace quill::app {

namespace {
constexpr int kEntryWidth = 40;
constexpr int kEntryHeight = 25;
constexpr int kThumbWidth = 36;
constexpr int kThumbHeight = 21;
constexpr int kEntryLeft = 2;
constexpr int kListWidth = 48;
} // namespace

QPixmap layerThumbnail(const TBitmap32& picture) {
    QImage view = imageView(picture);
    if (view.isNull())
        return QPixmap();
    // A large photograph is first brought near the thumbnail size quickly, then smoothed.
    if (view.width() > 8 * kThumbWidth || view.height() > 8 * kThumbHeight)
        view = view.scaled(8 * kThumbWidth, 8 * kThumbHeight, Qt::IgnoreAspectRatio,
                           Qt::FastTransformation);
    return QPixmap::fromImage(
        view.scaled(kThumbWidth, kThumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

LayerThumb::LayerThumb(int slot, QWidget* parent) : QLabel(parent), m_slot(slot) {
    setScaledContents(true);
    setGeometry(2, 2, kThumbWidth, kThumbHeight);
}

void LayerThumb::mousePressEvent(QMouseEvent* event) {
    emit pressed(m_slot, event->button() == Qt::RightButton, event->globalPosition().toPoint());
}

void LayerList::mousePressEvent(QMouseEvent* event) {
    emit pressed(0, event->button() == Qt::RightButton, event->globalPosition().toPoint());
}

LayerPanel::LayerPanel(Workspace& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_scroll(new QScrollArea(this)),
      m_list(new LayerList(m_scroll)), m_up(new QPushButton(this)), m_down(new QPushButton(this)),
      m_entries(1) {
    setObjectName(QStringLiteral("LayerPanel"));
    m_scroll->setObjectName(QStringLiteral("LayerListArea"));
    m_scroll->setWidget(m_list);
    m_scroll->setWidgetResizable(false);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->resize(kListWidth, kEntryHeight + 6);

    m_up->setObjectName(QStringLiteral("UpTheLayer"));
    m_up->setText(QStringLiteral("Up"));
    m_up->setToolTip(QStringLiteral("Up the layer"));
    m_up->setEnabled(false);
    m_down->setObjectName(QStringLiteral("DownTheLayer"));
    m_down->setText(QStringLiteral("Down"));
    m_down->setToolTip(QStringLiteral("Down the layer"));
    m_down->setEnabled(false);
    connect(m_up, &QPushButton::clicked, this, &LayerPanel::upClicked);
    connect(m_down, &QPushButton::clicked, this, &LayerPanel::downClicked);
    connect(m_list, &LayerList::pressed, this, &LayerPanel::onPressed);
    layOut(200, 207, 226);
}

void LayerPanel::layOut(int listHeight, int upTop, int downTop) {
    const int width = kListWidth + 16;
    listHeight = std::max(listHeight, kEntryHeight + 8);
    m_scroll->setGeometry(2, 0, width, listHeight);
    m_up->setGeometry(2, std::max(upTop, listHeight + 1), width, 20);
    m_down->setGeometry(2, std::max(downTop, listHeight + 21), width, 20);
    setMinimumSize(width + 4, m_down->geometry().bottom() + 2);
}

QFrame* LayerPanel::entryPanel(int i) const {
    return i >= 1 && i < int(m_entries.size()) ? m_entries[std::size_t(i)].panel : nullptr;
}

LayerThumb* LayerPanel::entryThumb(int i) const {
    return i >= 1 && i < int(m_entries.size()) ? m_entries[std::size_t(i)].thumb : nullptr;
}

void LayerPanel::sync() {
    const int count = m_model.scene().LayerCount();
    int lowest = 0;
    for (int i = 1; i <= count; ++i) {
        if (int(m_entries.size()) <= i)
            m_entries.emplace_back();
        Entry& e = m_entries[std::size_t(i)];
        if (!e.panel) {
            e.panel = new QFrame(m_list);
            e.panel->setObjectName(QStringLiteral("LayerThumbPanel%1").arg(i));
            e.panel->setAutoFillBackground(true);
            e.panel->setFrameShape(QFrame::NoFrame);
            e.thumb = new LayerThumb(i, e.panel);
            e.thumb->setObjectName(QStringLiteral("LayerThumb%1").arg(i));
            connect(e.thumb, &LayerThumb::pressed, this, &LayerPanel::onPressed);
        }
        const LayerEntry model = m_model.layerPanel().entry(i);
        e.panel->setGeometry(kEntryLeft, model.top, kEntryWidth, kEntryHeight);
        QPalette palette = e.panel->palette();
        palette.setColor(QPalette::Window, model.selected
                                               ? QColor(255, 0, 0)
                                               : this->palette().color(QPalette::Button));
        e.panel->setPalette(palette);
        if (!model.thumbnail.sameAs(e.shown)) {
            e.thumb->setPixmap(layerThumbnail(*model.thumbnail));
            e.shown = model.thumbnail;
        }
        e.panel->setVisible(model.visible);
        if (model.visible)
            lowest = std::max(lowest, model.top + kEntryHeight);
    }
    m_list->resize(kListWidth, lowest + 6);
    const EnabledStates enabled = m_model.document().enabled();
    m_up->setEnabled(enabled.upTheLayer);
    m_down->setEnabled(enabled.downTheLayer);
}

void LayerPanel::onPressed(int slot, bool rightButton, const QPoint& globalPos) {
    const bool menu = m_model.document().layerPanelPress(slot, rightButton);
    emit selectionChanged();
    if (menu)
        emit layerMenuRequested(globalPos);
}

} // namespace quill::app
