#include "MapCanvas.h"

#include <QPainter>
#include <QPaintEvent>

MapCanvas::MapCanvas(const QImage* buffer, QWidget* parent) : QWidget(parent), m_buffer(buffer)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapCanvas::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawImage(event->rect(), *m_buffer, event->rect());
}
