#include "EaselFixture.h"

#include "LayerTransform.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

namespace {

constexpr QRgb Red = 0xFFFF0000, Black = 0xFF000000, White = 0xFFFFFFFF;

double degrees(double d)
{
    return d * std::numbers::pi / 180;
}

class KeysTest : public EaselFixture {
protected:
    void SetUp() override
    {
        EaselFixture::SetUp();
        QGuiApplication::clipboard()->setImage(solidPicture({40, 20}, Red));
    }

    bool key(int k, Qt::KeyboardModifiers m = Qt::ControlModifier) { return ed().FormKeyDown(k, m); }
    // A key pressed with the view holding the keyboard, as the running program gets it: what the form
    // leaves goes on to the view.
    void pressOnView(int k, Qt::KeyboardModifiers m)
    {
        QKeyEvent press(QEvent::KeyPress, k, m);
        QCoreApplication::sendEvent(ed().ScrollBox1->viewport(), &press);
    }

    int shownHandles(const auto& set)
    {
        int n = 0;
        for (QWidget* h : set)
            n += h->isVisible();
        return n;
    }
    // A point of the view on the screen.
    QPoint onScreen(QPoint paintBox)
    {
        return ed().ScrollBox1->viewport()->mapToGlobal(paintBox - ed().ScrollBox1->scrollPosition());
    }
};

TEST_F(KeysTest, CtrlKeysActOnTheLayersAsTheyAre)
{
    // Ctrl+V shows the copied picture, then stamps it: decided by the layer, never by a menu.
    ASSERT_TRUE(key(Qt::Key_V));
    ASSERT_TRUE(ed().imPaste.Visible);
    const size_t shapes = ed().Doc.ShapeList.size();
    EXPECT_TRUE(key(Qt::Key_V));
    EXPECT_EQ(ed().Doc.ShapeList.size(), shapes + 1);
    EXPECT_TRUE(ed().imPaste.Visible);

    // The transform keys press the copied picture's mode buttons and show their handles.
    EXPECT_TRUE(key(Qt::Key_A));
    EXPECT_TRUE(ed().sbRgReform->isChecked());
    EXPECT_EQ(ed().DrawMode, 0);
    EXPECT_EQ(shownHandles(ed().imReform), 8);
    EXPECT_TRUE(key(Qt::Key_S));
    EXPECT_TRUE(ed().sbRgRotate->isChecked());
    EXPECT_EQ(shownHandles(ed().imReform), 0);
    EXPECT_EQ(shownHandles(ed().imRotate), 4);
    EXPECT_TRUE(key(Qt::Key_D));
    EXPECT_EQ(shownHandles(ed().imRotate), 0);
    EXPECT_EQ(shownHandles(ed().imReverse), 4);

    // A tool ends the mode and its handles.
    ed().sbPenClick();
    EXPECT_EQ(shownHandles(ed().imReverse), 0);

    // Ctrl+F hides the copied picture; Shift+Ctrl+V with nothing imported does nothing.
    EXPECT_TRUE(key(Qt::Key_F));
    EXPECT_FALSE(ed().imPaste.Visible);
    EXPECT_TRUE(key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(ed().imFace.Visible);

    // Undo and redo; Ctrl+Q switches the mode.
    EXPECT_TRUE(key(Qt::Key_Z));
    EXPECT_EQ(ed().Doc.ShapeList.size(), shapes);
    EXPECT_TRUE(key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(ed().Doc.ShapeList.size(), shapes + 1);
    EXPECT_TRUE(key(Qt::Key_Q));
    EXPECT_TRUE(ed().sbRange->isChecked());

    // Keys outside the table, and Delete without a range, go on to the focused control.
    EXPECT_FALSE(key(Qt::Key_B));
    EXPECT_FALSE(key(Qt::Key_Delete, Qt::NoModifier));
}

TEST_F(KeysTest, EditMenuIsThePopUpMenuRebuiltOncePerOpening)
{
    const int builds = ed().EditMenuBuilds;
    for (int i = 0; i < 2; ++i) {
        ed().mmEdit->popup({0, 0});
        QCoreApplication::processEvents();
        ed().mmEdit->hide();
    }
    EXPECT_EQ(ed().EditMenuBuilds, builds + 2);
    const QList<QAction*> items = ed().mmEdit->actions(), popup = ed().PopupMenu1->actions();
    ASSERT_EQ(items.size(), popup.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        EXPECT_TRUE(items[i]->shortcut().isEmpty());
        EXPECT_EQ(items[i]->isVisible(), popup[i]->isVisible()) << i;
        if (!popup[i]->isSeparator()) {
            EXPECT_TRUE(items[i]->text().startsWith(popup[i]->text() + u'\t')) << i;
        }
    }
    // Nothing shown, no range: the paste items offer to show, the layer and range items hide.
    EXPECT_TRUE(ed().pmPaste->isVisible());
    EXPECT_TRUE(ed().pmPaste->isEnabled());
    EXPECT_FALSE(ed().pmClose->isVisible());
    EXPECT_FALSE(ed().mmCut->isVisible());
    EXPECT_FALSE(ed().pmRotate->isVisible());
    EXPECT_FALSE(ed().pmPaste2->isEnabled());

    // A copy from the Edit menu runs the pop-up item's handler.
    ed().sbPasteShowClick();
    ed().mmEditClick();
    EXPECT_TRUE(ed().pmClose->isVisible());
    EXPECT_TRUE(ed().pmRotate->isVisible());
    const qsizetype close = ed().PopupMenu1->actions().indexOf(ed().pmClose);
    ed().mmEdit->actions()[close]->trigger();
    EXPECT_FALSE(ed().imPaste.Visible);
}

TEST_F(KeysTest, ChoosingAPopUpItemLeavesTheNextPenClickToDraw)
{
    ed().ShowPopupMenu(onScreen({50, 50}));
    QCoreApplication::processEvents();
    ed().mmSelectAll->trigger();
    ed().PopupMenu1->hide();
    EXPECT_FALSE(ed().PopupJustClosed);
}

TEST_F(KeysTest, ArrowsMoveTheLayerByOnePicturePixel)
{
    for (auto [zoom, step] : {std::pair{400, 4}, {200, 2}, {100, 1}, {50, 1}}) {
        ed().SetZoom(zoom);
        if (!ed().imPaste.Visible)
            ed().sbPasteShowClick();
        const QPoint before = ed().imPaste.Geometry.topLeft();
        ed().FormKeyDown(Qt::Key_Right, Qt::NoModifier);
        ed().FormKeyDown(Qt::Key_Down, Qt::NoModifier);
        EXPECT_EQ(ed().imPaste.Geometry.topLeft(), before + QPoint(step, step)) << zoom;
    }
    // Ctrl+arrow is no shortcut: it moves the layer as the arrow alone does, and so does Shift+arrow.
    ed().SetZoom(100);
    for (Qt::KeyboardModifiers m :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        const QPoint before = ed().imPaste.Geometry.topLeft();
        pressOnView(Qt::Key_Left, m);
        EXPECT_EQ(ed().imPaste.Geometry.topLeft(), before - QPoint(1, 0)) << m;
    }
    // Without a layer the arrows scroll, with Ctrl too; with Shift they do not, not even the view's own
    // arrow scrolling.
    ed().sbPasteShowClick();
    ed().SetZoom(400);
    QScrollBar* bar = ed().ScrollBox1->horizontalScrollBar();
    QScrollBar* down = ed().ScrollBox1->verticalScrollBar();
    bar->setValue(0);
    down->setValue(0);
    pressOnView(Qt::Key_Right, Qt::ShiftModifier);
    pressOnView(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(QPoint(bar->value(), down->value()), QPoint(0, 0));
    pressOnView(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(bar->value(), 50);
    pressOnView(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(bar->value(), 100);
}

TEST_F(KeysTest, EveryHandleOfAPictureAtTheCanvasCornerIsWithinReach)
{
    for (int zoom : {100, 200, 50}) {
        ed().SetZoom(zoom);
        if (!ed().imPaste.Visible)
            ed().sbPasteShowClick();
        ed().sbGentenClick(); // the view's top-left corner, where the handles would lie outside
        const QRect view(QPoint(0, 0), ed().ScrollBox1->viewport()->size());
        for (auto command : {&TFormPictureEditor::pmReformClick, &TFormPictureEditor::pmRotateClick,
                             &TFormPictureEditor::pmReverseClick}) {
            (ed().*command)();
            int shown = 0;
            for (auto* set : {ed().imReform.data(), ed().imRotate.data(), ed().imReverse.data()})
                for (int i = 0, n = set == ed().imReform.data() ? 8 : 4; i < n; ++i)
                    if (set[i]->isVisible()) {
                        ++shown;
                        EXPECT_TRUE(view.contains(set[i]->geometry()))
                            << zoom << " " << set[i]->objectName().toStdString();
                    }
            EXPECT_GE(shown, 4) << zoom;
        }
    }
    // Scrolled on, the picture goes partly out of the view; its handles stay in.
    ed().SetZoom(400);
    ed().ScrollBox1->setScrollPosition({0, 0});
    ed().sbGentenClick();
    ed().pmReformClick();
    ed().ScrollBox1->setScrollPosition({ed().imPaste.Geometry.width() / 2, ed().imPaste.Geometry.height() / 2});
    ASSERT_GT(ed().ScrollBox1->scrollPosition().x(), 0);
    const QRect view(QPoint(0, 0), ed().ScrollBox1->viewport()->size());
    for (QWidget* h : ed().imReform) {
        EXPECT_TRUE(h->isVisible());
        EXPECT_TRUE(view.contains(h->geometry())) << h->objectName().toStdString();
    }
}

// A turn in an edge zone is that arrow key for the form, whatever control has the keyboard: it
// moves the floating picture shown, else scrolls.
TEST_F(KeysTest, WheelInAnEdgeZoneIsTheArrowKeyNeverABoxs)
{
    ed().SetZoom(400);
    ed().sbPasteShowClick();
    const QRect layer = ed().imPaste.Geometry;
    ed().udWidth->setFocus();
    const int width = ed().udWidth->value();
    QScrollBar* bar = ed().ScrollBox1->verticalScrollBar();
    bar->setValue(0);
    QWidget* view = ed().ScrollBox1->viewport();
    // The lower middle of the view is Down.
    const QPoint at(view->width() / 2, view->height() - 5);
    auto turn = [&] {
        QWheelEvent wheel(at, view->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QCoreApplication::sendEvent(view, &wheel);
    };
    turn();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(ed().imPaste.Geometry, layer.translated(0, 4));
    EXPECT_EQ(ed().udWidth->value(), width);
    ed().sbPasteShowClick();
    turn();
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(ed().udWidth->value(), width);
}

TEST_F(KeysTest, HandlesFollowTheZoom)
{
    ed().sbPasteShowClick();
    // Clear of the view's edges, where the handles would be kept in.
    ed().MoveLayer(ed().imPaste, {60, 60});
    for (auto [zoom, size] : {std::pair{50, 6}, {75, 9}, {100, 12}, {400, 12}}) {
        ed().SetZoom(zoom);
        ed().pmReformClick();
        const QRect g = ed().imPaste.Geometry.translated(-ed().ScrollBox1->scrollPosition());
        EXPECT_EQ(ed().imReform[0]->size(), QSize(size, size)) << zoom;
        EXPECT_EQ(ed().imReform[0]->pos(), QPoint(g.left() - size - 3, g.top() + (g.height() - size) / 2));
        EXPECT_EQ(ed().imReform[7]->pos(), QPoint(g.right() + 1 + 2, g.bottom() + 1 + 2));
    }
}

TEST_F(KeysTest, StretchingPastTheOppositeEdgeMirrorsTheLayer)
{
    QImage picture = solidPicture({40, 20}, White);
    picture.setPixel(0, 0, Black);
    QGuiApplication::clipboard()->setImage(picture);
    ed().sbPasteShowClick();
    ed().pmReformClick();
    const QRect g = ed().imPaste.Geometry;
    const QPoint start = onScreen({0, 0});
    ed().imReformHLMouseDown(0, Qt::LeftButton, start);
    ed().imReformHLMouseMove(start + QPoint(60, 0));
    ed().imReformHLMouseUp();
    EXPECT_EQ(ed().imPaste.Geometry, QRect(g.right() + 1, g.top(), 20, 20));
    EXPECT_EQ(ed().imPaste.Picture.pixel(39, 0) | Black, Black) << "mirrored left-right";
    EXPECT_EQ(ed().LayerSize[1], QSize(20, 20));

    // Pulled flat, the layer keeps a pixel.
    ed().imReformHLMouseDown(3, Qt::LeftButton, start);
    ed().imReformHLMouseMove(start + QPoint(0, -20));
    ed().imReformHLMouseUp();
    EXPECT_EQ(ed().imPaste.Geometry.height(), 1);
    ed().sbPasteByougaClick();
}

TEST_F(KeysTest, RotatingByAHandleTurnsInFiveDegreeStepsAndTrims)
{
    QGuiApplication::clipboard()->setImage(solidPicture({100, 50}, Black));
    ed().sbPasteShowClick();
    ed().pmRotateClick();
    const QPoint centre = onScreen(ed().imPaste.Geometry.center() + QPoint(1, 1));
    const QPoint start = centre + QPoint(100, 0);
    ed().imRotateRTMouseDown(0, Qt::LeftButton, start);
    // Four degrees turns nothing.
    ed().imRotateRTMouseMove(
        centre + QPoint(int(std::lround(100 * std::cos(degrees(4)))), int(std::lround(100 * std::sin(degrees(4))))));
    EXPECT_EQ(ed().imPaste.Geometry.size(), QSize(100, 50));
    ed().imRotateRTMouseMove(centre + QPoint(0, 100));
    ed().imRotateRTMouseUp();
    // A quarter turn clockwise, trimmed to what it shows.
    EXPECT_EQ(ed().imPaste.Geometry.size(), QSize(50, 100));
    EXPECT_EQ(ed().LayerLastOperation[1], 3);
    EXPECT_EQ(ed().LayerSize[1], QSize(50, 100));

    // A stretch in between: the next turn starts afresh from the picture at its own pixel size.
    ed().pmReformClick();
    const QPoint grip = onScreen({0, 0});
    ed().imReformHLMouseDown(1, Qt::LeftButton, grip);
    ed().imReformHLMouseMove(grip + QPoint(50, 0));
    ed().imReformHLMouseUp();
    EXPECT_EQ(ed().imPaste.Geometry.size(), QSize(100, 100));
    EXPECT_EQ(ed().LayerLastOperation[1], 2);
    ed().pmRotateClick();
    const QPoint middle = onScreen(ed().imPaste.Geometry.center() + QPoint(1, 1));
    ed().imRotateRTMouseDown(0, Qt::LeftButton, middle + QPoint(100, 0));
    ed().imRotateRTMouseMove(middle + QPoint(0, 100));
    ed().imRotateRTMouseUp();
    EXPECT_EQ(ed().RotationSource[1].size(), QSize(50, 100));
    EXPECT_NEAR(ed().LayerAngle[1], degrees(90), 1e-9);
    EXPECT_EQ(ed().imPaste.Geometry.size(), QSize(100, 50));
}

// The turned picture's pixels are picture pixels at any zoom: a quarter turn of a 100 x 50 picture
// stamps 50 x 100, and a stretch handle let go where it was taken keeps the size.
TEST_F(KeysTest, ZoomNeverSizesATurnOrAnUntouchedStretch)
{
    QGuiApplication::clipboard()->setImage(solidPicture({100, 50}, Black));
    for (int zoom : {200, 150, 130, 50}) {
        ed().SetZoom(zoom);
        if (ed().imPaste.Visible)
            ed().sbPasteShowClick();
        ed().sbPasteShowClick();
        ed().pmRotateClick();
        const QRect g = ed().imPaste.Geometry;
        const QPoint centre = onScreen(QPoint(g.left() + g.width() / 2, g.top() + g.height() / 2));
        ed().imRotateRTMouseDown(0, Qt::LeftButton, centre + QPoint(100, 0));
        ed().imRotateRTMouseMove(centre + QPoint(0, 100));
        ed().imRotateRTMouseUp();
        ed().pmReformClick();
        const QPoint grip = onScreen(ed().imPaste.Geometry.topLeft());
        ed().imReformHLMouseDown(5, Qt::LeftButton, grip);
        ed().imReformHLMouseUp();
        EXPECT_EQ(ed().LayerSize[1], QSize(50, 100)) << zoom;
        ed().sbPasteByougaClick();
        EXPECT_EQ(ed().StampBitmap.size(), QSize(50, 100)) << zoom;
    }
}

TEST(LayerTransformTest, RotatedSizes)
{
    using LayerTransform::RotatedSize;
    EXPECT_EQ(RotatedSize({100, 50}, degrees(5)), QSize(104, 59));
    EXPECT_EQ(RotatedSize({100, 50}, degrees(90)), QSize(50, 100));
    EXPECT_EQ(RotatedSize({100, 50}, degrees(45)), QSize(106, 106));
    EXPECT_EQ(LayerTransform::RotateBitmap(QImage(), White, 1).size(), QSize(1, 1));
}

TEST(LayerTransformTest, RotationKeepsThePictureWholeAndZeroIsExact)
{
    const QImage source = patternPicture({60, 40});
    EXPECT_EQ(LayerTransform::RotateBitmap(source, White, 0), source);
    // Every target pixel is mapped back: no hole of fill colour inside a solid picture.
    const QImage solid = solidPicture({200, 120}, Black);
    const QImage turned = LayerTransform::RotateBitmap(solid, White, degrees(30));
    const QPointF c(turned.width() / 2.0, turned.height() / 2.0);
    for (int y = 0; y < turned.height(); ++y)
        for (int x = 0; x < turned.width(); ++x)
            if (std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y()) < 58) {
                ASSERT_EQ(turned.pixel(x, y), Black) << x << "," << y;
            }
}

TEST(LayerTransformTest, FlippingTwiceIsTheIdentity)
{
    const QImage source = patternPicture({31, 17});
    for (bool vertical : {false, true}) {
        const QImage once = LayerTransform::FlipBitmap(source, vertical);
        EXPECT_NE(once, source);
        EXPECT_EQ(LayerTransform::FlipBitmap(once, vertical), source);
    }
}

TEST(LayerTransformTest, CornersFollowTheLongerSide)
{
    const LayerTransform::StretchBounds start{10, 10, 80, 120, {92, 132}};
    // Taller than wide: only dy counts, the ratio holds, the top-left stays.
    LayerTransform::StretchBounds b = LayerTransform::Stretch(7, start, 80.0 / 120, true, 50, 30);
    EXPECT_EQ(b.height, 150);
    EXPECT_EQ(b.width, 100);
    EXPECT_EQ(QPoint(b.left, b.top), QPoint(10, 10));
    EXPECT_EQ(b.handle, QPoint(112, 162));
    // Wider: only dx counts; the top-left corner keeps the bottom-right fixed.
    const LayerTransform::StretchBounds wide{10, 10, 120, 80, {0, 0}};
    b = LayerTransform::Stretch(4, wide, 120.0 / 80, false, 30, 50);
    EXPECT_EQ(QSize(b.width, b.height), QSize(90, 60));
    EXPECT_EQ(QPoint(b.left + b.width, b.top + b.height), QPoint(130, 90));
}

} // namespace
