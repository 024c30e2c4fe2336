#include "effects/Registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "LiteralColorEffects.h"
#include "effects/ColorFilters.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"

using namespace quill;

TEST(RegistryTest, NamesAndStatusLabelsInButtonOrder) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"pencil-sketch", "Pencil Sketch"},
        {"pen-sketch", "Pen Sketch"},
        {"kryptol", "Kryptol"},
        {"pen-and-ink", "Pen and Ink"},
        {"realism", "Realism art"},
        {"pop-art", "Pop art"},
        {"abstract", "Abstract art"},
        {"water-color", "Water color"},
        {"color-panels", "Color Panels"},
        {"color-blocks-vh", "Color Blocks (V && H)"},
        {"color-blocks-catercorner", "Color Blocks (Catercorner)"},
        {"brume", "Brume"},
        {"sharpen", "Sharpen"},
        {"soften", "Soften"},
    };
    const std::vector<EffectEntry>& table = effectTable();
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].name, expected[i].first);
        EXPECT_EQ(table[i].statusName, expected[i].second);
        EXPECT_TRUE(bool(table[i].run)) << table[i].name;
        EXPECT_EQ(findEffect(expected[i].first), &table[i]);
    }
    EXPECT_EQ(findEffect("Pencil Sketch"), nullptr);
    EXPECT_EQ(findEffect("emboss"), nullptr);
    EXPECT_EQ(findEffect(""), nullptr);
}

TEST(RegistryTest, OptionsWithRangesAndDefaults) {
    using Kind = EffectOption::Kind;
    struct Case {
        const char* effect;
        const char* option;
        Kind kind;
        std::int64_t minimum, maximum, defaultValue;
    };
    const std::vector<Case> cases = {
        {"pencil-sketch", "lighting", Kind::Integer, 0, 255, 128},
        {"pencil-sketch", "contrast", Kind::Integer, 0, 89, 45},
        {"pen-sketch", "pressure", Kind::Integer, 0, 255, 128},
        {"pen-sketch", "hollow", Kind::Flag, 0, 0, 0},
        {"pen-and-ink", "threshold", Kind::Integer, 0, 255, 128},
        {"pen-and-ink", "hollow", Kind::Flag, 0, 0, 0},
        {"kryptol", "direction", Kind::Integer, 1, 4, 1},
        {"kryptol", "strokes", Kind::Integer, 0, INT_MAX, 0},
        {"kryptol", "hollow", Kind::Flag, 0, 0, 0},
        {"brume", "seed", Kind::Integer, 0, UINT32_MAX, 0},
        {"realism", "kernel", Kind::Kernel, INT32_MIN, INT32_MAX, 0},
        {"pop-art", "kernel", Kind::Kernel, INT32_MIN, INT32_MAX, 0},
        {"abstract", "kernel", Kind::Kernel, INT32_MIN, INT32_MAX, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.effect) + " " + c.option);
        const EffectEntry* effect = findEffect(c.effect);
        ASSERT_NE(effect, nullptr);
        const EffectOption* option = findOption(*effect, c.option);
        ASSERT_NE(option, nullptr);
        EXPECT_EQ(option->kind, c.kind);
        if (c.kind != Kind::Flag) {
            EXPECT_EQ(option->minimum, c.minimum);
            EXPECT_EQ(option->maximum, c.maximum);
        }
        if (c.kind == Kind::Integer) {
            EXPECT_EQ(option->defaultValue, c.defaultValue);
        }
        EXPECT_FALSE(option->help.empty());
    }
    EXPECT_EQ(findOption(*findEffect("realism"), "kernel")->defaultKernel, kRealismDefault);
    EXPECT_EQ(findOption(*findEffect("abstract"), "kernel")->defaultKernel, kAbstractDefault);
    EXPECT_EQ(findOption(*findEffect("pop-art"), "kernel")->defaultKernel, kPopArtDefault);
    for (const char* name : {"water-color", "color-panels", "color-blocks-vh",
                             "color-blocks-catercorner", "sharpen", "soften"})
        EXPECT_TRUE(findEffect(name)->options.empty()) << name;
    EXPECT_EQ(findEffect("pen-sketch")->options.size(), 2u);
    EXPECT_EQ(findEffect("kryptol")->options.size(), 3u);
}

TEST(RegistryTest, SettingsAreCheckedWithAMessage) {
    struct Case {
        const char* effect;
        EffectSettings settings;
        std::string message; // empty: accepted
    };
    const std::vector<Case> cases = {
        {"pencil-sketch", {}, ""},
        {"pencil-sketch", {{{"lighting", 0}}, {}, {}}, ""},
        {"pencil-sketch", {{{"contrast", 89}}, {}, {}}, ""},
        {"pencil-sketch",
         {{{"lighting", 10}, {"contrast", 10}}, {}, {}},
         "pencil-sketch takes lighting or contrast, not both"},
        {"pencil-sketch",
         {{{"contrast", 90}}, {}, {}},
         "the option 'contrast' of pencil-sketch must be between 0 and 89"},
        {"pen-sketch", {{{"pressure", 255}}, {"hollow"}, {}}, ""},
        {"pen-sketch",
         {{{"pressure", 256}}, {}, {}},
         "the option 'pressure' of pen-sketch must be between 0 and 255"},
        {"pen-sketch",
         {{{"pressure", -1}}, {}, {}},
         "the option 'pressure' of pen-sketch must be between 0 and 255"},
        {"pen-sketch",
         {{{"hollow", 1}}, {}, {}},
         "the option 'hollow' of pen-sketch takes no number"},
        {"pen-and-ink",
         {{}, {"threshold"}, {}},
         "the option 'threshold' of pen-and-ink needs a value"},
        {"pen-and-ink", {{}, {"bold"}, {}}, "the effect pen-and-ink has no option 'bold'"},
        {"kryptol",
         {{{"direction", 0}}, {}, {}},
         "the option 'direction' of kryptol must be between 1 and 4"},
        {"kryptol", {{{"direction", 4}, {"strokes", 1000}}, {"hollow"}, {}}, ""},
        {"kryptol",
         {{{"strokes", -1}}, {}, {}},
         "the option 'strokes' of kryptol must be 0 or more"},
        {"brume", {{{"seed", 4294967295}}, {}, {}}, ""},
        {"brume",
         {{{"seed", 4294967296}}, {}, {}},
         "the option 'seed' of brume must be between 0 and 4294967295"},
        {"realism", {{}, {}, Kernel3x3{INT32_MAX, INT32_MIN, 0, 0, 0, 0, 0, 0, 0}}, ""},
        {"realism",
         {{}, {}, Kernel3x3{0, 0, 0, 0, 2147483648, 0, 0, 0, 0}},
         "'2147483648' is not a valid integer value"},
        {"water-color", {{}, {}, kRealismDefault}, "the effect water-color has no option 'kernel'"},
        {"sharpen", {{{"passes", 2}}, {}, {}}, "the effect sharpen has no option 'passes'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        EXPECT_EQ(validateEffectSettings(*findEffect(c.effect), c.settings), c.message);
    }
}

TEST(RegistryTest, EntriesRunTheirEffects) {
    const TBitmap32 picture = literal::photoLikePicture(37, 29, 17);
    const Kernel3x3 custom{0, 1, 0, 1, -4, 1, 0, 1, 0};
    struct Case {
        const char* effect;
        EffectSettings settings;
        TBitmap32 expected;
    };
    auto filtered = [&](void (*filter)(TBitmap32&)) {
        TBitmap32 p = picture;
        filter(p);
        return p;
    };
    std::vector<Case> cases;
    cases.push_back(
        {"pencil-sketch", {}, pencilSketch(picture, {PencilSketchParams::Slider::None, 0})});
    cases.push_back({"pencil-sketch",
                     {{{"lighting", 200}}, {}, {}},
                     pencilSketch(picture, {PencilSketchParams::Slider::Lighting, 200})});
    cases.push_back({"pencil-sketch",
                     {{{"contrast", 30}}, {}, {}},
                     pencilSketch(picture, {PencilSketchParams::Slider::Contrast, 30})});
    cases.push_back({"pen-sketch", {}, penSketch(picture, PenSketchParams{128, false})});
    cases.push_back({"pen-sketch",
                     {{{"pressure", 60}}, {"hollow"}, {}},
                     penSketch(picture, PenSketchParams{60, true})});
    cases.push_back({"pen-and-ink", {}, penAndInk(picture, PenAndInkParams{128, false})});
    cases.push_back({"pen-and-ink",
                     {{{"threshold", 90}}, {"hollow"}, {}},
                     penAndInk(picture, PenAndInkParams{90, true})});
    cases.push_back({"kryptol", {}, kryptol(picture, KryptolParams{1, 0, false})});
    cases.push_back({"kryptol",
                     {{{"direction", 3}, {"strokes", 2}}, {"hollow"}, {}},
                     kryptol(picture, KryptolParams{3, 2, true})});
    cases.push_back({"realism", {}, realismArt(picture, kRealismDefault)});
    cases.push_back({"realism", {{}, {}, custom}, realismArt(picture, custom)});
    cases.push_back({"abstract", {}, abstractArt(picture, kAbstractDefault)});
    cases.push_back({"abstract", {{}, {}, custom}, abstractArt(picture, custom)});
    cases.push_back({"pop-art", {}, popArt(picture, kPopArtDefault)});
    cases.push_back({"pop-art", {{}, {}, custom}, popArt(picture, custom)});
    cases.push_back({"water-color", {}, waterColor(picture)});
    cases.push_back({"color-panels", {}, colorPanels(picture)});
    cases.push_back({"color-blocks-vh", {}, colorBlocksVH(picture)});
    cases.push_back({"color-blocks-catercorner", {}, colorBlocksCatercorner(picture)});
    cases.push_back({"sharpen", {}, filtered(sharpen)});
    cases.push_back({"soften", {}, filtered(soften)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        ProgramRandom random(0);
        const EffectEntry* effect = findEffect(c.effect);
        ASSERT_EQ(validateEffectSettings(*effect, c.settings), "");
        EXPECT_TRUE(effect->run(picture, c.settings, random) == c.expected);
        EXPECT_EQ(random.seed(), 0u); // only Brume draws
    }
}

TEST(RegistryTest, BrumeDrawsFromTheGivenGeneratorUnlessSeeded) {
    const TBitmap32 picture = literal::photoLikePicture(21, 13, 2);
    const EffectEntry& entry = *findEffect("brume");
    std::uint32_t literalSeed = 0;
    const TBitmap32 first = literal::brume(picture, &literalSeed);
    const TBitmap32 second = literal::brume(picture, &literalSeed);

    ProgramRandom random(0);
    EXPECT_TRUE(entry.run(picture, {}, random) == first);
    EXPECT_TRUE(entry.run(picture, {}, random) == second); // continues, so differs
    EXPECT_EQ(random.seed(), literalSeed);

    // An explicit seed sets the generator's state first: seed 0 repeats the first run.
    EXPECT_TRUE(entry.run(picture, {{{"seed", 0}}, {}, {}}, random) == first);
    std::uint32_t seeded = 77;
    EXPECT_TRUE(entry.run(picture, {{{"seed", 77}}, {}, {}}, random) ==
                literal::brume(picture, &seeded));
    EXPECT_EQ(random.seed(), seeded);
}
