// BMP files of every depth and form, and the forms that hold such bitmaps: icons (or PNG
// pictures in them) and metafiles.
#include "imaging/BmpCodec.h"
#include "imaging/IcoCodec.h"
#include "imaging/MetafileCodec.h"
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
using test_bytes::randomPicture;
using test_bytes::rgb;

// Everything a test BMP file can say about itself, lies included.
struct BmpSpec {
    std::uint32_t headerSize = 40;
    std::int32_t width = 3;
    std::int32_t height = 2;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks = {};
    std::vector<std::uint32_t> palette = {}; // 0x00RRGGBB
    std::uint32_t clrUsed = 0;
    std::uint32_t sizeImage = 0;
    Bytes bits = {};
    std::int64_t offBits = -1; // -1: where the bits really start
};

Bytes makeBmp(const BmpSpec& s) {
    Bytes b = {'B', 'M'};
    add32(b, {0, 0, 0}); // file size, reserved, pixel offset: patched below
    if (s.headerSize == 12) {
        add32(b, 12);
        add16(b, {std::uint32_t(s.width), std::uint32_t(s.height), 1, s.bitCount});
        for (std::uint32_t c : s.palette)
            b.insert(b.end(), {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16)});
    } else {
        add32(b, {s.headerSize, std::uint32_t(s.width), std::uint32_t(s.height)});
        add16(b, {1, s.bitCount});
        add32(b, {s.compression, s.sizeImage, 2835, 2835, s.clrUsed, 0});
        add32(b, s.masks); // after a 40-byte header, or inside a longer one
        if (s.headerSize > 40)
            b.resize(14 + s.headerSize, 0);
        add32(b, s.palette);
    }
    const std::uint32_t off = std::uint32_t(s.offBits >= 0 ? s.offBits : std::int64_t(b.size()));
    b.insert(b.end(), s.bits.begin(), s.bits.end());
    writeLe32(&b[2], std::uint32_t(b.size()));
    writeLe32(&b[10], off);
    return b;
}

constexpr std::uint32_t kBlack = 0xFF000000u;

std::vector<std::uint32_t> greyRamp256() {
    std::vector<std::uint32_t> p;
    for (std::uint32_t i = 0; i < 256; ++i)
        p.push_back((i << 16) | ((255 - i) << 8) | (i / 2));
    return p;
}

struct DepthCase {
    const char* name;
    BmpSpec spec;
    std::vector<std::uint32_t> expected; // top row first
};

// Each case stores a 3 x 2 picture (so every row needs padding) in one form; the
// expected pixels are worked out by hand from the stored bytes.
std::vector<DepthCase> depthCases() {
    // Rows of three pixels 10..18 then 1..9 as stored, bottom row first unless top-down.
    const Bytes rows24 = {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,
                          1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0};
    const Bytes rows32 = {1,  2,  3,  0x11, 4,  5,  6,  0x22, 7,  8,  9,  0x33,
                          10, 11, 12, 0x44, 13, 14, 15, 0x55, 16, 17, 18, 0x66};
    const Bytes rows16 = {0x00, 0x00, 0xE0, 0x03, 0x1F, 0x00, 0, 0,
                          0xFF, 0x7F, 0x00, 0x7C, 0x10, 0x42, 0, 0};
    const Bytes rows8 = {7, 8, 9, 0, 0, 128, 255, 0};
    const std::vector<std::uint32_t> lowRowOnTop = {rgb(3, 2, 1),    rgb(6, 5, 4),
                                                    rgb(9, 8, 7),    rgb(12, 11, 10),
                                                    rgb(15, 14, 13), rgb(18, 17, 16)};
    const std::vector<std::uint32_t> highRowOnTop = {rgb(12, 11, 10), rgb(15, 14, 13),
                                                     rgb(18, 17, 16), rgb(3, 2, 1),
                                                     rgb(6, 5, 4),    rgb(9, 8, 7)};
    const std::vector<std::uint32_t> highRowOnTopWithAlpha = {
        rgb(12, 11, 10, 0x44), rgb(15, 14, 13, 0x55), rgb(18, 17, 16, 0x66),
        rgb(3, 2, 1, 0x11),    rgb(6, 5, 4, 0x22),    rgb(9, 8, 7, 0x33)};
    // 5-bit 16 widens to 132 and 1 to 8: rounded, not shifted.
    const std::vector<std::uint32_t> rgb555 = {rgb(255, 255, 255), rgb(255, 0, 0),
                                               rgb(132, 132, 132), rgb(0, 0, 0),
                                               rgb(0, 255, 0),     rgb(0, 0, 255)};
    auto ramp = [](int i) { return rgb(i, 255 - i, i / 2); };
    const std::vector<std::uint32_t> ramp8 = {ramp(0), ramp(128), ramp(255),
                                              ramp(7), ramp(8),   ramp(9)};
    const std::vector<std::uint32_t> alphaMasks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    const std::uint32_t p1 = rgb(10, 20, 30), q0 = rgb(1, 2, 3), q1 = rgb(4, 5, 6),
                        q2 = rgb(7, 8, 9);
    const std::uint32_t e0 = rgb(0x11, 0x22, 0x33), e1 = rgb(0x44, 0x55, 0x66);
    return {
        // bottom row 1,0,1 = 1010 0000; top row 0,1,1 = 0110 0000
        {"1 bit",
         {.bitCount = 1, .palette = {0x000000, 0x0A141E}, .bits = {0xA0, 0, 0, 0, 0x60, 0, 0, 0}},
         {kBlack, p1, p1, p1, kBlack, p1}},
        // bottom 1,1,2; top 2,0,1
        {"4 bit, short colour table",
         {.bitCount = 4,
          .palette = {0x010203, 0x040506, 0x070809},
          .clrUsed = 3,
          .bits = {0x11, 0x20, 0, 0, 0x20, 0x10, 0, 0}},
         {q2, q0, q1, q1, q1, q2}},
        {"8 bit", {.bitCount = 8, .palette = greyRamp256(), .bits = rows8}, ramp8},
        // Index 5 is past the two colours the file has: opaque black.
        {"8 bit, index past the colour table",
         {.bitCount = 8,
          .palette = {0x112233, 0x445566},
          .clrUsed = 2,
          .bits = {0, 1, 5, 0, 1, 0, 0, 0}},
         {e1, e0, e0, e0, e1, kBlack}},
        {"16 bit 555", {.bitCount = 16, .bits = rows16}, rgb555},
        // 0x0821: red 1 of 31 -> 8, green 1 of 63 -> 4, blue 1 of 31 -> 8.
        {"16 bit 565 bit fields",
         {.bitCount = 16,
          .compression = 3,
          .masks = {0xF800, 0x07E0, 0x001F},
          .bits = {0x00, 0x00, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0xFF, 0xFF, 0x10, 0x84, 0x21, 0x08, 0,
                   0}},
         {rgb(255, 255, 255), rgb(132, 130, 132), rgb(8, 4, 8), rgb(0, 0, 0), rgb(255, 0, 0),
          rgb(0, 0, 255)}},
        // An alpha mask on 16 bits names no real alpha: opaque.
        {"16 bit 1555 alpha bit fields",
         {.bitCount = 16,
          .compression = 6,
          .masks = {0x7C00, 0x03E0, 0x001F, 0x8000},
          .bits = rows16},
         rgb555},
        {"24 bit, lying image size",
         {.sizeImage = 0xFFFFFFF0, .bits = rows24},
         lowRowOnTop}, // never trusted
        {"24 bit top-down",
         {.height = -2, .bits = rows24},
         highRowOnTop}, // first stored row on top
        // The last row without its padding, as some writers leave it.
        {"24 bit, last row unpadded",
         {.bits = Bytes(rows24.begin(), rows24.end() - 3)},
         lowRowOnTop},
        {"OS/2 core header",
         {.headerSize = 12, .bitCount = 8, .palette = greyRamp256(), .bits = rows8},
         ramp8},
        {"32 bit, plain header: alpha ignored", {.bitCount = 32, .bits = rows32}, highRowOnTop},
        {"32 bit V5 with alpha mask: alpha kept",
         {.headerSize = 124, .bitCount = 32, .compression = 3, .masks = alphaMasks, .bits = rows32},
         highRowOnTopWithAlpha},
        {"32 bit V4 without bit fields, alpha mask: alpha kept",
         {.headerSize = 108, .bitCount = 32, .masks = alphaMasks, .bits = rows32},
         highRowOnTopWithAlpha},
        {"32 bit V5 without alpha mask: alpha 255",
         {.headerSize = 124,
          .bitCount = 32,
          .compression = 3,
          .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0},
          .bits = rows32},
         highRowOnTop},
        // BI_ALPHABITFIELDS: four masks after a plain header
        {"32 bit alpha bit fields: alpha kept",
         {.bitCount = 32, .compression = 6, .masks = alphaMasks, .bits = rows32},
         highRowOnTopWithAlpha},
        // red in the first byte
        {"32 bit bit fields, swapped red and blue",
         {.bitCount = 32,
          .compression = 3,
          .masks = {0x000000FF, 0x0000FF00, 0x00FF0000},
          .bits = rows32},
         {rgb(10, 11, 12), rgb(13, 14, 15), rgb(16, 17, 18), rgb(1, 2, 3), rgb(4, 5, 6),
          rgb(7, 8, 9)}}};
}

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

// A packed 24-bit DIB (BITMAPINFOHEADER and rows) of a picture.
Bytes packedDib(const TBitmap32& pic) {
    const Bytes bmp = encodeBmp(pic, 24);
    return Bytes(bmp.begin() + 14, bmp.end());
}

TEST(BmpDecode, EveryDepthAndRowOrder) {
    for (const DepthCase& c : depthCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = makeBmp(c.spec);
        LoadResult r = decodeBmp(file.data(), file.size());
        EXPECT_EQ(r.message, "");
        ASSERT_EQ(r.picture.width(), 3);
        ASSERT_EQ(r.picture.height(), 2);
        EXPECT_EQ(pixelsOf(r.picture), c.expected);
    }
}

TEST(BmpDecode, RunLengthStreams) {
    // Colour i of the table is (10 i, 20 i, 30 i); pixels the stream skips stay black.
    const auto entry = [](int i) { return rgb(10 * i, 20 * i, 30 * i); };
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < 10; ++i)
        palette.push_back(entry(i) & 0xFFFFFFu);
    const std::uint32_t K = kBlack, e1 = entry(1), e2 = entry(2), e3 = entry(3), e4 = entry(4),
                        e5 = entry(5), e7 = entry(7), e9 = entry(9);
    const struct {
        const char* name;
        std::uint32_t compression;
        int width, height;
        Bytes stream;
        Pixels expected; // top row first
    } cases[] = {
        {"RLE8 runs, absolute run, delta and end of line", 1, 4, 3,
         Bytes{3, 5, 0, 0, /**/ 0, 3, 1, 2, 3, 0, 0, 0, /**/ 0, 2, 2, 0, 2, 7, 0, 1},
         Pixels{K, K, e7, e7, e1, e2, e3, K, e5, e5, e5, K}},
        {"RLE4 alternating nibbles and an odd absolute run", 2, 5, 2,
         Bytes{5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1},
         Pixels{e3, e4, e5, K, K, e1, e2, e1, e2, e1}},
        {"a run longer than the row does not wrap into the next", 1, 2, 2,
         Bytes{5, 9, 0, 0, 1, 4, 0, 1}, Pixels{e4, K, e9, e9}},
        {"an absolute run longer than the row is clipped", 1, 2, 1, Bytes{0, 4, 1, 2, 3, 4, 0, 1},
         Pixels{e1, e2}},
        {"a delta below the picture ends it", 1, 2, 2, Bytes{1, 3, 0, 2, 0, 9, 5, 1},
         Pixels{K, K, e3, K}},
        {"an absolute run cut by the end of the file", 1, 4, 1, Bytes{0, 5, 1, 2},
         Pixels{e1, e2, K, K}},
        {"a delta cut by the end of the file", 1, 3, 1, Bytes{1, 4, 0, 2, 1}, Pixels{e4, K, K}},
        {"a stream without end of bitmap", 1, 2, 1, Bytes{2, 3}, Pixels{e3, e3}},
        {"an empty stream leaves the picture black", 2, 3, 2, Bytes{}, Pixels(6, K)},
        {"a run past the last row is dropped", 1, 1, 1, Bytes{1, 2, 0, 0, 1, 3, 0, 0, 1, 4},
         Pixels{e2}}};
    for (const auto& c : cases) {
        const Bytes file = makeBmp({.width = c.width,
                                    .height = c.height,
                                    .bitCount = std::uint16_t(c.compression == 1 ? 8 : 4),
                                    .compression = c.compression,
                                    .palette = palette,
                                    .clrUsed = 10,
                                    .bits = c.stream});
        LoadResult r = decodeBmp(file.data(), file.size());
        EXPECT_EQ(r.message, "") << c.name;
        ASSERT_EQ(r.picture.width(), c.width) << c.name;
        ASSERT_EQ(r.picture.height(), c.height) << c.name;
        EXPECT_EQ(pixelsOf(r.picture), c.expected) << c.name;
    }
}

// Files of the wrong size for the picture limits are in the hostile reader tests.
TEST(BmpDecode, DamagedAndLyingFilesAreRefusedWithAReason) {
    const Bytes sevens(24, 7), good = makeBmp({.bits = sevens});
    Bytes wrongSignature = good;
    wrongSignature[0] = 'X';
    const struct {
        const char* name;
        Bytes file;
        std::string message; // the whole message
    } cases[] = {
        {"nothing", {}, "the file is too short to be a BMP file"},
        {"a file header only", Bytes(good.begin(), good.begin() + 14),
         "the file is too short to be a BMP file"},
        {"wrong signature", wrongSignature, "not a BMP file"},
        {"header cut short", Bytes(good.begin(), good.begin() + 14 + 30),
         "the bitmap header is truncated"},
        {"unknown header size", makeBmp({.headerSize = 20}), "unsupported bitmap header size 20"},
        // one byte short of the unpadded last row
        {"pixel rows cut short", makeBmp({.bits = Bytes(20, 7)}),
         "the pixel data is truncated (20 of 21 bytes)"},
        {"no columns", makeBmp({.width = 0, .bits = sevens}), "the picture has no pixels (0 x 2)"},
        {"negative width", makeBmp({.width = -3, .bits = sevens}),
         "the picture has no pixels (-3 x 2)"},
        {"odd bit count", makeBmp({.bitCount = 7, .bits = sevens}), "unsupported bit count 7"},
        {"RLE8 on 24 bits", makeBmp({.compression = 1, .bits = sevens}),
         "RLE8 compression needs 8 bits per pixel"},
        {"embedded JPEG", makeBmp({.compression = 4, .bits = sevens}),
         "JPEG or PNG data inside a BMP file is not supported"},
        {"unknown compression", makeBmp({.compression = 9, .bits = sevens}),
         "unsupported compression 9"},
        // says 200 colours, the file holds 3
        {"colour table larger than the file",
         makeBmp({.bitCount = 8, .palette = {1, 2, 3}, .clrUsed = 200}),
         "the colour table is truncated"},
        {"mask with a gap",
         makeBmp({.bitCount = 16,
                  .compression = 3,
                  .masks = {0x0F0F, 0x00F0, 0},
                  .bits = Bytes(16, 0)}),
         "a bit-field mask is not valid"},
        {"mask wider than the pixel",
         makeBmp({.bitCount = 16,
                  .compression = 3,
                  .masks = {0x1F0000, 0x07E0, 0x001F},
                  .bits = Bytes(16, 0)}),
         "a bit-field mask is not valid"},
        {"masks cut short", makeBmp({.bitCount = 16, .compression = 3, .masks = {0xF800}}),
         "the bit-field masks are truncated"},
        {"pixel offset past the end", makeBmp({.bits = sevens, .offBits = 0x7FFFFFFF}),
         "the pixel data offset lies outside the file"}};
    for (const auto& c : cases) {
        LoadResult r = decodeBmp(c.file.data(), c.file.size());
        EXPECT_TRUE(r.picture.empty()) << c.name;
        EXPECT_EQ(r.message, c.message) << c.name;
    }
}

TEST(BmpDecode, PixelOffsetInsideTheColourTableFallsBackToTheRowsAfterIt) {
    const Bytes f = makeBmp({.width = 1,
                             .height = 1,
                             .bitCount = 8,
                             .palette = {0x112233, 0x445566},
                             .clrUsed = 2,
                             .bits = {1, 0, 0, 0},
                             .offBits = 14 + 40});
    LoadResult r = decodeBmp(f.data(), f.size());
    EXPECT_EQ(pixelsOf(r.picture), Pixels{rgb(0x44, 0x55, 0x66)});
}

TEST(BmpDecode, EveryPrefixOfAFileDecodesWhollyOrFailsCleanly) {
    for (const DepthCase& c : depthCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = makeBmp(c.spec);
        for (std::size_t n = 0; n < file.size(); ++n) {
            // A copy, so that a read past its end shows under the sanitizers.
            const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(n));
            LoadResult r = decodeBmp(cut.data(), cut.size());
            if (r.picture.empty())
                EXPECT_NE(r.message, "") << n;
            else
                EXPECT_EQ(pixelsOf(r.picture), c.expected) << n; // only the unpadded tail may go
        }
    }
}

TEST(BmpEncode, ExactBytesOfBothDepths) {
    const TBitmap32 pic =
        pictureOf(3, 2,
                  {rgb(1, 2, 3, 4), rgb(5, 6, 7, 8), rgb(9, 10, 11, 12), rgb(13, 14, 15, 16),
                   rgb(17, 18, 19, 20), rgb(21, 22, 23, 24)});
    struct Case {
        int bits;
        Bytes rows; // bottom row first, as stored
    } cases[] = {
        {24, {15, 14, 13, 19, 18, 17, 23, 22, 21, 0, 0, 0, 3, 2, 1, 7, 6, 5, 11, 10, 9, 0, 0, 0}},
        {32,
         {15, 14, 13, 16, 19, 18, 17, 20, 23, 22, 21, 24, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}}};
    TBitmap32 opaque = pic;
    SetAlpha(opaque, 255);
    for (const Case& c : cases) {
        // A plain 40-byte header, positive height (bottom-up), 2835 pixels a metre.
        const Bytes f = encodeBmp(pic, c.bits);
        EXPECT_EQ(f, makeBmp({.bitCount = std::uint16_t(c.bits),
                              .sizeImage = std::uint32_t(c.rows.size()),
                              .bits = c.rows}))
            << c.bits;
        // Read back, the picture comes with alpha 255: a plain header names no alpha.
        EXPECT_TRUE(decodeBmp(f.data(), f.size()).picture == opaque) << c.bits;
    }
    EXPECT_TRUE(encodeBmp(TBitmap32(), 24).empty());
    EXPECT_TRUE(encodeBmp(TBitmap32(2, 2), 16).empty());
    EXPECT_TRUE(encodeBmp(TBitmap32(2, 2), 8).empty());
}

TEST(BmpEncode, LargeOddPictureRoundTripsThroughBothDepths) {
    // Big enough for the rows to be split among threads, odd so rows need padding.
    const TBitmap32 pic = randomPicture(701, 503, 7, testpictures::PictureAlpha::Opaque);
    for (int bits : {24, 32}) {
        const Bytes f = encodeBmp(pic, bits);
        EXPECT_TRUE(decodeBmp(f.data(), f.size()).picture == pic) << bits;
    }
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

TEST(EmfEncode, LayoutOfHeaderRecordAndEnd) {
    const TBitmap32 pic = randomPicture(3, 2, 1);
    const Bytes f = encodeEmf(pic);
    const std::uint32_t rows = 12 * 2; // 9 bytes a row padded to 12
    ASSERT_EQ(f.size(), 108u + 80 + 40 + rows + 20);
    // Runs of 32-bit words: where each starts and what it holds.
    const std::uint32_t size = std::uint32_t(f.size());
    const std::pair<std::size_t, std::vector<std::uint32_t>> runs[] = {
        {0, {1, 108, 0, 0, 2, 1}},             // EMR_HEADER, its size, bounds (inclusive)
        {40, {0x464D4520, 0x10000, size, 3}},  // " EMF", version, file size, records
        {108, {81, 80 + 40 + rows}},           // EMR_STRETCHDIBITS, its size
        {108 + 40, {3, 2, 80, 40, 120, rows}}, // source size; header and bits: offset, size
        {108 + 68, {0x00CC0020, 3, 2}},        // SRCCOPY, destination size
        {108 + 80 + 12, {24 << 16 | 1}},       // planes 1, 24 bits
        {size - 20, {14, 20}},                 // EMR_EOF, its size
        {size - 4, {20}}                       // nSizeLast
    };
    for (const auto& [at, words] : runs)
        for (std::size_t i = 0; i < words.size(); ++i)
            EXPECT_EQ(readLe32(&f[at + 4 * i]), words[i]) << "at byte " << at + 4 * i;
    EXPECT_EQ(Bytes(f.begin() + 108 + 80, f.end() - 20), packedDib(pic));
    EXPECT_TRUE(encodeEmf(TBitmap32()).empty());
}

// An EMF made record by record: header with bounds, the given records, end record.
Bytes emfWith(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
              const std::vector<Bytes>& records, bool withEnd = true) {
    Bytes f;
    add32(f, {1, 88, std::uint32_t(l), std::uint32_t(t), std::uint32_t(r), std::uint32_t(b)});
    add32(f, {0, 0, 0, 0, 0x464D4520, 0x10000, 0, std::uint32_t(records.size() + 2)});
    f.resize(88, 0);
    for (const Bytes& rec : records)
        f.insert(f.end(), rec.begin(), rec.end());
    if (withEnd)
        add32(f, {14, 20, 0, 16, 20});
    writeLe32(&f[48], std::uint32_t(f.size()));
    return f;
}

// EMR_STRETCHDIBITS: destination x, y, w, h; source x, y, w, h; the packed DIB.
Bytes stretchDiBits(std::vector<std::int32_t> at, const Bytes& dib) {
    Bytes r;
    add32(r, {81, std::uint32_t(80 + dib.size()), 0, 0, 0, 0});
    for (int i : {0, 1, 4, 5, 6, 7})
        add32(r, std::uint32_t(at[i]));
    add32(r, {80, 40, 120, std::uint32_t(dib.size() - 40), 0, 0x00CC0020});
    add32(r, {std::uint32_t(at[2]), std::uint32_t(at[3])});
    r.insert(r.end(), dib.begin(), dib.end());
    return r;
}

TEST(EmfDecode, BitmapRecordsDrawnOnWhite) {
    const std::uint32_t A = rgb(10, 0, 0), B = rgb(0, 20, 0), C = rgb(0, 0, 30),
                        D = rgb(40, 40, 40), W = kWhite;
    const TBitmap32 twoByTwo = pictureOf(2, 2, {A, B, C, D}), none;
    const Bytes dib = packedDib(twoByTwo), whole = stretchDiBits({0, 0, 2, 2, 0, 0, 2, 2}, dib);
    Bytes rectangle; // EMR_RECTANGLE
    add32(rectangle, {43, 24, 1, 1, 5, 5});
    // The bitmap drawn whole, with one field of its record changed.
    const auto patched = [&](std::size_t at, std::uint32_t value, bool word = false) {
        Bytes rec = whole;
        word ? writeLe16(&rec[at], value) : writeLe32(&rec[at], value);
        return emfWith(0, 0, 1, 1, {rec});
    };
    const std::string damaged = "metafile record at byte 88 is damaged";
    const struct {
        const char* name;
        Bytes file;
        TBitmap32 expected;
        std::string message;
    } cases[] = {
        {"doubled: each source pixel covers two by two",
         emfWith(0, 0, 3, 3, {stretchDiBits({0, 0, 4, 4, 0, 0, 2, 2}, dib)}),
         pictureOf(4, 4, {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D}), ""},
        {"placed at (1,1) in a 3 x 3 metafile: the rest stays white",
         emfWith(0, 0, 2, 2, {stretchDiBits({1, 1, 2, 2, 0, 0, 2, 2}, dib)}),
         pictureOf(3, 3, {W, W, W, W, A, B, W, C, D}), ""},
        {"bounds not at the origin",
         emfWith(10, 20, 11, 21, {stretchDiBits({10, 20, 2, 2, 0, 0, 2, 2}, dib)}), twoByTwo, ""},
        // The source rectangle of a bottom-up DIB is measured from its bottom edge: y 0,
        // height 1 is the bottom row (C, D).
        {"one source row from the bottom",
         emfWith(0, 0, 1, 0, {stretchDiBits({0, 0, 2, 1, 0, 0, 2, 1}, dib)}),
         pictureOf(2, 1, {C, D}), ""},
        {"mirrored by a negative destination width",
         emfWith(0, 0, 1, 1, {stretchDiBits({2, 0, -2, 2, 0, 0, 2, 2}, dib)}),
         pictureOf(2, 2, {B, A, D, C}), ""},
        {"drawn partly outside the bounds",
         emfWith(0, 0, 1, 1, {stretchDiBits({-1, -1, 2, 2, 0, 0, 2, 2}, dib)}),
         pictureOf(2, 2, {D, W, W, W}), ""},
        {"a destination two billion pixels wide: the first source column fills the view",
         emfWith(0, 0, 1, 0, {stretchDiBits({0, 0, 0x7FFFFFFF, 1, 0, 0, 2, 2}, dib)}),
         pictureOf(2, 1, {A, A}), ""},
        {"no bitmap record", emfWith(0, 0, 9, 9, {rectangle}), none, ""},
        {"no records at all", emfWith(0, 0, 9, 9, {}), none, ""},
        {"bitmap offsets outside the record are skipped", patched(56, 0x7FFFFFF0), none, ""},
        {"record size past the end of the file", patched(4, 0xFFFFFFF0), none, damaged},
        {"record size smaller than a record can be", patched(4, 6), none, damaged},
        {"no end record", emfWith(0, 0, 9, 9, {rectangle}, false), none,
         "the metafile ends without its end record"},
        {"a bitmap before a missing end record still shows", emfWith(0, 0, 1, 1, {whole}, false),
         twoByTwo, ""},
        {"a bitmap that cannot be decoded", patched(80 + 14, 7, true), none,
         "unsupported bit count 7"},
        {"bounds over the size limit", emfWith(0, 0, 99999, 99999, {whole}), none,
         pictureTooLargeMessage(100000, 100000)}};
    for (const auto& c : cases) {
        LoadResult r = decodeMetafile(c.file.data(), c.file.size());
        EXPECT_EQ(r.message, c.message) << c.name;
        EXPECT_TRUE(r.picture == c.expected)
            << c.name << ": " << r.picture.width() << " x " << r.picture.height();
    }
}

// A WMF: optional placeable header, META_HEADER, records, META_EOF.
Bytes wmfWith(bool placeable, std::int16_t boxRight, std::int16_t boxBottom, std::uint16_t inch,
              const std::vector<Bytes>& records) {
    Bytes f;
    if (placeable) {
        add32(f, 0x9AC6CDD7);
        add16(f, {0, 0, 0, std::uint16_t(boxRight), std::uint16_t(boxBottom), inch});
        add32(f, 0);
        add16(f, 0); // checksum, not checked
    }
    add16(f, {1, 9, 0x300});
    add32(f, 0);
    add16(f, 0);
    add32(f, 0);
    add16(f, 0);
    for (const Bytes& r : records)
        f.insert(f.end(), r.begin(), r.end());
    add32(f, 3);
    add16(f, 0);
    return f;
}

Bytes wmfRecord(std::uint16_t function, const std::vector<std::int16_t>& params,
                const Bytes& dib = {}) {
    Bytes r;
    add32(r, 0);
    add16(r, function);
    for (std::int16_t v : params)
        add16(r, std::uint16_t(v));
    r.insert(r.end(), dib.begin(), dib.end());
    r.resize((r.size() + 1) / 2 * 2, 0);
    writeLe32(r.data(), std::uint32_t(r.size() / 2));
    return r;
}

TEST(WmfDecode, BitmapRecords) {
    const std::uint32_t A = rgb(10, 0, 0), B = rgb(0, 20, 0), C = rgb(0, 0, 30),
                        D = rgb(40, 40, 40), W = kWhite;
    const TBitmap32 twoByTwo = pictureOf(2, 2, {A, B, C, D});
    const Bytes dib = packedDib(twoByTwo);
    // META_STRETCHDIB parameters: rop (two words), usage, source h, w, y, x, dest h, w, y, x.
    const Bytes stretchDib = wmfRecord(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0}, dib);
    const Bytes stretchDibDoubled =
        wmfRecord(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 4, 4, 0, 0}, dib);
    // META_DIBSTRETCHBLT: rop, source h, w, y, x, dest h, w, y, x.
    const Bytes dibStretchBlt = wmfRecord(0x0B41, {0x0020, 0x00CC, 2, 2, 0, 0, 2, 2, 1, 1}, dib);
    const struct {
        const char* name;
        Bytes file;
        TBitmap32 expected;
    } cases[] = {
        {"placeable, 96 per inch", wmfWith(true, 2, 2, 96, {stretchDib}), twoByTwo},
        {"placeable, 192 per inch: half size", wmfWith(true, 4, 4, 192, {stretchDibDoubled}),
         twoByTwo},
        {"window extent", wmfWith(false, 0, 0, 0, {wmfRecord(0x020C, {3, 3}), dibStretchBlt}),
         pictureOf(3, 3, {W, W, W, W, A, B, W, C, D})},
        {"no size given: the bitmaps' extent", wmfWith(false, 0, 0, 0, {stretchDibDoubled}),
         pictureOf(4, 4, {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D})},
        // META_DIBBITBLT: rop, source y, x, height, width, dest y, x.
        {"bit block transfer",
         wmfWith(false, 0, 0, 0,
                 {wmfRecord(0x020C, {3, 3}),
                  wmfRecord(0x0940, {0x0020, 0x00CC, 0, 0, 2, 2, 1, 1}, dib)}),
         pictureOf(3, 3, {W, W, W, W, A, B, W, C, D})},
        // META_SETDIBTODEV: usage, scans, start scan, source y, x, height, width, dest y, x.
        // One scan from the bottom: only the bottom row (C, D) is drawn.
        {"band of one scan line",
         wmfWith(false, 0, 0, 0,
                 {wmfRecord(0x020C, {2, 2}), wmfRecord(0x0D33, {0, 1, 0, 0, 0, 2, 2, 0, 0}, dib)}),
         pictureOf(2, 2, {W, W, C, D})},
        {"no bitmap record", wmfWith(true, 2, 2, 96, {wmfRecord(0x020C, {3, 3})}), TBitmap32()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult r = decodeMetafile(c.file.data(), c.file.size());
        EXPECT_EQ(r.message, "");
        EXPECT_TRUE(r.picture == c.expected) << r.picture.width() << " x " << r.picture.height();
    }
}

TEST(MetafileDecode, NotAMetafileAndEveryPrefixFailCleanly) {
    const Bytes junk(100, 0x41);
    LoadResult r = decodeMetafile(junk.data(), junk.size());
    EXPECT_TRUE(r.picture.empty());
    EXPECT_EQ(r.message, "the metafile header is damaged");
    r = decodeMetafile(nullptr, 0);
    EXPECT_EQ(r.message, "the file is too short to be a metafile");

    const Bytes emf = encodeEmf(randomPicture(3, 3, 5));
    const Bytes dib = packedDib(randomPicture(2, 2, 6));
    const Bytes wmf = wmfWith(
        true, 2, 2, 96, {wmfRecord(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0}, dib)});
    // Every prefix of a metafile or an icon decodes wholly or fails with a message: a cut
    // file is damaged, never silently empty. Copies, so that a read past the end shows
    // under the sanitizers.
    const Bytes ico = makeIco({{solidDib(3, 3, 8, 0x123456)}, {solidDib(2, 2, 32, 0x654321)}});
    for (const Bytes* file : {&emf, &wmf, &ico})
        for (std::size_t n = 0; n < file->size(); ++n) {
            const Bytes cut(file->begin(), file->begin() + std::ptrdiff_t(n));
            const LoadResult p = file == &ico ? decodeIco(cut.data(), cut.size(), "p.ico")
                                              : decodeMetafile(cut.data(), cut.size());
            EXPECT_EQ(p.picture.empty(), !p.message.empty()) << n;
            EXPECT_TRUE(file != &ico || p.message.empty() ||
                        p.message.starts_with("Input picturep.icoError."))
                << p.message;
        }
}

} // namespace
} // namespace quill
