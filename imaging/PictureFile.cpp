#include "imaging/PictureFile.h"

#include "imaging/BmpCodec.h"
#include "imaging/GifCodec.h"
#include "imaging/HeifCodec.h"
#include "imaging/IcoCodec.h"
#include "imaging/JpegCodec.h"
#include "imaging/Limits.h"
#include "imaging/MetafileCodec.h"
#include "imaging/Orientation.h"
#include "imaging/PngCodec.h"
#include "imaging/TiffCodec.h"
#include "imaging/WebpCodec.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

using Reader = PictureReader;

std::string upperCase(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

thread_local LoadOptions t_loadOptions;

// No picture the program can hold comes from a file larger than this (a 32-bit BMP
// at the pixel limit, with room for its headers).
constexpr std::int64_t kMaxPictureFileBytes = kMaxPicturePixels * 4 + (1 << 20);

LoadResult decodeWith(Reader reader, const std::uint8_t* data, std::size_t size,
                      const std::string& fileName, const LoadOptions& options) {
    switch (reader) {
    case Reader::Bmp:
        return decodeBmp(data, size);
    case Reader::Ico:
        return decodeIco(data, size, fileName);
    case Reader::Jpeg:
        // Turned as it is decoded, without a second picture.
        return decodeJpeg(data, size, {.applyOrientation = options.applyOrientation});
    case Reader::Gif:
        return decodeGif(data, size);
    case Reader::Metafile:
        return decodeMetafile(data, size);
    case Reader::Png:
        return decodePng(data, size);
    case Reader::Heif:
        return decodeHeif(data, size, options.applyOrientation);
    case Reader::Webp:
        return decodeWebp(data, size);
    case Reader::Tiff:
        return decodeTiff(data, size);
    case Reader::None:
        break;
    }
    return {};
}

LoadResult decodeGuarded(Reader reader, const std::uint8_t* data, std::size_t size,
                         const std::string& fileName, const LoadOptions& options) {
    try {
        LoadResult result = decodeWith(reader, data, size, fileName, options);
        if (options.applyOrientation && result.orientation != kUpright) {
            result.picture = orientPicture(std::move(result.picture), result.orientation);
            result.orientation = kUpright;
        }
        return result;
    } catch (const std::bad_alloc&) {
        return LoadResult{TBitmap32(), kNotEnoughMemoryMessage};
    } catch (...) {
        return {};
    }
}

} // namespace

bool readPictureFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    // Non-blocking, so that a named pipe given as a picture cannot stall the reader.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > kMaxPictureFileBytes) {
        ::close(fd);
        return false;
    }
    bytes.resize(std::size_t(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += std::size_t(got);
    }
    ::close(fd);
    // A file that shrank while it was read is taken as it was found.
    bytes.resize(done);
    return true;
}

std::string notValidFormatMessage(const std::string& path) {
    return path + " is not a valid format";
}

LoadOptions currentLoadOptions() {
    return t_loadOptions;
}

LoadOptionsScope::LoadOptionsScope(const LoadOptions& options) : m_previous(t_loadOptions) {
    t_loadOptions = options;
}

LoadOptionsScope::~LoadOptionsScope() {
    t_loadOptions = m_previous;
}

PictureReader readerForName(const std::string& name) {
    if (name.size() >= 4) {
        const std::string key = upperCase(name.substr(name.size() - 4));
        if (key == ".BMP")
            return Reader::Bmp;
        if (key == ".ICO")
            return Reader::Ico;
        if (key == ".JPG" || key == "JPEG")
            return Reader::Jpeg;
        if (key == ".GIF")
            return Reader::Gif;
        if (key == ".WMF" || key == ".EMF")
            return Reader::Metafile;
        if (key == ".PNG")
            return Reader::Png;
    }
    // The longer extensions are taken whole, so that "photoheic" is not one.
    const std::size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.')
        return Reader::None;
    const std::string extension = upperCase(name.substr(dot));
    if (extension == ".HEIC" || extension == ".HEIF" || extension == ".AVIF")
        return Reader::Heif;
    if (extension == ".WEBP")
        return Reader::Webp;
    if (extension == ".TIF" || extension == ".TIFF")
        return Reader::Tiff;
    return Reader::None;
}

const std::vector<std::string>& readablePictureExtensions() {
    static const std::vector<std::string> extensions{".jpg",  ".jpeg", ".bmp", ".wmf",  ".emf",
                                                     ".gif",  ".png",  ".ico", ".heic", ".heif",
                                                     ".avif", ".webp", ".tif", ".tiff"};
    return extensions;
}

LoadResult decodePictureBytes(const std::uint8_t* data, std::size_t size,
                              const std::string& fileName) {
    return decodePictureBytes(data, size, fileName, currentLoadOptions());
}

LoadResult decodePictureBytes(const std::uint8_t* data, std::size_t size,
                              const std::string& fileName, const LoadOptions& options) {
    Reader reader = readerForName(fileName);
    if (reader == Reader::None || data == nullptr)
        return {};
    return decodeGuarded(reader, data, size, fileName, options);
}

LoadResult LoadPictureFile(const std::string& path) {
    return LoadPictureFile(path, currentLoadOptions());
}

LoadResult LoadPictureFile(const std::string& path, const LoadOptions& options) {
    Reader reader = readerForName(path);
    if (reader == Reader::None)
        return {};
    try {
        std::vector<std::uint8_t> bytes;
        if (!readPictureFileBytes(path, bytes))
            return {};
        return decodeGuarded(reader, bytes.data(), bytes.size(), path, options);
    } catch (const std::bad_alloc&) {
        return LoadResult{TBitmap32(), kNotEnoughMemoryMessage};
    } catch (...) {
        return {};
    }
}

std::optional<PictureFormat> formatForOutputName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    std::string extension = path.substr(dot);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".png")
        return PictureFormat::Png;
    if (extension == ".bmp")
        return PictureFormat::Bmp24;
    if (extension == ".jpg" || extension == ".jpeg")
        return PictureFormat::Jpeg;
    if (extension == ".emf" || extension == ".wmf")
        return PictureFormat::Emf;
    return std::nullopt;
}

std::vector<std::uint8_t> encodePicture(const TBitmap32& picture, PictureFormat format) {
    if (picture.empty())
        return {};
    try {
        switch (format) {
        case PictureFormat::Jpeg:
            return encodeJpeg(picture, kJpegQuality);
        case PictureFormat::Bmp24:
            return encodeBmp(picture, 24);
        case PictureFormat::Bmp32:
            return encodeBmp(picture, 32);
        case PictureFormat::Png:
            return encodePng(picture);
        case PictureFormat::Emf:
            return encodeEmf(picture);
        }
    } catch (...) {
    }
    return {};
}

WriteResult SavePicture(const TBitmap32& picture, const std::string& path, PictureFormat format) {
    if (picture.empty())
        return WriteResult{false, path + ": there is no picture to write"};
    std::vector<std::uint8_t> bytes = encodePicture(picture, format);
    if (bytes.empty())
        return WriteResult{false, path + ": the picture could not be encoded"};
    return writeFileAtomically(path, bytes.data(), bytes.size());
}

} // namespace quill
