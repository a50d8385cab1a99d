#pragma once

#include "ShapeRecord.h"

#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPoint>
#include <array>

class QPainter;

// Drawing shape records: pens, the curve construction, flood fill, and measuring how far a
// drawn stroke reaches. Angles are in degrees, counter-clockwise as seen on screen.
namespace Shapes {

double DirectionDeg(QPoint a, QPoint b);
double Distance(QPoint a, QPoint b);
// Each coordinate to the nearest integer, halves to even.
QPoint PolarPoint(double radius, double degrees);
int RoundAway(double x);

// The stroke width in pixels for a width setting. zoom > 0: the width a preview shows at that zoom.
int PenWidthForShape(qint32 shapeType, qint32 width, int zoom = 0);
// Round ends and joins; dashes and dots grow with the width.
QPen CreateShapePen(int width, ColourText::TColor colour, qint32 lineKind);

// The two Bézier control points of a line of that arc (degrees, Curvature x 10); arc 0 is a
// straight line and has none.
struct CurvePoints {
    QPoint k1, k2;
    bool operator==(const CurvePoints&) const = default;
};
CurvePoints CurveControlPoints(QPoint start, QPoint end, int arc);
QPainterPath DrawCurve(QPoint start, QPoint end, int arc);

// The first transparent-white pixel on a ray from a point, in tenths of a pixel up to RayReach
// pixels; the point itself when there is none. Pixels off the picture count as transparent white.
inline constexpr int RayReach = 300;
QPoint RaySearch(const QImage& canvas, QPoint from, double angleDegrees);

// Every pixel 4-connected to the one at `at` that has exactly its colour takes `colour`.
// Iterative scanline: stack depth grows with the number of spans, never with the area.
void FloodFill(QImage& canvas, QPoint at, QRgb colour);

struct Extent {
    std::array<QPoint, 4> extremes{}; // leftmost, topmost, rightmost, bottommost
    std::array<qint32, 4> margins{};  // left (<= 0), top (<= 0), right (>= 0), bottom (>= 0)
};

// How a record is drawn. zoom > 0 draws a preview in paint-box coordinates with pens that wide.
struct RenderStyle {
    ColourText::TColor secondWhite = 0xFEFEFF; // RGB(255, 254, 254), a true-colour display's
    int zoom = 0;
};

// Draws one record onto a 24-bit canvas whose transparent colour is pure white.
void RenderShape(QImage& canvas, const ShapeRecord& record, const RenderStyle& style);
// Rectangles, ellipses, lines and pens onto any painter (previews); other kinds draw nothing.
void PaintOutline(QPainter& painter, const ShapeRecord& record, const RenderStyle& style);
// The record's extremes, and its margins measured on the record drawn alone (not on a canvas
// that may still show something else where the stroke ends).
Extent MeasureShape(const ShapeRecord& record, const RenderStyle& style);
// The record takes a measured extent as its Extremes and Margins.
void StoreExtents(ShapeRecord& record, const Extent& extent);

} // namespace Shapes
