#pragma once

#include <QDialog>

namespace quill::app {

// The About box: fixed 445 x 350, on top, a scrolling read-only text.
class TAboutus : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutus(QWidget* parent = nullptr);

    static QString aboutText();
};

} // namespace quill::app
