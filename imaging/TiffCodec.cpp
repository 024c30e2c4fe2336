#include "imaging/TiffCodec.h"

#include "imaging/Colour.h"
#include "imaging/Limits.h"
#include "imaging/Orientation.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace quill {

namespace {

// The file in memory, read by libtiff through these procedures (never written).
struct MemoryFile {
    const std::uint8_t* data;
    std::uint64_t size;
    std::uint64_t position = 0;
};

tmsize_t readMemory(thandle_t handle, void* out, tmsize_t length) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (length <= 0 || file->position >= file->size)
        return 0;
    const std::uint64_t n =
        std::min<std::uint64_t>(std::uint64_t(length), file->size - file->position);
    std::memcpy(out, file->data + file->position, std::size_t(n));
    file->position += n;
    return tmsize_t(n);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = file->position;
    else if (whence == SEEK_END)
        base = file->size;
    // Offsets are unsigned; one past the data is allowed, as for a file.
    if (offset > file->size || base > file->size - offset)
        return toff_t(-1);
    file->position = base + offset;
    return file->position;
}

int closeNothing(thandle_t) {
    return 0;
}

toff_t memorySize(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->size;
}

int mapNothing(thandle_t, void**, toff_t*) {
    return 0;
}

void unmapNothing(thandle_t, void*, toff_t) {}

// libtiff's errors and warnings are not printed: a file that cannot be read gives the
// empty picture.
int silently(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffClose {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

// The pixel layouts read directly: 8 or 16 bits a sample, samples of a pixel together.
// Anything else (palettes, fewer bits, YCbCr, separate planes) goes through libtiff's
// RGBA reader.
struct Layout {
    enum class Model { Rgb, Grey, GreyInverted, Cmyk } model = Model::Rgb;
    int samples = 0; // per pixel
    int bits = 8;
    int alpha = -1; // the sample that holds alpha, -1 none
    bool premultiplied = false;
};

int eightBits(std::uint16_t v) {
    return (int(v) * 255 + 32767) / 65535;
}

// One row of n pixels of samples to blue, green, red, alpha.
void convertRow(const Layout& layout, const std::uint8_t* in, std::uint8_t* out, int n) {
    const int s = layout.samples;
    const auto* in16 = reinterpret_cast<const std::uint16_t*>(in);
    auto sample = [&](int x, int i) {
        const std::size_t at = std::size_t(x) * std::size_t(s) + std::size_t(i);
        return layout.bits == 8 ? int(in[at]) : eightBits(in16[at]);
    };
    for (int x = 0; x < n; ++x) {
        std::uint8_t* p = out + std::size_t(x) * 4;
        const int a = layout.alpha >= 0 ? sample(x, layout.alpha) : 255;
        auto colour = [&](int v) {
            return std::uint8_t(layout.premultiplied ? unpremultiplied(v, a) : v);
        };
        switch (layout.model) {
        case Layout::Model::Rgb:
            p[kRed] = colour(sample(x, 0));
            p[kGreen] = colour(sample(x, 1));
            p[kBlue] = colour(sample(x, 2));
            break;
        case Layout::Model::Grey:
        case Layout::Model::GreyInverted: {
            const int v = sample(x, 0);
            p[kRed] = p[kGreen] = p[kBlue] =
                colour(layout.model == Layout::Model::Grey ? v : 255 - v);
            break;
        }
        case Layout::Model::Cmyk:
            // Inks first, converted with the one CMYK rule, then divided by alpha.
            for (int i = 0; i < 4; ++i)
                p[i] = std::uint8_t(sample(x, i));
            cmykRowToBgra(p, p, 1, false);
            p[kRed] = colour(p[kRed]);
            p[kGreen] = colour(p[kGreen]);
            p[kBlue] = colour(p[kBlue]);
            break;
        }
        p[kAlpha] = std::uint8_t(a);
    }
}

template <typename T> T field(TIFF* tif, ttag_t tag, T fallback) {
    T value = fallback;
    return TIFFGetFieldDefaulted(tif, tag, &value) == 1 ? value : fallback;
}

// The direct layout of the open page, or false when it is not one.
bool directLayout(TIFF* tif, Layout& layout) {
    const auto bits = field<std::uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 1);
    const auto samples = field<std::uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    const auto format = field<std::uint16_t>(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    const auto planar = field<std::uint16_t>(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::uint16_t photometric = 0;
    if ((bits != 8 && bits != 16) || format != SAMPLEFORMAT_UINT || planar != PLANARCONFIG_CONTIG ||
        samples > 8 || TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 1)
        return false;
    int colours = 0;
    switch (photometric) {
    case PHOTOMETRIC_RGB:
        layout.model = Layout::Model::Rgb;
        colours = 3;
        break;
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        layout.model = photometric == PHOTOMETRIC_MINISBLACK ? Layout::Model::Grey
                                                             : Layout::Model::GreyInverted;
        colours = 1;
        break;
    case PHOTOMETRIC_SEPARATED:
        if (field<std::uint16_t>(tif, TIFFTAG_INKSET, INKSET_CMYK) != INKSET_CMYK)
            return false;
        layout.model = Layout::Model::Cmyk;
        colours = 4;
        break;
    default:
        return false;
    }
    if (samples < colours)
        return false;
    layout.samples = samples;
    layout.bits = bits;
    // The first extra sample is alpha as libtiff's own reader takes it: marked as
    // alpha, or unmarked beside three colours or more (then taken as premultiplied).
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (samples > colours &&
        TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) == 1 && extraCount >= 1 &&
        extraKinds != nullptr) {
        const std::uint16_t kind = extraKinds[0];
        if (kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA ||
            (kind == EXTRASAMPLE_UNSPECIFIED && samples > 3)) {
            layout.alpha = colours;
            layout.premultiplied = kind != EXTRASAMPLE_UNASSALPHA;
        }
    }
    return true;
}

bool readStrips(TIFF* tif, const Layout& layout, TBitmap32& picture) {
    const std::uint64_t rowBytes =
        std::uint64_t(picture.width()) * std::uint64_t(layout.samples) * (layout.bits / 8);
    if (TIFFScanlineSize64(tif) != rowBytes)
        return false;
    std::vector<std::uint16_t> row((rowBytes + 1) / 2);
    for (int y = 0; y < picture.height(); ++y) {
        if (TIFFReadScanline(tif, row.data(), std::uint32_t(y), 0) < 0)
            return false;
        convertRow(layout, reinterpret_cast<const std::uint8_t*>(row.data()), picture.row(y),
                   picture.width());
    }
    return true;
}

bool readTiles(TIFF* tif, const Layout& layout, TBitmap32& picture) {
    const auto tileWidth = field<std::uint32_t>(tif, TIFFTAG_TILEWIDTH, 0);
    const auto tileHeight = field<std::uint32_t>(tif, TIFFTAG_TILELENGTH, 0);
    const std::uint64_t pixelBytes = std::uint64_t(layout.samples) * (layout.bits / 8);
    const std::uint64_t tileBytes = std::uint64_t(tileWidth) * tileHeight * pixelBytes;
    if (tileWidth == 0 || tileHeight == 0 || tileBytes > std::uint64_t(kTiffMemoryLimit) ||
        TIFFTileSize64(tif) != tileBytes)
        return false;
    std::vector<std::uint16_t> tile(std::size_t((tileBytes + 1) / 2));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(tile.data());
    for (std::uint32_t ty = 0; ty < std::uint32_t(picture.height()); ty += tileHeight)
        for (std::uint32_t tx = 0; tx < std::uint32_t(picture.width()); tx += tileWidth) {
            if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0)
                return false;
            const int across = int(std::min<std::uint32_t>(tileWidth, picture.width() - tx));
            const int down = int(std::min<std::uint32_t>(tileHeight, picture.height() - ty));
            for (int r = 0; r < down; ++r)
                convertRow(layout, bytes + std::size_t(r) * tileWidth * pixelBytes,
                           picture.row(int(ty) + r) + std::size_t(tx) * 4, across);
        }
    return true;
}

// libtiff's RGBA reader, for every other layout it knows. Its pixels come premultiplied
// by alpha; they are divided back.
bool readThroughRgba(TIFF* tif, TBitmap32& picture) {
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        return false;
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tif, 1, message)) // 1: stop at the first damaged strip
        return false;
    // Rows in the order they are stored: the orientation is turned by the caller.
    image.req_orientation = image.orientation;
    const bool ok = image.width == std::uint32_t(picture.width()) &&
                    image.height == std::uint32_t(picture.height()) &&
                    TIFFRGBAImageGet(&image, picture.bits(), image.width, image.height) == 1;
    const bool alpha = image.alpha != 0;
    TIFFRGBAImageEnd(&image);
    if (!ok)
        return false;
    // Each word holds red in its low byte: the red and blue bytes change places.
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* p = picture.row(y);
        for (int x = 0; x < picture.width(); ++x, p += 4) {
            std::swap(p[0], p[2]);
            if (alpha)
                for (int c : {kBlue, kGreen, kRed})
                    p[c] = std::uint8_t(unpremultiplied(p[c], p[kAlpha]));
        }
    }
    return true;
}

} // namespace

LoadResult decodeTiff(const std::uint8_t* data, std::size_t size) {
    LoadResult result;
    if (data == nullptr || size < 8)
        return result;
    MemoryFile file{data, size};
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options)
        return result;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(kTiffMemoryLimit));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), silently, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), silently, nullptr);
    // "m": no mapping, every byte is read through readMemory.
    std::unique_ptr<TIFF, TiffClose> tif(
        TIFFClientOpenExt("picture", "rm", &file, readMemory, writeNothing, seekMemory,
                          closeNothing, memorySize, mapNothing, unmapNothing, options.get()));
    if (!tif)
        return result;

    const auto width = field<std::uint32_t>(tif.get(), TIFFTAG_IMAGEWIDTH, 0);
    const auto height = field<std::uint32_t>(tif.get(), TIFFTAG_IMAGELENGTH, 0);
    if (width == 0 || height == 0 || !checkPictureSize(width, height, result))
        return result;
    const auto orientation = field<std::uint16_t>(tif.get(), TIFFTAG_ORIENTATION, 1);

    TBitmap32 picture = TBitmap32::uninitialized(int(width), int(height));
    Layout layout;
    const bool read = directLayout(tif.get(), layout)
                          ? (TIFFIsTiled(tif.get()) ? readTiles(tif.get(), layout, picture)
                                                    : readStrips(tif.get(), layout, picture))
                          : readThroughRgba(tif.get(), picture);
    if (!read)
        return result;
    result.picture = std::move(picture);
    result.orientation = orientation >= 1 && orientation <= 8 ? orientation : kUpright;
    return result;
}

} // namespace quill
