#include "ShapeRender.h"

#include "CanvasView.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <vector>

namespace Shapes {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr QRgb PureWhite = 0xFFFFFFFF;

bool isOutline(qint32 type)
{
    return type == Rectangle || type == Ellipse || type == Line || type == Pen;
}

// The figure of a rectangle or ellipse dragged from a to b: it ends one pixel before the far
// corner, so a drag of 100 pixels gives a shape 100 pixels across.
QRectF spanned(QPoint a, QPoint b)
{
    const int left = std::min(a.x(), b.x()), top = std::min(a.y(), b.y());
    const int width = std::abs(b.x() - a.x()), height = std::abs(b.y() - a.y());
    return QRectF(left, top, std::max(0, width - 1), std::max(0, height - 1));
}

void strokeFigure(QPainter& p, const ShapeRecord& r, const std::vector<QPoint>& points)
{
    const QPoint a0 = r.Anchors[0], a3 = r.Anchors[3];
    switch (r.ShapeType) {
    case Rectangle:
        p.drawRect(spanned(a0, a3));
        break;
    case Ellipse:
        p.drawEllipse(spanned(a0, a3));
        break;
    case Line:
        if (r.Curvature == 0)
            p.drawLine(a0, a3);
        else
            p.drawPath(DrawCurve(a0, a3, std::clamp(r.Curvature, -50, 50) * 10));
        break;
    case Pen:
        // A click that did not move is a stroke of no length, which draws nothing.
        if (!std::all_of(points.begin(), points.end(), [&](QPoint q) { return q == points.front(); }))
            p.drawPolyline(points.data(), int(points.size()));
        break;
    default:
        break;
    }
}

// The figure's centre line: closed figures as closed polygons, curves flattened.
QList<QPolygonF> centreLines(const ShapeRecord& r, const std::vector<QPoint>& points)
{
    const QPoint a0 = r.Anchors[0], a3 = r.Anchors[3];
    QPainterPath path;
    switch (r.ShapeType) {
    case Rectangle:
        path.addRect(spanned(a0, a3));
        break;
    case Ellipse:
        path.addEllipse(spanned(a0, a3));
        break;
    case Line:
        path = DrawCurve(a0, a3, r.Curvature == 0 ? 0 : std::clamp(r.Curvature, -50, 50) * 10);
        break;
    case Pen:
        if (std::all_of(points.begin(), points.end(), [&](QPoint q) { return q == points.front(); }))
            break;
        path.moveTo(points.front());
        for (size_t i = 1; i < points.size(); ++i)
            path.lineTo(points[i]);
        break;
    default:
        break;
    }
    return path.toSubpathPolygons();
}

// The lit pieces of a dashed or dotted centre line, the pattern in units of the pen's width and running
// on across corners, as the pen's own dashes do; a solid line is one piece.
QList<QPolygonF> dashPieces(const QList<QPolygonF>& lines, int width, qint32 lineKind)
{
    if (lineKind != 1 && lineKind != 2)
        return lines;
    const double on = (lineKind == 1 ? 4.0 : 1.0) * width, off = 2.0 * width;
    QList<QPolygonF> pieces;
    for (const QPolygonF& line : lines) {
        bool lit = true;
        double left = on; // of the current dash or gap
        QPolygonF piece;
        if (!line.isEmpty())
            piece << line.front();
        for (qsizetype i = 1; i < line.size(); ++i) {
            QPointF from = line[i - 1];
            const QPointF to = line[i];
            double length = std::hypot(to.x() - from.x(), to.y() - from.y());
            while (length > left) {
                const QPointF at = from + (to - from) * (left / length);
                // A dash ends here, or the next one begins.
                piece << at;
                if (lit) {
                    pieces << piece;
                    piece.clear();
                }
                length -= left;
                from = at;
                lit = !lit;
                left = lit ? on : off;
            }
            left -= length;
            if (lit)
                piece << to;
        }
        if (lit && piece.size() > 1)
            pieces << piece;
    }
    return pieces;
}

// Strokes the outline as its round pen reaches: every pixel whose centre lies within half the width of
// a lit piece of the centre line, each painted once. The pen's own stroke of a closed or tightly curved
// figure leaves out the middle where the pen is wider than the curve is round (its inner edge turns
// over and cancels the fill), so every straight step is stroked alone and the union filled at once,
// which also keeps a not-xor preview whole.
void strokeReach(QPainter& p, const ShapeRecord& r, int width, ColourText::TColor colour)
{
    const QList<QPolygonF> pieces = dashPieces(centreLines(r, r.Points), width, r.LineKind);
    QRectF reach;
    for (const QPolygonF& piece : pieces)
        reach |= piece.boundingRect();
    if (pieces.isEmpty())
        return;
    const double grow = width / 2.0 + 2;
    QRect box = reach.adjusted(-grow, -grow, grow, grow).toAlignedRect();
    // Only what the device can show: a strongly curved line reaches thousands of pixels off it.
    if (const QPaintDevice* device = p.device()) {
        bool invertible = false;
        const QTransform back = p.worldTransform().inverted(&invertible);
        if (invertible)
            box &= back.mapRect(QRect(0, 0, device->width(), device->height())).adjusted(-1, -1, 1, 1);
    }
    if (box.isEmpty())
        return;
    QImage mask(box.size(), QImage::Format_Grayscale8);
    if (mask.isNull())
        return;
    mask.fill(0);
    {
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing, false);
        mp.translate(-box.topLeft());
        mp.setPen(QPen(Qt::white, std::max(1, width), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QPolygonF& piece : pieces) {
            if (piece.size() == 1)
                mp.drawPoint(piece.front());
            for (qsizetype i = 1; i < piece.size(); ++i)
                mp.drawLine(piece[i - 1], piece[i]);
        }
    }
    QPainterPath runs;
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* row = mask.constScanLine(y);
        for (int x = 0; x < mask.width();) {
            if (!row[x]) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < mask.width() && row[x])
                ++x;
            runs.addRect(box.left() + start, box.top() + y, x - start, 1);
        }
    }
    p.fillPath(runs, QColor::fromRgb(ColourText::toQRgb(colour)));
}

// The extremes rule over a point sequence: a point further out on a side replaces the one there.
void takeExtremes(std::array<QPoint, 4>& e, const QPoint& q)
{
    if (q.x() < e[0].x())
        e[0] = q;
    else if (q.x() > e[2].x())
        e[2] = q;
    if (q.y() < e[1].y())
        e[1] = q;
    else if (q.y() > e[3].y())
        e[3] = q;
}

void extremesOfPath(std::array<QPoint, 4>& e, const QPainterPath& path)
{
    for (const QPolygonF& polygon : path.toSubpathPolygons())
        for (const QPointF& q : polygon)
            takeExtremes(e, q.toPoint());
}

void drawStamp(QImage& canvas, const ShapeRecord& r)
{
    if (r.StampPicture.isNull() || canvas.isNull())
        return;
    const QImage stamp = r.StampPicture.format() == QImage::Format_RGB32
                             ? r.StampPicture
                             : r.StampPicture.convertToFormat(QImage::Format_RGB32);
    const QPoint at = r.Anchors[3];
    const QRect target = QRect(at, stamp.size()).intersected(canvas.rect());
    if (target.isEmpty())
        return;

    // A free-form stamp shows only inside its polygon.
    QImage mask;
    if (r.FreeForm) {
        mask = QImage(stamp.size(), QImage::Format_Grayscale8);
        mask.fill(0);
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing, false);
        mp.setPen(Qt::NoPen);
        mp.setBrush(Qt::white);
        QPolygon polygon;
        for (const QPoint& p : r.Points)
            polygon << p - at;
        mp.drawPolygon(polygon, Qt::OddEvenFill);
    }

    const bool keyWhite = r.PenColor != TransparentWhite;
    const int width = target.width();
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(stamp.constScanLine(y - at.y())) + (target.left() - at.x());
        const uchar* m = mask.isNull() ? nullptr : mask.constScanLine(y - at.y()) + (target.left() - at.x());
        QRgb* out = reinterpret_cast<QRgb*>(canvas.scanLine(y)) + target.left();
        if (!m && !keyWhite) {
            std::copy(in, in + width, out);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            if (m && !m[x])
                continue;
            const QRgb px = in[x] | 0xFF000000;
            if (keyWhite && px == PureWhite)
                continue;
            out[x] = px;
        }
    }
}

} // namespace

double DirectionDeg(QPoint a, QPoint b)
{
    return std::atan2(double(a.y() - b.y()), double(b.x() - a.x())) * 180.0 / Pi;
}

double Distance(QPoint a, QPoint b)
{
    // The sum is formed in 32 bits, as the original did.
    const quint32 dx = quint32(b.x() - a.x()), dy = quint32(b.y() - a.y());
    return std::sqrt(double(qint32(dx * dx + dy * dy)));
}

QPoint PolarPoint(double r, double d)
{
    const double rad = d * Pi / 180.0;
    return {int(std::nearbyint(r * std::cos(rad))), int(std::nearbyint(-r * std::sin(rad)))};
}

int RoundAway(double x)
{
    return int(x >= 0 ? std::trunc(x + 0.9) : std::trunc(x - 0.9));
}

int PenWidthForShape(qint32 shapeType, qint32 width, int zoom)
{
    int w = std::abs(width);
    if ((shapeType >= 11 && shapeType <= 15) || shapeType == Pen) {
        if (w > 20)
            w = 7 * w - 100;
        else if (w >= 11)
            w = 3 * w - 20;
    }
    w = std::max(w, 1);
    if (zoom > 0)
        w = std::max(1, CanvasView::ImageToScreen(w, zoom));
    return w;
}

QPen CreateShapePen(int width, ColourText::TColor colour, qint32 lineKind)
{
    const Qt::PenStyle style = lineKind == 1 ? Qt::DashLine : lineKind == 2 ? Qt::DotLine : Qt::SolidLine;
    return QPen(QBrush(QColor::fromRgb(ColourText::toQRgb(colour))), std::max(1, width), style, Qt::RoundCap,
                Qt::RoundJoin);
}

CurvePoints CurveControlPoints(QPoint start, QPoint end, int arc)
{
    if (arc == 0)
        return {start, end};
    if (arc % 360 == 0)
        ++arc;
    const double theta = DirectionDeg(start, end), length = Distance(start, end);
    const double alpha = arc > 0 ? (180.0 - arc) / 2 : (180.0 + arc) / 2;
    const double phi = arc > 0 ? theta - alpha : theta + alpha;
    const double r = length / (2 * std::cos(alpha * Pi / 180.0));
    const QPoint m = start + PolarPoint(r, phi);
    if (std::abs(arc) <= 360) {
        const double delta = arc / 3.0;
        return {m + PolarPoint(r, DirectionDeg(m, start) - delta), m + PolarPoint(r, DirectionDeg(m, end) + delta)};
    }
    // Past a full turn the control points swap ends and reach further out, which draws a loop.
    const double delta = (arc > 0 ? arc + 10 : arc - 10) / 3.0;
    return {m + PolarPoint(1.6 * r, DirectionDeg(m, end) + delta),
            m + PolarPoint(1.6 * r, DirectionDeg(m, start) - delta)};
}

QPainterPath DrawCurve(QPoint start, QPoint end, int arc)
{
    QPainterPath path(start);
    if (arc == 0) {
        path.lineTo(end);
        return path;
    }
    const CurvePoints k = CurveControlPoints(start, end, arc);
    path.cubicTo(k.k1, k.k2, end);
    return path;
}

QPoint RaySearch(const QImage& canvas, QPoint from, double angle)
{
    for (int i = 1; i <= RayReach * 10; ++i) {
        const QPoint q = from + PolarPoint(i * 0.1, angle);
        if (!canvas.rect().contains(q) || (canvas.pixel(q) | 0xFF000000) == PureWhite)
            return q;
    }
    return from;
}

void FloodFill(QImage& canvas, QPoint at, QRgb colour)
{
    if (!canvas.rect().contains(at))
        return;
    if (canvas.format() != QImage::Format_RGB32)
        canvas = canvas.convertToFormat(QImage::Format_RGB32);
    const int w = canvas.width(), h = canvas.height();
    auto line = [&](int y) { return reinterpret_cast<QRgb*>(canvas.scanLine(y)); };
    const QRgb target = line(at.y())[at.x()] | 0xFF000000;
    const QRgb fill = colour | 0xFF000000;
    if (target == fill)
        return;
    auto matches = [&](QRgb c) { return (c | 0xFF000000) == target; };

    // One seed per run of matching pixels found above or below a filled span.
    std::vector<QPoint> seeds{at};
    while (!seeds.empty()) {
        const QPoint s = seeds.back();
        seeds.pop_back();
        QRgb* row = line(s.y());
        if (!matches(row[s.x()]))
            continue;
        int left = s.x(), right = s.x();
        while (left > 0 && matches(row[left - 1]))
            --left;
        while (right < w - 1 && matches(row[right + 1]))
            ++right;
        std::fill(row + left, row + right + 1, fill);
        for (int y : {s.y() - 1, s.y() + 1}) {
            if (y < 0 || y >= h)
                continue;
            const QRgb* next = line(y);
            bool inRun = false;
            for (int x = left; x <= right; ++x) {
                const bool m = matches(next[x]);
                if (m && !inRun)
                    seeds.emplace_back(x, y);
                inRun = m;
            }
        }
    }
}

void PaintOutline(QPainter& p, const ShapeRecord& r, const RenderStyle& style)
{
    if (!isOutline(r.ShapeType))
        return;
    const bool pen = r.ShapeType == Pen;
    if (pen ? r.Points.empty() : r.Anchors[0] == r.Anchors[3])
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    const int width = PenWidthForShape(r.ShapeType, std::clamp(r.LineWidth, 0, 50), style.zoom);
    // Dashed and dotted shapes get a thin line in the second white along their middle, which shows in
    // the gaps and is saved as white.
    if (r.LineKind > 0) {
        p.setPen(CreateShapePen(1, style.secondWhite, 0));
        strokeFigure(p, r, r.Points);
    }
    strokeReach(p, r, width, r.PenColor);
    p.restore();
}

void RenderShape(QImage& canvas, const ShapeRecord& r, const RenderStyle& style)
{
    switch (r.ShapeType) {
    case Fill:
        FloodFill(canvas, r.Anchors[0], ColourText::toQRgb(r.BrushColor));
        break;
    case Stamp:
        drawStamp(canvas, r);
        break;
    default:
        if (isOutline(r.ShapeType)) {
            QPainter p(&canvas);
            PaintOutline(p, r, style);
        }
        break;
    }
}

void StoreExtents(ShapeRecord& r, const Extent& extent)
{
    r.Extremes = extent.extremes;
    r.Margins = extent.margins;
}

Extent MeasureShape(const ShapeRecord& r, const RenderStyle& style)
{
    Extent out;
    const QPoint a0 = r.Anchors[0];
    out.extremes.fill(a0);
    switch (r.ShapeType) {
    case Rectangle:
    case Ellipse: {
        if (a0 == r.Anchors[3])
            return out;
        QPainterPath path;
        if (r.ShapeType == Rectangle)
            path.addRect(spanned(a0, r.Anchors[3]));
        else
            path.addEllipse(spanned(a0, r.Anchors[3]));
        extremesOfPath(out.extremes, path);
        break;
    }
    case Line:
        if (a0 == r.Anchors[3])
            return out;
        extremesOfPath(out.extremes, DrawCurve(a0, r.Anchors[3], std::clamp(r.Curvature, -50, 50) * 10));
        break;
    case Pen:
        for (size_t i = 1; i < r.Points.size(); ++i)
            takeExtremes(out.extremes, r.Points[i]);
        break;
    case Stamp:
        if (!r.FreeForm) {
            const QPoint at = r.Anchors[3];
            const QPoint far = at + QPoint(r.StampPicture.width(), r.StampPicture.height());
            out.extremes = {at, at, far, far};
            return out;
        }
        for (size_t i = 1; i < r.Points.size(); ++i)
            takeExtremes(out.extremes, r.Points[i]);
        break;
    default:
        return out;
    }

    // Each ray on the record drawn alone, over only the pixels the ray can reach: a strongly
    // curved line's extremes lie thousands of pixels apart, a picture of them all would take
    // gigabytes.
    RenderStyle alone = style;
    alone.zoom = 0;
    auto search = [&](QPoint from, double angle) {
        const QPoint to = from + PolarPoint(RayReach, angle);
        // Both ends inside: QRect::normalized() would leave out the one it swaps.
        const QRect strip(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                          QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y())));
        QImage scratch(strip.size(), QImage::Format_RGB32);
        if (scratch.isNull())
            return from;
        scratch.fill(PureWhite);
        if (r.ShapeType == Stamp) {
            ShapeRecord moved = r;
            moved.Anchors[3] -= strip.topLeft();
            for (QPoint& q : moved.Points)
                q -= strip.topLeft();
            drawStamp(scratch, moved);
        } else {
            QPainter p(&scratch);
            p.translate(-strip.topLeft());
            PaintOutline(p, r, alone);
        }
        return RaySearch(scratch, from - strip.topLeft(), angle) + strip.topLeft();
    };
    out.margins[0] = std::min(0, search(out.extremes[0], 180).x() - out.extremes[0].x());
    out.margins[1] = std::min(0, search(out.extremes[1], 90).y() - out.extremes[1].y());
    out.margins[2] = std::max(0, search(out.extremes[2], 0).x() - out.extremes[2].x());
    out.margins[3] = std::max(0, search(out.extremes[3], -90).y() - out.extremes[3].y());
    return out;
}

} // namespace Shapes
