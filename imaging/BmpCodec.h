#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quill {

// Little-endian fields of the Windows file forms (BMP, ICO, EMF, WMF).
inline std::uint32_t readLe16(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8);
}
inline std::uint32_t readLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline void writeLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void writeLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

// Reads a BMP file: 1, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8, bit fields,
// top-down and bottom-up rows, OS/2 core headers and V2..V5 headers. Every pixel gets
// alpha 255, except in a 32-bit file whose header carries a real alpha mask (V3, V4, V5
// headers, or BI_ALPHABITFIELDS), where the file's alpha is kept. On failure the picture
// is empty and message says why. Never throws.
LoadResult decodeBmp(const std::uint8_t* data, std::size_t size);

// Writes a BMP file: bitsPerPixel 24 (alpha dropped) or 32 (all four bytes kept),
// bottom-up rows, BITMAPFILEHEADER + BITMAPINFOHEADER, rows padded to 4 bytes.
// An empty picture or another depth gives an empty vector.
std::vector<std::uint8_t> encodeBmp(const TBitmap32& picture, int bitsPerPixel);

// The parts of a device-independent bitmap (a BITMAPINFO followed by pixel rows), as
// they appear in BMP files, icons and metafile records.
struct DibHeader {
    std::int64_t width = 0;
    std::int64_t height = 0; // rows; always positive here
    bool topDown = false;    // rows stored top row first
    int bitCount = 0;
    std::uint32_t compression = 0; // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields, 6 alpha bit fields
    std::uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha (alpha 0: none)
    bool keepAlpha = false;                // a 32-bit picture with a real alpha mask
    std::vector<std::uint32_t> palette;    // 0xAARRGGBB, alpha 255
    std::size_t infoBytes = 0; // header + masks + palette: where packed pixel rows start
    std::size_t headerSize = 0;
};

// Bytes in one stored row of bitCount bits per pixel, padded to 4 bytes (64-bit).
std::uint64_t dibRowBytes(std::int64_t width, int bitCount);

// Reads a BITMAPINFO (header, bit-field masks, palette) from size bytes. rowsFactor 2
// reads an icon's header, whose height counts the colour and mask rows together.
// Returns the empty string on success, else the reason. Checks the picture limits.
std::string parseDibHeader(const std::uint8_t* data, std::size_t size, DibHeader& header,
                           int rowsFactor = 1);

// Decodes the pixel rows of a parsed header from bits (bitsSize bytes) into picture,
// which becomes width x height, top row first. Returns the empty string or the reason.
std::string decodeDibPixels(const DibHeader& header, const std::uint8_t* bits, std::size_t bitsSize,
                            TBitmap32& picture);

} // namespace quill
