#include "imaging/Thumbnail.h"

#include "imaging/JpegCodec.h"
#include "imaging/Limits.h"
#include "imaging/Orientation.h"

#include <new>
#include <vector>

namespace quill {

namespace {

ThumbnailRead reduced(LoadResult read, int fullWidth, int fullHeight,
                      const ThumbnailSizeRule& rule) {
    ThumbnailRead out;
    out.message = std::move(read.message);
    if (read.picture.empty())
        return out;
    const PictureSize want = rule(fullWidth, fullHeight);
    out.picture = resampleNearest(read.picture, fullWidth, fullHeight, want.width, want.height);
    out.fullWidth = fullWidth;
    out.fullHeight = fullHeight;
    return out;
}

// A JPEG decoded at a reduced scale when the thumbnail is small enough for one; false
// when the full decode is wanted.
bool reducedJpeg(const std::uint8_t* data, std::size_t size, const ThumbnailSizeRule& rule,
                 const LoadOptions& options, ThumbnailRead& out) {
    const JpegHeader header = readJpegHeader(data, size);
    if (!header.ok || header.width <= 0 || header.height <= 0 ||
        !pictureSizeAllowed(header.width, header.height))
        return false;
    const int turn = options.applyOrientation ? header.orientation : kUpright;
    const bool swapped = orientationSwapsSides(turn);
    const int fullWidth = swapped ? header.height : header.width;
    const int fullHeight = swapped ? header.width : header.height;
    const PictureSize want = rule(fullWidth, fullHeight);
    const std::int64_t storedWidth = swapped ? want.height : want.width;
    const std::int64_t storedHeight = swapped ? want.width : want.height;
    // libjpeg gives each side at eighths / 8 of its size, rounded up.
    auto scaled = [](std::int64_t side, int eighths) { return (side * eighths + 7) / 8; };
    int eighths = 1;
    while (eighths < 8 && (scaled(header.width, eighths) < storedWidth ||
                           scaled(header.height, eighths) < storedHeight))
        ++eighths;
    if (eighths == 8)
        return false;
    LoadResult read = decodeJpeg(
        data, size, {.applyOrientation = options.applyOrientation, .scaleEighths = eighths});
    out = reduced(std::move(read), fullWidth, fullHeight, rule);
    return true;
}

} // namespace

ThumbnailRead decodeThumbnailBytes(const std::uint8_t* data, std::size_t size,
                                   const std::string& fileName, const ThumbnailSizeRule& rule,
                                   const LoadOptions& options) {
    ThumbnailRead out;
    try {
        if (readerForName(fileName) == PictureReader::Jpeg && data != nullptr &&
            reducedJpeg(data, size, rule, options, out))
            return out;
        LoadResult read = decodePictureBytes(data, size, fileName, options);
        const int w = read.picture.width(), h = read.picture.height();
        return reduced(std::move(read), w, h, rule);
    } catch (const std::bad_alloc&) {
        out = ThumbnailRead{};
        out.message = kNotEnoughMemoryMessage;
    } catch (...) {
        out = ThumbnailRead{};
    }
    return out;
}

ThumbnailRead LoadThumbnail(const std::string& path, const ThumbnailSizeRule& rule,
                            const LoadOptions& options) {
    if (readerForName(path) == PictureReader::None)
        return {};
    try {
        std::vector<std::uint8_t> bytes;
        if (!readPictureFileBytes(path, bytes))
            return {};
        return decodeThumbnailBytes(bytes.data(), bytes.size(), path, rule, options);
    } catch (const std::bad_alloc&) {
        ThumbnailRead out;
        out.message = kNotEnoughMemoryMessage;
        return out;
    }
}

} // namespace quill
