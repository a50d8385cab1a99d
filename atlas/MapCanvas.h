#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

// The paint box that shows the composed map picture and hands the mouse to its form, as the map
// pixel under the pointer.
// A drag is one gesture: it begins with a press the form takes up (onMouseDown says so), follows
// the pointer while that button is held, and ends once, with onMouseUp, at the release of that
// button or as soon as anything else takes the mouse or the keyboard: another button, a key, a
// modal window or a menu opening, the window losing the keyboard. What comes of the gesture after
// its end (moves, the release) is nobody's.
class MapCanvas : public QWidget {
    Q_OBJECT

public:
    explicit MapCanvas(const QImage* buffer, QWidget* parent = nullptr);
    ~MapCanvas() override;

    // onMouseDown: true when the press began a drag.
    std::function<bool(const QPoint&)> onMouseDown;
    std::function<void(const QPoint&)> onMouseMove, onMouseUp, onDblClick;
    // Lets the form compose the buffer just before it is shown.
    std::function<void()> beforePaint;

    bool dragging() const { return m_dragButton != Qt::NoButton; }
    // Ends a drag under way where the pointer was last seen.
    void endDrag();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(QMouseEvent* event);
    QPoint pixelOf(const QMouseEvent* event) const;

    const QImage* m_buffer;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPoint m_lastPos;
};
