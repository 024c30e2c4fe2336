#include "collections/Browser.h"

#include "CollectionsTestSupport.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureFile.h"
#include "imaging/PngCodec.h"
#include "tests/imaging/ByteWriting.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace quill {
namespace {

struct CellCase {
    StripKind kind;
    int width, height; // the file's picture
    Rect picture;      // after the 2, 2 shift
    const char* caption;
};

TEST(BrowserCell, PlacesTheReducedPictureAndCaption) {
    const CellCase cases[] = {
        // 100 x 75 is wider than 64/49: full box width, MulDiv(124, 75, 100) = 93.
        {StripKind::Background, 1000, 750, {2, 2, 124, 93}, "1000x750"},
        {StripKind::Background, 1003, 757, {2, 2, 124, 93}, "1000x750"},
        // 30 x 60 is narrower than 21/13: height 61, MulDiv(61, 30, 60) = 30.5 -> 31.
        {StripKind::Foreground, 300, 600, {37, 2, 31, 61}, "300x600"},
        // Exactly on the threshold 64/49 fills the height: MulDiv(94, 64, 49) = 122.8 -> 123.
        {StripKind::Background, 640, 490, {2, 2, 123, 94}, "640x490"},
        // Just above the threshold fills the width: MulDiv(124, 49, 65) = 93.47 -> 93.
        {StripKind::Background, 650, 490, {2, 2, 124, 93}, "650x490"},
        // 21/13 exactly in the foreground strip: MulDiv(61, 21, 13) = 98.5 -> 99, left 1.
        {StripKind::Foreground, 210, 130, {3, 2, 99, 61}, "210x130"},
        // Very wide: height MulDiv(101, 10, 400) = 2.525 -> 3, top (61 - 3) / 2 = 29.
        {StripKind::Foreground, 4000, 100, {2, 31, 101, 3}, "4000x100"},
        // A tiny picture still shows: 5 x 5 keeps one pixel and its own size.
        {StripKind::Background, 5, 5, {17, 2, 94, 94}, "5x5"},
        {StripKind::Background, 9, 40, {52, 2, 24, 94}, "9x40"}};
    for (const CellCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        TBitmap32 file(c.width, c.height, makePixel(10, 20, 30));
        ThumbCell cell = makeThumbCell(c.kind, 1, "a.jpg", file);
        EXPECT_EQ(cell.pictureRect, c.picture);
        EXPECT_EQ(cell.caption, c.caption);
        EXPECT_EQ(cell.fileName, "a.jpg");
        EXPECT_FALSE(cell.picture.empty());
    }
}

// Column k takes source column floor(k * 25 / 2): 0 and 12; a side of 3 keeps one pixel.
TEST(BrowserCell, ReducedPictureIsATenthByNearestNeighbour) {
    TBitmap32 file(25, 13);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 25; ++x)
            file.setPixel(x, y, makePixel(x, y, 0));
    EXPECT_EQ(reduceForThumbnail(file),
              test_bytes::pictureOf(2, 1, {file.pixel(0, 0), file.pixel(12, 0)}));
    EXPECT_EQ(reduceForThumbnail(TBitmap32(3, 200, 7)), TBitmap32(1, 20, 7));
}

TEST(BrowserCell, CellTopsFollowTheStripStep) {
    const int back[] = {2, 127, 252, 377, 502};
    const int fore[] = {2, 90, 178, 266, 354};
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(cellTop(StripKind::Background, i), back[i - 1]);
        EXPECT_EQ(cellTop(StripKind::Foreground, i), fore[i - 1]);
        ThumbCell c = makeThumbCell(StripKind::Foreground, i, "x", TBitmap32(10, 10));
        EXPECT_EQ(c.frameRect, (Rect{2, fore[i - 1], 105, 80}));
    }
    ThumbCell b = makeThumbCell(StripKind::Background, 3, "x", TBitmap32(10, 10));
    EXPECT_EQ(b.frameRect, (Rect{2, 252, 130, 113}));
}

TEST(BrowserCell, UnreadableFileKeepsItsNameAndNoPicture) {
    ThumbCell cell = makeThumbCell(StripKind::Background, 2, "gone.jpg", TBitmap32(),
                                   "gone.jpg is not a valid format");
    EXPECT_EQ(cell.fileName, "gone.jpg");
    EXPECT_TRUE(cell.picture.empty());
    EXPECT_TRUE(cell.caption.empty());
    EXPECT_EQ(cell.pictureRect, Rect{});
    EXPECT_EQ(cell.message, "gone.jpg is not a valid format");
    EXPECT_EQ(cell.frameRect.top, 127);
    EXPECT_EQ(FitThumbnail(0, 10, 124, 94, 64, 49), Rect{});
    EXPECT_EQ(FitThumbnail(10, 0, 124, 94, 64, 49), Rect{});
}

// A fake reader: pictures whose size is encoded in the name "WxH", "bad" fails, "throw" throws.
TBitmap32 fakeLoad(const std::string& path, std::string& message) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (name == "bad") {
        message = path + " is not a valid format";
        return {};
    }
    if (name == "throw")
        throw std::runtime_error("disk gone");
    const int w = std::stoi(name), h = std::stoi(name.substr(name.find('x') + 1));
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel(x * 7, y * 3, w + h));
    return p;
}

TEST(BuildStrip, ParallelBuildEqualsSerialAndReportsEveryCell) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back(std::to_string(10 + i * 13) + "x" + std::to_string(300 - i * 5));
    names[7] = "bad";
    names[19] = "throw";

    std::vector<ThumbCell> serial, parallel;
    buildStripCells(StripKind::Background, "/lib", names, serial, fakeLoad, {}, 1);

    std::mutex m;
    std::set<std::size_t> reported;
    std::size_t lastDone = 0;
    bool doneMonotonic = true;
    buildStripCells(
        StripKind::Background, "/lib", names, parallel, fakeLoad,
        [&](std::size_t done, std::size_t index) {
            std::lock_guard lock(m);
            doneMonotonic = doneMonotonic && done == lastDone + 1;
            lastDone = done;
            reported.insert(index);
        },
        4);

    ASSERT_EQ(serial.size(), names.size());
    ASSERT_EQ(parallel.size(), names.size());
    EXPECT_TRUE(doneMonotonic);
    EXPECT_EQ(lastDone, names.size());
    EXPECT_EQ(reported.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto fields = [](const ThumbCell& c) {
            return std::tie(c.fileName, c.picture, c.pictureRect, c.frameRect, c.caption,
                            c.message);
        };
        EXPECT_EQ(parallel[i].fileName, names[i]);
        EXPECT_TRUE(fields(parallel[i]) == fields(serial[i])) << names[i];
    }
    EXPECT_TRUE(serial[7].picture.empty());
    EXPECT_EQ(serial[7].message, "/lib/bad is not a valid format");
    EXPECT_TRUE(serial[19].picture.empty());
    EXPECT_EQ(serial[19].message, "disk gone");
    EXPECT_EQ(serial[39].frameRect.top, 2 + 39 * 125);
}

TEST(BuildStrip, MoreThanAThousandFilesAllGetCellsAndNoneClearsThem) {
    std::vector<std::string> names(1005, "20x20");
    std::vector<ThumbCell> cells;
    buildStripCells(StripKind::Foreground, "f", names, cells, fakeLoad, {}, 2);
    ASSERT_EQ(cells.size(), 1005u);
    EXPECT_EQ(cells[1004].frameRect.top, 2 + 1004 * 88);
    EXPECT_EQ(cells[1004].caption, "20x20");
    buildStripCells(StripKind::Foreground, "f", {}, cells, fakeLoad);
    EXPECT_TRUE(cells.empty()) << "an empty list clears the old cells";
}

// A folder of the forms the browsers list: pattern groups in order; the cells the
// thumbnail reader builds against those built from whole pictures, with the captions
// showing each file's full upright size.
TEST(BrowserFolder, ListsByPatternGroupsAndBuildsCellsFromThumbnails) {
    quill::testing::TempFolder dir;
    const TBitmap32 pic(30, 20, makePixel(1, 2, 3));
    const std::vector<std::pair<const char*, PictureFormat>> files = {
        {"c.jpg", PictureFormat::Jpeg},
        {"a.bmp", PictureFormat::Bmp24},
        {"b.JPG", PictureFormat::Jpeg},
        {"d.jpeg", PictureFormat::Jpeg},
        {"f.wmf", PictureFormat::Emf}};
    for (auto [name, format] : files)
        ASSERT_TRUE(SavePicture(pic, dir.path(name), format).ok) << name;
    TBitmap32 smooth(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            smooth.setPixel(x, y, makePixel(x / 8, y / 8, 100));
    // Shown turned a quarter: 480 x 640, read at an eighth (80 x 60 stored).
    dir.write("turned.jpg", camera::withApp1(encodeJpeg(smooth), camera::exifBlock(6)));
    dir.write("e.png", encodePng(test_bytes::randomPicture(37, 23, 2)));
    dir.write("notes.txt", {'h', 'i'});
    dir.write("broken.jpg", {0xFF, 0xD8, 0, 0});
    dir.write("unreadable.webp", {'R', 'I', 'F', 'F'});
    dir.write("late.tiff", {});

    const auto names = listFolderForStrip(dir.path(), browserFolderPatterns());
    EXPECT_EQ(names, (std::vector<std::string>{"b.JPG", "broken.jpg", "c.jpg", "turned.jpg",
                                               "d.jpeg", "a.bmp", "f.wmf", "e.png",
                                               "unreadable.webp", "late.tiff"}));
    EXPECT_EQ(listFolderForStrip(dir.path(), startupFolderPatterns()),
              (std::vector<std::string>{"b.JPG", "broken.jpg", "c.jpg", "turned.jpg", "a.bmp"}));
    EXPECT_TRUE(listFolderForStrip(dir.path("missing"), browserFolderPatterns()).empty());

    std::vector<ThumbCell> fast, whole;
    buildStripCells(StripKind::Foreground, dir.path(), names, fast, defaultThumbReader());
    buildStripCells(StripKind::Foreground, dir.path(), names, whole, defaultThumbLoader());
    ASSERT_EQ(fast.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(fast[i].fileName, names[i]);
        EXPECT_LE(camera::largestDifference(fast[i].picture, whole[i].picture), 3);
        EXPECT_EQ(fast[i].caption, whole[i].caption);
        EXPECT_EQ(fast[i].pictureRect, whole[i].pictureRect);
        EXPECT_EQ(fast[i].message, whole[i].message);
        const bool read = i != 1 && i < 8;
        EXPECT_EQ(fast[i].caption, !read    ? ""
                                   : i == 3 ? "480x640"
                                            : "30x20"); // 37 x 23 shows 30x20
        EXPECT_EQ(fast[i].message.empty(), read);
    }
    EXPECT_EQ(fast[3].picture.height(), 64);
    EXPECT_EQ(fast[7].picture, whole[7].picture) << "a PNG gives the same picture";
    EXPECT_NE(fast[1].message.find(notValidFormatMessage(dir.path("broken.jpg"))),
              std::string::npos);
    EXPECT_EQ(fast[8].message, notValidFormatMessage(dir.path("unreadable.webp")));
}

} // namespace
} // namespace quill
