#include "CutView.h"

#include "JpegPicture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// a * num / den rounded, at least 1: the side that a fit does not set, in exact arithmetic, so
// that a picture of the frame's proportions fills the frame without a lost pixel.
int proportional(int a, int num, int den)
{
    const qint64 v = (qint64(a) * num * 2 + den) / (qint64(den) * 2);
    return int(std::clamp<qint64>(v, 1, std::numeric_limits<int>::max()));
}

// The source pixels (and their weights) that make up each display coordinate along one axis.
struct Taps {
    std::vector<int> first; // per display coordinate, into index/weight
    std::vector<int> index;
    std::vector<float> weight;
    int lo = std::numeric_limits<int>::max();
    int hi = -1;

    void add(int i, float w)
    {
        index.push_back(i);
        weight.push_back(w);
        lo = std::min(lo, i);
        hi = std::max(hi, i);
    }
};

// Display coordinates from .. to-1 of an axis stretched from `source` to `display` pixels. Each
// coordinate's taps depend on that coordinate alone, never on the range asked for.
Taps taps(int source, int display, int from, int to)
{
    Taps t;
    t.first.reserve(size_t(to - from) + 1);
    for (int d = from; d < to; ++d) {
        t.first.push_back(int(t.index.size()));
        if (display <= source) {
            // Shrinking: the area average over [d, d+1) * source / display, in units where one
            // source pixel is `display` wide, so the overlaps are whole numbers.
            const qint64 a = qint64(d) * source;
            const qint64 b = a + source;
            for (qint64 i = a / display; i * display < b; ++i) {
                const qint64 overlap = std::min(b, (i + 1) * display) - std::max(a, i * display);
                t.add(int(i), float(double(overlap) / double(source)));
            }
        } else {
            // Growing: linear between the two nearest pixel centres.
            const double u = (d + 0.5) * double(source) / double(display) - 0.5;
            const int i0 = int(std::floor(u));
            const float f = float(u - i0);
            const int a = std::clamp(i0, 0, source - 1);
            const int b = std::clamp(i0 + 1, 0, source - 1);
            if (a == b || f == 0.0f) {
                t.add(a, 1.0f);
            } else {
                t.add(a, 1.0f - f);
                t.add(b, f);
            }
        }
    }
    t.first.push_back(int(t.index.size()));
    return t;
}

inline int channel(float v) { return std::clamp(int(v + 0.5f), 0, 255); }

} // namespace

CutView::CutView() { resetView(); }

void CutView::setZoomPosition(int percent) { m_zoomPosition = std::clamp(percent, MinZoom, MaxZoom); }

void CutView::setZoomIncrement(int increment) { m_zoomIncrement = increment >= 10 ? 10 : 1; }

void CutView::setFramePos(QPoint pos)
{
    m_frame.moveTopLeft({std::clamp(pos.x(), 0, MaxFramePosition), std::clamp(pos.y(), 0, MaxFramePosition)});
}

void CutView::setFrameSize(QSize size)
{
    m_frame.setSize({std::clamp(size.width(), MinFrameSide, MaxFrameSide),
                     std::clamp(size.height(), MinFrameSide, MaxFrameSide)});
}

void CutView::setViewport(QSize size)
{
    m_viewport = size.expandedTo({0, 0});
    setScroll(m_scroll);
}

void CutView::setScroll(QPoint pos)
{
    const QPoint max = scrollMaximum();
    m_scroll = {std::clamp(pos.x(), 0, max.x()), std::clamp(pos.y(), 0, max.y())};
}

QSize CutView::contentSize() const
{
    QSize size(m_frame.right() + 1, m_frame.bottom() + 1);
    if (!m_display.isEmpty())
        size = size.expandedTo({m_picture.x() + m_display.width(), m_picture.y() + m_display.height()});
    return size;
}

QPoint CutView::scrollMaximum() const
{
    const QSize content = contentSize();
    return {std::max(0, content.width() - m_viewport.width()), std::max(0, content.height() - m_viewport.height())};
}

CutView::ViewState CutView::state() const { return {m_zoomPosition, m_frame.topLeft(), m_scroll, m_picture}; }

void CutView::resetView()
{
    m_scroll = {0, 0};
    m_zoomPosition = 100;
    m_frame.moveTopLeft({0, 0});
    if (m_frame.isEmpty())
        m_frame.setSize({400, 225});
    m_picture = {0, 0};
    m_display = {};
    m_cutInEffect = false;
    m_dragging = false;
    m_undoView = state();
}

void CutView::redisplay(QSize picture, Fit fit)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return;
    const int pw = picture.width();
    const int ph = picture.height();
    const int fw = m_frame.width();
    const int fh = m_frame.height();
    // The exact fit zooms by the frame's longer side and stretches the other side to the frame.
    const bool byWidth = fit == Fit::Width || (fit == Fit::Exact && fw >= fh);
    switch (fit) {
    case Fit::None:
        m_zoomValue = float(m_zoomPosition);
        m_display = {std::max(1, int(qint64(pw) * m_zoomPosition / 100)),
                     std::max(1, int(qint64(ph) * m_zoomPosition / 100))};
        return;
    case Fit::Width:
    case Fit::Height:
    case Fit::Exact:
        break;
    }
    if (byWidth) {
        m_zoomValue = float(double(fw) * 100.0 / double(pw));
        m_display = {fw, fit == Fit::Exact ? fh : proportional(ph, fw, pw)};
    } else {
        m_zoomValue = float(double(fh) * 100.0 / double(ph));
        m_display = {fit == Fit::Exact ? fw : proportional(pw, fh, ph), fh};
    }
    setZoomPosition(int(std::min(m_zoomValue, float(MaxZoom))));
    m_picture = m_frame.topLeft();
}

void CutView::stepZoom(int direction, QSize picture)
{
    setZoomPosition(m_zoomPosition + (direction < 0 ? -m_zoomIncrement : m_zoomIncrement));
    redisplay(picture);
}

QImage CutView::cut(const QImage& picture)
{
    if (picture.isNull())
        return {};
    m_undoView = state();
    QImage result = render(picture, m_frame);
    m_scroll = {0, 0};
    m_zoomPosition = 100;
    redisplay(result.size());
    m_picture = {0, 0};
    m_frame.moveTopLeft({0, 0});
    m_cutInEffect = true;
    return result;
}

void CutView::undo(QSize loaded)
{
    m_zoomPosition = m_undoView.zoom;
    redisplay(loaded);
    m_frame.moveTopLeft(m_undoView.frame);
    m_picture = m_undoView.picture;
    setScroll(m_undoView.scroll);
    m_cutInEffect = false;
}

bool CutView::arrow(Arrow key, bool shift)
{
    if (shift) {
        const QSize before = m_frame.size();
        switch (key) {
        case Arrow::Left:
            setFrameSize({before.width() - 1, before.height()});
            break;
        case Arrow::Right:
            setFrameSize({before.width() + 1, before.height()});
            break;
        case Arrow::Up:
            setFrameSize({before.width(), before.height() - 1});
            break;
        case Arrow::Down:
            setFrameSize({before.width(), before.height() + 1});
            break;
        }
        return m_frame.size() != before;
    }
    const QPoint at = m_frame.topLeft();
    switch (key) {
    case Arrow::Left:
        setFramePos(at - QPoint(ArrowStep, 0));
        break;
    case Arrow::Right:
        setFramePos(at + QPoint(ArrowStep, 0));
        break;
    case Arrow::Up:
        setFramePos(at - QPoint(0, ArrowStep));
        break;
    case Arrow::Down:
        setFramePos(at + QPoint(0, ArrowStep));
        break;
    }
    return false;
}

bool CutView::beginDrag(QPoint contentPos)
{
    if (!m_frame.contains(contentPos))
        return false;
    m_dragging = true;
    m_pressPos = contentPos;
    m_pressFrame = m_frame.topLeft();
    return true;
}

void CutView::dragTo(QPoint contentPos)
{
    if (m_dragging)
        setFramePos(m_pressFrame + contentPos - m_pressPos);
}

void CutView::wheel(QPoint boxPos, QSize boxSize, int delta, QSize picture)
{
    if (delta == 0)
        return;
    const int w = boxSize.width();
    const int h = boxSize.height();
    const bool left = boxPos.x() < w / 4;
    const bool right = boxPos.x() >= w - w / 4;
    const bool top = boxPos.y() < h / 4;
    const bool bottom = boxPos.y() >= h - h / 4;
    const bool up = delta > 0;
    const QPoint max = scrollMaximum();
    const auto move = [this](Arrow a, Arrow b) {
        arrow(a, false);
        arrow(b, false);
    };

    if ((left && top) || (right && bottom)) {
        if (up && m_scroll.y() > 0 && m_scroll.x() > 0)
            move(Arrow::Up, Arrow::Left);
        else if (!up && m_scroll.y() < max.y() && m_scroll.x() < max.x())
            move(Arrow::Down, Arrow::Right);
    } else if ((left && bottom) || (right && top)) {
        if (up && m_scroll.y() > 0 && m_scroll.x() < max.x())
            move(Arrow::Up, Arrow::Right);
        else if (!up && m_scroll.y() < max.y() && m_scroll.x() > 0)
            move(Arrow::Down, Arrow::Left);
    } else if (left || right) {
        arrow(up ? Arrow::Left : Arrow::Right, false);
    } else if (top || bottom) {
        arrow(up ? Arrow::Up : Arrow::Down, false);
    } else {
        stepZoom(up ? 1 : -1, picture);
    }
}

QImage CutView::stretch(const QImage& picture, QSize display, const QRect& region)
{
    if (region.isEmpty())
        return {};
    QImage out(region.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    const QRect inside = region & QRect(QPoint(0, 0), display);
    if (picture.isNull() || inside.isEmpty())
        return out;
    const QImage source = picture.format() == QImage::Format_RGB32 ? picture : JpegPicture::opaqueRgb32(picture);

    const Taps xs = taps(source.width(), display.width(), inside.left(), inside.right() + 1);
    const Taps ys = taps(source.height(), display.height(), inside.top(), inside.bottom() + 1);
    const int c0 = xs.lo;
    const int columns = xs.hi - xs.lo + 1;
    // One row of vertically weighted sums per display row, planar so the loops vectorise.
    std::vector<float> red(static_cast<size_t>(columns));
    std::vector<float> green(red.size()), blue(red.size());

    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const int k = y - inside.top();
        std::fill(red.begin(), red.end(), 0.0f);
        std::fill(green.begin(), green.end(), 0.0f);
        std::fill(blue.begin(), blue.end(), 0.0f);
        for (int t = ys.first[size_t(k)]; t < ys.first[size_t(k) + 1]; ++t) {
            const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(ys.index[size_t(t)])) + c0;
            const float w = ys.weight[size_t(t)];
            for (int c = 0; c < columns; ++c) {
                const QRgb p = line[c];
                red[size_t(c)] += w * float(qRed(p));
                green[size_t(c)] += w * float(qGreen(p));
                blue[size_t(c)] += w * float(qBlue(p));
            }
        }
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y - region.top())) + (inside.left() - region.left());
        for (int x = 0; x < inside.width(); ++x) {
            float r = 0, g = 0, b = 0;
            for (int t = xs.first[size_t(x)]; t < xs.first[size_t(x) + 1]; ++t) {
                const size_t c = size_t(xs.index[size_t(t)] - c0);
                const float w = xs.weight[size_t(t)];
                r += w * red[c];
                g += w * green[c];
                b += w * blue[c];
            }
            o[x] = qRgb(channel(r), channel(g), channel(b));
        }
    }
    return out;
}
