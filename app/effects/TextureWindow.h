#pragma once

// The texture window: twelve tiles; a click lays the tile's relief over the background.

#include "app/effects/EffectsSupport.h"
#include "decor/Texture.h"

#include <QDialog>
#include <QPoint>

#include <functional>

namespace quill::app::effects {

class TTexture : public QDialog {
    Q_OBJECT
  public:
    TTexture();

    // A click on tile k (1..12).
    std::function<void(int)> onTile;
    // Tile k (1..12), or nullptr.
    ClickLabel* tile(int k) const;

    // Where tile k stands: the first row holds 4, 3, 2, 1 from the left, the second 5..8,
    // the third 9..12.
    static QPoint tilePlace(int k);

  private:
    ClickLabel* m_tiles[kTextureTileCount] = {};
};

} // namespace quill::app::effects
