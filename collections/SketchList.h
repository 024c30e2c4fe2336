#pragma once

#include "collections/PictureList.h"

namespace quill {

class Scene;

inline constexpr const char* kSketchListEmpty = "There is no picture in the sketch-list!";
inline constexpr const char* kSketchesSaved = "Save all sketchs successful!";

// The sketch-list: finished foregrounds (a layer's picture as drawn) kept at full
// resolution, shown as 100 x 98 thumbnails, the selected one indented by 10.
class SketchList : public PictureList {
  public:
    SketchList();

    // "Add me into sketch-list": a copy of ForeWork of the given layer. Returns the new
    // index, or 0 when the layer does not exist (nothing added).
    int addLayer(const Scene& scene, int layer);

    // "Set me as foreground" / double-click: a copy of sketch i with alpha 255 becomes
    // a new foreground layer (no mask, not transparent, level 128, current and panel
    // layer). Returns the new slot, or 0 when i names no sketch.
    int useAsForeground(Scene& scene, int i) const;
};

} // namespace quill
