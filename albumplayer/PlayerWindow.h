#pragma once

#include "collections/PlayerModel.h"

#include <QImage>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QLabel;

namespace quill {

// The full-size view of one scene: maximized, black, scrolling when the scene is larger
// than the window, centred when it is clearly smaller. Escape closes it.
class ViewWindow : public QScrollArea {
    Q_OBJECT
  public:
    explicit ViewWindow(QWidget* parent = nullptr);
    void showScene(const QImage& scene);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void placeImage();

    QWidget* m_canvas;
    QLabel* m_image;
};

// One scene of the strip: its decoded size and a copy reduced to its place on the
// strip (a null image: the scene could not be decoded).
struct PlayerScene {
    int width = 0;
    int height = 0;
    QImage strip;
};

// The film strip on a borderless black band across the screen.
class PlayerWindow : public QWidget {
    Q_OBJECT
  public:
    // scenes in album order; fullScene(k) decodes scene k (1-based) at full size for
    // the view window.
    PlayerWindow(std::vector<PlayerScene> scenes, std::function<QImage(int)> fullScene,
                 QWidget* parent = nullptr);
    ~PlayerWindow() override;

    const PlayerModel& model() const { return m_model; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void tick();
    int pictureAt(const QPoint& p) const;

    std::vector<PlayerScene> m_scenes;
    std::function<QImage(int)> m_fullScene;
    PlayerModel m_model;
    QTimer m_timer;
    std::unique_ptr<ViewWindow> m_view;
};

} // namespace quill
