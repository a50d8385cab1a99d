#include "MapCanvas.h"

#include "PointerPixel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

MapCanvas::MapCanvas(const QImage* buffer, QWidget* parent) : QWidget(parent), m_buffer(buffer)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

MapCanvas::~MapCanvas()
{
    if (dragging())
        qApp->removeEventFilter(this);
}

void MapCanvas::paintEvent(QPaintEvent* event)
{
    if (beforePaint)
        beforePaint();
    QPainter p(this);
    // The buffer is drawn at the screen's device pixels: each device pixel of it is one of the
    // screen's, whatever the scale.
    const qreal ratio = m_buffer->devicePixelRatio();
    const QRectF part(event->rect());
    p.drawImage(part, *m_buffer, QRectF(part.topLeft() * ratio, part.size() * ratio));
}

QPoint MapCanvas::pixelOf(const QMouseEvent* event) const
{
    return PointerPixel::pixelAt(PointerPixel::exactPosition(*event, *this));
}

void MapCanvas::endDrag()
{
    if (!dragging())
        return;
    m_dragButton = Qt::NoButton;
    qApp->removeEventFilter(this);
    if (onMouseUp)
        onMouseUp(m_lastPos);
}

void MapCanvas::press(QMouseEvent* event)
{
    // Another button in the middle of a drag only ends it.
    if (dragging()) {
        endDrag();
        return;
    }
    const QPoint pos = pixelOf(event);
    if (onMouseDown && onMouseDown(pos)) {
        m_dragButton = event->button();
        m_lastPos = pos;
        // Whatever else takes the mouse or the keyboard, anywhere in the program, ends the drag.
        qApp->installEventFilter(this);
    }
}

void MapCanvas::mousePressEvent(QMouseEvent* event)
{
    press(event);
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging())
        return;
    // The button was let go where this never heard of it.
    if (!(event->buttons() & m_dragButton)) {
        endDrag();
        return;
    }
    m_lastPos = pixelOf(event);
    if (onMouseMove)
        onMouseMove(m_lastPos);
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != m_dragButton || !dragging())
        return;
    m_lastPos = pixelOf(event);
    endDrag();
}

// Qt sends the double click in place of the second press. The form expects the double click
// followed by that press (which it then swallows), so both are handed on here, in that order:
// no later, real press is ever mistaken for it.
void MapCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (dragging()) {
        endDrag();
        return;
    }
    if (onDblClick)
        onDblClick(pixelOf(event));
    press(event);
}

bool MapCanvas::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        // A modifier held on its own commands nothing.
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
            break;
        default:
            endDrag();
        }
        break;
    case QEvent::Shortcut:
        endDrag();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // The canvas's own presses come to press(); the window's copy of them is no other press.
        if (watched != this && watched->isWidgetType())
            endDrag();
        break;
    case QEvent::Show:
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow()
                                                       && (w->windowType() == Qt::Popup || w->isModal()))
            endDrag();
        break;
    case QEvent::WindowBlocked:
    case QEvent::WindowDeactivate:
        if (watched == window())
            endDrag();
        break;
    default:
        break;
    }
    return false;
}
