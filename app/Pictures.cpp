#include "app/Pictures.h"

#include "app/ProgramInfo.h"

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
    // the same pictures as the icon the desktop shows for the installed program
    QIcon icon;
    for (int size : {ZUVEX_ICON_SIZES})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
    return icon;
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
