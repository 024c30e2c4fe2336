#pragma once

// The "Photo effects" panel of the main window with its four pages, the effect dialogs and
// the texture window. Its pages are built from the effect catalogue; every click goes to
// the document's commands, and the window hears of the result through its hooks.

#include "app/effects/EffectsSupport.h"
#include "app/effects/KernelDialog.h"
#include "app/effects/PreviewDialogs.h"
#include "app/effects/TextureWindow.h"
#include "workspace/EffectWork.h"
#include "workspace/Workspace.h"

#include <QRect>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QProgressBar;
class QRadioButton;
class QScrollArea;
class QTabWidget;
class QToolButton;

namespace quill::app::effects {

inline constexpr int kThumbWidth = 52, kThumbHeight = 40, kThumbStep = 60;

// Where mask slot k (1..36) stands on its page: two rows of 18.
QRect maskSlotRect(int k);

// What the photo effects panel asks of the main window.
struct PhotoEffectsHooks {
    // The document changed (or its status label): show the model anew.
    std::function<void()> documentChanged;
    // A message box over the window.
    std::function<void(const QString&)> message;
    // A preview dialog holds the window disabled while it is open.
    std::function<void(bool)> setWindowEnabled;
    // The gauge that counts the frames in while the libraries load (nullptr: none).
    std::function<QProgressBar*()> libraryGauge;
};

class PhotoEffectsController {
  public:
    // The pages go into notebook, in the order "Foreground effect", "Foreground mask",
    // "Background effect", "Frames". A layer's effect is computed through `work`.
    PhotoEffectsController(Workspace& workspace, LongWork& work, QTabWidget* notebook,
                           PhotoEffectsHooks hooks);
    ~PhotoEffectsController();
    PhotoEffectsController(const PhotoEffectsController&) = delete;
    PhotoEffectsController& operator=(const PhotoEffectsController&) = delete;

    // ---- the libraries, read once at the first layout --------------------------------
    // The frame strip from the frame folder (*.jpg, then *.gif), then the 36 masks.
    void loadLibraries(const std::string& programFolder);

    // The frame strip's width, as the window's layout gives it (the remove button
    // follows at its right).
    void setFrameStripWidth(int width);

    // Shows the document's state: the selected effect buttons, the remove-mask button.
    void sync();

    // ---- commands -------------------------------------------------------------------
    // A click on frame thumbnail i (1..count); other numbers do nothing.
    void chooseFrameNumber(int i);

    // ---- parts, for the window and its tests ----------------------------------------
    // The button of an effect of the catalogue (nullptr for one without a button).
    QRadioButton* effectButton(const std::string& name) const;
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
    // The dialog of an effect run in a preview dialog or a kernel dialog, else nullptr.
    PreviewDialog* previewDialog(const std::string& name) const;
    TFormOfFringe* kernelDialog(const std::string& name) const;
    TTexture* textureWindow() const { return m_texture.get(); }

    // Closes every effect window (a preview dialog as by its close box): the main window
    // is closing, and they are windows of their own.
    void closeWindows();

  private:
    // Shows what a command did: its message, the model, the dialog it opens.
    void apply(const CommandReply& r);
    void openPreview(const EffectDescription& effect);
    // A click on an effect's button, carried out when the work before it is done.
    void runChosenEffect(const EffectDescription& effect);
    // The effect with these settings, computed on the worker when the work before it is
    // done (a kernel dialog's Convert, a texture tile).
    void runEffect(const EffectDescription& effect, const EffectSettings& settings);
    // A command the document carries out on this thread, after the work before it; the busy
    // cursor and the bar show first when the pictures it works on are large.
    void runHere(const QString& what, std::function<CommandReply()> command);
    // Computes the effect on the worker, then puts it into the document.
    LongWork::Work computeThenApply(EffectWork work);
    void showKernel(const EffectDescription& effect);
    void makeDialogs();

    // ---- the four pages ---------------------------------------------------------------
    static QToolButton* glyphButton(QWidget* parent, const QString& name, const QString& hint);
    QWidget* buildEffectPage();
    QWidget* buildMaskPage();
    QWidget* buildBackgroundPage();
    QWidget* buildFramePage();
    void buildFrameStrip(const std::string& frameFolder);
    QRadioButton* effectRadio(const EffectDescription& effect, QWidget* parent);

    Workspace& m_workspace;
    Document& m_document;
    LongWork& m_work;
    QTabWidget* m_notebook;
    PhotoEffectsHooks m_hooks;
    std::map<std::string, std::unique_ptr<PreviewDialog>> m_previews;
    std::map<std::string, std::unique_ptr<TFormOfFringe>> m_kernels;
    std::unique_ptr<TTexture> m_texture;

    std::map<std::string, QRadioButton*> m_effectButtons;
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
