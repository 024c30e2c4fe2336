#include "fuzz/FuzzTargets.h"

#include "collections/AlbumFile.h"
#include "imaging/Limits.h"
#include "imaging/OpenRaster.h"
#include "imaging/PictureFile.h"
#include "workspace/Document.h"
#include "workspace/SceneDescription.h"
#include "workspace/SceneFile.h"

#include <exception>
#include <span>
#include <string_view>

namespace quill::fuzz {

volatile std::uint32_t g_pixelSum = 0;

const std::vector<Target>& targets() {
    // The metafile reader tells EMF from WMF by content, so one target covers both.
    static const std::vector<Target> list = {
        {"jpeg", "fuzz.jpg"},
        {"png", "fuzz.png"},
        {"gif", "fuzz.gif"},
        {"bmp", "fuzz.bmp"},
        {"ico", "fuzz.ico"},
        {"metafile", "fuzz.emf"},
        {"heif", "fuzz.heic"}, // AVIF too: the same container and reader
        {"webp", "fuzz.webp"},
        {"tiff", "fuzz.tif"},
        {"album", "fuzz.exe", Reader::Album},
        {"scene", "fuzz.json", Reader::Scene},
        {"ora", "fuzz.ora", Reader::OpenRaster},
        {"scenefile", "fuzz.ora", Reader::SceneFile},
    };
    return list;
}

const Target* findTarget(const std::string& name) {
    for (const Target& t : targets())
        if (name == t.name)
            return &t;
    return nullptr;
}

std::string checkPictureReader(const char* fileName, const std::uint8_t* data, std::size_t size) {
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

std::string checkAlbumReader(const std::uint8_t* data, std::size_t size) {
    AlbumIndex index;
    try {
        index = readAlbumIndex(std::span<const std::uint8_t>(data, size), "fuzz.exe");
    } catch (const std::exception& e) {
        return std::string("the album reader threw: ") + e.what();
    } catch (...) {
        return "the album reader threw something that is not an exception";
    }
    if (!index.ok()) {
        if (!index.scenes.empty())
            return "scenes were returned with an error";
        if (index.error.rfind("fuzz.exe", 0) != 0)
            return "an error that does not name the file";
        return {};
    }
    // Scenes in album order: each one ends 4 bytes (its length word) before the next
    // starts, and the last one 4 bytes before the count word.
    std::uint64_t end = size < 4 ? 0 : size - 4;
    for (auto it = index.scenes.rbegin(); it != index.scenes.rend(); ++it) {
        if (it->length < 4 || it->offset > end || it->length > end - it->offset ||
            end - it->offset - it->length != 4)
            return "a scene outside its place in the file";
        if (data[it->offset] != 0xFF || data[it->offset + 1] != 0xD8)
            return "a scene that does not start with the JPEG marker";
        end = it->offset;
    }
    return {};
}

std::string checkSceneReader(const std::uint8_t* data, std::size_t size) {
    SceneFileResult result;
    try {
        result = parseSceneText(std::string_view(reinterpret_cast<const char*>(data), size),
                                "/fuzz", "fuzz.json");
    } catch (const std::exception& e) {
        return std::string("the scene reader threw: ") + e.what();
    } catch (...) {
        return "the scene reader threw something that is not an exception";
    }
    if (result.scene.has_value() == !result.error.empty())
        return result.scene ? "a scene and an error at once" : "neither a scene nor an error";
    return {};
}

std::string checkOpenRasterReader(const std::uint8_t* data, std::size_t size) {
    OraReadOptions options;
    options.decodeMerged = true;
    options.privateFolder = "quill";
    options.decodePrivatePictures = true;
    // Room for a few pictures at the size limit within the fuzzer's memory bound.
    options.maxTotalPixels = 3 * kMaxPicturePixels / 2;
    OraReadResult result;
    try {
        result = readOpenRasterBytes(data, size, "fuzz.ora", options);
    } catch (const std::exception& e) {
        return std::string("the OpenRaster reader threw: ") + e.what();
    } catch (...) {
        return "the OpenRaster reader threw something that is not an exception";
    }
    if (result.image.has_value() == !result.message.empty())
        return result.image ? "an image and a message at once" : "neither an image nor a message";
    if (!result.image) {
        if (result.message.rfind("fuzz.ora: ", 0) != 0 ||
            result.message.find('\n') != std::string::npos)
            return "a message that does not name the file on one line";
        return {};
    }
    const OraImage& image = *result.image;
    if (image.width <= 0 || image.height <= 0 || !pictureSizeAllowed(image.width, image.height))
        return "a picture size outside the limits";
    if (image.layers.size() > std::size_t(kOraMaxLayers))
        return "more layers than the bound";
    if (!image.merged.empty() &&
        (image.merged.width() != image.width || image.merged.height() != image.height))
        return "a merged picture of another size than the picture";
    std::vector<const TBitmap32*> pictures = {&image.merged};
    for (const OraLayer& layer : image.layers)
        pictures.push_back(&layer.picture);
    for (const auto& [name, picture] : result.privatePictures)
        pictures.push_back(&picture);
    for (const TBitmap32* picture : pictures) {
        if (picture->empty())
            continue;
        if (!pictureSizeAllowed(picture->width(), picture->height()))
            return "a layer picture over the size limits";
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < picture->pixelCount(); ++i)
            sum += picture->bits()[i];
        g_pixelSum = sum;
    }
    return {};
}

// Opens the bytes as a scene file into a document holding a layer already: either one
// message naming the file, and the document as it was, or a document whose layers keep
// their rules and whose scene picture is the composed scene.
std::string checkSceneFileReader(const std::uint8_t* data, std::size_t size) {
    static const MaskLibrary masks;
    ProgramRandom random(0);
    Document document(masks, random);
    document.windowShown();
    document.addForegroundLayer(TBitmap32(3, 2, makePixel(1, 2, 3)));
    const DocumentState before = document.snapshot();
    std::string message;
    try {
        message = openSceneFileBytes(data, size, "fuzz.ora", document);
    } catch (const std::exception& e) {
        return std::string("the scene file reader threw: ") + e.what();
    } catch (...) {
        return "the scene file reader threw something that is not an exception";
    }
    if (!message.empty()) {
        if (message.rfind("fuzz.ora", 0) != 0 || message.find('\n') != std::string::npos)
            return "a message that does not name the file on one line";
        return document.snapshot() == before ? "" : "a refused file changed the document";
    }
    const Scene& scene = document.scene();
    for (int i = 1; i <= scene.LayerCount(); ++i) {
        const LayerSlot& l = scene.layer(i);
        if (l.ForeWork->width() != l.ForeOriginal->width() ||
            l.ForeWork->height() != l.ForeOriginal->height())
            return "a layer whose two pictures differ in size";
    }
    Scene recomposed = scene;
    recomposed.ComposeScene();
    return recomposed.scenePicture() == scene.scenePicture() ? "" : "a scene picture not composed";
}

std::string checkTarget(const Target& target, const std::uint8_t* data, std::size_t size) {
    switch (target.reader) {
    case Reader::Album:
        return checkAlbumReader(data, size);
    case Reader::Scene:
        return checkSceneReader(data, size);
    case Reader::OpenRaster:
        return checkOpenRasterReader(data, size);
    case Reader::SceneFile:
        return checkSceneFileReader(data, size);
    case Reader::Picture:
        break;
    }
    return checkPictureReader(target.fileName, data, size);
}

} // namespace quill::fuzz
