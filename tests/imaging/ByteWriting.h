#pragma once

#include "imaging/Bitmap32.h"
#include "tests/RandomPictures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include <gif_lib.h>

// Byte writers and test pictures for the tests that build picture files by hand.
namespace quill::test_bytes {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>;

inline void add16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void add32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}
inline void add16(Bytes& b, const std::vector<std::uint32_t>& values) {
    for (std::uint32_t v : values)
        add16(b, v);
}
inline void add32(Bytes& b, const std::vector<std::uint32_t>& values) {
    for (std::uint32_t v : values)
        add32(b, v);
}

inline void putBe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (24 - 8 * i));
}

inline std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// Makes a PNG's header claim w x h, with the header's checksum made right again.
inline void setPngSize(Bytes& png, std::uint32_t w, std::uint32_t h) {
    // Signature (8), IHDR length (4), "IHDR" (4), width, height ...; CRC after 13 bytes.
    putBe32(&png[16], w);
    putBe32(&png[20], h);
    putBe32(&png[29], crc32(&png[12], 17));
}

// Sets the height and width of a JPEG's first baseline frame header.
inline void setJpegSize(Bytes& jpeg, int width, int height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = std::uint8_t(height >> 8);
            jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8);
            jpeg[i + 8] = std::uint8_t(width);
            return;
        }
    ADD_FAILURE() << "no frame header";
}

using testpictures::randomPicture;

// The pixels row by row, top row first, and back.
inline Pixels pixelsOf(const TBitmap32& pic) {
    return Pixels(pic.bits(), pic.bits() + pic.pixelCount());
}
inline TBitmap32 pictureOf(int w, int h, const Pixels& pixels) {
    TBitmap32 p(w, h);
    std::copy(pixels.begin(), pixels.end(), p.bits());
    return p;
}

inline std::uint32_t rgb(int r, int g, int b, int a = 255) {
    return makePixel(r, g, b, a);
}

// A GIF written with giflib's encoder: a screen and its images, each with its colour map,
// transparent index and pixels (indices, rows top to bottom). The rows of an interlaced
// image are sent in the order of the four passes, as the format stores them.
using Colours = std::vector<GifColorType>;
struct GifImage {
    int left = 0, top = 0, width = 1, height = 1;
    bool interlaced = false;
    std::optional<Colours> localMap;
    int transparentIndex = -1;
    std::vector<int> pixels;
};
struct GifSpec {
    int screenWidth = 1, screenHeight = 1, background = 0;
    std::optional<Colours> globalMap;
    std::vector<GifImage> images;
};

// giflib copies the map it is given.
inline ColorMapObject* gifMap(const std::optional<Colours>& colours) {
    if (!colours)
        return nullptr;
    int size = 2;
    while (size < int(colours->size()))
        size *= 2;
    Colours padded = *colours;
    padded.resize(std::size_t(size), GifColorType{0, 0, 0});
    return GifMakeMapObject(size, padded.data());
}

inline Bytes makeGif(const GifSpec& spec) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* data, int length) {
            auto* bytes = static_cast<Bytes*>(g->UserData);
            bytes->insert(bytes->end(), data, data + length);
            return length;
        },
        &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = gifMap(spec.globalMap);
    EXPECT_EQ(EGifPutScreenDesc(gif, spec.screenWidth, spec.screenHeight, 8, spec.background, map),
              GIF_OK);
    GifFreeMapObject(map);
    for (const GifImage& image : spec.images) {
        if (image.transparentIndex >= 0) {
            GraphicsControlBlock control{};
            control.TransparentColor = image.transparentIndex;
            GifByteType block[4];
            EGifGCBToExtension(&control, block);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
        }
        map = gifMap(image.localMap);
        EXPECT_EQ(EGifPutImageDesc(gif, image.left, image.top, image.width, image.height,
                                   image.interlaced, map),
                  GIF_OK);
        GifFreeMapObject(map);
        const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
        for (int pass = 0; pass < (image.interlaced ? 4 : 1); ++pass)
            for (int r = image.interlaced ? starts[pass] : 0; r < image.height;
                 r += image.interlaced ? steps[pass] : 1) {
                std::vector<GifPixelType> line(image.pixels.begin() + r * image.width,
                                               image.pixels.begin() + (r + 1) * image.width);
                EXPECT_EQ(EGifPutLine(gif, line.data(), image.width), GIF_OK);
            }
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    return out;
}

} // namespace quill::test_bytes
