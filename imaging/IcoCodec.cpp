#include "imaging/IcoCodec.h"

#include "imaging/BmpCodec.h"
#include "imaging/Limits.h"
#include "imaging/PngCodec.h"

#include <algorithm>
#include <exception>
#include <new>
#include <vector>

namespace quill {
namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Entry {
    std::size_t offset = 0;
    std::size_t bytes = 0;
    bool png = false;
    std::int64_t width = 0, height = 0;
    int depth = 0;
    int index = 0; // 1-based position in the directory
};

bool isPng(const std::uint8_t* p, std::size_t n) {
    return n >= 8 && std::equal(kPngSignature, kPngSignature + 8, p);
}

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// The size and depth an image really has, read from its own header rather than the
// directory, whose bytes are often zero or wrong.
std::string inspect(const std::uint8_t* p, Entry& e) {
    if (e.png) {
        if (e.bytes < 29 || p[12] != 'I' || p[13] != 'H' || p[14] != 'D' || p[15] != 'R')
            return "the PNG image of entry " + std::to_string(e.index) + " has no header";
        e.width = be32(p + 16);
        e.height = be32(p + 20);
        const int bitDepth = p[24], colourType = p[25];
        const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
        e.depth = bitDepth * channels;
        if (!pictureSizeAllowed(e.width, e.height))
            return pictureTooLargeMessage(e.width, e.height);
        return {};
    }
    DibHeader h;
    std::string error = parseDibHeader(p, e.bytes, h, 2);
    if (!error.empty())
        return "entry " + std::to_string(e.index) + ": " + error;
    e.width = h.width;
    e.height = h.height;
    e.depth = h.bitCount;
    return {};
}

// Decodes one BMP image of an icon onto white.
std::string drawBmpImage(const std::uint8_t* p, const Entry& e, TBitmap32& out) {
    DibHeader h;
    std::string error = parseDibHeader(p, e.bytes, h, 2);
    if (!error.empty())
        return error;
    if (h.bitCount == 32 && h.compression == 0) {
        // Icons keep alpha in the fourth byte without saying so in the header.
        h.masks[3] = 0xFF000000u;
        h.keepAlpha = true;
    }
    TBitmap32 colour;
    error = decodeDibPixels(h, p + h.infoBytes, e.bytes - h.infoBytes, colour);
    if (!error.empty())
        return error;

    const int w = colour.width(), rows = colour.height();
    bool useAlpha = false;
    if (h.keepAlpha) {
        for (int y = 0; y < rows && !useAlpha; ++y)
            for (int x = 0; x < w; ++x)
                if (pixelAlpha(colour.row32(y)[x]) != 0) {
                    useAlpha = true;
                    break;
                }
    }

    // The AND mask follows the colour rows: 1 bit per pixel, rows padded to 4 bytes,
    // stored in the same order. An icon without one is drawn opaque.
    const std::uint64_t colourBytes = h.compression == 1 || h.compression == 2
                                          ? 0
                                          : dibRowBytes(h.width, h.bitCount) * std::uint64_t(rows);
    const std::uint64_t maskStride = dibRowBytes(h.width, 1);
    const std::uint64_t maskStart = std::uint64_t(h.infoBytes) + colourBytes;
    const bool haveMask =
        colourBytes != 0 && maskStart + maskStride * std::uint64_t(rows) <= e.bytes;

    out = TBitmap32(w, rows, kOpaqueWhite);
    for (int y = 0; y < rows; ++y) {
        const std::uint32_t* src = colour.row32(y);
        std::uint32_t* dst = out.row32(y);
        const int stored = h.topDown ? y : rows - 1 - y;
        const std::uint8_t* mask =
            haveMask ? p + maskStart + maskStride * std::uint64_t(stored) : nullptr;
        for (int x = 0; x < w; ++x) {
            if (useAlpha) {
                TBitmap32::BlendPixel(dst + x, src[x]);
            } else if (mask == nullptr || ((mask[x >> 3] >> (7 - (x & 7))) & 1) == 0) {
                dst[x] = src[x] | 0xFF000000u;
            }
        }
    }
    return {};
}

std::string drawPngImage(const std::uint8_t* p, const Entry& e, TBitmap32& out) {
    LoadResult png = decodePng(p, e.bytes);
    if (png.picture.empty())
        return png.message.empty() ? "the PNG image is damaged" : png.message;
    out = TBitmap32(png.picture.width(), png.picture.height(), kOpaqueWhite);
    for (int y = 0; y < out.height(); ++y) {
        const std::uint32_t* src = png.picture.row32(y);
        std::uint32_t* dst = out.row32(y);
        for (int x = 0; x < out.width(); ++x)
            TBitmap32::BlendPixel(dst + x, src[x]);
    }
    return {};
}

std::string decodeIcon(const std::uint8_t* data, std::size_t size, TBitmap32& out) {
    if (data == nullptr || size < 6)
        return "The file is too short to be an icon";
    const std::uint32_t reserved = readLe16(data), type = readLe16(data + 2),
                        count = readLe16(data + 4);
    if (reserved != 0 || (type != 1 && type != 2))
        return "Not an icon file";
    if (count == 0)
        return "The icon holds no images";
    if (6 + 16 * std::uint64_t(count) > size)
        return "The icon directory is truncated";

    std::vector<Entry> entries;
    std::string firstError;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* d = data + 6 + 16 * i;
        Entry e;
        e.index = int(i) + 1;
        const std::uint64_t bytes = readLe32(d + 8), offset = readLe32(d + 12);
        if (offset + bytes > size || bytes < 12 || offset < 6) {
            if (firstError.empty())
                firstError = "Entry " + std::to_string(e.index) + " lies outside the file";
            continue;
        }
        e.offset = std::size_t(offset);
        e.bytes = std::size_t(bytes);
        e.png = isPng(data + e.offset, e.bytes);
        std::string error = inspect(data + e.offset, e);
        if (!error.empty()) {
            if (firstError.empty())
                firstError = error;
            continue;
        }
        entries.push_back(e);
    }
    // Largest first, then deepest; the directory order breaks ties.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.width * a.height != b.width * b.height)
            return a.width * a.height > b.width * b.height;
        return a.depth > b.depth;
    });
    for (const Entry& e : entries) {
        std::string error =
            e.png ? drawPngImage(data + e.offset, e, out) : drawBmpImage(data + e.offset, e, out);
        if (error.empty())
            return {};
        out = TBitmap32();
        if (firstError.empty())
            firstError = error;
    }
    return firstError.empty() ? "The icon holds no readable image" : firstError;
}

} // namespace

LoadResult decodeIco(const std::uint8_t* data, std::size_t size, const std::string& fileName) {
    LoadResult result;
    std::string reason;
    try {
        reason = decodeIcon(data, size, result.picture);
    } catch (const std::bad_alloc&) {
        reason = "Not enough memory for the icon";
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (!reason.empty()) {
        if (reason[0] >= 'a' && reason[0] <= 'z')
            reason[0] = char(reason[0] - 'a' + 'A');
        result.picture = TBitmap32();
        result.message = "Input picture" + fileName + "Error." + reason;
    }
    return result;
}

} // namespace quill
