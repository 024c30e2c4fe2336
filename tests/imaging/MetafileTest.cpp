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
using test_bytes::randomPicture;
using test_bytes::rgb;

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

TBitmap32 opaque(TBitmap32 pic) {
    SetAlpha(pic, 255);
    return pic;
}

// A packed 24-bit DIB (BITMAPINFOHEADER and rows) of a picture.
Bytes packedDib(const TBitmap32& pic) {
    const Bytes bmp = encodeBmp(pic, 24);
    return Bytes(bmp.begin() + 14, bmp.end());
}

TEST(EmfEncode, LayoutOfHeaderRecordAndEnd) {
    const TBitmap32 pic = randomPicture(3, 2, 1);
    const Bytes f = encodeEmf(pic);
    const std::size_t rows = 12 * 2; // 9 bytes a row padded to 12
    ASSERT_EQ(f.size(), 108u + 80 + 40 + rows + 20);
    struct Field {
        std::size_t at;
        std::uint32_t value;
    } fields[] = {
        {0, 1},   // EMR_HEADER
        {4, 108}, // its size
        {8, 0},
        {12, 0}, // bounds left, top
        {16, 2},
        {20, 1},          // bounds right, bottom (inclusive)
        {40, 0x464D4520}, // " EMF"
        {44, 0x10000},    // version
        {48, std::uint32_t(f.size())},
        {52, 3},               // records
        {108, 81},             // EMR_STRETCHDIBITS
        {112, 80 + 40 + rows}, // its size
        {108 + 40, 3},
        {108 + 44, 2}, // source width, height
        {108 + 48, 80},
        {108 + 52, 40},
        {108 + 56, 120},
        {108 + 60, rows},
        {108 + 68, 0x00CC0020}, // SRCCOPY
        {108 + 72, 3},
        {108 + 76, 2},                 // destination width, height
        {108 + 80 + 12, 24 << 16 | 1}, // planes 1, 24 bits
        {f.size() - 20, 14},           // EMR_EOF
        {f.size() - 16, 20},
        {f.size() - 4, 20}, // nSizeLast
    };
    for (const Field& fld : fields)
        EXPECT_EQ(readLe32(&f[fld.at]), fld.value) << "at byte " << fld.at;
    EXPECT_EQ(Bytes(f.begin() + 108 + 80, f.end() - 20), packedDib(pic));
    EXPECT_TRUE(encodeEmf(TBitmap32()).empty());
}

TEST(EmfRoundTrip, PicturesComeBackExactlyWithAlpha255) {
    const struct { int w, h; } sizes[] = {{1, 1}, {2, 3}, {5, 3}, {7, 9}, {64, 1}, {1, 33}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.w) + " x " + std::to_string(s.h));
        const TBitmap32 pic = randomPicture(s.w, s.h, unsigned(s.w * 100 + s.h));
        const Bytes f = encodeEmf(pic);
        LoadResult r = decodeMetafile(f.data(), f.size());
        EXPECT_EQ(r.message, "");
        EXPECT_TRUE(r.picture == opaque(pic));
    }
}

// An EMF made record by record: header with bounds, the given records, end record.
Bytes emfWith(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
              const std::vector<Bytes>& records, bool withEnd = true) {
    Bytes f;
    add32(f, 1);
    add32(f, 88);
    for (std::int32_t v : {l, t, r, b})
        add32(f, std::uint32_t(v));
    for (int i = 0; i < 4; ++i)
        add32(f, 0);
    add32(f, 0x464D4520);
    add32(f, 0x10000);
    add32(f, 0);
    add32(f, std::uint32_t(records.size() + 2));
    f.resize(88, 0);
    for (const Bytes& rec : records)
        f.insert(f.end(), rec.begin(), rec.end());
    if (withEnd) {
        for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u})
            add32(f, v);
    }
    writeLe32(&f[48], std::uint32_t(f.size()));
    return f;
}

Bytes stretchDiBits(std::int32_t xd, std::int32_t yd, std::int32_t wd, std::int32_t hd,
                    std::int32_t xs, std::int32_t ys, std::int32_t ws, std::int32_t hs,
                    const Bytes& dib) {
    Bytes r;
    add32(r, 81);
    add32(r, std::uint32_t(80 + dib.size()));
    for (int i = 0; i < 4; ++i)
        add32(r, 0);
    for (std::int32_t v : {xd, yd, xs, ys, ws, hs})
        add32(r, std::uint32_t(v));
    add32(r, 80);
    add32(r, 40);
    add32(r, 120);
    add32(r, std::uint32_t(dib.size() - 40));
    add32(r, 0);
    add32(r, 0x00CC0020);
    add32(r, std::uint32_t(wd));
    add32(r, std::uint32_t(hd));
    r.insert(r.end(), dib.begin(), dib.end());
    return r;
}

Bytes rectangleRecord() {
    Bytes r;
    add32(r, 43); // EMR_RECTANGLE
    add32(r, 24);
    for (int v : {1, 1, 5, 5})
        add32(r, std::uint32_t(v));
    return r;
}

TBitmap32 picture(int w, int h, const std::vector<std::uint32_t>& px) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, px[std::size_t(y * w + x)]);
    return p;
}

struct EmfCase {
    const char* name;
    Bytes file;
    TBitmap32 expected;
    std::string message;
};

TEST(EmfDecode, BitmapRecordsDrawnOnWhite) {
    const std::uint32_t A = rgb(10, 0, 0), B = rgb(0, 20, 0), C = rgb(0, 0, 30),
                        D = rgb(40, 40, 40), W = kWhite;
    const TBitmap32 twoByTwo = picture(2, 2, {A, B, C, D});
    const Bytes dib = packedDib(twoByTwo);
    std::vector<EmfCase> cases;
    cases.push_back({"doubled: each source pixel covers two by two",
                     emfWith(0, 0, 3, 3, {stretchDiBits(0, 0, 4, 4, 0, 0, 2, 2, dib)}),
                     picture(4, 4, {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D}), ""});
    cases.push_back({"placed at (1,1) in a 3 x 3 metafile: the rest stays white",
                     emfWith(0, 0, 2, 2, {stretchDiBits(1, 1, 2, 2, 0, 0, 2, 2, dib)}),
                     picture(3, 3, {W, W, W, W, A, B, W, C, D}), ""});
    cases.push_back({"bounds not at the origin",
                     emfWith(10, 20, 11, 21, {stretchDiBits(10, 20, 2, 2, 0, 0, 2, 2, dib)}),
                     twoByTwo, ""});
    // The source rectangle of a bottom-up DIB is measured from its bottom edge: y 0,
    // height 1 is the bottom row (C, D).
    cases.push_back({"one source row from the bottom",
                     emfWith(0, 0, 1, 0, {stretchDiBits(0, 0, 2, 1, 0, 0, 2, 1, dib)}),
                     picture(2, 1, {C, D}), ""});
    cases.push_back({"mirrored by a negative destination width",
                     emfWith(0, 0, 1, 1, {stretchDiBits(2, 0, -2, 2, 0, 0, 2, 2, dib)}),
                     picture(2, 2, {B, A, D, C}), ""});
    cases.push_back({"drawn partly outside the bounds",
                     emfWith(0, 0, 1, 1, {stretchDiBits(-1, -1, 2, 2, 0, 0, 2, 2, dib)}),
                     picture(2, 2, {D, W, W, W}), ""});
    cases.push_back(
        {"a destination two billion pixels wide: the first source column fills the view",
         emfWith(0, 0, 1, 0, {stretchDiBits(0, 0, 0x7FFFFFFF, 1, 0, 0, 2, 2, dib)}),
         picture(2, 1, {A, A}), ""});
    cases.push_back(
        {"no bitmap record", emfWith(0, 0, 9, 9, {rectangleRecord()}), TBitmap32(), ""});
    cases.push_back({"no records at all", emfWith(0, 0, 9, 9, {}), TBitmap32(), ""});
    // The bitmap drawn whole, with one field of its record changed.
    const auto patched = [&](std::size_t at, std::uint32_t value, bool word = false) {
        Bytes rec = stretchDiBits(0, 0, 2, 2, 0, 0, 2, 2, dib);
        word ? writeLe16(&rec[at], value) : writeLe32(&rec[at], value);
        return emfWith(0, 0, 1, 1, {rec});
    };
    cases.push_back({"bitmap offsets outside the record are skipped", patched(56, 0x7FFFFFF0),
                     TBitmap32(), ""});
    cases.push_back({"record size past the end of the file", patched(4, 0xFFFFFFF0), TBitmap32(),
                     "metafile record at byte 88 is damaged"});
    cases.push_back({"record size smaller than a record can be", patched(4, 6), TBitmap32(),
                     "metafile record at byte 88 is damaged"});
    cases.push_back({"no end record", emfWith(0, 0, 9, 9, {rectangleRecord()}, false), TBitmap32(),
                     "the metafile ends without its end record"});
    cases.push_back({"a bitmap before a missing end record still shows",
                     emfWith(0, 0, 1, 1, {stretchDiBits(0, 0, 2, 2, 0, 0, 2, 2, dib)}, false),
                     twoByTwo, ""});
    cases.push_back({"a bitmap that cannot be decoded", patched(80 + 14, 7, true), TBitmap32(),
                     "unsupported bit count 7"});
    cases.push_back({"bounds over the size limit",
                     emfWith(0, 0, 99999, 99999, {stretchDiBits(0, 0, 2, 2, 0, 0, 2, 2, dib)}),
                     TBitmap32(), pictureTooLargeMessage(100000, 100000)});
    for (const EmfCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadResult r = decodeMetafile(c.file.data(), c.file.size());
        EXPECT_EQ(r.message, c.message);
        EXPECT_TRUE(r.picture == c.expected) << r.picture.width() << " x " << r.picture.height();
    }
}

// A WMF: optional placeable header, META_HEADER, records, META_EOF.
Bytes wmfWith(bool placeable, std::int16_t boxRight, std::int16_t boxBottom, std::uint16_t inch,
              const std::vector<Bytes>& records) {
    Bytes f;
    if (placeable) {
        add32(f, 0x9AC6CDD7);
        add16(f, 0);
        for (std::int16_t v : {std::int16_t(0), std::int16_t(0), boxRight, boxBottom})
            add16(f, std::uint16_t(v));
        add16(f, inch);
        add32(f, 0);
        add16(f, 0); // checksum, not checked
    }
    add16(f, 1);
    add16(f, 9);
    add16(f, 0x300);
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
    if (r.size() % 2)
        r.push_back(0);
    writeLe32(r.data(), std::uint32_t(r.size() / 2));
    return r;
}

TEST(WmfDecode, BitmapRecords) {
    const std::uint32_t A = rgb(10, 0, 0), B = rgb(0, 20, 0), C = rgb(0, 0, 30),
                        D = rgb(40, 40, 40), W = kWhite;
    const TBitmap32 twoByTwo = picture(2, 2, {A, B, C, D});
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
         picture(3, 3, {W, W, W, W, A, B, W, C, D})},
        {"no size given: the bitmaps' extent", wmfWith(false, 0, 0, 0, {stretchDibDoubled}),
         picture(4, 4, {A, A, B, B, A, A, B, B, C, C, D, D, C, C, D, D})},
        // META_DIBBITBLT: rop, source y, x, height, width, dest y, x.
        {"bit block transfer",
         wmfWith(false, 0, 0, 0,
                 {wmfRecord(0x020C, {3, 3}),
                  wmfRecord(0x0940, {0x0020, 0x00CC, 0, 0, 2, 2, 1, 1}, dib)}),
         picture(3, 3, {W, W, W, W, A, B, W, C, D})},
        // META_SETDIBTODEV: usage, scans, start scan, source y, x, height, width, dest y, x.
        // One scan from the bottom: only the bottom row (C, D) is drawn.
        {"band of one scan line",
         wmfWith(false, 0, 0, 0,
                 {wmfRecord(0x020C, {2, 2}), wmfRecord(0x0D33, {0, 1, 0, 0, 0, 2, 2, 0, 0}, dib)}),
         picture(2, 2, {W, W, C, D})},
        {"no bitmap record", wmfWith(true, 2, 2, 96, {wmfRecord(0x020C, {3, 3})}), TBitmap32()},
    };
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
