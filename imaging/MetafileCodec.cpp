#include "imaging/MetafileCodec.h"

#include "imaging/BmpCodec.h"
#include "imaging/Limits.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>

namespace quill {
namespace {

constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;

enum : std::uint32_t {
    EMR_HEADER = 1,
    EMR_EOF = 14,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
};
enum : std::uint32_t {
    META_EOF = 0x0000,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43,
};

std::int64_t s32(const std::uint8_t* p) {
    return std::int32_t(readLe32(p));
}
std::int64_t s16(const std::uint8_t* p) {
    return std::int16_t(readLe16(p));
}

// One bitmap record: a source rectangle of a DIB drawn into a destination rectangle
// given in logical units.
struct BitmapDraw {
    std::int64_t dx = 0, dy = 0, dw = 0, dh = 0;
    std::int64_t sx = 0, sy = 0, sw = 0, sh = 0;
    const std::uint8_t* info = nullptr;
    std::size_t infoSize = 0;
    const std::uint8_t* bits = nullptr; // null: rows follow the BITMAPINFO (packed)
    std::size_t bitsSize = 0;
    std::int64_t startScan = -1, scans = 0; // a band of rows (SetDIBitsToDevice)
};

// Logical units to picture pixels: the logical rectangle org..org+ext fills the picture.
struct Mapping {
    std::int64_t orgX = 0, orgY = 0, extX = 1, extY = 1, width = 0, height = 0;
    static std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
        std::int64_t q = a / b;
        return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
    }
    std::int64_t x(std::int64_t v) const { return floorDiv((v - orgX) * width, extX); }
    std::int64_t y(std::int64_t v) const { return floorDiv((v - orgY) * height, extY); }
};

// A metafile that gives no size of its own: the picture is the extent of its bitmaps, one
// logical unit to the pixel (no size at all when there are none).
Mapping extentOfDraws(const std::vector<BitmapDraw>& draws) {
    Mapping m;
    if (draws.empty())
        return m;
    std::int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
    for (const BitmapDraw& d : draws) {
        l = std::min({l, d.dx, d.dx + d.dw});
        r = std::max({r, d.dx, d.dx + d.dw});
        t = std::min({t, d.dy, d.dy + d.dh});
        b = std::max({b, d.dy, d.dy + d.dh});
    }
    m.orgX = l;
    m.orgY = t;
    m.width = m.extX = std::max<std::int64_t>(r - l, 1);
    m.height = m.extY = std::max<std::int64_t>(b - t, 1);
    return m;
}

// Draws the source rectangle of dib into the mapped destination, nearest neighbour:
// destination offset k takes source offset floor(k * source size / destination size).
// A negative size on either side mirrors.
void blit(const TBitmap32& dib, std::int64_t rowOffset, const BitmapDraw& d, const Mapping& m,
          TBitmap32& out) {
    std::int64_t x0 = m.x(d.dx), x1 = m.x(d.dx + d.dw), y0 = m.y(d.dy), y1 = m.y(d.dy + d.dh);
    bool flipX = (x1 < x0) != (d.sw < 0), flipY = (y1 < y0) != (d.sh < 0);
    if (x1 < x0)
        std::swap(x0, x1);
    if (y1 < y0)
        std::swap(y0, y1);
    const std::int64_t pw = x1 - x0, ph = y1 - y0;
    const std::int64_t sw = d.sw < 0 ? -d.sw : d.sw, sh = d.sh < 0 ? -d.sh : d.sh;
    const std::int64_t sx = d.sw < 0 ? d.sx + d.sw : d.sx;
    const std::int64_t sy = d.sh < 0 ? d.sy + d.sh : d.sy;
    if (pw == 0 || ph == 0 || sw == 0 || sh == 0)
        return;
    const std::int64_t left = std::max<std::int64_t>(x0, 0),
                       right = std::min<std::int64_t>(x1, out.width());
    const std::int64_t top = std::max<std::int64_t>(y0, 0),
                       bottom = std::min<std::int64_t>(y1, out.height());
    if (left >= right || top >= bottom)
        return;
    // One source column per visible destination column, worked out once; -1: outside.
    std::vector<int> columns(std::size_t(right - left));
    for (std::int64_t px = left; px < right; ++px) {
        std::int64_t j = px - x0;
        if (flipX)
            j = pw - 1 - j;
        // Offsets and sizes come from the file: the product may pass 64 bits.
        const std::int64_t col = sx + std::int64_t(__int128(j) * sw / pw);
        columns[std::size_t(px - left)] = col >= 0 && col < dib.width() ? int(col) : -1;
    }
    for (std::int64_t py = top; py < bottom; ++py) {
        std::int64_t k = py - y0;
        if (flipY)
            k = ph - 1 - k;
        const std::int64_t row = sy + std::int64_t(__int128(k) * sh / ph) - rowOffset;
        if (row < 0 || row >= dib.height())
            continue;
        const std::uint32_t* src = dib.row32(int(row));
        std::uint32_t* dst = out.row32(int(py)) + left;
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i] >= 0)
                dst[i] = src[columns[i]] | 0xFF000000u;
    }
}

// Decodes the DIB of one record into dib, with the draw adjusted to top-down source rows
// (rowOffset: the first row of a band). Returns the reason when it cannot.
std::string decodeRecord(const BitmapDraw& d, TBitmap32& dib, std::int64_t& rowOffset,
                         BitmapDraw& top) {
    DibHeader h;
    std::string error = parseDibHeader(d.info, d.infoSize, h);
    if (!error.empty())
        return error;
    const std::int64_t fullHeight = h.height;
    rowOffset = 0;
    if (d.startScan >= 0) {
        if (d.scans <= 0 || d.startScan >= fullHeight)
            return {}; // no rows to draw
        h.height = std::min(d.scans, fullHeight - d.startScan);
        // Band rows counted from the bottom of the whole bitmap in a bottom-up DIB.
        rowOffset = h.topDown ? d.startScan : fullHeight - d.startScan - h.height;
    }
    const std::uint8_t* bits = d.bits ? d.bits : d.info + h.infoBytes;
    const std::size_t bitsSize = d.bits ? d.bitsSize : d.infoSize - h.infoBytes;
    error = decodeDibPixels(h, bits, bitsSize, dib);
    if (!error.empty())
        return error;
    // Source rectangles of a bottom-up DIB are measured from its bottom-left corner.
    top = d;
    if (!h.topDown)
        top.sy = fullHeight - d.sy - d.sh;
    return {};
}

LoadResult render(const std::vector<BitmapDraw>& draws, const Mapping& m, std::string damage) {
    LoadResult result;
    if (draws.empty()) {
        result.message = damage;
        return result;
    }
    if (m.width <= 0 || m.height <= 0) {
        result.message = "the metafile has no size";
        return result;
    }
    if (!pictureSizeAllowed(m.width, m.height)) {
        result.message = pictureTooLargeMessage(m.width, m.height);
        return result;
    }
    // The picture is made only once a bitmap has decoded: a metafile whose records are
    // all broken costs no large allocation.
    TBitmap32 out;
    bool drawn = false;
    std::string firstError;
    for (const BitmapDraw& d : draws) {
        TBitmap32 dib;
        std::int64_t rowOffset = 0;
        BitmapDraw top;
        std::string error = decodeRecord(d, dib, rowOffset, top);
        if (!error.empty()) {
            if (firstError.empty())
                firstError = error;
            continue;
        }
        if (!drawn)
            out = TBitmap32(int(m.width), int(m.height), kOpaqueWhite);
        drawn = true;
        if (!dib.empty())
            blit(dib, rowOffset, top, m, out);
    }
    if (drawn)
        result.picture = std::move(out);
    else
        result.message = firstError;
    return result;
}

// Offsets in an EMF record point inside the record: check them before use.
bool emfPart(const std::uint8_t* rec, std::size_t recSize, std::size_t offField,
             std::size_t sizeField, const std::uint8_t*& p, std::size_t& n) {
    const std::uint64_t off = readLe32(rec + offField), cb = readLe32(rec + sizeField);
    if (cb == 0 || off + cb > recSize)
        return false;
    p = rec + off;
    n = std::size_t(cb);
    return true;
}

LoadResult decodeEmf(const std::uint8_t* data, std::size_t size) {
    const std::size_t headerSize = readLe32(data + 4);
    if (headerSize < 88 || headerSize > size || headerSize % 4 != 0)
        return {TBitmap32(), "the metafile header is damaged"};
    const std::int64_t left = s32(data + 8), top = s32(data + 12), right = s32(data + 16),
                       bottom = s32(data + 20);
    std::vector<BitmapDraw> draws;
    std::string damage;
    std::size_t pos = headerSize;
    while (true) {
        if (pos + 8 > size) {
            damage = "the metafile ends without its end record";
            break;
        }
        const std::uint8_t* rec = data + pos;
        const std::uint32_t type = readLe32(rec);
        const std::uint64_t n = readLe32(rec + 4);
        if (n < 8 || n % 4 != 0 || n > size - pos) {
            damage = "metafile record at byte " + std::to_string(pos) + " is damaged";
            break;
        }
        if (type == EMR_EOF)
            break;
        BitmapDraw d;
        bool ok = false;
        if ((type == EMR_STRETCHDIBITS && n >= 80) || (type == EMR_SETDIBITSTODEVICE && n >= 76)) {
            // Both start with the destination corner, the source rectangle and the DIB.
            d.dx = s32(rec + 24);
            d.dy = s32(rec + 28);
            d.sx = s32(rec + 32);
            d.sy = s32(rec + 36);
            d.dw = d.sw = s32(rec + 40);
            d.dh = d.sh = s32(rec + 44);
            if (type == EMR_STRETCHDIBITS) {
                d.dw = s32(rec + 72);
                d.dh = s32(rec + 76);
            } else {
                d.startScan = readLe32(rec + 68);
                d.scans = readLe32(rec + 72);
            }
            ok = emfPart(rec, n, 48, 52, d.info, d.infoSize) &&
                 emfPart(rec, n, 56, 60, d.bits, d.bitsSize);
        } else if ((type == EMR_BITBLT && n >= 100) || (type == EMR_STRETCHBLT && n >= 108)) {
            d.dx = s32(rec + 24);
            d.dy = s32(rec + 28);
            d.dw = d.sw = s32(rec + 32);
            d.dh = d.sh = s32(rec + 36);
            d.sx = s32(rec + 44);
            d.sy = s32(rec + 48);
            if (type == EMR_STRETCHBLT) {
                d.sw = s32(rec + 100);
                d.sh = s32(rec + 104);
            }
            // A blit without a source bitmap only paints with a brush.
            ok = emfPart(rec, n, 84, 88, d.info, d.infoSize) &&
                 emfPart(rec, n, 92, 96, d.bits, d.bitsSize);
        }
        if (ok)
            draws.push_back(d);
        pos += std::size_t(n);
    }

    Mapping m;
    if (right >= left && bottom >= top) {
        m.orgX = left;
        m.orgY = top;
        m.width = m.extX = right - left + 1;
        m.height = m.extY = bottom - top + 1;
    } else {
        m = extentOfDraws(draws);
    }
    return render(draws, m, draws.empty() ? damage : std::string());
}

LoadResult decodeWmf(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = 0;
    bool placeable = false;
    std::int64_t boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0, inch = 0;
    if (readLe32(data) == kPlaceableKey) {
        if (size < 22 + 18)
            return {TBitmap32(), "the metafile is truncated"};
        placeable = true;
        boxLeft = s16(data + 6);
        boxTop = s16(data + 8);
        boxRight = s16(data + 10);
        boxBottom = s16(data + 12);
        inch = readLe16(data + 14);
        pos = 22;
    }
    const std::uint32_t type = readLe16(data + pos), headerWords = readLe16(data + pos + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return {TBitmap32(), "the metafile header is damaged"};
    pos += 18;

    std::vector<BitmapDraw> draws;
    std::string damage;
    bool haveOrg = false, haveExt = false;
    std::int64_t orgX = 0, orgY = 0, extX = 0, extY = 0;
    while (true) {
        if (pos + 6 > size) {
            damage = "the metafile ends without its end record";
            break;
        }
        const std::uint8_t* rec = data + pos;
        const std::uint64_t n = std::uint64_t(readLe32(rec)) * 2;
        const std::uint32_t function = readLe16(rec + 4);
        if (function == META_EOF)
            break;
        if (n < 6 || n > size - pos) {
            damage = "metafile record at byte " + std::to_string(pos) + " is damaged";
            break;
        }
        BitmapDraw d;
        // The bitmap records end alike: source y and x, height, width, destination y and x
        // (16-bit words, last argument first), then the DIB. The stretching ones give the
        // source height and width before that; SetDIBitsToDevice its band of scan lines.
        std::size_t placeAt = 0;
        if (function == META_SETWINDOWORG && n >= 10) {
            orgY = s16(rec + 6);
            orgX = s16(rec + 8);
            haveOrg = true;
        } else if (function == META_SETWINDOWEXT && n >= 10) {
            extY = s16(rec + 6);
            extX = s16(rec + 8);
            haveExt = true;
        } else if (function == META_STRETCHDIB) {
            placeAt = 16;
        } else if (function == META_DIBSTRETCHBLT) {
            placeAt = 14;
        } else if (function == META_DIBBITBLT) {
            placeAt = 10;
        } else if (function == META_SETDIBTODEV) {
            placeAt = 12;
        }
        const std::size_t dibAt = placeAt + 12;
        if (placeAt != 0 && n > dibAt) {
            const std::uint8_t* at = rec + placeAt;
            d.sy = s16(at);
            d.sx = s16(at + 2);
            d.dh = d.sh = s16(at + 4);
            d.dw = d.sw = s16(at + 6);
            d.dy = s16(at + 8);
            d.dx = s16(at + 10);
            if (function == META_STRETCHDIB || function == META_DIBSTRETCHBLT) {
                d.sh = s16(at - 4);
                d.sw = s16(at - 2);
            } else if (function == META_SETDIBTODEV) {
                d.scans = readLe16(rec + 8);
                d.startScan = readLe16(rec + 10);
            }
            d.info = rec + dibAt;
            d.infoSize = std::size_t(n) - dibAt;
            draws.push_back(d);
        }
        pos += std::size_t(n);
    }

    Mapping m;
    if (placeable && boxRight != boxLeft && boxBottom != boxTop) {
        m.orgX = std::min(boxLeft, boxRight);
        m.orgY = std::min(boxTop, boxBottom);
        m.extX = std::max(boxLeft, boxRight) - m.orgX;
        m.extY = std::max(boxTop, boxBottom) - m.orgY;
        // The box is in logical units, inch of them to the inch; the screen has 96.
        const std::int64_t perInch = inch > 0 ? inch : 96;
        m.width = std::max<std::int64_t>((m.extX * 96 + perInch / 2) / perInch, 1);
        m.height = std::max<std::int64_t>((m.extY * 96 + perInch / 2) / perInch, 1);
    } else if (haveExt && extX != 0 && extY != 0) {
        m.orgX = haveOrg ? orgX : 0;
        m.orgY = haveOrg ? orgY : 0;
        m.extX = extX;
        m.extY = extY;
        m.width = extX < 0 ? -extX : extX;
        m.height = extY < 0 ? -extY : extY;
    } else {
        m = extentOfDraws(draws);
    }
    return render(draws, m, draws.empty() ? damage : std::string());
}

} // namespace

LoadResult decodeMetafile(const std::uint8_t* data, std::size_t size) {
    try {
        if (data == nullptr || size < 18)
            return {TBitmap32(), "the file is too short to be a metafile"};
        if (readLe32(data) == EMR_HEADER && size >= 88 && readLe32(data + 40) == kEmfSignature)
            return decodeEmf(data, size);
        return decodeWmf(data, size);
    } catch (const std::bad_alloc&) {
        return {TBitmap32(), "not enough memory for the picture"};
    } catch (const std::exception& e) {
        return {TBitmap32(), e.what()};
    }
}

std::vector<std::uint8_t> encodeEmf(const TBitmap32& picture) {
    std::vector<std::uint8_t> out;
    if (picture.empty())
        return out;
    const std::vector<std::uint8_t> bmp = encodeBmp(picture, 24);
    const std::size_t dibBytes = bmp.size() - 14; // BITMAPINFOHEADER and rows
    const std::size_t headerSize = 108, recordSize = 80 + dibBytes, eofSize = 20;
    out.assign(headerSize + recordSize + eofSize, 0);
    const std::uint32_t w = std::uint32_t(picture.width()), h = std::uint32_t(picture.height());
    std::uint8_t* p = out.data();

    // Header, with a 96 dots-per-inch reference device of 1440 x 960 pixels (381 x 254 mm),
    // so that the frame in hundredths of a millimetre gives back the pixel size.
    writeLe32(p + 0, EMR_HEADER);
    writeLe32(p + 4, std::uint32_t(headerSize));
    writeLe32(p + 16, w - 1);
    writeLe32(p + 20, h - 1);
    writeLe32(p + 32, std::uint32_t((std::uint64_t(w) * 2540 + 48) / 96) - 1);
    writeLe32(p + 36, std::uint32_t((std::uint64_t(h) * 2540 + 48) / 96) - 1);
    writeLe32(p + 40, kEmfSignature);
    writeLe32(p + 44, 0x10000);
    writeLe32(p + 48, std::uint32_t(out.size()));
    writeLe32(p + 52, 3);
    writeLe16(p + 56, 1);
    writeLe32(p + 72, 1440);
    writeLe32(p + 76, 960);
    writeLe32(p + 80, 381);
    writeLe32(p + 84, 254);
    writeLe32(p + 100, 381000);
    writeLe32(p + 104, 254000);

    std::uint8_t* r = p + headerSize;
    writeLe32(r + 0, EMR_STRETCHDIBITS);
    writeLe32(r + 4, std::uint32_t(recordSize));
    writeLe32(r + 16, w - 1);
    writeLe32(r + 20, h - 1);
    writeLe32(r + 40, w);   // cxSrc
    writeLe32(r + 44, h);   // cySrc
    writeLe32(r + 48, 80);  // offBmiSrc
    writeLe32(r + 52, 40);  // cbBmiSrc
    writeLe32(r + 56, 120); // offBitsSrc
    writeLe32(r + 60, std::uint32_t(dibBytes - 40));
    writeLe32(r + 64, 0); // DIB_RGB_COLORS
    writeLe32(r + 68, kSrcCopy);
    writeLe32(r + 72, w); // cxDest
    writeLe32(r + 76, h); // cyDest
    std::copy(bmp.begin() + 14, bmp.end(), r + 80);

    std::uint8_t* e = r + recordSize;
    writeLe32(e + 0, EMR_EOF);
    writeLe32(e + 4, std::uint32_t(eofSize));
    writeLe32(e + 12, 16); // offPalEntries
    writeLe32(e + 16, std::uint32_t(eofSize));
    return out;
}

} // namespace quill
