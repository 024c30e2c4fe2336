#include "imaging/GifCodec.h"

#include "imaging/Limits.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace quill {

namespace {

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (length <= 0)
        return 0;
    std::size_t count = std::min<std::size_t>(std::size_t(length), reader->size - reader->position);
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
    return int(count);
}

// Walks the blocks of a GIF up to its first image descriptor and returns the LZW
// minimum code size that follows it, or -1 when the file has no image. giflib reads
// this byte itself and accepts values the format does not allow.
int firstImageCodeSize(const std::uint8_t* data, std::size_t size) {
    if (size < 13)
        return -1;
    std::size_t p = 13;
    if (data[10] & 0x80)
        p += 3u * (std::size_t(2) << (data[10] & 7));
    while (p < size) {
        std::uint8_t introducer = data[p++];
        if (introducer == 0x21) { // extension: label, then data sub-blocks
            if (p >= size)
                return -1;
            ++p;
            while (p < size && data[p] != 0)
                p += std::size_t(data[p]) + 1;
            ++p;
        } else if (introducer == 0x2C) { // image descriptor
            if (p + 9 > size)
                return -1;
            std::uint8_t flags = data[p + 8];
            p += 9;
            if (flags & 0x80)
                p += 3u * (std::size_t(2) << (flags & 7));
            return p < size ? int(data[p]) : -1;
        } else {
            return -1; // trailer or a broken block
        }
    }
    return -1;
}

std::uint32_t colourOf(const ColorMapObject* map, int index, std::uint32_t otherwise) {
    if (map == nullptr || map->Colors == nullptr || index < 0 || index >= map->ColorCount)
        return otherwise;
    const GifColorType& c = map->Colors[index];
    return makePixel(c.Red, c.Green, c.Blue);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

} // namespace

LoadResult decodeGif(const std::uint8_t* data, std::size_t size) {
    LoadResult result;
    if (data == nullptr || size < 13 || std::memcmp(data, "GIF", 3) != 0)
        return result;
    int codeSize = firstImageCodeSize(data, size);
    if (codeSize < 2 || codeSize > 8)
        return result;

    MemoryReader reader{data, size, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif)
        return result;

    const ColorMapObject* screenMap = gif->SColorMap;
    const std::uint32_t white = makePixel(255, 255, 255);
    const std::uint32_t background = colourOf(screenMap, gif->SBackGroundColor, white);

    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            return result;
        if (record == TERMINATE_RECORD_TYPE)
            return result;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return result;
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparentIndex = control.TransparentColor;
            }
            while (block != nullptr)
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    return result;
            continue;
        }
        if (record == IMAGE_DESC_RECORD_TYPE)
            break;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
        return result;

    const GifImageDesc& image = gif->Image;
    if (image.Width <= 0 || image.Height <= 0)
        return result;
    // The image's own size bounds the decoding work even where it is clipped away.
    if (!checkPictureSize(image.Width, image.Height, result))
        return result;
    // A screen of no size is taken to be just large enough for the image.
    std::int64_t screenWidth =
        gif->SWidth > 0 ? gif->SWidth : std::int64_t(image.Left) + image.Width;
    std::int64_t screenHeight =
        gif->SHeight > 0 ? gif->SHeight : std::int64_t(image.Top) + image.Height;
    if (!checkPictureSize(screenWidth, screenHeight, result))
        return result;

    // Indices beyond the colour map read as black; with no map at all, index i is grey i.
    const ColorMapObject* map = image.ColorMap != nullptr ? image.ColorMap : screenMap;
    std::uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = map != nullptr ? colourOf(map, i, makePixel(0, 0, 0)) : makePixel(i, i, i);
    // A transparent pixel shows what lies under the image: the screen's background.
    if (transparentIndex >= 0 && transparentIndex < 256)
        palette[transparentIndex] = background;

    try {
        result.picture = TBitmap32(int(screenWidth), int(screenHeight), background);
        std::vector<GifPixelType> line(std::size_t(image.Width));

        const int left = image.Left, top = image.Top;
        const int firstColumn = std::max(0, -left);
        const int lastColumn =
            int(std::min<std::int64_t>(image.Width, screenWidth - left)); // exclusive
        auto storeRow = [&](int imageRow) {
            std::int64_t y = std::int64_t(top) + imageRow;
            if (y < 0 || y >= screenHeight)
                return;
            std::uint32_t* out = result.picture.row32(int(y));
            for (int x = firstColumn; x < lastColumn; ++x)
                out[left + x] = palette[line[std::size_t(x)]];
        };

        // A file that breaks off inside the image keeps the rows read so far.
        if (image.Interlace) {
            static constexpr int kStart[4] = {0, 4, 2, 1};
            static constexpr int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int r = kStart[pass]; r < image.Height; r += kStep[pass]) {
                    if (DGifGetLine(gif.get(), line.data(), image.Width) == GIF_ERROR)
                        return result;
                    storeRow(r);
                }
        } else {
            for (int r = 0; r < image.Height && std::int64_t(top) + r < screenHeight; ++r) {
                if (DGifGetLine(gif.get(), line.data(), image.Width) == GIF_ERROR)
                    return result;
                storeRow(r);
            }
        }
    } catch (...) {
        result.picture = TBitmap32();
        result.message = kNotEnoughMemoryMessage;
    }
    return result;
}

} // namespace quill
