// Small files whose headers lie: sizes over the limits, lengths past the end, offsets
// outside the file. Each reader must refuse them before it allocates anything sized by
// the lie, with the program's message where the size is the reason.
#include "imaging/BmpCodec.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "tests/imaging/ByteWriting.h"
#include "tests/imaging/CameraFiles.h"

namespace quill {
namespace {

using test_bytes::Bytes;

TBitmap32 sample(int w, int h) {
    TBitmap32 pic(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pic.setPixel(x, y, makePixel(x * 40, y * 60, 200, 255));
    return pic;
}

// A PNG whose header claims w x h, with the header's checksum made right again.
Bytes pngClaiming(std::uint32_t w, std::uint32_t h) {
    Bytes png = encodePicture(sample(3, 2), PictureFormat::Png);
    test_bytes::setPngSize(png, w, h);
    return png;
}

// A JPEG whose frame header claims w x h.
Bytes jpegClaiming(int w, int h) {
    Bytes jpeg = encodePicture(sample(16, 16), PictureFormat::Jpeg);
    test_bytes::setJpegSize(jpeg, w, h);
    return jpeg;
}

// A 24-bit BMP whose header claims w x h (height negative: top-down).
Bytes bmpClaiming(std::int32_t w, std::int32_t h) {
    Bytes bmp = encodeBmp(sample(3, 2), 24);
    writeLe32(&bmp[18], std::uint32_t(w));
    writeLe32(&bmp[22], std::uint32_t(h));
    return bmp;
}

// An icon of one image: the given image bytes at the given offset (0: right after the
// directory), the directory entry claiming the given length (0: the true one).
Bytes icoHolding(const Bytes& image, std::uint32_t claimedLength = 0, std::uint32_t offset = 0) {
    Bytes ico(22 + image.size(), 0);
    ico[2] = 1; // icon
    ico[4] = 1; // one image
    ico[6] = 3;
    ico[7] = 2;
    writeLe16(&ico[6 + 4], 1);
    writeLe16(&ico[6 + 6], 32);
    writeLe32(&ico[6 + 8], claimedLength != 0 ? claimedLength : std::uint32_t(image.size()));
    writeLe32(&ico[6 + 12], offset != 0 ? offset : 22);
    std::copy(image.begin(), image.end(), ico.begin() + 22);
    return ico;
}

TEST(HostileReader, SizesOverTheLimitsAreRefusedWithTheMessage) {
    const struct {
        const char* name;
        const char* fileName;
        Bytes bytes;
        std::int64_t width, height; // named in the message
    } cases[] = {
        {"PNG one pixel too wide", "a.png", pngClaiming(16385, 1), 16385, 1},
        {"PNG one pixel too high", "a.png", pngClaiming(1, 16385), 1, 16385},
        {"PNG sides allowed, area not", "a.png", pngClaiming(16000, 12501), 16000, 12501},
        {"PNG widest sides allowed, area not", "a.png", pngClaiming(16384, 16384), 16384, 16384},
        {"PNG far too large", "a.png", pngClaiming(20000, 20000), 20000, 20000},
        {"PNG widest 32-bit sides", "a.png", pngClaiming(0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF,
         0x7FFFFFFF},
        {"JPEG one pixel too wide", "a.jpg", jpegClaiming(16385, 1), 16385, 1},
        {"JPEG one pixel too high", "a.jpg", jpegClaiming(1, 16385), 1, 16385},
        {"JPEG widest sides allowed, area not", "a.jpg", jpegClaiming(16384, 16384), 16384, 16384},
        {"JPEG far too large", "a.jpg", jpegClaiming(20000, 20000), 20000, 20000},
        {"BMP one pixel too wide", "a.bmp", bmpClaiming(16385, 2), 16385, 2},
        {"BMP top-down, too high", "a.bmp", bmpClaiming(3, -16385), 3, 16385},
        {"BMP sides allowed, area not", "a.bmp", bmpClaiming(16000, 12501), 16000, 12501},
        {"BMP top-down, widest sides allowed, area not", "a.bmp", bmpClaiming(16384, -16384), 16384,
         16384},
        {"BMP far too large", "a.bmp", bmpClaiming(100000, 100000), 100000, 100000},
        {"BMP widest 32-bit side", "a.bmp", bmpClaiming(0x7FFFFFFF, 1), 0x7FFFFFFF, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadResult r = decodePictureBytes(c.bytes.data(), c.bytes.size(), c.fileName);
        EXPECT_TRUE(r.picture.empty());
        EXPECT_EQ(r.message, pictureTooLargeMessage(c.width, c.height));
    }
    EXPECT_EQ(
        pictureTooLargeMessage(20000, 20000),
        "The picture is 20000 x 20000 pixels, too large to open (at most 16384 pixels a side and "
        "200000000 pixels in all).");
}

TEST(HostileReader, TheLargestAllowedSizesPassTheSizeCheck) {
    // At the limits the size is no reason to refuse: the file fails later, for want of
    // pixel data, without the size message.
    for (const auto& [w, h] :
         {std::pair<std::int32_t, std::int32_t>{16384, 1}, {1, 16384}, {16384, 12207}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const Bytes bmp = bmpClaiming(w, h);
        const LoadResult r = decodePictureBytes(bmp.data(), bmp.size(), "a.bmp");
        EXPECT_TRUE(r.picture.empty());
        EXPECT_EQ(r.message.find("too large"), std::string::npos) << r.message;
    }
}

TEST(HostileReader, LyingLengthsAndOffsetsGiveTheEmptyPicture) {
    Bytes bmpMinHeight = encodeBmp(sample(3, 2), 24);
    writeLe32(&bmpMinHeight[22], 0x80000000u); // height INT_MIN: cannot be negated
    Bytes bmpHugePalette = encodeBmp(sample(3, 2), 24);
    writeLe16(&bmpHugePalette[28], 8);           // 8 bits a pixel ...
    writeLe32(&bmpHugePalette[46], 0xFFFFFFFFu); // ... and a colour table of 2^32 - 1
    const Bytes png = encodePicture(sample(3, 2), PictureFormat::Png);
    const struct {
        const char* name;
        const char* fileName;
        Bytes bytes;
    } cases[] = {
        {"BMP height INT_MIN", "a.bmp", bmpMinHeight},
        {"BMP colour table past the end", "a.bmp", bmpHugePalette},
        {"icon entry longer than the file", "a.ico", icoHolding(png, 0xFFFFFFFFu)},
        {"icon entry past the end", "a.ico", icoHolding(png, 0, 0xFFFFFFF0u)},
        {"icon entry holding a too-large PNG", "a.ico", icoHolding(pngClaiming(20000, 20000))},
        {"empty metafile", "a.emf", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadResult r = decodePictureBytes(c.bytes.data(), c.bytes.size(), c.fileName);
        EXPECT_TRUE(r.picture.empty());
    }
}

} // namespace
} // namespace quill

// ---- hostile files of the forms of cameras and phones, and chunks libpng would buffer

namespace quill {
namespace {

using test_bytes::Bytes;

#if !defined(__SANITIZE_ADDRESS__)
// A figure of /proc/self/status in kB (VmSize, VmPeak).
long statusKb(const char* key) {
    long kb = -1;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, key, std::strlen(key)) == 0)
                kb = std::atol(line + std::strlen(key));
        std::fclose(f);
    }
    return kb;
}

// In a child: exits 0 when the read took under a second, gave no picture and the
// expected message, and reserved less than 256 MiB. Reservations of up to 4 GiB are
// let through so that they show in the peak; larger ones fail.
[[noreturn]] void readWithinBounds(const Bytes& bytes, const char* fileName,
                                   const std::string& message) {
    const long before = statusKb("VmSize:");
    rlimit cap{};
    cap.rlim_cur = cap.rlim_max = rlim_t(before) * 1024 + (rlim_t(4) << 30);
    ::setrlimit(RLIMIT_AS, &cap);
    const auto start = std::chrono::steady_clock::now();
    const LoadResult r = decodePictureBytes(bytes.data(), bytes.size(), fileName);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const long grown = statusKb("VmPeak:") - before;
    std::_Exit(r.picture.empty() && r.message == message && took.count() < 1.0 && before > 0 &&
                       grown < 256 * 1024
                   ? 0
                   : 1);
}
#endif

// Refused quickly, with the message (or none), and within the memory bound where the
// sanitizers, which reserve their own address space, are not built in.
void expectRefusedWithinBounds(const Bytes& bytes, const char* fileName,
                               const std::string& message = {}) {
#if defined(__SANITIZE_ADDRESS__)
    const auto start = std::chrono::steady_clock::now();
    const LoadResult r = decodePictureBytes(bytes.data(), bytes.size(), fileName);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    EXPECT_TRUE(r.picture.empty());
    EXPECT_EQ(r.message, message);
#else
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(readWithinBounds(bytes, fileName, message), testing::ExitedWithCode(0), "");
#endif
}

// A PNG with a chunk after its header whose length claims 2 GiB; 40 bytes follow.
Bytes pngWithHugeChunk(const char* type) {
    return camera::withPngChunk(encodePicture(sample(3, 2), PictureFormat::Png), type,
                                Bytes(40, 'a'), 0x7FFFFFFF);
}

// An uncompressed 8-bit grey TIFF in one strip claiming w x h, with 4 bytes of pixels.
Bytes tiffClaiming(std::uint32_t w, std::uint32_t h) {
    Bytes t{'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::uint32_t entries[][3] = {{256, 4, w}, {257, 4, h}, {258, 3, 8},
                                        {259, 3, 1}, {262, 3, 1}, {273, 4, 8 + 2 + 9 * 12 + 4},
                                        {277, 3, 1}, {278, 4, h}, {279, 4, w * h}};
    test_bytes::add16(t, 9);
    for (const auto& e : entries) {
        test_bytes::add16(t, e[0]);
        test_bytes::add16(t, e[1]);
        test_bytes::add32(t, 1);
        test_bytes::add32(t, e[2]);
    }
    test_bytes::add32(t, 0);
    t.insert(t.end(), {1, 2, 3, 4});
    return t;
}

// A WebP (RIFF, extended header) whose canvas claims w x h over a 1 x 1 lossless
// picture written by cwebp 1.2.4.
Bytes webpClaiming(std::uint32_t w, std::uint32_t h) {
    const Bytes picture{0x56, 0x50, 0x38, 0x4c, 0x11, 0x00, 0x00, 0x00, 0x2f,
                        0x00, 0x00, 0x00, 0x00, 0x07, 0x50, 0x8a, 0x2a, 0xd4,
                        0xa3, 0xff, 0x81, 0x88, 0xe8, 0x7f, 0x00, 0x00};
    Bytes b{'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'E', 'B', 'P',
            'V', 'P', '8', 'X', 10, 0, 0, 0, 0,   0,   0,   0};
    for (std::uint32_t side : {w - 1, h - 1})
        for (int i = 0; i < 3; ++i)
            b.push_back(std::uint8_t(side >> (8 * i)));
    b.insert(b.end(), picture.begin(), picture.end());
    writeLe32(&b[4], std::uint32_t(b.size() - 8));
    return b;
}

// The test HEIF of 30 x 20 (a grid of one 64 x 64 tile), its grid's canvas claiming
// w x h in the 16-bit form of the grid header kept in the file's idat box.
Bytes heifGridClaiming(std::uint16_t w, std::uint16_t h) {
    Bytes heif = camera::readBytes(camera::testData("heif/grid30x20.heic"));
    const std::string idat = "idat";
    const auto at = std::search(heif.begin(), heif.end(), idat.begin(), idat.end());
    if (at == heif.end() || heif.end() - at < 12) {
        ADD_FAILURE() << "no grid header";
        return heif;
    }
    std::uint8_t* grid = &*at + 4; // version, flags, rows - 1, columns - 1, width, height
    grid[4] = std::uint8_t(w >> 8);
    grid[5] = std::uint8_t(w);
    grid[6] = std::uint8_t(h >> 8);
    grid[7] = std::uint8_t(h);
    return heif;
}

// The test HEIF of 130 x 70 (coded 136 x 72) declaring w x h in its ispe property.
Bytes heifDeclaring(std::uint32_t w, std::uint32_t h) {
    Bytes heif = camera::readBytes(camera::testData("heif/plain130x70.heic"));
    const std::string ispe = "ispe";
    const auto at = std::search(heif.begin(), heif.end(), ispe.begin(), ispe.end());
    if (at == heif.end() || heif.end() - at < 16) {
        ADD_FAILURE() << "no ispe";
        return heif;
    }
    test_bytes::putBe32(&*at + 8, w);
    test_bytes::putBe32(&*at + 12, h);
    return heif;
}

TEST(HostileReader, CameraFormsAndBufferedChunksStayWithinTheirBounds) {
    Bytes tiffCut = tiffClaiming(2, 3); // six pixels claimed, four there
    Bytes heifCut = camera::readBytes(camera::testData("heif/plain130x70.heic"));
    heifCut.resize(heifCut.size() * 2 / 3);
    const struct {
        const char* name;
        const char* fileName;
        Bytes bytes;
        std::string message;
    } cases[] = {
        // Text and palette chunks were allocated at their claimed length (2 GiB, seconds).
        {"PNG tEXt of 2 GiB", "a.png", pngWithHugeChunk("tEXt"), ""},
        {"PNG zTXt of 2 GiB", "a.png", pngWithHugeChunk("zTXt"), ""},
        {"PNG iTXt of 2 GiB", "a.png", pngWithHugeChunk("iTXt"), ""},
        {"PNG sPLT of 2 GiB", "a.png", pngWithHugeChunk("sPLT"), ""},
        {"TIFF of 100000 x 100000", "a.tif", tiffClaiming(100000, 100000),
         pictureTooLargeMessage(100000, 100000)},
        {"TIFF sides allowed, area not", "a.tiff", tiffClaiming(16384, 16384),
         pictureTooLargeMessage(16384, 16384)},
        {"TIFF cut in its pixels", "a.tif", tiffCut, ""},
        {"WebP canvas one pixel too high", "a.webp", webpClaiming(16384, 16385),
         pictureTooLargeMessage(16384, 16385)},
        {"WebP canvas of 2^24 x 255", "a.webp", webpClaiming(1 << 24, 255),
         pictureTooLargeMessage(1 << 24, 255)},
        // libheif allocated the grid's canvas, whatever the declared size: 1.7 GB, 18 s.
        {"HEIF grid canvas of 16000 x 16000", "a.heic", heifGridClaiming(16000, 16000),
         pictureTooLargeMessage(16000, 16000)},
        {"HEIF grid canvas of 60000 x 60000", "a.heic", heifGridClaiming(60000, 60000),
         pictureTooLargeMessage(60000, 60000)},
        {"HEIF declaring 100000 x 100000", "a.heic", heifDeclaring(100000, 100000),
         pictureTooLargeMessage(100000, 100000)},
        // Coded larger than declared: libheif decoded what the coded picture said.
        {"HEIF coded 136 x 72, declared 30 x 20", "a.heic", heifDeclaring(30, 20), ""},
        {"HEIF cut short", "a.heic", heifCut, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectRefusedWithinBounds(c.bytes, c.fileName, c.message);
    }
    // The same files, sound, are read.
    const Bytes sound[][2] = {{tiffClaiming(2, 2), {}},
                              {webpClaiming(1, 1), {}},
                              {heifGridClaiming(30, 20), {}},
                              {heifDeclaring(130, 70), {}}};
    const char* names[] = {"a.tif", "a.webp", "a.heic", "a.heic"};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(
            decodePictureBytes(sound[i][0].data(), sound[i][0].size(), names[i]).picture.empty())
            << names[i];
}

} // namespace
} // namespace quill
