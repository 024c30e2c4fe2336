#pragma once

// The one list of the program's effects. Every photo effect and every background effect
// stands here once, with its name in files and on the command line, its caption, the text
// the status label shows after it, how the window runs it, its parameters and the function
// that runs it. The effect pages, the dialogs' ranges, the document's effect commands, the
// command line's options and help, and the scene descriptions all read this list.

#include "effects/Brume.h"
#include "effects/Fringe.h"
#include "imaging/Bitmap32.h"
#include "imaging/SharedPicture.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class EffectTarget { Foreground, Background };

// How the window runs an effect.
enum class EffectRunner {
    PreviewDialog, // a dialog with a preview; nothing reaches the scene before its "OK"
    KernelDialog,  // nine kernel fields; every "Convert" writes into the scene
    InWindow,      // at once, when its button becomes the selected one
    TextureWindow, // the background texture: the texture window offers the tiles
    CommandLine,   // no button: reached from the command line and scene descriptions only
};

// One parameter, as the command line (--name), a scene description ("name", with '-'
// written '_') and the window's controls give it.
struct EffectParameter {
    std::string name;
    enum class Kind {
        Integer, // a whole number in [minimum, maximum]
        Flag,    // on or off
        Kernel,  // nine whole numbers, each a 32-bit integer
        Picture, // a picture file (a texture tile)
    } kind = Kind::Integer;
    std::int64_t minimum = 0, maximum = 0, defaultValue = 0;
    Kernel3x3 defaultKernel{};
    // The window's control that sets it ("TrackBar1", "CheckBox1", "Edit1 .. Edit9", ...),
    // empty when no control does.
    std::string control;
    std::string help;

    // The key of the parameter in a scene description.
    std::string descriptionKey() const;
};

// The parameters given for one run. Absent integers take their default, absent flags are
// off, an absent kernel is the default kernel.
struct EffectSettings {
    std::map<std::string, std::int64_t> integers;
    std::set<std::string> flags;
    std::optional<Kernel3x3> kernel;
    SharedPicture picture;   // a Picture parameter's picture, read by the caller
    std::string pictureName; // the file it was read from (for messages)

    bool operator==(const EffectSettings& o) const {
        return integers == o.integers && flags == o.flags && kernel == o.kernel &&
               picture == o.picture;
    }
};

struct EffectDescription {
    std::string name;       // in files and on the command line: "pencil-sketch"
    std::string caption;    // the button's caption as shown: "Pen & Ink"
    std::string statusText; // what the status label shows after it: "Pen and Ink"
    EffectTarget target = EffectTarget::Foreground;
    EffectRunner runner = EffectRunner::InWindow;
    std::string group;         // the box of the page it stands in: "B&W", "Color", ...
    std::string control;       // its button: "RadioButton1"
    std::string dialogCaption; // its dialog window's title, for the runners with a dialog
    std::string dialogBanner;  // the kernel dialog's heading
    std::vector<EffectParameter> parameters;

    // A foreground effect: the picture drawn, from the layer's untouched picture. Brume draws
    // from `random`; a "seed" setting first sets its state.
    std::function<TBitmap32(const TBitmap32& original, const EffectSettings& settings,
                            ProgramRandom& random)>
        runOnLayer;
    // A background effect: the background as shown, from the background as opened.
    std::function<TBitmap32(const TBitmap32& original, const EffectSettings& settings)>
        runOnBackground;

    const EffectParameter* parameter(std::string_view name) const;
    // The integer setting, or the parameter's default.
    std::int64_t integer(const EffectSettings& settings, std::string_view name) const;
    bool hasButton() const { return runner != EffectRunner::CommandLine; }
};

// Every effect: the foreground effects in the order of their page's buttons, then those the
// command line alone reaches, then the background effects in the order of their page.
const std::vector<EffectDescription>& effectCatalogue();

// The effect of that name, or nullptr.
const EffectDescription* findEffect(std::string_view name);
const EffectDescription* findEffect(std::string_view name, EffectTarget target);

// An empty text when the settings fit the effect; otherwise a one-line message saying what
// is wrong (an unknown parameter, one of another kind, a value out of range, lighting
// together with contrast, a texture without exactly one tile).
std::string validateEffectSettings(const EffectDescription& effect, const EffectSettings& settings);

} // namespace quill
