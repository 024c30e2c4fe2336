#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/PictureFile.h"
#include "tests/RandomPictures.h"
#include "tests/collections/CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include <gif_lib.h>

// Byte writers and test pictures for the tests that build picture files by hand, and
// (quill::camera) files as cameras, phones and other programs write them: EXIF blocks and
// the tools that write HEIF, AVIF, WebP and TIFF.
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

namespace quill::camera {

using test_bytes::Bytes;

// An EXIF block (TIFF structure) whose first directory holds one other entry and then
// the orientation entry with the given type, count and value.
inline Bytes exifBlock(unsigned value, bool littleEndian = true, unsigned type = 3,
                       unsigned count = 1, bool exifHeader = true) {
    Bytes b;
    if (exifHeader)
        b = {'E', 'x', 'i', 'f', 0, 0};
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.push_back(std::uint8_t(littleEndian ? v >> (8 * i) : v >> (8 * (bytes - 1 - i))));
    };
    b.push_back(littleEndian ? 'I' : 'M');
    b.push_back(littleEndian ? 'I' : 'M');
    put(42, 2);
    put(8, 4); // the first directory right after the header
    put(2, 2);
    for (unsigned tag : {0x010Fu, 0x0112u}) { // the camera's make, then the orientation
        put(tag, 2);
        put(tag == 0x0112 ? type : 2, 2);
        put(tag == 0x0112 ? count : 4, 4);
        put(tag == 0x0112 ? value : 0, 2); // a SHORT sits first in the value field
        put(0, 2);
    }
    put(0, 4); // no next directory
    return b;
}

// bytes with more put in at offset.
inline Bytes spliced(const Bytes& bytes, std::size_t offset, const Bytes& more) {
    Bytes out(bytes.size() + more.size());
    std::copy(bytes.begin(), bytes.begin() + long(offset), out.begin());
    std::copy(more.begin(), more.end(), out.begin() + long(offset));
    std::copy(bytes.begin() + long(offset), bytes.end(), out.begin() + long(offset + more.size()));
    return out;
}

// A JPEG with an APP1 segment holding block right after its start marker.
inline Bytes withApp1(const Bytes& jpeg, const Bytes& block) {
    const std::size_t length = block.size() + 2;
    Bytes segment{0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)};
    segment.resize(4 + block.size());
    std::copy(block.begin(), block.end(), segment.begin() + 4);
    return spliced(jpeg, 2, segment);
}

// A PNG with a chunk of the given type and data after its header (the length field
// says claimedLength when it is not 0; the data then need not follow in full).
inline Bytes withPngChunk(const Bytes& png, const char* type, const Bytes& data,
                          std::uint32_t claimedLength = 0) {
    Bytes chunk(12 + data.size());
    test_bytes::putBe32(chunk.data(),
                        claimedLength != 0 ? claimedLength : std::uint32_t(data.size()));
    std::copy(type, type + 4, chunk.begin() + 4);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    test_bytes::putBe32(&chunk[8 + data.size()], test_bytes::crc32(&chunk[4], data.size() + 4));
    return spliced(png, 33, chunk);
}

inline Bytes readBytes(const std::string& path) {
    return quill::testing::TempFolder::read(path);
}

// The tools of the list that are not installed, separated by blanks
// (scripts/install-deps.sh installs every one these tests use).
inline std::string missingTools(std::initializer_list<const char*> tools) {
    std::string missing;
    for (const char* tool : tools)
        if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0)
            missing += std::string(missing.empty() ? "" : " ") + tool;
    return missing;
}

// Skips the test, naming the tools, where they could not be installed.
#define QUILL_SKIP_WITHOUT(...)                                                                    \
    if (const std::string missing = camera::missingTools({__VA_ARGS__}); !missing.empty())         \
    GTEST_SKIP() << "not installed (scripts/install-deps.sh installs them): " << missing

// Runs a shell command quietly; true when it succeeded.
inline bool run(const std::string& command) {
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

// The test pictures in the test data folder.
inline std::string testData(const std::string& name) {
    return std::string(QUILL_TEST_DATA) + "/" + name;
}

// The largest difference of any channel between two pictures of the same size (256
// when the sizes differ).
inline int largestDifference(const TBitmap32& a, const TBitmap32& b, bool withAlpha = true) {
    if (a.width() != b.width() || a.height() != b.height())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8)
                largest = std::max(largest, std::abs(int((a.pixel(x, y) >> shift) & 0xff) -
                                                     int((b.pixel(x, y) >> shift) & 0xff)));
    return largest;
}

} // namespace quill::camera
