// Layered picture files: what the writer puts in the zip, read back with libzip and libpng
// directly; round trips; files laid out as other programs write them; hostile files; the
// atomic write.
#include "imaging/OpenRaster.h"
#include "imaging/BmpCodec.h"
#include "imaging/BoundedXml.h"
#include "imaging/FastPng.h"
#include "imaging/PngCodec.h"
#include "tests/collections/CollectionsTestSupport.h"
#include "tests/imaging/ByteWriting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

#include <png.h>
#include <zip.h>
#include <zlib.h>

namespace quill {
namespace {

using quill::testing::TempFolder;
using test_bytes::Bytes;
using test_bytes::randomPicture;

struct Entry {
    std::string name;
    Bytes bytes;
    bool stored = true;
};

// A zip written by libzip itself, entries in the order given.
Bytes makeZip(const TempFolder& dir, const std::vector<Entry>& entries) {
    const std::string path = dir.path("made.zip");
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const Entry& e : entries) {
        zip_source_t* s = zip_source_buffer(z, e.bytes.data(), e.bytes.size(), 0);
        const zip_int64_t i = zip_file_add(z, e.name.c_str(), s, 0);
        zip_set_file_compression(z, zip_uint64_t(i), e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 1);
    }
    EXPECT_EQ(zip_close(z), 0);
    return TempFolder::read(path);
}

// Every entry of a zip file, in its order, as libzip reads it.
std::vector<Entry> unzip(const std::string& path) {
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    std::vector<Entry> out;
    for (zip_int64_t i = 0; z != nullptr && i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        Bytes bytes(st.size);
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        EXPECT_EQ(zip_fread(f, bytes.data(), st.size), zip_int64_t(st.size));
        zip_fclose(f);
        out.push_back({st.name, bytes, st.comp_method == ZIP_CM_STORE});
    }
    EXPECT_NE(z, nullptr);
    zip_discard(z);
    return out;
}

// A PNG's pixels through libpng's own simplified reader, in the program's byte order.
TBitmap32 pngPixels(const Bytes& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        return {};
    image.format = PNG_FORMAT_BGRA;
    TBitmap32 out(int(image.width), int(image.height));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, out.bits(), 0, nullptr));
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct Pile {
    OraImage image;
    std::vector<OraExtraEntry> extra;
    std::vector<TBitmap32> pictures;
    std::vector<OraExtraPicture> extraPictures() const {
        std::vector<OraExtraPicture> out;
        for (std::size_t i = 0; i < pictures.size(); ++i)
            out.push_back({"quill/pictures/" + std::to_string(i) + ".png", &pictures[i]});
        return out;
    }
};

// A random pile of layers: sizes from 1 x 1 up, odd ones, places inside and outside the
// picture, hidden layers, any opacity; random bytes everywhere (colour under alpha 0 too).
Pile randomPile(unsigned seed) {
    std::mt19937 random(seed);
    auto upTo = [&](int n) { return int(random() % unsigned(n)) + 1; };
    Pile p;
    p.image.width = upTo(300);
    p.image.height = upTo(200);
    p.image.merged = randomPicture(p.image.width, p.image.height, seed);
    const int layers = int(random() % 5);
    for (int k = 0; k < layers; ++k) {
        OraLayer l;
        l.name = k == 0 ? "a \"b\" <c> & d\te\n" : "layer " + std::to_string(k);
        l.picture =
            k == 1 ? randomPicture(1, 1, seed + 9) : randomPicture(upTo(90), upTo(70), seed + k);
        l.x = int(random() % 500) - 250;
        l.y = int(random() % 400) - 200;
        l.opacity = k == 2 ? 0.0 : std::uniform_real_distribution<double>(0, 1)(random);
        l.visible = random() % 3 != 0;
        p.image.layers.push_back(std::move(l));
    }
    for (int i = 0; i < int(random() % 3); ++i) {
        Bytes b(random() % 3000);
        for (auto& c : b)
            c = std::uint8_t(random());
        p.extra.push_back({"quill/data" + std::to_string(i) + ".json", b});
        p.pictures.push_back(randomPicture(upTo(40), upTo(40), seed * 7 + unsigned(i)));
    }
    return p;
}

// A PNG as libpng writes it by default (every filter type, the picture data in chunks of
// 8 KiB) in the given form.
Bytes libpngFile(const TBitmap32& picture, png_uint_32 format) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width());
    image.height = png_uint_32(picture.height());
    image.format = format;
    png_alloc_size_t size = 0;
    TBitmap32 source = picture;
    if (format == PNG_FORMAT_RGB) { // three bytes a pixel, packed
        auto* bytes = reinterpret_cast<std::uint8_t*>(source.bits());
        for (std::size_t i = 0; i < picture.pixelCount(); ++i)
            for (int c = 0; c < 3; ++c)
                bytes[3 * i + std::size_t(c)] = std::uint8_t(picture.bits()[i] >> (16 - 8 * c));
    }
    const png_int_32 stride = format == PNG_FORMAT_RGB ? 3 * picture.width() : 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, source.bits(), stride, nullptr);
    Bytes png(size);
    png_image_write_to_memory(&image, png.data(), &size, 0, source.bits(), stride, nullptr);
    return png;
}

TEST(OpenRaster, FastPngReadsEveryFileAsLibpngDoes) {
    // Sizes from 1 x 1; the larger ones hold several chunks of picture data.
    const int sizes[][2] = {{1, 1}, {2, 3}, {7, 9}, {64, 33}, {150, 70}};
    for (const auto& size : sizes) {
        const TBitmap32 picture = randomPicture(size[0], size[1], unsigned(size[0]));
        const Bytes ours = encodePngFast(picture);
        EXPECT_EQ(decodePng(ours.data(), ours.size()).picture, picture) << "libpng reading ours";
        for (const Bytes& file :
             {ours, libpngFile(picture, PNG_FORMAT_BGRA), libpngFile(picture, PNG_FORMAT_RGB),
              libpngFile(picture, PNG_FORMAT_GRAY), encodePng(picture)}) {
            std::vector<Bytes> damaged = {
                file, Bytes(file.begin(), file.end() - 13),
                Bytes(file.begin(), file.begin() + std::ptrdiff_t(file.size() / 2))};
            damaged.push_back(file);
            damaged.back()[file.size() - 20] ^= 0x40; // inside the picture data or its checksum
            for (const Bytes& b : damaged) {
                const LoadResult fast = decodePngFast(b.data(), b.size());
                const LoadResult plain = decodePng(b.data(), b.size());
                EXPECT_EQ(fast.picture, plain.picture) << size[0] << " x " << size[1];
                EXPECT_EQ(fast.message, plain.message);
            }
            EXPECT_FALSE(decodePngFast(file.data(), file.size()).picture.empty());
        }
    }
    Bytes huge = encodePngFast(randomPicture(3, 2, 1));
    test_bytes::setPngSize(huge, 20000, 3);
    EXPECT_EQ(decodePngFast(huge.data(), huge.size()).message, pictureTooLargeMessage(20000, 3));
}

TEST(OpenRaster, WrittenFileIsTheOpenRasterLayoutToTheByte) {
    TempFolder dir;
    Pile p = randomPile(1);
    ASSERT_EQ(p.image.layers.size(), 4u);
    ASSERT_FALSE(p.extra.empty());
    p.image.layers[1].name =
        "caf\xC3\xA9 \xFF\xC3\x28 \xED\xA0\x80\x01"; // bytes that are not UTF-8
    p.image.width = 512;                             // the thumbnail halves it
    p.image.height = 300;
    p.image.merged = randomPicture(512, 300, 1);
    const std::string path = dir.path("scene.ora");
    ASSERT_TRUE(writeOpenRaster(path, p.image, p.extra, p.extraPictures()));

    const Bytes file = TempFolder::read(path);
    // The first local header: stored, "mimetype" without an extra field, then its bytes.
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 10), (Bytes{0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 26, file.begin() + 30), (Bytes{8, 0, 0, 0}));
    EXPECT_EQ(std::string(file.begin() + 30, file.begin() + 54), "mimetypeimage/openraster");
    const std::vector<Entry> entries = unzip(path);
    const std::size_t n = p.image.layers.size();
    ASSERT_EQ(entries.size(), 4 + n + p.extra.size() + p.pictures.size());
    EXPECT_EQ(entries[0].name, "mimetype");
    EXPECT_TRUE(entries[0].stored);
    EXPECT_EQ(entries[0].bytes, text("image/openraster"));
    EXPECT_EQ(entries[1].name, "stack.xml");

    std::string error;
    const auto xml =
        parseXml(std::string(entries[1].bytes.begin(), entries[1].bytes.end()), {}, error);
    ASSERT_TRUE(xml) << error;
    EXPECT_EQ(*xml->attribute("w"), "512");
    const auto& layers = xml->children.at(0).children;
    ASSERT_EQ(layers.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        const OraLayer& l = p.image.layers[n - 1 - i]; // the top first
        EXPECT_EQ(*layers[i].attribute("name"), n - 1 - i == 1
                                                    ? "caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD( "
                                                      "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                                    : l.name);
        EXPECT_EQ(*layers[i].attribute("x") + "," + *layers[i].attribute("y"),
                  std::to_string(l.x) + "," + std::to_string(l.y));
        EXPECT_EQ(std::stod(*layers[i].attribute("opacity")), l.opacity);
        EXPECT_EQ(*layers[i].attribute("visibility"), l.visible ? "visible" : "hidden");
        const std::string src = "data/" + std::to_string(n - 1 - i) + ".png";
        EXPECT_EQ(*layers[i].attribute("src"), src);
        EXPECT_EQ(entries[2 + n - 1 - i].name, src);
        EXPECT_TRUE(entries[2 + n - 1 - i].stored);
        EXPECT_EQ(pngPixels(entries[2 + n - 1 - i].bytes), l.picture) << src;
    }
    EXPECT_EQ(entries[2 + n].name, "Thumbnails/thumbnail.png");
    const TBitmap32 thumbnail = pngPixels(entries[2 + n].bytes);
    EXPECT_EQ(thumbnail.width(), 256);
    EXPECT_EQ(thumbnail.height(), 150);
    EXPECT_EQ(entries[3 + n].name, "mergedimage.png");
    EXPECT_EQ(pngPixels(entries[3 + n].bytes), p.image.merged);
    for (std::size_t i = 0; i < p.extra.size(); ++i) {
        EXPECT_EQ(entries[4 + n + i].name, p.extra[i].name);
        EXPECT_EQ(entries[4 + n + i].bytes, p.extra[i].bytes);
    }
    for (std::size_t i = 0; i < p.pictures.size(); ++i)
        EXPECT_EQ(pngPixels(entries[4 + n + p.extra.size() + i].bytes), p.pictures[i]);
}

TEST(OpenRaster, ThumbnailAveragesBoxesWeightingColourByAlpha) {
    // 600 x 4 -> 256 x 2; columns of 2 or 3 pixels. Every odd column is see-through with
    // another colour, which must not tint the average. Pairs (x, shape, expected pixel).
    TempFolder dir;
    OraImage image;
    image.width = 600;
    image.height = 4;
    image.merged = TBitmap32(600, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 600; ++x)
            image.merged.setPixel(
                x, y, x % 2 == 0 ? makePixel(200, 100, 10, 255) : makePixel(0, 255, 0, 0));
    ASSERT_TRUE(writeOpenRaster(dir.path("t.ora"), image));
    const TBitmap32 t = pngPixels(unzip(dir.path("t.ora")).at(2).bytes);
    ASSERT_EQ(t.width(), 256);
    ASSERT_EQ(t.height(), 2);
    // Column 0 covers x 0..2 (two opaque of three): alpha 170. Column 1 covers x 3..4.
    EXPECT_EQ(t.pixel(0, 0), makePixel(200, 100, 10, 170));
    EXPECT_EQ(t.pixel(1, 1), makePixel(200, 100, 10, 128));
}

TEST(OpenRaster, RandomPilesComeBackWhole) {
    TempFolder dir;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const Pile p = randomPile(seed);
        const std::string path = dir.path("r" + std::to_string(seed) + ".ora");
        ASSERT_TRUE(writeOpenRaster(path, p.image, p.extra, p.extraPictures()));
        OraReadOptions options;
        options.decodeMerged = true;
        options.privateFolder = "quill";
        options.decodePrivatePictures = true;
        const OraReadResult r = readOpenRaster(path, options);
        ASSERT_TRUE(r.image) << r.message;
        EXPECT_EQ(r.message, "");
        EXPECT_EQ(r.image->width, p.image.width);
        EXPECT_EQ(r.image->height, p.image.height);
        EXPECT_EQ(r.image->merged, p.image.merged);
        ASSERT_EQ(r.image->layers.size(), p.image.layers.size());
        for (std::size_t k = 0; k < p.image.layers.size(); ++k) {
            const OraLayer &a = r.image->layers[k], &b = p.image.layers[k];
            EXPECT_EQ(a.name, b.name);
            EXPECT_EQ(a.picture, b.picture);
            EXPECT_EQ(std::tie(a.x, a.y, a.opacity, a.visible),
                      std::tie(b.x, b.y, b.opacity, b.visible));
        }
        EXPECT_EQ(r.hasPrivateFolder, !p.extra.empty());
        ASSERT_EQ(r.privateEntries.size(), p.extra.size());
        for (const OraExtraEntry& e : p.extra)
            EXPECT_EQ(r.privateEntries.at(e.name), e.bytes);
        const auto pictures = p.extraPictures();
        std::vector<std::string> names;
        for (const OraExtraPicture& e : pictures) {
            EXPECT_EQ(r.privatePictures.at(e.name), *e.picture);
            names.push_back(e.name);
        }
        EXPECT_EQ(r.privatePictureNames, names);
    }
}

// A file as another program lays it out: stored mimetype, stack.xml, PNGs under data/.
Bytes otherProgramFile(const TempFolder& dir, const std::string& stack,
                       const std::vector<Entry>& more = {}) {
    std::vector<Entry> entries = {{"mimetype", text("image/openraster")},
                                  {"stack.xml", text(stack), false},
                                  {"data/a.png", encodePng(randomPicture(3, 2, 1))},
                                  {"data/b.png", encodePng(randomPicture(2, 5, 2))}};
    entries.insert(entries.end(), more.begin(), more.end());
    return makeZip(dir, entries);
}

std::string stackXml(const std::string& inner, const std::string& size = "w=\"40\" h=\"30\"") {
    return "<?xml version='1.0' encoding='UTF-8'?>\n<!-- made elsewhere -->\n<image "
           "version=\"0.0.5\" " +
           size + "><stack>" + inner + "</stack></image>";
}

TEST(OpenRaster, OtherProgramsPilesFlattenInDrawingOrder) {
    // What a flattening reader must give, bottom first: name, src, x, y, opacity, shown.
    struct Flat {
        std::string name, src;
        int x, y;
        double opacity;
        bool visible;
    };
    const struct {
        std::string stack;
        std::vector<Flat> expected;
    } cases[] = {
        {stackXml(
             "<layer name='top' src='data/a.png' x='4' y='-3' opacity='0.5' "
             "composite-op='svg:multiply'/>"
             "<stack name='g' x='10' y='20' opacity='0.5'>"
             "  <layer name='mid' src='data/b.png' x='1' y='2' opacity='0.5'/>"
             "  <stack visibility='hidden' x='-100'><layer name='deep' src='data/a.png'/></stack>"
             "</stack>"
             "<text>ignored</text><layer name='bottom' src='data/b.png' visibility='visible'/>"),
         {{"bottom", "b", 0, 0, 1.0, true},
          {"deep", "a", -90, 20, 0.5, false},
          {"mid", "b", 11, 22, 0.25, true},
          {"top", "a", 4, -3, 0.5, true}}},
        {stackXml("<layer name='caf&#233; &amp; &#x4E2D;&lt;&gt;' src='data/a.png' x=' 7.0 ' "
                  "opacity='1e-1'/>"),
         {{"caf\xC3\xA9 & \xE4\xB8\xAD<>", "a", 7, 0, 0.1, true}}},
        {stackXml("<layer src='data/a.png' opacity='1.5'/><layer src='data/a.png' opacity='-2'/>"),
         {{"", "a", 0, 0, 0.0, true}, {"", "a", 0, 0, 1.0, true}}}};
    TempFolder dir;
    for (const auto& c : cases) {
        const Bytes file = otherProgramFile(dir, c.stack);
        OraReadOptions options;
        options.privateFolder = "quill/";
        const OraReadResult r = readOpenRasterBytes(file.data(), file.size(), "x.ora", options);
        ASSERT_TRUE(r.image) << r.message;
        EXPECT_FALSE(r.hasPrivateFolder);
        EXPECT_EQ(r.image->width, 40);
        ASSERT_EQ(r.image->layers.size(), c.expected.size()) << c.stack;
        for (std::size_t k = 0; k < c.expected.size(); ++k) {
            const OraLayer& l = r.image->layers[k];
            const Flat& e = c.expected[k];
            EXPECT_EQ(l.name, e.name);
            EXPECT_EQ(l.picture, randomPicture(e.src == "a" ? 3 : 2, e.src == "a" ? 2 : 5,
                                               e.src == "a" ? 1 : 2));
            EXPECT_EQ(std::tie(l.x, l.y, l.visible), std::tie(e.x, e.y, e.visible)) << l.name;
            EXPECT_DOUBLE_EQ(l.opacity, e.opacity) << l.name;
        }
    }
}

// Sets a zip's declared uncompressed size of the named entry, in its local and central
// headers alike.
void declareSize(Bytes& zip, const std::string& name, std::uint32_t size) {
    for (std::size_t i = 0; i + 46 + name.size() <= zip.size(); ++i) {
        const bool local = std::memcmp(&zip[i], "PK\x03\x04", 4) == 0;
        const bool central = std::memcmp(&zip[i], "PK\x01\x02", 4) == 0;
        if ((local && std::memcmp(&zip[i + 30], name.data(), name.size()) == 0) ||
            (central && std::memcmp(&zip[i + 46], name.data(), name.size()) == 0))
            writeLe32(&zip[i + (local ? 22 : 24)], size);
    }
}

// How far work raises the resident memory, in MiB (run in a child process).
int residentGrowthMiB(const std::function<void()>& work) {
    return quill::testing::inChild([&] {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        work();
        getrusage(RUSAGE_SELF, &after);
        return int(std::min<long>(255, (after.ru_maxrss - before.ru_maxrss) / 1024));
    });
}

TEST(OpenRaster, HostileFilesGiveOneMessageAndStayWithinMemory) {
    TempFolder dir;
    const std::string one = "<layer src='data/a.png'/>";
    const Bytes bomb =
        otherProgramFile(dir, stackXml("<layer src='data/bomb.png'/>"),
                         {{"data/bomb.png", Bytes(std::size_t(64) << 20, 0), false}});
    Bytes hugePng = encodePng(randomPicture(3, 2, 1));
    test_bytes::setPngSize(hugePng, 20000, 20000);
    std::string deep, many;
    for (int i = 0; i < 100; ++i)
        deep = "<stack>" + deep + one + "</stack>";
    for (int i = 0; i <= kOraMaxLayers; ++i)
        many += one;
    const Bytes valid = otherProgramFile(dir, stackXml(one));

    // The bomb's inflated size declared as given.
    const auto bombDeclaring = [&bomb](std::uint32_t size) {
        Bytes z = bomb;
        declareSize(z, "data/bomb.png", size);
        return z;
    };
    const auto withStack = [&dir](const std::string& inner,
                                  const std::string& size = "w=\"40\" h=\"30\"") {
        return otherProgramFile(dir, stackXml(inner, size));
    };
    Bytes sameNameTwice = otherProgramFile(dir, stackXml(one), {{"data/z.png", text("x")}});
    for (std::size_t i = 0; i + 10 <= sameNameTwice.size(); ++i)
        if (std::memcmp(&sameNameTwice[i], "data/z.png", 10) == 0)
            sameNameTwice[i + 5] = 'a';
    const struct {
        const char* what;
        Bytes file;
        const char* message;
    } cases[] = {
        {"zip bomb", bombDeclaring(5000),
         "\"data/bomb.png\" cannot be read: it inflates beyond its declared size"},
        {"declared huge", bombDeclaring(0xFFFFFFF0u),
         "\"data/bomb.png\" declares 4294967280 bytes, more than the"},
        {"declared past deflate", bombDeclaring(500u << 20),
         "declares more bytes than its compressed data can hold"},
        {"dot dot", withStack("<layer src='data/../../etc/passwd'/>"),
         "names an entry outside the file \"data/../../etc/passwd\""},
        {"absolute", withStack("<layer src='/etc/passwd'/>"), "names an entry outside the file"},
        {"png over limits",
         otherProgramFile(dir, stackXml("<layer src='data/h.png'/>"), {{"data/h.png", hugePng}}),
         "\"data/h.png\": The picture is 20000 x 20000 pixels, too large to open"},
        {"size over limits", withStack(one, "w='20000' h='20000'"),
         "The picture is 20000 x 20000 pixels"},
        {"no size", withStack(one, "w='0' h='4'"), "stack.xml gives no picture size"},
        {"truncated", Bytes(valid.begin(), valid.begin() + std::ptrdiff_t(valid.size() / 2)),
         "not an OpenRaster file, or damaged"},
        {"not a zip", text("image/openraster"), "not an OpenRaster file, or damaged"},
        {"no mimetype", makeZip(dir, {{"stack.xml", text(stackXml(one))}}),
         "it has no mimetype entry"},
        {"wrong mimetype", makeZip(dir, {{"mimetype", text("image/png")}}), "its mimetype is not"},
        {"no stack", makeZip(dir, {{"mimetype", text("image/openraster")}}), "it has no stack.xml"},
        {"missing entry", withStack("<layer src='data/c.png'/>"),
         "names a missing entry \"data/c.png\""},
        {"not a png", withStack("<layer src='stack.xml'/>"), "\"stack.xml\" is not a PNG picture"},
        {"deep nesting", withStack(deep), "nested deeper than"},
        {"layer count", withStack(many), "more than 1000 layers"},
        {"bad number", withStack("<layer src='data/a.png' x='1x'/>"),
         "layer \"\" has a bad x \"1x\""},
        {"nan opacity", withStack("<layer src='data/a.png' opacity='nan'/>"), "has a bad opacity"},
        {"declared entity",
         otherProgramFile(dir, "<!DOCTYPE image [<!ENTITY a \"aaaaaaaa\">]>" +
                                   stackXml("<layer name='&a;' src='data/a.png'/>")),
         "an unknown entity &a;"},
        {"bad xml", withStack("<layer src='data/a.png'>"),
         "stack.xml: <layer> closed by another name (line 3)"},
        {"same name twice", sameNameTwice, "holds two entries named \"data/a.png\""}};
    for (const auto& c : cases) {
        const Bytes& file = c.file;
        const OraReadResult r = readOpenRasterBytes(file.data(), file.size(), "/in/x.ora");
        EXPECT_FALSE(r.image) << c.what;
        EXPECT_EQ(r.message.rfind("/in/x.ora: ", 0), 0u) << c.what << ": " << r.message;
        EXPECT_NE(r.message.find(c.message), std::string::npos) << c.what << ": " << r.message;
        EXPECT_EQ(r.message.find('\n'), std::string::npos) << c.what;
        EXPECT_LT(residentGrowthMiB([&] { readOpenRasterBytes(file.data(), file.size(), "x"); }),
                  48)
            << c.what;
    }
    // The control: the valid file reads, and its bounds can be narrowed.
    EXPECT_TRUE(readOpenRasterBytes(valid.data(), valid.size(), "v").image);
    ASSERT_EQ(mkfifo(dir.path("pipe.ora").c_str(), 0600), 0);
    EXPECT_EQ(readOpenRaster(dir.path("pipe.ora")).message, dir.path("pipe.ora") + ": not a file");
    OraReadOptions narrow;
    narrow.maxTotalPixels = 5;
    EXPECT_EQ(readOpenRasterBytes(valid.data(), valid.size(), "v", narrow).message,
              "v: \"data/a.png\" makes the pictures hold more than 5 pixels in all");
    narrow = {};
    narrow.maxInflatedBytes = 100;
    EXPECT_NE(readOpenRasterBytes(valid.data(), valid.size(), "v", narrow)
                  .message.find("inflate to more than 100"),
              std::string::npos);
}

// A full disk is among the hostile writes of tests/collections.
TEST(OpenRaster, FailedWritesNameTheFaultAndKeepTheOldFile) {
    TempFolder dir;
    const Pile good = randomPile(3);
    const std::string old = dir.write("old.ora", text("old scene"));
    OraImage wrongMerged = good.image;
    wrongMerged.merged = TBitmap32(1, 1);
    OraImage emptyLayer = good.image;
    emptyLayer.layers.push_back({});
    const TBitmap32 pic(2, 2);
    const struct {
        std::string path;
        OraImage image;
        std::vector<OraExtraEntry> extra;
        std::vector<OraExtraPicture> pictures;
        std::string message;
    } cases[] = {
        {dir.path("missing/x.ora"),
         good.image,
         {},
         {},
         dir.path("missing/x.ora") + ": No such file or directory"},
        {dir.path(), good.image, {}, {}, dir.path() + ": Is a directory"},
        {old, wrongMerged, {}, {}, old + ": the composed picture is 1 x 1 pixels"},
        {old,
         emptyLayer,
         {},
         {},
         old + ": layer " + std::to_string(good.image.layers.size()) + " has no picture"},
        {old,
         good.image,
         {{"../x.json", {}}},
         {},
         old + ": the entry name \"../x.json\" cannot be used"},
        {old, good.image, {{"stack.xml", {}}}, {}, "the entry name \"stack.xml\" cannot be used"},
        {old, good.image, {{"q/a.json", {}}, {"q/a.json", {}}}, {}, "\"q/a.json\" cannot be used"},
        {old, good.image, {}, {{"q/p.json", &pic}}, "\"q/p.json\" cannot be used"},
        {old, good.image, {}, {{"q/p.png", nullptr}}, "\"q/p.png\" has no picture"}};
    for (const auto& c : cases) {
        const WriteResult w = writeOpenRaster(c.path, c.image, c.extra, c.pictures);
        EXPECT_FALSE(w.ok) << c.message;
        EXPECT_NE(w.message.find(c.message), std::string::npos) << w.message;
    }
    EXPECT_EQ(dir.names(), (std::set<std::string>{"old.ora"}));
    EXPECT_EQ(TempFolder::read(old), text("old scene"));
}

} // namespace
} // namespace quill
