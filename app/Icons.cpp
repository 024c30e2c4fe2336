#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace quill::app {

namespace {

void drawGlyph(QPainter& p, Glyph glyph) {
    const QColor ink(0x22, 0x3A, 0x5E);
    const QColor paper(0xFF, 0xFF, 0xFF);
    const QColor accent(0xD9, 0x6A, 0x1C);
    p.setPen(QPen(ink, 1.5));
    switch (glyph) {
    case Glyph::OpenForeground:
        p.setBrush(QColor(0xF2, 0xC9, 0x4C));
        p.drawRect(QRectF(2.5, 7.5, 19, 13));
        p.drawRect(QRectF(2.5, 4.5, 8, 3));
        p.setBrush(paper);
        p.drawRect(QRectF(9.5, 10.5, 9, 7));
        break;
    case Glyph::Publish:
        p.setBrush(paper);
        p.drawRect(QRectF(3.5, 3.5, 14, 17));
        p.setPen(QPen(accent, 2));
        p.drawLine(QPointF(12, 12), QPointF(21, 12));
        p.drawLine(QPointF(18, 9), QPointF(21, 12));
        p.drawLine(QPointF(18, 15), QPointF(21, 12));
        break;
    case Glyph::ForegroundSize:
    case Glyph::BackgroundSize:
        p.setBrush(glyph == Glyph::ForegroundSize ? QColor(0x8C, 0xC6, 0x3F)
                                                  : QColor(0x7F, 0xB2, 0xE5));
        p.drawRect(QRectF(3.5, 6.5, 12, 12));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(13, 4), QPointF(21, 4));
        p.drawLine(QPointF(21, 4), QPointF(21, 12));
        p.drawLine(QPointF(21, 4), QPointF(14, 11));
        break;
    case Glyph::Rotate: {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(4, 4, 16, 16), 90);
        arc.arcTo(QRectF(4, 4, 16, 16), 90, 270);
        p.drawPath(arc);
        p.drawLine(QPointF(12, 4), QPointF(16, 1));
        p.drawLine(QPointF(12, 4), QPointF(16, 7));
        break;
    }
    case Glyph::ZoomOut:
    case Glyph::ZoomIn:
        p.setBrush(paper);
        p.drawEllipse(QRectF(3, 3, 13, 13));
        p.setPen(QPen(ink, 2.5));
        p.drawLine(QPointF(15, 15), QPointF(21, 21));
        p.setPen(QPen(ink, 1.8));
        p.drawLine(QPointF(6.5, 9.5), QPointF(12.5, 9.5));
        if (glyph == Glyph::ZoomIn)
            p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
        break;
    case Glyph::LayerShow:
        for (int k = 2; k >= 0; --k) {
            p.setBrush(k == 0 ? QColor(0xE5, 0x7F, 0x7F) : paper);
            p.drawRect(QRectF(3.5 + 3 * k, 3.5 + 4 * k, 12, 9));
        }
        break;
    case Glyph::AlbumShow:
        p.setBrush(QColor(0xB0, 0x8F, 0x5A));
        p.drawRect(QRectF(3.5, 3.5, 17, 17));
        p.setBrush(paper);
        p.drawRect(QRectF(7.5, 7.5, 9, 7));
        break;
    case Glyph::Remove:
    case Glyph::Close:
        p.setPen(QPen(glyph == Glyph::Remove ? QColor(0xC0, 0x20, 0x20) : QColor(0x1E, 0x8C, 0x2A),
                      glyph == Glyph::Remove ? 2.5 : 3.5));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case Glyph::Restore: {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(4, 4, 16, 16), 135);
        arc.arcTo(QRectF(4, 4, 16, 16), 135, 270);
        p.setPen(QPen(ink, 2));
        p.drawPath(arc);
        p.drawLine(QPointF(6.3, 6.3), QPointF(6.3, 1.5));
        p.drawLine(QPointF(6.3, 6.3), QPointF(11, 6.3));
        break;
    }
    case Glyph::Pen: {
        p.setBrush(QColor(0xF2, 0xC9, 0x4C));
        p.drawPolygon(QPolygonF({{17, 3}, {21, 7}, {9, 19}, {4, 20}, {5, 15}}));
        p.drawLine(QPointF(14.5, 5.5), QPointF(18.5, 9.5));
        break;
    }
    case Glyph::Save:
        p.setBrush(QColor(0x4A, 0x6F, 0xA5));
        p.drawRect(QRectF(3.5, 3.5, 17, 17));
        p.setBrush(paper);
        p.drawRect(QRectF(7.5, 3.5, 9, 6));
        p.drawRect(QRectF(6.5, 13.5, 11, 7));
        break;
    case Glyph::Print:
        p.setBrush(paper);
        p.drawRect(QRectF(6.5, 2.5, 11, 7));
        p.setBrush(QColor(0x9A, 0xA5, 0xB1));
        p.drawRect(QRectF(2.5, 9.5, 19, 8));
        p.setBrush(paper);
        p.drawRect(QRectF(6.5, 14.5, 11, 7));
        break;
    case Glyph::Wallpaper: {
        p.setBrush(QColor(0x9C, 0xD3, 0xF2));
        p.drawRect(QRectF(2.5, 4.5, 19, 15));
        p.setBrush(QColor(0x4E, 0x9A, 0x3A));
        p.drawPolygon(QPolygonF({{3, 19}, {9, 11}, {13, 16}, {16, 13}, {21, 19}}));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QRectF(15, 6.5, 4, 4));
        break;
    }
    case Glyph::Mail:
        p.setBrush(paper);
        p.drawRect(QRectF(2.5, 5.5, 19, 13));
        p.drawLine(QPointF(2.5, 5.5), QPointF(12, 13));
        p.drawLine(QPointF(21.5, 5.5), QPointF(12, 13));
        break;
    }
}

} // namespace

QIcon glyphIcon(Glyph glyph) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, glyph);
    }
    return QIcon(pixmap);
}

} // namespace quill::app
