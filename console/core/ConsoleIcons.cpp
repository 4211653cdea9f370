#include "console/core/ConsoleIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace warden::console {

namespace {

QPixmap Folder(bool open) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 3, 6, 3);  // tab
    if (open) {
        p.drawRect(1, 5, 13, 9);
        p.setBrush(QColor(255, 226, 130));
        QPolygon flap({QPoint(3, 8), QPoint(15, 8), QPoint(13, 14), QPoint(1, 14)});
        p.drawPolygon(flap);
    } else {
        p.drawRect(1, 5, 13, 9);
    }
    return pixmap;
}

QPixmap Person(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QColor(30, 70, 140));
    p.setBrush(QColor(90, 140, 220));
    p.drawEllipse(QRectF(5, 1.5, 6, 6));
    QPainterPath body;
    body.moveTo(2, 15);
    body.cubicTo(2, 8.5, 14, 8.5, 14, 15);
    body.closeSubpath();
    p.drawPath(body);
    return pixmap;
}

}  // namespace

QIcon DepartmentIcon() {
    QIcon icon;
    icon.addPixmap(Folder(false), QIcon::Normal);
    icon.addPixmap(Folder(true), QIcon::Selected);
    return icon;
}

QIcon UserIcon() {
    return QIcon(Person(16));
}

QIcon ProgramIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.drawPixmap(0, 0, 20, 20, Folder(false));
    p.drawPixmap(12, 12, Person(20));
    QIcon icon(pixmap);
    icon.addPixmap(Folder(false));
    return icon;
}

}  // namespace warden::console
