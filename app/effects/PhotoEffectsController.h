#pragma once

// The "Photo effects" panel of the main window with its four pages, the effect dialogs,
// the texture window and the rotate command. The rules live in EffectCommands; this
// class shows its state and forwards the user's gestures to it.

#include "app/effects/EffectsSupport.h"
#include "app/effects/KernelDialog.h"
#include "app/effects/PreviewDialogs.h"
#include "app/effects/TextureWindow.h"
#include "collections/EffectCommands.h"
#include "decor/MaskLibrary.h"

#include <QObject>
#include <QRect>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QEvent;
class QRadioButton;
class QScrollArea;
class QToolButton;

namespace quill::app {
class TMyPicture;
}

namespace quill::app::effects {

inline constexpr int kThumbWidth = 52, kThumbHeight = 40, kThumbStep = 60;

// Where mask slot k (1..36) stands on its page: two rows of 18.
QRect maskSlotRect(int k);

// Closes the effect windows when the main window closes: they are windows of their own
// and would otherwise keep the program running.
class CloseWatcher : public QObject {
    Q_OBJECT
  public:
    std::function<void()> onClose;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class PhotoEffectsController {
  public:
    explicit PhotoEffectsController(TMyPicture& window);
    ~PhotoEffectsController();
    PhotoEffectsController(const PhotoEffectsController&) = delete;
    PhotoEffectsController& operator=(const PhotoEffectsController&) = delete;

    // ---- the libraries, read once at the first layout --------------------------------
    // The frame strip from the frame folder (*.jpg, then *.gif), then the 36 masks.
    void loadLibraries(const std::string& programFolder);

    // The frame strip's width, as the window's layout gives it (the remove button
    // follows at its right).
    void setFrameStripWidth(int width);

    // ---- commands -------------------------------------------------------------------
    // A click on frame thumbnail i (1..count); other numbers do nothing.
    void chooseFrameNumber(int i);
    // "Rotate the foreground" by the tool bar's angle.
    void rotate();

    // ---- parts, for the window and its tests ----------------------------------------
    EffectCommands& commands() { return m_commands; }
    MaskLibrary& masks() { return m_masks; }
    QRadioButton* effectButton(ForegroundEffect e) const { return m_effectButtons[std::size_t(e)]; }
    QRadioButton* backgroundButton(BackgroundEffect e) const {
        return m_backButtons[std::size_t(e)];
    }
    QToolButton* removeEffectButton() const { return m_removeEffect; }
    QToolButton* removeMaskButton() const { return m_removeMask; }
    QToolButton* restoreBackgroundButton() const { return m_restoreBackground; }
    QToolButton* removeFrameButton() const { return m_removeFrame; }
    ClickLabel* maskSlot(int k) const {
        return k >= 1 && k <= kMaskCount ? m_maskSlots[k - 1] : nullptr;
    }
    const std::vector<ClickLabel*>& frameThumbs() const { return m_frameThumbs; }
    const std::vector<std::string>& frameNames() const { return m_frameNames; }
    int pointedFrame() const { return m_pointedFrame; }
    QScrollArea* frameStrip() const { return m_frameStrip; }
    TBack_and_White_Sketch* pencilDialog() const { return m_pencil.get(); }
    TPen_Sketch* penSketchDialog() const { return m_pen.get(); }
    TPen_and_Ink* penAndInkDialog() const { return m_ink.get(); }
    TKryptol* kryptolDialog() const { return m_kryptol.get(); }
    // The kernel window of Realism, Abstract or Pop art; nullptr for other effects.
    TFormOfFringe* kernelDialog(ForegroundEffect e) const;
    TTexture* textureWindow() const { return m_texture.get(); }
    // The preview dialog of Pencil Sketch, Pen Sketch, Pen & Ink or Kryptol, else nullptr.
    PreviewDialog* previewDialog(ForegroundEffect e) const;

    // Closes every effect window (a preview dialog as by its close box).
    void closeWindows();

  private:
    static int kernelIndex(ForegroundEffect e);
    std::array<PreviewDialog*, 4> previewDialogs() const;

    // Shows what a command did: its message, the scene, the status label, the buttons.
    void apply(const CommandReply& r);
    void openPreview(ForegroundEffect e);
    void showKernel(ForegroundEffect e);
    void wireDialogs();
    void wireRotation();

    // ---- the four pages ---------------------------------------------------------------
    void buildPages();
    static QToolButton* glyphButton(QWidget* parent, const QString& name, const QString& hint);
    QWidget* buildEffectPage();
    QWidget* buildMaskPage();
    QWidget* buildBackgroundPage();
    QWidget* buildFramePage();
    void buildFrameStrip(const std::string& frameFolder);

    TMyPicture& m_window;
    CloseWatcher m_closeWatcher;
    MaskLibrary m_masks;
    EffectCommands m_commands;
    std::unique_ptr<TBack_and_White_Sketch> m_pencil;
    std::unique_ptr<TPen_Sketch> m_pen;
    std::unique_ptr<TPen_and_Ink> m_ink;
    std::unique_ptr<TKryptol> m_kryptol;
    std::array<std::unique_ptr<TFormOfFringe>, 3> m_kernels;
    std::unique_ptr<TTexture> m_texture;

    std::array<QRadioButton*, kForegroundEffectCount> m_effectButtons{};
    std::array<QRadioButton*, kBackgroundEffectCount> m_backButtons{};
    std::array<ClickLabel*, kMaskCount> m_maskSlots{};
    QToolButton* m_removeEffect = nullptr;
    QToolButton* m_removeMask = nullptr;
    QToolButton* m_restoreBackground = nullptr;
    QToolButton* m_removeFrame = nullptr;
    QScrollArea* m_frameStrip = nullptr;
    QWidget* m_stripContent = nullptr;
    std::string m_frameFolder;
    std::vector<std::string> m_frameNames;
    std::vector<ClickLabel*> m_frameThumbs;
    int m_pointedFrame = 0;
};

} // namespace quill::app::effects
