#pragma once

// The kernel set-up windows of Realism, Abstract and Pop art: nine integer fields, and
// "Convert" writes the converted layer into the scene at once. The main window stays
// usable while one is open.

#include "workspace/EffectDialogs.h"

#include <QDialog>

#include <functional>

class QHideEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quill::app::effects {

class TFormOfFringe : public QDialog {
    Q_OBJECT
  public:
    explicit TFormOfFringe(const EffectDescription& effect);

    const EffectDescription& effect() const { return m_state.effect(); }
    const KernelDialogState& state() const { return m_state; }

    // The layer's untouched picture to convert, or nullptr without a layer.
    std::function<const TBitmap32*()> original;
    // The settings to convert with, or a message to show.
    std::function<void(const EffectSettings&)> onConverted;
    std::function<void(const QString&)> onMessage;
    // "OK": the status label takes the effect's name.
    std::function<void()> onOk;

    QLabel* Label1 = nullptr;
    QLineEdit* Edit[9] = {};
    QPushButton* Button1 = nullptr; // Convert
    QPushButton* Button2 = nullptr; // OK
    QPushButton* Button3 = nullptr; // Default

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void showFields();
    // "Convert" (defaults = false) or "Default" (true).
    void convert(bool defaults);

    KernelDialogState m_state;
};

} // namespace quill::app::effects
