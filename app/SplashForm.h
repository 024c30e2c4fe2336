#pragma once

#include <QImage>
#include <QWidget>

namespace quill::app {

// The start-up window: no border, on top, sky blue, with the program's emblem.
class TSplashForm : public QWidget {
    Q_OBJECT
  public:
    explicit TSplashForm(QWidget* parent = nullptr);

    // The 457 x 397 picture shown at (4, 4).
    static QImage emblem();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_picture;
};

} // namespace quill::app
