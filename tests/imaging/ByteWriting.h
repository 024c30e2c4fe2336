#pragma once

#include "imaging/Bitmap32.h"
#include "tests/RandomPictures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Byte writers and test pictures for the tests that build picture files by hand.
namespace quill::test_bytes {

using Bytes = std::vector<std::uint8_t>;

inline void add16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

inline void add32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
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

// The pixels row by row, top row first.
inline std::vector<std::uint32_t> pixelsOf(const TBitmap32& pic) {
    std::vector<std::uint32_t> v;
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            v.push_back(pic.pixel(x, y));
    return v;
}

inline std::uint32_t rgb(int r, int g, int b, int a = 255) {
    return makePixel(r, g, b, a);
}

} // namespace quill::test_bytes
