#pragma once

#include <QIcon>

namespace quill::app {

// The tool bar's glyphs, drawn at run time so the program ships no image files.
enum class Glyph {
    OpenForeground,
    Publish,
    ForegroundSize,
    BackgroundSize,
    Rotate,
    ZoomOut,
    ZoomIn,
    LayerShow,
    AlbumShow,
    Remove,
};

QIcon glyphIcon(Glyph glyph);

} // namespace quill::app
