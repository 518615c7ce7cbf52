#include "platform/qt/delivery_mark.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include "platform/qt/status_colour.h"

namespace quillet {
namespace {

constexpr int kMarkSize = 12;

QColor StateColour(DeliveryState state) {
    return state == DeliveryState::Delivered   ? QColor(0, 150, 60)
           : state == DeliveryState::Waiting   ? QColor(230, 160, 0)
           : state == DeliveryState::NotMailed ? QColor(110, 110, 110)
                                               : QColor(200, 0, 0);
}

// The mark in a 12 by 12 square.
void Draw(QPainter& painter, DeliveryState state, const QColor& colour) {
    QPen pen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (state == DeliveryState::Delivered) {
        QPainterPath check;
        check.moveTo(2.0, 6.5);
        check.lineTo(5.0, 9.5);
        check.lineTo(10.0, 2.5);
        painter.drawPath(check);
    } else if (state == DeliveryState::Waiting) {
        pen.setWidthF(1.5);
        painter.setPen(pen);
        painter.drawEllipse(QRectF(1.25, 1.25, 9.5, 9.5));
        painter.drawLine(QPointF(6.0, 6.0), QPointF(6.0, 3.25));  // the hands at three
        painter.drawLine(QPointF(6.0, 6.0), QPointF(8.25, 6.0));
    } else if (state == DeliveryState::NotMailed) {
        pen.setWidthF(1.25);
        painter.setPen(pen);
        painter.drawRect(QRectF(1.5, 3.0, 9.0, 6.5));  // the envelope and its flap
        painter.drawPolyline(QPolygonF({QPointF(1.5, 3.0), QPointF(6.0, 6.5), QPointF(10.5, 3.0)}));
        pen.setWidthF(1.5);
        painter.setPen(pen);
        painter.drawLine(QPointF(1.0, 11.0), QPointF(11.0, 1.0));  // struck out
    } else {
        painter.drawLine(QPointF(2.5, 2.5), QPointF(9.5, 9.5));
        painter.drawLine(QPointF(9.5, 2.5), QPointF(2.5, 9.5));
    }
}

QPixmap Drawn(DeliveryState state, const QColor& colour, int scale) {
    QPixmap pixmap(kMarkSize * scale, kMarkSize * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Draw(painter, state, colour);
    return pixmap;
}

}  // namespace

QIcon DeliveryMark(DeliveryState state, const QColor& background, const QColor& text) {
    if (state == DeliveryState::None) {
        return {};
    }
    const QColor colour = ReadableOn(StateColour(state), background, text);
    QIcon icon;
    icon.addPixmap(Drawn(state, colour, 1));
    icon.addPixmap(Drawn(state, colour, 2));
    return icon;
}

}  // namespace quillet
