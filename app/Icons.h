#pragma once

#include <QIcon>

namespace quill::app {

// The glyphs of the tool bar and of every button that shows a picture instead of a word,
// drawn at run time: the program ships no image files and needs no font to hold a
// symbol character.
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
    Restore,
    Pen,
    Save,
    Print,
    Wallpaper,
    Mail,
    Close,
};

QIcon glyphIcon(Glyph glyph);

} // namespace quill::app
