#include "imaging/HeifCodec.h"

#include "imaging/Colour.h"
#include "imaging/HeifBoxes.h"
#include "imaging/Limits.h"

#include <climits>
#include <memory>

#include <libheif/heif.h>

namespace quill {

namespace {

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<heif_image, ImageRelease>;

// libheif loads its codec plugins (where it has any) once, for the whole program.
void initialiseOnce() {
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)initialised;
}

} // namespace

LoadResult decodeHeif(const std::uint8_t* data, std::size_t size, bool applyTransformations) {
    LoadResult result;
    // libheif takes the length as an int-sized count in places; no picture file is larger.
    if (data == nullptr || size < 12 || size > std::size_t(INT_MAX))
        return result;
    initialiseOnce();

    // The sizes decoding will allocate are checked first (see imaging/HeifBoxes.h).
    const HeifSizes sizes = readHeifSizes(data, size);
    if ((sizes.width > 0 || sizes.height > 0) &&
        !checkPictureSize(sizes.width, sizes.height, result))
        return result;
    if (!sizes.consistent)
        return result;
    // libheif refuses a side of its limit or more: the program's limit is one less.
    Context context(heif_context_alloc());
    if (!context)
        return result;
    heif_context_set_maximum_image_size_limit(context.get(), kMaxPictureSide + 1);
    heif_image_handle* primary = nullptr;
    if (heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr).code !=
            heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok)
        return result;
    Handle handle(primary);
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0 || !checkPictureSize(width, height, result))
        return result;

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        return result;
    options->ignore_transformations = applyTransformations ? 0 : 1;
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    if (heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                          options.get())
            .code != heif_error_Ok)
        return result;
    Image image(decoded);

    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* rgba =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (rgba == nullptr || w <= 0 || h <= 0 || !checkPictureSize(w, h, result) || stride < w * 4)
        return result;
    const bool premultiplied = heif_image_handle_is_premultiplied_alpha(handle.get()) != 0;
    result.picture = TBitmap32::uninitialized(w, h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = rgba + std::size_t(y) * std::size_t(stride);
        std::uint8_t* out = result.picture.row(y);
        for (int x = 0; x < w; ++x, in += 4, out += 4) {
            const int a = in[3];
            auto colour = [&](int v) { return premultiplied ? unpremultiplied(v, a) : v; };
            out[kRed] = std::uint8_t(colour(in[0]));
            out[kGreen] = std::uint8_t(colour(in[1]));
            out[kBlue] = std::uint8_t(colour(in[2]));
            out[kAlpha] = std::uint8_t(a);
        }
    }
    return result;
}

} // namespace quill
