// Small files whose headers lie: sizes over the limits, lengths past the end, offsets
// outside the file. Each reader must refuse them before it allocates anything sized by
// the lie, with the program's message where the size is the reason.
#include "imaging/BmpCodec.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/imaging/ByteWriting.h"

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
