// Scene files: documents of every kind saved and opened again, the file as other programs
// read it (checked with libzip and libpng directly), files other programs write, and damaged
// or hostile files.
#include "workspace/SceneFile.h"

#include "tests/collections/CollectionsTestSupport.h"
#include "tests/workspace/SessionSupport.h"

#include "decor/Rotation.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zip.h>

#include <fstream>
#include <regex>

namespace quill {
namespace {

using quill::testing::patterned;
using quill::testing::Session;
using quill::testing::TempFolder;

using Bytes = std::vector<std::uint8_t>;

// Every entry of a zip in its order, read with libzip.
struct Entry {
    std::string name;
    int method = 0;
    Bytes bytes;
};
std::vector<Entry> zipEntries(const std::string& path) {
    std::vector<Entry> out;
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!z)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        Entry e{st.name, st.comp_method, Bytes(st.size)};
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        zip_fread(f, e.bytes.data(), st.size);
        zip_fclose(f);
        out.push_back(std::move(e));
    }
    zip_close(z);
    return out;
}

const Bytes* entry(const std::vector<Entry>& entries, const std::string& name) {
    for (const Entry& e : entries)
        if (e.name == name)
            return &e.bytes;
    return nullptr;
}

// A PNG's pixels (blue, green, red, alpha: the program's own byte order), read with libpng.
TBitmap32 pngPixels(const Bytes& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return {};
    image.format = PNG_FORMAT_BGRA;
    TBitmap32 out(int(image.width), int(image.height));
    png_image_finish_read(&image, nullptr, out.bits(), 0, nullptr);
    return out;
}

// Writes a zip as another program lays it out: the mimetype first and stored.
void writeZip(const std::string& path, const std::vector<std::pair<std::string, Bytes>>& files) {
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : files) {
        zip_source_t* s = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        const zip_int64_t i = zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (name == "mimetype")
            zip_set_file_compression(z, zip_uint64_t(i), ZIP_CM_STORE, 0);
    }
    zip_close(z);
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// "" when the two states hold the same document, picture by picture (the pictures of an
// opened file are new ones, so they are compared by their pixels).
std::string samePixels(const DocumentState& a, const DocumentState& b) {
    std::vector<const TBitmap32*> pa, pb;
    a.forEachPicture([&](const SharedPicture& p) { pa.push_back(&p.get()); });
    b.forEachPicture([&](const SharedPicture& p) { pb.push_back(&p.get()); });
    if (pa.size() != pb.size())
        return "a different number of pictures";
    for (std::size_t i = 0; i < pa.size(); ++i)
        if (!(*pa[i] == *pb[i]))
            return "picture " + std::to_string(i);
    // Everything but the pictures: each picture of b stood in by a's, then compared whole.
    DocumentState c = b;
    for (std::size_t i = 1; i < c.scene.layers.size() && i < a.scene.layers.size(); ++i) {
        LayerSlot& l = c.scene.layers[i];
        const LayerSlot& m = a.scene.layers[i];
        l.ForeOriginal = m.ForeOriginal, l.ForeWork = m.ForeWork, l.thumbnail = m.thumbnail;
    }
    c.scene.BackOriginal = a.scene.BackOriginal, c.scene.BackWork = a.scene.BackWork;
    c.scene.FramePicture = a.scene.FramePicture, c.frameSource = a.frameSource;
    c.ownMasks = a.ownMasks, c.sketches = a.sketches, c.albums = a.albums;
    if (c.backgroundEffect && a.backgroundEffect)
        c.backgroundEffect->settings.picture = a.backgroundEffect->settings.picture;
    return c == a ? "" : "the values beside the pictures";
}

TEST(SceneFile, RandomDocumentsComeBackWholeAndWorkOnAlike) {
    TempFolder dir;
    for (std::uint32_t seed : {3u, 17u, 2026u, 77u}) {
        SCOPED_TRACE(seed);
        Session session(seed, seed % 2 == 1);
        for (int n = 0; n < 160; ++n)
            session.step();
        Workspace& first = session.workspace();
        first.composedScene();
        const std::string path = dir.path("scene" + std::to_string(seed) + ".ora");
        ASSERT_TRUE(saveSceneFile(path, first.document()).ok);

        Workspace second;
        second.masks() = first.masks();
        second.windowShown();
        ASSERT_EQ(openSceneFile(path, second.document()), "");
        EXPECT_EQ(samePixels(first.document().snapshot(), second.document().snapshot()), "");
        ASSERT_TRUE(second.scene().scenePicture() == first.scene().scenePicture());
        EXPECT_FALSE(second.document().modified());
        EXPECT_FALSE(second.document().history().canUndo());

        // The same commands on both go on alike: effects start from the untouched pictures.
        for (Workspace* w : {&first, &second}) {
            Document& d = w->document();
            d.chooseEffect(*findEffect("color-panels"));
            d.removeForegroundEffect();
            d.chooseEffect(*findEffect("water-color"));
            d.rotate("30");
            d.resizeLayerBy(d.scene().PanelLayer, 1.5L, 0.5L);
            d.chooseEffect(*findEffect("gray"));
        }
        EXPECT_TRUE(second.scene().scenePicture() == first.scene().scenePicture());
        EXPECT_EQ(samePixels(first.document().snapshot(), second.document().snapshot()), "");
    }
}

// A scene of every kind of layer: a background effect, a masked see-through layer, a turned
// one, a deleted one, and a frame.
void buildScene(Workspace& w) {
    Document& d = w.document();
    w.masks().setMask(4, patterned(9, 9, 4));
    w.windowShown();
    d.setBackgroundPicture(patterned(90, 70, 1));
    d.chooseEffect(*findEffect("emboss"));
    d.addForegroundLayer(patterned(30, 20, 2));
    d.moveLayerTo(1, 10, 5);
    d.chooseMask(4);
    d.setTransparentChecked(true);
    d.addForegroundLayer(patterned(25, 25, 3));
    d.moveLayerTo(2, 50, 30);
    d.rotate("30");
    d.addForegroundLayer(patterned(5, 5, 5));
    d.deleteLayer();
    d.chooseFrame(patterned(20, 15, 6));
}

TEST(SceneFile, ASaveEncodesAgainOnlyThePicturesThatChanged) {
    TempFolder dir;
    Workspace w;
    buildScene(w);
    SceneFileCache cache;
    w.composedScene();
    ASSERT_TRUE(saveSceneFile(dir.path("a.ora"), w.document(), &cache).ok);
    const Scene& s = w.scene();
    const OraPng background = cache.find(s.BackWork), second = cache.find(s.layer(2).ForeWork);
    const OraPng first = cache.find(s.layer(1).ForeWork);
    ASSERT_TRUE(background && second && first);
    w.document().layerPanelPress(1, false);
    w.document().chooseEffect(*findEffect("color-panels"));
    w.composedScene();
    ASSERT_TRUE(saveSceneFile(dir.path("b.ora"), w.document(), &cache).ok);
    EXPECT_EQ(cache.find(s.BackWork), background) << "kept, not encoded again";
    EXPECT_EQ(cache.find(s.layer(2).ForeWork), second);
    EXPECT_NE(cache.find(s.layer(1).ForeWork), first);
    EXPECT_FALSE(cache.find(SharedPicture(*s.BackWork))) << "a copy is another picture";
    // Opened, the file's own PNGs serve the next save of the same pictures.
    Workspace other;
    other.windowShown();
    SceneFileCache opened;
    ASSERT_EQ(openSceneFile(dir.path("b.ora"), other.document(), &opened), "");
    EXPECT_TRUE(opened.find(other.scene().layer(2).ForeWork));
    ASSERT_TRUE(saveSceneFile(dir.path("c.ora"), other.document(), &opened).ok);
    Workspace again;
    again.windowShown();
    ASSERT_EQ(openSceneFile(dir.path("c.ora"), again.document()), "");
    EXPECT_TRUE(again.scene().scenePicture() == w.scene().scenePicture());
}

TEST(SceneFile, OtherProgramsReadTheLayersAndTheMergedPicture) {
    TempFolder dir;
    Workspace w;
    buildScene(w);
    const Scene& s = w.composedScene();
    const std::string path = dir.path("every.ora");
    ASSERT_TRUE(saveSceneFile(path, w.document()).ok);

    const std::vector<Entry> entries = zipEntries(path);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].name, "mimetype");
    EXPECT_EQ(entries[0].method, ZIP_CM_STORE);
    EXPECT_EQ(entries[0].bytes, text("image/openraster"));
    const Bytes* stack = entry(entries, "stack.xml");
    ASSERT_NE(stack, nullptr);
    // Top first: the frame, the layers from the highest slot down, the background.
    const std::string xml(stack->begin(), stack->end());
    const std::regex layerElement(
        R"re(<layer name="([^"]*)" src="([^"]*)" x="(-?\d+)" y="(-?\d+)"[^>]*visibility="(\w+)")re");
    const struct {
        const char* name;
        const TBitmap32* picture;
        Point at;
        const char* visibility;
    } expected[] = {
        {"Frame", &**s.FramePicture, {0, 0}, "visible"},
        {"Layer 3", &*s.layer(3).ForeWork, s.layerPosition(3), "hidden"},
        {"Layer 2", &*s.layer(2).ForeWork, s.layerPosition(2), "visible"},
        {"Layer 1", &*s.layer(1).ForeWork, {10, 5}, "visible"},
        {"Background", &*s.BackWork, {0, 0}, "visible"},
    };
    std::size_t k = 0;
    for (std::sregex_iterator it(xml.begin(), xml.end(), layerElement), end; it != end; ++it, ++k) {
        ASSERT_LT(k, std::size(expected));
        const auto& e = expected[k];
        EXPECT_EQ((*it)[1], e.name);
        EXPECT_EQ(std::stoi((*it)[3]), e.at.x) << e.name;
        EXPECT_EQ(std::stoi((*it)[4]), e.at.y) << e.name;
        EXPECT_EQ((*it)[5], e.visibility) << e.name;
        const Bytes* png = entry(entries, (*it)[2]);
        ASSERT_NE(png, nullptr) << e.name;
        EXPECT_TRUE(pngPixels(*png) == *e.picture) << e.name << ": all four bytes";
    }
    EXPECT_EQ(k, std::size(expected));
    ASSERT_NE(entry(entries, "mergedimage.png"), nullptr);
    EXPECT_TRUE(pngPixels(*entry(entries, "mergedimage.png")) == s.scenePicture());
    const TBitmap32 thumbnail = pngPixels(*entry(entries, "Thumbnails/thumbnail.png"));
    EXPECT_EQ(std::max(thumbnail.width(), thumbnail.height()), 90) << "at most 256, shape kept";
}

TEST(SceneFile, FilesOtherProgramsWriteOpenAsBackgroundAndLayers) {
    TempFolder dir;
    const TBitmap32 bg = patterned(40, 30, 1), top = patterned(6, 5, 2), inner = patterned(7, 4, 3);
    const auto png = [](const TBitmap32& p) { return encodePicture(p, PictureFormat::Png); };
    const std::string path = dir.path("other.ora");
    // Nested stacks with offsets and opacity, a hidden layer, and a composite op.
    writeZip(path, {{"mimetype", text("image/openraster")},
                    {"stack.xml", text(R"(<?xml version="1.0" encoding="UTF-8"?>
<image version="0.0.5" w="40" h="30"><stack>
 <layer name="top" src="data/top.png" x="5" y="6" opacity="0.5" composite-op="svg:multiply"/>
 <stack name="group" x="10" y="2" opacity="0.8">
  <layer src="data/inner.png" x="1" y="1"/>
  <layer src="data/inner.png" visibility="hidden"/>
 </stack>
 <layer name="bg" src="data/bg.png"/>
</stack></image>)")},
                    {"data/top.png", png(top)},
                    {"data/inner.png", png(inner)},
                    {"data/bg.png", png(bg)},
                    {"mergedimage.png", png(bg)}});
    Workspace w;
    w.windowShown();
    ASSERT_EQ(openSceneFile(path, w.document()), "");
    const Scene& s = w.scene();
    EXPECT_TRUE(*s.BackOriginal == bg);
    ASSERT_EQ(s.LayerCount(), 3);
    const struct {
        int slot;
        Point at;
        bool visible, transparent;
        int level;                               // 255 - Round(opacity * 255)
    } layers[] = {{1, {10, 2}, false, true, 51}, // hidden, in the group
                  {2, {11, 3}, true, true, 51},  // 0.8: Round(204) -> 51
                  {3, {5, 6}, true, true, 127}}; // 0.5: Round(127.5) = 128 (even) -> 127
    for (const auto& l : layers) {
        SCOPED_TRACE(l.slot);
        EXPECT_EQ(s.layerPosition(l.slot), l.at);
        EXPECT_EQ(s.layer(l.slot).visible, l.visible);
        EXPECT_EQ(s.layer(l.slot).LayerTransparent, l.transparent);
        EXPECT_EQ(s.layer(l.slot).LayerTransparence, l.level);
    }
    EXPECT_TRUE(*s.layer(3).ForeOriginal == top);
    EXPECT_FALSE(w.document().modified());
}

TEST(SceneFile, DamagedAndHostileFilesGiveOneMessageAndChangeNothing) {
    TempFolder dir;
    Workspace saved;
    buildScene(saved);
    saved.composedScene();
    const std::string good = dir.path("good.ora");
    ASSERT_TRUE(saveSceneFile(good, saved.document()).ok);
    const std::vector<Entry> entries = zipEntries(good);
    const std::string description(entry(entries, "quillmark/scene.json")->begin(),
                                  entry(entries, "quillmark/scene.json")->end());
    // The good file with its description replaced (or dropped, for an empty text).
    const auto withDescription = [&](const std::string& name, const std::string& json) {
        std::vector<std::pair<std::string, Bytes>> files;
        for (const Entry& e : entries)
            if (e.name != "quillmark/scene.json")
                files.push_back({e.name, e.bytes});
            else if (!json.empty())
                files.push_back({e.name, text(json)});
        writeZip(dir.path(name), files);
        return dir.path(name);
    };
    // The description with the first match of a pattern replaced.
    const auto edited = [&](const std::string& from, const std::string& to) {
        const std::string d = std::regex_replace(description, std::regex(from), to,
                                                 std::regex_constants::format_first_only);
        EXPECT_NE(d, description) << from;
        return d;
    };
    std::ifstream goodFile(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(goodFile)), {});
    const auto written = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir.path(name), std::ios::binary) << content;
        return dir.path(name);
    };
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {written("text.ora", "not a zip at all"), ""},
        {written("cut.ora", bytes.substr(0, bytes.size() / 2)), ""},
        {withDescription("none.ora", ""), "scene description"},
        {withDescription("later.ora",
                         edited(R"("quillmark_scene": 1)", R"("quillmark_scene": 99)")),
         "later version"},
        {withDescription("lost.ora",
                         edited("quillmark/pictures/0.png", "quillmark/pictures/99.png")),
         "missing picture"},
        {withDescription("size.ora", edited(R"("carrier": \[\s*30)", R"("carrier": [31)")),
         "does not agree"},
        {withDescription("mask.ora", edited(R"("mask": 4)", R"("mask": 77)")), "does not agree"},
        {withDescription("garbled.ora", description.substr(0, 40)), "not a scene file"},
        {withDescription("deep.ora", std::string(5000, '[')), "nested deeper"},
    };
    Workspace w;
    w.windowShown();
    w.document().addForegroundLayer(patterned(8, 8, 9));
    const DocumentState before = w.document().snapshot();
    const TBitmap32 shown = w.scene().scenePicture();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string message = openSceneFile(c.path, w.document());
        EXPECT_EQ(message.rfind(c.path, 0), 0u) << message; // names the file first
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        EXPECT_TRUE(w.document().snapshot() == before);
        EXPECT_TRUE(w.scene().scenePicture() == shown);
    }
}

} // namespace
} // namespace quill
