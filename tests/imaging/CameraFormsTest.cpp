// The forms of cameras and phones: the orientation tag, read from each form that carries
// it and applied exactly once (or kept on request); thumbnails, a JPEG decoded at the
// smallest eighth that gives the size; HEIC, AVIF, WebP and TIFF files as other programs
// write them (the tools of libheif, libavif, libwebp, libtiff and ImageMagick), read back
// exactly where the file is lossless.
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/Orientation.h"
#include "imaging/PictureFile.h"
#include "imaging/PngCodec.h"
#include "imaging/Thumbnail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

using camera::Bytes;
using camera::exifBlock;

// Colours changing by an eighth of a level a pixel: a reduced decode, which averages
// blocks of pixels, then differs from a sample of the full picture by a level or two.
TBitmap32 smoothPhoto(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, makePixel(20 + x / 8, 30 + y / 8, 240 - (x + y) / 16));
    return p;
}

// Smooth colours (lossy forms keep them well) with every kind of alpha.
TBitmap32 sourcePicture(bool opaque, bool grey = false) {
    TBitmap32 p(41, 27);
    for (int y = 0; y < 27; ++y)
        for (int x = 0; x < 41; ++x) {
            const int r = 20 + x * 5, g = grey ? r : 40 + y * 7, b = grey ? r : 200 - x * 2 - y;
            p.setPixel(x, y, makePixel(r, g, b, opaque ? 255 : (x * 13 + y * 29) % 256));
        }
    return p;
}

TEST(ExifOrientation, ReadsTheOneTagOfTheFirstDirectory) {
    Bytes pastEnd = exifBlock(6), longCount = exifBlock(6), cut = exifBlock(6);
    writeLe32(&pastEnd[10], 0xFFF0); // the first directory's offset
    writeLe16(&longCount[14], 300);  // entries claimed; the orientation entry still lies inside
    cut.resize(36);                  // inside the orientation entry
    const struct {
        const char* name;
        Bytes block;
        int expected;
    } cases[] = {
        {"Intel byte order", exifBlock(6), 6},
        {"Motorola byte order", exifBlock(8, false), 8},
        {"bare TIFF structure, as PNG and WebP keep it", exifBlock(3, true, 3, 1, false), 3},
        {"0 is no orientation", exifBlock(0), 1},
        {"9 is no orientation", exifBlock(9), 1},
        {"a LONG is not the tag's type", exifBlock(6, true, 4), 1},
        {"two values", exifBlock(6, true, 3, 2), 1},
        {"directory past the end", pastEnd, 1},
        {"more entries claimed than the block holds", longCount, 6},
        {"cut inside the entry", cut, 1},
        {"not TIFF", {'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 42, 0, 8, 0, 0, 0}, 1},
        {"header only", {'E', 'x', 'i', 'f', 0, 0}, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(exifOrientation(c.block.data(), c.block.size()), c.expected) << c.name;
    EXPECT_EQ(exifOrientation(nullptr, 44), 1);
}

// Six 16 x 16 squares (a JPEG's colour blocks): a b c over d e f.
const std::uint32_t kSquares[6] = {makePixel(200, 30, 30),  makePixel(30, 200, 30),
                                   makePixel(30, 30, 200),  makePixel(220, 220, 40),
                                   makePixel(40, 220, 220), makePixel(220, 40, 220)};
// How a viewer shows the squares stored in orientation 1..8, row by row.
const char* const kShown[9] = {"",         "abc/def",  "cba/fed",  "fed/cba", "def/abc",
                               "ad/be/cf", "da/eb/fc", "fc/eb/da", "cf/be/ad"};

TBitmap32 squares() {
    TBitmap32 p(48, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            p.setPixel(x, y, kSquares[(y / 16) * 3 + x / 16]);
    return p;
}

void expectShown(const TBitmap32& picture, int orientation, int tolerance) {
    std::vector<std::string> rows{""};
    for (const char* c = kShown[orientation]; *c; ++c)
        if (*c == '/')
            rows.emplace_back();
        else
            rows.back().push_back(*c);
    ASSERT_EQ(picture.width(), int(rows[0].size()) * 16);
    ASSERT_EQ(picture.height(), int(rows.size()) * 16);
    TBitmap32 square(1, 1);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            TBitmap32 centre(1, 1, picture.pixel(int(c) * 16 + 8, int(r) * 16 + 8));
            square.setPixel(0, 0, kSquares[rows[r][c] - 'a']);
            EXPECT_LE(camera::largestDifference(centre, square), tolerance)
                << "row " << r << " column " << c;
        }
}

TEST(Orientation, EachOfTheEightTurnsAJpegUprightAsItDecodes) {
    QUILL_SKIP_WITHOUT("convert");
    quill::testing::TempFolder folder;
    std::vector<std::pair<std::string, Bytes>> jpegs{
        {"squares", encodeJpeg(squares())},
        // 53 rows: three whole bands of rows and a part one.
        {"noise 37 x 53", encodeJpeg(test_bytes::randomPicture(37, 53, 9))}};
    const std::string png = folder.write("squares.png", encodePng(squares()));
    ASSERT_TRUE(camera::run("convert " + png + " -colorspace CMYK " + folder.path("cmyk.jpg")));
    jpegs.emplace_back("CMYK", camera::readBytes(folder.path("cmyk.jpg")));
    const LoadOptions keep{.applyOrientation = false};
    for (const auto& [name, plain] : jpegs) {
        const TBitmap32 stored = decodePictureBytes(plain.data(), plain.size(), "a.jpg").picture;
        ASSERT_FALSE(stored.empty()) << name;
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(name + ", orientation " + std::to_string(o));
            const Bytes tagged = camera::withApp1(plain, exifBlock(o, o % 2 == 0));
            const LoadResult upright = decodePictureBytes(tagged.data(), tagged.size(), "a.jpg");
            EXPECT_EQ(upright.orientation, 1);
            EXPECT_EQ(upright.picture, orientPicture(stored, o));
            if (name == "squares")
                expectShown(upright.picture, o, 6);
            const LoadResult kept = decodePictureBytes(tagged.data(), tagged.size(), "a.jpg", keep);
            EXPECT_EQ(kept.picture, stored);
            EXPECT_EQ(kept.orientation, o);
        }
    }
    // The file path and the command line's way (a scope on this thread) agree.
    const std::string path =
        folder.write("six.jpg", camera::withApp1(jpegs[0].second, exifBlock(6)));
    EXPECT_EQ(LoadPictureFile(path).picture.width(), 32);
    const LoadOptionsScope scope(keep);
    EXPECT_EQ(LoadPictureFile(path).picture.width(), 48);
}

TEST(Orientation, TurningBackGivesTheStoredPicture) {
    const int inverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6}; // 6 and 8 undo each other
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {7, 5}, {17, 33}, {40, 16}}) {
        const TBitmap32 picture = test_bytes::randomPicture(w, h, unsigned(w * h));
        for (int o = 0; o <= 9; ++o) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", " + std::to_string(o));
            const TBitmap32 turned = orientPicture(picture, o);
            EXPECT_EQ(turned.width(), orientationSwapsSides(o) ? h : w);
            EXPECT_EQ(orientPicture(turned, o >= 1 && o <= 8 ? inverse[o] : o), picture);
        }
    }
    EXPECT_TRUE(orientPicture(TBitmap32(), 6).empty());
}

TEST(Orientation, PngWebpTiffAndHeifFilesTurnUprightOnce) {
    QUILL_SKIP_WITHOUT("convert", "tiffset", "cwebp", "webpmux");
    quill::testing::TempFolder folder;
    const TBitmap32 picture = squares();
    const std::string png = folder.write("in.png", encodePng(picture));
    folder.write("exif.bin", exifBlock(6, false, 3, 1, false));
    folder.write("tagged.png",
                 camera::withPngChunk(encodePng(picture), "eXIf", exifBlock(6, true, 3, 1, false)));
    const struct {
        const char* file;
        std::string command; // writes the file, "" when it is already there
    } cases[] = {{"tagged.png", ""},
                 {"tagged.tif", "convert " + png + " " + folder.path("tagged.tif") +
                                    " && tiffset -s 274 6 " + folder.path("tagged.tif")},
                 {"tagged.webp", "cwebp -lossless -exact " + png + " -o " +
                                     folder.path("plain.webp") + " && webpmux -set exif " +
                                     folder.path("exif.bin") + " " + folder.path("plain.webp") +
                                     " -o " + folder.path("tagged.webp")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.command.empty() && !camera::run(c.command)) {
            ADD_FAILURE() << "could not run " << c.command;
            continue;
        }
        EXPECT_EQ(LoadPictureFile(folder.path(c.file)).picture, orientPicture(picture, 6));
        const LoadResult kept = LoadPictureFile(folder.path(c.file), {.applyOrientation = false});
        EXPECT_EQ(kept.picture, picture);
        EXPECT_EQ(kept.orientation, 6);
    }

    // A HEIF turned a quarter anticlockwise by its rotation property (written over the
    // file's 16-byte pixel information property): libheif turns it, nothing is left for
    // the program to turn, and with the orientation kept libheif leaves it as stored.
    Bytes heif = camera::readBytes(camera::testData("heif/plain130x70.heic"));
    const TBitmap32 stored = decodePictureBytes(heif.data(), heif.size(), "a.heic").picture;
    const std::string pixi = "pixi";
    const auto at = std::search(heif.begin(), heif.end(), pixi.begin(), pixi.end()) - heif.begin();
    ASSERT_LT(std::size_t(at), heif.size());
    const Bytes rotation{0, 0, 0, 16, 'i', 'r', 'o', 't', 1, 0, 0, 0, 0, 0, 0, 0};
    std::copy(rotation.begin(), rotation.end(), heif.begin() + at - 4);
    const LoadResult turned = decodePictureBytes(heif.data(), heif.size(), "a.heic");
    EXPECT_EQ(turned.orientation, 1);
    EXPECT_EQ(turned.picture, orientPicture(stored, 8));
    EXPECT_EQ(
        decodePictureBytes(heif.data(), heif.size(), "a.heic", {.applyOrientation = false}).picture,
        stored);
}

TEST(Thumbnail, AJpegIsDecodedAtTheSmallestEighthThatGivesTheSize) {
    const Bytes jpeg = encodeJpeg(smoothPhoto(800, 600));
    const Bytes turned = camera::withApp1(jpeg, camera::exifBlock(6));
    const TBitmap32 full = decodeJpeg(jpeg.data(), jpeg.size()).picture;
    const struct {
        const Bytes& file;
        int width, height; // of the thumbnail, upright
        int eighths;       // the decode expected: 800 x 600 at eighths / 8, sides rounded up
    } cases[] = {{jpeg, 80, 60, 1},
                 {jpeg, 100, 75, 1},
                 {jpeg, 101, 60, 2},
                 {jpeg, 80, 76, 2},
                 {jpeg, 400, 300, 4},
                 {jpeg, 401, 300, 5},
                 {jpeg, 700, 525, 7},
                 {jpeg, 701, 60, 8},
                 // Stored 800 x 600, shown 600 x 800: the stored sides are compared.
                 {turned, 60, 80, 1},
                 {turned, 75, 101, 2}};
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
        // Against the reduction of the full picture: three levels at the most, where the
        // full decode's own error adds one to the reduced decode's level or two.
        const TBitmap32 upright = isTurned ? orientPicture(full, 6) : full;
        EXPECT_LE(camera::largestDifference(read.picture,
                                            resampleNearest(upright, upright.width(),
                                                            upright.height(), c.width, c.height)),
                  3);
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

TEST(ModernFormats, FilesOtherProgramsWriteReadBack) {
    QUILL_SKIP_WITHOUT("cwebp", "img2webp", "avifenc", "heif-enc", "convert", "tiffcp");
    quill::testing::TempFolder folder;
    const TBitmap32 alpha = sourcePicture(false), opaque = sourcePicture(true),
                    grey = sourcePicture(true, true);
    const std::string a = folder.write("alpha.png", encodePng(alpha));
    const std::string o = folder.write("opaque.png", encodePng(opaque));
    const std::string g = folder.write("grey.png", encodePng(grey));
    const std::string aTif = folder.path("alpha.tif"), oTif = folder.path("opaque.tif");
    const struct {
        const char* file;
        std::string command;
        const TBitmap32& expected;
        int tolerance; // the largest difference of a channel
    } cases[] = {
        {"lossless.webp", "cwebp -lossless -exact " + a + " -o", alpha, 0},
        {"lossy.webp", "cwebp -q 95 " + o + " -o", opaque, 12},
        // Of an animation, the first frame; the second is another picture.
        {"animated.webp", "img2webp -lossless " + o + " -d 50 " + g + " -o", opaque, 0},
        {"lossless.avif", "avifenc -l " + a, alpha, 0},
        {"lossy.avif", "heif-enc -A -q 90 " + o + " -o", opaque, 12},
        {"lossy.heic", "heif-enc -q 90 " + o + " -o", opaque, 12},
        {"rgba8.tif", "convert " + a, alpha, 0},
        {"rgba16.tif", "convert " + a + " -depth 16", alpha, 0},
        {"tiles-lzw.tif", "convert " + a + " " + aTif + " && tiffcp -t -w 16 -l 16 -c lzw " + aTif,
         alpha, 0},
        {"deflate-predictor.tif", "convert " + a + " " + aTif + " && tiffcp -c zip:2 " + aTif,
         alpha, 0},
        // Planes one after another go through libtiff's RGBA reader.
        {"planes.tif", "convert " + o + " " + oTif + " && tiffcp -p separate " + oTif, opaque, 0},
        {"grey.tif", "convert " + g + " -colorspace Gray -alpha off", grey, 0},
        {"palette.tif", "convert " + g + " -alpha off -type Palette", grey, 0},
        {"cmyk.tif", "convert " + o + " -colorspace CMYK -alpha off", opaque, 2},
        {"jpeg.tif", "convert " + o + " -alpha off -compress JPEG -quality 95", opaque, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string out = folder.path(c.file);
        if (!camera::run(c.command + " " + out)) {
            ADD_FAILURE() << "could not run " << c.command;
            continue;
        }
        const LoadResult read = LoadPictureFile(out);
        EXPECT_TRUE(read.message.empty()) << read.message;
        EXPECT_LE(camera::largestDifference(read.picture, c.expected), c.tolerance);

        // Cut in half, the file gives no picture, or (where libtiff finds the directory
        // and recovers what it can) one of the same size, never another.
        Bytes bytes = camera::readBytes(out);
        bytes.resize(bytes.size() / 2);
        const TBitmap32 cut = decodePictureBytes(bytes.data(), bytes.size(), c.file).picture;
        EXPECT_TRUE(cut.empty() || (cut.width() == 41 && cut.height() == 27));
    }
}

} // namespace
} // namespace quill
