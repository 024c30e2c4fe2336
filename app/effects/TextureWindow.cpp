#include "app/effects/TextureWindow.h"

namespace quill::app::effects {

TTexture::TTexture() {
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

ClickLabel* TTexture::tile(int k) const {
    return k >= 1 && k <= kTextureTileCount ? m_tiles[k - 1] : nullptr;
}

QPoint TTexture::tilePlace(int k) {
    static const int lefts[4] = {8, 80, 152, 216};
    static const int tops[3] = {8, 80, 152};
    if (k <= 4)
        return QPoint(lefts[4 - k], tops[0]);
    return QPoint(lefts[(k - 5) % 4], tops[(k - 1) / 4]);
}

} // namespace quill::app::effects
