// The effect catalogue: what it refuses, that each entry runs its own effect, and the
// order the effect pages and the command line show.
#include "workspace/EffectCatalogue.h"

#include "tests/RandomPictures.h"

#include "decor/BackgroundEffects.h"
#include "decor/Texture.h"
#include "effects/Brume.h"
#include "effects/ColorFilters.h"
#include "effects/Kryptol.h"
#include "effects/PenAndInk.h"
#include "effects/PenSketch.h"
#include "effects/PencilSketch.h"
#include "effects/SharpenSoften.h"
#include "effects/WaterColor.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

using namespace quill;

// The tables below give settings as {integers, flags, kernel}; the picture is for textures.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

TEST(Catalogue, NamesAreUniqueAndEveryButtonHasItsPlace) {
    std::set<std::string> names, controls;
    std::vector<std::string> order;
    for (const EffectDescription& e : effectCatalogue()) {
        EXPECT_TRUE(names.insert(e.name).second) << e.name;
        EXPECT_EQ(findEffect(e.name), &e);
        if (e.hasButton()) {
            EXPECT_TRUE(controls.insert(e.control).second) << e.name << " " << e.control;
        }
        EXPECT_EQ(bool(e.runOnLayer), e.target == EffectTarget::Foreground) << e.name;
        EXPECT_EQ(bool(e.runOnBackground), e.target == EffectTarget::Background) << e.name;
        const bool dialog = e.runner == EffectRunner::PreviewDialog ||
                            e.runner == EffectRunner::KernelDialog ||
                            e.runner == EffectRunner::TextureWindow;
        EXPECT_EQ(!e.dialogCaption.empty(), dialog) << e.name;
        order.push_back(e.name);
    }
    // The page's buttons top to bottom, box by box, then the command line's own, then the
    // background page.
    const std::vector<std::string> expected = {"pencil-sketch",
                                               "pen-sketch",
                                               "kryptol",
                                               "pen-and-ink",
                                               "realism",
                                               "pop-art",
                                               "abstract",
                                               "water-color",
                                               "color-panels",
                                               "color-blocks-vh",
                                               "color-blocks-catercorner",
                                               "brume",
                                               "sharpen",
                                               "soften",
                                               "emboss",
                                               "scorch",
                                               "texture",
                                               "vertical-stria",
                                               "horizontal-stria",
                                               "gray"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(findEffect("emboss", EffectTarget::Foreground), nullptr);
    EXPECT_EQ(findEffect("Pencil Sketch"), nullptr);
    EXPECT_EQ(findEffect("tile-number"), nullptr);
    EXPECT_EQ(findEffect("texture")->parameter("tile-number")->descriptionKey(), "tile_number");
}

TEST(Catalogue, SettingsAreCheckedWithAMessage) {
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
        {"texture", {}, "texture needs exactly one tile: a tile number or a tile picture"},
        {"texture",
         {{{"tile-number", 13}}, {}, {}},
         "the option 'tile-number' of texture must be between 1 and 12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        EXPECT_EQ(validateEffectSettings(*findEffect(c.effect), c.settings), c.message);
    }
}

TEST(Catalogue, EntriesRunTheirEffects) {
    const TBitmap32 picture = testpictures::randomPicture(37, 29, 17);
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
        const EffectDescription* effect = findEffect(c.effect);
        ASSERT_EQ(validateEffectSettings(*effect, c.settings), "");
        EXPECT_TRUE(effect->runOnLayer(picture, c.settings, random) == c.expected);
        EXPECT_EQ(random.seed(), 0u); // only Brume draws
    }
    // The background effects: each pass on a copy of the background as opened.
    const struct {
        const char* effect;
        void (*pass)(TBitmap32&);
    } passes[] = {{"emboss", emboss},
                  {"scorch", scorch},
                  {"vertical-stria", verticalStria},
                  {"horizontal-stria", horizontalStria},
                  {"gray", grayBackground}};
    for (const auto& p : passes)
        EXPECT_TRUE(findEffect(p.effect)->runOnBackground(picture, {}) == filtered(p.pass))
            << p.effect;
    EffectSettings tile;
    tile.integers["tile-number"] = 4;
    TBitmap32 textured;
    ApplyTexture(textureTile(4), picture, textured);
    EXPECT_TRUE(findEffect("texture")->runOnBackground(picture, tile) == textured);
}

TEST(Catalogue, BrumeDrawsFromTheGivenGeneratorUnlessSeeded) {
    const TBitmap32 picture = testpictures::randomPicture(21, 13, 2);
    const EffectDescription& entry = *findEffect("brume");
    ProgramRandom reference(0);
    const TBitmap32 first = brume(picture, reference);
    const TBitmap32 second = brume(picture, reference);

    ProgramRandom random(0);
    EXPECT_TRUE(entry.runOnLayer(picture, {}, random) == first);
    EXPECT_TRUE(entry.runOnLayer(picture, {}, random) == second); // continues, so differs
    EXPECT_EQ(random.seed(), reference.seed());

    // An explicit seed sets the generator's state first: seed 0 repeats the first run.
    EXPECT_TRUE(entry.runOnLayer(picture, {{{"seed", 0}}, {}, {}}, random) == first);
    ProgramRandom seeded(77);
    EXPECT_TRUE(entry.runOnLayer(picture, {{{"seed", 77}}, {}, {}}, random) ==
                brume(picture, seeded));
    EXPECT_EQ(random.seed(), seeded.seed());
}

// A layer with a shape of its own hands its effects a picture whose alpha is that shape:
// no effect may draw other colours for it than for the same picture opaque.
TEST(Catalogue, LayerEffectsDrawTheSameColoursWhateverTheAlpha) {
    const TBitmap32 opaque =
        testpictures::randomPicture(40, 31, 9, testpictures::PictureAlpha::Opaque);
    TBitmap32 shaped = opaque;
    const TBitmap32 alphas = testpictures::randomPicture(40, 31, 10);
    for (int y = 0; y < shaped.height(); ++y)
        for (int x = 0; x < shaped.width(); ++x)
            shaped.setPixel(x, y, (opaque.pixel(x, y) & 0x00ffffffu) | (alphas.pixel(x, y) << 24));
    for (const EffectDescription& e : effectCatalogue()) {
        if (!e.runOnLayer)
            continue;
        ProgramRandom r1(5), r2(5);
        const TBitmap32 a = e.runOnLayer(opaque, {}, r1), b = e.runOnLayer(shaped, {}, r2);
        ASSERT_EQ(a.width(), b.width()) << e.name;
        ASSERT_EQ(a.height(), b.height()) << e.name;
        int differ = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                differ += ((a.pixel(x, y) ^ b.pixel(x, y)) & 0x00ffffffu) != 0;
        EXPECT_EQ(differ, 0) << e.name;
    }
}
