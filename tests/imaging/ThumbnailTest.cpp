// Pictures read for thumbnails: a JPEG decoded at the smallest eighth that still gives
// the thumbnail's size, every other form read whole, the full upright size reported.
#include "imaging/Thumbnail.h"
#include "imaging/JpegCodec.h"
#include "imaging/Orientation.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include "tests/imaging/CameraFiles.h"

namespace quill {
namespace {

using camera::Bytes;

// Colours changing by an eighth of a level a pixel: a reduced decode, which averages
// blocks of pixels, then differs from a sample of the full picture by a level or two.
TBitmap32 smoothPhoto(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel(20 + x / 8, 30 + y / 8, 240 - (x + y) / 16));
    return p;
}

TEST(Thumbnail, AJpegIsDecodedAtTheSmallestEighthThatGivesTheSize) {
    const Bytes jpeg = encodeJpeg(smoothPhoto(800, 600));
    const Bytes turned = camera::withApp1(jpeg, camera::exifBlock(6));
    const TBitmap32 full = decodeJpeg(jpeg.data(), jpeg.size()).picture;
    const struct {
        const Bytes& file;
        int width, height; // of the thumbnail, upright
        int eighths;       // the decode expected: 800 x 600 at eighths / 8, sides rounded up
    } cases[] = {
        {jpeg, 80, 60, 1},
        {jpeg, 100, 75, 1},
        {jpeg, 101, 60, 2},
        {jpeg, 80, 76, 2},
        {jpeg, 400, 300, 4},
        {jpeg, 401, 300, 5},
        {jpeg, 700, 525, 7},
        {jpeg, 701, 60, 8},
        // Stored 800 x 600, shown 600 x 800: the stored sides are compared.
        {turned, 60, 80, 1},
        {turned, 75, 101, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const bool isTurned = &c.file == &turned;
        const ThumbnailRead read =
            decodeThumbnailBytes(c.file.data(), c.file.size(), "a.jpg", [&](int, int) {
                return PictureSize{c.width, c.height};
            });
        EXPECT_EQ(read.fullWidth, isTurned ? 600 : 800);
        EXPECT_EQ(read.fullHeight, isTurned ? 800 : 600);
        const LoadResult decoded = decodeJpeg(
            c.file.data(), c.file.size(), {.applyOrientation = true, .scaleEighths = c.eighths});
        EXPECT_EQ(read.picture, resampleNearest(decoded.picture, read.fullWidth, read.fullHeight,
                                                c.width, c.height));
        // Against the reduction of the full picture: a level or two where it is smooth
        // (three at the most, where the full decode's own error adds one).
        const TBitmap32 upright = isTurned ? orientPicture(full, 6) : full;
        const TBitmap32 reduced =
            resampleNearest(upright, upright.width(), upright.height(), c.width, c.height);
        EXPECT_LE(camera::largestDifference(read.picture, reduced), 3);
        int beyondTwo = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                beyondTwo += camera::largestDifference(TBitmap32(1, 1, read.picture.pixel(x, y)),
                                                       TBitmap32(1, 1, reduced.pixel(x, y))) > 2;
        EXPECT_LE(beyondTwo * 100, c.width * c.height) << "more than 1% of the pixels";
    }
}

TEST(Thumbnail, OtherFormsGiveExactlyTheReducedFullPicture) {
    quill::testing::TempFolder folder;
    const TBitmap32 picture = test_bytes::randomPicture(53, 31, 4);
    const std::string path = folder.write("a.png", encodePng(picture));
    const ThumbnailRead read = LoadThumbnail(path, [](int w, int h) {
        return PictureSize{w / 10, h / 10};
    });
    EXPECT_EQ(read.fullWidth, 53);
    EXPECT_EQ(read.fullHeight, 31);
    EXPECT_EQ(read.picture, resampleNearest(picture, 53, 31, 5, 3));

    // Unreadable and too large: no picture, the reader's message.
    Bytes huge = encodeJpeg(picture);
    test_bytes::setJpegSize(huge, 20000, 20000);
    const ThumbnailRead refused =
        decodeThumbnailBytes(huge.data(), huge.size(), "a.jpg", [](int w, int h) {
            return PictureSize{w / 10, h / 10};
        });
    EXPECT_TRUE(refused.picture.empty());
    EXPECT_EQ(refused.message, pictureTooLargeMessage(20000, 20000));
    EXPECT_TRUE(LoadThumbnail(folder.path("missing.jpg"), [](int, int) {
                    return PictureSize{1, 1};
                }).picture.empty());
}

TEST(Thumbnail, ResamplingFromAReducedCopyTakesThePixelsTheFullPictureWould) {
    // Full width 10, thumbnail 4: full columns 0, 2, 5, 7; in a copy of half the width
    // they lie in columns 0, 1, 2, 3.
    TBitmap32 full(10, 1), half(5, 1);
    for (int x = 0; x < 10; ++x)
        full.setPixel(x, 0, std::uint32_t(x));
    for (int x = 0; x < 5; ++x)
        half.setPixel(x, 0, std::uint32_t(x));
    const TBitmap32 fromFull = resampleNearest(full, 10, 1, 4, 1);
    const TBitmap32 fromHalf = resampleNearest(half, 10, 1, 4, 1);
    EXPECT_EQ(test_bytes::pixelsOf(fromFull), (std::vector<std::uint32_t>{0, 2, 5, 7}));
    EXPECT_EQ(test_bytes::pixelsOf(fromHalf), (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_TRUE(resampleNearest(full, 10, 1, 0, 1).empty());
}

} // namespace
} // namespace quill
