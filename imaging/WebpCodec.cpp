#include "imaging/WebpCodec.h"

#include "imaging/Limits.h"
#include "imaging/Orientation.h"

#include <cstring>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

namespace quill {

namespace {

struct DemuxDelete {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

} // namespace

LoadResult decodeWebp(const std::uint8_t* data, std::size_t size) {
    LoadResult result;
    if (data == nullptr || size < 12)
        return result;
    // An extended file's canvas is checked first, so that a refusal for its size names
    // it (libwebp refuses some such files as malformed, without saying why).
    if (size >= 30 && std::memcmp(data, "RIFF", 4) == 0 &&
        std::memcmp(data + 8, "WEBPVP8X", 8) == 0) {
        auto side = [&](std::size_t at) {
            return 1 + std::int64_t(data[at] | data[at + 1] << 8 | data[at + 2] << 16);
        };
        if (!checkPictureSize(side(24), side(27), result))
            return result;
    }
    // The demuxer indexes the chunks (nothing is decoded or sized by the pictures).
    const WebPData whole{data, size};
    std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&whole));
    if (!demux)
        return result;
    const std::int64_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const std::int64_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    if (width <= 0 || height <= 0 || !checkPictureSize(width, height, result))
        return result;

    if (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG) {
        WebPChunkIterator exif;
        if (WebPDemuxGetChunk(demux.get(), "EXIF", 1, &exif))
            result.orientation = exifOrientation(exif.chunk.bytes, exif.chunk.size);
        WebPDemuxReleaseChunkIterator(&exif);
    }

    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame))
        return result;
    const bool inside = frame.x_offset >= 0 && frame.y_offset >= 0 && frame.width > 0 &&
                        frame.height > 0 && frame.x_offset + std::int64_t(frame.width) <= width &&
                        frame.y_offset + std::int64_t(frame.height) <= height;
    if (!inside) {
        WebPDemuxReleaseIterator(&frame);
        return result;
    }
    // The frame is decoded straight into its place on the canvas. Over a transparent
    // canvas the frame's blending gives the frame's own pixels.
    const bool wholeCanvas = frame.width == width && frame.height == height;
    TBitmap32 canvas = wholeCanvas ? TBitmap32::uninitialized(int(width), int(height))
                                   : TBitmap32(int(width), int(height), 0);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        WebPDemuxReleaseIterator(&frame);
        return result;
    }
    const std::size_t stride = canvas.strideBytes();
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = canvas.row(frame.y_offset) + std::size_t(frame.x_offset) * 4;
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size =
        stride * std::size_t(frame.height - 1) + std::size_t(frame.width) * 4;
    const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    const bool sized = config.output.width == frame.width && config.output.height == frame.height;
    WebPFreeDecBuffer(&config.output);
    WebPDemuxReleaseIterator(&frame);
    if (status != VP8_STATUS_OK || !sized)
        return result;
    result.picture = std::move(canvas);
    return result;
}

} // namespace quill
