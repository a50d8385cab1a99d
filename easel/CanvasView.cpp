#include "CanvasView.h"

#include "PointerPixel.h"

#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace CanvasView {

int ImageToScreen(int v, int zoom) {
    // The product is a 32-bit integer; the quotient is rounded half to even exactly, in integers.
    const qint64 n = qint32(quint32(v) * quint32(zoom));
    qint64 q = n / 100, r = n % 100;
    if (r < 0) {
        r += 100;
        --q;
    }
    if (r > 50 || (r == 50 && (q & 1))) ++q;
    return int(q);
}

int ScreenToImage(int v, int zoom) {
    if (zoom == 0) return 0;
    return int(qint64(v) * 100 / zoom);
}

QPoint ScreenToImagePoint(QPoint p, int zoom) {
    return {ScreenToImage(p.x(), zoom), ScreenToImage(p.y(), zoom)};
}

namespace {

// x / y rounded toward minus infinity, and toward plus infinity (y > 0).
qint64 floorDiv(qint64 x, qint64 y)
{
    return x / y - (x % y < 0 ? 1 : 0);
}

qint64 ceilDiv(qint64 x, qint64 y)
{
    return x / y + (x % y > 0 ? 1 : 0);
}

int viewCoordinateAt(double exact, int zoom)
{
    const int under = PointerPixel::pictureCoordinate(exact);
    if (zoom <= 0)
        return under;
    const qint64 c = PointerPixel::pictureCoordinate(exact, zoom);
    // The view coordinates v with ScreenToImage(v) == c: v x 100 / zoom truncated toward zero.
    const qint64 lowest = c >= 0 ? ceilDiv(c * zoom, 100) : floorDiv((c - 1) * zoom, 100) + 1;
    const qint64 highest = c >= 0 ? ceilDiv((c + 1) * zoom, 100) - 1 : floorDiv(c * zoom, 100);
    if (lowest > highest)
        return under;
    return int(std::clamp<qint64>(under, lowest, highest));
}

} // namespace

QPoint ViewPointAt(QPointF exact, int zoom)
{
    return {viewCoordinateAt(exact.x(), zoom), viewCoordinateAt(exact.y(), zoom)};
}

Bounds ScreenToImageRect(const Bounds& r, int zoom) {
    return {ScreenToImage(r.left, zoom), ScreenToImage(r.top, zoom), ScreenToImage(r.right, zoom),
            ScreenToImage(r.bottom, zoom)};
}

int clampZoom(int zoom) {
    return std::clamp(zoom, MinZoom, MaxZoom);
}

QSize zoomedSize(QSize canvas, int zoom) {
    return {ImageToScreen(canvas.width(), zoom), ImageToScreen(canvas.height(), zoom)};
}

int scrollAfterZoom(int keptPosition, int oldExtent, int newExtent, int positionAfterResize) {
    if (positionAfterResize <= 0) return positionAfterResize;
    return keptPosition + (newExtent - oldExtent) / 2;
}

QSize clampCanvasSize(QSize size) {
    return {std::clamp(size.width(), MinCanvasWidth, MaxCanvasWidth),
            std::clamp(size.height(), MinCanvasHeight, MaxCanvasHeight)};
}

std::vector<int> gridLines(int canvasExtent, int cellSize, int zoom) {
    std::vector<int> lines;
    if (cellSize < 1 || canvasExtent < 0) return lines;
    const int count = canvasExtent / cellSize;
    lines.reserve(size_t(count) + 1);
    for (int i = 0; i <= count; ++i)
        lines.push_back(ImageToScreen(i * cellSize, zoom) - 1);
    return lines;
}

WheelAction wheelAction(QPoint pointer, QSize box, int delta, QPoint scroll, QPoint maxScroll) {
    const int w = box.width(), h = box.height();
    const bool left = pointer.x()<w / 3, right = pointer.x()> w - w / 3;
    const bool top = pointer.y()<h / 3, bottom = pointer.y()> h - h / 3;
    const bool forward = delta > 0, back = delta < 0;
    const bool canUp = scroll.y() > 0, canDown = scroll.y() < maxScroll.y();
    const bool canLeft = scroll.x() > 0, canRight = scroll.x() < maxScroll.x();

    WheelAction action;
    if ((left && top) || (right && bottom)) {
        if (forward && canUp && canLeft)
            action.keys = {Arrow::Up, Arrow::Left};
        else if (back && canDown && canRight)
            action.keys = {Arrow::Down, Arrow::Right};
    } else if ((left && bottom) || (right && top)) {
        if (forward && canUp && canRight)
            action.keys = {Arrow::Up, Arrow::Right};
        else if (back && canDown && canLeft)
            action.keys = {Arrow::Down, Arrow::Left};
    } else if (left || right) {
        action.keys = {forward ? Arrow::Left : Arrow::Right};
    } else if (top || bottom) {
        action.keys = {forward ? Arrow::Up : Arrow::Down};
    } else {
        action.zoomDirection = forward ? 1 : -1;
    }
    return action;
}

QPoint autoScrollDelta(QPoint p, QSize client) {
    QPoint d;
    if (p.x() < 0)
        d.rx() = -1;
    else if (p.x() > client.width())
        d.rx() = 1;
    if (p.y() < 0)
        d.ry() = -1;
    else if (p.y() > client.height())
        d.ry() = 1;
    return d;
}

QImage whiteSeeThrough(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
    }
    return out;
}

namespace {

// The canvas pixels [first, last) that cover view pixels [from, to) at a scale, with a pixel to
// spare on each side so that rounding never leaves a seam.
std::pair<int, int> sourceSpan(int from, int to, double scale, int extent) {
    const int first = std::clamp(int(std::floor(from / scale)) - 1, 0, extent);
    const int last = std::clamp(int(std::ceil(to / scale)) + 1, 0, extent);
    return {first, last};
}

// A copy of part of the canvas in which transparent white lets what lies beneath show through.
QImage keyedOutWhite(const QImage& canvas, const QRect& part) {
    return whiteSeeThrough(canvas.copy(part));
}

// The grid, dotted (one pixel on, one off, on at even view coordinates so that partial repaints
// keep the dots where a full one puts them), darkening what lies beneath: pen AND screen, so it
// shows on any colour but black. `buffer` holds the view from `origin` on.
void applyGrid(QImage& buffer, QPoint origin, const ViewState& s) {
    const QRgb pen = s.gridColour | 0xFF000000;
    const QRect area(origin, buffer.size());
    for (int y : gridLines(s.canvas->height(), s.gridCellHeight, s.zoom)) {
        if (y < area.top() || y > area.bottom()) continue;
        QRgb* line = reinterpret_cast<QRgb*>(buffer.scanLine(y - origin.y()));
        for (int x = area.left() + (area.left() & 1); x <= area.right(); x += 2)
            line[x - origin.x()] &= pen;
    }
    std::vector<int> columns;
    for (int x : gridLines(s.canvas->width(), s.gridCellWidth, s.zoom))
        if (x >= area.left() && x <= area.right()) columns.push_back(x - origin.x());
    if (columns.empty()) return;
    for (int y = area.top() + (area.top() & 1); y <= area.bottom(); y += 2) {
        QRgb* line = reinterpret_cast<QRgb*>(buffer.scanLine(y - origin.y()));
        for (int x : columns)
            line[x] &= pen;
    }
}

void paintRange(QPainter& p, const ViewState& s) {
    QPen pen(QColor(255, 0, 0), 1);
    pen.setCosmetic(true);
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    p.setBrush(Qt::NoBrush);
    if (s.freeForm && s.selectionPoints && !s.selectionPoints->empty()) {
        pen.setDashPattern({6.0, 2.0});
        p.setPen(pen);
        const std::vector<QPoint>& pts = *s.selectionPoints;
        // Every other segment, starting with the second point to the third.
        for (size_t i = 2; i < pts.size(); i += 2)
            p.drawLine(pts[i - 1], pts[i]);
    } else {
        pen.setDashPattern({1.0, 1.0});
        p.setPen(pen);
        const Bounds& r = s.selectionRect;
        p.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// White ground, tracing picture and the stretched canvas.
void paintPictures(QPainter& p, const ViewState& s, const QRect& exposed) {
    p.save();
    p.setClipRect(exposed);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.fillRect(exposed, Qt::white);

    const QImage& canvas = *s.canvas;
    const double sx = double(s.box.width()) / canvas.width();
    const double sy = double(s.box.height()) / canvas.height();
    const auto [cx0, cx1] = sourceSpan(exposed.left(), exposed.right() + 1, sx, canvas.width());
    const auto [cy0, cy1] = sourceSpan(exposed.top(), exposed.bottom() + 1, sy, canvas.height());
    const QRect part(cx0, cy0, cx1 - cx0, cy1 - cy0);

    const bool tracing = s.tracing && !s.tracing->isNull() && s.tracingShown;
    if (tracing) {
        const QPoint o = s.tracingOrigin;
        const QRect target(QPoint(ImageToScreen(o.x(), s.zoom), ImageToScreen(o.y(), s.zoom)),
                           QPoint(ImageToScreen(s.tracing->width() + o.x(), s.zoom) - 1,
                                  ImageToScreen(s.tracing->height() + o.y(), s.zoom) - 1));
        p.drawImage(target, *s.tracing);
    }
    if (!part.isEmpty()) {
        // One transform for the whole canvas, so every partial repaint maps pixels the same way.
        p.setTransform(QTransform::fromScale(sx, sy), true);
        if (tracing)
            p.drawImage(part.topLeft(), keyedOutWhite(canvas, part));
        else
            p.drawImage(part.topLeft(), canvas, part);
    }
    p.restore();
}

} // namespace

void paint(QPainter& p, const ViewState& s, const QRect& exposedRect) {
    const QRect exposed = exposedRect.intersected(QRect(QPoint(0, 0), s.box));
    if (exposed.isEmpty() || !s.canvas || s.canvas->isNull()) return;
    if (!s.gridShown) {
        paintPictures(p, s, exposed);
    } else {
        // The grid is drawn on the pixels themselves, which the screen's painter does not offer.
        QImage buffer(exposed.size(), QImage::Format_RGB32);
        {
            QPainter bp(&buffer);
            bp.translate(-exposed.topLeft());
            paintPictures(bp, s, exposed);
        }
        applyGrid(buffer, exposed.topLeft(), s);
        p.drawImage(exposed.topLeft(), buffer);
    }
    if (s.rangeShown) {
        p.save();
        p.setClipRect(exposed);
        paintRange(p, s);
        p.restore();
    }
}

void BlendFaint(QImage& dest, QPoint at, QRgb skipColour, QRgb weights, QImage source)
{
    const QRect area = source.rect().translated(at) & dest.rect();
    if (area.isEmpty())
        return;
    dest = dest.convertToFormat(QImage::Format_RGB32);
    source = source.convertToFormat(QImage::Format_RGB32);
    const QRgb skip = skipColour & RGB_MASK;
    // One table per channel of every (dest, source) pair, so a pixel costs three look-ups; x / 255
    // without a division, exact for every x up to 255 x 255.
    auto div255 = [](quint32 x) { return (x + 1 + (x >> 8)) >> 8; };
    std::vector<uchar> tables(3 * 65536);
    const quint32 w[3] = {quint32(qRed(weights)), quint32(qGreen(weights)), quint32(qBlue(weights))};
    for (int k = 0; k < 3; ++k) {
        uchar* t = tables.data() + k * 65536;
        if (k > 0 && w[k] == w[k - 1]) {
            std::copy_n(t - 65536, 65536, t);
            continue;
        }
        for (quint32 o = 0; o < 256; ++o)
            for (quint32 c = 0; c < 256; ++c)
                t[o << 8 | c] = uchar(div255(w[k] * o + (255 - w[k]) * c));
    }
    const uchar *tr = tables.data(), *tg = tr + 65536, *tb = tg + 65536;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* d = reinterpret_cast<QRgb*>(dest.scanLine(y)) + area.left();
        const auto* s = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y())) + (area.left() - at.x());
        for (int i = 0, n = area.width(); i < n; ++i) {
            const QRgb c = s[i] & RGB_MASK, o = d[i];
            if (c == skip)
                continue;
            d[i] = 0xFF000000u | quint32(tr[qRed(o) << 8 | qRed(c)]) << 16 | quint32(tg[qGreen(o) << 8 | qGreen(c)]) << 8
                   | tb[qBlue(o) << 8 | qBlue(c)];
        }
    }
}

} // namespace CanvasView
