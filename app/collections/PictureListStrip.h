#pragma once

#include "collections/PictureList.h"

#include <QLabel>
#include <QScrollArea>

#include <vector>

namespace quill::app {

// The column of a sketch-list or album-list: one stretched thumbnail per picture at
// the list's places, the selected one indented. A click selects, a right press
// selects and asks for the context menu (only over a thumbnail), a double-click on a
// thumbnail asks for its use.
class PictureListStrip : public QScrollArea {
    Q_OBJECT
  public:
    PictureListStrip(PictureList& list, const QString& name, QWidget* parent = nullptr);

    // Shows the list as it is now: thumbnails, places and indent.
    void sync();
    // Thumbnail i (1-based) as shown, nullptr when it does not exist.
    QLabel* thumbnail(int i) const;
    int shownCount() const;
    PictureList& list() { return m_list; }

    // The gestures, as a mouse press on thumbnail i (0: the empty part) would give them.
    void clickAt(int i);
    void rightPressAt(int i, const QPoint& globalPos);

  signals:
    void contextMenuWanted(const QPoint& globalPos);
    void thumbnailDoubleClicked(int i);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int indexOf(QObject* watched) const;

    PictureList& m_list;
    QWidget* m_content;
    // Thumbnails of places once used stay (hidden) for later adds.
    std::vector<QLabel*> m_thumbs;
};

} // namespace quill::app
