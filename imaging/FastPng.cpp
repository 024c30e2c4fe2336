#include "imaging/FastPng.h"

#include "imaging/LargeBuffer.h"
#include "imaging/Limits.h"
#include "imaging/PngCodec.h"

#include <cstring>
#include <memory>
#include <new>

#include <libdeflate.h>

namespace quill {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kFilterSub = 1;
// Deflate gives at most 1032 bytes for one byte of compressed data.
constexpr std::uint64_t kDeflateMaxRatio = 1032;

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

void putBigEndian32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Writes a chunk's length and type at p; its data follows; returns the data's start.
std::uint8_t* chunkHeader(std::uint8_t* p, std::uint32_t length, const char* type) {
    putBigEndian32(p, length);
    std::memcpy(p + 4, type, 4);
    return p + 8;
}

// Writes the checksum after a chunk whose header is at p; returns the byte after it.
std::uint8_t* chunkEnd(std::uint8_t* p) {
    const std::uint32_t length = bigEndian32(p);
    putBigEndian32(p + 8 + length, libdeflate_crc32(0, p + 4, 4 + std::size_t(length)));
    return p + 12 + length;
}

// Undoes the row's filter in place; previous is the row above, unfiltered (nullptr for the
// first row, which reads as zeros). False for a filter type PNG does not have.
bool unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous,
                 std::size_t length, std::size_t pixelBytes) {
    const std::size_t bpp = pixelBytes;
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (std::size_t i = bpp; i < length; ++i)
            row[i] = std::uint8_t(row[i] + row[i - bpp]);
        return true;
    case 2:
        if (previous != nullptr)
            for (std::size_t i = 0; i < length; ++i)
                row[i] = std::uint8_t(row[i] + previous[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < length; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            const int up = previous != nullptr ? previous[i] : 0;
            row[i] = std::uint8_t(row[i] + ((left + up) >> 1));
        }
        return true;
    case 4:
        for (std::size_t i = 0; i < length; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = previous != nullptr ? previous[i] : 0;
            const int c = i >= bpp && previous != nullptr ? previous[i - bpp] : 0;
            const int p = a + b - c;
            const int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p,
                      pc = p > c ? p - c : c - p;
            row[i] = std::uint8_t(row[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
        }
        return true;
    default:
        return false;
    }
}

// The rows this program writes: undoes the "sub" filter four bytes at a time (byte by
// byte sums, no carry from one byte into the next), leaving the row unfiltered for the
// row below, and writes the pixels in the program's byte order.
void subRowToPicture(std::uint8_t* row, std::size_t width, std::uint32_t* target) {
    std::uint32_t previous = 0;
    for (std::size_t x = 0; x < width; ++x) {
        std::uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        const std::uint32_t sum =
            ((v & 0x7F7F7F7Fu) + (previous & 0x7F7F7F7Fu)) ^ ((v ^ previous) & 0x80808080u);
        std::memcpy(row + 4 * x, &sum, 4);
        previous = sum;
        // Bytes red, green, blue, alpha read as 0xAABBGGRR: red and blue change places.
        target[x] = (sum & 0xFF00FF00u) | ((sum >> 16) & 0xFFu) | ((sum & 0xFFu) << 16);
    }
}

} // namespace

std::vector<std::uint8_t> encodePngFast(const TBitmap32& picture, int level) {
    std::vector<std::uint8_t> out;
    if (picture.empty())
        return out;
    const std::size_t width = std::size_t(picture.width()), height = std::size_t(picture.height());
    const std::size_t rowBytes = 1 + 4 * width;
    std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
        libdeflate_alloc_compressor(level));
    if (!compressor)
        return out;
    // Rows in the file's order of bytes (red, green, blue, alpha), each byte less the same
    // byte of the pixel to its left: the "sub" filter.
    LargeBuffer filtered(rowBytes * height); // libdeflate takes the whole picture at once
    std::vector<std::uint32_t> rgba(width);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint32_t* source = picture.row32(int(y));
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t p = source[x]; // 0xAARRGGBB: red and blue change places
            rgba[x] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(rgba.data());
        std::uint8_t* target = filtered.data() + y * rowBytes;
        target[0] = kFilterSub;
        std::memcpy(target + 1, bytes, 4);
        for (std::size_t i = 4; i < 4 * width; ++i)
            target[1 + i] = std::uint8_t(bytes[i] - bytes[i - 4]);
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), rowBytes * height);
    // An IDAT chunk holds less than 2^31 bytes; a picture within the limits stays below.
    if (bound > 0x7FFFFFFFu)
        return encodePng(picture);
    // The file is laid out around the compressed data: signature, IHDR, the IDAT header,
    // the data, its checksum, IEND.
    constexpr std::size_t kBefore = 8 + 25 + 8, kAfter = 4 + 12;
    LargeBuffer file(kBefore + bound + kAfter);
    const std::size_t length = libdeflate_zlib_compress(
        compressor.get(), filtered.data(), rowBytes * height, file.data() + kBefore, bound);
    if (length == 0)
        return out;
    std::memcpy(file.data(), kSignature, 8);
    std::uint8_t* p = chunkHeader(file.data() + 8, 13, "IHDR");
    putBigEndian32(p, std::uint32_t(width));
    putBigEndian32(p + 4, std::uint32_t(height));
    const std::uint8_t form[5] = {8, 6, 0, 0, 0}; // depth 8, RGBA, deflate, filters, plain
    std::memcpy(p + 8, form, 5);
    std::uint8_t* idat = chunkEnd(file.data() + 8);
    chunkHeader(idat, std::uint32_t(length), "IDAT");
    std::uint8_t* iend = chunkEnd(idat);
    chunkHeader(iend, 0, "IEND");
    out.assign(file.data(), chunkEnd(iend));
    return out;
}

LoadResult decodePngFast(const std::uint8_t* data, std::size_t size) {
    LoadResult result;
    if (data == nullptr || size < 8 + 25 || std::memcmp(data, kSignature, 8) != 0 ||
        bigEndian32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return decodePng(data, size);
    const std::uint8_t* ihdr = data + 16;
    const std::uint32_t width = bigEndian32(ihdr), height = bigEndian32(ihdr + 4);
    const int colourType = ihdr[9];
    if (ihdr[8] != 8 || (colourType != 6 && colourType != 2) || ihdr[10] != 0 || ihdr[11] != 0 ||
        ihdr[12] != 0 || width == 0 || height == 0 ||
        libdeflate_crc32(0, data + 12, 17) != bigEndian32(data + 29))
        return decodePng(data, size);
    if (!checkPictureSize(width, height, result))
        return result;

    // The IDAT chunks, which must follow each other; any transparency chunk (which gives
    // an RGB picture see-through colours) leaves the file to decodePng.
    std::vector<std::pair<const std::uint8_t*, std::size_t>> parts;
    std::size_t compressedSize = 0;
    bool ended = false;
    for (std::size_t at = 33; !ended;) {
        if (size - at < 12)
            return result; // cut short
        const std::uint32_t length = bigEndian32(data + at);
        if (length > size - at - 12)
            return result;
        const std::uint8_t* type = data + at + 4;
        if (libdeflate_crc32(0, type, 4 + std::size_t(length)) != bigEndian32(type + 4 + length))
            return result;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!parts.empty() && parts.back().first + parts.back().second + 12 != type + 4)
                return result; // IDAT chunks apart
            parts.emplace_back(type + 4, length);
            compressedSize += length;
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            return decodePng(data, size);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        } else if (!parts.empty()) {
            ended = true; // the picture data is complete; later chunks are not needed
        }
        at += 12 + std::size_t(length);
    }
    const std::size_t pixelBytes = colourType == 6 ? 4 : 3;
    const std::size_t rowBytes = 1 + pixelBytes * width;
    const std::size_t rawSize = rowBytes * height;
    if (parts.empty() || rawSize > compressedSize * kDeflateMaxRatio + 1024)
        return result;

    try {
        std::vector<std::uint8_t> joined;
        const std::uint8_t* compressed = parts[0].first;
        if (parts.size() > 1) {
            joined.reserve(compressedSize);
            for (const auto& [start, length] : parts)
                joined.insert(joined.end(), start, start + length);
            compressed = joined.data();
        }
        LargeBuffer raw(rawSize);
        std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor(
            libdeflate_alloc_decompressor());
        // Exactly the rows' bytes, no fewer and no more, and a correct checksum.
        if (!decompressor ||
            libdeflate_zlib_decompress(decompressor.get(), compressed, compressedSize, raw.data(),
                                       rawSize, nullptr) != LIBDEFLATE_SUCCESS)
            return result;
        TBitmap32 picture = TBitmap32::uninitialized(int(width), int(height));
        for (std::size_t y = 0; y < height; ++y) {
            std::uint8_t* row = raw.data() + y * rowBytes;
            if (row[0] == kFilterSub && pixelBytes == 4) {
                subRowToPicture(row + 1, width, picture.row32(int(y)));
                continue;
            }
            if (!unfilterRow(row[0], row + 1, y > 0 ? row + 1 - rowBytes : nullptr, rowBytes - 1,
                             pixelBytes))
                return result;
            const std::uint8_t* pixels = row + 1;
            std::uint8_t* target = picture.row(int(y));
            for (std::size_t x = 0; x < width; ++x, pixels += pixelBytes, target += 4) {
                target[kRed] = pixels[0];
                target[kGreen] = pixels[1];
                target[kBlue] = pixels[2];
                target[kAlpha] = pixelBytes == 4 ? pixels[3] : 255;
            }
        }
        result.picture = std::move(picture);
    } catch (const std::bad_alloc&) {
        result.picture = TBitmap32();
        result.message = kNotEnoughMemoryMessage;
    }
    return result;
}

} // namespace quill
