#include "workspace/LayerPanelModel.h"

namespace quill {

namespace {
constexpr int kLayerPanelStep = 30; // entries lie 30 pixels apart
constexpr int kNewestEntryTop = 3;  // the newest entry's top
} // namespace

LayerEntry LayerPanelModel::entry(int i) const {
    const Scene& scene = m_document.scene();
    LayerEntry e;
    if (!scene.isLayer(i))
        return e;
    e.visible = scene.layer(i).visible;
    e.selected = m_document.selectedEntry() == i;
    e.thumbnail = scene.layer(i).thumbnail;
    if (e.visible) {
        // Each newer visible entry pushed this one down by a step when it was added, and
        // each deleted one gave its step back.
        e.top = kNewestEntryTop;
        for (int j = i + 1; j <= scene.LayerCount(); ++j)
            if (scene.layer(j).visible)
                e.top += kLayerPanelStep;
    }
    return e;
}

} // namespace quill
