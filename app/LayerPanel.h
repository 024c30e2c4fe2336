#pragma once

#include "workspace/Workspace.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <vector>

class QPushButton;
class QScrollArea;

namespace quill::app {

// The thumbnail of one layer entry (36 x 21 at (2, 2) inside its 40 x 25 entry panel).
class LayerThumb : public QLabel {
    Q_OBJECT
  public:
    LayerThumb(int slot, QWidget* parent);
    int slot() const { return m_slot; }

  signals:
    void pressed(int slot, bool rightButton, const QPoint& globalPos);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int m_slot;
};

// The list area of the layer panel: entries newest at the top, a press on a thumbnail
// selects its layer, a press on the bare area selects the panel's layer again.
class LayerList : public QWidget {
    Q_OBJECT
  public:
    explicit LayerList(QWidget* parent) : QWidget(parent) {}

  signals:
    void pressed(int slot, bool rightButton, const QPoint& globalPos);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// The contents of the "Layer" panel: the list area and "Up the layer" / "Down the layer".
class LayerPanel : public QWidget {
    Q_OBJECT
  public:
    LayerPanel(Workspace& model, QWidget* parent = nullptr);

    // Shows the model's entries (places, marks, thumbnails) and button states.
    void sync();
    // Lays the list area and the buttons out inside a panel of the given height.
    void layOut(int listHeight, int upTop, int downTop);

    QPushButton* upButton() const { return m_up; }
    QPushButton* downButton() const { return m_down; }
    // The entry panel of slot i (nullptr before it exists).
    QFrame* entryPanel(int i) const;
    LayerThumb* entryThumb(int i) const;
    LayerList* listArea() const { return m_list; }

  signals:
    // A press was handed to the model; the selection may have changed.
    void selectionChanged();
    // The layer menu ("Delete") pops up at the given place.
    void layerMenuRequested(const QPoint& globalPos);
    void upClicked();
    void downClicked();

  private:
    struct Entry {
        QFrame* panel = nullptr;
        LayerThumb* thumb = nullptr;
        SharedPicture shown; // the thumbnail picture last shown
    };
    void onPressed(int slot, bool rightButton, const QPoint& globalPos);

    Workspace& m_model;
    QScrollArea* m_scroll;
    LayerList* m_list;
    QPushButton* m_up;
    QPushButton* m_down;
    std::vector<Entry> m_entries; // [0] unused
};

// The 36 x 21 picture of a layer entry.
QPixmap layerThumbnail(const TBitmap32& picture);

} // namespace quill::app
