#include "decor/Frame.h"
#include "decor/MaskLibrary.h"

#include "imaging/PictureFile.h"
#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace quill {
namespace {

namespace fs = std::filesystem;

// The slots holding a picture.
std::vector<int> loaded(const MaskLibrary& library) {
    std::vector<int> slots;
    for (int k = -1; k <= kMaskCount + 1; ++k)
        if (library.mask(k))
            slots.push_back(k);
    return slots;
}

TEST(MaskLibrary, FileNamesBySlot) {
    struct Case {
        int k;
        const char* name;
    } cases[] = {{1, "m1.jpg"},   {18, "m18.jpg"}, {19, "m19.gif"}, {20, "m20.jpg"},
                 {21, "m21.gif"}, {28, "m28.gif"}, {29, "m29.jpg"}, {30, "m30.jpg"},
                 {31, "m31.gif"}, {36, "m36.gif"}, {0, ""},         {37, ""}};
    for (auto c : cases)
        EXPECT_EQ(maskFileName(c.k), c.name) << c.k;
}

TEST(MaskLibrary, LoadsPresentFilesAndLeavesOthersEmpty) {
    quill::testing::TempFolder folder;
    const std::string dir = folder.path();
    ASSERT_TRUE(SavePicture(TBitmap32(40, 30), dir + "/m1.jpg", PictureFormat::Jpeg));
    test_bytes::GifSpec grey{20, 10, 0, test_bytes::Colours{{200, 200, 200}}, {{}}};
    grey.images[0] = {0, 0, 20, 10, false, {}, -1, std::vector<int>(200, 0)};
    folder.write("m19.gif", test_bytes::makeGif(grey));
    folder.write("m2.jpg", {'n', 'o'});
    // The right name with the wrong extension for its slot is not read.
    ASSERT_TRUE(SavePicture(TBitmap32(8, 8), dir + "/m21.jpg", PictureFormat::Jpeg));

    MaskLibrary library;
    library.maskload(dir);
    EXPECT_EQ(loaded(library), (std::vector<int>{1, 19}));
    EXPECT_EQ(library.mask(1)->width(), 40);
    EXPECT_EQ(pixelRed(library.mask(19)->pixel(5, 5)), 200);

    // A second load replaces every slot: a file gone since leaves its slot empty.
    fs::remove(folder.path("m1.jpg"));
    library.maskload(dir);
    EXPECT_EQ(loaded(library), std::vector<int>{19});
    library.setMask(36, TBitmap32(3, 3));
    library.setMask(37, TBitmap32(3, 3));
    EXPECT_EQ(loaded(library), (std::vector<int>{19, 36}));
    library.setMask(36, TBitmap32());
    library.maskload(dir + "/no-such-folder");
    EXPECT_TRUE(loaded(library).empty());
}

// The libraries the program ships: every mask present, readable and its own, dark inside
// and white at the corners; every frame a dark border around a see-through centre.
TEST(ShippedLibrary, MasksAndFrames) {
    MaskLibrary library;
    library.maskload(std::string(QUILL_SOURCE_DIR) + "/library/mask");
    ASSERT_EQ(loaded(library).size(), 36u);
    std::set<std::vector<std::uint32_t>> distinct;
    for (int k = 1; k <= 36; ++k) {
        const TBitmap32& m = *library.mask(k);
        EXPECT_LT(pixelRed(m.pixel(m.width() / 2, m.height() / 2)), 24) << "centre of mask " << k;
        for (auto [x, y] : {std::pair{0, 0}, std::pair{m.width() - 1, m.height() - 1}})
            EXPECT_GT(pixelRed(m.pixel(x, y)), 232) << "corner of mask " << k;
        distinct.insert(std::vector<std::uint32_t>(m.bits(), m.bits() + m.pixelCount()));
    }
    EXPECT_EQ(distinct.size(), 36u);

    int frames = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(QUILL_SOURCE_DIR) / "library/frame")) {
        const TBitmap32 overlay =
            makeFrameOverlay(LoadPictureFile(entry.path().string()).picture, 600, 450);
        ASSERT_EQ(overlay.width(), 600) << entry.path();
        EXPECT_LE(pixelAlpha(overlay.pixel(300, 225)), 8) << "centre of " << entry.path();
        EXPECT_EQ(pixelAlpha(overlay.pixel(300, 1)), 255) << "border of " << entry.path();
        ++frames;
    }
    EXPECT_GE(frames, 8);
}

} // namespace
} // namespace quill
