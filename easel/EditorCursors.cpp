#include "EditorCursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <optional>

namespace EditorCursors {

namespace {

constexpr int Size = 32;

// Black strokes on a white outline, so the figure reads over any picture.
void stroke(QPainter& p, const QPainterPath& path, qreal width, bool filled = false)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, width + 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(filled ? QBrush(Qt::black) : QBrush(Qt::NoBrush));
    p.drawPath(path);
}

// A three-quarter turn around the middle with its head at the end; clockwise unless mirrored.
void turningArrow(QPainter& p, bool counterClockwise)
{
    if (counterClockwise) {
        p.translate(Size, 0);
        p.scale(-1, 1);
    }
    QPainterPath arc;
    const QRectF circle(6, 6, 20, 20);
    arc.arcMoveTo(circle, 90);
    arc.arcTo(circle, 90, -270);
    stroke(p, arc, 2);
    QPainterPath head;
    head.moveTo(6, 10);
    head.lineTo(1.5, 18);
    head.lineTo(10.5, 18);
    head.closeSubpath();
    stroke(p, head, 1, true);
}

void eyedropper(QPainter& p)
{
    QPainterPath tube;
    tube.moveTo(21, 10);
    tube.lineTo(7, 24);
    stroke(p, tube, 4);
    QPainterPath tip;
    tip.moveTo(7, 24);
    tip.lineTo(2, 29);
    stroke(p, tip, 1.5);
    QPainterPath collar;
    collar.moveTo(17, 8);
    collar.lineTo(23, 14);
    stroke(p, collar, 2.5);
    QPainterPath bulb;
    bulb.addEllipse(QPointF(24.5, 6.5), 4, 4);
    stroke(p, bulb, 1, true);
}

void bucket(QPainter& p)
{
    QPainterPath body;
    body.moveTo(9, 11);
    body.lineTo(20, 4);
    body.lineTo(28, 17);
    body.lineTo(17, 24);
    body.closeSubpath();
    stroke(p, body, 1.5);
    QPainterPath handle;
    handle.moveTo(14, 8);
    handle.quadTo(25, 0, 24, 11);
    stroke(p, handle, 1.5);
    // The paint pours from the mouth and drips at the hot spot.
    QPainterPath pour;
    pour.moveTo(9, 11);
    pour.quadTo(4, 14, 4, 23);
    stroke(p, pour, 2);
    QPainterPath drop;
    drop.addEllipse(QPointF(4, 27), 2.5, 2.5);
    stroke(p, drop, 1, true);
}

void eraser(QPainter& p)
{
    QPainterPath block;
    block.moveTo(3, 22);
    block.lineTo(16, 9);
    block.lineTo(26, 19);
    block.lineTo(13, 32 - 1);
    block.closeSubpath();
    stroke(p, block, 1.5);
    // The rubber end, solid, with its edge at the hot spot.
    QPainterPath rubber;
    rubber.moveTo(3, 22);
    rubber.lineTo(9, 16);
    rubber.lineTo(18, 25);
    rubber.lineTo(12, 31);
    rubber.closeSubpath();
    stroke(p, rubber, 1, true);
}

void crossAt(QPainter& p, QPointF c)
{
    QPainterPath cross;
    cross.moveTo(c.x() - 7, c.y());
    cross.lineTo(c.x() + 7, c.y());
    cross.moveTo(c.x(), c.y() - 7);
    cross.lineTo(c.x(), c.y() + 7);
    stroke(p, cross, 1);
}

void rangeRectangle(QPainter& p)
{
    crossAt(p, {8, 8});
    QPainterPath box;
    box.addRect(QRectF(13.5, 13.5, 16, 12));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3));
    p.drawPath(box);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawPath(box);
}

void lasso(QPainter& p)
{
    crossAt(p, {8, 8});
    QPainterPath loop;
    loop.moveTo(14, 20);
    loop.cubicTo(12, 11, 30, 9, 29, 18);
    loop.cubicTo(28, 26, 16, 27, 14, 20);
    loop.quadTo(13, 27, 17, 30);
    stroke(p, loop, 1.5);
}

} // namespace

QImage picture(int slot, QPoint* hotSpot)
{
    QPoint hot(Size / 2, Size / 2);
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (slot) {
    case Rotate:
    case Rotate2:
        turningArrow(p, slot == Rotate2);
        break;
    case Spoit:
        eyedropper(p);
        hot = {2, 29};
        break;
    case Flood:
        bucket(p);
        hot = {4, 29};
        break;
    case Eraser:
        eraser(p);
        hot = {5, 24};
        break;
    case Range:
        rangeRectangle(p);
        hot = {8, 8};
        break;
    case Range2:
        lasso(p);
        hot = {8, 8};
        break;
    default:
        return {};
    }
    if (hotSpot)
        *hotSpot = hot;
    return image;
}

QCursor cursor(int slot)
{
    // Made once each, at first use (a cursor needs the running application).
    static std::array<std::optional<QCursor>, Range2 + 1> made;
    if (slot < Rotate || slot > Range2)
        return QCursor(Qt::ArrowCursor);
    std::optional<QCursor>& c = made[size_t(slot)];
    if (!c) {
        QPoint hot;
        const QImage image = picture(slot, &hot);
        c = QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
    }
    return *c;
}

} // namespace EditorCursors
