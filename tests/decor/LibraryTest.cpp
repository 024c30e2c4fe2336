#include "decor/Frame.h"
#include "decor/MaskLibrary.h"

#include "imaging/PictureFile.h"
#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace quill {
namespace {

namespace fs = std::filesystem;

using quill::testing::TempFolder;

TEST(MaskLibrary, FileNamesBySlot) {
    struct Case {
        int k;
        const char* name;
    } cases[] = {{1, "m1.jpg"},   {18, "m18.jpg"}, {19, "m19.gif"}, {20, "m20.jpg"},
                 {21, "m21.gif"}, {28, "m28.gif"}, {29, "m29.jpg"}, {30, "m30.jpg"},
                 {31, "m31.gif"}, {36, "m36.gif"}, {0, ""},         {37, ""}};
    for (auto c : cases)
        EXPECT_EQ(maskFileName(c.k), c.name) << c.k;
    std::set<std::string> all;
    for (int k = 1; k <= 36; ++k)
        all.insert(maskFileName(k));
    EXPECT_EQ(all.size(), 36u);
}

TEST(MaskLibrary, LoadsPresentFilesAndLeavesOthersEmpty) {
    TempFolder folder;
    const std::string dir = folder.path();
    ASSERT_TRUE(
        SavePicture(TBitmap32(40, 30, makePixel(0, 0, 0)), dir + "/m1.jpg", PictureFormat::Jpeg));
    test_bytes::GifSpec grey{20, 10, 0, test_bytes::Colours{{200, 200, 200}}, {{}}};
    grey.images[0] = {0, 0, 20, 10, false, {}, -1, std::vector<int>(200, 0)};
    folder.write("m19.gif", test_bytes::makeGif(grey));
    { std::ofstream(dir + "/m2.jpg") << "not a picture"; }
    // The right name with the wrong extension for its slot is not read.
    ASSERT_TRUE(SavePicture(TBitmap32(8, 8), dir + "/m21.jpg", PictureFormat::Jpeg));

    MaskLibrary library;
    library.maskload(dir);
    EXPECT_EQ(library.loadedCount(), 2);
    ASSERT_NE(library.mask(1), nullptr);
    EXPECT_EQ(library.mask(1)->width(), 40);
    EXPECT_EQ(library.mask(1)->height(), 30);
    ASSERT_NE(library.mask(19), nullptr);
    EXPECT_EQ(pixelRed(library.mask(19)->pixel(5, 5)), 200);
    for (int k : {0, 2, 3, 21, 36, 37, -1})
        EXPECT_EQ(library.mask(k), nullptr) << k;

    // A second load replaces every slot: a file gone since leaves its slot empty.
    fs::remove(folder.path("m1.jpg"));
    library.maskload(dir);
    EXPECT_EQ(library.mask(1), nullptr);
    EXPECT_EQ(library.loadedCount(), 1);

    library.setMask(36, TBitmap32(3, 3));
    library.setMask(37, TBitmap32(3, 3));
    ASSERT_NE(library.mask(36), nullptr);
    EXPECT_EQ(library.loadedCount(), 2);
    library.setMask(36, TBitmap32());
    EXPECT_EQ(library.mask(36), nullptr);

    MaskLibrary missing;
    missing.maskload(dir + "/no-such-folder");
    EXPECT_EQ(missing.loadedCount(), 0);
}

// The library the program ships: every mask file present and readable, dark inside,
// white at the corners, with soft edges, and no two alike.
TEST(ShippedLibrary, MasksAreSoftDarkShapesOnWhite) {
    MaskLibrary library;
    library.maskload(std::string(QUILL_SOURCE_DIR) + "/library/mask");
    ASSERT_EQ(library.loadedCount(), 36);
    std::set<std::vector<std::uint32_t>> distinct;
    for (int k = 1; k <= 36; ++k) {
        const TBitmap32& m = *library.mask(k);
        EXPECT_GE(m.width(), 200) << k;
        EXPECT_GE(m.height(), 150) << k;
        EXPECT_LT(pixelRed(m.pixel(m.width() / 2, m.height() / 2)), 24) << "centre of mask " << k;
        for (auto [x, y] : {std::pair{0, 0}, std::pair{m.width() - 1, 0},
                            std::pair{0, m.height() - 1}, std::pair{m.width() - 1, m.height() - 1}})
            EXPECT_GT(pixelRed(m.pixel(x, y)), 232) << "corner of mask " << k;
        int soft = 0;
        for (int y = 0; y < m.height(); ++y)
            for (int x = 0; x < m.width(); ++x) {
                const int r = pixelRed(m.pixel(x, y));
                soft += r > 40 && r < 215;
            }
        EXPECT_GT(soft, 300) << "edge of mask " << k;
        distinct.insert(std::vector<std::uint32_t>(m.bits(), m.bits() + m.pixelCount()));
    }
    EXPECT_EQ(distinct.size(), 36u);
}

TEST(ShippedLibrary, FramesAreDarkBordersAroundSeeThroughCentres) {
    const fs::path dir = fs::path(QUILL_SOURCE_DIR) / "library" / "frame";
    int jpeg = 0, gif = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        jpeg += name.ends_with(".jpg");
        gif += name.ends_with(".gif");
        LoadResult read = LoadPictureFile(entry.path().string());
        ASSERT_FALSE(read.picture.empty()) << name;
        TBitmap32 overlay = makeFrameOverlay(read.picture, 600, 450);
        ASSERT_EQ(overlay.width(), 600) << name;
        ASSERT_EQ(overlay.height(), 450) << name;
        EXPECT_LE(pixelAlpha(overlay.pixel(300, 225)), 8) << "centre of " << name;
        int covering = 0;
        for (int x = 0; x < 600; ++x)
            covering += pixelAlpha(overlay.pixel(x, 2)) + pixelAlpha(overlay.pixel(x, 447)) >= 400;
        EXPECT_GT(covering, 300) << "border of " << name;
    }
    EXPECT_GE(jpeg, 4);
    EXPECT_GE(gif, 4);
}

} // namespace
} // namespace quill
