// Writes the seed corpus of the fuzz targets: small valid pictures of every form the
// program reads, and broken versions of them (cut short, bytes changed, lying headers).
// Usage: fuzz_make_corpus CORPUS_FOLDER   (fuzz/make_corpus.sh runs it)
#include "imaging/BmpCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/MetafileCodec.h"
#include "imaging/OpenRaster.h"
#include "imaging/PngCodec.h"
#include "imaging/ZipArchive.h"
#include "workspace/Document.h"
#include "workspace/SceneFile.h"

#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using quill::TBitmap32;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path g_root;

void save(const std::string& target, const std::string& name, const Bytes& bytes) {
    fs::create_directories(g_root / target);
    std::ofstream out(g_root / target / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The valid file, and versions of it cut short and with bytes changed.
void saveWithDamage(const std::string& target, const std::string& name, const Bytes& bytes) {
    save(target, name, bytes);
    if (bytes.size() < 8)
        return;
    save(target, "cut_half_" + name,
         Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2)));
    save(target, "cut_tail_" + name, Bytes(bytes.begin(), bytes.end() - 3));
    Bytes flipped = bytes;
    for (std::size_t i = 6; i < flipped.size(); i += flipped.size() / 5 + 1)
        flipped[i] ^= 0xFF;
    save(target, "flipped_" + name, flipped);
}

TBitmap32 gradient(int w, int h, bool withAlpha) {
    TBitmap32 pic(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pic.setPixel(x, y,
                         quill::makePixel(x * 255 / std::max(1, w - 1),
                                          y * 255 / std::max(1, h - 1), (x + y) * 17 % 256,
                                          withAlpha ? (x * 64) % 256 : 255));
    return pic;
}

void add16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void add32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// A BMP with a BITMAPINFOHEADER of the given form around rows (or an RLE stream).
Bytes bmpFile(std::int32_t w, std::int32_t h, int bits, std::uint32_t compression,
              const Bytes& pixels, std::uint32_t colours = 0, std::uint32_t headerSize = 40,
              const std::vector<std::uint32_t>& masks = {}) {
    Bytes b = {'B', 'M'};
    add32(b, 0);
    add32(b, 0);
    add32(b, 0);
    const std::size_t start = b.size();
    add32(b, headerSize);
    add32(b, std::uint32_t(w));
    add32(b, std::uint32_t(h));
    add16(b, 1);
    add16(b, std::uint32_t(bits));
    add32(b, compression);
    add32(b, std::uint32_t(pixels.size()));
    add32(b, 2835);
    add32(b, 2835);
    add32(b, colours);
    add32(b, 0);
    for (std::uint32_t m : masks)
        add32(b, m);
    if (b.size() < start + headerSize)
        b.resize(start + headerSize, 0);
    // The colour table written holds at most 2^bits entries, whatever the header says.
    const std::uint32_t full = bits <= 8 ? 1u << bits : 0;
    const std::uint32_t paletteEntries = colours != 0 && colours < full ? colours : full;
    for (std::uint32_t i = 0; i < paletteEntries; ++i)
        add32(b, (i * 0x123457u) & 0xFFFFFF);
    quill::writeLe32(&b[10], std::uint32_t(b.size()));
    b.insert(b.end(), pixels.begin(), pixels.end());
    quill::writeLe32(&b[2], std::uint32_t(b.size()));
    return b;
}

void makeBmp() {
    saveWithDamage("bmp", "24bit_5x3.bmp", quill::encodeBmp(gradient(5, 3, false), 24));
    saveWithDamage("bmp", "32bit_4x2.bmp", quill::encodeBmp(gradient(4, 2, true), 32));
    save("bmp", "1bit_9x2.bmp", bmpFile(9, 2, 1, 0, {0xA5, 0x80, 0, 0, 0x5A, 0x00, 0, 0}));
    save("bmp", "4bit_3x2_top_down.bmp",
         bmpFile(3, -2, 4, 0, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}, 7));
    save("bmp", "8bit_3x2.bmp", bmpFile(3, 2, 8, 0, {1, 2, 3, 0, 250, 251, 252, 0}));
    save("bmp", "16bit_555_2x2.bmp",
         bmpFile(2, 2, 16, 0, {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00}));
    save("bmp", "16bit_565_2x2.bmp",
         bmpFile(2, 2, 16, 3, {0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}, 0, 40,
                 {0xF800, 0x07E0, 0x001F}));
    save("bmp", "32bit_v5_alpha_2x1.bmp",
         bmpFile(2, 1, 32, 3, {1, 2, 3, 128, 4, 5, 6, 0}, 0, 124,
                 {0xFF0000, 0xFF00, 0xFF, 0xFF000000}));
    save("bmp", "rle8_4x3.bmp",
         bmpFile(4, 3, 8, 1, {3, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 2, 7, 0, 1}, 10));
    save("bmp", "rle4_5x2.bmp", bmpFile(5, 2, 4, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, 10));
    save("bmp", "rle8_runs_past_the_row.bmp",
         bmpFile(2, 2, 8, 1, {200, 9, 0, 2, 255, 255, 0, 250, 1, 2}, 10));
    save("bmp", "huge_sides.bmp", bmpFile(100000, -100000, 24, 0, {1, 2, 3}));
    save("bmp", "lying_palette.bmp", bmpFile(2, 2, 8, 0, {0, 1, 0, 0, 1, 0, 0, 0}, 0xFFFFFFF0u));
    save("bmp", "core_header.bmp",
         Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26 + 6, 0,   0,   0,   12,   0, 0, 0,
               1,   0,   1, 0, 1, 0, 1, 0, 0, 0, 0,      255, 255, 255, 0x80, 0, 0, 0});
}

Bytes dibOf(const Bytes& bmp) {
    return Bytes(bmp.begin() + 14, bmp.end());
}

// An icon image from a BMP: the height doubled and an AND mask after the rows.
Bytes iconImage(const TBitmap32& pic, int bits, std::uint8_t maskByte) {
    Bytes dib = dibOf(quill::encodeBmp(pic, bits));
    quill::writeLe32(&dib[8], std::uint32_t(2 * pic.height()));
    const std::size_t maskStride = std::size_t(quill::dibRowBytes(pic.width(), 1));
    dib.insert(dib.end(), maskStride * std::size_t(pic.height()), maskByte);
    return dib;
}

Bytes icoFile(const std::vector<Bytes>& images) {
    Bytes f;
    add16(f, 0);
    add16(f, 1);
    add16(f, std::uint32_t(images.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (const Bytes& im : images) {
        for (int i = 0; i < 4; ++i)
            f.push_back(0);
        add16(f, 1);
        add16(f, 32);
        add32(f, std::uint32_t(im.size()));
        add32(f, offset);
        offset += std::uint32_t(im.size());
    }
    for (const Bytes& im : images)
        f.insert(f.end(), im.begin(), im.end());
    return f;
}

void makeIco() {
    saveWithDamage("ico", "two_bmp_images.ico",
                   icoFile({iconImage(gradient(4, 4, false), 24, 0x50),
                            iconImage(gradient(8, 8, true), 32, 0)}));
    saveWithDamage("ico", "png_image.ico", icoFile({quill::encodePng(gradient(6, 5, true))}));
    save("ico", "mixed.ico",
         icoFile(
             {quill::encodePng(gradient(3, 3, true)), iconImage(gradient(3, 3, false), 24, 0xA0)}));
    Bytes lying = icoFile({iconImage(gradient(2, 2, false), 24, 0)});
    quill::writeLe32(&lying[6 + 12], 0xFFFFFFF0u);
    save("ico", "offset_past_end.ico", lying);
}

void makeMetafiles() {
    saveWithDamage("metafile", "picture_5x3.emf", quill::encodeEmf(gradient(5, 3, false)));
    saveWithDamage("metafile", "picture_1x1.emf", quill::encodeEmf(gradient(1, 1, false)));
    // A placeable WMF with one META_STRETCHDIB drawing a 3 x 2 picture at double size.
    const Bytes dib = dibOf(quill::encodeBmp(gradient(3, 2, false), 24));
    Bytes wmf;
    add32(wmf, 0x9AC6CDD7);
    add16(wmf, 0);
    for (int v : {0, 0, 6, 4, 96})
        add16(wmf, std::uint32_t(v));
    add32(wmf, 0);
    add16(wmf, 0);
    for (int v : {1, 9, 0x300})
        add16(wmf, std::uint32_t(v));
    add32(wmf, 0);
    add16(wmf, 0);
    add32(wmf, 0);
    add16(wmf, 0);
    const std::uint32_t words = std::uint32_t(3 + 11 + dib.size() / 2);
    add32(wmf, words);
    add16(wmf, 0x0F43);
    for (int v : {0x0020, 0x00CC, 0, 2, 3, 0, 0, 4, 6, 0, 0})
        add16(wmf, std::uint32_t(v));
    wmf.insert(wmf.end(), dib.begin(), dib.end());
    add32(wmf, 3);
    add16(wmf, 0);
    saveWithDamage("metafile", "stretchdib.wmf", wmf);
}

void makeJpeg() {
    saveWithDamage("jpeg", "colour_8x8.jpg", quill::encodeJpeg(gradient(8, 8, false)));
    saveWithDamage("jpeg", "odd_5x3.jpg", quill::encodeJpeg(gradient(5, 3, false)));
}

void makePng() {
    saveWithDamage("png", "alpha_5x3.png", quill::encodePng(gradient(5, 3, true)));
    saveWithDamage("png", "opaque_1x1.png", quill::encodePng(gradient(1, 1, false)));
}

int writeToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

Bytes gifFile(int w, int h, int left, int top, int iw, int ih) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToVector, &error);
    if (gif == nullptr)
        return out;
    ColorMapObject* map = GifMakeMapObject(4, nullptr);
    for (int i = 0; i < 4; ++i)
        map->Colors[i] =
            GifColorType{GifByteType(i * 80), GifByteType(255 - i * 60), GifByteType(i * 20)};
    EGifPutScreenDesc(gif, w, h, 2, 1, map);
    EGifPutImageDesc(gif, left, top, iw, ih, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(iw));
    for (int y = 0; y < ih; ++y) {
        for (int x = 0; x < iw; ++x)
            line[std::size_t(x)] = GifPixelType((x + y) % 4);
        EGifPutLine(gif, line.data(), iw);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

void makeGif() {
    saveWithDamage("gif", "full_6x4.gif", gifFile(6, 4, 0, 0, 6, 4));
    saveWithDamage("gif", "image_inside_screen.gif", gifFile(8, 8, 2, 3, 4, 2));
}

// A zip of the given entries in the given order (PNGs stored, the rest deflated), as
// another program might lay out an OpenRaster file.
Bytes zipOf(const std::vector<std::pair<std::string, Bytes>>& entries) {
    const fs::path path = g_root / "ora.zip.tmp";
    std::FILE* file = std::fopen(path.c_str(), "w+b");
    quill::ZipWriter zip(file);
    for (const auto& [name, bytes] : entries)
        zip.add(name, bytes.data(), bytes.size(),
                bytes.size() > 4 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G'
                    ? quill::ZipWriter::Method::Store
                    : quill::ZipWriter::Method::Deflate);
    zip.finish();
    std::fclose(file);
    std::ifstream in(path, std::ios::binary);
    Bytes out((std::istreambuf_iterator<char>(in)), {});
    fs::remove(path);
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// An OpenRaster file of another program: stack.xml around the given stack, two layer PNGs.
Bytes oraOf(const std::string& stack, const std::string& size = "w=\"8\" h=\"6\"",
            std::vector<std::pair<std::string, Bytes>> more = {}, const std::string& prolog = {}) {
    std::vector<std::pair<std::string, Bytes>> entries = {
        {"mimetype", text("image/openraster")},
        {"stack.xml", text("<?xml version='1.0' encoding='UTF-8'?>\n" + prolog + "<image " + size +
                           ">" + stack + "</image>")},
        {"data/a.png", quill::encodePng(gradient(5, 3, true))},
        {"data/b.png", quill::encodePng(gradient(2, 7, false))}};
    entries.insert(entries.end(), more.begin(), more.end());
    return zipOf(entries);
}

void makeOra() {
    quill::OraImage image;
    image.width = 8;
    image.height = 6;
    image.merged = gradient(8, 6, false);
    image.layers.push_back({"back", gradient(8, 6, false), 0, 0, 1.0, true});
    image.layers.push_back({"fore & <top>", gradient(3, 4, true), -2, 4, 0.5, false});
    const TBitmap32 extra = gradient(2, 2, true);
    const fs::path written = g_root / "ora.tmp";
    quill::writeOpenRaster(written.string(), image, {{"quill/scene.json", text("{\"v\": 1}")}},
                           {{"quill/pictures/0.png", &extra}});
    std::ifstream in(written, std::ios::binary);
    saveWithDamage("ora", "written_two_layers.ora",
                   Bytes((std::istreambuf_iterator<char>(in)), {}));
    fs::remove(written);

    const std::string both = "<layer name='a' src='data/a.png' x='1' y='-2' opacity='0.5' "
                             "composite-op='svg:multiply'/><layer src='data/b.png'/>";
    saveWithDamage("ora", "nested_stacks.ora",
                   oraOf("<stack><stack x='3' y='1' opacity='0.5' visibility='hidden'>" + both +
                         "</stack><stack><stack name='g'>" + both + "</stack></stack>" + both +
                         "</stack>"));
    save("ora", "entities_and_doctype.ora",
         oraOf("<!-- c --><stack><layer name='&amp;&#233;&#x4E2D;' src='data/a.png'/>"
               "<![CDATA[x]]><?pi?></stack>",
               "w='8' h='6'", {}, "<!DOCTYPE image>"));
    std::string deep = both, many;
    for (int i = 0; i < 70; ++i)
        deep = "<stack>" + deep + "</stack>";
    for (int i = 0; i <= quill::kOraMaxLayers; ++i)
        many += "<layer src='data/a.png'/>";
    save("ora", "deep_nesting.ora", oraOf("<stack>" + deep + "</stack>"));
    save("ora", "too_many_layers.ora", oraOf("<stack>" + many + "</stack>"));
    save("ora", "dot_dot_name.ora", oraOf("<stack><layer src='data/../../x.png'/></stack>"));
    save("ora", "huge_size.ora", oraOf("<stack>" + both + "</stack>", "w='20000' h='20000'"));
    save("ora", "missing_entry.ora", oraOf("<stack><layer src='data/c.png'/></stack>"));
    save("ora", "declared_entity.ora",
         oraOf("<stack><layer name='&a;' src='data/a.png'/></stack>", "w='8' h='6'", {},
               "<!DOCTYPE image [<!ENTITY a 'aaaa'>]>"));
    save("ora", "no_mimetype.ora", zipOf({{"stack.xml", text("<image w='1' h='1'/>")}}));
    // Inflates to far more than its entry's declared size once the size is made small.
    Bytes bomb = oraOf("<stack><layer src='data/bomb.png'/></stack>", "w='8' h='6'",
                       {{"data/bomb.png", Bytes(1 << 20, 0)}});
    for (std::size_t i = 0; i + 46 + 13 <= bomb.size(); ++i)
        if (std::memcmp(&bomb[i], "PK\x03\x04", 4) == 0 &&
            std::memcmp(&bomb[i + 30], "data/bomb.png", 13) == 0)
            quill::writeLe32(&bomb[i + 22], 100);
        else if (std::memcmp(&bomb[i], "PK\x01\x02", 4) == 0 &&
                 std::memcmp(&bomb[i + 46], "data/bomb.png", 13) == 0)
            quill::writeLe32(&bomb[i + 24], 100);
    save("ora", "zip_bomb.ora", bomb);
}

// Scene files this program writes: a small scene of every kind of layer, and the same
// with its lists filled, each also damaged.
void makeSceneFiles() {
    quill::MaskLibrary masks;
    masks.setMask(2, gradient(4, 4, false));
    quill::ProgramRandom random(0);
    quill::Document document(masks, random);
    document.windowShown();
    document.setBackgroundPicture(gradient(12, 9, false));
    document.chooseEffect(*quill::findEffect("scorch"));
    document.addForegroundLayer(gradient(5, 4, true), quill::Document::ShapeOfPicture::Kept);
    document.moveLayerTo(1, -2, 3);
    document.chooseMask(2);
    document.setTransparentChecked(true);
    document.addForegroundLayer(gradient(4, 4, false));
    document.rotate("45");
    document.chooseEffect(*quill::findEffect("water-color"));
    document.addForegroundLayer(gradient(2, 2, false));
    document.deleteLayer();
    document.chooseFrame(gradient(6, 6, false));
    const fs::path written = g_root / "scene.tmp";
    const auto keep = [&](const std::string& name) {
        quill::saveSceneFile(written.string(), document);
        std::ifstream in(written, std::ios::binary);
        saveWithDamage("scenefile", name, Bytes((std::istreambuf_iterator<char>(in)), {}));
        fs::remove(written);
    };
    keep("every_kind_of_layer.ora");
    document.addSketch(1); // the layer with a shape of its own: the sketch keeps it
    document.addSketch(2);
    document.addSceneToAlbum();
    keep("with_lists.ora");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_corpus CORPUS_FOLDER\n");
        return 2;
    }
    g_root = argv[1];
    makeBmp();
    makeIco();
    makeMetafiles();
    makeJpeg();
    makePng();
    makeGif();
    makeOra();
    makeSceneFiles();
    return 0;
}
