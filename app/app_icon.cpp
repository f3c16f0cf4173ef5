#include "app/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace pxr9 {

// A device body with a downward arrow into it: firmware going onto the device.
QPixmap drawAppIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    const QRectF body(s * 0.08, s * 0.38, s * 0.84, s * 0.54);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(0x3a, 0x4a, 0x5c));
    shade.setColorAt(1, QColor(0x1c, 0x24, 0x2e));
    painter.setPen(QPen(QColor(0x10, 0x14, 0x18), qMax(1.0, s / 32)));
    painter.setBrush(shade);
    painter.drawRoundedRect(body, s * 0.08, s * 0.08);

    // Two knobs and a display window on the front panel.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x9a, 0xe6, 0x6e));
    painter.drawRect(QRectF(s * 0.18, s * 0.62, s * 0.30, s * 0.14));
    painter.setBrush(QColor(0xd8, 0xdc, 0xe0));
    painter.drawEllipse(QPointF(s * 0.62, s * 0.69), s * 0.07, s * 0.07);
    painter.drawEllipse(QPointF(s * 0.80, s * 0.69), s * 0.07, s * 0.07);

    QPainterPath arrow;
    arrow.moveTo(s * 0.40, s * 0.04);
    arrow.lineTo(s * 0.60, s * 0.04);
    arrow.lineTo(s * 0.60, s * 0.26);
    arrow.lineTo(s * 0.76, s * 0.26);
    arrow.lineTo(s * 0.50, s * 0.52);
    arrow.lineTo(s * 0.24, s * 0.26);
    arrow.lineTo(s * 0.40, s * 0.26);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0x8a, 0x4a, 0x00), qMax(1.0, s / 32)));
    painter.setBrush(QColor(0xff, 0xa8, 0x1e));
    painter.drawPath(arrow);
    return pixmap;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(drawAppIcon(size));
    return icon;
}

}  // namespace pxr9
