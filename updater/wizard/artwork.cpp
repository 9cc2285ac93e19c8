#include "updater/wizard/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace zel::updater {
namespace {

QPixmap Blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A downward arrow into a tray; `phase` moves the arrow down by two pixels.
QPixmap BusyIcon(int phase) {
    QPixmap pixmap = Blank(kRowIconSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(1.5, 11.5, 13, 3));
    int shift = phase * 2;
    QPainterPath arrow;
    arrow.moveTo(6, 1 + shift);
    arrow.lineTo(10, 1 + shift);
    arrow.lineTo(10, 5 + shift);
    arrow.lineTo(13, 5 + shift);
    arrow.lineTo(8, 10 + shift);
    arrow.lineTo(3, 5 + shift);
    arrow.lineTo(6, 5 + shift);
    arrow.closeSubpath();
    p.setBrush(phase ? QColor(30, 110, 220) : QColor(90, 160, 240));
    p.drawPath(arrow);
    return pixmap;
}

QPixmap DiscIcon(const QColor& fill, bool cross) {
    QPixmap pixmap = Blank(kRowIconSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (cross) {
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    } else {
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5)}));
    }
    return pixmap;
}

// A sheet of paper with a tick: the installed copy is current.
QPixmap CompleteIcon() {
    QPixmap pixmap = Blank(kRowIconSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 0.5, 10, 14));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 4; y <= 8; y += 2) p.drawLine(QPointF(4.5, y + 0.5), QPointF(10.5, y + 0.5));
    p.setPen(QPen(QColor(0, 140, 60), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(6, 11), QPointF(8.5, 13.5), QPointF(14.5, 7)}));
    return pixmap;
}

void DrawShield(QPainter& p, const QRectF& box) {
    QPainterPath shield;
    shield.moveTo(box.center().x(), box.top());
    shield.lineTo(box.right(), box.top() + box.height() * 0.18);
    shield.cubicTo(box.right(), box.top() + box.height() * 0.65, box.center().x() + box.width() * 0.2,
                   box.bottom() - box.height() * 0.1, box.center().x(), box.bottom());
    shield.cubicTo(box.center().x() - box.width() * 0.2, box.bottom() - box.height() * 0.1, box.left(),
                   box.top() + box.height() * 0.65, box.left(), box.top() + box.height() * 0.18);
    shield.closeSubpath();
    p.drawPath(shield);
}

}  // namespace

std::vector<QIcon> RowIcons() {
    return {QIcon(BusyIcon(0)),
            QIcon(BusyIcon(1)),
            QIcon(DiscIcon(QColor(20, 150, 70), false)),
            QIcon(CompleteIcon()),
            QIcon(DiscIcon(QColor(210, 40, 40), true)),
            QIcon(Blank(kRowIconSize))};
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap = Blank(size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(10, 50, 110), size / 16.0));
        p.setBrush(QColor(30, 110, 220));
        DrawShield(p, QRectF(size * 0.1, size * 0.05, size * 0.8, size * 0.9));
        p.setPen(QPen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF(
            {QPointF(size * 0.32, size * 0.5), QPointF(size * 0.46, size * 0.64), QPointF(size * 0.7, size * 0.34)}));
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap SidePicture(int width, int height) {
    QPixmap pixmap(std::max(1, width), std::max(1, height));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(18, 62, 128));
    sky.setColorAt(1, QColor(60, 140, 220));
    p.fillRect(pixmap.rect(), sky);
    // A globe of meridians and parallels: updates come from mirrors around the world.
    qreal r = width * 0.36;
    QPointF centre(width / 2.0, height * 0.62);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, r, r);
    for (qreal k : {0.35, 0.7}) p.drawEllipse(centre, r * k, r);
    for (qreal k : {-0.5, 0.0, 0.5}) {
        qreal y = centre.y() + r * k;
        qreal half = r * std::sqrt(1 - k * k);
        p.drawLine(QPointF(centre.x() - half, y), QPointF(centre.x() + half, y));
    }
    qreal s = width * 0.5;
    QRectF box(width / 2.0 - s / 2, height * 0.12, s, s * 1.15);
    p.setPen(QPen(QColor(220, 235, 255), 2));
    p.setBrush(QColor(30, 110, 220));
    DrawShield(p, box);
    p.setPen(QPen(Qt::white, s / 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(box.left() + s * 0.27, box.top() + s * 0.55),
                              QPointF(box.left() + s * 0.45, box.top() + s * 0.73),
                              QPointF(box.left() + s * 0.75, box.top() + s * 0.35)}));
    return pixmap;
}

}  // namespace zel::updater
