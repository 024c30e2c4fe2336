#pragma once

#include "scene/Scene.h"

#include <QRect>

namespace quill::app {

// A rectangle of the scene's model (canvas or scene pixels) as Qt's rectangle.
inline QRect toQRect(const Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

} // namespace quill::app
