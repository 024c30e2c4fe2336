#pragma once

#include "imaging/Bitmap32.h"
#include "workspace/DocumentState.h"
#include "workspace/EffectCatalogue.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class Document;
class MaskLibrary;

// A mask for a layer: one of the program's library masks (1..36; 0 = none) or a file.
struct MaskChoice {
    int number = 0;
    std::string file;
};

// An effect with its settings. A texture's tile picture is named by its file
// (settings.pictureName) until the scene is built.
struct EffectChoice {
    const EffectDescription* effect = nullptr;
    EffectSettings settings;
};

struct SceneLayerSpec {
    std::string file;
    int x = 0, y = 0;
    std::optional<std::int32_t> rotate;
    std::optional<EffectChoice> effect;
    MaskChoice mask;
    bool transparent = false;
    int transparence = 128;
    bool visible = true;
};

// A scene as a scene file describes it; paths are already made absolute.
struct SceneSpec {
    std::string backgroundFile; // empty: a white background of the size below
    int backgroundWidth = 600, backgroundHeight = 450;
    std::optional<EffectChoice> backgroundEffect;
    std::vector<SceneLayerSpec> layers;
    std::string frameFile;
};

// Nesting deeper than this is refused before it is looked at.
inline constexpr int kSceneFileMaxDepth = 16;

struct SceneFileResult {
    std::optional<SceneSpec> scene;
    std::string error; // names the file or the key that is wrong
};

// Reads a scene file (JSON). Unknown keys, values of the wrong type or out of range,
// and nesting past kSceneFileMaxDepth are refused with a message naming the key.
// Relative paths are taken from sceneFolder.
SceneFileResult parseSceneText(std::string_view text, const std::string& sceneFolder,
                               const std::string& sceneName);
SceneFileResult readSceneDescription(const std::string& path);

// Builds the scene in a document through the commands the window uses: the background
// and its effect; each layer opened (keeping a picture's own shape, as the window does),
// placed, rotated, given its effect from the turned untouched picture, masked, made
// transparent and deleted when not visible; then the frame. Brume layers draw from the
// document's generator. Returns "" or the message naming a file that cannot be read;
// throws std::length_error when the scene cannot be held.
std::string buildScene(const SceneSpec& spec, Document& document);

// Reads the tile picture a texture choice names (settings.pictureName) into its settings;
// an error text (naming the tile file) when it cannot be read or used, else empty.
std::string loadEffectPicture(EffectChoice& choice);

// The picture a layer starts from: the file read, alpha 255 unless keepAlpha.
// Empty picture and a message (the reader's own line, then the " is not a valid
// format" line) when it cannot be read.
struct InputPicture {
    TBitmap32 picture;
    std::string message;
};
InputPicture readInputPicture(const std::string& path, bool keepAlpha);

// ---- the description a scene file keeps ---------------------------------------------

// The version of the description this program writes; a newer one is refused.
inline constexpr int kSceneDescriptionVersion = 1;

// The names a scene file gives the pictures of a document state, by picture (identity).
using PictureNames = std::map<const void*, std::string>;

// The description of a whole document as a scene file keeps it: the scene description
// compose reads ("background", "background_effect", "layers" with their "file", place,
// effect, mask and transparency, "frame"), the files being the file's own entries,
// extended with everything that takes the work up again exactly: the pictures as they
// are drawn, the handles, the selection, the lists, the window's states.
std::string describeDocument(const DocumentState& state, const PictureNames& names);

// Reads such a description back. picture(name) gives the picture of an entry (nullopt
// when the file has none of that name). A description that is damaged, of a later
// version, or that disagrees with its pictures gives one message naming the file.
struct ResumedDocument {
    std::optional<DocumentState> state;
    std::string error;
};
ResumedDocument readDocumentDescription(
    std::string_view text, const std::string& fileName,
    const std::function<std::optional<SharedPicture>(const std::string&)>& picture);

} // namespace quill
