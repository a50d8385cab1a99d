#include "CanvasView.h"

#include "PointerPixel.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

using namespace CanvasView;

namespace {

struct ConversionCase {
    int zoom;
    int v;
    int toScreen; // ImageToScreen(v)
    int toImage;  // ScreenToImage(v)
};

class ConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, ImageToScreenRoundsHalfToEvenAndScreenToImageTruncates) {
    const ConversionCase c = GetParam();
    EXPECT_EQ(ImageToScreen(c.v, c.zoom), c.toScreen);
    EXPECT_EQ(ScreenToImage(c.v, c.zoom), c.toImage);
}

INSTANTIATE_TEST_SUITE_P(Zooms, ConversionTest,
                         ::testing::Values(
                             // 50 %: halves go to the even neighbour.
                             ConversionCase{50, 1, 0, 2}, ConversionCase{50, 3, 2, 6},
                             ConversionCase{50, 5, 2, 10}, ConversionCase{50, 7, 4, 14},
                             ConversionCase{50, 0, 0, 0}, ConversionCase{50, -5, -2, -10},
                             ConversionCase{50, -7, -4, -14},
                             // 100 %: both are the identity.
                             ConversionCase{100, 0, 0, 0}, ConversionCase{100, 37, 37, 37},
                             ConversionCase{100, -37, -37, -37}, ConversionCase{100, 2000, 2000, 2000},
                             // 150 %: 1 -> 1.5 -> 2, but 1 view pixel is 0.67 canvas pixels -> 0.
                             ConversionCase{150, 1, 2, 0}, ConversionCase{150, 2, 3, 1},
                             ConversionCase{150, 3, 4, 2}, ConversionCase{150, 5, 8, 3},
                             ConversionCase{150, 600, 900, 400}, ConversionCase{150, -1, -2, 0},
                             ConversionCase{150, -3, -4, -2},
                             // 200 %.
                             ConversionCase{200, 1, 2, 0}, ConversionCase{200, 3, 6, 1},
                             ConversionCase{200, 7, 14, 3}, ConversionCase{200, -3, -6, -1},
                             // 800 %.
                             ConversionCase{800, 1, 8, 0}, ConversionCase{800, 7, 56, 0},
                             ConversionCase{800, 8, 64, 1}, ConversionCase{800, 15, 120, 1},
                             ConversionCase{800, 2000, 16000, 250}, ConversionCase{800, -9, -72, -1}),
                         [](const auto& info) {
                             return "z" + std::to_string(info.param.zoom) + "_v" +
                                    (info.param.v < 0 ? "m" : "") + std::to_string(std::abs(info.param.v));
                         });

TEST(CanvasViewTest, ConversionsAreNotInverses) {
    // A view pixel at 150 % maps to canvas 0, which maps back to 0, not 1.
    EXPECT_EQ(ImageToScreen(ScreenToImage(1, 150), 150), 0);
    EXPECT_EQ(ScreenToImage(ImageToScreen(1, 150), 150), 1);
    // At 50 % two canvas pixels share a view pixel.
    EXPECT_EQ(ScreenToImage(ImageToScreen(5, 50), 50), 4);
    EXPECT_EQ(ScreenToImagePoint({3, 5}, 200), QPoint(1, 2));
    EXPECT_EQ(ScreenToImageRect({3, 5, 9, 11}, 200), (Bounds{1, 2, 4, 5}));
}

// Every device pixel of a row of the scrolled view, on a display at each scale: the view point the
// tools take converts, by their own truncating rule, to the picture pixel under the pointer, and lies
// on the view pixel under it or its neighbour. Below 100 % a view pixel stands for several picture
// pixels, and where none of the view pixels gives the one under the pointer, the tools take the view
// pixel under it.
TEST(CanvasViewTest, TheToolsTakeThePicturePixelUnderThePointer)
{
    for (int scale : {100, 125, 150, 175, 200})
        for (int zoom : {10, 50, 99, 100, 110, 150, 200, 333, 800})
            for (int scroll : {0, 37}) {
                // From left of the canvas, where the tools' rule truncates toward zero, to its right.
                for (int device = -300; device < 2500; ++device) {
                    const double exact = device * 100.0 / scale + scroll;
                    const QPoint tool = ViewPointAt(QPointF(exact, exact), zoom);
                    const int under = int(std::floor(exact));
                    const int pixel = PointerPixel::picturePixel(QPointF(exact, 0), zoom).x();
                    SCOPED_TRACE(testing::Message() << "device pixel " << device << " at " << scale << " %, zoom "
                                                    << zoom << ", scroll " << scroll);
                    ASSERT_EQ(tool.y(), tool.x());
                    bool reachable = zoom >= 100;
                    for (int v = under - 2; v <= under + 2; ++v)
                        reachable = reachable || ScreenToImage(v, zoom) == pixel;
                    if (!reachable) {
                        ASSERT_EQ(tool.x(), under);
                        continue;
                    }
                    ASSERT_EQ(ScreenToImage(tool.x(), zoom), pixel);
                    if (exact >= 0)
                        ASSERT_LE(std::abs(tool.x() - under), 1);
                }
            }
}

TEST(CanvasViewTest, ZoomAndCanvasLimits) {
    EXPECT_EQ(clampZoom(5), 10);
    EXPECT_EQ(clampZoom(810), 800);
    EXPECT_EQ(clampZoom(150), 150);
    EXPECT_EQ(zoomedSize({600, 400}, 150), QSize(900, 600));
    EXPECT_EQ(clampCanvasSize({5, 5000}), QSize(10, 1500));
    EXPECT_EQ(clampCanvasSize({2500, 0}), QSize(2000, 10));
    EXPECT_EQ(clampCanvasSize({600, 400}), QSize(600, 400));
}

TEST(CanvasViewTest, ZoomKeepsThePositionRelativeToTheMiddle) {
    // 100 % -> 200 % of a 600 wide canvas with the view at 100: 100 + (1200 - 600) div 2.
    EXPECT_EQ(scrollAfterZoom(100, 600, 1200, 100), 400);
    // Zooming out moves back by half the shrink, truncated toward zero.
    EXPECT_EQ(scrollAfterZoom(400, 1200, 601, 400), 101);
    EXPECT_EQ(scrollAfterZoom(400, 1201, 600, 400), 100);
    // A view at the left edge stays there.
    EXPECT_EQ(scrollAfterZoom(0, 600, 1200, 0), 0);
    EXPECT_EQ(scrollAfterZoom(50, 1200, 300, 0), 0);
}

TEST(CanvasViewTest, GridLinesSitOnePixelBeforeEachCellBoundary) {
    const std::vector<int> rows = gridLines(400, 20, 100);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows.front(), -1);
    EXPECT_EQ(rows[1], 19);
    EXPECT_EQ(rows.back(), 399);
    EXPECT_EQ(gridLines(600, 20, 100).size(), 31u);
    EXPECT_EQ(gridLines(400, 20, 150)[1], 29);
    EXPECT_EQ(gridLines(45, 20, 100), (std::vector<int>{-1, 19, 39}));
    // A cell of no size draws nothing rather than dividing by zero.
    EXPECT_TRUE(gridLines(400, 0, 100).empty());
    EXPECT_TRUE(gridLines(400, -3, 100).empty());
}

TEST(CanvasViewTest, WheelZonesScrollOrZoom) {
    const QSize box(300, 300);
    const QPoint middle(100, 100), maxScroll(500, 500);
    using A = Arrow;
    const struct {
        QPoint pointer;
        int delta;
        QPoint scroll;
        WheelAction action;
    } cases[] = {
        {{150, 150}, 120, middle, {{}, 1}},
        {{150, 150}, -120, middle, {{}, -1}},
        {{10, 150}, 120, middle, {{A::Left}, 0}},
        {{290, 150}, -120, middle, {{A::Right}, 0}},
        {{150, 10}, 120, middle, {{A::Up}, 0}},
        {{150, 290}, -120, middle, {{A::Down}, 0}},
        {{10, 10}, 120, middle, {{A::Up, A::Left}, 0}},
        {{290, 290}, -120, middle, {{A::Down, A::Right}, 0}},
        {{10, 290}, 120, middle, {{A::Up, A::Right}, 0}},
        {{290, 10}, -120, middle, {{A::Down, A::Left}, 0}},
        // Top-left, forward, at the very top but scrolled right: up is not possible, nothing moves.
        {{10, 10}, 120, {100, 0}, {}},
        // Bottom-right, back, at the very bottom: down is not possible.
        {{290, 290}, -120, {100, 500}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pointer.x()) + "," + std::to_string(c.pointer.y()) + " delta " +
                     std::to_string(c.delta));
        EXPECT_EQ(wheelAction(c.pointer, box, c.delta, c.scroll, maxScroll), c.action);
    }
}

TEST(CanvasViewTest, AutoScrollMovesOnePixelTowardThePointer) {
    const QSize client(200, 100);
    EXPECT_EQ(autoScrollDelta({50, 50}, client), QPoint(0, 0));
    EXPECT_EQ(autoScrollDelta({-3, 50}, client), QPoint(-1, 0));
    EXPECT_EQ(autoScrollDelta({201, 101}, client), QPoint(1, 1));
    EXPECT_EQ(autoScrollDelta({200, -1}, client), QPoint(0, -1));
}

// Painting: a partial repaint must give exactly the pixels a full repaint gives there, at any zoom.
class PaintTest : public ::testing::TestWithParam<int> {
protected:
    static QImage canvas() {
        QImage c(60, 40, QImage::Format_RGB32);
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x)
                c.setPixel(x, y, qRgb(x * 4, y * 6, (x * y) % 256));
        return c;
    }

    static QImage render(const ViewState& s, const QRect& exposed) {
        QImage out(s.box, QImage::Format_RGB32);
        out.fill(qRgb(1, 2, 3));
        QPainter p(&out);
        paint(p, s, exposed);
        return out;
    }
};

TEST_P(PaintTest, PartialRepaintMatchesFullRepaint) {
    const QImage c = canvas();
    ViewState s;
    s.canvas = &c;
    s.zoom = GetParam();
    s.box = zoomedSize(c.size(), s.zoom);
    s.gridShown = true;
    s.gridCellWidth = 7;
    s.gridCellHeight = 9;
    const QImage full = render(s, QRect(QPoint(0, 0), s.box));
    const QRect part(s.box.width() / 3 + 1, s.box.height() / 4 + 1, s.box.width() / 3, s.box.height() / 2);
    const QImage partial = render(s, part);
    for (int y = 0; y < s.box.height(); ++y)
        for (int x = 0; x < s.box.width(); ++x) {
            const QRgb expected = part.contains(x, y) ? full.pixel(x, y) : qRgb(1, 2, 3);
            ASSERT_EQ(partial.pixel(x, y), expected) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Zooms, PaintTest, ::testing::Values(50, 100, 150, 200, 800));

TEST(CanvasViewPaintTest, CanvasIsStretchedAndGridDarkensDots) {
    QImage c(10, 10, QImage::Format_RGB32);
    c.fill(Qt::white);
    c.setPixel(3, 4, qRgb(255, 0, 0));
    ViewState s;
    s.canvas = &c;
    s.zoom = 400;
    s.box = zoomedSize(c.size(), s.zoom);
    QImage out(s.box, QImage::Format_RGB32);
    {
        QPainter p(&out);
        paint(p, s, out.rect());
    }
    // Canvas pixel (3, 4) covers view pixels 12..15 x 16..19.
    EXPECT_EQ(out.pixel(12, 16), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(15, 19), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(16, 19), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(12, 20), qRgb(255, 255, 255));

    s.gridShown = true;
    s.gridCellWidth = s.gridCellHeight = 5;
    s.gridColour = qRgb(0xC0, 0xC0, 0xC0);
    {
        QPainter p(&out);
        paint(p, s, out.rect());
    }
    // The line before canvas row 5 lies at view row 19: dotted, silver AND white.
    int silver = 0, white = 0;
    for (int x = 0; x < s.box.width(); ++x) {
        silver += out.pixel(x, 19) == qRgb(0xC0, 0xC0, 0xC0);
        white += out.pixel(x, 19) == qRgb(255, 255, 255);
    }
    EXPECT_GT(silver, s.box.width() / 3);
    EXPECT_GT(white, s.box.width() / 3);
    // Over red the grid keeps no more than red's own bits.
    int darkened = 0;
    for (int x = 12; x <= 15; ++x) {
        const QRgb px = out.pixel(x, 19);
        EXPECT_TRUE(px == qRgb(255, 0, 0) || px == qRgb(0xC0, 0, 0)) << x;
        darkened += px == qRgb(0xC0, 0, 0);
    }
    EXPECT_GE(darkened, 1);
    // Rows off the grid are untouched.
    EXPECT_EQ(out.pixel(13, 17), qRgb(255, 0, 0));
}

TEST(CanvasViewPaintTest, TracingPictureShowsThroughTransparentWhiteOnly) {
    QImage c(4, 4, QImage::Format_RGB32);
    c.fill(Qt::white);
    c.setPixel(0, 0, qRgb(0, 0, 255));
    QImage tracing(4, 4, QImage::Format_RGB32);
    tracing.fill(qRgb(200, 220, 240));
    ViewState s;
    s.canvas = &c;
    s.box = c.size();
    s.tracing = &tracing;
    s.tracingShown = true;
    s.tracingOrigin = {1, 1};
    QImage out(s.box, QImage::Format_RGB32);
    QPainter p(&out);
    paint(p, s, out.rect());
    p.end();
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(2, 2), qRgb(200, 220, 240));
}

TEST(CanvasViewTest, BlendFaintFadesTowardWhiteAndKeepsTheSkipColourWhite)
{
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(qRgb(255, 0, 0)); // the skip colour, as the bottom-left pixel gives it
    source.setPixel(0, 0, qRgb(128, 128, 128));
    source.setPixel(1, 0, qRgb(0, 100, 255));
    QImage dest(4, 2, QImage::Format_RGB32);
    dest.fill(Qt::white);
    BlendFaint(dest, {1, 0}, qRgb(255, 0, 0), qRgb(179, 179, 179), source);
    EXPECT_EQ(dest.pixel(0, 0), qRgb(255, 255, 255)); // outside the moved source
    EXPECT_EQ(dest.pixel(1, 0), qRgb(217, 217, 217));
    EXPECT_EQ(dest.pixel(2, 0), qRgb(179, 208, 255));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(dest.pixel(x, 1), qRgb(255, 255, 255)) << x;
    // Clipped to the destination; no overlap leaves it alone.
    BlendFaint(dest, {3, 1}, qRgb(255, 0, 0), qRgb(179, 179, 179), source);
    EXPECT_EQ(dest.pixel(3, 1), qRgb(217, 217, 217));
    const QImage before = dest;
    BlendFaint(dest, {4, 0}, qRgb(255, 0, 0), qRgb(179, 179, 179), source);
    EXPECT_EQ(dest, before);
}

TEST(CanvasViewPaintTest, RangeOutlineIsDrawnInvertingRed) {
    QImage c(20, 20, QImage::Format_RGB32);
    c.fill(Qt::white);
    ViewState s;
    s.canvas = &c;
    s.box = c.size();
    s.rangeShown = true;
    s.selectionRect = {2, 3, 12, 9};
    QImage out(s.box, QImage::Format_RGB32);
    QPainter p(&out);
    paint(p, s, out.rect());
    p.end();
    int marked = 0;
    for (int x = 2; x < 12; ++x)
        marked += out.pixel(x, 3) != qRgb(255, 255, 255);
    EXPECT_GE(marked, 4);
    // Nothing outside the rectangle's outline, nothing inside it.
    EXPECT_EQ(out.pixel(6, 6), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(12, 3), qRgb(255, 255, 255));
    EXPECT_EQ(out.pixel(2, 9), qRgb(255, 255, 255));
}

} // namespace
