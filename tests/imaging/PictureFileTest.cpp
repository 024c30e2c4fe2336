#include "imaging/PictureFile.h"

#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

namespace fs = std::filesystem;
using test_bytes::Bytes;

TBitmap32 samplePicture(int width, int height) {
    std::mt19937 random(width * 31 + height);
    TBitmap32 picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Smooth colours (for JPEG) with a random alpha (for the forms that keep it).
            int r = 30 + x * 3, g = 50 + y * 2, b = 90 + x + y;
            picture.setPixel(x, y, makePixel(r, g, b, int(random() % 256)));
        }
    return picture;
}

// A two-colour GIF, every pixel white.
Bytes smallGif(int width, int height) {
    test_bytes::GifSpec gif{width, height, 0, test_bytes::Colours{{0, 0, 0}, {255, 255, 255}}, {}};
    gif.images.push_back({0, 0, width, height, false, {}, -1, std::vector<int>(width * height, 1)});
    return test_bytes::makeGif(gif);
}

class PictureFileTest : public ::testing::Test {
  protected:
    std::string put(const std::string& name, const Bytes& bytes) const {
        folder.write(name, bytes);
        return folder.path(name);
    }
    const quill::testing::TempFolder folder;
};

TEST_F(PictureFileTest, TheLastFourCharactersChooseTheReader) {
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = put(c.name, c.bytes);
        LoadResult fromFile = LoadPictureFile(path);
        LoadResult fromMemory = decodePictureBytes(c.bytes.data(), c.bytes.size(), c.name);
        EXPECT_EQ(fromFile.picture.width(), c.read ? 5 : 0);
        EXPECT_EQ(fromFile.picture.height(), c.read ? 4 : 0);
        EXPECT_EQ(fromMemory.picture, fromFile.picture);
        EXPECT_TRUE(fromFile.message.empty());
    }
    // Names shorter than four characters choose nothing, even with JPEG bytes.
    for (const char* name : {"jpg", "JPG", "", "."}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(decodePictureBytes(jpeg.data(), jpeg.size(), name).picture.empty());
    }
    EXPECT_TRUE(decodePictureBytes(nullptr, 10, "a.jpg").picture.empty());
}

TEST_F(PictureFileTest, MissingOrUnreadableFilesGiveTheEmptyPicture) {
    fs::create_directory(folder.path("folder.jpg"));
    std::string huge = folder.path("huge.bmp");
    {
        std::ofstream(huge, std::ios::binary) << "BM";
        // Sparse: larger than any picture the program may hold, no disk used.
        fs::resize_file(huge, std::uintmax_t(1) << 31);
    }
    ASSERT_EQ(::mkfifo(folder.path("pipe.jpg").c_str(), 0600), 0);
    const std::string paths[] = {
        folder.path("pipe.jpg"),
        folder.path("missing.jpg"),
        folder.path("folder.jpg"),
        folder.path("no/such/folder/a.png"),
        huge,
        put("empty.jpg", {}),
        put("empty.gif", {}),
        put("empty.png", {}),
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        LoadResult read = LoadPictureFile(path);
        EXPECT_TRUE(read.picture.empty());
        EXPECT_EQ(read.picture.width(), 0);
    }
    EXPECT_EQ(notValidFormatMessage(folder.path("a.png")),
              folder.path("a.png is not a valid format"));
}

#if !defined(__SANITIZE_ADDRESS__)
// Reads a picture the limits allow but the memory does not, in a child process whose
// address space is capped; the child exits 0 when the reader gave the memory message.
// The child runs the test afresh with a folder of its own, which it removes.
void readUnderMemoryCap(const std::string& path, const std::string& childFolder) {
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    rlimit cap{};
    cap.rlim_cur = cap.rlim_max =
        rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
    ::setrlimit(RLIMIT_AS, &cap);
    LoadResult read = LoadPictureFile(path);
    fs::remove_all(childFolder);
    std::_Exit(read.picture.empty() && read.message == kNotEnoughMemoryMessage ? 0 : 1);
}

TEST_F(PictureFileTest, PictureTooLargeForTheMemoryGivesTheMemoryMessage) {
    // 16000 x 12000 is within the limits and needs 768 MB.
    Bytes jpeg = encodeJpeg(samplePicture(8, 8));
    test_bytes::setJpegSize(jpeg, 16000, 12000);
    Bytes gif = smallGif(8, 8);
    writeLe16(&gif[6], 16000); // the screen's width and height
    writeLe16(&gif[8], 12000);
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    for (const auto& [name, bytes] :
         {std::pair<const char*, Bytes>{"huge.jpg", jpeg}, {"huge.gif", gif}}) {
        SCOPED_TRACE(name);
        std::string path = put(name, bytes);
        EXPECT_EXIT(readUnderMemoryCap(path, folder.path()), ::testing::ExitedWithCode(0), "");
    }
}
#endif

TEST_F(PictureFileTest, EverySavedFormReadsBack) {
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
        std::string path = folder.path(c.name);
        WriteResult written = SavePicture(picture, path, c.format);
        ASSERT_TRUE(written) << written.message;
        LoadResult read = LoadPictureFile(path);
        ASSERT_EQ(read.picture.width(), 13);
        ASSERT_EQ(read.picture.height(), 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                std::uint32_t want = picture.pixel(x, y), got = read.picture.pixel(x, y);
                EXPECT_NEAR(pixelRed(got), pixelRed(want), c.tolerance);
                EXPECT_NEAR(pixelGreen(got), pixelGreen(want), c.tolerance);
                EXPECT_NEAR(pixelBlue(got), pixelBlue(want), c.tolerance);
                EXPECT_EQ(pixelAlpha(got), c.keepsAlpha ? pixelAlpha(want) : 255);
            }
    }
    // The 32-bit BMP stores the alpha bytes in the file.
    Bytes bmp32 = encodePicture(picture, PictureFormat::Bmp32);
    ASSERT_EQ(bmp32.size(), 54u + 13 * 7 * 4);
    EXPECT_EQ(bmp32[54 + 3], pixelAlpha(picture.pixel(0, 6))); // bottom row first
    EXPECT_EQ(encodePicture(picture, PictureFormat::Jpeg), encodeJpeg(picture, 90));
}

TEST_F(PictureFileTest, SavingFailuresNameTheFileAndLeaveNothing) {
    struct Case {
        TBitmap32 picture;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {TBitmap32(), folder.path("empty.png"),
         folder.path("empty.png: there is no picture to write")},
        {samplePicture(2, 2), folder.path("missing/a.jpg"),
         folder.path("missing/a.jpg: No such file or directory")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        WriteResult result = SavePicture(c.picture, c.path, PictureFormat::Png);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, c.message);
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(PictureFileNames, OutputFormIsChosenByTheExtension) {
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
