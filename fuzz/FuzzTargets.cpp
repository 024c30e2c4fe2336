#include "fuzz/FuzzTargets.h"

#include "imaging/Limits.h"
#include "imaging/PictureFile.h"

#include <exception>

namespace quill::fuzz {

volatile std::uint32_t g_pixelSum = 0;

const std::vector<Target>& targets()
{
    // The metafile reader tells EMF from WMF by content, so one target covers both.
    static const std::vector<Target> list = {
        {"jpeg", "fuzz.jpg"}, {"png", "fuzz.png"}, {"gif", "fuzz.gif"},
        {"bmp", "fuzz.bmp"},  {"ico", "fuzz.ico"}, {"metafile", "fuzz.emf"},
    };
    return list;
}

const Target* findTarget(const std::string& name)
{
    for (const Target& t : targets())
        if (name == t.name)
            return &t;
    return nullptr;
}

std::string checkPictureReader(const char* fileName, const std::uint8_t* data, std::size_t size)
{
    LoadResult result;
    try {
        result = decodePictureBytes(data, size, fileName);
    } catch (const std::exception& e) {
        return std::string("the reader threw: ") + e.what();
    } catch (...) {
        return "the reader threw something that is not an exception";
    }
    const TBitmap32& pic = result.picture;
    if (pic.width() < 0 || pic.height() < 0)
        return "negative picture size";
    if (pic.empty())
        return {};
    if (!pictureSizeAllowed(pic.width(), pic.height()))
        return "a picture over the size limits was returned";
    // Read every pixel, so that a wrong size or a short buffer shows under the sanitizers.
    std::uint32_t sum = 0;
    for (int y = 0; y < pic.height(); ++y) {
        const std::uint32_t* row = pic.row32(y);
        for (int x = 0; x < pic.width(); ++x)
            sum += row[x];
    }
    g_pixelSum = sum; // keeps the reads from being optimised away
    return {};
}

} // namespace quill::fuzz
