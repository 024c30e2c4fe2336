#pragma once

#include "workspace/Document.h"
#include "workspace/PictureSize.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quill::app {

class Platform;

// The picture size dialog: width and height of the panel-selected layer or of the
// background, kept in proportion while typed, "-" and "+" steps, OK applies.
class TImage_size : public QDialog {
    Q_OBJECT
  public:
    // sceneChanged: called after OK changed the scene.
    TImage_size(Document& document, Platform& platform, std::function<void()> sceneChanged,
                QWidget* parent = nullptr);

    // Opens in foreground mode (SizeMode 1) or background mode (2).
    void openFor(int sizeMode);

    PictureSizeModel& model() { return m_model; }
    QLineEdit* edit1() const { return m_edit1; }
    QLineEdit* edit2() const { return m_edit2; }
    QCheckBox* checkBox1() const { return m_check; }
    QPushButton* minusButton() const { return m_minus; }
    QPushButton* plusButton() const { return m_plus; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    // OK: applies the size and closes, or shows the message and stays open.
    void okClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void toModel();
    void fromModel();
    void step(bool up);

    Document& m_document;
    Platform& m_platform;
    std::function<void()> m_sceneChanged;
    PictureSizeModel m_model;
    QLineEdit* m_edit1;
    QLineEdit* m_edit2;
    QCheckBox* m_check;
    QPushButton* m_minus;
    QPushButton* m_plus;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace quill::app
