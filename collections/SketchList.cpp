#include "collections/SketchList.h"

namespace quill {

namespace {
const PictureListStyle kSketchStyle{100,
                                    98,
                                    10,
                                    "sketch",
                                    kSketchListEmpty,
                                    kSketchesSaved,
                                    "Select a directory to save all sketchs as..."};
} // namespace

SketchList::SketchList() : PictureList(kSketchStyle) {}

} // namespace quill
