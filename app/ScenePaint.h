#pragma once

#include "scene/Scene.h"

#include <QRect>

class QPainter;

namespace quill::app {

// Draws the scene picture where it lies under `exposed` (canvas coordinates, the scene
// image at scene.imgbg): only the scene pixels under that area, shown at the zoom by
// the painter's scale, never resampled into a new picture. Rows known to be opaque are
// shown without their alpha, which Qt copies straight to the screen.
void paintScenePicture(QPainter& painter, const Scene& scene, const QRect& exposed);

} // namespace quill::app
