#include "PointerPixel.h"

#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace PointerPixel {

namespace {

// Far below the distance of a pixel's edge from any point the pointer can stand on, far above what
// the arithmetic of a position loses: a point on an edge belongs to the pixel right of it.
constexpr double OnTheEdge = 1e-7;

} // namespace

QPointF exactPosition(const QSinglePointEvent& event, const QWidget& widget)
{
    // The position in the window is exact; the widget lies a whole number of logical pixels in.
    const QPointF exact = event.scenePosition() - QPointF(widget.mapTo(widget.window(), QPoint(0, 0)));
    const QPointF given = event.position();
    // An event made up by a program may carry no place in the window; its own position is all
    // there is then. A real one is its position before the rounding.
    if (std::abs(exact.x() - given.x()) > 0.5 + OnTheEdge || std::abs(exact.y() - given.y()) > 0.5 + OnTheEdge)
        return given;
    return exact;
}

int pictureCoordinate(double viewCoordinate, double zoomPercent)
{
    if (!(zoomPercent > 0) || !std::isfinite(viewCoordinate))
        return 0;
    const double v = std::floor(viewCoordinate * 100 / zoomPercent + OnTheEdge);
    return int(std::clamp(v, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
}

} // namespace PointerPixel
