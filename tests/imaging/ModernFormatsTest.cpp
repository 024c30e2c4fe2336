// HEIC, AVIF, WebP and TIFF files as other programs write them (the tools of libheif,
// libavif, libwebp, libtiff and ImageMagick, run here on a picture the test makes),
// read back against that picture: exactly where the file is lossless.
#include "imaging/PictureFile.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/imaging/CameraFiles.h"

namespace quill {
namespace {

using camera::Bytes;

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
        {"jpeg.tif", "convert " + o + " -alpha off -compress JPEG -quality 95", opaque, 12},
    };
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

TEST(ModernFormats, TheNameChoosesTheReader) {
    const struct {
        const char* name;
        PictureReader reader;
    } cases[] = {
        {"a.heic", PictureReader::Heif},
        {"A.HEIF", PictureReader::Heif},
        {"p.Avif", PictureReader::Heif},
        {"photo.webp", PictureReader::Webp},
        {"scan.TIF", PictureReader::Tiff},
        {"scan.tiff", PictureReader::Tiff},
        {"photoheic", PictureReader::None}, // the longer extensions go by their dot
        {"folder.webp/photo", PictureReader::None},
        {".tiff", PictureReader::Tiff},
        {"a.tiff.bak", PictureReader::None},
        // The program's own forms still go by the last four characters.
        {"photo.jpeg", PictureReader::Jpeg},
        {"photojpeg", PictureReader::Jpeg},
        {"a.jpe", PictureReader::None},
        {"ICON.ICO", PictureReader::Ico},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readerForName(c.name), c.reader) << c.name;
    for (std::string extension : readablePictureExtensions()) {
        EXPECT_NE(readerForName("a" + extension), PictureReader::None) << extension;
        for (char& ch : extension)
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_NE(readerForName("a" + extension), PictureReader::None) << extension;
    }
    EXPECT_EQ(readablePictureExtensions().size(), 14u);
}

} // namespace
} // namespace quill
