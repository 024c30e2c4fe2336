#pragma once

#include "scene/Scene.h"
#include "workspace/Workspace.h"

#include <QRect>

class QPainter;

namespace quill::app {

// Draws the scene picture where it lies under `exposed` (canvas coordinates, the scene
// image at scene.imgbg): only the scene pixels under that area, shown at the zoom by
// the painter's scale, never resampled into a new picture. Rows known to be opaque are
// shown without their alpha, which Qt copies straight to the screen.
void paintScenePicture(QPainter& painter, const Scene& scene, const QRect& exposed);

// The canvas's paint of the scene under `exposed`. Where part of it is still to be
// composed (a layer is being dragged), the scene is composed straight into the
// painter's image when the painter draws unscaled into a 32-bit raster image (the
// screen's image at 100 %), one pass instead of composing and then copying; otherwise
// the pending part is composed into the scene picture first and shown as usual.
void paintCanvasScene(QPainter& painter, Workspace& workspace, const QRect& exposed);

} // namespace quill::app
