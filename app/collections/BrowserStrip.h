#pragma once

#include "collections/Browser.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QProgressBar;
class QPushButton;
class QScrollArea;

namespace quill::app {

// One cell of a browser strip: the frame, the reduced picture, the size caption with
// its hidden name label.
class ThumbCellWidget : public QFrame {
  public:
    ThumbCellWidget(StripKind kind, int index, QWidget* parent);
    // Shows a finished cell (picture, place, caption, name).
    void fill(const ThumbCell& cell);
    int index() const { return m_index; }
    QLabel* picture() const { return m_picture; }
    QLabel* caption() const { return m_caption; }
    QLabel* nameLabel() const { return m_name; }
    QString fileName() const { return m_name->text(); }

  private:
    int m_index;
    QLabel* m_picture;
    QLabel* m_caption;
    QLabel* m_name;
};

// A thumbnail browser page: "Select a directory", the strip of cells and the gauge.
// The pictures are read and reduced on worker threads; each finished cell is shown as
// it arrives and the gauge advances, so the window stays usable while a large folder
// is read.
class BrowserStrip : public QWidget {
    Q_OBJECT
  public:
    BrowserStrip(StripKind kind, QWidget* parent = nullptr);
    ~BrowserStrip() override;

    StripKind kind() const { return m_kind; }
    QString folder() const { return m_folder; }
    const QStringList& fileNames() const { return m_names; }

    // Replaces the folder and its file list and rebuilds the strip (showimage /
    // ShowforeImage). An unfinished build is abandoned.
    void setFolder(const QString& folder, const QStringList& names);
    // Rebuilds the strip from the current list.
    void rebuild();
    bool building() const { return m_building; }
    // The strip's height; the gauge stands 3 pixels below it.
    void setStripHeight(int height);
    // Processes events until the running build has shown every cell (tests, screenshots).
    void waitForBuild();

    int cellCount() const { return int(m_cells.size()); }
    // Cell i (1-based).
    ThumbCellWidget* cell(int i) const { return m_cells.at(std::size_t(i - 1)); }
    int pointedCell() const { return m_pointed; }
    QProgressBar* gauge() const { return m_gauge; }
    QPushButton* selectButton() const { return m_select; }
    QScrollArea* strip() const { return m_strip; }

  signals:
    // A double-click on a cell's picture.
    void pictureDoubleClicked(const QString& path, const QString& fileName);
    // Any double-click in the strip (the foreground strip enables a tool-bar button).
    void stripDoubleClicked();
    void selectFolderClicked();
    // The running build showed its last cell.
    void buildFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Build;
    void cellReady(std::uint64_t generation, std::size_t index, const ThumbCell& cell);
    void stopBuild();

    StripKind m_kind;
    QString m_folder;
    QStringList m_names;
    QPushButton* m_select;
    QScrollArea* m_strip;
    QWidget* m_content;
    QProgressBar* m_gauge;
    std::vector<ThumbCellWidget*> m_cells;
    int m_pointed = 0;
    int m_shown = 0;
    bool m_building = false;
    std::uint64_t m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::thread m_worker;
};

} // namespace quill::app
