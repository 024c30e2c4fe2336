#include "imaging/PictureFile.h"

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"
#include "tests/imaging/CameraFiles.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test_bytes::Bytes;

// Smooth colours (for JPEG) with a random alpha (for the forms that keep it).
TBitmap32 samplePicture(int width, int height) {
    std::mt19937 random(width * 31 + height);
    TBitmap32 picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, makePixel(30 + x * 3, 50 + y * 2, 90 + x + y, int(random() % 256)));
    return picture;
}

// A two-colour GIF, every pixel white.
Bytes smallGif(int width, int height) {
    test_bytes::GifSpec gif{width, height, 0, test_bytes::Colours{{0, 0, 0}, {255, 255, 255}}, {}};
    gif.images.push_back({0, 0, width, height, false, {}, -1, std::vector<int>(width * height, 1)});
    return test_bytes::makeGif(gif);
}

TEST(PictureFiles, TheLastFourCharactersChooseTheReader) {
    quill::testing::TempFolder folder;
    const TBitmap32 picture = samplePicture(5, 4);
    const Bytes jpeg = encodeJpeg(picture), png = encodePng(picture), gif = smallGif(5, 4),
                bmp = encodeBmp(picture, 24);
    struct Case {
        const char* name;
        const Bytes& bytes;
        bool read;
    };
    const Case cases[] = {
        {"a.JPG", jpeg, true},  {"b.jpg", jpeg, true},      {"c.jpeg", jpeg, true},
        {"d.Jpeg", jpeg, true}, {"e.JPEG", jpeg, true},     {"fjpeg", jpeg, true},
        {"g.jpe", jpeg, false}, {"h.jpg.txt", jpeg, false}, {"i.png", png, true},
        {"J.PNG", png, true},   {"k.gif", gif, true},       {"l.GIF", gif, true},
        {"m.bmp", bmp, true},   {"n.Bmp", bmp, true},       {"o.png", jpeg, false},
        {"p.jpg", png, false},  {"q.tif", png, false},      {"r", jpeg, false},
        {"jpg", jpeg, false},   {"JPG", jpeg, false}, // shorter than four characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadResult fromFile = LoadPictureFile(folder.write(c.name, c.bytes));
        EXPECT_EQ(fromFile.picture.width(), c.read ? 5 : 0);
        EXPECT_EQ(fromFile.picture.height(), c.read ? 4 : 0);
        EXPECT_EQ(decodePictureBytes(c.bytes.data(), c.bytes.size(), c.name).picture,
                  fromFile.picture);
        EXPECT_TRUE(fromFile.message.empty());
    }
    EXPECT_TRUE(decodePictureBytes(nullptr, 10, "a.jpg").picture.empty());
}

TEST(PictureFiles, MissingOrUnreadableFilesGiveTheEmptyPicture) {
    quill::testing::TempFolder folder;
    fs::create_directory(folder.path("folder.jpg"));
    // Sparse: larger than any picture the program may hold, no disk used.
    fs::resize_file(folder.write("huge.bmp", {'B', 'M'}), std::uintmax_t(1) << 31);
    ASSERT_EQ(::mkfifo(folder.path("pipe.jpg").c_str(), 0600), 0);
    for (const std::string name : {"pipe.jpg", "missing.jpg", "folder.jpg", "no/folder/a.png",
                                   "huge.bmp", "empty.jpg", "empty.gif", "empty.png"}) {
        if (name.starts_with("empty"))
            folder.write(name, {});
        EXPECT_TRUE(LoadPictureFile(folder.path(name)).picture.empty()) << name;
    }
    EXPECT_EQ(notValidFormatMessage(folder.path("a.png")),
              folder.path("a.png is not a valid format"));
}

#if !defined(__SANITIZE_ADDRESS__)
// A picture the limits allow but the memory does not: read in a child process that may
// reserve only 256 MiB more, it gives the memory message. 16000 x 12000 needs 768 MB.
TEST(PictureFiles, PictureTooLargeForTheMemoryGivesTheMemoryMessage) {
    quill::testing::TempFolder folder;
    Bytes jpeg = encodeJpeg(samplePicture(8, 8));
    test_bytes::setJpegSize(jpeg, 16000, 12000);
    Bytes gif = smallGif(8, 8);
    writeLe16(&gif[6], 16000); // the screen's width and height
    writeLe16(&gif[8], 12000);
    for (const auto& [name, bytes] :
         {std::pair<const char*, Bytes>{"huge.jpg", jpeg}, {"huge.gif", gif}}) {
        const std::string path = folder.write(name, bytes);
        const auto read = [&] {
            const LoadResult r = LoadPictureFile(path);
            return r.picture.empty() && r.message == kNotEnoughMemoryMessage ? 0 : 1;
        };
        EXPECT_EQ(quill::testing::inChild(read, 0, rlim_t(256) << 20), 0) << name;
    }
}
#endif

TEST(PictureFiles, EverySavedFormReadsBack) {
    quill::testing::TempFolder folder;
    const TBitmap32 picture = samplePicture(13, 7);
    struct Case {
        PictureFormat format;
        const char* name;
        int tolerance;   // largest colour difference allowed
        bool keepsAlpha; // otherwise alpha reads 255
    };
    const Case cases[] = {
        {PictureFormat::Png, "out.png", 0, true},      {PictureFormat::Bmp24, "out.bmp", 0, false},
        {PictureFormat::Bmp32, "out32.bmp", 0, false}, {PictureFormat::Jpeg, "out.jpg", 8, false},
        {PictureFormat::Emf, "out.emf", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.path(c.name);
        const WriteResult written = SavePicture(picture, path, c.format);
        ASSERT_TRUE(written) << written.message;
        TBitmap32 expected = picture;
        if (!c.keepsAlpha)
            SetAlpha(expected, 255);
        EXPECT_LE(camera::largestDifference(LoadPictureFile(path).picture, expected), c.tolerance);
    }
    // The 32-bit BMP stores the alpha bytes in the file.
    const Bytes bmp32 = encodePicture(picture, PictureFormat::Bmp32);
    ASSERT_EQ(bmp32.size(), 54u + 13 * 7 * 4);
    EXPECT_EQ(bmp32[54 + 3], pixelAlpha(picture.pixel(0, 6))); // bottom row first
    EXPECT_EQ(encodePicture(picture, PictureFormat::Jpeg), encodeJpeg(picture, 90));
}

TEST(PictureFiles, SavingFailuresNameTheFileAndLeaveNothing) {
    quill::testing::TempFolder folder;
    const std::pair<TBitmap32, std::string> cases[] = {
        {TBitmap32(), "empty.png: there is no picture to write"},
        {samplePicture(2, 2), "missing/a.jpg: No such file or directory"},
    };
    for (const auto& [picture, message] : cases) {
        const WriteResult result =
            SavePicture(picture, folder.path(message.substr(0, message.find(':'))),
                        PictureFormat::Png);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, folder.path(message));
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(PictureFiles, OutputFormIsChosenByTheExtension) {
    const std::pair<const char*, PictureFormat> chosen[] = {
        {"a.png", PictureFormat::Png},   {"A.PNG", PictureFormat::Png},
        {"a.bmp", PictureFormat::Bmp24}, {"a.BMP", PictureFormat::Bmp24},
        {"a.jpg", PictureFormat::Jpeg},  {"a.JPEG", PictureFormat::Jpeg},
        {"a.emf", PictureFormat::Emf},   {"a.Wmf", PictureFormat::Emf}};
    for (const auto& [path, format] : chosen)
        EXPECT_EQ(formatForOutputName(path), format) << path;
    for (const char* path : {"dir.png/a", "a.gif", "a.jpe", "png", "a.", "", "a.png.txt"})
        EXPECT_EQ(formatForOutputName(path), std::nullopt) << path;
}

} // namespace
} // namespace quill
