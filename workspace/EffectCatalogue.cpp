#include "workspace/EffectCatalogue.h"

#include "decor/BackgroundEffects.h"
#include "decor/Texture.h"
#include "effects/ColorFilters.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"
#include "imaging/IntegerText.h"

#include <algorithm>
#include <climits>

namespace quill {
namespace {

EffectParameter integer(std::string name, std::int64_t minimum, std::int64_t maximum,
                        std::int64_t defaultValue, std::string control, std::string help) {
    EffectParameter p;
    p.name = std::move(name);
    p.kind = EffectParameter::Kind::Integer;
    p.minimum = minimum;
    p.maximum = maximum;
    p.defaultValue = defaultValue;
    p.control = std::move(control);
    p.help = std::move(help);
    return p;
}

EffectParameter hollow() {
    EffectParameter p;
    p.name = "hollow";
    p.kind = EffectParameter::Kind::Flag;
    p.control = "CheckBox1";
    p.help = "cut out the white of the drawing (Hollow out)";
    return p;
}

EffectParameter kernel(const Kernel3x3& defaults) {
    EffectParameter p;
    p.name = "kernel";
    p.kind = EffectParameter::Kind::Kernel;
    p.defaultKernel = defaults;
    p.minimum = INT32_MIN; // each entry is a field holding a 32-bit integer
    p.maximum = INT32_MAX;
    p.control = "Edit1 .. Edit9";
    p.help = "nine integers k1..k9, the fields row by row, top row first";
    return p;
}

bool flag(const EffectSettings& s, const char* name) {
    return s.flags.count(name) != 0;
}

EffectDescription foreground(std::string name, std::string caption, std::string status,
                             EffectRunner runner, std::string group, int button) {
    EffectDescription e;
    e.name = std::move(name);
    e.caption = std::move(caption);
    e.statusText = std::move(status);
    e.target = EffectTarget::Foreground;
    e.runner = runner;
    e.group = std::move(group);
    if (button > 0)
        e.control = "RadioButton" + std::to_string(button);
    return e;
}

EffectDescription background(std::string name, std::string caption, int button,
                             void (*pass)(TBitmap32&)) {
    EffectDescription e;
    e.name = std::move(name);
    e.caption = std::move(caption);
    e.target = EffectTarget::Background;
    e.runner = EffectRunner::InWindow;
    e.control = "RadioButton" + std::to_string(button);
    e.runOnBackground = [pass](const TBitmap32& original, const EffectSettings&) {
        TBitmap32 work = original;
        pass(work);
        return work;
    };
    return e;
}

// Realism, Pop art and Abstract: the kernel set-up conversion of their dialog.
EffectDescription kernelEffect(std::string name, std::string caption, std::string status,
                               int button, const Kernel3x3& defaults,
                               TBitmap32 (*convert)(const TBitmap32&, const Kernel3x3&)) {
    EffectDescription e = foreground(std::move(name), caption, std::move(status),
                                     EffectRunner::KernelDialog, "Color", button);
    e.dialogCaption = "Setup for " + caption;
    e.dialogBanner = "************  Set for " + caption + "   ************";
    e.parameters = {kernel(defaults)};
    e.runOnLayer = [defaults, convert](const TBitmap32& original, const EffectSettings& s,
                                       ProgramRandom&) {
        return convert(original, s.kernel ? *s.kernel : defaults);
    };
    return e;
}

// The in-window effects that take nothing but the picture.
EffectDescription plainEffect(std::string name, std::string caption, EffectRunner runner,
                              std::string group, int button, TBitmap32 (*run)(const TBitmap32&)) {
    EffectDescription e =
        foreground(std::move(name), caption, caption, runner, std::move(group), button);
    e.runOnLayer = [run](const TBitmap32& original, const EffectSettings&, ProgramRandom&) {
        return run(original);
    };
    return e;
}

TBitmap32 sharpened(const TBitmap32& original) {
    TBitmap32 picture = original;
    sharpen(picture);
    return picture;
}

TBitmap32 softened(const TBitmap32& original) {
    TBitmap32 picture = original;
    soften(picture);
    return picture;
}

std::vector<EffectDescription> makeCatalogue() {
    std::vector<EffectDescription> list;

    EffectDescription pencil = foreground("pencil-sketch", "Pencil Sketch", "Pencil Sketch",
                                          EffectRunner::PreviewDialog, "B&W", 1);
    pencil.dialogCaption = "Pencil_Sketch";
    pencil.parameters = {
        integer("lighting", kLightingMin, kLightingMax, kLightingStart, "TrackBar2",
                "the Lighting slider's position (alone, not with contrast)"),
        integer("contrast", kContrastMin, kContrastMax, kContrastStart, "TrackBar1",
                "the Contrast slider's position (alone, not with lighting)")};
    pencil.runOnLayer = [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
        PencilSketchParams params;
        if (auto it = s.integers.find("lighting"); it != s.integers.end()) {
            params.slider = PencilSketchParams::Slider::Lighting;
            params.position = int(it->second);
        } else if (auto jt = s.integers.find("contrast"); jt != s.integers.end()) {
            params.slider = PencilSketchParams::Slider::Contrast;
            params.position = int(jt->second);
        }
        return pencilSketch(original, params);
    };
    list.push_back(std::move(pencil));

    EffectDescription pen =
        foreground("pen-sketch", "Pen Sketch", "Pen Sketch", EffectRunner::PreviewDialog, "B&W", 2);
    pen.dialogCaption = "Pen_Sketch";
    pen.parameters = {integer("pressure", 0, 255, 128, "TrackBar1", "the pen pressure"), hollow()};
    pen.runOnLayer = [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
        PenSketchParams params;
        params.pressure = int(findEffect("pen-sketch")->integer(s, "pressure"));
        params.hollow = flag(s, "hollow");
        return penSketch(original, params);
    };
    list.push_back(std::move(pen));

    EffectDescription kryptolEffect =
        foreground("kryptol", "Kryptol", "Kryptol", EffectRunner::PreviewDialog, "B&W", 12);
    kryptolEffect.dialogCaption = "Kryptol";
    kryptolEffect.parameters = {
        integer("direction", 1, 4, 1, "RadioButton1 .. RadioButton4", "the stroke direction"),
        integer("strokes", 0, INT_MAX, 0, "SpeedButton1", "how many pen strokes"), hollow()};
    kryptolEffect.runOnLayer = [](const TBitmap32& original, const EffectSettings& s,
                                  ProgramRandom&) {
        const EffectDescription& self = *findEffect("kryptol");
        KryptolParams params;
        params.direction = int(self.integer(s, "direction"));
        params.strokes = int(self.integer(s, "strokes"));
        params.hollow = flag(s, "hollow");
        return kryptol(original, params);
    };
    list.push_back(std::move(kryptolEffect));

    EffectDescription ink = foreground("pen-and-ink", "Pen & Ink", "Pen and Ink",
                                       EffectRunner::PreviewDialog, "B&W", 3);
    ink.dialogCaption = "Pen_and_Ink";
    ink.parameters = {integer("threshold", 0, 255, 128, "TrackBar1", "the ink threshold"),
                      hollow()};
    ink.runOnLayer = [](const TBitmap32& original, const EffectSettings& s, ProgramRandom&) {
        PenAndInkParams params;
        params.threshold = int(findEffect("pen-and-ink")->integer(s, "threshold"));
        params.hollow = flag(s, "hollow");
        return penAndInk(original, params);
    };
    list.push_back(std::move(ink));

    list.push_back(
        kernelEffect("realism", "Realism", "Realism art", 4, kRealismDefault, realismArt));
    list.push_back(kernelEffect("pop-art", "Pop art", "Pop art", 5, kPopArtDefault, popArt));
    list.push_back(
        kernelEffect("abstract", "Abstract", "Abstract art", 6, kAbstractDefault, abstractArt));
    list.push_back(
        plainEffect("water-color", "Water color", EffectRunner::InWindow, "Color", 7, waterColor));
    list.push_back(plainEffect("color-panels", "Color Panels", EffectRunner::InWindow,
                               "Color Filter", 8, colorPanels));
    list.push_back(plainEffect("color-blocks-vh", "Color Blocks (V & H)", EffectRunner::InWindow,
                               "Color Filter", 10, colorBlocksVH));
    list.push_back(plainEffect("color-blocks-catercorner", "Color Blocks (Catercorner)",
                               EffectRunner::InWindow, "Color Filter", 9, colorBlocksCatercorner));

    EffectDescription fog =
        foreground("brume", "Brume", "Brume", EffectRunner::InWindow, "Color Filter", 11);
    fog.parameters = {integer("seed", 0, UINT32_MAX, 0, "",
                              "the generator's state before drawing (0 when the program starts)")};
    fog.runOnLayer = [](const TBitmap32& original, const EffectSettings& s, ProgramRandom& random) {
        if (auto it = s.integers.find("seed"); it != s.integers.end())
            random.setSeed(std::uint32_t(it->second));
        return brume(original, random);
    };
    list.push_back(std::move(fog));

    list.push_back(plainEffect("sharpen", "Sharpen", EffectRunner::CommandLine, "", 0, sharpened));
    list.push_back(plainEffect("soften", "Soften", EffectRunner::CommandLine, "", 0, softened));

    list.push_back(background("emboss", "Emboss", 13, emboss));
    list.push_back(background("scorch", "Scorch", 14, scorch));

    EffectDescription texture;
    texture.name = "texture";
    texture.caption = "Texture";
    texture.target = EffectTarget::Background;
    texture.runner = EffectRunner::TextureWindow;
    texture.control = "RadioButton15";
    texture.dialogCaption = "Texture for background";
    texture.parameters = {integer("tile-number", 1, kTextureTileCount, 1, "texture1 .. texture12",
                                  "one of the program's tiles, 1..12")};
    EffectParameter tileFile;
    tileFile.name = "tile";
    tileFile.kind = EffectParameter::Kind::Picture;
    tileFile.help = "a tile picture (at least 58 x 58 pixels)";
    texture.parameters.push_back(tileFile);
    texture.runOnBackground = [](const TBitmap32& original, const EffectSettings& s) {
        TBitmap32 work;
        const auto number = s.integers.find("tile-number");
        ApplyTexture(number != s.integers.end() ? textureTile(int(number->second)) : *s.picture,
                     original, work);
        return work;
    };
    list.push_back(std::move(texture));

    list.push_back(background("vertical-stria", "Vertical stria", 16, verticalStria));
    list.push_back(background("horizontal-stria", "Horizontal stria", 17, horizontalStria));
    list.push_back(background("gray", "Gray", 18, grayBackground));
    return list;
}

std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '\'';
    result.append(text);
    result += '\'';
    return result;
}

std::string unknownParameter(const EffectDescription& effect, std::string_view name) {
    return "the effect " + effect.name + " has no option " + quoted(name);
}

} // namespace

std::string EffectParameter::descriptionKey() const {
    std::string key = name;
    std::replace(key.begin(), key.end(), '-', '_');
    return key;
}

const EffectParameter* EffectDescription::parameter(std::string_view wanted) const {
    for (const EffectParameter& p : parameters)
        if (p.name == wanted)
            return &p;
    return nullptr;
}

std::int64_t EffectDescription::integer(const EffectSettings& settings,
                                        std::string_view wanted) const {
    if (auto it = settings.integers.find(std::string(wanted)); it != settings.integers.end())
        return it->second;
    const EffectParameter* p = parameter(wanted);
    return p ? p->defaultValue : 0;
}

const std::vector<EffectDescription>& effectCatalogue() {
    static const std::vector<EffectDescription> list = makeCatalogue();
    return list;
}

const EffectDescription* findEffect(std::string_view name) {
    for (const EffectDescription& e : effectCatalogue())
        if (e.name == name)
            return &e;
    return nullptr;
}

const EffectDescription* findEffect(std::string_view name, EffectTarget target) {
    const EffectDescription* e = findEffect(name);
    return e && e->target == target ? e : nullptr;
}

std::string validateEffectSettings(const EffectDescription& effect,
                                   const EffectSettings& settings) {
    using Kind = EffectParameter::Kind;
    for (const auto& [name, value] : settings.integers) {
        const EffectParameter* p = effect.parameter(name);
        if (!p)
            return unknownParameter(effect, name);
        if (p->kind != Kind::Integer)
            return "the option " + quoted(name) + " of " + effect.name + " takes no number";
        if (value < p->minimum || value > p->maximum) {
            if (p->maximum == INT_MAX)
                return "the option " + quoted(name) + " of " + effect.name + " must be " +
                       std::to_string(p->minimum) + " or more";
            return "the option " + quoted(name) + " of " + effect.name + " must be between " +
                   std::to_string(p->minimum) + " and " + std::to_string(p->maximum);
        }
    }
    for (const std::string& name : settings.flags) {
        const EffectParameter* p = effect.parameter(name);
        if (!p)
            return unknownParameter(effect, name);
        if (p->kind != Kind::Flag)
            return "the option " + quoted(name) + " of " + effect.name + " needs a value";
    }
    if (settings.kernel) {
        const EffectParameter* p = effect.parameter("kernel");
        if (!p || p->kind != Kind::Kernel)
            return unknownParameter(effect, "kernel");
        for (std::int64_t k : *settings.kernel)
            if (k < p->minimum || k > p->maximum)
                return notValidIntegerMessage(std::to_string(k));
    }
    if (effect.name == "pencil-sketch" && settings.integers.count("lighting") &&
        settings.integers.count("contrast"))
        return "pencil-sketch takes lighting or contrast, not both";
    if (effect.name == "texture") {
        const bool number = settings.integers.count("tile-number") != 0;
        const bool picture = !settings.picture->empty();
        if (number == picture)
            return "texture needs exactly one tile: a tile number or a tile picture";
        if (picture && !tileUsable(*settings.picture))
            return (settings.pictureName.empty() ? std::string("the tile") : settings.pictureName) +
                   ": a texture tile must be at least " + std::to_string(kTileSize) + " x " +
                   std::to_string(kTileSize) + " pixels";
    } else if (!settings.picture->empty()) {
        return "the effect " + effect.name + " takes no picture";
    }
    return {};
}

} // namespace quill
