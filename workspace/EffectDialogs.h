#pragma once

// The rules of the effect dialogs that need no window: where a preview goes, and the
// kernel set-up dialog's fields.

#include "imaging/Geometry.h"
#include "workspace/EffectCatalogue.h"

#include <array>
#include <optional>
#include <string>

namespace quill {

// Where the preview control goes inside the 537 x 489 preview area for a picture of
// w x h (Round halves to even; integer halves truncate).
Rect fitPreview(int w, int h);
inline constexpr int kPreviewAreaWidth = 537;
inline constexpr int kPreviewAreaHeight = 489;

// A kernel set-up dialog (Realism, Abstract, Pop art): nine fields, "Convert",
// "Default", "OK" disabled until the first conversion.
class KernelDialogState {
  public:
    explicit KernelDialogState(const EffectDescription& effect);
    const EffectDescription& effect() const { return m_effect; }
    Kernel3x3 defaults() const;

    std::array<std::string, 9> fields;
    bool okEnabled() const { return m_okEnabled; }

    // "Convert": reads the fields; on a bad field returns its message and changes
    // nothing; else the settings to convert with (and "OK" becomes enabled).
    struct Conversion {
        std::optional<EffectSettings> settings;
        std::string message;
    };
    Conversion convert();
    // "Default": the start texts back into the fields, then convert.
    Conversion restoreDefaults();
    // Shown again or closed: "OK" disabled.
    void closed() { m_okEnabled = false; }

  private:
    const EffectDescription& m_effect;
    bool m_okEnabled = false;
};

} // namespace quill
