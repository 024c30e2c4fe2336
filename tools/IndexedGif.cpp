#include "tools/IndexedGif.h"

#include <gif_lib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace quill {

GifPalette greyPalette() {
    GifPalette p;
    for (int i = 0; i < 256; ++i)
        p[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
    return p;
}

GifPalette rampPalette(PaletteColour dark, PaletteColour middle) {
    GifPalette p;
    auto mix = [](int a, int b, int t, int n) { return std::uint8_t(a + (b - a) * t / n); };
    for (int i = 0; i < 256; ++i) {
        if (i <= 128)
            p[i] = {mix(dark.r, middle.r, i, 128), mix(dark.g, middle.g, i, 128),
                    mix(dark.b, middle.b, i, 128)};
        else
            p[i] = {mix(middle.r, 255, i - 128, 127), mix(middle.g, 255, i - 128, 127),
                    mix(middle.b, 255, i - 128, 127)};
    }
    return p;
}

WriteResult writeIndexedGif(const std::string& path, int width, int height,
                            const std::vector<std::uint8_t>& indices, const GifPalette& palette) {
    WriteResult result;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 ||
        indices.size() != std::size_t(width) * std::size_t(height)) {
        result.ok = false;
        result.message = path + ": no picture to write";
        return result;
    }
    const std::string temporary = path + ".part" + std::to_string(::getpid());
    auto fail = [&](const std::string& reason) {
        std::remove(temporary.c_str());
        result.ok = false;
        result.message = path + ": " + reason;
        return result;
    };

    int error = 0;
    errno = 0;
    GifFileType* gif = EGifOpenFileName(temporary.c_str(), false, &error);
    if (!gif)
        return fail(errno ? std::strerror(errno) : GifErrorString(error));
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {palette[i].r, palette[i].g, palette[i].b};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(width);
    for (int y = 0; ok && y < height; ++y) {
        std::memcpy(line.data(), &indices[std::size_t(y) * width], std::size_t(width));
        ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
    }
    const int writeError = gif->Error;
    int closeError = 0;
    const bool closed = EGifCloseFile(gif, &closeError) == GIF_OK;
    GifFreeMapObject(map);
    if (!ok || !closed) {
        const char* reason = GifErrorString(!ok ? writeError : closeError);
        return fail(reason ? reason : "cannot write");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return fail(std::strerror(errno));
    return result;
}

} // namespace quill
