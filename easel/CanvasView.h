#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QtGlobal>
#include <vector>

class QPainter;

// The zoomed view of the canvas: the two coordinate conversions every tool uses, the zoom and
// canvas-size limits, scrolling, the grid, the wheel zones, and painting the view from state.
// "View" or "paint box" coordinates are those of the zoomed canvas (the paint box `Image1`),
// "canvas" coordinates are pixels of `CanvasBitmap`.
namespace CanvasView {

constexpr int MinZoom = 10, MaxZoom = 800, DefaultZoom = 100;
constexpr int MinCanvasWidth = 10, MaxCanvasWidth = 2000;
constexpr int MinCanvasHeight = 10, MaxCanvasHeight = 1500;
constexpr int CanvasSizeStep = 10;
// What one arrow key or scroll-bar arrow scrolls, in view pixels.
constexpr int ScrollIncrement = 50;
constexpr int MinGridCell = 1, MaxGridCell = 100;

// Canvas to view: v x zoom / 100 to the nearest integer, a half to the even neighbour.
int ImageToScreen(int v, int zoom);
// View to canvas: v x 100 / zoom, truncated toward zero. Not the inverse of ImageToScreen.
int ScreenToImage(int v, int zoom);
QPoint ScreenToImagePoint(QPoint p, int zoom);
// The view point the tools take for the pointer at an exact view point: the view pixel under it,
// or, where the tools' truncating conversion would give that pixel a neighbouring picture pixel,
// the nearest view pixel it gives the picture pixel under the pointer (PointerPixel). Below 100 %
// a view pixel stands for several picture pixels and not every one has a view pixel of its own.
QPoint ViewPointAt(QPointF exact, int zoom);

// A rectangle as the toolkit keeps it: right and bottom are one past the last pixel.
struct Bounds {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Bounds&) const = default;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};
Bounds ScreenToImageRect(const Bounds& r, int zoom);

int clampZoom(int zoom);
// The paint box for a canvas at a zoom.
QSize zoomedSize(QSize canvas, int zoom);

// A scroll bar after the paint box grew or shrank from oldExtent to newExtent: the position keeps
// its distance from the middle of the paint box (half the growth, truncated toward zero), unless
// the resize left it at 0.
int scrollAfterZoom(int keptPosition, int oldExtent, int newExtent, int positionAfterResize);

// The sizes the size boxes and typed sizes may give the canvas.
QSize clampCanvasSize(QSize size);

// Where the grid lines of one direction lie in view pixels: one per cell boundary from 0 to the
// canvas extent, each one pixel before the boundary (the first at -1, outside the view). A cell
// size below 1 gives no lines.
std::vector<int> gridLines(int canvasExtent, int cellSize, int zoom);

enum class Arrow { Left, Up, Right, Down };

// What a wheel turn over the view does: arrow keys (which scroll), or a zoom step.
struct WheelAction {
    std::vector<Arrow> keys;
    int zoomDirection = 0; // +1 in, -1 out, 0 none
    bool operator==(const WheelAction&) const = default;
};
// pointer: in the scroll box's coordinates; box: its size; scroll/maxScroll: both scroll bars'
// positions and maxima. The outer thirds scroll toward their side, the corners diagonally (only
// when both directions can move), the middle zooms.
WheelAction wheelAction(QPoint pointer, QSize box, int delta, QPoint scroll, QPoint maxScroll);

// Scrolling while a drag has left the view: one pixel toward each side the pointer is beyond.
QPoint autoScrollDelta(QPoint pointerInBox, QSize client);

// The picture with its pure white made see-through, as floating pictures and ghosts show it.
QImage whiteSeeThrough(const QImage& picture);

// Blends `source`, moved by `at`, into `dest` where they overlap: each channel becomes
// (w x dest + (255 - w) x source) / 255, w the channel of `weights`. Source pixels of `skipColour`
// leave dest as it is. Both end up 32 bits per pixel.
void BlendFaint(QImage& dest, QPoint at, QRgb skipColour, QRgb weights, QImage source);

// The state the view is painted from.
struct ViewState {
    const QImage* canvas = nullptr;
    int zoom = DefaultZoom;
    QSize box; // the paint box: ImageToScreen of the canvas size
    bool gridShown = false;
    int gridCellWidth = 20, gridCellHeight = 20;
    QRgb gridColour = qRgb(0xC0, 0xC0, 0xC0);
    // The faint tracing picture, shown under the canvas's transparent white.
    const QImage* tracing = nullptr;
    bool tracingShown = false;
    QPoint tracingOrigin; // canvas pixels
    // The range outline (view coordinates).
    bool rangeShown = false;
    bool freeForm = false;
    Bounds selectionRect;
    const std::vector<QPoint>* selectionPoints = nullptr;
};

// Paints the part `exposed` (view coordinates) of the view: white ground, tracing picture,
// stretched canvas, grid and range outline. Only the exposed part is drawn, so a scroll or a
// small change costs what it shows. The painter's coordinates are view coordinates.
void paint(QPainter& painter, const ViewState& state, const QRect& exposed);

} // namespace CanvasView
