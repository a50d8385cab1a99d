#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QVector>
#include <optional>

// The import form's cut-out line and what it does to a picture. Points are in picture
// coordinates: a rectangle or ellipse is its start and opposite corner, a free line every
// point the mouse passed.
namespace PictureCut {

enum class LineShape { Rectangle, Ellipse, Free };

// The closed shape the line encloses (a free line is closed from its last point to its first).
QPainterPath ShapePath(LineShape shape, const QVector<QPoint>& points);
// The part of the picture a cut keeps: the bounding box of the shape's flattened outline, in
// whole pixels. Empty when the line encloses nothing.
QRect CutOutBox(LineShape shape, const QVector<QPoint>& points);
// The picture inside the line, shrunk to CutOutBox; outside and on the line's band of
// lineWidth it is white (transparent). Nothing when the line encloses nothing, so a stray click
// never empties the picture.
std::optional<QImage> CutOut(const QImage& picture, LineShape shape, const QVector<QPoint>& points, int lineWidth);
// Makes the enclosed part, line band included, white.
void EraseShape(QImage& picture, LineShape shape, const QVector<QPoint>& points, int lineWidth);
// Makes only the line's band white; a free line stays open.
void EraseLine(QImage& picture, LineShape shape, const QVector<QPoint>& points, int lineWidth);
// Draws the line's outline with a pen, in whatever coordinates the painter is set up for.
void DrawOutline(class QPainter& painter, LineShape shape, const QVector<QPoint>& points);

} // namespace PictureCut
