#include "imaging/BmpCodec.h"

#include "imaging/Limits.h"
#include "imaging/Parallel.h"

#include <bit>
#include <exception>
#include <new>

namespace quill {
namespace {

std::uint32_t le16(const std::uint8_t* p) {
    return readLe16(p);
}
std::uint32_t le32(const std::uint8_t* p) {
    return readLe32(p);
}
void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    writeLe16(out.data() + at, v);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    writeLe32(out.data() + at, v);
}

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4,
                        kBiPng = 5, kBiAlphaBitfields = 6;

// One channel of a bit-field pixel: where its bits sit and how to widen them to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    int get(std::uint32_t pixel) const {
        if (bits == 0)
            return 0;
        std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return int(v >> (bits - 8));
        // Widen to 0..255 rounding to nearest: 31 -> 255, 16 -> 132 for 5 bits.
        std::uint32_t top = (1u << bits) - 1;
        return int((v * 255 + top / 2) / top);
    }
};

Channel makeChannel(std::uint32_t mask) {
    Channel c;
    c.mask = mask;
    if (mask != 0) {
        c.shift = std::countr_zero(mask);
        c.bits = std::popcount(mask);
    }
    return c;
}

bool maskValid(std::uint32_t mask, int bitCount) {
    if (mask == 0)
        return true;
    if (bitCount < 32 && (mask >> bitCount) != 0)
        return false;
    std::uint32_t v = mask >> std::countr_zero(mask);
    return (v & (v + 1)) == 0; // contiguous bits only
}

std::uint32_t paletteColour(const std::vector<std::uint32_t>& palette, unsigned index) {
    return index < palette.size() ? palette[index] : kOpaqueBlack;
}

void decodeRow(const DibHeader& h, const std::uint8_t* src, std::uint32_t* dst, const Channel* ch,
               bool standard32) {
    const int w = int(h.width);
    switch (h.bitCount) {
    case 1:
        for (int x = 0; x < w; ++x)
            dst[x] = paletteColour(h.palette, (src[x >> 3] >> (7 - (x & 7))) & 1);
        break;
    case 4:
        for (int x = 0; x < w; ++x)
            dst[x] = paletteColour(h.palette, (x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4));
        break;
    case 8:
        for (int x = 0; x < w; ++x)
            dst[x] = paletteColour(h.palette, src[x]);
        break;
    case 24:
        for (int x = 0; x < w; ++x, src += 3)
            dst[x] = makePixel(src[2], src[1], src[0]);
        break;
    case 16:
        for (int x = 0; x < w; ++x) {
            std::uint32_t v = le16(src + 2 * x);
            dst[x] = makePixel(ch[0].get(v), ch[1].get(v), ch[2].get(v));
        }
        break;
    case 32:
        if (standard32) {
            for (int x = 0; x < w; ++x, src += 4)
                dst[x] = makePixel(src[2], src[1], src[0], h.keepAlpha ? src[3] : 255);
        } else {
            for (int x = 0; x < w; ++x) {
                std::uint32_t v = le32(src + 4 * x);
                dst[x] = makePixel(ch[0].get(v), ch[1].get(v), ch[2].get(v),
                                   h.keepAlpha && ch[3].bits ? ch[3].get(v) : 255);
            }
        }
        break;
    }
}

// RLE4 and RLE8. Pixels that the stream skips (delta, end of line) stay opaque black, as
// in a freshly made bitmap. Every run is clipped to the row and the picture, and the
// stream stops at the end of the data: a truncated stream keeps what it decoded.
void decodeRle(const DibHeader& h, const std::uint8_t* bits, std::size_t size, TBitmap32& picture) {
    const std::int64_t w = h.width, rows = h.height;
    const bool four = h.compression == kBiRle4;
    picture.fill(kOpaqueBlack);
    std::int64_t x = 0, row = 0;
    std::size_t pos = 0;
    auto put = [&](unsigned index) {
        if (x < w && row < rows) {
            int y = int(h.topDown ? row : rows - 1 - row);
            picture.row32(y)[x] = paletteColour(h.palette, index);
        }
        ++x;
    };
    while (pos + 2 <= size && row < rows) {
        unsigned n = bits[pos], c = bits[pos + 1];
        pos += 2;
        if (n > 0) {
            for (unsigned k = 0; k < n && x < w; ++k)
                put(four ? ((k & 1) ? (c & 15) : (c >> 4)) : c);
            continue;
        }
        if (c == 0) { // end of line
            ++row;
            x = 0;
        } else if (c == 1) { // end of bitmap
            break;
        } else if (c == 2) { // delta: move right and down
            if (pos + 2 > size)
                break;
            x += bits[pos];
            row += bits[pos + 1];
            pos += 2;
        } else { // absolute run of c pixels, padded to a 16-bit boundary
            std::size_t bytes = four ? (c + 1) / 2 : c;
            for (unsigned k = 0; k < c; ++k) {
                std::size_t at = pos + (four ? k / 2 : k);
                if (at >= size)
                    break;
                put(four ? ((k & 1) ? (bits[at] & 15) : (bits[at] >> 4)) : bits[at]);
            }
            pos += bytes + (bytes & 1);
        }
    }
}

} // namespace

std::uint64_t dibRowBytes(std::int64_t width, int bitCount) {
    return ((std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32) * 4;
}

std::string parseDibHeader(const std::uint8_t* data, std::size_t size, DibHeader& h,
                           int rowsFactor) {
    h = DibHeader{};
    if (size < 4)
        return "the bitmap header is truncated";
    const std::uint32_t hs = le32(data);
    std::uint64_t clrUsed = 0;
    int entrySize = 4;
    if (hs == 12) {
        if (size < 12)
            return "the bitmap header is truncated";
        h.width = le16(data + 4);
        h.height = le16(data + 6);
        h.bitCount = int(le16(data + 10));
        entrySize = 3;
    } else if (hs >= 40) {
        if (size < hs)
            return "the bitmap header is truncated";
        h.width = std::int32_t(le32(data + 4));
        h.height = std::int32_t(le32(data + 8));
        h.bitCount = int(le16(data + 14));
        h.compression = le32(data + 16);
        clrUsed = le32(data + 32);
    } else {
        return "unsupported bitmap header size " + std::to_string(hs);
    }
    h.headerSize = hs;
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    if (rowsFactor > 1)
        h.height /= rowsFactor;
    if (h.width <= 0 || h.height <= 0)
        return "the picture has no pixels (" + std::to_string(h.width) + " x " +
               std::to_string(h.height) + ")";
    if (!pictureSizeAllowed(h.width, h.height))
        return pictureTooLargeMessage(h.width, h.height);

    const int bc = h.bitCount;
    if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32)
        return "unsupported bit count " + std::to_string(bc);
    switch (h.compression) {
    case kBiRgb:
        break;
    case kBiRle8:
        if (bc != 8)
            return "RLE8 compression needs 8 bits per pixel";
        break;
    case kBiRle4:
        if (bc != 4)
            return "RLE4 compression needs 4 bits per pixel";
        break;
    case kBiBitfields:
    case kBiAlphaBitfields:
        if (bc != 16 && bc != 32)
            return "bit fields need 16 or 32 bits per pixel";
        break;
    case kBiJpeg:
    case kBiPng:
        return "JPEG or PNG data inside a BMP file is not supported";
    default:
        return "unsupported compression " + std::to_string(h.compression);
    }

    std::uint64_t pos = hs;
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        const int count = h.compression == kBiAlphaBitfields ? 4 : 3;
        const std::uint64_t inHeader = hs >= 56 ? 4 : (hs >= 52 ? 3 : 0);
        if (inHeader >= std::uint64_t(count)) {
            for (int i = 0; i < count; ++i)
                h.masks[i] = le32(data + 40 + 4 * i);
        } else {
            if (pos + 4 * count > size)
                return "the bit-field masks are truncated";
            for (int i = 0; i < count; ++i)
                h.masks[i] = le32(data + pos + 4 * i);
            pos += 4 * count;
        }
        if (hs >= 56 && count == 3)
            h.masks[3] = le32(data + 52);
        for (int i = 0; i < 4; ++i)
            if (!maskValid(h.masks[i], bc))
                return "a bit-field mask is not valid";
    } else if (bc == 16) {
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x03E0;
        h.masks[2] = 0x001F;
    } else if (bc == 32) {
        h.masks[0] = 0x00FF0000;
        h.masks[1] = 0x0000FF00;
        h.masks[2] = 0x000000FF;
        // A V4 or V5 header may name an alpha channel even without bit fields.
        if (hs >= 108)
            h.masks[3] = le32(data + 52) == 0xFF000000u ? 0xFF000000u : 0;
    }
    h.keepAlpha = bc == 32 && h.masks[3] != 0;

    if (bc <= 8) {
        const std::uint64_t full = 1ull << bc;
        const std::uint64_t stored = (clrUsed == 0 || hs == 12) ? full : clrUsed;
        const std::uint64_t used = stored < full ? stored : full;
        if (pos + used * entrySize > size)
            return "the colour table is truncated";
        h.palette.resize(used);
        for (std::uint64_t i = 0; i < used; ++i) {
            const std::uint8_t* e = data + pos + i * entrySize;
            h.palette[i] = makePixel(e[2], e[1], e[0]);
        }
        pos += stored * entrySize;
    } else {
        pos += clrUsed * 4; // an optional colour table that a packed DIB still stores
    }
    h.infoBytes = pos > size ? size : std::size_t(pos);
    if (pos > size && bc <= 8)
        return "the colour table is truncated";
    return {};
}

std::string decodeDibPixels(const DibHeader& h, const std::uint8_t* bits, std::size_t bitsSize,
                            TBitmap32& picture) {
    const int w = int(h.width), rows = int(h.height);
    if (h.compression == kBiRle4 || h.compression == kBiRle8) {
        picture = TBitmap32::uninitialized(w, rows);
        decodeRle(h, bits, bitsSize, picture);
        return {};
    }
    const std::uint64_t stride = dibRowBytes(h.width, h.bitCount);
    // The last row may omit its padding; some writers do.
    const std::uint64_t need =
        stride * std::uint64_t(rows - 1) + (std::uint64_t(w) * h.bitCount + 7) / 8;
    if (need > bitsSize)
        return "the pixel data is truncated (" + std::to_string(bitsSize) + " of " +
               std::to_string(need) + " bytes)";
    Channel ch[4];
    for (int i = 0; i < 4; ++i)
        ch[i] = makeChannel(h.masks[i]);
    const bool standard32 = h.bitCount == 32 && h.masks[0] == 0x00FF0000u &&
                            h.masks[1] == 0x0000FF00u && h.masks[2] == 0x000000FFu &&
                            (h.masks[3] == 0 || h.masks[3] == 0xFF000000u);
    picture = TBitmap32::uninitialized(w, rows);
    parallelRows(rows, std::size_t(w), [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            int y = h.topDown ? i : rows - 1 - i;
            decodeRow(h, bits + stride * std::uint64_t(i), picture.row32(y), ch, standard32);
        }
    });
    return {};
}

LoadResult decodeBmp(const std::uint8_t* data, std::size_t size) {
    LoadResult result;
    try {
        if (data == nullptr || size < 18) {
            result.message = "the file is too short to be a BMP file";
            return result;
        }
        if (data[0] != 'B' || data[1] != 'M') {
            result.message = "not a BMP file";
            return result;
        }
        DibHeader h;
        std::string error = parseDibHeader(data + 14, size - 14, h);
        if (error.empty()) {
            const std::uint64_t offBits = le32(data + 10);
            std::uint64_t start = 14 + std::uint64_t(h.infoBytes);
            if (offBits > size)
                error = "the pixel data offset lies outside the file";
            else if (offBits >= start || (offBits >= 14 + h.headerSize && h.bitCount > 8))
                start = offBits; // trust it unless it points into the header or colour table
            if (error.empty())
                error = decodeDibPixels(h, data + start, size - start, result.picture);
        }
        if (!error.empty()) {
            result.picture = TBitmap32();
            result.message = error;
        }
    } catch (const std::bad_alloc&) {
        result = LoadResult{};
        result.message = "not enough memory for the picture";
    } catch (const std::exception& e) {
        result = LoadResult{};
        result.message = e.what();
    }
    return result;
}

std::vector<std::uint8_t> encodeBmp(const TBitmap32& picture, int bitsPerPixel) {
    std::vector<std::uint8_t> out;
    if (picture.empty() || (bitsPerPixel != 24 && bitsPerPixel != 32))
        return out;
    const int w = picture.width(), h = picture.height();
    const std::size_t stride = std::size_t(dibRowBytes(w, bitsPerPixel));
    const std::size_t imageBytes = stride * std::size_t(h);
    out.assign(54 + imageBytes, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, std::uint32_t(out.size()));
    put32(out, 10, 54);
    put32(out, 14, 40);
    put32(out, 18, std::uint32_t(w));
    put32(out, 22, std::uint32_t(h));
    put16(out, 26, 1);
    put16(out, 28, std::uint32_t(bitsPerPixel));
    put32(out, 34, std::uint32_t(imageBytes));
    put32(out, 38, 2835); // 72 dots per inch
    put32(out, 42, 2835);
    std::uint8_t* base = out.data() + 54;
    parallelRows(h, std::size_t(w), [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* dst = base + stride * std::size_t(h - 1 - y);
            const std::uint8_t* src = picture.row(y);
            if (bitsPerPixel == 32) {
                std::copy(src, src + std::size_t(w) * 4, dst);
            } else {
                for (int x = 0; x < w; ++x, src += 4, dst += 3) {
                    dst[0] = src[kBlue];
                    dst[1] = src[kGreen];
                    dst[2] = src[kRed];
                }
            }
        }
    });
    return out;
}

} // namespace quill
