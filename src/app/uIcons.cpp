#include "app/uIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace {

QPixmap draw(int index)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: { // start: a green play triangle
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(14, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.fillPath(path, QColor(0x2e, 0xa0, 0x43));
        p.setPen(QPen(QColor(0x1b, 0x6b, 0x2a), 1));
        p.drawPath(path);
        break;
    }
    case 1: // stop: a red square
        p.setPen(QPen(QColor(0x8b, 0x1a, 0x1a), 1));
        p.setBrush(QColor(0xd9, 0x35, 0x35));
        p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
        break;
    case 2: { // ping: a source and its echo waves
        p.setBrush(QColor(0x1f, 0x5f, 0xbf));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(3.5, 12.5), 2, 2);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 1.6));
        for (int r : { 5, 9, 13 })
            p.drawArc(QRectF(3.5 - r, 12.5 - r, 2 * r, 2 * r), 0, 90 * 16);
        break;
    }
    case 3: // delete: a red cross
        p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case 4: { // settings: a gear
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x60, 0x67, 0x70));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(8, 8);
            p.rotate(i * 45.0);
            p.drawRect(QRectF(-1.3, -7.5, 2.6, 4));
            p.restore();
        }
        p.drawEllipse(QPointF(8, 8), 5, 5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 2, 2);
        break;
    }
    case 5: { // HTML export: a page with angle brackets
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 1.5, 11, 13));
        p.setPen(QPen(QColor(0xe0, 0x6c, 0x00), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({ QPointF(7, 5), QPointF(4.5, 8), QPointF(7, 11) }));
        p.drawPolyline(QPolygonF({ QPointF(9, 5), QPointF(11.5, 8), QPointF(9, 11) }));
        break;
    }
    default: { // clear the log: a page of lines and an eraser stroke
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 10, 13));
        p.setPen(QPen(QColor(0x99, 0x99, 0x99), 1));
        for (int y : { 5, 8, 11 })
            p.drawLine(QPointF(3.5, y), QPointF(9.5, y));
        p.setPen(QPen(QColor(0xd9, 0x35, 0x35), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 14), QPointF(14.5, 7.5));
        break;
    }
    }
    return pm;
}

} // namespace

QIcon MainImage(int index)
{
    if (index < 0 || index >= MainImageCount)
        return QIcon();
    return QIcon(draw(index));
}
