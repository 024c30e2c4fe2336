#include "app/SplashForm.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quill::app {

namespace {
constexpr int kClientWidth = 466;
constexpr int kClientHeight = 406;
constexpr int kPictureWidth = 457;
constexpr int kPictureHeight = 397;
const QColor kSkyBlue(0xA6, 0xCA, 0xF0);
} // namespace

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_picture(emblem()) {
    setObjectName(QStringLiteral("TSplashForm"));
    setFixedSize(kClientWidth, kClientHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage TSplashForm::emblem() {
    QImage picture(kPictureWidth, kPictureHeight, QImage::Format_ARGB32);
    picture.fill(QColor(0xFB, 0xF8, 0xF0));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    // A paper sheet with a pen sketch of hills, a sun and a tree, hatched like a drawing.
    QPen ink(QColor(0x2B, 0x2B, 0x33), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(ink);
    const QRectF sheet(40, 30, 377, 250);
    p.drawRect(sheet);

    QPainterPath hills;
    hills.moveTo(40, 230);
    hills.cubicTo(110, 160, 170, 170, 230, 215);
    hills.cubicTo(280, 180, 350, 150, 417, 205);
    p.drawPath(hills);
    for (int x = 50; x < 410; x += 9)
        p.drawLine(QPointF(x, 278), QPointF(x + 18, 240));

    p.drawEllipse(QPointF(330, 90), 26, 26);
    for (int k = 0; k < 12; ++k) {
        p.save();
        p.translate(330, 90);
        p.rotate(k * 30);
        p.drawLine(QPointF(32, 0), QPointF(44, 0));
        p.restore();
    }
    p.drawLine(QPointF(140, 185), QPointF(140, 120));
    p.drawEllipse(QPointF(140, 100), 30, 36);
    for (int k = -24; k <= 24; k += 8)
        p.drawLine(QPointF(140 + k, 80), QPointF(150 + k * 0.6, 120));

    // A quill across the corner.
    QPainterPath quill;
    quill.moveTo(380, 255);
    quill.cubicTo(400, 200, 440, 160, 450, 140);
    quill.cubicTo(430, 190, 410, 230, 380, 255);
    p.setBrush(QColor(0x3A, 0x5F, 0x8F));
    p.drawPath(quill);
    p.setBrush(Qt::NoBrush);

    QFont title(QStringLiteral("Serif"));
    title.setPixelSize(54);
    title.setBold(true);
    title.setItalic(true);
    p.setFont(title);
    p.setPen(QColor(0x1F, 0x3A, 0x5F));
    p.drawText(QRect(0, 290, kPictureWidth, 64), Qt::AlignCenter, QStringLiteral("Quillmark"));
    QFont sub(QStringLiteral("Sans"));
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(QColor(0x44, 0x44, 0x44));
    p.drawText(QRect(0, 352, kPictureWidth, 24), Qt::AlignCenter,
               QStringLiteral("Photo montage and drawing  -  version 4.65"));
    return picture;
}

void TSplashForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kSkyBlue);
    p.drawImage(QPoint(4, 4), m_picture);
}

} // namespace quill::app
