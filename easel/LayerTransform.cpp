#include "LayerTransform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace LayerTransform {

int HandleSize(int zoomedTwelve)
{
    return std::clamp(zoomedTwelve, 6, 12);
}

HandlePlaces PlaceHandles(const QRect& layer, int s)
{
    const int l = layer.left(), t = layer.top(), w = layer.width(), h = layer.height();
    HandlePlaces p;
    p.edges = {QPoint(l - s - 3, t + (h - s) / 2), QPoint(l + w + 3, t + (h - s) / 2),
               QPoint(l + (w - s) / 2, t - s - 3), QPoint(l + (w - s) / 2, t + h + 3)};
    p.corners = {QPoint(l - s - 2, t - s - 2), QPoint(l + w + 2, t - s - 2), QPoint(l - s - 2, t + h + 2),
                 QPoint(l + w + 2, t + h + 2)};
    return p;
}

HandlePlaces KeepInView(HandlePlaces places, const QRect& visible, int s)
{
    auto keep = [&](QPoint& p) {
        p.setX(std::max(visible.left(), std::min(p.x(), visible.right() + 1 - s)));
        p.setY(std::max(visible.top(), std::min(p.y(), visible.bottom() + 1 - s)));
    };
    for (QPoint& p : places.edges)
        keep(p);
    for (QPoint& p : places.corners)
        keep(p);
    return places;
}

namespace {

// Halves to even, as the stretch arithmetic rounds.
int roundEven(double v)
{
    return int(std::nearbyint(v));
}

} // namespace

StretchBounds Stretch(int tag, const StretchBounds& s, double r, bool heightDrives, int dx, int dy)
{
    StretchBounds b = s;
    const QPoint h = s.handle;
    switch (tag) {
    case 0:
        b.left = s.left + dx;
        b.width = s.width - dx;
        b.handle = {h.x() + dx, h.y()};
        break;
    case 1:
        b.width = s.width + dx;
        b.handle = {h.x() + dx, h.y()};
        break;
    case 2:
        b.top = s.top + dy;
        b.height = s.height - dy;
        b.handle = {h.x(), h.y() + dy};
        break;
    case 3:
        b.height = s.height + dy;
        b.handle = {h.x(), h.y() + dy};
        break;
    default: {
        // A corner keeps the ratio and the opposite corner; the longer side's movement drives.
        const bool leftSide = tag == 4 || tag == 6, topSide = tag == 4 || tag == 5;
        if (heightDrives) {
            b.height = topSide ? s.height - dy : s.height + dy;
            if (topSide)
                b.top = s.top + dy;
            b.width = roundEven(b.height * r);
            if (leftSide)
                b.left = s.left + s.width - b.width;
            const int hx = roundEven(dy * r);
            b.handle = {h.x() + (tag == 4 || tag == 7 ? hx : -hx), h.y() + dy};
        } else {
            b.width = leftSide ? s.width - dx : s.width + dx;
            if (leftSide)
                b.left = s.left + dx;
            b.height = roundEven(b.width / r);
            if (topSide)
                b.top = s.top + s.height - b.height;
            const int hy = roundEven(dx / r);
            b.handle = {h.x() + dx, h.y() + (tag == 4 || tag == 7 ? hy : -hy)};
        }
        break;
    }
    }
    return b;
}

QSize RotatedSize(QSize source, double angle)
{
    const double co = std::cos(angle), si = std::sin(angle);
    const double w = source.width(), h = source.height();
    return {int(std::nearbyint(std::abs(w * co) + std::abs(h * si))),
            int(std::nearbyint(std::abs(w * si) + std::abs(h * co)))};
}

QImage RotateBitmap(const QImage& sourceImage, QRgb fill, double angle)
{
    const QImage source = sourceImage.convertToFormat(QImage::Format_RGB32);
    const int w = source.width(), h = source.height();
    const QSize size = RotatedSize(source.size(), angle);
    QImage out(size.expandedTo({1, 1}), QImage::Format_RGB32);
    out.fill(fill);
    if (w == 0 || h == 0)
        return out;
    const long double co = std::cos(static_cast<long double>(angle));
    const long double si = std::sin(static_cast<long double>(angle));
    const long double cu = size.width() / 2.0L - 0.5L, cv = size.height() / 2.0L - 0.5L;
    // Source points in 32.32 fixed point: stepping a row adds exactly, drifting less than a
    // millionth of a pixel over the widest row, and the integer part is the floor.
    auto fixed = [](long double v) { return std::int64_t(std::floor(v * 4294967296.0L)); };
    const std::int64_t stepX = fixed(co), stepY = fixed(-si);
    const QRgb* bits = reinterpret_cast<const QRgb*>(source.constBits());
    const qsizetype stride = source.bytesPerLine() / qsizetype(sizeof(QRgb));
    for (int v = 0; v < out.height(); ++v) {
        const long double vv = v - cv;
        std::int64_t x = fixed(w / 2.0L - co * cu + si * vv);
        std::int64_t y = fixed(h / 2.0L + si * cu + co * vv);
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(v));
        for (int u = 0; u < out.width(); ++u, x += stepX, y += stepY) {
            const int sx = int(x >> 32), sy = int(y >> 32);
            if (unsigned(sx) < unsigned(w) && unsigned(sy) < unsigned(h))
                line[u] = bits[sy * stride + sx];
        }
    }
    return out;
}

QImage FlipBitmap(const QImage& source, bool vertical)
{
    return source.mirrored(!vertical, vertical);
}

QRect ContentBox(const QImage& pictureIn, QRgb transparent)
{
    const QImage picture = pictureIn.convertToFormat(QImage::Format_RGB32);
    const QRgb key = transparent & RGB_MASK;
    int left = picture.width(), right = -1, top = picture.height(), bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        int first = -1, last = -1;
        for (int x = 0; x < picture.width(); ++x)
            if ((line[x] & RGB_MASK) != key) {
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first < 0)
            continue;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace LayerTransform
