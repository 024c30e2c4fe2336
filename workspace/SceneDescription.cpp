#include "workspace/SceneDescription.h"

#include "decor/MaskLibrary.h"
#include "decor/Texture.h"
#include "imaging/PictureFile.h"
#include "workspace/Document.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace quill {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// Thrown while reading a scene file; carries the message for the user.
struct SceneError {
    std::string message;
};

struct TooDeep {};

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    return ec ? path : p.lexically_normal().string();
}

std::string resolve(const std::string& file, const std::string& folder) {
    fs::path p(file);
    if (p.is_relative())
        p = fs::path(folder) / p;
    return absolutePath(p.string());
}

class Reader {
  public:
    explicit Reader(std::string sceneName) : m_name(std::move(sceneName)) {}

    [[noreturn]] void fail(const std::string& key, const std::string& what) const {
        throw SceneError{m_name + ": \"" + key + "\" " + what};
    }

    void onlyKeys(const json& object, const std::string& where,
                  std::initializer_list<const char*> allowed) const {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool known = false;
            for (const char* k : allowed)
                known = known || it.key() == k;
            if (!known)
                fail(where.empty() ? it.key() : where + "." + it.key(),
                     "is not a key of a scene file");
        }
    }

    std::int64_t integer(const json& v, const std::string& key, std::int64_t lo,
                         std::int64_t hi) const {
        if (!v.is_number_integer())
            fail(key, "must be a whole number");
        std::int64_t n = 0;
        if (v.is_number_unsigned()) {
            auto u = v.get<std::uint64_t>();
            if (u > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
                fail(key, "is out of range");
            n = std::int64_t(u);
        } else {
            n = v.get<std::int64_t>();
        }
        if (n < lo || n > hi)
            fail(key, "must be between " + std::to_string(lo) + " and " + std::to_string(hi));
        return n;
    }

    bool boolean(const json& v, const std::string& key) const {
        if (!v.is_boolean())
            fail(key, "must be true or false");
        return v.get<bool>();
    }

    std::string string(const json& v, const std::string& key) const {
        if (!v.is_string() || v.get<std::string>().empty())
            fail(key, "must be a file name");
        return v.get<std::string>();
    }

    const json& object(const json& v, const std::string& key) const {
        if (!v.is_object())
            fail(key, "must be an object");
        return v;
    }

  private:
    std::string m_name;
};

EffectChoice readEffect(const Reader& r, const json& v, const std::string& key) {
    r.object(v, key);
    if (!v.contains("name"))
        r.fail(key + ".name", "is missing");
    std::string name = v.at("name").is_string() ? v.at("name").get<std::string>() : "";
    EffectChoice choice;
    choice.effect = findEffect(name, EffectTarget::Foreground);
    if (!choice.effect)
        r.fail(key + ".name", "names no effect");
    for (auto it = v.begin(); it != v.end(); ++it) {
        if (it.key() == "name")
            continue;
        const std::string optionKey = key + "." + it.key();
        const EffectParameter* parameter = nullptr;
        for (const EffectParameter& p : choice.effect->parameters)
            if (p.descriptionKey() == it.key())
                parameter = &p;
        if (!parameter)
            r.fail(optionKey, "is not an option of " + name);
        switch (parameter->kind) {
        case EffectParameter::Kind::Flag:
            if (r.boolean(it.value(), optionKey))
                choice.settings.flags.insert(parameter->name);
            break;
        case EffectParameter::Kind::Integer:
            choice.settings.integers[parameter->name] =
                r.integer(it.value(), optionKey, parameter->minimum, parameter->maximum);
            break;
        case EffectParameter::Kind::Kernel: {
            if (!it.value().is_array() || it.value().size() != 9)
                r.fail(optionKey, "must be an array of nine whole numbers");
            Kernel3x3 kernel{};
            for (std::size_t k = 0; k < 9; ++k)
                kernel[k] =
                    r.integer(it.value()[k], optionKey, std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max());
            choice.settings.kernel = kernel;
            break;
        }
        case EffectParameter::Kind::Picture:
            r.fail(optionKey, "is not an option of " + name);
        }
    }
    std::string problem = validateEffectSettings(*choice.effect, choice.settings);
    if (!problem.empty())
        r.fail(key, problem);
    return choice;
}

EffectChoice readBackgroundEffect(const Reader& r, const json& v, const std::string& folder) {
    const std::string key = "background_effect";
    r.object(v, key);
    r.onlyKeys(v, key, {"name", "tile_number", "tile"});
    if (!v.contains("name") || !v.at("name").is_string())
        r.fail(key + ".name", "must name a background effect");
    EffectChoice choice;
    const std::string name = v.at("name").get<std::string>();
    choice.effect = findEffect(name, EffectTarget::Background);
    if (!choice.effect)
        r.fail(key + ".name", "names no background effect");
    const bool number = v.contains("tile_number"), file = v.contains("tile");
    if (choice.effect->parameter("tile")) {
        if (number == file)
            r.fail(key, "texture needs exactly one of \"tile_number\" and \"tile\"");
        if (number)
            choice.settings.integers["tile-number"] =
                r.integer(v.at("tile_number"), key + ".tile_number", 1, kTextureTileCount);
        else
            choice.settings.pictureName = resolve(r.string(v.at("tile"), key + ".tile"), folder);
    } else if (number || file) {
        r.fail(key, "only texture takes a tile");
    }
    return choice;
}

SceneLayerSpec readLayer(const Reader& r, const json& v, std::size_t index,
                         const std::string& folder) {
    const std::string key = "layers[" + std::to_string(index) + "]";
    r.object(v, key);
    r.onlyKeys(
        v, key,
        {"file", "x", "y", "rotate", "effect", "mask", "transparent", "transparence", "visible"});
    SceneLayerSpec layer;
    if (!v.contains("file"))
        r.fail(key + ".file", "is missing");
    layer.file = resolve(r.string(v.at("file"), key + ".file"), folder);
    constexpr std::int64_t kPlace = 1'000'000'000; // far beyond any scene, far from overflow
    if (v.contains("x"))
        layer.x = int(r.integer(v.at("x"), key + ".x", -kPlace, kPlace));
    if (v.contains("y"))
        layer.y = int(r.integer(v.at("y"), key + ".y", -kPlace, kPlace));
    if (v.contains("rotate"))
        layer.rotate = std::int32_t(r.integer(v.at("rotate"), key + ".rotate",
                                              std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max()));
    if (v.contains("effect"))
        layer.effect = readEffect(r, v.at("effect"), key + ".effect");
    if (v.contains("mask")) {
        const json& m = v.at("mask");
        if (m.is_string())
            layer.mask.file = resolve(r.string(m, key + ".mask"), folder);
        else
            layer.mask.number = int(r.integer(m, key + ".mask", 0, kMaskCount));
    }
    if (v.contains("transparent"))
        layer.transparent = r.boolean(v.at("transparent"), key + ".transparent");
    if (v.contains("transparence"))
        layer.transparence = int(r.integer(v.at("transparence"), key + ".transparence", 0, 255));
    if (v.contains("visible"))
        layer.visible = r.boolean(v.at("visible"), key + ".visible");
    return layer;
}

} // namespace

SceneFileResult parseSceneText(std::string_view text, const std::string& sceneFolder,
                               const std::string& sceneName) {
    SceneFileResult result;
    json doc;
    try {
        json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
            if (depth > kSceneFileMaxDepth)
                throw TooDeep{};
            return true;
        };
        doc = json::parse(text.begin(), text.end(), limitDepth);
    } catch (const TooDeep&) {
        result.error =
            sceneName + ": nested deeper than " + std::to_string(kSceneFileMaxDepth) + " levels";
        return result;
    } catch (const json::exception& e) {
        result.error = sceneName + ": not a scene file (" + std::string(e.what()) + ")";
        return result;
    }

    try {
        Reader r(sceneName);
        if (!doc.is_object())
            throw SceneError{sceneName + ": a scene file holds one object"};
        r.onlyKeys(doc, "", {"background", "background_effect", "layers", "frame"});
        SceneSpec spec;
        if (doc.contains("background")) {
            const json& b = doc.at("background");
            if (b.is_string()) {
                spec.backgroundFile = resolve(r.string(b, "background"), sceneFolder);
            } else if (b.is_object()) {
                r.onlyKeys(b, "background", {"width", "height"});
                if (!b.contains("width") || !b.contains("height"))
                    r.fail("background", "needs \"width\" and \"height\"");
                spec.backgroundWidth =
                    int(r.integer(b.at("width"), "background.width", 1, kMaxPictureSide));
                spec.backgroundHeight =
                    int(r.integer(b.at("height"), "background.height", 1, kMaxPictureSide));
                if (!pictureSizeAllowed(spec.backgroundWidth, spec.backgroundHeight))
                    r.fail("background", "is larger than the program can hold");
            } else {
                r.fail("background", "must be a file name or {\"width\": W, \"height\": H}");
            }
        }
        if (doc.contains("background_effect"))
            spec.backgroundEffect =
                readBackgroundEffect(r, doc.at("background_effect"), sceneFolder);
        if (doc.contains("layers")) {
            const json& layers = doc.at("layers");
            if (!layers.is_array())
                r.fail("layers", "must be an array");
            for (std::size_t i = 0; i < layers.size(); ++i)
                spec.layers.push_back(readLayer(r, layers[i], i, sceneFolder));
        }
        if (doc.contains("frame"))
            spec.frameFile = resolve(r.string(doc.at("frame"), "frame"), sceneFolder);
        result.scene = std::move(spec);
    } catch (const SceneError& e) {
        result.error = e.message;
    }
    return result;
}

SceneFileResult readSceneFile(const std::string& path) {
    const std::string full = absolutePath(path);
    std::ifstream in(full, std::ios::binary);
    if (!in) {
        SceneFileResult r;
        r.error = full + ": cannot be read";
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseSceneText(text.str(), fs::path(full).parent_path().string(), full);
}

InputPicture readInputPicture(const std::string& path, bool keepAlpha) {
    InputPicture in;
    LoadResult r = LoadPictureFile(path);
    if (r.picture.empty()) {
        in.message = r.message.empty() ? "" : r.message + "\n";
        in.message += notValidFormatMessage(absolutePath(path));
        return in;
    }
    in.picture = std::move(r.picture);
    if (!keepAlpha)
        SetAlpha(in.picture, 255);
    return in;
}

std::string loadEffectPicture(EffectChoice& choice) {
    if (choice.settings.pictureName.empty() || !choice.settings.picture->empty())
        return {};
    InputPicture tile = readInputPicture(choice.settings.pictureName, false);
    if (tile.picture.empty())
        return tile.message;
    choice.settings.pictureName = absolutePath(choice.settings.pictureName);
    choice.settings.picture = SharedPicture(std::move(tile.picture));
    return validateEffectSettings(*choice.effect, choice.settings);
}

ComposeResult buildScene(const SceneSpec& spec, Document& document) {
    ComposeResult result;
    auto refuse = [&](std::string message) {
        result.exitCode = 2;
        result.message = std::move(message);
        return result;
    };
    // The picture is composed once, when the whole scene stands.
    struct Hold {
        Document& document;
        explicit Hold(Document& d) : document(d) { document.holdComposition(); }
        ~Hold() { document.releaseComposition(); }
    } hold(document);

    TBitmap32 background;
    if (!spec.backgroundFile.empty()) {
        InputPicture in = readInputPicture(spec.backgroundFile, false);
        if (in.picture.empty())
            return refuse(in.message);
        background = std::move(in.picture);
    } else {
        background.setSize(spec.backgroundWidth, spec.backgroundHeight,
                           makePixel(255, 255, 255, 255));
    }
    document.setBackgroundPicture(background);
    if (spec.backgroundEffect) {
        EffectChoice choice = *spec.backgroundEffect;
        std::string problem = loadEffectPicture(choice);
        if (!problem.empty())
            return refuse(problem);
        document.applyEffect(*choice.effect, choice.settings);
    }

    for (const SceneLayerSpec& ls : spec.layers) {
        InputPicture in = readInputPicture(ls.file, true);
        if (in.picture.empty())
            return refuse(in.message);
        const int slot = document.addForegroundLayer(in.picture, Document::ShapeOfPicture::Kept);
        document.moveLayerTo(slot, ls.x, ls.y);
        if (ls.rotate) {
            const std::string refused = document.rotateLayer(slot, *ls.rotate);
            if (!refused.empty())
                throw std::length_error(refused);
        }
        if (ls.effect)
            document.applyEffect(*ls.effect->effect, ls.effect->settings);
        if (!ls.mask.file.empty()) {
            InputPicture mask = readInputPicture(ls.mask.file, true);
            if (mask.picture.empty())
                return refuse(mask.message);
            document.chooseOwnMask(mask.picture);
        } else if (ls.mask.number != 0) {
            document.chooseMask(ls.mask.number);
        }
        document.setTransparenceSlider(ls.transparence);
        if (ls.transparent)
            document.setTransparentChecked(true);
        if (!ls.visible)
            document.deleteLayer();
    }

    if (!spec.frameFile.empty()) {
        InputPicture frame = readInputPicture(spec.frameFile, false);
        if (frame.picture.empty())
            return refuse(frame.message);
        document.chooseFrame(frame.picture);
    }
    return result;
}

ComposeResult composeScene(const SceneSpec& spec, const MaskLibrary& masks) {
    ProgramRandom random(0);
    Document document(masks, random);
    document.history().setEnabled(false);
    ComposeResult result = buildScene(spec, document);
    if (result.exitCode == 0)
        result.picture = document.scene().scenePicture();
    return result;
}

} // namespace quill
