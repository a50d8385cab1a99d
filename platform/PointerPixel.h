#pragma once

#include <QPoint>
#include <QPointF>

class QSinglePointEvent;
class QWidget;

// Which pixel the pointer is over, the one rule every canvas asks. On a scaled display a logical
// pixel holds several device pixels and the pointer stands on any of them; Qt hands a widget its
// mouse position rounded to a whole logical pixel, which lands half the clicks on the neighbour.
// So the position is taken exactly, and the pixel is the one whose square holds it: floor, never
// round, after undoing the view's scroll and zoom.
namespace PointerPixel {

// The event's position in the widget's coordinates, to the device pixel.
QPointF exactPosition(const QSinglePointEvent& event, const QWidget& widget);

// One coordinate of a view showing a picture at zoomPercent, as the picture's whole pixel.
int pictureCoordinate(double viewCoordinate, double zoomPercent = 100);

// The pixel whose square holds the point.
inline QPoint pixelAt(QPointF point)
{
    return {pictureCoordinate(point.x()), pictureCoordinate(point.y())};
}

// The picture pixel under a point of a view that shows the picture at zoomPercent, scrolled by
// scroll (the view's point that shows the picture's top-left corner is -scroll).
inline QPoint picturePixel(QPointF point, double zoomPercent, QPointF scroll = {})
{
    const QPointF p = point + scroll;
    return {pictureCoordinate(p.x(), zoomPercent), pictureCoordinate(p.y(), zoomPercent)};
}

} // namespace PointerPixel
