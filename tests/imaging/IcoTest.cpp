#include "imaging/IcoCodec.h"

#include "imaging/BmpCodec.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

using test_bytes::add16;
using test_bytes::add32;
using test_bytes::Bytes;
using test_bytes::pictureOf;
using test_bytes::Pixels;
using test_bytes::pixelsOf;
using test_bytes::rgb;

// The BMP image of an icon: header with doubled height, colour table, colour rows and
// AND-mask rows, both bottom-up.
Bytes iconDib(int w, int h, int bitCount, const Pixels& palette, const Bytes& colourRows,
              const Bytes& maskRows) {
    Bytes b;
    add32(b, {40, std::uint32_t(w), std::uint32_t(2 * h)});
    add16(b, {1, std::uint32_t(bitCount)});
    add32(b, {0, 0, 0, 0, std::uint32_t(palette.size()), 0});
    add32(b, palette);
    b.insert(b.end(), colourRows.begin(), colourRows.end());
    b.insert(b.end(), maskRows.begin(), maskRows.end());
    return b;
}

// One colour everywhere, nothing masked.
Bytes solidDib(int w, int h, int bitCount, std::uint32_t rgbColour) {
    if (bitCount <= 8) {
        const std::size_t rows = std::size_t(dibRowBytes(w, bitCount) * h);
        return iconDib(w, h, bitCount, {rgbColour}, Bytes(rows, 0),
                       Bytes(std::size_t(dibRowBytes(w, 1) * h), 0));
    }
    const Bytes bmp = encodeBmp(TBitmap32(w, h, rgbColour | 0xFF000000u), bitCount);
    Bytes dib(bmp.begin() + 14, bmp.end());
    writeLe32(&dib[8], std::uint32_t(2 * h));
    dib.resize(dib.size() + std::size_t(dibRowBytes(w, 1) * h), 0);
    return dib;
}

struct Image {
    Bytes data;
    int dirWidth = 0, dirHeight = 0, dirBits = 0; // what the directory claims
};

Bytes makeIco(const std::vector<Image>& images, std::uint32_t type = 1) {
    Bytes f;
    add16(f, {0, type, std::uint32_t(images.size())});
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (const Image& im : images) {
        f.insert(f.end(), {std::uint8_t(im.dirWidth), std::uint8_t(im.dirHeight), 0, 0});
        add16(f, {1, std::uint32_t(im.dirBits)});
        add32(f, {std::uint32_t(im.data.size()), offset});
        offset += std::uint32_t(im.data.size());
    }
    for (const Image& im : images)
        f.insert(f.end(), im.data.begin(), im.data.end());
    return f;
}

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

Bytes pngOf(const Pixels& pixels, int w, int h) {
    return encodePng(pictureOf(w, h, pixels));
}

// Each case: the picture read from a one-image icon, or the image chosen from several.
void expectIcon(const char* name, const std::vector<Image>& images, int width, int height,
                const Pixels& expected) {
    const Bytes file = makeIco(images);
    LoadResult r = decodeIco(file.data(), file.size(), "x.ico");
    EXPECT_EQ(r.message, "") << name;
    ASSERT_EQ(r.picture.width(), width) << name;
    ASSERT_EQ(r.picture.height(), height) << name;
    EXPECT_EQ(pixelsOf(r.picture), expected) << name;
}

TEST(IcoDecode, TransparentPixelsTurnWhite) {
    // 24 bits, 2 x 2: top row red, green; bottom row blue, (1,2,3). Rows of 6 bytes
    // padded to 8. The mask hides the top row's right pixel (bit 0x40 of its first byte).
    expectIcon("24-bit image, AND mask",
               {{iconDib(2, 2, 24, {}, {255, 0, 0, 3, 2, 1, 0, 0, /**/ 0, 0, 255, 0, 255, 0, 0, 0},
                         {0, 0, 0, 0, /**/ 0x40, 0, 0, 0})}},
               2, 2, {rgb(255, 0, 0), kWhite, rgb(0, 0, 255), rgb(1, 2, 3)});
    // 32 bits with alpha: 128 red over white keeps red 255 and gives (127*255) div 255
    // = 127 to green and blue; alpha 0 is white; the mask is not used.
    expectIcon(
        "32-bit image, alpha over white",
        {{iconDib(3, 1, 32, {}, {0, 0, 255, 128, 0, 255, 0, 0, 255, 0, 0, 255}, {0xE0, 0, 0, 0})}},
        3, 1, {rgb(255, 127, 127), kWhite, rgb(0, 0, 255)});
    // 32 bits whose alpha is all zero: an old-style icon, drawn through its mask.
    expectIcon("32-bit image without alpha, AND mask",
               {{iconDib(2, 1, 32, {}, {0, 0, 255, 0, 0, 255, 0, 0}, {0x80, 0, 0, 0})}}, 2, 1,
               {kWhite, rgb(0, 255, 0)});
    expectIcon("4-bit image, AND mask",
               {{iconDib(3, 1, 4, {0x000000, 0x102030}, {0x10, 0x10, 0, 0}, {0x20, 0, 0, 0})}}, 3,
               1, {rgb(0x10, 0x20, 0x30), rgb(0, 0, 0), kWhite});
    expectIcon("PNG image, alpha over white",
               {{pngOf({rgb(10, 20, 30), rgb(200, 100, 0, 0), rgb(0, 0, 0, 51)}, 3, 1)}}, 3, 1,
               {rgb(10, 20, 30), kWhite, rgb(204, 204, 204)});
}

TEST(IcoDecode, TakesTheLargestImageThenTheDeepest) {
    const auto solid = [](int w, int h, std::uint32_t c) { return Pixels(std::size_t(w * h), c); };
    expectIcon("same size: 24 bits beats 8 and 4",
               {{solidDib(2, 2, 32, 0x010101)},
                {solidDib(4, 4, 8, 0x020202)},
                {solidDib(4, 4, 24, 0x030303)},
                {solidDib(4, 4, 4, 0x040404)}},
               4, 4, solid(4, 4, rgb(3, 3, 3)));
    expectIcon("larger beats deeper",
               {{solidDib(1, 1, 32, 0x0A0A0A)}, {solidDib(3, 3, 1, 0x0B0B0B)}}, 3, 3,
               solid(3, 3, rgb(11, 11, 11)));
    expectIcon("equal images: the first in the directory",
               {{solidDib(2, 2, 24, 0x111111)}, {solidDib(2, 2, 24, 0x222222)}}, 2, 2,
               solid(2, 2, rgb(0x11, 0x11, 0x11)));
    expectIcon("a PNG of the same size with alpha is deeper",
               {{solidDib(2, 2, 24, 0x333333)}, {pngOf(solid(2, 2, rgb(9, 9, 9)), 2, 2)}}, 2, 2,
               solid(2, 2, rgb(9, 9, 9)));
    expectIcon("the directory's sizes are not believed",
               {{solidDib(2, 2, 24, 0x444444), 64, 64, 32}, {solidDib(3, 2, 8, 0x555555), 1, 1, 1}},
               3, 2, solid(3, 2, rgb(0x55, 0x55, 0x55)));
    // An image that cannot be decoded gives way to the next.
    Bytes broken = solidDib(8, 8, 24, 0x777777);
    broken.resize(60); // header and a few bytes of the colour rows
    expectIcon("broken first image", {{broken}, {solidDib(2, 2, 8, 0x123456)}}, 2, 2,
               solid(2, 2, rgb(0x12, 0x34, 0x56)));
}

struct BrokenCase {
    const char* name;
    Bytes file;
    std::string reason;
};

TEST(IcoDecode, BrokenIconsGiveTheJoinedMessage) {
    // A one-image icon, or its image, with one thing changed.
    const auto icon = [](void (*change)(Bytes&)) {
        Bytes f = makeIco({{solidDib(2, 2, 24, 0)}});
        change(f);
        return f;
    };
    const auto image = [](void (*change)(Bytes&)) {
        Bytes dib = solidDib(2, 2, 24, 0);
        change(dib);
        return makeIco({{dib}});
    };
    const BrokenCase cases[] = {
        {"empty file", {}, "The file is too short to be an icon"},
        {"a bitmap, not an icon", makeIco({{solidDib(2, 2, 24, 0)}}, 3), "Not an icon file"},
        {"no images", makeIco({}), "The icon holds no images"},
        {"directory cut short",
         icon([](Bytes& f) { f[4] = 5, f.resize(6 + 16 * 3); }), // five entries claimed
         "The icon directory is truncated"},
        {"entry offset past the end", icon([](Bytes& f) { writeLe32(&f[6 + 12], 0xFFFFFFF0u); }),
         "Entry 1 lies outside the file"},
        // a size that would wrap a 32-bit sum
        {"entry size wrapping", icon([](Bytes& f) { writeLe32(&f[6 + 8], 0xFFFFFFFFu); }),
         "Entry 1 lies outside the file"},
        // 10 of the 8 + 6 bytes the colour rows need
        {"colour rows cut short", image([](Bytes& dib) { dib.resize(40 + 10); }),
         "The pixel data is truncated (10 of 14 bytes)"},
        {"odd bit count", image([](Bytes& dib) { writeLe16(&dib[14], 7); }),
         "Entry 1: unsupported bit count 7"},
        {"image over the size limit", image([](Bytes& dib) { writeLe32(&dib[4], 20000); }),
         "Entry 1: " + pictureTooLargeMessage(20000, 2)}};
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult r = decodeIco(c.file.data(), c.file.size(), "/pics/broken.ico");
        EXPECT_TRUE(r.picture.empty());
        EXPECT_EQ(r.message, "Input picture/pics/broken.icoError." + c.reason);
    }
}

TEST(IcoDecode, DamagedPngImageIsReportedWithTheFileName) {
    Bytes png = pngOf({rgb(1, 2, 3), rgb(4, 5, 6)}, 2, 1);
    std::fill(png.begin() + 33, png.end(), 0x5A); // everything after the header chunk
    const Bytes file = makeIco({{png}});
    LoadResult r = decodeIco(file.data(), file.size(), "d.ico");
    EXPECT_TRUE(r.picture.empty());
    // The program's own words around the file name, then libpng's reason.
    const std::string head = "Input picture" + std::string("d.ico") + "Error.";
    EXPECT_TRUE(r.message.starts_with(head) && r.message.size() > head.size()) << r.message;
}

TEST(IcoDecode, EveryPrefixFailsCleanlyOrDecodes) {
    const Bytes file = makeIco({{solidDib(3, 3, 8, 0x123456)}, {solidDib(2, 2, 32, 0x654321)}});
    for (std::size_t n = 0; n < file.size(); ++n) {
        // A copy, so that a read past its end shows under the sanitizers.
        const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(n));
        LoadResult r = decodeIco(cut.data(), cut.size(), "p.ico");
        if (r.picture.empty())
            EXPECT_EQ(r.message.rfind("Input picturep.icoError.", 0), 0u) << n;
        else
            EXPECT_EQ(r.message, "") << n;
    }
}

} // namespace
} // namespace quill
