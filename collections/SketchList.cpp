#include "collections/SketchList.h"

#include "scene/Scene.h"

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

int SketchList::addLayer(const Scene& scene, int layer) {
    if (!scene.isVisibleLayer(layer))
        return 0;
    return add(scene.layer(layer).ForeWork);
}

int SketchList::useAsForeground(Scene& scene, int i) const {
    if (i < 1 || i > count())
        return 0;
    TBitmap32 copy(picture(i));
    SetAlpha(copy, 255);
    return scene.AddForegroundLayer(copy);
}

} // namespace quill
