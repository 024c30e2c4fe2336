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
DocumentState foreignScene(const OraImage& image, const MaskLibrary& masks) {
    ProgramRandom random(0);
    Document built(masks, random);
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
    return built.snapshot();
}

OraReadOptions sceneReadOptions(bool keepPng) {
    OraReadOptions options;
    options.privateFolder = kSceneFileFolder;
    options.decodePrivatePictures = true;
    options.keepPng = keepPng;
    return options;
}

// The document a read file holds: another program's, or this program's from its description.
OpenedScene sceneOf(OraReadResult read, const std::string& path, const MaskLibrary& masks,
                    SceneFileCache* cache) {
    OpenedScene opened;
    if (!read.image) {
        opened.message = read.message;
        return opened;
    }
    if (!read.hasPrivateFolder) {
        opened.state = foreignScene(*read.image, masks);
        return opened;
    }
    const auto description = read.privateEntries.find(kDescriptionEntry);
    if (description == read.privateEntries.end()) {
        opened.message = path + ": the scene description " + kDescriptionEntry + " is missing";
        return opened;
    }
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
    if (!resumed.state) {
        opened.message = resumed.error;
        return opened;
    }
    if (cache) {
        // The file's own PNGs serve a later save of the same pictures.
        std::map<const void*, std::pair<SharedPicture, OraPng>> kept;
        for (const auto& [name, png] : read.png)
            if (const auto it = pictures.find(name); it != pictures.end())
                kept.emplace(it->second.identity(), std::pair{it->second, png});
        cache->keep(std::move(kept));
    }
    opened.state = std::move(resumed.state);
    return opened;
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

OraPng SceneFileCache::find(const SharedPicture& picture) const {
    const auto it = m_pictures.find(picture.identity());
    return it == m_pictures.end() ? nullptr : it->second.second;
}

SceneToSave sceneToSave(const Document& document) {
    SceneToSave scene;
    scene.state = document.snapshot();
    scene.composed = SharedPicture(document.scene().scenePicture());
    scene.places.resize(std::size_t(document.scene().LayerCount()) + 1);
    for (int i = 1; i <= document.scene().LayerCount(); ++i)
        scene.places[std::size_t(i)] = document.scene().layerPosition(i);
    return scene;
}

WriteResult saveSceneFile(const std::string& path, const Document& document,
                          SceneFileCache* cache) {
    return saveSceneFile(path, sceneToSave(document), cache);
}

WriteResult saveSceneFile(const std::string& path, const SceneToSave& scene,
                          SceneFileCache* cache) {
    const DocumentState& state = scene.state;
    const SceneContent& content = state.scene;
    OraImage image;
    image.width = content.BackWork->width();
    image.height = content.BackWork->height();
    PictureNames names;
    std::map<std::string, SharedPicture> byName; // the pictures the file holds, by entry
    // A picture the cache has encoded already goes in as it was encoded.
    const auto encoded = [&](const SharedPicture& p) { return cache ? cache->find(p) : nullptr; };
    // The layers other programs show, bottom first: the background as shown, each layer
    // as drawn at its place (a deleted one hidden), the frame over everything.
    const auto addLayer = [&](std::string name, const SharedPicture& picture, Point at,
                              bool visible) {
        OraLayer layer;
        layer.name = std::move(name);
        layer.png = encoded(picture);
        if (!layer.png)
            layer.picture = *picture;
        layer.x = at.x;
        layer.y = at.y;
        layer.visible = visible;
        const std::string entry = "data/" + std::to_string(image.layers.size()) + ".png";
        names.emplace(picture.identity(), entry);
        byName.emplace(entry, picture);
        image.layers.push_back(std::move(layer));
    };
    addLayer("Background", content.BackWork, {0, 0}, true);
    for (std::size_t i = 1; i < content.layers.size(); ++i) {
        const LayerSlot& slot = content.layers[i];
        if (!slot.ForeWork->empty())
            addLayer("Layer " + std::to_string(i), slot.ForeWork, scene.places[i], slot.visible);
    }
    if (content.FramePicture && !(*content.FramePicture)->empty())
        addLayer("Frame", *content.FramePicture, {0, 0}, true);
    image.merged = *scene.composed;

    // The rest of the pictures in the program's own folder, each once. An untouched picture
    // that equals the one drawn (no effect, mask or transparency) is the same entry.
    const auto sameAsDrawn = [&](const SharedPicture& original, const SharedPicture& work) {
        if (!names.count(original.identity()) && names.count(work.identity()) &&
            samePixels(*original, *work))
            names.emplace(original.identity(), names.at(work.identity()));
    };
    sameAsDrawn(content.BackOriginal, content.BackWork);
    for (std::size_t i = 1; i < content.layers.size(); ++i)
        sameAsDrawn(content.layers[i].ForeOriginal, content.layers[i].ForeWork);
    std::vector<OraExtraPicture> pictures;
    state.forEachPicture([&](const SharedPicture& p) {
        if (p->empty() || names.count(p.identity()))
            return;
        const std::string name =
            std::string(kSceneFileFolder) + "pictures/" + std::to_string(pictures.size()) + ".png";
        names.emplace(p.identity(), name);
        byName.emplace(name, p);
        OraExtraPicture extra{name, &p.get(), encoded(p)};
        pictures.push_back(extra);
    });
    const std::string description = describeDocument(state, names);
    const std::vector<OraExtraEntry> entries = {
        {kDescriptionEntry, std::vector<std::uint8_t>(description.begin(), description.end())}};
    std::map<std::string, OraPng> written;
    const WriteResult result = writeOpenRaster(path, image, entries, pictures, &written);
    if (result.ok && cache) {
        std::map<const void*, std::pair<SharedPicture, OraPng>> kept;
        for (const auto& [name, png] : written)
            if (const auto it = byName.find(name); it != byName.end())
                kept.emplace(it->second.identity(), std::pair{it->second, png});
        cache->keep(std::move(kept));
    }
    return result;
}

OpenedScene readSceneFile(const std::string& path, const MaskLibrary& masks,
                          SceneFileCache* cache) {
    return sceneOf(readOpenRaster(path, sceneReadOptions(cache != nullptr)), path, masks, cache);
}

std::string openSceneFile(const std::string& path, Document& document, SceneFileCache* cache) {
    OpenedScene opened = readSceneFile(path, document.masks(), cache);
    if (opened.state)
        document.load(std::move(*opened.state));
    return opened.message;
}

std::string openSceneFileBytes(const std::uint8_t* data, std::size_t size, const std::string& name,
                               Document& document) {
    OpenedScene opened = sceneOf(readOpenRasterBytes(data, size, name, sceneReadOptions(false)),
                                 name, document.masks(), nullptr);
    if (opened.state)
        document.load(std::move(*opened.state));
    return opened.message;
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
