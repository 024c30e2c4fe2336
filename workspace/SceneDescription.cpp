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

// The JSON text, its nesting bounded before it is looked at; an error names the file.
std::optional<json> parseBounded(std::string_view text, const std::string& sceneName,
                                 std::string& error) {
    try {
        json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
            if (depth > kSceneFileMaxDepth)
                throw TooDeep{};
            return true;
        };
        return json::parse(text.begin(), text.end(), limitDepth);
    } catch (const TooDeep&) {
        error =
            sceneName + ": nested deeper than " + std::to_string(kSceneFileMaxDepth) + " levels";
    } catch (const json::exception& e) {
        error = sceneName + ": not a scene file (" + std::string(e.what()) + ")";
    }
    return std::nullopt;
}

} // namespace

SceneFileResult parseSceneText(std::string_view text, const std::string& sceneFolder,
                               const std::string& sceneName) {
    SceneFileResult result;
    std::optional<json> parsed = parseBounded(text, sceneName, result.error);
    if (!parsed)
        return result;
    const json& doc = *parsed;

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

SceneFileResult readSceneDescription(const std::string& path) {
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

std::string buildScene(const SceneSpec& spec, Document& document) {
    auto refuse = [&](std::string message) { return message; };
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
    return {};
}

// ---- the description a scene file keeps -----------------------------------------------------

namespace {

// The enabled states a scene file keeps, by their keys.
const std::pair<const char*, bool EnabledStates::*> kEnabledKeys[] = {
    {"edit_foreground_size", &EnabledStates::editForegroundSize},
    {"edit_background_size", &EnabledStates::editBackgroundSize},
    {"tools_add_sketch", &EnabledStates::toolsAddSelectedForegroundIntoSketchList},
    {"canvas_add_sketch", &EnabledStates::canvasAddMeIntoSketchList},
    {"canvas_foreground_size", &EnabledStates::canvasForegroundSize},
    {"canvas_background_size", &EnabledStates::canvasBackgroundSize},
    {"canvas_delete", &EnabledStates::canvasDeleteMe},
    {"tool_foreground_size", &EnabledStates::toolForegroundSize},
    {"tool_background_size", &EnabledStates::toolBackgroundSize},
    {"transparent_check", &EnabledStates::transparentCheck},
    {"transparence_slider", &EnabledStates::transparenceSlider},
    {"angle_edit", &EnabledStates::angleEdit},
    {"rotate", &EnabledStates::rotateForeground},
    {"up_the_layer", &EnabledStates::upTheLayer},
    {"down_the_layer", &EnabledStates::downTheLayer},
    {"remove_mask", &EnabledStates::removeMask},
};

json describeEffect(const AppliedEffect& applied, const PictureNames& names) {
    json e = json::object();
    e["name"] = applied.effect->name;
    for (const auto& [name, value] : applied.settings.integers)
        e[applied.effect->parameter(name)->descriptionKey()] = value;
    for (const std::string& name : applied.settings.flags)
        e[name] = true;
    if (applied.settings.kernel)
        e["kernel"] = *applied.settings.kernel;
    if (!applied.settings.picture->empty())
        e["tile"] = names.at(applied.settings.picture.identity());
    return e;
}

json rectJson(const Rect& r) {
    return json::array({r.left, r.top, r.width, r.height});
}

json listJson(const PictureList& list, const PictureNames& names) {
    json l = json::object();
    json pictures = json::array();
    for (int i = 1; i <= list.count(); ++i)
        pictures.push_back(list.picture(i).empty()
                               ? json(nullptr)
                               : json(names.at(list.sharedPicture(i).identity())));
    l["pictures"] = pictures;
    json shapes = json::array();
    for (int i = 1; i <= list.count(); ++i)
        if (const SharedPicture& shape = list.sharedShape(i); !shape->empty())
            shapes.push_back({{"picture", i}, {"shape", names.at(shape.identity())}});
    if (!shapes.empty())
        l["shapes"] = shapes;
    l["selected"] = list.selected();
    l["indented"] = list.indented();
    return l;
}

} // namespace

std::string describeDocument(const DocumentState& state, const PictureNames& names) {
    const SceneContent& scene = state.scene;
    // An empty picture (a layer resized to nothing, a thumbnail of it) is written as null.
    const auto name = [&](const SharedPicture& p) {
        return p->empty() ? json(nullptr) : json(names.at(p.identity()));
    };
    json d = json::object();
    d["quillmark_scene"] = kSceneDescriptionVersion;
    d["background"] = name(scene.BackOriginal);
    d["background_work"] = name(scene.BackWork);
    if (state.backgroundEffect)
        d["background_effect"] = describeEffect(*state.backgroundEffect, names);
    json layers = json::array();
    for (std::size_t i = 1; i < scene.layers.size(); ++i) {
        const LayerSlot& l = scene.layers[i];
        json layer = json::object();
        layer["file"] = name(l.ForeOriginal);
        layer["work"] = name(l.ForeWork);
        layer["thumbnail"] = name(l.thumbnail);
        layer["handle"] = rectJson(l.handle);
        layer["carrier"] = json::array({l.carrierWidth, l.carrierHeight});
        layer["visible"] = l.visible;
        layer["marked"] = l.marked;
        layer["mask"] = l.LayerMask;
        layer["transparent"] = l.LayerTransparent;
        layer["transparence"] = l.LayerTransparence;
        if (l.ownShape)
            layer["own_shape"] = true;
        if (i < state.layerEffects.size() && state.layerEffects[i])
            layer["effect"] = describeEffect(*state.layerEffects[i], names);
        layers.push_back(layer);
    }
    d["layers"] = layers;
    if (!state.frameSource->empty())
        d["frame"] = name(state.frameSource);
    if (!scene.FramePicture)
        d["frame_removed"] = true;
    else if (!(*scene.FramePicture)->empty())
        d["frame_overlay"] = name(*scene.FramePicture);
    json masks = json::object();
    for (const auto& [number, mask] : state.ownMasks)
        masks[std::to_string(number)] = name(mask);
    d["masks"] = masks;
    d["sketches"] = listJson(state.sketches, names);
    d["albums"] = listJson(state.albums, names);
    d["selection"] = {{"current", scene.CurrentLayer},
                      {"panel", scene.PanelLayer},
                      {"pointed", scene.PointedLayer},
                      {"entry", state.selectedEntry}};
    d["zoom"] = scene.ViewZoom;
    json enabled = json::object();
    for (const auto& [key, member] : kEnabledKeys)
        enabled[key] = state.enabled.*member;
    d["enabled"] = enabled;
    d["transparency"] = {{"checked", state.transparency.checked},
                         {"slider", state.transparency.sliderPosition}};
    d["status"] = state.status;
    if (state.foregroundChoice)
        d["foreground_choice"] = state.foregroundChoice->name;
    if (state.backgroundChoice)
        d["background_choice"] = state.backgroundChoice->name;
    return d.dump(1);
}

namespace {

// Reads one document description; throws SceneError naming the file and the key.
class DocumentReader {
  public:
    DocumentReader(const std::string& fileName,
                   const std::function<std::optional<SharedPicture>(const std::string&)>& picture)
        : m_r(fileName), m_name(fileName), m_picture(picture) {}

    DocumentState read(const json& d) {
        if (!d.is_object())
            throw SceneError{m_name + ": a scene file holds one object"};
        if (!d.contains("quillmark_scene"))
            m_r.fail("quillmark_scene", "is missing");
        const std::int64_t version =
            m_r.integer(d.at("quillmark_scene"), "quillmark_scene", 1, 1000000);
        if (version > kSceneDescriptionVersion)
            throw SceneError{m_name +
                             ": written by a later version of the program (scene version " +
                             std::to_string(version) + ")"};
        DocumentState s;
        SceneContent& scene = s.scene;
        scene.BackgroundSet = true;
        scene.BackOriginal = picture(d, "background");
        scene.BackWork = picture(d, "background_work");
        if (sizeOf(*scene.BackOriginal) != sizeOf(*scene.BackWork) || scene.BackWork->empty())
            disagree("the background's pictures");
        if (d.contains("background_effect"))
            s.backgroundEffect =
                effect(d.at("background_effect"), "background_effect", EffectTarget::Background);
        scene.ViewZoom = double(number(d, "zoom"));
        if (!(scene.ViewZoom >= kMinViewZoom && scene.ViewZoom <= kMaxViewZoom))
            m_r.fail("zoom", "is out of range");
        scene.imgbg = {0, 0, displayedSize(scene.BackWork->width(), scene.ViewZoom),
                       displayedSize(scene.BackWork->height(), scene.ViewZoom)};

        const json& layers = array(d, "layers", kMaxLayerSlots);
        for (std::size_t i = 0; i < layers.size(); ++i)
            readLayer(layers[i], "layers[" + std::to_string(i) + "]", s);

        for (const auto& [key, value] : member(d, "masks").items()) {
            const std::int64_t n = m_r.integer(json(std::stoll(digits(key, "masks"))), "masks",
                                               kMaskCount + 1, 1 << 30);
            s.ownMasks[int(n)] = pictureNamed(value, "masks." + key);
        }
        for (std::size_t i = 1; i < scene.layers.size(); ++i) {
            const int mask = scene.layers[i].LayerMask;
            if (mask > kMaskCount && !s.ownMasks.count(mask))
                disagree("the mask of layer " + std::to_string(i));
        }
        if (d.contains("frame"))
            s.frameSource = picture(d, "frame");
        if (d.contains("frame_removed") && m_r.boolean(d.at("frame_removed"), "frame_removed"))
            scene.FramePicture.reset();
        else if (d.contains("frame_overlay"))
            scene.FramePicture = picture(d, "frame_overlay");
        readList(member(d, "sketches"), "sketches", s.sketches);
        readList(member(d, "albums"), "albums", s.albums);

        const json& sel = member(d, "selection");
        const int slots = int(scene.layers.size()) - 1;
        scene.CurrentLayer = int(m_r.integer(field(sel, "current"), "selection.current", 0, slots));
        scene.PanelLayer = int(m_r.integer(field(sel, "panel"), "selection.panel", 0, slots));
        scene.PointedLayer = int(m_r.integer(field(sel, "pointed"), "selection.pointed", 0, slots));
        s.selectedEntry = int(m_r.integer(field(sel, "entry"), "selection.entry", 0, slots));

        const json& enabled = member(d, "enabled");
        for (const auto& [key, m] : kEnabledKeys)
            if (enabled.contains(key))
                s.enabled.*m = m_r.boolean(enabled.at(key), std::string("enabled.") + key);
        const json& t = member(d, "transparency");
        s.transparency.checked = m_r.boolean(field(t, "checked"), "transparency.checked");
        s.transparency.sliderPosition =
            int(m_r.integer(field(t, "slider"), "transparency.slider", 0, 255));
        s.transparency.percentLabel = percentLabelText(s.transparency.sliderPosition);
        if (d.contains("status") && d.at("status").is_string())
            s.status = d.at("status").get<std::string>();
        s.foregroundChoice = choice(d, "foreground_choice", EffectTarget::Foreground);
        s.backgroundChoice = choice(d, "background_choice", EffectTarget::Background);
        return s;
    }

  private:
    static constexpr std::size_t kMaxLayerSlots = 100000;

    static std::pair<int, int> sizeOf(const TBitmap32& p) { return {p.width(), p.height()}; }

    [[noreturn]] void disagree(const std::string& what) const {
        throw SceneError{m_name + ": the scene description does not agree with " + what};
    }

    const json& field(const json& object, const char* key) const {
        if (!object.contains(key))
            m_r.fail(key, "is missing");
        return object.at(key);
    }
    const json& member(const json& object, const char* key) const {
        return m_r.object(field(object, key), key);
    }
    const json& array(const json& object, const char* key, std::size_t most) const {
        const json& a = field(object, key);
        if (!a.is_array() || a.size() > most)
            m_r.fail(key, "must be an array");
        return a;
    }
    double number(const json& object, const char* key) const {
        const json& v = field(object, key);
        if (!v.is_number())
            m_r.fail(key, "must be a number");
        return v.get<double>();
    }
    std::string digits(const std::string& text, const char* key) const {
        if (text.empty() || text.size() > 9 ||
            text.find_first_not_of("0123456789") != std::string::npos)
            m_r.fail(key, "must be numbered");
        return text;
    }

    SharedPicture pictureNamed(const json& v, const std::string& key) const {
        if (v.is_null())
            return SharedPicture(); // an empty picture
        const std::string entry = m_r.string(v, key);
        std::optional<SharedPicture> p = m_picture(entry);
        if (!p)
            throw SceneError{m_name + ": the scene description names a missing picture " + entry};
        return *p;
    }
    SharedPicture picture(const json& object, const char* key) const {
        return pictureNamed(field(object, key), key);
    }

    std::optional<AppliedEffect> effect(const json& v, const std::string& key,
                                        EffectTarget target) const {
        EffectChoice c;
        if (target == EffectTarget::Foreground) {
            c = readEffect(m_r, v, key);
        } else {
            json copy = v;
            SharedPicture tile;
            if (copy.is_object() && copy.contains("tile")) {
                tile = pictureNamed(copy.at("tile"), key + ".tile");
                copy["tile"] = "tile";
            }
            c = readBackgroundEffect(m_r, copy, "");
            c.settings.pictureName.clear();
            c.settings.picture = tile;
            if (!tile->empty() && !validateEffectSettings(*c.effect, c.settings).empty())
                disagree(key);
        }
        return AppliedEffect{c.effect, c.settings};
    }

    const EffectDescription* choice(const json& d, const char* key, EffectTarget target) const {
        if (!d.contains(key))
            return nullptr;
        const EffectDescription* e = findEffect(m_r.string(d.at(key), key), target);
        if (!e)
            m_r.fail(key, "names no effect");
        return e;
    }

    void readLayer(const json& v, const std::string& key, DocumentState& s) const {
        m_r.object(v, key);
        LayerSlot l;
        l.ForeOriginal = pictureNamed(field(v, "file"), key + ".file");
        l.ForeWork = pictureNamed(field(v, "work"), key + ".work");
        l.thumbnail = pictureNamed(field(v, "thumbnail"), key + ".thumbnail");
        const json& h = field(v, "handle");
        const json& c = field(v, "carrier");
        if (!h.is_array() || h.size() != 4 || !c.is_array() || c.size() != 2)
            m_r.fail(key + ".handle", "must give a place and a size");
        constexpr std::int64_t kPlace = 1 << 30;
        l.handle = {int(m_r.integer(h[0], key + ".handle", -kPlace, kPlace)),
                    int(m_r.integer(h[1], key + ".handle", -kPlace, kPlace)),
                    int(m_r.integer(h[2], key + ".handle", 0, kPlace)),
                    int(m_r.integer(h[3], key + ".handle", 0, kPlace))};
        l.carrierWidth = int(m_r.integer(c[0], key + ".carrier", 0, kMaxPictureSide));
        l.carrierHeight = int(m_r.integer(c[1], key + ".carrier", 0, kMaxPictureSide));
        l.visible = m_r.boolean(field(v, "visible"), key + ".visible");
        l.marked = m_r.boolean(field(v, "marked"), key + ".marked");
        l.LayerMask = int(m_r.integer(field(v, "mask"), key + ".mask", 0, 1 << 30));
        l.LayerTransparent = m_r.boolean(field(v, "transparent"), key + ".transparent");
        l.LayerTransparence =
            int(m_r.integer(field(v, "transparence"), key + ".transparence", 0, 255));
        if (v.contains("own_shape"))
            l.ownShape = m_r.boolean(v.at("own_shape"), key + ".own_shape");
        // The rules every layer keeps (see the document's commands): both pictures one size,
        // the carrier the picture's size, the handle the carrier shown at the zoom.
        const TBitmap32& work = *l.ForeWork;
        const bool carrierFits =
            work.empty() ? (l.carrierWidth == 0 || l.carrierHeight == 0)
                         : (l.carrierWidth == work.width() && l.carrierHeight == work.height());
        if (sizeOf(work) != sizeOf(*l.ForeOriginal) || !carrierFits ||
            l.handle.width != displayedSize(l.carrierWidth, s.scene.ViewZoom) ||
            l.handle.height != displayedSize(l.carrierHeight, s.scene.ViewZoom))
            disagree("the pictures of " + key);
        s.scene.layers.push_back(std::move(l));
        s.layerEffects.push_back(std::nullopt);
        if (v.contains("effect"))
            s.layerEffects.back() =
                effect(v.at("effect"), key + ".effect", EffectTarget::Foreground);
    }

    void readList(const json& v, const char* key, PictureList& list) const {
        const json& pictures = array(v, "pictures", 100000);
        std::vector<SharedPicture> shapes(pictures.size());
        if (v.contains("shapes")) {
            const std::string shapesKey = std::string(key) + ".shapes";
            for (const json& s : array(v, "shapes", 100000)) {
                m_r.object(s, shapesKey);
                const std::size_t i = std::size_t(
                    m_r.integer(field(s, "picture"), shapesKey, 1, std::int64_t(pictures.size())));
                shapes[i - 1] = pictureNamed(field(s, "shape"), shapesKey);
            }
        }
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const SharedPicture picture = pictureNamed(pictures[i], std::string(key) + ".pictures");
            if (!shapes[i]->empty() && sizeOf(*shapes[i]) != sizeOf(*picture))
                disagree(std::string("the shapes of ") + key);
            list.add(picture, shapes[i]);
        }
        const int n = list.count();
        // A selection keeps its value when its picture is deleted: one past the end.
        list.restoreSelection(int(m_r.integer(field(v, "selected"), key, 0, n + 1)),
                              int(m_r.integer(field(v, "indented"), key, 0, n)));
    }

    Reader m_r;
    std::string m_name;
    const std::function<std::optional<SharedPicture>(const std::string&)>& m_picture;
};

} // namespace

ResumedDocument readDocumentDescription(
    std::string_view text, const std::string& fileName,
    const std::function<std::optional<SharedPicture>(const std::string&)>& picture) {
    ResumedDocument result;
    std::optional<json> d = parseBounded(text, fileName, result.error);
    if (!d)
        return result;
    try {
        result.state = DocumentReader(fileName, picture).read(*d);
    } catch (const SceneError& e) {
        result.error = e.message;
    } catch (const std::exception&) {
        result.error = fileName + ": the scene description cannot be read";
    }
    return result;
}

} // namespace quill
