#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include <png.h>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

using test_bytes::randomPicture;

void appendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Writes rows of raw samples with libpng in any colour type and depth.
struct RawPng {
    int width = 1, height = 1, depth = 8, colourType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<png_color> palette = {};
    std::vector<png_byte> paletteAlpha = {};
    bool greyKey = false;
    png_uint_16 greyKeyValue = 0;
    std::vector<std::vector<png_byte>> rows = {}; // packed, big-endian samples as in the file

    std::vector<std::uint8_t> write() const {
        std::vector<std::uint8_t> out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            ADD_FAILURE() << "libpng could not write the test file";
            return {};
        }
        png_set_write_fn(png, &out, appendToVector, nullptr);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colourType,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!palette.empty())
            png_set_PLTE(png, info, palette.data(), int(palette.size()));
        if (!paletteAlpha.empty())
            png_set_tRNS(png, info, paletteAlpha.data(), int(paletteAlpha.size()), nullptr);
        if (greyKey) {
            png_color_16 key{};
            key.gray = greyKeyValue;
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
        png_write_info(png, info);
        std::vector<png_bytep> pointers;
        for (const auto& row : rows)
            pointers.push_back(const_cast<png_bytep>(row.data()));
        png_write_image(png, pointers.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return out;
    }
};

TEST(PngCodec, PaletteGreyAndSixteenBitFormsExpandToBgra) {
    struct Case {
        const char* name;
        RawPng file;
        std::vector<std::uint32_t> expected; // the one row, left to right
    };
    const Case cases[] = {
        // the third entry has no alpha: opaque
        {"palette with tRNS",
         {.width = 4,
          .colourType = PNG_COLOR_TYPE_PALETTE,
          .palette = {{255, 0, 0}, {0, 255, 0}, {10, 20, 30}},
          .paletteAlpha = {0, 128},
          .rows = {{0, 1, 2, 1}}},
         {makePixel(255, 0, 0, 0), makePixel(0, 255, 0, 128), makePixel(10, 20, 30, 255),
          makePixel(0, 255, 0, 128)}},
        // indices 0, 1, 2 (the last two bits are padding)
        {"two-bit palette",
         {.width = 3,
          .depth = 2,
          .colourType = PNG_COLOR_TYPE_PALETTE,
          .palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {250, 251, 252}},
          .rows = {{0b00011011}}},
         {makePixel(1, 2, 3), makePixel(4, 5, 6), makePixel(7, 8, 9)}},
        // 0, 1, 2, 3 of 3
        {"two-bit grey",
         {.width = 4, .depth = 2, .colourType = PNG_COLOR_TYPE_GRAY, .rows = {{0b00011011}}},
         {makePixel(0, 0, 0), makePixel(85, 85, 85), makePixel(170, 170, 170),
          makePixel(255, 255, 255)}},
        {"grey with a transparent key",
         {.width = 3,
          .colourType = PNG_COLOR_TYPE_GRAY,
          .greyKey = true,
          .greyKeyValue = 77,
          .rows = {{76, 77, 78}}},
         {makePixel(76, 76, 76), makePixel(77, 77, 77, 0), makePixel(78, 78, 78)}},
        {"grey and alpha",
         {.width = 2, .colourType = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {{9, 0, 200, 99}}},
         {makePixel(9, 9, 9, 0), makePixel(200, 200, 200, 99)}},
        // 16-bit samples scale to round(v / 257): 0x8080 is 128 exactly, 0x807F rounds up
        // to 128, 0x1234 (18.13) down to 18.
        {"16-bit colour and alpha",
         {.width = 2,
          .depth = 16,
          .colourType = PNG_COLOR_TYPE_RGB_ALPHA,
          .rows = {{0x80, 0x80, 0x80, 0x7F, 0x12, 0x34, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0xFF,
                    0xFF, 0x00, 0x80}}},
         {makePixel(128, 128, 18, 255), makePixel(0, 1, 255, 0)}},
        {"colour without alpha",
         {.width = 2, .colourType = PNG_COLOR_TYPE_RGB, .rows = {{1, 2, 3, 4, 5, 6}}},
         {makePixel(1, 2, 3), makePixel(4, 5, 6)}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = c.file.write();
        EXPECT_EQ(test_bytes::pixelsOf(decodePng(bytes.data(), bytes.size()).picture), c.expected);
    }
}

TEST(PngCodec, InterlacedFileReadsLikeThePlainOne) {
    RawPng plain;
    plain.width = 11;
    plain.height = 9;
    plain.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    std::mt19937 random(3);
    for (int y = 0; y < plain.height; ++y) {
        std::vector<png_byte> row(std::size_t(plain.width) * 4);
        for (auto& b : row)
            b = png_byte(random());
        plain.rows.push_back(row);
    }
    RawPng interlaced = plain;
    interlaced.interlaced = true;
    std::vector<std::uint8_t> a = plain.write(), b = interlaced.write();
    ASSERT_NE(a, b);
    LoadResult readA = decodePng(a.data(), a.size());
    LoadResult readB = decodePng(b.data(), b.size());
    ASSERT_EQ(readA.picture.width(), 11);
    EXPECT_EQ(readA.picture, readB.picture);
    const std::vector<png_byte>& last = plain.rows[8];
    EXPECT_EQ(readB.picture.pixel(10, 8), makePixel(last[40], last[41], last[42], last[43]));
}

TEST(PngCodec, DamagedDataGivesTheEmptyPicture) {
    TBitmap32 picture = randomPicture(40, 30, 5);
    std::vector<std::uint8_t> file = encodePng(picture);
    std::vector<std::uint8_t> badCrc = file;
    badCrc[40] ^= 0x55; // inside the image data
    std::vector<std::uint8_t> zeroWidth = file;
    test_bytes::setPngSize(zeroWidth, 0, 30);

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"signature only", std::vector<std::uint8_t>(file.begin(), file.begin() + 8)},
        {"header only", std::vector<std::uint8_t>(file.begin(), file.begin() + 33)},
        {"cut in the image data",
         std::vector<std::uint8_t>(file.begin(), file.begin() + long(file.size() / 2))},
        {"damaged image data", badCrc},
        {"zero width", zeroWidth},
        {"a JPEG start", {0xFF, 0xD8, 0xFF, 0xE0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult read = decodePng(c.bytes.data(), c.bytes.size());
        EXPECT_TRUE(read.picture.empty());
        EXPECT_TRUE(read.message.empty());
    }
}

} // namespace
} // namespace quill
