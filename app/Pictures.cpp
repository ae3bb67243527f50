#include "app/Pictures.h"

#include <QPainter>
#include <QPainterPath>

QPixmap exclamationPicture() {
    QPixmap pm(32, 90);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 0, 0));
    QPainterPath bar;
    bar.moveTo(8, 8);
    bar.lineTo(24, 8);
    bar.lineTo(19, 60);
    bar.lineTo(13, 60);
    bar.closeSubpath();
    p.drawPath(bar);
    p.drawEllipse(QRectF(9, 68, 14, 14));
    return pm;
}

QIcon programIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(225, 225, 215));
    p.drawRoundedRect(QRectF(3, 6, 26, 20), 3, 3);
    p.setBrush(QColor(0, 128, 0));
    p.drawEllipse(QRectF(6, 10, 4, 4));
    p.setBrush(QColor(60, 60, 60));
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(7 + i * 5, 19, 3, 4));
    return QIcon(pm);
}

QIcon printerIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 8, 5);
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(1, 6, 14, 6);
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 8, 5);
    p.setPen(QColor(0, 128, 0));
    p.drawPoint(13, 8);
    return QIcon(pm);
}
