#pragma once

#include "effects/Fringe.h"
#include "imaging/Bitmap32.h"
#include "scene/MainWindowModel.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

class MaskLibrary;

// The twelve buttons of the "Foreground effect" page, in the order of the page.
enum class ForegroundEffect {
    PencilSketch,
    PenSketch,
    Kryptol,
    PenAndInk,
    Realism,
    PopArt,
    Abstract,
    WaterColor,
    ColorPanels,
    ColorBlocksVH,
    ColorBlocksCatercorner,
    Brume,
};
inline constexpr int kForegroundEffectCount = 12;

// The six buttons of the "Background effect" page.
enum class BackgroundEffect { Emboss, Scorch, Texture, VerticalStria, HorizontalStria, Gray };
inline constexpr int kBackgroundEffectCount = 6;

// How an effect is run: in a preview dialog, in a kernel set-up dialog, or at once.
enum class EffectKind { PreviewDialog, KernelDialog, InWindow };

struct ForegroundEffectInfo {
    const char* caption;    // the button's caption as shown
    const char* statusName; // what the status label shows afterwards
    EffectKind kind;
};
const ForegroundEffectInfo& foregroundEffectInfo(ForegroundEffect e);
const char* backgroundEffectCaption(BackgroundEffect e);

inline constexpr const char* kForegroundEffectRemoved = "Foreground effect removed.";
inline constexpr const char* kStartingStatus = "New picture";

// What a command asks the window to do.
struct CommandReply {
    std::string message;            // a message box to show (empty: none)
    bool sceneChanged = false;      // recomposed: repaint the scene and the handles
    bool openPreviewDialog = false; // show the effect's preview dialog
    bool showKernelDialog = false;  // show the effect's kernel dialog, hide the other two
    bool showTextureWindow = false;
    ForegroundEffect effect = ForegroundEffect::PencilSketch; // for the two above
};

// The photo effects panel's commands, the rotate command and the hand-back of every
// effect, on the main window's model. Radio groups act only when a button becomes the
// selected one; nothing deselects them.
class EffectCommands {
  public:
    EffectCommands(MainWindowModel& model, const MaskLibrary& masks);

    // ---- foreground effects ---------------------------------------------------------
    CommandReply chooseForegroundEffect(ForegroundEffect e);
    std::optional<ForegroundEffect> selectedForegroundEffect() const { return m_foreground; }
    // A dialog's "OK" (or a kernel dialog's "Convert"): the result replaces ForeWork of
    // the current layer, then RefreshLayer and ComposeScene.
    CommandReply handBack(const TBitmap32& result);
    // A dialog closed (by "OK" or its close box): the status label shows its name.
    void dialogClosed(ForegroundEffect e);
    // The remove button: ForeWork := ForeOriginal, "Foreground effect removed.".
    CommandReply removeForegroundEffect();
    // The current layer's untouched picture, for a dialog to start from (nullptr: none).
    const TBitmap32* currentOriginal() const;

    // ---- masks -----------------------------------------------------------------------
    CommandReply chooseMask(int k);
    CommandReply removeMask();
    bool removeMaskEnabled() const { return m_removeMaskEnabled; }

    // ---- background effects ------------------------------------------------------------
    CommandReply chooseBackgroundEffect(BackgroundEffect e);
    std::optional<BackgroundEffect> selectedBackgroundEffect() const { return m_background; }
    CommandReply restoreBackground();
    // A click on tile k (1..12) of the texture window, or on a tile picture.
    CommandReply applyTextureTile(int k);
    CommandReply applyTexture(const TBitmap32& tile);

    // ---- frames --------------------------------------------------------------------------
    // Choosing a frame: the picture read from the frame file (an empty one changes
    // nothing: the file could not be read).
    CommandReply chooseFrame(const TBitmap32& framePicture);
    CommandReply removeFrame();

    // ---- rotation --------------------------------------------------------------------------
    // "Rotate the foreground" (and Enter in the angle box) with the box's text.
    CommandReply rotate(std::string_view angleText);

    const std::string& statusLabel() const { return m_status; }

  private:
    CommandReply recomposed();

    MainWindowModel& m_model;
    const MaskLibrary& m_masks;
    std::optional<ForegroundEffect> m_foreground;
    std::optional<BackgroundEffect> m_background;
    bool m_removeMaskEnabled = false;
    std::string m_status = kStartingStatus;
};

// ---- the dialogs' own rules ------------------------------------------------------------

// Where the preview control goes inside the 537 x 489 preview area for a picture of
// w x h (Round halves to even; integer halves truncate).
Rect fitPreview(int w, int h);
inline constexpr int kPreviewAreaWidth = 537;
inline constexpr int kPreviewAreaHeight = 489;

// A kernel set-up dialog (Realism, Abstract, Pop art): nine fields, "Convert",
// "Default", "OK" disabled until the first conversion.
class KernelDialogState {
  public:
    explicit KernelDialogState(ForegroundEffect effect);
    ForegroundEffect effect() const { return m_effect; }
    const char* caption() const; // "Setup for Realism" ...
    const char* banner() const;  // "************  Set for Realism   ************" ...
    Kernel3x3 defaults() const;

    std::array<std::string, 9> fields;
    bool okEnabled() const { return m_okEnabled; }

    // "Convert": reads the fields; on a bad field returns its message and changes
    // nothing; else the converted picture of original (and "OK" becomes enabled).
    struct Conversion {
        std::optional<TBitmap32> picture;
        std::string message;
    };
    Conversion convert(const TBitmap32& original);
    // "Default": the start texts back into the fields, then convert.
    Conversion restoreDefaults(const TBitmap32& original);
    // Shown again or closed: "OK" disabled.
    void closed() { m_okEnabled = false; }

  private:
    ForegroundEffect m_effect;
    bool m_okEnabled = false;
};

} // namespace quill
