#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <array>

// The pixel work behind stretching, rotating, flipping and trimming a floating picture. Plain
// functions over images, so that they are measured and tested without a window.
namespace LayerTransform {

// The handle picture's 12 pixels through the zoom, kept within 6 .. 12.
int HandleSize(int zoomedTwelve);

// Where the handles of a layer at (L, T) sized W x H lie: the four edges (left, right, top,
// bottom) and the four corners (top-left, top-right, bottom-left, bottom-right).
struct HandlePlaces {
    std::array<QPoint, 4> edges;
    std::array<QPoint, 4> corners;
};
HandlePlaces PlaceHandles(const QRect& layer, int handleSize);
// The handles moved inside `visible` (the view's shown area), so that a layer at the canvas's edge
// or partly scrolled off keeps every handle within reach.
HandlePlaces KeepInView(HandlePlaces places, const QRect& visible, int handleSize);

// A layer's bounds during a stretch; width and height turn negative when an edge is pulled past
// the opposite one.
struct StretchBounds {
    int left = 0, top = 0, width = 0, height = 0;
    QPoint handle;
};
// The bounds after the mouse moved (dx, dy) from where the handle `tag` (0-7) was taken. Corners
// keep the start ratio `ratio` (width / height); `heightDrives` when the layer is taller than wide.
StretchBounds Stretch(int tag, const StretchBounds& start, double ratio, bool heightDrives, int dx, int dy);

// The picture turned by `angle` radians (clockwise on screen), every target pixel sampled back
// from the source so that nothing is left unpainted; uncovered corners take `fill`.
QImage RotateBitmap(const QImage& source, QRgb fill, double angle);
// The size RotateBitmap gives.
QSize RotatedSize(QSize source, double angle);

QImage FlipBitmap(const QImage& source, bool vertical);

// The smallest rectangle holding every pixel that is not `transparent`; empty when none is.
QRect ContentBox(const QImage& picture, QRgb transparent);

} // namespace LayerTransform
