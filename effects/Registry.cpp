#include "effects/Registry.h"

#include <climits>

#include "effects/ColorFilters.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"
#include "imaging/IntegerText.h"

namespace quill {
namespace {

EffectOption integerOption(std::string name, std::int64_t minimum, std::int64_t maximum,
                           std::int64_t defaultValue, std::string help) {
    EffectOption option;
    option.name = std::move(name);
    option.kind = EffectOption::Kind::Integer;
    option.minimum = minimum;
    option.maximum = maximum;
    option.defaultValue = defaultValue;
    option.help = std::move(help);
    return option;
}

EffectOption flagOption(std::string name, std::string help) {
    EffectOption option;
    option.name = std::move(name);
    option.kind = EffectOption::Kind::Flag;
    option.help = std::move(help);
    return option;
}

EffectOption kernelOption(const Kernel3x3& defaultKernel) {
    EffectOption option;
    option.name = "kernel";
    option.kind = EffectOption::Kind::Kernel;
    option.defaultKernel = defaultKernel;
    option.minimum = INT32_MIN; // each entry is a field holding a 32-bit integer
    option.maximum = INT32_MAX;
    option.help = "nine integers k1..k9, the fields row by row, top row first";
    return option;
}

// An integer setting of the named effect, or its default from the table, so that the
// defaults are written down once.
std::int64_t setting(std::string_view effect, const EffectSettings& settings,
                     std::string_view name) {
    return integerSetting(*findEffect(effect), settings, name);
}

Kernel3x3 kernelSetting(const EffectSettings& settings, const Kernel3x3& defaultKernel) {
    return settings.kernel ? *settings.kernel : defaultKernel;
}

bool flag(const EffectSettings& settings, const char* name) {
    return settings.flags.count(name) != 0;
}

std::vector<EffectEntry> makeTable() {
    const std::string hollowHelp = "cut out the white of the drawing (Hollow out)";
    std::vector<EffectEntry> table;
    table.push_back({"pencil-sketch",
                     "Pencil Sketch",
                     {integerOption("lighting", kLightingMin, kLightingMax, kLightingStart,
                                    "the Lighting slider's position (alone, not with contrast)"),
                      integerOption("contrast", kContrastMin, kContrastMax, kContrastStart,
                                    "the Contrast slider's position (alone, not with lighting)")},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         PencilSketchParams params;
                         if (auto it = s.integers.find("lighting"); it != s.integers.end()) {
                             params.slider = PencilSketchParams::Slider::Lighting;
                             params.position = int(it->second);
                         } else if (auto jt = s.integers.find("contrast"); jt != s.integers.end()) {
                             params.slider = PencilSketchParams::Slider::Contrast;
                             params.position = int(jt->second);
                         }
                         return pencilSketch(original, params);
                     }});
    table.push_back({"pen-sketch",
                     "Pen Sketch",
                     {integerOption("pressure", 0, 255, 128, "the pen pressure"),
                      flagOption("hollow", hollowHelp)},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         PenSketchParams params;
                         params.pressure = int(setting("pen-sketch", s, "pressure"));
                         params.hollow = flag(s, "hollow");
                         return penSketch(original, params);
                     }});
    table.push_back({"kryptol",
                     "Kryptol",
                     {integerOption("direction", 1, 4, 1, "the stroke direction"),
                      integerOption("strokes", 0, INT_MAX, 0, "how many pen strokes"),
                      flagOption("hollow", hollowHelp)},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         KryptolParams params;
                         params.direction = int(setting("kryptol", s, "direction"));
                         params.strokes = int(setting("kryptol", s, "strokes"));
                         params.hollow = flag(s, "hollow");
                         return kryptol(original, params);
                     }});
    table.push_back({"pen-and-ink",
                     "Pen and Ink",
                     {integerOption("threshold", 0, 255, 128, "the ink threshold"),
                      flagOption("hollow", hollowHelp)},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         PenAndInkParams params;
                         params.threshold = int(setting("pen-and-ink", s, "threshold"));
                         params.hollow = flag(s, "hollow");
                         return penAndInk(original, params);
                     }});
    table.push_back({"realism",
                     "Realism art",
                     {kernelOption(kRealismDefault)},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         return realismArt(original, kernelSetting(s, kRealismDefault));
                     }});
    table.push_back({"pop-art",
                     "Pop art",
                     {kernelOption(kPopArtDefault)},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         return popArt(original, kernelSetting(s, kPopArtDefault));
                     }});
    table.push_back({"abstract",
                     "Abstract art",
                     {kernelOption(kAbstractDefault)},
                     [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
                         return abstractArt(original, kernelSetting(s, kAbstractDefault));
                     }});
    table.push_back({"water-color",
                     "Water color",
                     {},
                     [](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
                         return waterColor(original);
                     }});
    table.push_back({"color-panels",
                     "Color Panels",
                     {},
                     [](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
                         return colorPanels(original);
                     }});
    table.push_back({"color-blocks-vh",
                     "Color Blocks (V && H)",
                     {},
                     [](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
                         return colorBlocksVH(original);
                     }});
    table.push_back({"color-blocks-catercorner",
                     "Color Blocks (Catercorner)",
                     {},
                     [](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
                         return colorBlocksCatercorner(original);
                     }});
    table.push_back(
        {"brume",
         "Brume",
         {integerOption("seed", 0, UINT32_MAX, 0,
                        "the generator's state before drawing (0 when the program starts)")},
         [](const TBitmap32& original, const EffectSettings& s, ProgramRandom& random) {
             if (auto it = s.integers.find("seed"); it != s.integers.end())
                 random.setSeed(std::uint32_t(it->second));
             return brume(original, random);
         }});
    table.push_back({"sharpen",
                     "Sharpen",
                     {},
                     [](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
                         TBitmap32 picture = original;
                         sharpen(picture);
                         return picture;
                     }});
    table.push_back({"soften",
                     "Soften",
                     {},
                     [](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
                         TBitmap32 picture = original;
                         soften(picture);
                         return picture;
                     }});
    return table;
}

std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '\'';
    result.append(text);
    result += '\'';
    return result;
}

std::string unknownOption(const EffectEntry& effect, std::string_view name) {
    return "the effect " + effect.name + " has no option " + quoted(name);
}

} // namespace

const std::vector<EffectEntry>& effectTable() {
    static const std::vector<EffectEntry> table = makeTable();
    return table;
}

const EffectEntry* findEffect(std::string_view name) {
    for (const EffectEntry& entry : effectTable())
        if (entry.name == name)
            return &entry;
    return nullptr;
}

const EffectOption* findOption(const EffectEntry& effect, std::string_view name) {
    for (const EffectOption& option : effect.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

std::int64_t integerSetting(const EffectEntry& effect, const EffectSettings& settings,
                            std::string_view name) {
    if (auto it = settings.integers.find(std::string(name)); it != settings.integers.end())
        return it->second;
    const EffectOption* option = findOption(effect, name);
    return option ? option->defaultValue : 0;
}

std::string validateEffectSettings(const EffectEntry& effect, const EffectSettings& settings) {
    for (const auto& [name, value] : settings.integers) {
        const EffectOption* option = findOption(effect, name);
        if (!option)
            return unknownOption(effect, name);
        if (option->kind != EffectOption::Kind::Integer)
            return "the option " + quoted(name) + " of " + effect.name + " takes no number";
        if (value < option->minimum || value > option->maximum) {
            if (option->maximum == INT_MAX)
                return "the option " + quoted(name) + " of " + effect.name + " must be " +
                       std::to_string(option->minimum) + " or more";
            return "the option " + quoted(name) + " of " + effect.name + " must be between " +
                   std::to_string(option->minimum) + " and " + std::to_string(option->maximum);
        }
    }
    for (const std::string& name : settings.flags) {
        const EffectOption* option = findOption(effect, name);
        if (!option)
            return unknownOption(effect, name);
        if (option->kind != EffectOption::Kind::Flag)
            return "the option " + quoted(name) + " of " + effect.name + " needs a value";
    }
    if (settings.kernel) {
        const EffectOption* option = findOption(effect, "kernel");
        if (!option || option->kind != EffectOption::Kind::Kernel)
            return unknownOption(effect, "kernel");
        for (std::int64_t k : *settings.kernel)
            if (k < option->minimum || k > option->maximum)
                return notValidIntegerMessage(std::to_string(k));
    }
    if (effect.name == "pencil-sketch" && settings.integers.count("lighting") &&
        settings.integers.count("contrast"))
        return "pencil-sketch takes lighting or contrast, not both";
    return {};
}

} // namespace quill
