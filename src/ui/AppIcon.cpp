#include "ui/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace morv {

QImage drawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);

    // The tile: a dark night sky fading to the horizon.
    QLinearGradient sky(tile.topLeft(), tile.bottomLeft());
    sky.setColorAt(0, QColor(38, 52, 74));
    sky.setColorAt(1, QColor(96, 112, 134));
    QPainterPath clip;
    clip.addRoundedRect(tile, s * 0.16, s * 0.16);
    p.fillPath(clip, sky);
    p.setClipPath(clip);

    // Two hills in height-map greys: the higher, the whiter.
    QPainterPath hills;
    hills.moveTo(tile.left(), s * 0.72);
    hills.cubicTo(s * 0.18, s * 0.70, s * 0.22, s * 0.22, s * 0.40, s * 0.24);
    hills.cubicTo(s * 0.52, s * 0.26, s * 0.52, s * 0.52, s * 0.62, s * 0.50);
    hills.cubicTo(s * 0.72, s * 0.48, s * 0.74, s * 0.36, s * 0.84, s * 0.38);
    hills.cubicTo(s * 0.92, s * 0.40, s * 0.94, s * 0.66, tile.right(), s * 0.70);
    hills.lineTo(tile.right(), tile.bottom());
    hills.lineTo(tile.left(), tile.bottom());
    hills.closeSubpath();
    QLinearGradient height(QPointF(0, s * 0.22), QPointF(0, s * 0.74));
    height.setColorAt(0, QColor(250, 250, 250));
    height.setColorAt(1, QColor(128, 128, 128));
    p.fillPath(hills, height);

    // The valley below the ground level, darker greys.
    QPainterPath valley;
    valley.moveTo(tile.left(), s * 0.72);
    valley.cubicTo(s * 0.35, s * 0.74, s * 0.40, s * 0.90, s * 0.60, s * 0.88);
    valley.cubicTo(s * 0.80, s * 0.86, s * 0.85, s * 0.72, tile.right(), s * 0.70);
    valley.lineTo(tile.right(), tile.bottom());
    valley.lineTo(tile.left(), tile.bottom());
    valley.closeSubpath();
    QLinearGradient depth(QPointF(0, s * 0.72), QPointF(0, s * 0.92));
    depth.setColorAt(0, QColor(110, 110, 110));
    depth.setColorAt(1, QColor(40, 40, 40));
    p.fillPath(valley, depth);

    // The ground line, drawn black as a contour image marks it.
    QPen ground(Qt::black, std::max(1.0, s * 0.035));
    ground.setCapStyle(Qt::RoundCap);
    p.setPen(ground);
    QPainterPath line;
    line.moveTo(tile.left(), s * 0.72);
    line.cubicTo(s * 0.35, s * 0.73, s * 0.70, s * 0.71, tile.right(), s * 0.70);
    p.drawPath(line);
    p.end();
    return image;
}

}  // namespace morv
