#include "workspace/SceneFile.h"

#include "imaging/OpenRaster.h"
#include "imaging/Rounding.h"
#include "workspace/Document.h"
#include "workspace/SceneDescription.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <vector>

namespace quill {

namespace {

const std::string kDescriptionEntry = std::string(kSceneFileFolder) + "scene.json";

bool samePixels(const TBitmap32& a, const TBitmap32& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.bits(), b.bits(), a.pixelCount() * 4) == 0;
}

// Opens another program's file: the bottom layer is the background when it covers the
// picture, opaque and whole, else a white background of the picture's size; every other
// layer is a layer at its place, its opacity as its transparency, hidden ones deleted.
std::string openForeignScene(const OraImage& image, Document& document) {
    Document built(document.masks(), document.random());
    built.history().setEnabled(false);
    built.holdComposition();
    std::size_t first = 0;
    const bool bottomIsBackground = !image.layers.empty() && image.layers[0].x == 0 &&
                                    image.layers[0].y == 0 && image.layers[0].visible &&
                                    image.layers[0].opacity >= 1.0 &&
                                    image.layers[0].picture.width() == image.width &&
                                    image.layers[0].picture.height() == image.height;
    if (bottomIsBackground) {
        built.setBackgroundPicture(image.layers[0].picture);
        first = 1;
    } else {
        built.setBackgroundPicture(
            TBitmap32(image.width, image.height, makePixel(255, 255, 255, 255)));
    }
    for (std::size_t i = first; i < image.layers.size(); ++i) {
        const OraLayer& layer = image.layers[i];
        if (layer.picture.empty())
            continue;
        const int slot = built.addForegroundLayer(layer.picture, Document::ShapeOfPicture::Kept);
        built.moveLayerTo(slot, layer.x, layer.y);
        // The transparency multiplies the alpha by (255 - level) / 255.
        const int factor = int(roundHalfEven(std::clamp(layer.opacity, 0.0, 1.0) * 255.0L));
        if (factor < 255) {
            built.setTransparenceSlider(255 - factor);
            built.setTransparentChecked(true);
        }
        if (!layer.visible)
            built.deleteLayer();
    }
    built.releaseComposition();
    document.load(built.snapshot());
    return {};
}

} // namespace

bool isSceneFileName(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string ending = path.substr(path.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ending == ".ora";
}

WriteResult saveSceneFile(const std::string& path, const Document& document) {
    const DocumentState state = document.snapshot();
    const Scene& scene = document.scene();
    OraImage image;
    image.width = scene.BackWork->width();
    image.height = scene.BackWork->height();
    PictureNames names;
    // The layers other programs show, bottom first: the background as shown, each layer
    // as drawn at its place (a deleted one hidden), the frame over everything.
    const auto addLayer = [&](std::string name, const SharedPicture& picture, Point at,
                              bool visible) {
        OraLayer layer;
        layer.name = std::move(name);
        layer.picture = *picture;
        layer.x = at.x;
        layer.y = at.y;
        layer.visible = visible;
        names.emplace(picture.identity(), "data/" + std::to_string(image.layers.size()) + ".png");
        image.layers.push_back(std::move(layer));
    };
    addLayer("Background", scene.BackWork, {0, 0}, true);
    for (int i = 1; i <= scene.LayerCount(); ++i) {
        const LayerSlot& slot = scene.layer(i);
        if (!slot.ForeWork->empty())
            addLayer("Layer " + std::to_string(i), slot.ForeWork, scene.layerPosition(i),
                     slot.visible);
    }
    if (scene.FramePicture && !(*scene.FramePicture)->empty())
        addLayer("Frame", *scene.FramePicture, {0, 0}, true);
    image.merged = scene.scenePicture();

    // The rest of the pictures in the program's own folder, each once. An untouched picture
    // that equals the one drawn (no effect, mask or transparency) is the same entry.
    const auto sameAsDrawn = [&](const SharedPicture& original, const SharedPicture& work) {
        if (!names.count(original.identity()) && names.count(work.identity()) &&
            samePixels(*original, *work))
            names.emplace(original.identity(), names.at(work.identity()));
    };
    sameAsDrawn(scene.BackOriginal, scene.BackWork);
    for (int i = 1; i <= scene.LayerCount(); ++i)
        sameAsDrawn(scene.layer(i).ForeOriginal, scene.layer(i).ForeWork);
    std::vector<OraExtraPicture> pictures;
    state.forEachPicture([&](const SharedPicture& p) {
        if (p->empty() || names.count(p.identity()))
            return;
        const std::string name =
            std::string(kSceneFileFolder) + "pictures/" + std::to_string(pictures.size()) + ".png";
        names.emplace(p.identity(), name);
        pictures.push_back({name, &p.get()});
    });
    const std::string description = describeDocument(state, names);
    const std::vector<OraExtraEntry> entries = {
        {kDescriptionEntry, std::vector<std::uint8_t>(description.begin(), description.end())}};
    return writeOpenRaster(path, image, entries, pictures);
}

namespace {

OraReadOptions sceneReadOptions() {
    OraReadOptions options;
    options.privateFolder = kSceneFileFolder;
    options.decodePrivatePictures = true;
    return options;
}

std::string openRead(OraReadResult read, const std::string& path, Document& document) {
    if (!read.image)
        return read.message;
    if (!read.hasPrivateFolder)
        return openForeignScene(*read.image, document);
    const auto description = read.privateEntries.find(kDescriptionEntry);
    if (description == read.privateEntries.end())
        return path + ": the scene description " + kDescriptionEntry + " is missing";
    std::map<std::string, SharedPicture> pictures;
    for (std::size_t k = 0; k < read.image->layers.size(); ++k)
        pictures.emplace("data/" + std::to_string(k) + ".png",
                         SharedPicture(std::move(read.image->layers[k].picture)));
    for (auto& [name, picture] : read.privatePictures)
        pictures.emplace(name, SharedPicture(std::move(picture)));
    const std::vector<std::uint8_t>& bytes = description->second;
    ResumedDocument resumed = readDocumentDescription(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path,
        [&](const std::string& name) -> std::optional<SharedPicture> {
            const auto it = pictures.find(name);
            if (it == pictures.end())
                return std::nullopt;
            return it->second;
        });
    if (!resumed.state)
        return resumed.error;
    document.load(std::move(*resumed.state));
    return {};
}

} // namespace

std::string openSceneFile(const std::string& path, Document& document) {
    return openRead(readOpenRaster(path, sceneReadOptions()), path, document);
}

std::string openSceneFileBytes(const std::uint8_t* data, std::size_t size, const std::string& name,
                               Document& document) {
    return openRead(readOpenRasterBytes(data, size, name, sceneReadOptions()), name, document);
}

SceneFileInfo readSceneFileInfo(const std::string& path) {
    SceneFileInfo info;
    OraReadOptions options;
    options.decodeLayers = false;
    const OraReadResult read = readOpenRaster(path, options);
    if (!read.image) {
        info.message = read.message;
        return info;
    }
    info.width = read.image->width;
    info.height = read.image->height;
    info.layers = int(read.image->layers.size());
    return info;
}

} // namespace quill
