#include "imaging/GifCodec.h"

#include "imaging/BmpCodec.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

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
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
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
