// The browsers' own thumbnail reader: the cells it builds against those built from
// whole pictures, with the captions showing each file's full upright size.
#include "collections/Browser.h"

#include "CollectionsTestSupport.h"
#include "imaging/JpegCodec.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include "tests/imaging/CameraFiles.h"

namespace quill {
namespace {

TEST(BrowserThumbnails, CellsOfReducedPhotosKeepTheFullUprightSizeInTheirCaptions) {
    quill::testing::TempFolder dir;
    TBitmap32 smooth(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            smooth.setPixel(x, y, makePixel(x / 8, y / 8, 100));
    // Shown turned a quarter: 480 x 640, read at an eighth (80 x 60 stored).
    dir.write("turned.jpg", camera::withApp1(encodeJpeg(smooth), camera::exifBlock(6)));
    dir.write("odd.png", encodePng(test_bytes::randomPicture(37, 23, 2)));
    dir.write("unreadable.webp", {'R', 'I', 'F', 'F'});
    dir.write("late.tiff", {});

    const auto names = listFolderForStrip(dir.path(), browserFolderPatterns());
    EXPECT_EQ(names,
              (std::vector<std::string>{"turned.jpg", "odd.png", "unreadable.webp", "late.tiff"}));
    EXPECT_EQ(listFolderForStrip(dir.path(), startupFolderPatterns()),
              std::vector<std::string>{"turned.jpg"});

    std::vector<ThumbCell> fast, whole;
    buildStripCells(StripKind::Foreground, dir.path(), names, fast, defaultThumbReader());
    buildStripCells(StripKind::Foreground, dir.path(), names, whole, defaultThumbLoader());
    ASSERT_EQ(fast.size(), 4u);
    EXPECT_EQ(fast[0].caption, "480x640");
    EXPECT_EQ(fast[0].picture.width(), 48);
    EXPECT_EQ(fast[0].picture.height(), 64);
    EXPECT_LE(camera::largestDifference(fast[0].picture, whole[0].picture), 3);
    EXPECT_EQ(fast[1].picture, whole[1].picture) << "a PNG gives the same picture";
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(fast[i].caption, whole[i].caption);
        EXPECT_EQ(fast[i].pictureRect, whole[i].pictureRect);
        EXPECT_EQ(fast[i].message, whole[i].message);
    }
    EXPECT_EQ(fast[2].message, notValidFormatMessage(dir.path("unreadable.webp")));
}

} // namespace
} // namespace quill
