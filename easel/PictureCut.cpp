#include "PictureCut.h"

#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace PictureCut {

namespace {

QRectF cornerRect(const QVector<QPoint>& points)
{
    return QRectF(QPointF(points[0]), QPointF(points[1])).normalized();
}

// The pixels a drawn rectangle or ellipse covers end one short of its far corner, so that its
// outline lies inside the cut-out box on all four sides.
QRectF drawnRect(const QVector<QPoint>& points)
{
    const QRectF r = cornerRect(points);
    return QRectF(r.topLeft(), QSizeF(std::max(0.0, r.width() - 1), std::max(0.0, r.height() - 1)));
}

QPen whitePen(int lineWidth)
{
    QPen pen(Qt::white, std::max(1, lineWidth), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    return pen;
}

void drawShape(QPainter& p, LineShape shape, const QVector<QPoint>& points, bool closed)
{
    if (shape == LineShape::Free) {
        const QPolygon polygon(points);
        if (closed)
            p.drawPolygon(polygon);
        else if (points.size() == 1)
            p.drawPoint(points[0]);
        else
            p.drawPolyline(polygon);
        return;
    }
    if (points.size() < 2)
        return;
    if (shape == LineShape::Rectangle)
        p.drawRect(drawnRect(points));
    else
        p.drawEllipse(drawnRect(points));
}

} // namespace

QPainterPath ShapePath(LineShape shape, const QVector<QPoint>& points)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    if (shape == LineShape::Free) {
        path.addPolygon(QPolygonF(QPolygon(points)));
        path.closeSubpath();
    } else if (points.size() >= 2) {
        if (shape == LineShape::Rectangle)
            path.addRect(cornerRect(points));
        else
            path.addEllipse(cornerRect(points));
    }
    return path;
}

QRect CutOutBox(LineShape shape, const QVector<QPoint>& points)
{
    const QRectF box = ShapePath(shape, points).boundingRect();
    if (box.width() <= 0 || box.height() <= 0)
        return {};
    const int x0 = int(std::floor(box.left())), y0 = int(std::floor(box.top()));
    const int x1 = int(std::ceil(box.right())), y1 = int(std::ceil(box.bottom()));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

std::optional<QImage> CutOut(const QImage& picture, LineShape shape, const QVector<QPoint>& points, int lineWidth)
{
    const QRect box = CutOutBox(shape, points);
    if (box.isEmpty() || picture.isNull())
        return std::nullopt;
    QImage mask(box.size(), QImage::Format_RGB32);
    mask.fill(Qt::white);
    {
        QPainter p(&mask);
        p.translate(-box.topLeft());
        p.setPen(whitePen(lineWidth));
        p.setBrush(Qt::black);
        drawShape(p, shape, points, true);
    }
    // OR with the picture: black inside lets the picture through, white stays white.
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < box.height(); ++y) {
        const int sy = box.top() + y;
        auto* dst = reinterpret_cast<QRgb*>(mask.scanLine(y));
        const auto* src =
            sy >= 0 && sy < source.height() ? reinterpret_cast<const QRgb*>(source.constScanLine(sy)) : nullptr;
        for (int x = 0; x < box.width(); ++x) {
            const int sx = box.left() + x;
            dst[x] |= src && sx >= 0 && sx < source.width() ? src[sx] : 0x00FFFFFFu;
        }
    }
    return mask;
}

void EraseShape(QImage& picture, LineShape shape, const QVector<QPoint>& points, int lineWidth)
{
    QPainter p(&picture);
    p.setPen(whitePen(lineWidth));
    p.setBrush(Qt::white);
    drawShape(p, shape, points, true);
}

void EraseLine(QImage& picture, LineShape shape, const QVector<QPoint>& points, int lineWidth)
{
    QPainter p(&picture);
    p.setPen(whitePen(lineWidth));
    p.setBrush(Qt::NoBrush);
    drawShape(p, shape, points, false);
}

void DrawOutline(QPainter& painter, LineShape shape, const QVector<QPoint>& points)
{
    painter.setBrush(Qt::NoBrush);
    drawShape(painter, shape, points, false);
}

} // namespace PictureCut
