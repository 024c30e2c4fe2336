#pragma once

#include "effects/Registry.h"
#include "imaging/Bitmap32.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class MaskLibrary;

// A mask for a layer: one of the program's library masks (1..36; 0 = none) or a file.
struct MaskChoice {
    int number = 0;
    std::string file;
};

struct EffectChoice {
    const EffectEntry* effect = nullptr;
    EffectSettings settings;
};

// A background effect: one of the passes by name, or "texture" with a tile.
struct BackgroundEffectChoice {
    std::string name;
    int tileNumber = 0;   // 1..12: the program's own tile
    std::string tileFile; // or a tile picture
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
    std::optional<BackgroundEffectChoice> backgroundEffect;
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
SceneFileResult readSceneFile(const std::string& path);

struct ComposeResult {
    TBitmap32 picture;
    int exitCode = 0;    // 0 done, 2 an input that cannot be read
    std::string message; // set when exitCode is not 0
};

// Composes the scene as the program would: background (and its effect), each layer
// added, rotated, given its effect from the turned untouched picture, masked and made
// transparent, then the frame. Brume layers draw from one generator that starts at 0.
ComposeResult composeScene(const SceneSpec& spec, const MaskLibrary& masks);

// Applies a background effect to the background as opened; an error text (naming the
// tile file) when a tile cannot be used, else empty.
std::string applyBackgroundEffect(const BackgroundEffectChoice& choice, const TBitmap32& original,
                                  TBitmap32& work);

// The picture a layer starts from: the file read, alpha 255 unless keepAlpha.
// Empty picture and a message (the reader's own line, then the " is not a valid
// format" line) when it cannot be read.
struct InputPicture {
    TBitmap32 picture;
    std::string message;
};
InputPicture readInputPicture(const std::string& path, bool keepAlpha);

} // namespace quill
