#include "CanvasScrollBox.h"

#include "CanvasView.h"
#include "PointerPixel.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

CanvasScrollBox::CanvasScrollBox(QWidget* parent) : QAbstractScrollArea(parent) {
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(CanvasView::ScrollIncrement);
    verticalScrollBar()->setSingleStep(CanvasView::ScrollIncrement);
    setFocusPolicy(Qt::StrongFocus);
}

void CanvasScrollBox::setPaintBoxSize(QSize size) {
    if (size == m_box) return;
    m_box = size;
    updateRanges();
    viewport()->update();
}

QPoint CanvasScrollBox::scrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CanvasScrollBox::setScrollPosition(QPoint position) {
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
}

QPoint CanvasScrollBox::maxScroll() const {
    return {horizontalScrollBar()->maximum(), verticalScrollBar()->maximum()};
}

QRect CanvasScrollBox::paintBoxInViewport() const {
    return QRect(-scrollPosition(), m_box);
}

void CanvasScrollBox::updatePaintBox(const QRect& part)
{
    viewport()->update(part.translated(-scrollPosition()));
}

void CanvasScrollBox::updateRanges() {
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, m_box.width() - view.width()));
    horizontalScrollBar()->setPageStep(std::max(1, view.width()));
    verticalScrollBar()->setRange(0, std::max(0, m_box.height() - view.height()));
    verticalScrollBar()->setPageStep(std::max(1, view.height()));
}

void CanvasScrollBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateRanges();
}

void CanvasScrollBox::scrollContentsBy(int dx, int dy) {
    // Only the strip that comes into view is painted anew.
    viewport()->scroll(dx, dy);
}

void CanvasScrollBox::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QPoint scroll = scrollPosition();
    const QRect exposed = event->rect();
    // The scroll box's own ground shows where the paint box does not reach.
    const QRegion outside = QRegion(exposed) - QRegion(paintBoxInViewport());
    for (const QRect& r : outside)
        p.fillRect(r, palette().color(QPalette::Window));
    if (!onPaint)
        return;
    p.translate(-scroll);
    onPaint(p, exposed.translated(scroll));
}

QPointF CanvasScrollBox::pointerOf(const QMouseEvent* event)
{
    m_lastPointer = PointerPixel::exactPosition(*event, *viewport());
    return m_lastPointer;
}

bool CanvasScrollBox::takesMouse(QPointF p) const
{
    const QPoint pixel = PointerPixel::pixelAt(p);
    return paintBoxInViewport().contains(pixel) || (takesMouseAt && takesMouseAt(viewportToPaintBox(pixel)));
}

void CanvasScrollBox::mousePressEvent(QMouseEvent* event) {
    const QPointF p = pointerOf(event);
    m_pressedOnBox = m_pressedOnBox || takesMouse(p);
    if (m_pressedOnBox && onMouseDown)
        onMouseDown(event->button(), event->modifiers(), p + scrollPosition());
}

void CanvasScrollBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = pointerOf(event);
    // A release taken by a menu never came here.
    if (event->buttons() == Qt::NoButton)
        m_pressedOnBox = false;
    const bool over = takesMouse(p);
    if ((m_pressedOnBox || over || m_overBefore) && onMouseMove)
        onMouseMove(event->modifiers(), p + scrollPosition());
    m_overBefore = over;
}

void CanvasScrollBox::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF p = pointerOf(event);
    if ((m_pressedOnBox || takesMouse(p)) && onMouseUp)
        onMouseUp(event->button(), event->modifiers(), p + scrollPosition());
    if (event->buttons() == Qt::NoButton) m_pressedOnBox = false;
}
