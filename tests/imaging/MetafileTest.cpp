#include "imaging/MetafileCodec.h"

#include "imaging/BmpCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/imaging/ByteWriting.h"

namespace quill {
namespace {

using test_bytes::add16;
using test_bytes::add32;
using test_bytes::Bytes;
using test_bytes::pictureOf;
using test_bytes::randomPicture;
using test_bytes::rgb;

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

// A packed 24-bit DIB (BITMAPINFOHEADER and rows) of a picture.
Bytes packedDib(const TBitmap32& pic) {
    const Bytes bmp = encodeBmp(pic, 24);
    return Bytes(bmp.begin() + 14, bmp.end());
}

TEST(EmfEncode, LayoutOfHeaderRecordAndEnd) {
    const TBitmap32 pic = randomPicture(3, 2, 1);
    const Bytes f = encodeEmf(pic);
    const std::uint32_t rows = 12 * 2; // 9 bytes a row padded to 12
    ASSERT_EQ(f.size(), 108u + 80 + 40 + rows + 20);
    // Runs of 32-bit words: where each starts and what it holds.
    const std::uint32_t size = std::uint32_t(f.size());
    const std::pair<std::size_t, std::vector<std::uint32_t>> runs[] = {
        {0, {1, 108, 0, 0, 2, 1}},             // EMR_HEADER, its size, bounds (inclusive)
        {40, {0x464D4520, 0x10000, size, 3}},  // " EMF", version, file size, records
        {108, {81, 80 + 40 + rows}},           // EMR_STRETCHDIBITS, its size
        {108 + 40, {3, 2, 80, 40, 120, rows}}, // source size; header and bits: offset, size
        {108 + 68, {0x00CC0020, 3, 2}},        // SRCCOPY, destination size
        {108 + 80 + 12, {24 << 16 | 1}},       // planes 1, 24 bits
        {size - 20, {14, 20}},                 // EMR_EOF, its size
        {size - 4, {20}}                       // nSizeLast
    };
    for (const auto& [at, words] : runs)
        for (std::size_t i = 0; i < words.size(); ++i)
            EXPECT_EQ(readLe32(&f[at + 4 * i]), words[i]) << "at byte " << at + 4 * i;
    EXPECT_EQ(Bytes(f.begin() + 108 + 80, f.end() - 20), packedDib(pic));
    EXPECT_TRUE(encodeEmf(TBitmap32()).empty());
}

// An EMF made record by record: header with bounds, the given records, end record.
Bytes emfWith(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
              const std::vector<Bytes>& records, bool withEnd = true) {
    Bytes f;
    add32(f, {1, 88, std::uint32_t(l), std::uint32_t(t), std::uint32_t(r), std::uint32_t(b)});
    add32(f, {0, 0, 0, 0, 0x464D4520, 0x10000, 0, std::uint32_t(records.size() + 2)});
    f.resize(88, 0);
    for (const Bytes& rec : records)
        f.insert(f.end(), rec.begin(), rec.end());
    if (withEnd)
        add32(f, {14, 20, 0, 16, 20});
    writeLe32(&f[48], std::uint32_t(f.size()));
    return f;
}

// EMR_STRETCHDIBITS: destination x, y, w, h; source x, y, w, h; the packed DIB.
Bytes stretchDiBits(std::vector<std::int32_t> at, const Bytes& dib) {
    Bytes r;
    add32(r, {81, std::uint32_t(80 + dib.size()), 0, 0, 0, 0});
    for (int i : {0, 1, 4, 5, 6, 7})
        add32(r, std::uint32_t(at[i]));
    add32(r, {80, 40, 120, std::uint32_t(dib.size() - 40), 0, 0x00CC0020});
    add32(r, {std::uint32_t(at[2]), std::uint32_t(at[3])});
    r.insert(r.end(), dib.begin(), dib.end());
    return r;
}

TEST(EmfDecode, BitmapRecordsDrawnOnWhite) {
    const std::uint32_t A = rgb(10, 0, 0), B = rgb(0, 20, 0), C = rgb(0, 0, 30),
                        D = rgb(40, 40, 40), W = kWhite;
    const TBitmap32 twoByTwo = pictureOf(2, 2, {A, B, C, D}), none;
    const Bytes dib = packedDib(twoByTwo), whole = stretchDiBits({0, 0, 2, 2, 0, 0, 2, 2}, dib);
    Bytes rectangle; // EMR_RECTANGLE
    add32(rectangle, {43, 24, 1, 1, 5, 5});
    // The bitmap drawn whole, with one field of its record changed.
    const auto patched = [&](std::size_t at, std::uint32_t value, bool word = false) {
        Bytes rec = whole;
        word ? writeLe16(&rec[at], value) : writeLe32(&rec[at], value);
        return emfWith(0, 0, 1, 1, {rec});
    };
    const std::string damaged = "metafile record at byte 88 is damaged";
    const struct {
        const char* name;
        Bytes file;
        TBitmap32 expected;
        std::string message;
    } cases[] = {
        {"doubled: each source pixel covers two by two",
         emfWith(0, 0, 3, 3, {stretchDiBits({0, 0, 4, 4, 0, 0, 2, 2}, dib)}),
         pictureOf(4, 4, {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D}), ""},
        {"placed at (1,1) in a 3 x 3 metafile: the rest stays white",
         emfWith(0, 0, 2, 2, {stretchDiBits({1, 1, 2, 2, 0, 0, 2, 2}, dib)}),
         pictureOf(3, 3, {W, W, W, W, A, B, W, C, D}), ""},
        {"bounds not at the origin",
         emfWith(10, 20, 11, 21, {stretchDiBits({10, 20, 2, 2, 0, 0, 2, 2}, dib)}), twoByTwo, ""},
        // The source rectangle of a bottom-up DIB is measured from its bottom edge: y 0,
        // height 1 is the bottom row (C, D).
        {"one source row from the bottom",
         emfWith(0, 0, 1, 0, {stretchDiBits({0, 0, 2, 1, 0, 0, 2, 1}, dib)}),
         pictureOf(2, 1, {C, D}), ""},
        {"mirrored by a negative destination width",
         emfWith(0, 0, 1, 1, {stretchDiBits({2, 0, -2, 2, 0, 0, 2, 2}, dib)}),
         pictureOf(2, 2, {B, A, D, C}), ""},
        {"drawn partly outside the bounds",
         emfWith(0, 0, 1, 1, {stretchDiBits({-1, -1, 2, 2, 0, 0, 2, 2}, dib)}),
         pictureOf(2, 2, {D, W, W, W}), ""},
        {"a destination two billion pixels wide: the first source column fills the view",
         emfWith(0, 0, 1, 0, {stretchDiBits({0, 0, 0x7FFFFFFF, 1, 0, 0, 2, 2}, dib)}),
         pictureOf(2, 1, {A, A}), ""},
        {"no bitmap record", emfWith(0, 0, 9, 9, {rectangle}), none, ""},
        {"no records at all", emfWith(0, 0, 9, 9, {}), none, ""},
        {"bitmap offsets outside the record are skipped", patched(56, 0x7FFFFFF0), none, ""},
        {"record size past the end of the file", patched(4, 0xFFFFFFF0), none, damaged},
        {"record size smaller than a record can be", patched(4, 6), none, damaged},
        {"no end record", emfWith(0, 0, 9, 9, {rectangle}, false), none,
         "the metafile ends without its end record"},
        {"a bitmap before a missing end record still shows", emfWith(0, 0, 1, 1, {whole}, false),
         twoByTwo, ""},
        {"a bitmap that cannot be decoded", patched(80 + 14, 7, true), none,
         "unsupported bit count 7"},
        {"bounds over the size limit", emfWith(0, 0, 99999, 99999, {whole}), none,
         pictureTooLargeMessage(100000, 100000)}};
    for (const auto& c : cases) {
        LoadResult r = decodeMetafile(c.file.data(), c.file.size());
        EXPECT_EQ(r.message, c.message) << c.name;
        EXPECT_TRUE(r.picture == c.expected)
            << c.name << ": " << r.picture.width() << " x " << r.picture.height();
    }
}

// A WMF: optional placeable header, META_HEADER, records, META_EOF.
Bytes wmfWith(bool placeable, std::int16_t boxRight, std::int16_t boxBottom, std::uint16_t inch,
              const std::vector<Bytes>& records) {
    Bytes f;
    if (placeable) {
        add32(f, 0x9AC6CDD7);
        add16(f, {0, 0, 0, std::uint16_t(boxRight), std::uint16_t(boxBottom), inch});
        add32(f, 0);
        add16(f, 0); // checksum, not checked
    }
    add16(f, {1, 9, 0x300});
    add32(f, 0);
    add16(f, 0);
    add32(f, 0);
    add16(f, 0);
    for (const Bytes& r : records)
        f.insert(f.end(), r.begin(), r.end());
    add32(f, 3);
    add16(f, 0);
    return f;
}

Bytes wmfRecord(std::uint16_t function, const std::vector<std::int16_t>& params,
                const Bytes& dib = {}) {
    Bytes r;
    add32(r, 0);
    add16(r, function);
    for (std::int16_t v : params)
        add16(r, std::uint16_t(v));
    r.insert(r.end(), dib.begin(), dib.end());
    r.resize((r.size() + 1) / 2 * 2, 0);
    writeLe32(r.data(), std::uint32_t(r.size() / 2));
    return r;
}

TEST(WmfDecode, BitmapRecords) {
    const std::uint32_t A = rgb(10, 0, 0), B = rgb(0, 20, 0), C = rgb(0, 0, 30),
                        D = rgb(40, 40, 40), W = kWhite;
    const TBitmap32 twoByTwo = pictureOf(2, 2, {A, B, C, D});
    const Bytes dib = packedDib(twoByTwo);
    // META_STRETCHDIB parameters: rop (two words), usage, source h, w, y, x, dest h, w, y, x.
    const Bytes stretchDib = wmfRecord(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0}, dib);
    const Bytes stretchDibDoubled =
        wmfRecord(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 4, 4, 0, 0}, dib);
    // META_DIBSTRETCHBLT: rop, source h, w, y, x, dest h, w, y, x.
    const Bytes dibStretchBlt = wmfRecord(0x0B41, {0x0020, 0x00CC, 2, 2, 0, 0, 2, 2, 1, 1}, dib);
    const struct {
        const char* name;
        Bytes file;
        TBitmap32 expected;
    } cases[] = {
        {"placeable, 96 per inch", wmfWith(true, 2, 2, 96, {stretchDib}), twoByTwo},
        {"placeable, 192 per inch: half size", wmfWith(true, 4, 4, 192, {stretchDibDoubled}),
         twoByTwo},
        {"window extent", wmfWith(false, 0, 0, 0, {wmfRecord(0x020C, {3, 3}), dibStretchBlt}),
         pictureOf(3, 3, {W, W, W, W, A, B, W, C, D})},
        {"no size given: the bitmaps' extent", wmfWith(false, 0, 0, 0, {stretchDibDoubled}),
         pictureOf(4, 4, {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D})},
        // META_DIBBITBLT: rop, source y, x, height, width, dest y, x.
        {"bit block transfer",
         wmfWith(false, 0, 0, 0,
                 {wmfRecord(0x020C, {3, 3}),
                  wmfRecord(0x0940, {0x0020, 0x00CC, 0, 0, 2, 2, 1, 1}, dib)}),
         pictureOf(3, 3, {W, W, W, W, A, B, W, C, D})},
        // META_SETDIBTODEV: usage, scans, start scan, source y, x, height, width, dest y, x.
        // One scan from the bottom: only the bottom row (C, D) is drawn.
        {"band of one scan line",
         wmfWith(false, 0, 0, 0,
                 {wmfRecord(0x020C, {2, 2}), wmfRecord(0x0D33, {0, 1, 0, 0, 0, 2, 2, 0, 0}, dib)}),
         pictureOf(2, 2, {W, W, C, D})},
        {"no bitmap record", wmfWith(true, 2, 2, 96, {wmfRecord(0x020C, {3, 3})}), TBitmap32()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult r = decodeMetafile(c.file.data(), c.file.size());
        EXPECT_EQ(r.message, "");
        EXPECT_TRUE(r.picture == c.expected) << r.picture.width() << " x " << r.picture.height();
    }
}

TEST(MetafileDecode, NotAMetafileAndEveryPrefixFailCleanly) {
    const Bytes junk(100, 0x41);
    LoadResult r = decodeMetafile(junk.data(), junk.size());
    EXPECT_TRUE(r.picture.empty());
    EXPECT_EQ(r.message, "the metafile header is damaged");
    r = decodeMetafile(nullptr, 0);
    EXPECT_EQ(r.message, "the file is too short to be a metafile");

    const Bytes emf = encodeEmf(randomPicture(3, 3, 5));
    const Bytes dib = packedDib(randomPicture(2, 2, 6));
    const Bytes wmf = wmfWith(
        true, 2, 2, 96, {wmfRecord(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 2, 2, 0, 0}, dib)});
    for (const Bytes* file : {&emf, &wmf}) {
        for (std::size_t n = 0; n < file->size(); ++n) {
            const Bytes cut(file->begin(), file->begin() + std::ptrdiff_t(n));
            LoadResult p = decodeMetafile(cut.data(), cut.size());
            if (p.picture.empty())
                EXPECT_NE(p.message, "") << n; // a cut file is damaged, never silently empty
            else
                EXPECT_EQ(p.message, "") << n;
        }
    }
}

} // namespace
} // namespace quill
