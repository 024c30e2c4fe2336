// Picture files: the reader a name chooses, saving and reading back, and small files
// whose headers lie (sizes over the limits, lengths past the end, offsets outside the
// file, chunks libpng would buffer, the forms of cameras and phones), which each reader
// must refuse quickly, before it allocates anything sized by the lie, with the program's
// message where the size is the reason.
#include "imaging/PictureFile.h"
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

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
            picture.setPixel(x, y,
                             makePixel(30 + x * 3, 50 + y * 2, 90 + x + y, int(random() % 256)));
    return picture;
}

// A two-colour GIF, every pixel white.
Bytes smallGif(int width, int height) {
    test_bytes::GifSpec gif{width, height, 0, test_bytes::Colours{{0, 0, 0}, {255, 255, 255}}, {}};
    gif.images.push_back({0, 0, width, height, false, {}, -1, std::vector<int>(width * height, 1)});
    return test_bytes::makeGif(gif);
}

const TBitmap32 kSample = test_bytes::randomPicture(16, 16, 3, testpictures::PictureAlpha::Opaque);

// A PNG, JPEG or BMP (height negative: top-down) whose header claims w x h.
Bytes pngClaiming(std::uint32_t w, std::uint32_t h) {
    Bytes png = encodePicture(kSample, PictureFormat::Png);
    test_bytes::setPngSize(png, w, h);
    return png;
}
Bytes jpegClaiming(int w, int h) {
    Bytes jpeg = encodePicture(kSample, PictureFormat::Jpeg);
    test_bytes::setJpegSize(jpeg, w, h);
    return jpeg;
}
Bytes bmpClaiming(std::int32_t w, std::int32_t h) {
    Bytes bmp = encodeBmp(kSample, 24);
    writeLe32(&bmp[18], std::uint32_t(w));
    writeLe32(&bmp[22], std::uint32_t(h));
    return bmp;
}

// An icon of one image: the given image bytes at the given offset (0: right after the
// directory), the directory entry claiming the given length (0: the true one).
Bytes icoHolding(const Bytes& image, std::uint32_t claimedLength = 0, std::uint32_t offset = 0) {
    Bytes ico(22 + image.size(), 0);
    ico[2] = ico[4] = 1; // an icon of one image
    writeLe16(&ico[6 + 4], 1);
    writeLe16(&ico[6 + 6], 32);
    writeLe32(&ico[6 + 8], claimedLength != 0 ? claimedLength : std::uint32_t(image.size()));
    writeLe32(&ico[6 + 12], offset != 0 ? offset : 22);
    std::copy(image.begin(), image.end(), ico.begin() + 22);
    return ico;
}

// An uncompressed 8-bit grey TIFF in one strip claiming w x h, with 4 bytes of pixels.
Bytes tiffClaiming(std::uint32_t w, std::uint32_t h) {
    Bytes t{'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::uint32_t entries[][3] = {{256, 4, w}, {257, 4, h}, {258, 3, 8},
                                        {259, 3, 1}, {262, 3, 1}, {273, 4, 8 + 2 + 9 * 12 + 4},
                                        {277, 3, 1}, {278, 4, h}, {279, 4, w * h}};
    test_bytes::add16(t, 9);
    for (const auto& e : entries) {
        test_bytes::add16(t, {e[0], e[1]});
        test_bytes::add32(t, {1, e[2]});
    }
    test_bytes::add32(t, 0);
    t.insert(t.end(), {1, 2, 3, 4});
    return t;
}

// A WebP (RIFF, extended header) whose canvas claims w x h over a 1 x 1 lossless
// picture written by cwebp 1.2.4.
Bytes webpClaiming(std::uint32_t w, std::uint32_t h) {
    Bytes b{'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'E', 'B', 'P',
            'V', 'P', '8', 'X', 10, 0, 0, 0, 0,   0,   0,   0};
    for (std::uint32_t side : {w - 1, h - 1})
        for (int i = 0; i < 3; ++i)
            b.push_back(std::uint8_t(side >> (8 * i)));
    b.insert(b.end(),
             {0x56, 0x50, 0x38, 0x4c, 0x11, 0x00, 0x00, 0x00, 0x2f, 0x00, 0x00, 0x00, 0x00,
              0x07, 0x50, 0x8a, 0x2a, 0xd4, 0xa3, 0xff, 0x81, 0x88, 0xe8, 0x7f, 0x00, 0x00});
    writeLe32(&b[4], std::uint32_t(b.size() - 8));
    return b;
}

// A test HEIF with the 8 bytes after the first box named name replaced by w and h in
// sides of the given width: the 30 x 20 picture's grid canvas (16-bit sides after
// version, flags, rows and columns in its idat box), or the 130 x 70 picture's declared
// size (32-bit sides after the ispe box's version and flags).
Bytes heifClaiming(const char* file, const std::string& name, std::uint32_t w, std::uint32_t h) {
    Bytes heif = camera::readBytes(camera::testData(file));
    const auto at = std::search(heif.begin(), heif.end(), name.begin(), name.end());
    if (heif.end() - at < 16) {
        ADD_FAILURE() << "no " << name;
        return heif;
    }
    if (name == "idat") {
        at[8] = std::uint8_t(w >> 8), at[9] = std::uint8_t(w);
        at[10] = std::uint8_t(h >> 8), at[11] = std::uint8_t(h);
    } else {
        test_bytes::putBe32(&at[8], w);
        test_bytes::putBe32(&at[12], h);
    }
    return heif;
}
Bytes heifGridClaiming(std::uint16_t w, std::uint16_t h) {
    return heifClaiming("heif/grid30x20.heic", "idat", w, h);
}
Bytes heifDeclaring(std::uint32_t w, std::uint32_t h) {
    return heifClaiming("heif/plain130x70.heic", "ispe", w, h);
}

// Refused within a second (five under the sanitizers), with the message (any, for
// nullopt), and, where the sanitizers (which reserve address space of their own) are not
// built in, reserving less than 256 MiB on the way.
void expectRefusedWithinBounds(const Bytes& bytes, const char* fileName,
                               const std::optional<std::string>& message) {
    const auto read = [&] {
        const auto start = std::chrono::steady_clock::now();
        const LoadResult r = decodePictureBytes(bytes.data(), bytes.size(), fileName);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
#if defined(__SANITIZE_ADDRESS__)
        const double seconds = 5;
#else
        const double seconds = 1;
#endif
        const bool refused = r.picture.empty() && (!message || r.message == *message);
        if (!refused || took.count() >= seconds)
            std::fprintf(stderr, "%s: %.2f s, message \"%s\"\n", fileName, took.count(),
                         r.message.c_str());
        return refused && took.count() < seconds ? 0 : 1;
    };
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(read(), 0);
#else
    EXPECT_EQ(quill::testing::inChild(read, 0, rlim_t(256) << 20), 0) << "over the memory bound";
#endif
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
        {"jpg", jpeg, false},   {"JPG", jpeg, false} // shorter than four characters
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
    // The longer extensions go by their dot; the program's own forms still go by the last
    // four characters.
    using R = PictureReader;
    for (auto [name, reader] : {std::pair{"a.heic", R::Heif},
                                {"A.HEIF", R::Heif},
                                {"p.Avif", R::Heif},
                                {"photo.webp", R::Webp},
                                {"scan.TIF", R::Tiff},
                                {"scan.tiff", R::Tiff},
                                {".tiff", R::Tiff},
                                {"photoheic", R::None},
                                {"folder.webp/photo", R::None},
                                {"a.tiff.bak", R::None},
                                {"photojpeg", R::Jpeg},
                                {"a.jpe", R::None},
                                {"ICON.ICO", R::Ico}})
        EXPECT_EQ(readerForName(name), reader) << name;
    for (std::string extension : readablePictureExtensions()) {
        EXPECT_NE(readerForName("a" + extension), R::None) << extension;
        for (char& ch : extension)
            ch = char(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_NE(readerForName("a" + extension), R::None) << extension;
    }
    EXPECT_EQ(readablePictureExtensions().size(), 14u);
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
    const Case cases[] = {{PictureFormat::Png, "out.png", 0, true},
                          {PictureFormat::Bmp24, "out.bmp", 0, false},
                          {PictureFormat::Bmp32, "out32.bmp", 0, false},
                          {PictureFormat::Jpeg, "out.jpg", 8, false},
                          {PictureFormat::Emf, "out.emf", 0, false}};
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
        {samplePicture(2, 2), "missing/a.jpg: No such file or directory"}};
    for (const auto& [picture, message] : cases) {
        const WriteResult result = SavePicture(
            picture, folder.path(message.substr(0, message.find(':'))), PictureFormat::Png);
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

TEST(HostileReader, LyingFilesAreRefusedQuicklyWithinMemory) {
    const auto tooLarge = [](std::int64_t w, std::int64_t h) {
        return std::optional(pictureTooLargeMessage(w, h));
    };
    const std::optional<std::string> none = "", any;
    Bytes bmpMinHeight = bmpClaiming(3, 2);
    writeLe32(&bmpMinHeight[22], 0x80000000u); // height INT_MIN: cannot be negated
    Bytes bmpHugePalette = encodeBmp(kSample, 24);
    writeLe16(&bmpHugePalette[28], 8);           // 8 bits a pixel ...
    writeLe32(&bmpHugePalette[46], 0xFFFFFFFFu); // ... and a colour table of 2^32 - 1
    const Bytes png = encodePicture(kSample, PictureFormat::Png);
    Bytes heifCut = camera::readBytes(camera::testData("heif/plain130x70.heic"));
    heifCut.resize(heifCut.size() * 2 / 3);
    const auto hugeChunk = [&png](const char* type) {
        return camera::withPngChunk(png, type, Bytes(40, 'a'), 0x7FFFFFFF);
    };
    const struct {
        const char* name;
        const char* fileName;
        Bytes bytes;
        std::optional<std::string> message;
    } cases[] = {
        {"PNG one pixel too wide", "a.png", pngClaiming(16385, 1), tooLarge(16385, 1)},
        {"PNG one pixel too high", "a.png", pngClaiming(1, 16385), tooLarge(1, 16385)},
        {"PNG sides allowed, area not", "a.png", pngClaiming(16000, 12501), tooLarge(16000, 12501)},
        {"PNG widest sides allowed", "a.png", pngClaiming(16384, 16384), tooLarge(16384, 16384)},
        {"PNG widest 32-bit sides", "a.png", pngClaiming(0x7FFFFFFF, 0x7FFFFFFF),
         tooLarge(0x7FFFFFFF, 0x7FFFFFFF)},
        {"JPEG one pixel too wide", "a.jpg", jpegClaiming(16385, 1), tooLarge(16385, 1)},
        {"JPEG one pixel too high", "a.jpg", jpegClaiming(1, 16385), tooLarge(1, 16385)},
        {"JPEG widest sides allowed", "a.jpg", jpegClaiming(16384, 16384), tooLarge(16384, 16384)},
        {"BMP one pixel too wide", "a.bmp", bmpClaiming(16385, 2), tooLarge(16385, 2)},
        {"BMP top-down, too high", "a.bmp", bmpClaiming(3, -16385), tooLarge(3, 16385)},
        {"BMP sides allowed, area not", "a.bmp", bmpClaiming(16000, 12501), tooLarge(16000, 12501)},
        {"BMP top-down, widest sides allowed", "a.bmp", bmpClaiming(16384, -16384),
         tooLarge(16384, 16384)},
        {"BMP far too large", "a.bmp", bmpClaiming(100000, 100000), tooLarge(100000, 100000)},
        {"BMP widest 32-bit side", "a.bmp", bmpClaiming(0x7FFFFFFF, 1), tooLarge(0x7FFFFFFF, 1)},
        {"BMP height INT_MIN", "a.bmp", bmpMinHeight, any},
        {"BMP colour table past the end", "a.bmp", bmpHugePalette, any},
        {"icon entry longer than the file", "a.ico", icoHolding(png, 0xFFFFFFFFu), any},
        {"icon entry past the end", "a.ico", icoHolding(png, 0, 0xFFFFFFF0u), any},
        {"icon entry holding a too-large PNG", "a.ico", icoHolding(pngClaiming(20000, 20000)), any},
        {"empty metafile", "a.emf", {}, any},
        // Text and palette chunks were allocated at their claimed length (2 GiB, seconds).
        {"PNG tEXt of 2 GiB", "a.png", hugeChunk("tEXt"), none},
        {"PNG zTXt of 2 GiB", "a.png", hugeChunk("zTXt"), none},
        {"PNG iTXt of 2 GiB", "a.png", hugeChunk("iTXt"), none},
        {"PNG sPLT of 2 GiB", "a.png", hugeChunk("sPLT"), none},
        {"TIFF of 100000 x 100000", "a.tif", tiffClaiming(100000, 100000),
         tooLarge(100000, 100000)},
        {"TIFF sides allowed, area not", "a.tiff", tiffClaiming(16384, 16384),
         tooLarge(16384, 16384)},
        {"TIFF cut in its pixels (six claimed, four there)", "a.tif", tiffClaiming(2, 3), none},
        {"WebP canvas one pixel too high", "a.webp", webpClaiming(16384, 16385),
         tooLarge(16384, 16385)},
        {"WebP canvas of 2^24 x 255", "a.webp", webpClaiming(1 << 24, 255), tooLarge(1 << 24, 255)},
        // libheif allocated the grid's canvas, whatever the declared size: 1.7 GB, 18 s.
        {"HEIF grid canvas of 16000 x 16000", "a.heic", heifGridClaiming(16000, 16000),
         tooLarge(16000, 16000)},
        {"HEIF grid canvas of 60000 x 60000", "a.heic", heifGridClaiming(60000, 60000),
         tooLarge(60000, 60000)},
        {"HEIF declaring 100000 x 100000", "a.heic", heifDeclaring(100000, 100000),
         tooLarge(100000, 100000)},
        // Coded larger than declared: libheif decoded what the coded picture said.
        {"HEIF coded 136 x 72, declared 30 x 20", "a.heic", heifDeclaring(30, 20), none},
        {"HEIF cut short", "a.heic", heifCut, none}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectRefusedWithinBounds(c.bytes, c.fileName, c.message);
    }
    EXPECT_EQ(
        pictureTooLargeMessage(20000, 20000),
        "The picture is 20000 x 20000 pixels, too large to open (at most 16384 pixels a side and "
        "200000000 pixels in all).");
    // The same files, sound, are read.
    const std::pair<Bytes, const char*> sound[] = {{tiffClaiming(2, 2), "a.tif"},
                                                   {webpClaiming(1, 1), "a.webp"},
                                                   {heifGridClaiming(30, 20), "a.heic"},
                                                   {heifDeclaring(130, 70), "a.heic"}};
    for (const auto& [bytes, name] : sound)
        EXPECT_FALSE(decodePictureBytes(bytes.data(), bytes.size(), name).picture.empty()) << name;
}

TEST(HostileReader, TheLargestAllowedSizesPassTheSizeCheck) {
    // At the limits the size is no reason to refuse: the file fails later, for want of
    // pixel data, without the size message.
    for (const auto& [w, h] :
         {std::pair<std::int32_t, std::int32_t>{16384, 1}, {1, 16384}, {16384, 12207}}) {
        const Bytes bmp = bmpClaiming(w, h);
        const LoadResult r = decodePictureBytes(bmp.data(), bmp.size(), "a.bmp");
        EXPECT_TRUE(r.picture.empty());
        EXPECT_EQ(r.message.find("too large"), std::string::npos) << r.message;
    }
}

} // namespace
} // namespace quill
