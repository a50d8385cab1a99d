#pragma once

#include <QImage>
#include <QWidget>

// The paint box that shows the composed map picture; the form composes, the box only shows.
class MapCanvas : public QWidget {
    Q_OBJECT

public:
    explicit MapCanvas(const QImage* buffer, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* m_buffer;
};
