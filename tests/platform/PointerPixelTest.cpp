#include "PointerPixel.h"

#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Display scales in per cent, so that what each device pixel must give is counted in integers.
constexpr int Scales[] = {100, 125, 150, 175, 200};
constexpr QPoint CanvasInWindow(28, 10);

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

// A mouse move as Qt 6.4 hands it to a widget: the point in the window is the device pixel's corner
// (device / scale), the widget's own position of it is rounded to a whole logical pixel.
QMouseEvent moveAtDevicePixel(QPoint device, int scale)
{
    const QPointF inWindow = QPointF(device) * 100 / scale;
    const QPointF local = inWindow - QPointF(CanvasInWindow);
    return QMouseEvent(QEvent::MouseMove, local.toPoint(), inWindow, inWindow, Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
}

TEST(PointerPixel, EveryDevicePixelOfARowGivesThePixelUnderIt)
{
    QWidget window;
    auto* canvas = new QWidget(&window);
    canvas->setGeometry(QRect(CanvasInWindow, QSize(960, 435)));
    for (int scale : Scales) {
        const int row = 57;
        for (int x = 0; x < 1000 * scale / 100; ++x) {
            const QMouseEvent e = moveAtDevicePixel({x, row}, scale);
            const QPoint want(int(floorDiv(100 * x - CanvasInWindow.x() * scale, scale)),
                              int(floorDiv(100 * row - CanvasInWindow.y() * scale, scale)));
            ASSERT_EQ(PointerPixel::pixelAt(PointerPixel::exactPosition(e, *canvas)), want)
                << "device pixel " << x << " at " << scale << " %";
        }
    }
}

TEST(PointerPixel, ThePicturePixelUnderThePointerAfterZoomAndScroll)
{
    for (int scale : Scales)
        for (int zoom : {10, 50, 75, 100, 150, 200, 333, 800})
            for (int scroll : {0, 37})
                for (int x = -40; x < 2000; ++x) {
                    const QPointF exact(x * 100.0 / scale, 0);
                    // The device pixel's corner in the picture: (x / scale + scroll) / zoom.
                    const qint64 want =
                        floorDiv((100 * qint64(x) + scale * qint64(scroll)) * 100, qint64(scale) * zoom);
                    ASSERT_EQ(PointerPixel::picturePixel(exact, zoom, QPointF(scroll, 0)).x(), want)
                        << "device pixel " << x << " at " << scale << " %, zoom " << zoom << ", scroll " << scroll;
                }
}

TEST(PointerPixel, AnEventWithoutAPlaceInTheWindowIsTakenWhereItSays)
{
    QWidget window;
    auto* canvas = new QWidget(&window);
    canvas->setGeometry(QRect(CanvasInWindow, QSize(960, 435)));
    // Made by a program: its point in the window is its own position.
    const QMouseEvent made(QEvent::MouseButtonPress, QPointF(40, 20), QPointF(40, 20), Qt::LeftButton, Qt::LeftButton,
                           Qt::NoModifier);
    EXPECT_EQ(PointerPixel::exactPosition(made, *canvas), QPointF(40, 20));
    EXPECT_EQ(PointerPixel::exactPosition(made, window), QPointF(40, 20));
}

} // namespace
