#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

// The paint box that shows the composed map picture and hands the mouse to its form.
class MapCanvas : public QWidget {
    Q_OBJECT

public:
    explicit MapCanvas(const QImage* buffer, QWidget* parent = nullptr);

    std::function<void(const QPoint&)> onMouseDown, onMouseMove, onMouseUp, onDblClick;
    // Lets the form compose the buffer just before it is shown.
    std::function<void()> beforePaint;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    const QImage* m_buffer;
};
