// The orientation tag is read by the program's own small reader rather than libexif:
// one tag of the first directory is all that is needed, the same reader serves the
// EXIF blocks of JPEG (APP1, after "Exif\0\0"), PNG (eXIf), WebP (EXIF) and TIFF's own
// tag, and it reads only the bytes of that one directory, where libexif would parse
// every directory and maker note of a block a hostile file controls on each open.
#include "imaging/Orientation.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace quill {

namespace {

struct TiffBytes {
    const std::uint8_t* data;
    std::size_t size;
    bool littleEndian;

    unsigned read16(std::size_t at) const {
        return littleEndian ? unsigned(data[at]) | unsigned(data[at + 1]) << 8
                            : unsigned(data[at]) << 8 | unsigned(data[at + 1]);
    }
    std::uint32_t read32(std::size_t at) const {
        const std::uint32_t a = read16(at), b = read16(at + 2);
        return littleEndian ? a | b << 16 : a << 16 | b;
    }
};

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kTypeShort = 3;

// Rows handed to OrientedRows at a time when a whole picture is turned.
constexpr int kBand = 16;

} // namespace

int exifOrientation(const std::uint8_t* block, std::size_t size) {
    if (block == nullptr)
        return kUpright;
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
        block += 6;
        size -= 6;
    }
    if (size < 8)
        return kUpright;
    TiffBytes tiff{block, size, block[0] == 'I'};
    if (!((block[0] == 'I' && block[1] == 'I') || (block[0] == 'M' && block[1] == 'M')) ||
        tiff.read16(2) != 42)
        return kUpright;
    const std::uint32_t directory = tiff.read32(4);
    if (directory > size - 2)
        return kUpright;
    const unsigned entries = tiff.read16(directory);
    // Twelve bytes an entry; a count running past the block ends the search there.
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t at = std::size_t(directory) + 2 + std::size_t(i) * 12;
        if (at + 12 > size)
            break;
        if (tiff.read16(at) != kOrientationTag)
            continue;
        if (tiff.read16(at + 2) != kTypeShort || tiff.read32(at + 4) != 1)
            return kUpright;
        const unsigned value = tiff.read16(at + 8);
        return value >= 1 && value <= 8 ? int(value) : kUpright;
    }
    return kUpright;
}

OrientedRows::OrientedRows(TBitmap32& upright, int orientation, int storedWidth, int storedHeight)
    : m_upright(upright), m_orientation(orientation), m_width(storedWidth), m_height(storedHeight) {
}

void OrientedRows::put(int firstRow, const std::uint8_t* rows, std::size_t strideBytes, int count) {
    const int w = m_width, h = m_height, o = m_orientation;
    auto source = [&](int i) {
        return reinterpret_cast<const std::uint32_t*>(rows + std::size_t(i) * strideBytes);
    };
    if (!orientationSwapsSides(o)) {
        const bool mirrored = o == 2 || o == 3, upsideDown = o == 3 || o == 4;
        for (int i = 0; i < count; ++i) {
            const int y = firstRow + i;
            std::uint32_t* out = m_upright.row32(upsideDown ? h - 1 - y : y);
            if (mirrored)
                std::reverse_copy(source(i), source(i) + w, out);
            else
                std::copy(source(i), source(i) + w, out);
        }
        return;
    }
    // A stored row becomes an upright column: stored column x goes to upright row x
    // (5, 6) or w - 1 - x (7, 8); stored row y to upright column y (5, 8) or h - 1 - y
    // (6, 7). Going across the stored columns keeps count neighbouring pixels of each
    // upright row together.
    const bool rowsFromRight = o == 7 || o == 8, columnsFromRight = o == 6 || o == 7;
    for (int x = 0; x < w; ++x) {
        std::uint32_t* out = m_upright.row32(rowsFromRight ? w - 1 - x : x);
        for (int i = 0; i < count; ++i) {
            const int y = firstRow + i;
            out[columnsFromRight ? h - 1 - y : y] = source(i)[x];
        }
    }
}

TBitmap32 orientPicture(TBitmap32 stored, int orientation) {
    const int w = stored.width(), h = stored.height();
    if (stored.empty() || orientation < 2 || orientation > 8)
        return stored;
    switch (orientation) {
    case 2:
        for (int y = 0; y < h; ++y)
            std::reverse(stored.row32(y), stored.row32(y) + w);
        return stored;
    case 3:
        std::reverse(stored.bits(), stored.bits() + stored.pixelCount());
        return stored;
    case 4:
        for (int y = 0; y < h / 2; ++y)
            std::swap_ranges(stored.row32(y), stored.row32(y) + w, stored.row32(h - 1 - y));
        return stored;
    default:
        break;
    }
    TBitmap32 upright = TBitmap32::uninitialized(h, w);
    OrientedRows rows(upright, orientation, w, h);
    for (int y = 0; y < h; y += kBand)
        rows.put(y, stored.row(y), stored.strideBytes(), std::min(kBand, h - y));
    return upright;
}

} // namespace quill
