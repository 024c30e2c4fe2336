// A camera's orientation tag: read from each form that carries it, and the picture
// turned upright exactly once, as every viewer shows it; kept as stored on request.
#include "imaging/Orientation.h"
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/PictureFile.h"
#include "imaging/PngCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/imaging/CameraFiles.h"

namespace quill {
namespace {

using camera::Bytes;
using camera::exifBlock;

TEST(ExifOrientation, ReadsTheOneTagOfTheFirstDirectory) {
    Bytes pastEnd = exifBlock(6), longCount = exifBlock(6), cut = exifBlock(6);
    writeLe32(&pastEnd[10], 0xFFF0); // the first directory's offset
    writeLe16(&longCount[14], 300);  // entries claimed; the orientation entry still lies inside
    cut.resize(36);                  // inside the orientation entry
    const struct {
        const char* name;
        Bytes block;
        int expected;
    } cases[] = {
        {"Intel byte order", exifBlock(6), 6},
        {"Motorola byte order", exifBlock(8, false), 8},
        {"bare TIFF structure, as PNG and WebP keep it", exifBlock(3, true, 3, 1, false), 3},
        {"0 is no orientation", exifBlock(0), 1},
        {"9 is no orientation", exifBlock(9), 1},
        {"a LONG is not the tag's type", exifBlock(6, true, 4), 1},
        {"two values", exifBlock(6, true, 3, 2), 1},
        {"directory past the end", pastEnd, 1},
        {"more entries claimed than the block holds", longCount, 6},
        {"cut inside the entry", cut, 1},
        {"not TIFF", {'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 42, 0, 8, 0, 0, 0}, 1},
        {"header only", {'E', 'x', 'i', 'f', 0, 0}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exifOrientation(c.block.data(), c.block.size()), c.expected) << c.name;
    EXPECT_EQ(exifOrientation(nullptr, 44), 1);
}

// Six 16 x 16 squares (a JPEG's colour blocks): a b c over d e f.
const std::uint32_t kSquares[6] = {makePixel(200, 30, 30),  makePixel(30, 200, 30),
                                   makePixel(30, 30, 200),  makePixel(220, 220, 40),
                                   makePixel(40, 220, 220), makePixel(220, 40, 220)};
// How a viewer shows the squares stored in orientation 1..8, row by row.
const char* const kShown[9] = {"",         "abc/def",  "cba/fed",  "fed/cba", "def/abc",
                               "ad/be/cf", "da/eb/fc", "fc/eb/da", "cf/be/ad"};

TBitmap32 squares() {
    TBitmap32 p(48, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            p.setPixel(x, y, kSquares[(y / 16) * 3 + x / 16]);
    return p;
}

void expectShown(const TBitmap32& picture, int orientation, int tolerance) {
    std::vector<std::string> rows{""};
    for (const char* c = kShown[orientation]; *c; ++c)
        if (*c == '/')
            rows.emplace_back();
        else
            rows.back().push_back(*c);
    ASSERT_EQ(picture.width(), int(rows[0].size()) * 16);
    ASSERT_EQ(picture.height(), int(rows.size()) * 16);
    TBitmap32 square(1, 1);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            TBitmap32 centre(1, 1, picture.pixel(int(c) * 16 + 8, int(r) * 16 + 8));
            square.setPixel(0, 0, kSquares[rows[r][c] - 'a']);
            EXPECT_LE(camera::largestDifference(centre, square), tolerance)
                << "row " << r << " column " << c;
        }
}

TEST(Orientation, EachOfTheEightTurnsAJpegUprightAsItDecodes) {
    QUILL_SKIP_WITHOUT("convert");
    quill::testing::TempFolder folder;
    std::vector<std::pair<std::string, Bytes>> jpegs{
        {"squares", encodeJpeg(squares())},
        // 53 rows: three whole bands of rows and a part one.
        {"noise 37 x 53", encodeJpeg(test_bytes::randomPicture(37, 53, 9))}};
    const std::string png = folder.write("squares.png", encodePng(squares()));
    ASSERT_TRUE(camera::run("convert " + png + " -colorspace CMYK " + folder.path("cmyk.jpg")));
    jpegs.emplace_back("CMYK", camera::readBytes(folder.path("cmyk.jpg")));
    const LoadOptions keep{.applyOrientation = false};
    for (const auto& [name, plain] : jpegs) {
        const TBitmap32 stored = decodePictureBytes(plain.data(), plain.size(), "a.jpg").picture;
        ASSERT_FALSE(stored.empty()) << name;
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(name + ", orientation " + std::to_string(o));
            const Bytes tagged = camera::withApp1(plain, exifBlock(o, o % 2 == 0));
            const LoadResult upright = decodePictureBytes(tagged.data(), tagged.size(), "a.jpg");
            EXPECT_EQ(upright.orientation, 1);
            EXPECT_EQ(upright.picture, orientPicture(stored, o));
            if (name == "squares")
                expectShown(upright.picture, o, 6);
            const LoadResult kept = decodePictureBytes(tagged.data(), tagged.size(), "a.jpg", keep);
            EXPECT_EQ(kept.picture, stored);
            EXPECT_EQ(kept.orientation, o);
        }
    }
    // The file path and the command line's way (a scope on this thread) agree.
    const std::string path =
        folder.write("six.jpg", camera::withApp1(jpegs[0].second, exifBlock(6)));
    EXPECT_EQ(LoadPictureFile(path).picture.width(), 32);
    const LoadOptionsScope scope(keep);
    EXPECT_EQ(LoadPictureFile(path).picture.width(), 48);
}

TEST(Orientation, TurningBackGivesTheStoredPicture) {
    const int inverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6}; // 6 and 8 undo each other
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {7, 5}, {17, 33}, {40, 16}}) {
        const TBitmap32 picture = test_bytes::randomPicture(w, h, unsigned(w * h));
        for (int o = 0; o <= 9; ++o) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", " + std::to_string(o));
            const TBitmap32 turned = orientPicture(picture, o);
            EXPECT_EQ(turned.width(), orientationSwapsSides(o) ? h : w);
            EXPECT_EQ(orientPicture(turned, o >= 1 && o <= 8 ? inverse[o] : o), picture);
        }
    }
    EXPECT_TRUE(orientPicture(TBitmap32(), 6).empty());
}

TEST(Orientation, PngWebpTiffAndHeifFilesTurnUprightOnce) {
    QUILL_SKIP_WITHOUT("convert", "tiffset", "cwebp", "webpmux");
    quill::testing::TempFolder folder;
    const TBitmap32 picture = squares();
    const std::string png = folder.write("in.png", encodePng(picture));
    folder.write("exif.bin", exifBlock(6, false, 3, 1, false));
    folder.write("tagged.png",
                 camera::withPngChunk(encodePng(picture), "eXIf", exifBlock(6, true, 3, 1, false)));
    const struct {
        const char* file;
        std::string command; // writes the file, "" when it is already there
    } cases[] = {
        {"tagged.png", ""},
        {"tagged.tif", "convert " + png + " " + folder.path("tagged.tif") + " && tiffset -s 274 6 " +
                           folder.path("tagged.tif")},
        {"tagged.webp", "cwebp -lossless -exact " + png + " -o " + folder.path("plain.webp") +
                            " && webpmux -set exif " + folder.path("exif.bin") + " " +
                            folder.path("plain.webp") + " -o " + folder.path("tagged.webp")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (!c.command.empty() && !camera::run(c.command)) {
            ADD_FAILURE() << "could not run " << c.command;
            continue;
        }
        EXPECT_EQ(LoadPictureFile(folder.path(c.file)).picture, orientPicture(picture, 6));
        const LoadResult kept = LoadPictureFile(folder.path(c.file), {.applyOrientation = false});
        EXPECT_EQ(kept.picture, picture);
        EXPECT_EQ(kept.orientation, 6);
    }

    // A HEIF turned a quarter anticlockwise by its rotation property (written over the
    // file's 16-byte pixel information property): libheif turns it, nothing is left for
    // the program to turn, and with the orientation kept libheif leaves it as stored.
    Bytes heif = camera::readBytes(camera::testData("heif/plain130x70.heic"));
    const TBitmap32 stored = decodePictureBytes(heif.data(), heif.size(), "a.heic").picture;
    const std::string pixi = "pixi";
    const auto at = std::search(heif.begin(), heif.end(), pixi.begin(), pixi.end()) - heif.begin();
    ASSERT_LT(std::size_t(at), heif.size());
    const Bytes rotation{0, 0, 0, 16, 'i', 'r', 'o', 't', 1, 0, 0, 0, 0, 0, 0, 0};
    std::copy(rotation.begin(), rotation.end(), heif.begin() + at - 4);
    const LoadResult turned = decodePictureBytes(heif.data(), heif.size(), "a.heic");
    EXPECT_EQ(turned.orientation, 1);
    EXPECT_EQ(turned.picture, orientPicture(stored, 8));
    EXPECT_EQ(
        decodePictureBytes(heif.data(), heif.size(), "a.heic", {.applyOrientation = false}).picture,
        stored);
}

} // namespace
} // namespace quill
