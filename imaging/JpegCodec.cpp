#include "imaging/JpegCodec.h"

#include "imaging/Limits.h"

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

// Adobe's CMYK files store the inks inverted (255 = no ink); others store them plain.
void cmykRowToBgra(const std::uint8_t* cmyk, std::uint8_t* bgra, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // (255 - ink) * (255 - black) / 255 with the stored, inverted values, rounded.
        bgra[kRed] = std::uint8_t((c * k + 127) / 255);
        bgra[kGreen] = std::uint8_t((m * k + 127) / 255);
        bgra[kBlue] = std::uint8_t((y * k + 127) / 255);
        bgra[kAlpha] = 255;
    }
}

// libjpeg's working memory for one picture (the coefficients of a progressive file
// are held whole); beyond this it refuses rather than grow.
constexpr long kJpegWorkingMemory = 3L * 1024 * 1024 * 1024;

} // namespace

LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size) {
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
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        delete[] cmykRow;
        *picture = TBitmap32();
        return result;
    }

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kJpegWorkingMemory;
    info.progress = &progress;
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

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    const int width = int(info.output_width);
    const int height = int(info.output_height);
    if (!checkPictureSize(width, height, result) || int(info.output_components) != 4) {
        jpeg_destroy_decompress(&info);
        return result;
    }

    try {
        *picture = TBitmap32::uninitialized(width, height);
        if (cmyk)
            cmykRow = new std::uint8_t[std::size_t(width) * 4];
    } catch (...) {
        jpeg_destroy_decompress(&info);
        *picture = TBitmap32();
        result.message = kNotEnoughMemoryMessage;
        return result;
    }

    if (cmyk) {
        const bool inverted = info.saw_Adobe_marker;
        while (info.output_scanline < info.output_height) {
            int y = int(info.output_scanline);
            JSAMPROW rows[1] = {cmykRow};
            if (jpeg_read_scanlines(&info, rows, 1) != 1)
                break;
            cmykRowToBgra(cmykRow, picture->row(y), width, inverted);
        }
        delete[] cmykRow;
        cmykRow = nullptr;
    } else {
        // Decode straight into the picture's rows, several at a time.
        constexpr int kBatch = 16;
        JSAMPROW rows[kBatch];
        while (info.output_scanline < info.output_height) {
            int y = int(info.output_scanline);
            int count = std::min(kBatch, height - y);
            for (int i = 0; i < count; ++i)
                rows[i] = picture->row(y + i);
            if (jpeg_read_scanlines(&info, rows, JDIMENSION(count)) == 0)
                break;
        }
    }
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
