#include "workspace/SceneDescription.h"

#include "tests/collections/CollectionsTestSupport.h"

#include "decor/MaskLibrary.h"
#include "decor/Rotation.h"
#include "effects/Brume.h"
#include "imaging/PictureFile.h"
#include "workspace/Document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

SceneFileResult parse(const std::string& text) {
    return parseSceneText(text, "/scenes", "scene.json");
}

TEST(SceneFile, RefusesWhatIsNotAScene) {
    struct Case {
        const char* text;
        const char* mentions;
    } cases[] = {
        {R"({"colour": "red"})", "\"colour\""},
        {R"({"layers": [{"file": "a.png", "z": 1}]})", "layers[0].z"},
        {R"({"layers": [{"file": "a.png", "x": "4"}]})", "layers[0].x"},
        {R"({"layers": [{"file": "a.png", "x": 1.5}]})", "layers[0].x"},
        {R"({"layers": [{"file": "a.png", "transparent": 1}]})", "layers[0].transparent"},
        {R"({"layers": [{"file": "a.png", "transparence": 256}]})", "layers[0].transparence"},
        {R"({"layers": [{"file": "a.png", "mask": 37}]})", "layers[0].mask"},
        {R"({"layers": [{"x": 1}]})", "layers[0].file"},
        {R"({"layers": {"file": "a.png"}})", "\"layers\""},
        {R"({"layers": [{"file": "a.png", "effect": {"name": "pen-sketch", "strokes": 2}}]})",
         "strokes"},
        {R"({"layers": [{"file": "a.png", "effect": {"name": "realism", "kernel": [1,2,3]}}]})",
         "kernel"},
        {R"({"layers": [{"file": "a.png", "effect": {"name": "realism", "kernel": [1,2,3,4,5,6,7,8,2147483648]}}]})",
         "kernel"},
        {R"({"layers": [{"file": "a.png", "effect": {"name": "glitter"}}]})", "effect.name"},
        {R"({"background": {"width": 0, "height": 10}})", "background.width"},
        {R"({"background_effect": {"name": "texture"}})", "tile"},
        {R"({"background_effect": {"name": "gray", "tile_number": 2}})", "only texture"},
        {R"([1, 2])", "one object"},
        {R"({"layers": [)", "scene.json"},
        {R"({"layers": [[[[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]]]})", "nested"},
    };
    for (const Case& c : cases) {
        SceneFileResult r = parse(c.text);
        EXPECT_FALSE(r.scene) << c.text;
        EXPECT_NE(r.error.find(c.mentions), std::string::npos) << c.text << " -> " << r.error;
    }
}

TEST(SceneFile, ReadsEveryKeyAndResolvesPathsFromTheSceneFolder) {
    SceneFileResult r = parse(R"({
        "background": "beach.jpg",
        "background_effect": {"name": "texture", "tile_number": 3},
        "layers": [{"file": "cat.jpg", "x": 40, "y": -25, "rotate": 30,
                    "effect": {"name": "pen-sketch", "pressure": 100, "hollow": true},
                    "mask": 12, "transparent": true, "transparence": 200, "visible": false},
                   {"file": "/abs/dog.png", "mask": "masks/m.png"}],
        "frame": "frame/f3.jpg"})");
    ASSERT_TRUE(r.scene) << r.error;
    const SceneSpec& s = *r.scene;
    EXPECT_EQ(s.backgroundFile, "/scenes/beach.jpg");
    ASSERT_TRUE(s.backgroundEffect);
    EXPECT_EQ(s.backgroundEffect->settings.integers.at("tile-number"), 3);
    ASSERT_EQ(s.layers.size(), 2u);
    EXPECT_EQ(s.layers[0].file, "/scenes/cat.jpg");
    EXPECT_EQ(s.layers[0].x, 40);
    EXPECT_EQ(s.layers[0].y, -25);
    EXPECT_EQ(s.layers[0].rotate, 30);
    ASSERT_TRUE(s.layers[0].effect);
    EXPECT_EQ(s.layers[0].effect->settings.integers.at("pressure"), 100);
    EXPECT_TRUE(s.layers[0].effect->settings.flags.count("hollow"));
    EXPECT_EQ(s.layers[0].mask.number, 12);
    EXPECT_TRUE(s.layers[0].transparent);
    EXPECT_EQ(s.layers[0].transparence, 200);
    EXPECT_FALSE(s.layers[0].visible);
    EXPECT_EQ(s.layers[1].file, "/abs/dog.png");
    EXPECT_EQ(s.layers[1].mask.file, "/scenes/masks/m.png");
    EXPECT_EQ(s.layers[1].transparence, 128);
    EXPECT_TRUE(s.layers[1].visible);
    EXPECT_EQ(s.frameFile, "/scenes/frame/f3.jpg");
}

// Scenes composed from files in a scratch folder, with no mask library.
class Compose : public ::testing::Test {
  protected:
    // Writes picture in the form its name asks for and returns its path.
    std::string save(const std::string& name, const TBitmap32& picture) const {
        const std::string p = m_dir.path(name);
        EXPECT_TRUE(SavePicture(picture, p, *formatForOutputName(p)).ok) << p;
        return p;
    }
    std::string path(const std::string& name) const { return m_dir.path(name); }
    struct Composed {
        TBitmap32 picture;
        std::string message;
    };
    // The scene composed in a document of its own, whose Brume generator starts at 0.
    Composed compose(const SceneSpec& spec) {
        ProgramRandom random(0);
        Document document(m_masks, random);
        Composed c;
        c.message = buildScene(spec, document);
        if (c.message.empty())
            c.picture = document.scene().scenePicture();
        return c;
    }
    // A w x h white scene with the given layers.
    Composed compose(int w, int h, std::vector<SceneLayerSpec> layers) {
        SceneSpec spec;
        spec.backgroundWidth = w;
        spec.backgroundHeight = h;
        spec.layers = std::move(layers);
        return compose(spec);
    }
    MaskLibrary m_masks;
    quill::testing::TempFolder m_dir;
};

TEST_F(Compose, TransparentLayerOverWhiteMixesAsTheBlendSays) {
    SceneLayerSpec layer;
    layer.file = save("red.png", TBitmap32(3, 2, makePixel(255, 0, 0)));
    layer.x = 8;  // overhangs the right edge by one column
    layer.y = -1; // and the top by one row
    layer.transparent = true;
    layer.transparence = 128; // factor 127: alpha 127
    Composed r = compose(10, 6, {layer});
    ASSERT_EQ(r.message, "");
    ASSERT_EQ(r.picture.width(), 10);
    // (255 - 127) * 255 + 127 * 0 = 32640, div 255 = 128
    EXPECT_EQ(r.picture.pixel(8, 0), makePixel(255, 128, 128));
    EXPECT_EQ(r.picture.pixel(9, 0), makePixel(255, 128, 128));
    EXPECT_EQ(r.picture.pixel(7, 0), makePixel(255, 255, 255));
    EXPECT_EQ(r.picture.pixel(8, 1), makePixel(255, 255, 255));
}

TEST_F(Compose, APicturesOwnAlphaMultipliesTheTransparency) {
    TBitmap32 red(3, 1, makePixel(255, 0, 0));
    red.setPixel(0, 0, makePixel(255, 0, 0, 0));
    red.setPixel(1, 0, makePixel(255, 0, 0, 127));
    SceneLayerSpec layer;
    layer.file = save("soft.png", red);
    layer.transparent = true;
    layer.transparence = 128; // factor 127
    Composed r = compose(3, 1, {layer});
    ASSERT_EQ(r.message, "");
    EXPECT_EQ(r.picture.pixel(0, 0), makePixel(255, 255, 255)); // outside the shape
    // alpha (127 * 127 + 127) div 255 = 63: (255 - 63) * 255 div 255 = 192
    EXPECT_EQ(r.picture.pixel(1, 0), makePixel(255, 192, 192));
    EXPECT_EQ(r.picture.pixel(2, 0), makePixel(255, 128, 128)); // opaque: alpha 127
}

TEST_F(Compose, MaskFileHiddenAndDeletedLayers) {
    SceneLayerSpec masked;
    masked.file = save("blue.png", TBitmap32(4, 4, makePixel(0, 0, 255)));
    masked.mask.file = save("white-mask.png", TBitmap32(2, 2, makePixel(255, 255, 255)));
    SceneLayerSpec hidden;
    hidden.file = masked.file;
    hidden.visible = false;
    Composed r = compose(4, 4, {masked, hidden});
    ASSERT_EQ(r.message, "");
    EXPECT_EQ(r.picture, TBitmap32(4, 4, makePixel(255, 255, 255)));
}

TEST_F(Compose, RotatedLayerMovesByItsGrowth) {
    TBitmap32 picture(10, 4, makePixel(0, 0, 0));
    SceneLayerSpec layer;
    layer.file = save("bar.png", picture);
    layer.x = 10;
    layer.y = 10;
    layer.rotate = 90;
    Composed r = compose(30, 30, {layer});
    ASSERT_EQ(r.message, "");
    RotationResult turned = rotateAboutCentre(picture, 90);
    const int left = 10 - turned.GrowX, top = 10 - turned.GrowY;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            bool inside = x >= left && x < left + turned.picture.width() && y >= top &&
                          y < top + turned.picture.height() &&
                          turned.picture.pixel(x - left, y - top) != CutoutColor;
            EXPECT_EQ(r.picture.pixel(x, y), inside ? makePixel(0, 0, 0) : makePixel(255, 255, 255))
                << x << "," << y;
        }
}

TEST_F(Compose, BrumeLayersShareOneGeneratorStartingAtZero) {
    const TBitmap32 picture = quill::testing::photo(9, 7);
    SceneLayerSpec layer;
    layer.file = save("p.png", picture);
    layer.effect = EffectChoice{findEffect("brume"), {}};
    SceneLayerSpec below = layer;
    below.y = 7;
    Composed r = compose(9, 14, {layer, below});
    ASSERT_EQ(r.message, "");
    ProgramRandom random(0);
    TBitmap32 first = brume(picture, random);
    TBitmap32 second = brume(picture, random);
    EXPECT_NE(first, second);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(r.picture.pixel(x, y), first.pixel(x, y) | 0xff000000u);
            EXPECT_EQ(r.picture.pixel(x, y + 7), second.pixel(x, y) | 0xff000000u);
        }
}

TEST_F(Compose, UnreadableFilesAreNamed) {
    SceneSpec spec;
    SceneLayerSpec layer;
    layer.file = path("missing.jpg");
    spec.layers.push_back(layer);
    Composed r = compose(spec);
    EXPECT_EQ(r.message, layer.file + " is not a valid format");
    EXPECT_TRUE(r.picture.empty());
}

} // namespace
} // namespace quill
