#pragma once
// Files as cameras, phones and other programs write them, for the tests of the readers
// of those forms: EXIF blocks and the tools that write HEIF, AVIF, WebP and TIFF.
#include "imaging/Bitmap32.h"
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

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
