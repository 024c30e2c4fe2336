#include "imaging/PngCodec.h"

#include "imaging/Limits.h"
#include "imaging/Orientation.h"

#include <csetjmp>
#include <cstring>
#include <memory>

#include <png.h>

namespace quill {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Ancillary chunks (text, colour profiles) may be compressed; no single chunk may
// expand beyond this, so a small file cannot claim a huge amount of memory.
constexpr png_alloc_size_t kPngChunkLimit = 8u * 1024 * 1024;
// Ancillary chunks kept in memory at once.
constexpr png_uint_32 kPngChunkCacheLimit = 1000;

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->position)
        png_error(png, "read past the end of the data");
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
}

void writeToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    try {
        out->insert(out->end(), data, data + length);
    } catch (...) {
        png_error(png, "out of memory");
    }
}

void flushNothing(png_structp) {}

[[noreturn]] void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

// Walks the chunks from the signature to IEND and takes the first eXIf chunk's
// orientation. False when a chunk before IEND does not lie whole inside the data:
// libpng would refuse such a file too, but only after allocating what a text chunk's
// length claims (2 GiB for a chunk of a hundred bytes), so it is refused here first.
bool walkChunks(const std::uint8_t* data, std::size_t size, int& orientation) {
    std::size_t at = 8;
    for (;;) {
        if (size - at < 12)
            return false;
        const std::uint32_t length = bigEndian32(data + at);
        if (length > 0x7FFFFFFFu || length > size - at - 12)
            return false;
        const std::uint8_t* type = data + at + 4;
        if (std::memcmp(type, "IEND", 4) == 0)
            return true;
        if (std::memcmp(type, "eXIf", 4) == 0 && orientation == kUpright)
            orientation = exifOrientation(data + at + 8, length);
        at += 12 + std::size_t(length);
    }
}

// Chunks that do not change a pixel and may be large: libpng passes over them without
// keeping them (the eXIf chunk is read by walkChunks). Five bytes a name.
constexpr png_byte kSkippedChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0iCCP\0eXIf";
constexpr int kSkippedChunkCount = 6;

} // namespace

LoadResult decodePng(const std::uint8_t* data, std::size_t size) {
    LoadResult result;
    // Signature, then the IHDR chunk: length, "IHDR", width, height.
    if (data == nullptr || size < 33 || std::memcmp(data, kPngSignature, 8) != 0 ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return result;
    // The size is refused with its message before libpng sees it.
    if (!checkPictureSize(bigEndian32(data + 16), bigEndian32(data + 20), result))
        return result;
    if (!walkChunks(data, size, result.orientation))
        return result;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr)
        return result;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return result;
    }
    MemoryReader reader{data, size, 0};
    TBitmap32* picture = &result.picture;
    // Allocated after setjmp, freed after a jump: kept in memory.
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete[] rows;
        *picture = TBitmap32();
        return result;
    }

    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, kPngChunkLimit);
    png_set_chunk_cache_max(png, kPngChunkCacheLimit);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
    png_set_read_fn(png, &reader, readFromMemory);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || !checkPictureSize(width, height, result)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return result;
    }

    // Every form becomes 8-bit blue, green, red, alpha: palette and low-depth grey
    // expanded, tRNS turned into alpha, 16-bit samples scaled with rounding, grey
    // copied into the three colours, opaque forms given alpha 255.
    png_set_expand(png);
    png_set_scale_16(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(width) * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        return result;
    }

    try {
        *picture = TBitmap32::uninitialized(int(width), int(height));
        rows = new png_bytep[height];
    } catch (...) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete[] rows;
        *picture = TBitmap32();
        result.message = kNotEnoughMemoryMessage;
        return result;
    }
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = picture->row(int(y));
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete[] rows;
    return result;
}

std::vector<std::uint8_t> encodePng(const TBitmap32& picture) {
    std::vector<std::uint8_t> out;
    if (picture.empty())
        return out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png == nullptr)
        return out;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    std::vector<std::uint8_t>* output = &out;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        delete[] rows;
        output->clear();
        output->shrink_to_fit();
        return std::move(*output);
    }

    png_set_write_fn(png, &out, writeToVector, flushNothing);
    png_set_IHDR(png, info, png_uint_32(picture.width()), png_uint_32(picture.height()), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // The fastest compression with the "sub" filter: a 12-megapixel photograph is
    // written in about half the time of zlib's level 3 with adaptive filters, for a
    // file some 5% larger.
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_write_info(png, info);
    png_set_bgr(png);
    try {
        rows = new png_bytep[std::size_t(picture.height())];
    } catch (...) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return out;
    }
    for (int y = 0; y < picture.height(); ++y)
        rows[y] = const_cast<png_bytep>(picture.row(y));
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    delete[] rows;
    return out;
}

} // namespace quill
