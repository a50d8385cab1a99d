#include "EaselFixture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

namespace {

constexpr QRgb Red = 0xFFFF0000, Blue = 0xFF0000FF;
using FloatingLayer = TFormPictureEditor::FloatingLayer;

// Everything the view was asked to repaint, in its own coordinates, until cleared.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* view)
        : m_view(view)
    {
        view->installEventFilter(this);
    }
    QRegion painted;
    // Paints what is pending and forgets it.
    void settle()
    {
        QCoreApplication::processEvents();
        m_view->repaint(QRect());
        painted = QRegion();
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }

private:
    QWidget* m_view;
};

class FloatingViewTest : public EaselFixture {
protected:
    QWidget* view() { return ed().ScrollBox1->viewport(); }
    // Where a paint-box rectangle lies in the view, as far as the view shows it.
    QRect inView(const QRect& paintBox)
    {
        return paintBox.translated(-ed().ScrollBox1->scrollPosition()).intersected(view()->rect());
    }
    QImage shown()
    {
        QCoreApplication::processEvents();
        return view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(FloatingViewTest, RepaintsOfAScrolledViewCoverWhereTheLayerWasAndIs)
{
    ed().SetCanvasSize(960, 435);
    ed().SetZoom(200);
    QGuiApplication::clipboard()->setImage(solidPicture({40, 30}, Red));
    ed().PasteOrigin = {300, 150};
    ed().sbPasteShowClick();
    ed().ScrollBox1->setScrollPosition({500, 200});
    ASSERT_EQ(ed().ScrollBox1->scrollPosition(), QPoint(500, 200));
    FloatingLayer& layer = ed().imPaste;
    ASSERT_TRUE(inView(ed().LayerArea(layer)).isValid());

    PaintRecorder recorder(view());
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"drag",
         [&] {
             const QPoint grab = layer.Geometry.center();
             ed().imFaceMouseDown(layer, Qt::LeftButton, grab);
             ed().imFaceMouseMove(grab + QPoint(37, 23), false);
             ed().imFaceMouseUp();
         }},
        {"arrow key", [&] { ed().CMDialogKey(CanvasView::Arrow::Right, {}); }},
        {"origin move", [&] { ed().sbGentenClick(); }},
        {"hide", [&] { ed().sbPasteShowClick(); }},
        {"show", [&] { ed().sbPasteShowClick(); }},
        {"flip", [&] { ed().imReverseHLMouseDown(0); }},
    };
    for (const auto& [name, step] : steps) {
        recorder.settle();
        // A hidden layer left nothing on screen.
        const QRect before = layer.Visible ? inView(ed().LayerArea(layer)) : QRect();
        step();
        QCoreApplication::processEvents();
        const QRect after = inView(ed().LayerArea(layer));
        EXPECT_TRUE(before.isEmpty() || recorder.painted.contains(before)) << name;
        EXPECT_TRUE(recorder.painted.contains(after)) << name;
    }

    // The tracing picture, dragged while it is being placed, leaves no trail.
    ed().DrawMode = TFormPictureEditor::TracingPlacing;
    ASSERT_TRUE(ed().LoadSamplePicture(writePicture(u"mihon.bmp"_s, solidPicture({30, 20}, Blue))));
    recorder.settle();
    const QPoint grab = ed().imMihon.Geometry.center();
    const QRect placed = inView(ed().LayerArea(ed().imMihon));
    ed().imMihonMouseDown(Qt::LeftButton, grab);
    ed().imMihonMouseMove(grab + QPoint(41, 17));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.painted.contains(placed));
    EXPECT_TRUE(recorder.painted.contains(inView(ed().LayerArea(ed().imMihon))));
    ed().imMihonMouseUp(Qt::LeftButton);

    // The stamp's flash ends where the layer is, not where it would be unscrolled.
    ed().sbPasteByougaClick();
    ASSERT_FALSE(layer.Flash.isNull());
    recorder.settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return layer.Flash.isNull(); }, 2000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorder.painted.contains(inView(ed().LayerArea(layer))));
}

TEST_F(FloatingViewTest, APictureBeyondTheCanvasIsShownAndDragged)
{
    ed().SetZoom(50);
    const QRect box = ed().ScrollBox1->paintBoxInViewport();
    ed().PlaceImportedPicture(solidPicture({100, 80}, Blue), QString());
    FloatingLayer& layer = ed().imFace;
    ASSERT_TRUE(layer.Visible);
    const QRect where = inView(layer.Geometry);
    ASSERT_FALSE(where.intersects(box)) << "the picture should lie beyond the canvas";

    QImage screen = shown();
    EXPECT_EQ(screen.pixel(where.center()), Blue);
    EXPECT_EQ(screen.pixel(where.topLeft() - QPoint(2, 2)), Red) << "the frame";

    // Dragged by the mouse on the bare ground beside the canvas.
    const QRect before = layer.Geometry;
    QTest::mousePress(view(), Qt::LeftButton, {}, where.center());
    QTest::mouseMove(view(), where.center() + QPoint(-30, 10));
    QTest::mouseRelease(view(), Qt::LeftButton, {}, where.center() + QPoint(-30, 10));
    EXPECT_EQ(layer.Geometry, before.translated(-30, 10));
    EXPECT_EQ(ed().LayerPos[2], QPoint(2 * layer.Geometry.left(), 2 * layer.Geometry.top()));

    // Partly over the canvas edge it shows whole, frame included.
    ed().imFaceMouseDown(layer, Qt::LeftButton, layer.Geometry.topLeft());
    ed().imFaceMouseMove(box.bottomRight() + ed().ScrollBox1->scrollPosition() - QPoint(20, 20), false);
    ed().imFaceMouseUp();
    screen = shown();
    const QRect now = inView(layer.Geometry);
    ASSERT_TRUE(now.intersects(box) && !box.contains(now));
    EXPECT_EQ(screen.pixel(now.bottomRight() - QPoint(1, 1)), Blue);
    EXPECT_EQ(screen.pixel(now.bottomRight() + QPoint(2, 2)), Red);

    // Elsewhere beyond the canvas a click draws nothing.
    ed().sbPenClick();
    const size_t shapes = ed().Doc.ShapeList.size();
    const QPoint bare(view()->width() - 5, view()->height() - 5);
    ASSERT_FALSE(now.contains(bare));
    QTest::mousePress(view(), Qt::LeftButton, {}, bare);
    QTest::mouseRelease(view(), Qt::LeftButton, {}, bare);
    EXPECT_FALSE(ed().MouseDragging);
    EXPECT_EQ(ed().Doc.ShapeList.size(), shapes);
}

TEST_F(FloatingViewTest, OnlyLinkedZoomMovesAndScalesTheImportedPicture)
{
    ed().SetCanvasSize(960, 435);
    ed().rbBairituKotei->setChecked(true);
    ed().rbBairituHendouClick();
    ed().PlaceImportedPicture(solidPicture({100, 80}, Blue), QString());
    FloatingLayer& layer = ed().imFace;
    ed().ScrollBox1->setScrollPosition({120, 60});
    const QRect onScreen = inView(layer.Geometry);
    for (int zoom : {200, 30, 150}) {
        ed().SetZoom(zoom);
        EXPECT_EQ(layer.Geometry.translated(-ed().ScrollBox1->scrollPosition()), onScreen) << zoom;
    }

    // Linked, it lies over the same canvas pixels at every zoom, at their size.
    ed().rbBairituHendou->setChecked(true);
    ed().rbBairituHendouClick();
    const QPoint pos = ed().LayerPos[2];
    const QSize size = ed().LayerSize[2];
    for (int zoom : {200, 50, 100}) {
        ed().SetZoom(zoom);
        EXPECT_EQ(layer.Geometry, QRect(ed().ImageToScreen(pos.x()), ed().ImageToScreen(pos.y()),
                                        ed().ImageToScreen(size.width()), ed().ImageToScreen(size.height())))
            << zoom;
    }
}

} // namespace
