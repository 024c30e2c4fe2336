#include "tools/IndexedGif.h"

#include "imaging/PictureFile.h"
#include "tests/collections/CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quill {
namespace {

namespace fs = std::filesystem;
using quill::testing::TempFolder;

TEST(IndexedGif, WritesGreysExactlyAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::string path = folder.path("g.gif");
    std::vector<std::uint8_t> indices(16 * 17);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = std::uint8_t(i);
    ASSERT_TRUE(writeIndexedGif(path, 16, 17, indices, greyPalette()));
    EXPECT_EQ(folder.names(), std::set<std::string>{"g.gif"});
    LoadResult back = LoadPictureFile(path);
    ASSERT_EQ(back.picture.width(), 16);
    ASSERT_EQ(back.picture.height(), 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 16; ++x) {
            const int v = std::uint8_t(y * 16 + x);
            ASSERT_EQ(back.picture.pixel(x, y), makePixel(v, v, v)) << x << "," << y;
        }

    // A failed write keeps the old file's bytes and leaves nothing else behind.
    const auto before = fs::file_size(path);
    EXPECT_FALSE(writeIndexedGif(path, 16, 17, std::vector<std::uint8_t>(5), greyPalette()));
    WriteResult noFolder =
        writeIndexedGif(folder.path("none/g.gif"), 16, 17, indices, greyPalette());
    EXPECT_FALSE(noFolder);
    EXPECT_NE(noFolder.message.find("none/g.gif"), std::string::npos) << noFolder.message;
    EXPECT_EQ(fs::file_size(path), before);
    EXPECT_EQ(folder.names(), std::set<std::string>{"g.gif"});
}

TEST(IndexedGif, RampPaletteRunsFromDarkThroughMiddleToWhite) {
    const GifPalette p = rampPalette({10, 20, 30}, {100, 120, 140});
    auto rgb = [&](int i) { return std::vector<int>{p[i].r, p[i].g, p[i].b}; };
    EXPECT_EQ(rgb(0), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(rgb(128), (std::vector<int>{100, 120, 140}));
    EXPECT_EQ(rgb(255), (std::vector<int>{255, 255, 255}));
}

} // namespace
} // namespace quill
