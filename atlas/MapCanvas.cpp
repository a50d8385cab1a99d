#include "MapCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

MapCanvas::MapCanvas(const QImage* buffer, QWidget* parent) : QWidget(parent), m_buffer(buffer)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapCanvas::paintEvent(QPaintEvent* event)
{
    if (beforePaint)
        beforePaint();
    QPainter p(this);
    p.drawImage(event->rect(), *m_buffer, event->rect());
}

void MapCanvas::mousePressEvent(QMouseEvent* event)
{
    if (onMouseDown)
        onMouseDown(event->position().toPoint());
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove)
        onMouseMove(event->position().toPoint());
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (onMouseUp)
        onMouseUp(event->position().toPoint());
}

// Qt sends the double click in place of the second press. The form expects the double click
// followed by that press (which it then swallows), so both are handed on here, in that order:
// no later, real press is ever mistaken for it.
void MapCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (onDblClick)
        onDblClick(event->position().toPoint());
    if (onMouseDown)
        onMouseDown(event->position().toPoint());
}
