#include "decor/Frame.h"
#include "decor/MaskLibrary.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "tests/RandomPictures.h"
#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

// A frame pixel with the alpha its colour gives, the arithmetic as written.
std::uint32_t withFrameAlpha(std::uint32_t p) {
    const int v =
        int(std::nearbyintl(0.3L * pixelRed(p) + 0.59L * pixelGreen(p) + 0.11L * pixelBlue(p)));
    return (p & 0xffffffu) | std::uint32_t(std::min(2 * (255 - v), 255)) << 24;
}

namespace fs = std::filesystem;

// The slots holding a picture.
std::vector<int> loaded(const MaskLibrary& library) {
    std::vector<int> slots;
    for (int k = -1; k <= kMaskCount + 1; ++k)
        if (library.mask(k))
            slots.push_back(k);
    return slots;
}

TEST(Frame, AlphaFromColourWorkedValuesAndNoise) {
    struct Case {
        int r, g, b, alpha;
    } cases[] = {{128, 128, 128, 254},
                 {200, 200, 200, 110},
                 {250, 250, 250, 10},
                 {255, 255, 255, 0},
                 {0, 0, 0, 255},
                 {127, 127, 127, 255},
                 {129, 129, 129, 252},
                 {254, 254, 254, 2},
                 // v = Round(0.3 * 255) = Round(76.5) = 76 (half to even): 2 * 179 limited to 255
                 {255, 0, 0, 255},
                 // v = Round(0.3*255 + 0.59*255) = Round(226.95) = 227
                 {255, 255, 0, 56}};
    for (auto c : cases) {
        TBitmap32 pic(3, 2, makePixel(c.r, c.g, c.b, 99));
        frameAlphaFromColour(pic);
        EXPECT_TRUE(pic == TBitmap32(3, 2, makePixel(c.r, c.g, c.b, c.alpha)))
            << c.r << "," << c.g << "," << c.b;
    }
    TBitmap32 pic = testpictures::randomPicture(301, 257, 12), expected = pic;
    for (std::size_t i = 0; i < expected.pixelCount(); ++i)
        expected.bits()[i] = withFrameAlpha(expected.bits()[i]);
    frameAlphaFromColour(pic);
    EXPECT_TRUE(pic == expected);
}

TEST(Frame, OverlayStretchesEachDirectionOnItsOwn) {
    // 4 x 2 frame: column x has red 50 x, row y has green 100 y.
    TBitmap32 frame(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            frame.setPixel(x, y, makePixel(50 * x, 100 * y, 0));
    const TBitmap32 before = frame;
    for (auto [bw, bh] : {std::pair{8, 6}, std::pair{4, 10}, std::pair{12, 2}, std::pair{2, 1}}) {
        TBitmap32 overlay = makeFrameOverlay(frame, bw, bh);
        ASSERT_EQ(overlay.width(), bw);
        ASSERT_EQ(overlay.height(), bh);
        for (int y = 0; y < bh; ++y)
            for (int x = 0; x < bw; ++x)
                ASSERT_EQ(overlay.pixel(x, y), withFrameAlpha(frame.pixel(x * 4 / bw, y * 2 / bh)))
                    << bw << "x" << bh << " at " << x << "," << y;
    }
    EXPECT_TRUE(frame == before);
    EXPECT_TRUE(makeFrameOverlay(TBitmap32(), 600, 450).empty());
    EXPECT_TRUE(makeFrameOverlay(TBitmap32(5, 5), 0, 450).empty());
    EXPECT_TRUE(makeFrameOverlay(TBitmap32(5, 5), 600, -1).empty());
}

TEST(Frame, ThumbnailIsOneTenthNearestNeighbour) {
    const TBitmap32 frame = testpictures::randomPicture(600, 450, 5);
    const TBitmap32 thumb = frameThumbnail(frame);
    ASSERT_EQ(std::pair(thumb.width(), thumb.height()), std::pair(60, 45));
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(thumb.pixel(x, y), frame.pixel(10 * x, 10 * y)) << x << "," << y;
    EXPECT_TRUE(frameThumbnail(TBitmap32(9, 40)).empty() && frameThumbnail(TBitmap32()).empty());
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
