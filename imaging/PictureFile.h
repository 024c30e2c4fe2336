#pragma once

#include "imaging/AtomicFile.h"
#include "imaging/Bitmap32.h"
#include "imaging/Limits.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

// What a picture reader gives back. picture is empty when the file was not read.
// message is a text to show the user before the caller's own " is not a valid
// format" message (the icon reader's message, a size refusal); empty if none.
// orientation is the orientation (see imaging/Orientation.h) the pixels are stored in
// and still need to be turned from: 1 once a reader or LoadPictureFile turned them.
struct LoadResult {
    TBitmap32 picture;
    std::string message;
    int orientation = 1;
};

// How a picture file is read.
struct LoadOptions {
    // Turn the picture upright as the file says: the EXIF orientation of JPEG, PNG and
    // WebP files, TIFF's orientation tag, HEIF's rotation and mirroring. false keeps
    // the pixels as stored.
    bool applyOrientation = true;
};

// The options of the reads on this thread that are given none: LoadOptions{} unless a
// LoadOptionsScope says otherwise.
LoadOptions currentLoadOptions();

// Sets the options of every picture read on this thread without options of its own
// while it lives: for a command that reads pictures in many places (the command line's
// --no-orientation reaches the pictures a scene file names this way).
class LoadOptionsScope {
  public:
    explicit LoadOptionsScope(const LoadOptions& options);
    ~LoadOptionsScope();
    LoadOptionsScope(const LoadOptionsScope&) = delete;
    LoadOptionsScope& operator=(const LoadOptionsScope&) = delete;

  private:
    LoadOptions m_previous;
};

// The readers, as a file name selects them.
enum class PictureReader { None, Bmp, Ico, Jpeg, Gif, Metafile, Png, Heif, Webp, Tiff };

// The reader of a file name. The program's own forms go by the last four characters of
// the name, upper-cased: ".BMP", ".ICO", ".JPG" or "JPEG", ".GIF", ".WMF" or ".EMF",
// ".PNG" (so "a.jpeg" is a JPEG and "a.jpe" is read by nothing). The forms of cameras
// and phones go by the extension after the last dot, in any case: .heic, .heif and
// .avif (HEIF), .webp, .tif and .tiff.
PictureReader readerForName(const std::string& name);

// Every extension a reader is chosen by, lower case with its dot, the program's own
// forms first.
const std::vector<std::string>& readablePictureExtensions();

// Reads a picture file, choosing the reader with readerForName. Any other name, a
// missing file or an unreadable one gives the empty picture. Every form without alpha
// reads with alpha 255. Never throws. Without options, currentLoadOptions().
LoadResult LoadPictureFile(const std::string& path);
LoadResult LoadPictureFile(const std::string& path, const LoadOptions& options);

// The same choice of reader on the name, for bytes already in memory. Never throws.
LoadResult decodePictureBytes(const std::uint8_t* data, std::size_t size,
                              const std::string& fileName);
LoadResult decodePictureBytes(const std::uint8_t* data, std::size_t size,
                              const std::string& fileName, const LoadOptions& options);

// The whole of a regular file no larger than any picture file can be; false when it
// is missing, not a plain file, too large, or cannot be read.
bool readPictureFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes);

// path + " is not a valid format": what a command shows for a file it cannot open.
std::string notValidFormatMessage(const std::string& path);

// The message a reader gives when the memory for a picture cannot be had.
inline constexpr const char* kNotEnoughMemoryMessage =
    "There is not enough memory to open the picture.";

// The message a reader gives for a picture over the program's size limits.
inline std::string pictureTooLargeMessage(std::int64_t width, std::int64_t height) {
    return "The picture is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels, too large to open (at most " + std::to_string(kMaxPictureSide) +
           " pixels a side and " + std::to_string(kMaxPicturePixels) + " pixels in all).";
}

// True when a picture of width x height may be held; otherwise result gets the
// size refusal message and an empty picture. Sizes are taken in 64 bits.
inline bool checkPictureSize(std::int64_t width, std::int64_t height, LoadResult& result) {
    if (pictureSizeAllowed(width, height))
        return true;
    result.picture = TBitmap32();
    result.message = pictureTooLargeMessage(width, height);
    return false;
}

enum class PictureFormat { Jpeg, Bmp24, Bmp32, Png, Emf };

// The form an output file takes from its extension, compared case-insensitively:
// .png, .bmp (24-bit), .jpg or .jpeg, .emf or .wmf. Anything else: nullopt.
std::optional<PictureFormat> formatForOutputName(const std::string& path);

// The file contents of picture in the given form (JPEG at quality 90). Empty when
// the picture is empty or cannot be encoded.
std::vector<std::uint8_t> encodePicture(const TBitmap32& picture, PictureFormat format);

// Encodes picture and writes it to path atomically (see writeFileAtomically).
WriteResult SavePicture(const TBitmap32& picture, const std::string& path, PictureFormat format);

} // namespace quill
