#pragma once

// The texture window: twelve tiles; a click lays the tile's relief over the background.

#include "app/effects/EffectsSupport.h"
#include "decor/Texture.h"

#include <QDialog>

#include <functional>

namespace quill::app::effects {

class TTexture : public QDialog {
  public:
    TTexture() {
        setObjectName(QStringLiteral("TTexture"));
        setWindowTitle(QStringLiteral("Texture for background"));
        setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                       Qt::WindowStaysOnTopHint);
        setFixedSize(295, 254);
        setAutoFillBackground(true);
        QPalette cream = palette();
        cream.setColor(QPalette::Window, QColor(255, 251, 240));
        setPalette(cream);
        for (int k = 1; k <= kTextureTileCount; ++k) {
            auto* tile = new ClickLabel(this);
            tile->setObjectName(QStringLiteral("texture%1").arg(k));
            const QPoint at = tilePlace(k);
            tile->setGeometry(at.x(), at.y(), kTileSize, kTileSize);
            tile->setCursor(Qt::PointingHandCursor);
            tile->setToolTip(QString::fromStdString(textureTileName(k)));
            tile->setPixmap(
                QPixmap::fromImage(previewImage(textureTile(k), QSize(kTileSize, kTileSize))));
            tile->onClick = [this, k] {
                if (onTile)
                    onTile(k);
            };
            m_tiles[k - 1] = tile;
        }
    }

    // A click on tile k (1..12).
    std::function<void(int)> onTile;
    ClickLabel* tile(int k) const {
        return k >= 1 && k <= kTextureTileCount ? m_tiles[k - 1] : nullptr;
    }

    // Where tile k stands: the first row holds 4, 3, 2, 1 from the left, the second 5..8,
    // the third 9..12.
    static QPoint tilePlace(int k) {
        static const int lefts[4] = {8, 80, 152, 216};
        static const int tops[3] = {8, 80, 152};
        if (k <= 4)
            return QPoint(lefts[4 - k], tops[0]);
        return QPoint(lefts[(k - 5) % 4], tops[(k - 1) / 4]);
    }

  private:
    ClickLabel* m_tiles[kTextureTileCount] = {};
};

} // namespace quill::app::effects
