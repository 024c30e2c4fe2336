#include "imaging/JpegCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "tests/imaging/CameraFiles.h"

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

} // namespace
} // namespace quill
