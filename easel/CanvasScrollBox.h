#pragma once

#include <QAbstractScrollArea>
#include <QPointF>
#include <QSize>
#include <functional>

class QPainter;

// The scroll box `ScrollBox1` with the paint box `Image1` inside it. The paint box is the zoomed
// canvas; it is not a widget of its own: its size sets the scroll ranges, and the viewport
// paints the part of it that is in view. Paint-box coordinates are viewport coordinates plus the
// scroll position.
class CanvasScrollBox : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CanvasScrollBox(QWidget* parent = nullptr);

    QSize paintBoxSize() const { return m_box; }
    // Resizes the paint box; the scroll ranges follow at once, so positions can be set right after.
    void setPaintBoxSize(QSize size);

    QPoint scrollPosition() const;
    void setScrollPosition(QPoint position);
    QPoint maxScroll() const;
    // The paint box's rectangle in viewport coordinates.
    QRect paintBoxInViewport() const;
    QPoint viewportToPaintBox(QPoint p) const { return p + scrollPosition(); }
    // Repaints a part given in paint-box coordinates, wherever the view is scrolled.
    void updatePaintBox(const QRect& part);

    // Paints part of the view, given in paint-box coordinates (the painter is set up for them).
    // The part may reach beyond the paint box, where the ground is already filled: floating
    // pictures lie over the whole view.
    std::function<void(QPainter&, const QRect&)> onPaint;
    // Mouse on the paint box, at the pointer's exact point in paint-box coordinates (fractions of a
    // logical pixel on a scaled display, PointerPixel); beyond the box only where `takesMouseAt`
    // says something lies that takes the mouse. A drag that started there goes on wherever it goes.
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, QPointF)> onMouseDown, onMouseUp;
    std::function<void(Qt::KeyboardModifiers, QPointF)> onMouseMove;
    // Asked with the paint-box pixel under the pointer.
    std::function<bool(QPoint)> takesMouseAt;
    // Where the last mouse event over the view or of a drag put the pointer, exactly, in paint-box
    // coordinates at the scroll position as it is now: the pointer as the view last saw it.
    QPointF lastPointer() const { return m_lastPointer + QPointF(scrollPosition()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void updateRanges();
    bool takesMouse(QPointF viewportPoint) const;
    // The event's exact point in the viewport, kept as the last one seen.
    QPointF pointerOf(const QMouseEvent* event);

    QSize m_box;
    bool m_pressedOnBox = false;
    // The last move was delivered, so the one that leaves for the bare ground is too.
    bool m_overBefore = false;
    QPointF m_lastPointer;
};
