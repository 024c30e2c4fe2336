#include "imaging/JpegCodec.h"

#include "imaging/Colour.h"
#include "imaging/Limits.h"
#include "imaging/Orientation.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace quill {

namespace {

// libjpeg reports a fatal error by calling error_exit, which by default ends the
// process. Ours jumps back to the reader instead, which then gives up cleanly.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    long warnings = 0;
};

[[noreturn]] void jpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(error->jump, 1);
}

void jpegEmitMessage(j_common_ptr info, int level) {
    // Warnings (level -1) are counted, not printed; trace messages are ignored.
    if (level < 0)
        ++reinterpret_cast<JpegError*>(info->err)->warnings;
}

void jpegOutputMessage(j_common_ptr) {}

// A progressive file can repeat scans without end, each one a full pass over the
// coefficients; past kJpegMaxScans the file is refused.
void jpegProgress(j_common_ptr info) {
    if (!info->is_decompressor)
        return;
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kJpegMaxScans)
        jpegErrorExit(info);
}

void installErrorManager(JpegError& error) {
    jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegErrorExit;
    error.manager.emit_message = jpegEmitMessage;
    error.manager.output_message = jpegOutputMessage;
}

// Writes the compressed stream straight into a growing vector.
struct VectorDestination {
    jpeg_destination_mgr manager;
    std::vector<std::uint8_t>* out;
};

constexpr std::size_t kDestinationChunk = 1 << 16;

void destinationInit(j_compress_ptr info) {
    auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
    dest->out->resize(kDestinationChunk);
    dest->manager.next_output_byte = dest->out->data();
    dest->manager.free_in_buffer = dest->out->size();
}

boolean destinationEmpty(j_compress_ptr info) {
    auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
    std::size_t used = dest->out->size();
    try {
        dest->out->resize(used * 2);
    } catch (...) {
        jpegErrorExit(reinterpret_cast<j_common_ptr>(info));
    }
    dest->manager.next_output_byte = dest->out->data() + used;
    dest->manager.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void destinationTerm(j_compress_ptr info) {
    auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
    dest->out->resize(dest->out->size() - dest->manager.free_in_buffer);
}

// The APP1 marker, where cameras keep their EXIF block.
constexpr int kExifMarker = JPEG_APP0 + 1;

// The orientation of the first APP1 block that is an EXIF block; 1 when there is none.
int savedOrientation(j_decompress_ptr info) {
    for (jpeg_saved_marker_ptr m = info->marker_list; m != nullptr; m = m->next)
        if (m->marker == kExifMarker && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return exifOrientation(m->data, m->data_length);
    return kUpright;
}

// libjpeg's working memory for one picture (the coefficients of a progressive file
// are held whole); beyond this it refuses rather than grow.
constexpr long kJpegWorkingMemory = 3L * 1024 * 1024 * 1024;

} // namespace

LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size, const JpegReadOptions& options) {
    LoadResult result;
    if (data == nullptr || size < 4 || size > 0xFFFFFFFFul)
        return result;

    jpeg_decompress_struct info;
    JpegError error;
    installErrorManager(error);
    info.err = &error.manager;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = jpegProgress;

    // Everything the jump can skip over lives outside this frame or is trivially
    // destructible; the picture is reset after a jump.
    TBitmap32* picture = &result.picture;
    // Changed after setjmp and read after the jump, so kept in memory.
    std::uint8_t* volatile cmykRow = nullptr;
    std::uint32_t* volatile band = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        delete[] cmykRow;
        delete[] band;
        *picture = TBitmap32();
        return result;
    }

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kJpegWorkingMemory;
    info.progress = &progress;
    jpeg_save_markers(&info, kExifMarker, 0xFFFF);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return result;
    }
    if (!checkPictureSize(info.image_width, info.image_height, result) || info.image_width == 0 ||
        info.image_height == 0) {
        jpeg_destroy_decompress(&info);
        return result;
    }
    const int orientation = savedOrientation(&info);
    const int turn = options.applyOrientation ? orientation : kUpright;
    result.orientation = options.applyOrientation ? kUpright : orientation;
    if (options.scaleEighths >= 1 && options.scaleEighths < 8) {
        info.scale_num = unsigned(options.scaleEighths);
        info.scale_denom = 8;
    }

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    const int width = int(info.output_width);
    const int height = int(info.output_height);
    if (!checkPictureSize(width, height, result) || int(info.output_components) != 4) {
        jpeg_destroy_decompress(&info);
        return result;
    }

    constexpr int kBatch = 16;
    try {
        *picture = orientationSwapsSides(turn) ? TBitmap32::uninitialized(height, width)
                                               : TBitmap32::uninitialized(width, height);
        if (cmyk)
            cmykRow = new std::uint8_t[std::size_t(width) * 4];
        if (turn != kUpright)
            band = new std::uint32_t[std::size_t(width) * kBatch];
    } catch (...) {
        jpeg_destroy_decompress(&info);
        *picture = TBitmap32();
        result.message = kNotEnoughMemoryMessage;
        return result;
    }

    // Rows are decoded several at a time, straight into the picture when it is stored
    // upright, else into a band that is then placed turned.
    const bool inverted = info.saw_Adobe_marker;
    OrientedRows placed(*picture, turn, width, height);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        const int count = std::min(kBatch, height - y);
        std::uint8_t* target[kBatch];
        for (int i = 0; i < count; ++i)
            target[i] = band ? reinterpret_cast<std::uint8_t*>(band + std::size_t(i) * width)
                             : picture->row(y + i);
        int done = 0;
        while (done < count) {
            JSAMPROW rows[kBatch];
            int asked = count - done;
            if (cmyk) {
                rows[0] = cmykRow;
                asked = 1;
            } else {
                for (int i = 0; i < asked; ++i)
                    rows[i] = target[done + i];
            }
            const int got = int(jpeg_read_scanlines(&info, rows, JDIMENSION(asked)));
            if (got == 0)
                break;
            if (cmyk)
                cmykRowToBgra(cmykRow, target[done], width, inverted);
            done += got;
        }
        if (band && done > 0)
            placed.put(y, reinterpret_cast<const std::uint8_t*>(band), std::size_t(width) * 4,
                       done);
        if (done < count)
            break;
    }
    delete[] cmykRow;
    cmykRow = nullptr;
    delete[] band;
    band = nullptr;
    // A file that ends early has had its missing part filled in by libjpeg (with a
    // warning); what was decoded is kept.
    if (info.output_scanline < info.output_height) {
        jpeg_destroy_decompress(&info);
        *picture = TBitmap32();
        return result;
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return result;
}

JpegHeader readJpegHeader(const std::uint8_t* data, std::size_t size) {
    JpegHeader header;
    if (data == nullptr || size < 4 || size > 0xFFFFFFFFul)
        return header;
    jpeg_decompress_struct info;
    JpegError error;
    installErrorManager(error);
    info.err = &error.manager;
    JpegHeader* out = &header;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        *out = JpegHeader{};
        return header;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kJpegWorkingMemory;
    jpeg_save_markers(&info, kExifMarker, 0xFFFF);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK)
        *out = JpegHeader{true, int(info.image_width), int(info.image_height),
                          savedOrientation(&info)};
    jpeg_destroy_decompress(&info);
    return header;
}

std::vector<std::uint8_t> encodeJpeg(const TBitmap32& picture, int quality) {
    std::vector<std::uint8_t> out;
    if (picture.empty() || picture.width() > JPEG_MAX_DIMENSION ||
        picture.height() > JPEG_MAX_DIMENSION)
        return out;

    jpeg_compress_struct info;
    JpegError error;
    installErrorManager(error);
    info.err = &error.manager;
    VectorDestination destination{};
    destination.out = &out;
    std::vector<std::uint8_t>* output = &out;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        output->clear();
        output->shrink_to_fit();
        return std::move(*output);
    }

    jpeg_create_compress(&info);
    destination.manager.init_destination = destinationInit;
    destination.manager.empty_output_buffer = destinationEmpty;
    destination.manager.term_destination = destinationTerm;
    info.dest = &destination.manager;
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
    jpeg_start_compress(&info, TRUE);
    constexpr int kBatch = 16;
    JSAMPROW rows[kBatch];
    while (info.next_scanline < info.image_height) {
        int y = int(info.next_scanline);
        int count = std::min(kBatch, picture.height() - y);
        for (int i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(picture.row(y + i));
        jpeg_write_scanlines(&info, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return out;
}

} // namespace quill
