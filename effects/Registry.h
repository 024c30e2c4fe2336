#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "effects/Brume.h"
#include "effects/Fringe.h"
#include "imaging/Bitmap32.h"

namespace quill {

// One option of an effect as the command line (--name) and the scene file ("name")
// give it.
struct EffectOption {
    std::string name;
    enum class Kind { Integer, Flag, Kernel } kind = Kind::Integer;
    // Integer options: the allowed range and the value used when the option is absent.
    std::int64_t minimum = 0, maximum = 0, defaultValue = 0;
    // Kernel options: the kernel used when the option is absent.
    Kernel3x3 defaultKernel{};
    std::string help;
};

// The options given for one run. Absent integers take their default, absent flags are
// off, an absent kernel is the default kernel.
struct EffectSettings {
    std::map<std::string, std::int64_t> integers;
    std::set<std::string> flags;
    std::optional<Kernel3x3> kernel;
};

// One photo effect: its name on the command line and in scene files, the status label
// text the program shows after it, its options, and the function that runs it on a
// layer's untouched picture. `run` expects settings that validateEffectSettings accepts.
// Brume draws from `random` (the program-wide generator unless the caller passes its
// own); a "seed" setting first sets that generator's state.
struct EffectEntry {
    std::string name;
    std::string statusName;
    std::vector<EffectOption> options;
    std::function<TBitmap32(const TBitmap32& original, const EffectSettings& settings,
                            ProgramRandom& random)>
        run;
};

// Every foreground effect, in the order of the program's effect buttons, then sharpen
// and soften.
const std::vector<EffectEntry>& effectTable();

// The entry of that name, or nullptr.
const EffectEntry* findEffect(std::string_view name);

// The option of that name of an effect, or nullptr.
const EffectOption* findOption(const EffectEntry& effect, std::string_view name);

// An empty text when the settings fit the effect; otherwise a one-line message saying
// what is wrong (an unknown option, an option of another kind, a value out of range,
// lighting together with contrast).
std::string validateEffectSettings(const EffectEntry& effect, const EffectSettings& settings);

// The integer setting of that name, or the option's default.
std::int64_t integerSetting(const EffectEntry& effect, const EffectSettings& settings,
                            std::string_view name);

} // namespace quill
