// The JPEG, PNG and GIF readers and writers: files other programs write, every form of
// each, damaged and cut files.
#include "imaging/BmpCodec.h"
#include "imaging/GifCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <optional>
#include <png.h>
#include <random>
#include <vector>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

// A smooth, photo-like picture: gradients that JPEG keeps well.
TBitmap32 gradient(int width, int height) {
    TBitmap32 picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y,
                             makePixel(40 + (x * 160) / std::max(64, width),
                                       60 + (y * 120) / std::max(64, height),
                                       90 + ((x + y) * 80) / std::max(128, width + height), 255));
    return picture;
}

// Encodes raw samples with libjpeg itself, for the forms the program never writes.
std::vector<std::uint8_t> encodeRaw(const std::vector<std::uint8_t>& samples, int width, int height,
                                    int components, J_COLOR_SPACE space, bool progressive,
                                    bool adobeMarker = true) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (!adobeMarker)
        info.write_Adobe_marker = FALSE;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() +
                                            std::size_t(info.next_scanline) * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<std::uint8_t> bgraSamples(const TBitmap32& picture) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture.bits());
    return {bytes, bytes + 4 * picture.pixelCount()};
}

// Offset of the last start-of-scan marker.
std::size_t lastScan(const std::vector<std::uint8_t>& file) {
    std::size_t found = 0;
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA)
            found = i;
    return found;
}

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

using test_bytes::Bytes;
using test_bytes::Colours;
using test_bytes::GifSpec;
using test_bytes::makeGif;
using test_bytes::Pixels;
using test_bytes::pixelsOf;
using Image = test_bytes::GifImage;
using Images = std::vector<Image>;

const Colours kFourColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
std::uint32_t colourOf(const Colours& map, int i) {
    return makePixel(map[i].Red, map[i].Green, map[i].Blue);
}

std::vector<int> ramp(int count, int modulo) {
    std::vector<int> v;
    for (int i = 0; i < count; ++i)
        v.push_back((i * 7 + i / 3) % modulo);
    return v;
}

// Index of the code size byte that follows the first image descriptor.
std::size_t codeSizeOffset(const Bytes& file) {
    std::size_t p = 13 + ((file[10] & 0x80) ? 3u * (2u << (file[10] & 7)) : 0u);
    while (file[p] == 0x21) {
        p += 2;
        while (file[p] != 0)
            p += file[p] + 1u;
        ++p;
    }
    EXPECT_EQ(file[p], 0x2C);
    std::uint8_t flags = file[p + 9];
    return p + 10 + ((flags & 0x80) ? 3u * (2u << (flags & 7)) : 0u);
}

TEST(JpegCodec, WritesQualityNinetyWithoutAlphaAndReadsItBackOpaque) {
    for (auto [w, h] : {std::pair{1, 1}, {7, 9}, {16, 16}, {17, 8}, {33, 65}, {300, 2}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        TBitmap32 original = gradient(w, h);
        SetAlpha(original, 10); // not stored: the file has no alpha
        const std::vector<std::uint8_t> file = encodeJpeg(original);
        const LoadResult read = decodeJpeg(file.data(), file.size());
        EXPECT_TRUE(read.message.empty());
        SetAlpha(original, 255);
        EXPECT_LE(camera::largestDifference(original, read.picture), 8);
        SetAlpha(original, 0);
        EXPECT_EQ(encodeJpeg(original), file);
        EXPECT_EQ(encodeJpeg(original, 90), file);
    }
    // The first quantisation value of the luminance table at quality 90 is
    // (16 * 20 + 50) / 100 = 3; at the library's default quality 75 it would be 8.
    const std::vector<std::uint8_t> file = encodeJpeg(gradient(24, 24));
    const std::uint8_t marker[] = {0xFF, 0xDB};
    const auto dqt = std::search(file.begin(), file.end(), marker, marker + 2);
    ASSERT_LT(dqt + 5, file.end());
    EXPECT_EQ(dqt[4], 0); // table 0, 8-bit values
    EXPECT_EQ(dqt[5], 3);
    EXPECT_TRUE(encodeJpeg(TBitmap32()).empty());
}

TEST(JpegCodec, GreyAndCmykFilesReadAsColour) {
    // Grey: one sample per pixel becomes blue = green = red.
    std::vector<std::uint8_t> grey(8 * 8);
    for (int i = 0; i < 64; ++i)
        grey[std::size_t(i)] = std::uint8_t(100 + i);
    std::vector<std::uint8_t> file = encodeRaw(grey, 8, 8, 1, JCS_GRAYSCALE, false);
    const LoadResult read = decodeJpeg(file.data(), file.size());
    ASSERT_EQ(read.picture.width(), 8);
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t p = read.picture.pixel(i % 8, i / 8);
        EXPECT_TRUE(pixelRed(p) == pixelGreen(p) && pixelBlue(p) == pixelGreen(p) &&
                    pixelAlpha(p) == 255 && std::abs(pixelRed(p) - 100 - i) <= 3)
            << i;
    }

    // CMYK as image editors store it, inverted (255 = no ink), with the Adobe marker;
    // without the marker the inks are stored plain.
    struct Case {
        std::uint8_t c, m, y, k; // ink amounts, 255 = full
        int red, green, blue;
    };
    const Case cases[] = {{0, 255, 255, 0, 255, 0, 0}, {255, 0, 255, 0, 0, 255, 0},
                          {255, 255, 0, 0, 0, 0, 255}, {0, 0, 0, 0, 255, 255, 255},
                          {0, 0, 0, 255, 0, 0, 0},     {0, 0, 0, 128, 127, 127, 127}};
    for (bool adobe : {true, false})
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << (adobe ? "Adobe " : "plain ") << int(c.c) << ","
                                              << int(c.m) << "," << int(c.y) << "," << int(c.k));
            const int flip = adobe ? 255 : 0;
            std::vector<std::uint8_t> cmyk;
            for (int i = 0; i < 16 * 16; ++i)
                cmyk.insert(cmyk.end(), {std::uint8_t(flip ^ c.c), std::uint8_t(flip ^ c.m),
                                         std::uint8_t(flip ^ c.y), std::uint8_t(flip ^ c.k)});
            std::vector<std::uint8_t> cmykFile = encodeRaw(cmyk, 16, 16, 4, JCS_CMYK, false, adobe);
            const LoadResult cmykRead = decodeJpeg(cmykFile.data(), cmykFile.size());
            ASSERT_EQ(cmykRead.picture.width(), 16);
            EXPECT_LE(camera::largestDifference(TBitmap32(1, 1, cmykRead.picture.pixel(8, 8)),
                                                TBitmap32(1, 1, makePixel(c.red, c.green, c.blue))),
                      3);
        }
}

// Progressive coding only reorders the same quantised coefficients; a file of endless
// scans is refused past the limit.
TEST(JpegCodec, ProgressiveFilesReadAsBaselineUpToTheScanLimit) {
    const std::vector<std::uint8_t> samples = bgraSamples(gradient(37, 29));
    const auto baseline = encodeRaw(samples, 37, 29, 4, JCS_EXT_BGRA, false);
    const auto file = encodeRaw(samples, 37, 29, 4, JCS_EXT_BGRA, true);
    ASSERT_NE(baseline, file);
    EXPECT_EQ(decodeJpeg(file.data(), file.size()).picture,
              decodeJpeg(baseline.data(), baseline.size()).picture);
    const std::size_t last = lastScan(file);
    const std::vector<std::uint8_t> scan(file.begin() + long(last),
                                         file.end() - 2); // no end marker
    int ownScans = 0;
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        ownScans += file[i] == 0xFF && file[i + 1] == 0xDA;
    for (auto [totalScans, read] : {std::pair{kJpegMaxScans - 1, true},
                                    {kJpegMaxScans, true},
                                    {kJpegMaxScans + 1, false},
                                    {2000, false}}) {
        std::vector<std::uint8_t> many(file.begin(), file.end() - 2);
        for (int i = ownScans; i < totalScans; ++i)
            many.insert(many.end(), scan.begin(), scan.end());
        many.insert(many.end(), {0xFF, 0xD9});
        EXPECT_EQ(decodeJpeg(many.data(), many.size()).picture.width(), read ? 37 : 0)
            << totalScans;
    }
}

TEST(JpegCodec, TruncatedFileKeepsTheDecodedPartWithGreyBelow) {
    // A flat colour far from grey, so the filled-in part is told apart.
    TBitmap32 picture(64, 128, makePixel(200, 40, 30));
    std::vector<std::uint8_t> file = encodeJpeg(picture);
    for (double keep : {0.5, 0.8}) {
        SCOPED_TRACE(keep);
        std::size_t size =
            lastScan(file) + std::size_t(double(file.size() - lastScan(file)) * keep);
        LoadResult read = decodeJpeg(file.data(), size);
        ASSERT_EQ(read.picture.width(), 64);
        ASSERT_EQ(read.picture.height(), 128);
        std::uint32_t top = read.picture.pixel(10, 0);
        EXPECT_NEAR(pixelRed(top), 200, 4);
        EXPECT_NEAR(pixelGreen(top), 40, 4);
        EXPECT_EQ(read.picture.pixel(63, 127), makePixel(128, 128, 128));
    }
}

TEST(JpegCodec, DamagedOrForeignDataGivesTheEmptyPicture) {
    std::vector<std::uint8_t> good = encodeJpeg(gradient(16, 16));
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(4000);
    for (auto& b : noise)
        b = std::uint8_t(random());
    std::vector<std::uint8_t> noiseAfterStart = noise;
    noiseAfterStart[0] = 0xFF;
    noiseAfterStart[1] = 0xD8;
    std::vector<std::uint8_t> badHuffman = good;
    for (std::size_t i = 0; i + 1 < badHuffman.size(); ++i)
        if (badHuffman[i] == 0xFF && badHuffman[i + 1] == 0xC4) {
            for (std::size_t k = i + 5; k < i + 21; ++k)
                badHuffman[k] = 0xFF; // code counts far beyond what the lengths allow
            break;
        }
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"start marker only", {0xFF, 0xD8}},
        {"start marker and a byte", {0xFF, 0xD8, 0xFF}},
        {"header cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 30)},
        {"noise", noise},
        {"noise after a start marker", noiseAfterStart},
        {"broken Huffman table", badHuffman},
        {"a PNG", png}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult read = decodeJpeg(c.bytes.data(), c.bytes.size());
        EXPECT_TRUE(read.picture.empty());
    }
    EXPECT_TRUE(decodeJpeg(nullptr, 100).picture.empty());
}

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

TEST(GifCodec, FirstImageIsPlacedOnTheScreenWithItsColours) {
    struct Case {
        const char* name;
        GifSpec spec;
    };
    const Colours local = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    const Case cases[] = {
        {"whole screen", {5, 3, 0, kFourColours, {{0, 0, 5, 3, false, {}, -1, ramp(15, 4)}}}},
        {"interlaced, eleven rows",
         {5, 11, 0, kFourColours, {{0, 0, 5, 11, true, {}, -1, ramp(55, 4)}}}},
        {"local colour map over the global one",
         {3, 2, 0, kFourColours, {{0, 0, 3, 2, false, local, -1, {0, 1, 2, 3, 2, 1}}}}},
        {"image inside the screen, background colour 2 around it",
         {6, 4, 2, kFourColours, {{2, 1, 3, 2, false, {}, -1, {0, 1, 3, 3, 1, 0}}}}},
        {"image larger than the screen is clipped",
         {4, 3, 1, kFourColours, {{1, 1, 6, 5, true, {}, -1, ramp(30, 4)}}}},
        {"transparent pixels show the background colour",
         {4, 2, 3, kFourColours, {{0, 0, 4, 2, false, {}, 1, {0, 1, 2, 1, 1, 0, 3, 2}}}}},
        {"only the first of two images",
         GifSpec{3, 3, 0, kFourColours,
                 Images{Image{0, 0, 3, 3, false, {}, -1, ramp(9, 4)},
                        Image{0, 0, 3, 3, false, {}, -1, std::vector<int>(9, 3)}}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GifSpec& s = c.spec;
        const Image& image = s.images.front();
        const Colours& map = image.localMap ? *image.localMap : *s.globalMap;
        Bytes file = makeGif(s);
        LoadResult read = decodeGif(file.data(), file.size());
        ASSERT_EQ(read.picture.width(), s.screenWidth);
        ASSERT_EQ(read.picture.height(), s.screenHeight);
        EXPECT_TRUE(read.message.empty());
        const std::uint32_t background = colourOf(*s.globalMap, s.background);
        for (int y = 0; y < s.screenHeight; ++y)
            for (int x = 0; x < s.screenWidth; ++x) {
                int ix = x - image.left, iy = y - image.top;
                std::uint32_t expected = background;
                if (ix >= 0 && iy >= 0 && ix < image.width && iy < image.height) {
                    int index = image.pixels[std::size_t(iy * image.width + ix)];
                    if (index != image.transparentIndex)
                        expected = colourOf(map, index);
                }
                EXPECT_EQ(read.picture.pixel(x, y), expected) << "at " << x << "," << y;
            }
    }
}

TEST(GifCodec, MissingOrShortColourMapsAreHandledSafely) {
    const Bytes file =
        makeGif({4, 2, 1, kFourColours, {{0, 0, 3, 2, false, {}, -1, {0, 1, 2, 3, 2, 1}}}});
    // Without any colour map, index i is grey i, and the screen around is white.
    Bytes noMap = file;
    noMap[10] &= 0x7F;
    noMap.erase(noMap.begin() + 13, noMap.begin() + 13 + 4 * 3);
    const std::uint32_t W = makePixel(255, 255, 255), K = makePixel(0, 0, 0);
    auto grey = [](int v) { return makePixel(v, v, v); };
    EXPECT_EQ(pixelsOf(decodeGif(noMap.data(), noMap.size()).picture),
              (Pixels{grey(0), grey(1), grey(2), W, grey(3), grey(2), grey(1), W}));
    // A map of two colours while the pixels use four: indices 2 and 3 are black; the
    // background, index 1, lies inside the map.
    Bytes shortMap = file;
    shortMap[10] &= ~7;
    shortMap.erase(shortMap.begin() + 13 + 2 * 3, shortMap.begin() + 13 + 4 * 3);
    const std::uint32_t c0 = colourOf(kFourColours, 0), c1 = colourOf(kFourColours, 1);
    EXPECT_EQ(pixelsOf(decodeGif(shortMap.data(), shortMap.size()).picture),
              (Pixels{c0, c1, K, c1, K, K, c1, c1}));
}

TEST(GifCodec, BadFilesGiveTheEmptyPicture) {
    GifSpec s{8, 8, 0, kFourColours, {}};
    s.images.push_back(Image{0, 0, 8, 8, false, {}, -1, ramp(64, 4)});
    Bytes file = makeGif(s);
    const std::size_t codeSize = codeSizeOffset(file);
    ASSERT_EQ(file[codeSize], 2);

    auto withCodeSize = [&](std::uint8_t value) {
        Bytes f = file;
        f[codeSize] = value;
        return f;
    };
    Bytes zeroWidth = file;
    zeroWidth[codeSize - 10 + 5] = 0; // image width, low byte
    Bytes zeroHeight = file;
    zeroHeight[codeSize - 10 + 7] = 0;
    GifSpec noImage{8, 8, 0, kFourColours, {}};

    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {{"code size 0", withCodeSize(0)},
                          {"code size 1", withCodeSize(1)},
                          {"code size 9", withCodeSize(9)},
                          {"code size 12", withCodeSize(12)},
                          {"zero width", zeroWidth},
                          {"zero height", zeroHeight},
                          {"no image", makeGif(noImage)},
                          {"nothing", {}},
                          {"signature only", {'G', 'I', 'F', '8', '9', 'a'}},
                          {"cut in the header", Bytes(file.begin(), file.begin() + 20)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(decodeGif(c.bytes.data(), c.bytes.size()).picture.empty());
    }
    // The bounds themselves are legal; code size 8 reads this stream as other
    // pixels, but the picture is still given.
    for (std::uint8_t good : {2, 8}) {
        SCOPED_TRACE(int(good));
        Bytes f = withCodeSize(good);
        EXPECT_EQ(decodeGif(f.data(), f.size()).picture.width(), 8);
    }
}

TEST(GifCodec, FileCutInsideTheImageKeepsTheRowsRead) {
    GifSpec s{128, 128, 3, kFourColours, {}};
    std::vector<int> pixels(128 * 128);
    std::mt19937 random(11);
    for (int& p : pixels)
        p = int(random() % 3); // noise of indices 0..2: many data blocks
    s.images.push_back(Image{0, 0, 128, 128, false, {}, -1, pixels});
    Bytes file = makeGif(s);
    std::size_t start = codeSizeOffset(file);
    ASSERT_GT(file.size() - start, 2000u);
    Bytes cut(file.begin(), file.begin() + long(start + (file.size() - start) / 2));
    LoadResult read = decodeGif(cut.data(), cut.size());
    ASSERT_EQ(read.picture.width(), 128);
    for (int x = 0; x < 128; ++x)
        EXPECT_EQ(read.picture.pixel(x, 0), colourOf(kFourColours, pixels[std::size_t(x)]));
    EXPECT_EQ(read.picture.pixel(127, 127), colourOf(kFourColours, 3));
}

TEST(GifCodec, ScreenOverTheLimitsIsRefusedAndAScreenOfNoSizeFitsTheImage) {
    GifSpec s{4, 4, 0, kFourColours, {}};
    s.images.push_back(Image{1, 2, 2, 2, false, {}, -1, {0, 1, 2, 3}});
    Bytes file = makeGif(s);
    struct Case {
        int width, height;
    };
    for (Case c : {Case{20000, 20000}, Case{16385, 2}, Case{16384, 16384}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        Bytes big = file;
        writeLe16(&big[6], std::uint32_t(c.width));
        writeLe16(&big[8], std::uint32_t(c.height));
        LoadResult read = decodeGif(big.data(), big.size());
        EXPECT_TRUE(read.picture.empty());
        EXPECT_EQ(read.message, pictureTooLargeMessage(c.width, c.height));
    }
    Bytes noSize = file;
    std::fill(noSize.begin() + 6, noSize.begin() + 10, 0);
    LoadResult read = decodeGif(noSize.data(), noSize.size());
    ASSERT_EQ(read.picture.width(), 3);
    ASSERT_EQ(read.picture.height(), 4);
    EXPECT_EQ(read.picture.pixel(2, 3), colourOf(kFourColours, 3));
    EXPECT_EQ(read.picture.pixel(0, 0), colourOf(kFourColours, 0));
}

} // namespace
} // namespace quill
