#include "MapPainter.h"

#include "ColourText.h"
#include "MapGeometry.h"

#include <QPainter>
#include <QPolygon>

#include <array>
#include <cmath>
#include <optional>

namespace MapPainter {

namespace {

using MapGeometry::PointAfter;
using MapGeometry::PointBefore;

constexpr int N = MapDocument::DestinationCount;
// Marks sit with their top-left this far left of and above the point's centre.
constexpr int MarkLeft = 7, MarkAbove = 15;
const QSize CurrentMarkSize(17, 17), NeighbourMarkSize(15, 16);
const QColor CurrentMarkFill(230, 20, 20), NeighbourMarkFill(225, 225, 225);

// A pin pointing down at the destination, its box of `size` at `at`: head filled in fill,
// outlined in dark grey. Drawn with the painter it lands on, so at that painter's device pixels.
void drawMark(QPainter& p, QPoint at, QSize size, QColor fill)
{
    p.save();
    p.translate(at);
    const int w = size.width(), h = size.height();
    const int mid = (w - 1) / 2;
    // Head: the upper part a box with cut corners, then tapering to the tip on the bottom row.
    const int shoulder = h * 5 / 9;
    const QPolygon outline({QPoint(2, 0), QPoint(w - 3, 0), QPoint(w - 1, 2), QPoint(w - 1, shoulder),
                            QPoint(mid + 1, h - 2), QPoint(mid, h - 1), QPoint(mid - 1, h - 2), QPoint(0, shoulder),
                            QPoint(0, 2)});
    p.setPen(QColor(40, 40, 40));
    p.setBrush(fill);
    p.drawPolygon(outline);
    // A light glint so the mark reads against a map of the same colour.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRect(3, 2, 2, 2));
    p.restore();
}

QImage makeMark(QSize size, QColor fill)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    drawMark(p, QPoint(0, 0), size, fill);
    return img;
}

// The GDI box (x-7, y-7)-(x+8, y+8); Qt's stroked rectangle adds the pen, GDI's end is exclusive.
QRect pointBox(QPoint c)
{
    return QRect(c.x() - PointBefore, c.y() - PointBefore, PointBefore + PointAfter - 1, PointBefore + PointAfter - 1);
}

QPoint markAt(QPoint c) { return QPoint(c.x() - MarkLeft, c.y() - MarkAbove); }

} // namespace

const QImage& currentMark()
{
    static const QImage mark = makeMark(CurrentMarkSize, CurrentMarkFill);
    return mark;
}

const QImage& neighbourMark()
{
    static const QImage mark = makeMark(NeighbourMarkSize, NeighbourMarkFill);
    return mark;
}

bool fitBuffer(QImage& buffer, QSize size, qreal ratio)
{
    const QSize device(int(std::ceil(size.width() * ratio)), int(std::ceil(size.height() * ratio)));
    if (buffer.size() == device && buffer.devicePixelRatio() == ratio)
        return false;
    buffer = QImage(device, QImage::Format_RGB32);
    buffer.setDevicePixelRatio(ratio);
    buffer.fill(Qt::white);
    return true;
}

void paint(QImage& buffer, const QImage& mapPicture, const MapDocument& doc, const MapView& view)
{
    if (buffer.isNull())
        return;
    const qreal ratio = buffer.devicePixelRatio();
    QPainter p(&buffer);
    // Painted in logical pixels; the painter puts them onto the device pixels.
    if (QSizeF(mapPicture.size()) * ratio != QSizeF(buffer.size()) || mapPicture.hasAlphaChannel())
        p.fillRect(QRectF(QPointF(0, 0), buffer.deviceIndependentSize()), Qt::white);
    p.drawImage(0, 0, mapPicture);
    if (view.hidePoints)
        return;

    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor normal = ColourText::toQColor(doc.colours[0]);
    const QColor passed = ColourText::toQColor(doc.colours[1]);
    const QColor current = ColourText::toQColor(doc.colours[2]);

    std::array<std::optional<QPoint>, N> at;
    for (int r = 0; r < N; ++r)
        at[r] = MapGeometry::parsePosition(doc.rows[r][MapDocument::Position]);

    // The route: a closed loop broken wherever a destination is not placed.
    p.setPen(QPen(normal, 1));
    for (int i = 0; i < N; ++i)
        if (at[i] && at[(i + 1) % N])
            p.drawLine(*at[i], *at[(i + 1) % N]);

    // Island labels.
    p.setBrush(Qt::NoBrush);
    p.setFont(view.labelFont);
    const int ascent = p.fontMetrics().ascent();
    for (int j = 0; j < MapDocument::IslandCount; ++j) {
        const std::optional<QPoint> label = MapGeometry::parsePosition(doc.islands[j]);
        if (!label)
            continue;
        const bool chosen = view.islandMode && j == view.selectedIsland;
        p.setPen(QPen(chosen ? passed : ColourText::toQColor(ColourText::clBlue), 1, Qt::DotLine));
        p.drawText(QPoint(label->x(), label->y() + ascent), MapGeometry::IslandLabelText(j + 1));
        if (view.labelHalfWidth > 0 && view.labelHalfHeight > 0)
            p.drawRect(QRect(label->x(), label->y(), 2 * view.labelHalfWidth - 1, 2 * view.labelHalfHeight - 1));
    }

    // Points.
    for (int k = 0; k < N; ++k) {
        if (!at[k])
            continue;
        const QColor c = !view.islandMode && k == view.selectedRow ? passed : normal;
        p.setPen(QPen(c, 1));
        p.setBrush(c);
        p.drawEllipse(pointBox(*at[k]));
        if (view.showCurrent && k == view.selectedRow + 1)
            drawMark(p, markAt(*at[k]), NeighbourMarkSize, NeighbourMarkFill);
    }

    // The route travelled so far, thick, up to the current destination.
    if (view.showCurrent) {
        const int R = view.selectedRow + 1;
        for (int l = 0; l < R && l < N; ++l) {
            if (l < R - 1 && at[l] && at[(l + 1) % N]) {
                p.setPen(QPen(passed, 3));
                p.drawLine(*at[l], *at[(l + 1) % N]);
            }
            if (!at[l])
                continue;
            const QColor c = l == R - 1 ? current : passed;
            p.setPen(QPen(c, 3));
            p.setBrush(c);
            p.drawEllipse(pointBox(*at[l]));
            if (l == R - 1)
                drawMark(p, markAt(*at[l]), CurrentMarkSize, CurrentMarkFill);
            else if (l == R - 2 && l > 0)
                drawMark(p, markAt(*at[l]), NeighbourMarkSize, NeighbourMarkFill);
        }
    }

    if (view.highlight && !view.islandMode && view.selectedRow >= 0 && view.selectedRow < N
        && at[view.selectedRow]) {
        const QPoint c = *at[view.selectedRow];
        // Merge-pen-not: the pen over the inverse of the screen, so magenta stays magenta on white.
        p.setCompositionMode(QPainter::RasterOp_SourceOrNotDestination);
        p.setPen(QPen(ColourText::toQColor(ColourText::clFuchsia), 5));
        p.setBrush(Qt::NoBrush);
        // GDI box (x-21, y-21)-(x+22, y+22).
        p.drawEllipse(QRect(c.x() - 21, c.y() - 21, 42, 42));
    }
}

} // namespace MapPainter
