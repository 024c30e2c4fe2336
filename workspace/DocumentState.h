#pragma once

#include "collections/AlbumList.h"
#include "collections/SketchList.h"
#include "scene/Scene.h"
#include "workspace/EffectCatalogue.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quill {

inline constexpr const char* kStartingStatus = "New picture";

// Every enabled state the commands switch. Items not listed are always enabled.
struct EnabledStates {
    // Edit menu
    bool editForegroundSize = false;
    bool editBackgroundSize = false;
    // Tools menu
    bool toolsAddSelectedForegroundIntoSketchList = false;
    // Canvas menu
    bool canvasAddMeIntoSketchList = true;
    bool canvasForegroundSize = true;
    bool canvasBackgroundSize = false;
    bool canvasDeleteMe = true; // "Delete me" and the Delete key
    // Layer menu: "Delete"
    bool layerMenuDelete = false;
    // Tool bar
    bool toolForegroundSize = false;
    bool toolBackgroundSize = false;
    bool transparentCheck = false;   // "Transparent"
    bool transparenceSlider = false; // "Set transparence"
    bool angleEdit = false;          // rotation angle edit
    bool rotateForeground = false;   // "Rotate the foreground"
    // Layer panel
    bool upTheLayer = false;
    bool downTheLayer = false;
    // Photo effects panel
    bool removeMask = false;
    bool operator==(const EnabledStates&) const = default;
};

// The tool bar's transparency controls.
struct TransparencyControls {
    bool checked = false;            // "Transparent"
    int sliderPosition = 127;        // 0..255
    std::string percentLabel = "50"; // Round(position / 255 * 100)
    bool operator==(const TransparencyControls&) const = default;
};

// The effect a layer or the background shows, as it was chosen.
struct AppliedEffect {
    const EffectDescription* effect = nullptr;
    EffectSettings settings;
    bool operator==(const AppliedEffect&) const = default;
};

// Everything a step of the history may change, apart from the scene's composed picture.
// Pictures are shared between states, never copied; two states are equal when every value
// is and the same pictures are held.
struct DocumentState {
    SceneContent scene;
    // Per slot (indices as the scene's layers, [0] unused): the effect the layer shows.
    std::vector<std::optional<AppliedEffect>> layerEffects =
        std::vector<std::optional<AppliedEffect>>(1);
    std::optional<AppliedEffect> backgroundEffect;
    SharedPicture frameSource;             // the frame picture chosen, before it was fitted
    std::map<int, SharedPicture> ownMasks; // the layers' own mask pictures (numbers past 36)
    SketchList sketches;
    AlbumList albums;
    EnabledStates enabled;
    TransparencyControls transparency;
    std::string status = kStartingStatus;
    int selectedEntry = 0; // the layer panel entry shown selected (0: none)
    // The selected radio buttons of the effect pages (nullptr: none yet).
    const EffectDescription* foregroundChoice = nullptr;
    const EffectDescription* backgroundChoice = nullptr;

    bool operator==(const DocumentState&) const = default;

    // Calls visit(picture) for every picture the state holds (some more than once).
    template <class Visit> void forEachPicture(Visit&& visit) const {
        for (const LayerSlot& slot : scene.layers) {
            visit(slot.ForeOriginal);
            visit(slot.ForeWork);
            visit(slot.thumbnail);
        }
        visit(scene.BackOriginal);
        visit(scene.BackWork);
        if (scene.FramePicture)
            visit(*scene.FramePicture);
        visit(frameSource);
        for (const auto& [number, mask] : ownMasks)
            visit(mask);
        for (int i = 1; i <= sketches.count(); ++i) {
            visit(sketches.sharedPicture(i));
            visit(sketches.sharedShape(i));
        }
        for (int i = 1; i <= albums.count(); ++i)
            visit(albums.sharedPicture(i));
        if (backgroundEffect)
            visit(backgroundEffect->settings.picture);
    }
};

} // namespace quill
