#pragma once

#include "collections/PictureList.h"

namespace quill {

inline constexpr const char* kSketchListEmpty = "There is no picture in the sketch-list!";
inline constexpr const char* kSketchesSaved = "Save all sketchs successful!";

// The sketch-list: finished foregrounds (a layer's picture as drawn) kept at full
// resolution, shown as 100 x 98 thumbnails, the selected one indented by 10.
class SketchList : public PictureList {
  public:
    SketchList();
};

} // namespace quill
