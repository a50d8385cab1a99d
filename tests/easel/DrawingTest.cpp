#include "EaselFixture.h"

#include "EditorCursors.h"
#include "Palette.h"
#include "PictureDocument.h"
#include "PointerPixel.h"
#include "ShapeRender.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr QRgb White = 0xFFFFFFFF;

QImage blank(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(White);
    return img;
}

ShapeRecord outline(qint32 type, QPoint a0, QPoint a3, ColourText::TColor colour, int width = 1, int kind = 0)
{
    ShapeRecord r;
    r.ShapeType = type;
    r.PenColor = r.AltColor = r.BrushColor = colour;
    r.LineWidth = width;
    r.LineKind = kind;
    r.Anchors[0] = a0;
    r.Anchors[3] = a3;
    r.copyAnchors();
    return r;
}

int count(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) | 0xFF000000) == (colour | 0xFF000000);
    return n;
}

TEST(ShapeRenderTest, PenWidthsByKindAndZoom)
{
    const int settings[] = {1, 10, 11, 20, 21, 50};
    const int pixels[] = {1, 10, 13, 40, 47, 250};
    for (size_t i = 0; i < std::size(settings); ++i) {
        for (qint32 type : {Shapes::Rectangle, Shapes::Ellipse, Shapes::Line, Shapes::Pen}) {
            EXPECT_EQ(Shapes::PenWidthForShape(type, settings[i]), pixels[i]) << settings[i];
            EXPECT_EQ(Shapes::PenWidthForShape(type, settings[i], 200), 2 * pixels[i]);
        }
        // Other kinds keep the setting.
        EXPECT_EQ(Shapes::PenWidthForShape(Shapes::Stamp, settings[i]), settings[i]);
    }
    EXPECT_EQ(Shapes::PenWidthForShape(Shapes::Pen, 0), 1);
    EXPECT_EQ(Shapes::PenWidthForShape(Shapes::Pen, 1, 10), 1);
}

TEST(ShapeRenderTest, CurveControlPointsFollowTheCurvatureTable)
{
    const QPoint a(100, 200), b(300, 200);
    // A half circle over the chord: control points at 120 and 60 degrees around the midpoint.
    const Shapes::CurvePoints bow = Shapes::CurveControlPoints(a, b, 180);
    EXPECT_EQ(bow.k1, QPoint(200, 200) + Shapes::PolarPoint(100, 120));
    EXPECT_EQ(bow.k2, QPoint(200, 200) + Shapes::PolarPoint(100, 60));
    EXPECT_LT(bow.k1.y(), 200); // bows to the left of the direction, up on screen
    const Shapes::CurvePoints mirrored = Shapes::CurveControlPoints(a, b, -180);
    EXPECT_EQ(mirrored.k1, QPoint(bow.k1.x(), 400 - bow.k1.y()));
    EXPECT_EQ(mirrored.k2, QPoint(bow.k2.x(), 400 - bow.k2.y()));
    // 360 becomes 361 and loops: the control points swap sides and reach 1.6 radii out.
    const Shapes::CurvePoints loop = Shapes::CurveControlPoints(a, b, 360);
    EXPECT_EQ(loop, Shapes::CurveControlPoints(a, b, 361));
    EXPECT_GT(loop.k1.x(), loop.k2.x());
    // -360 is -359, the ordinary construction, which keeps k1 nearer the start.
    const Shapes::CurvePoints almost = Shapes::CurveControlPoints(a, b, -360);
    EXPECT_LT(almost.k1.x(), almost.k2.x());
    // Halves round to even.
    EXPECT_EQ(Shapes::PolarPoint(2.5, 0), QPoint(2, 0));
    EXPECT_EQ(Shapes::RoundAway(2.1), 3);
    EXPECT_EQ(Shapes::RoundAway(-2.05), -2);
}

TEST(ShapeRenderTest, FillStaysInsideOnePixelAndDashedOutlines)
{
    for (int kind : {0, 1, 2}) {
        for (qint32 type : {Shapes::Ellipse, Shapes::Rectangle}) {
            QImage canvas = blank({80, 60});
            const Shapes::RenderStyle style; // the second white RGB(255, 254, 254)
            Shapes::RenderShape(canvas, outline(type, {10, 10}, {70, 50}, 0x0000FF, 1, kind), style);
            const int outside = count(canvas, White);
            Shapes::RenderShape(canvas, outline(Shapes::Fill, {40, 30}, {40, 30}, 0xFF0000), style);
            EXPECT_EQ(qRed(canvas.pixel(40, 30)), 0) << kind;
            EXPECT_EQ(canvas.pixel(0, 0), White) << kind << " leaked";
            EXPECT_EQ(canvas.pixel(79, 59), White);
            EXPECT_GT(outside - count(canvas, White), 1000);
            if (kind > 0) {
                // The second white runs along the middle and shows in the gaps.
                EXPECT_GT(count(canvas, qRgb(255, 254, 254)), 0) << kind;
            }
        }
    }
}

TEST(ShapeRenderTest, FloodFillCoversThreeMegapixelsWithoutRecursion)
{
    QImage canvas = blank({2000, 1500});
    // A comb makes many spans.
    for (int x = 0; x < 2000; x += 4)
        for (int y = (x / 4) % 2 ? 0 : 10; y < ((x / 4) % 2 ? 1490 : 1500); ++y)
            canvas.setPixel(x, y, 0xFF000000);
    Shapes::FloodFill(canvas, {1, 1}, qRgb(0, 255, 0));
    EXPECT_EQ(count(canvas, White), 0);
    // The fill colour already there changes nothing.
    const QImage before = canvas;
    Shapes::FloodFill(canvas, {1, 1}, qRgb(0, 255, 0));
    EXPECT_EQ(canvas, before);
}

TEST(ShapeRenderTest, MarginsAreMeasuredOnTheRecordAlone)
{
    ShapeRecord r = outline(Shapes::Rectangle, {100, 100}, {200, 150}, 0, 10);
    const Shapes::Extent extent = Shapes::MeasureShape(r, {});
    EXPECT_EQ(extent.extremes[0].x(), 100);
    EXPECT_EQ(extent.extremes[3].y(), 149); // the figure ends one pixel before the drag's end
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(std::abs(extent.margins[size_t(i)]), 5, 1) << i;
}

TEST(ShapeRenderTest, RectanglesAndEllipsesAreAsLargeAsTheDrag)
{
    for (qint32 type : {Shapes::Rectangle, Shapes::Ellipse}) {
        // Dragged either way: 100 x 50 pixels from the start point on.
        for (auto [a, b] : {std::pair{QPoint(10, 10), QPoint(110, 60)}, std::pair{QPoint(110, 60), QPoint(10, 10)}}) {
            QImage canvas = blank({130, 80});
            Shapes::RenderShape(canvas, outline(type, a, b, 0), {});
            QRect drawn;
            for (int y = 0; y < canvas.height(); ++y)
                for (int x = 0; x < canvas.width(); ++x)
                    if (canvas.pixel(x, y) != White)
                        drawn |= QRect(x, y, 1, 1);
            EXPECT_EQ(drawn, QRect(10, 10, 100, 50)) << type;
        }
    }
}

// The pen rule: a round pen of width w covers every point within w / 2 of the figure's outline and
// nothing further; one pixel of slack either way for the pixel grid. Checked on random rectangles,
// ellipses, lines straight and curved, and pen strokes, thin and far wider than themselves.
class PenReach {
public:
    PenReach(QSize size, double half)
        : m_size(size)
        , m_half(half)
        , m_must(size.width() * size.height())
        , m_may(size.width() * size.height())
    {
    }

    // One point of the ideal outline; points no more than half a pixel apart.
    void add(QPointF q)
    {
        mark(q, m_half - 1, m_must);
        mark(q, m_half + 1, m_may);
    }
    void addSegment(QPointF a, QPointF b)
    {
        const int n = std::max(1, int(std::ceil(std::hypot(b.x() - a.x(), b.y() - a.y()) * 2)));
        for (int i = 0; i <= n; ++i)
            add(a + (b - a) * (double(i) / n));
    }
    // The first pixel that breaks the rule, described; empty when none does.
    std::string check(const QImage& canvas, bool solid) const
    {
        for (int y = 0; y < m_size.height(); ++y)
            for (int x = 0; x < m_size.width(); ++x) {
                const bool painted = canvas.pixel(x, y) != White;
                const size_t i = size_t(y * m_size.width() + x);
                if (solid && m_must[i] && !painted)
                    return "unpainted within reach at " + std::to_string(x) + "," + std::to_string(y);
                if (painted && !m_may[i])
                    return "painted beyond reach at " + std::to_string(x) + "," + std::to_string(y);
            }
        return {};
    }

private:
    void mark(QPointF q, double radius, std::vector<char>& set)
    {
        if (radius < 0)
            return;
        const int r = int(std::ceil(radius));
        for (int y = int(std::floor(q.y())) - r; y <= int(std::ceil(q.y())) + r; ++y)
            for (int x = int(std::floor(q.x())) - r; x <= int(std::ceil(q.x())) + r; ++x)
                if (x >= 0 && y >= 0 && x < m_size.width() && y < m_size.height()
                    && (x - q.x()) * (x - q.x()) + (y - q.y()) * (y - q.y()) <= radius * radius)
                    set[size_t(y * m_size.width() + x)] = 1;
    }

    QSize m_size;
    double m_half;
    std::vector<char> m_must, m_may;
};

// The outline as the user drew it: the figure of a drag ends a pixel before its far corner.
void idealOutline(const ShapeRecord& r, PenReach& reach)
{
    const QPoint a = r.Anchors[0], b = r.Anchors[3];
    const double left = std::min(a.x(), b.x()), top = std::min(a.y(), b.y());
    const double w = std::max(0, std::abs(b.x() - a.x()) - 1), h = std::max(0, std::abs(b.y() - a.y()) - 1);
    switch (r.ShapeType) {
    case Shapes::Rectangle:
        reach.addSegment({left, top}, {left + w, top});
        reach.addSegment({left + w, top}, {left + w, top + h});
        reach.addSegment({left + w, top + h}, {left, top + h});
        reach.addSegment({left, top + h}, {left, top});
        break;
    case Shapes::Ellipse: {
        const int n = 4000;
        for (int i = 0; i < n; ++i) {
            const double t = 2 * std::numbers::pi * i / n;
            reach.add({left + w / 2 * (1 + std::cos(t)), top + h / 2 * (1 + std::sin(t))});
        }
        break;
    }
    case Shapes::Line: {
        const QPainterPath curve = Shapes::DrawCurve(a, b, r.Curvature * 10);
        const int n = std::max(8, int(curve.length()));
        for (int i = 0; i < n; ++i)
            reach.addSegment(curve.pointAtPercent(double(i) / n), curve.pointAtPercent(double(i + 1) / n));
        break;
    }
    case Shapes::Pen:
        for (size_t i = 1; i < r.Points.size(); ++i)
            reach.addSegment(r.Points[i - 1], r.Points[i]);
        break;
    default:
        break;
    }
}

TEST(ShapeRenderTest, EveryShapeCoversWhatItsPenReachesAndNoMore)
{
    std::mt19937 rng(20261210);
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const QSize size(200, 200);
    std::vector<ShapeRecord> shapes;
    // The dot that was a ring: a 20 x 16 ellipse with a 40-pixel pen.
    shapes.push_back(outline(Shapes::Ellipse, {90, 90}, {110, 106}, 0, 20));
    for (int i = 0; i < 80; ++i) {
        const qint32 type = std::array{Shapes::Rectangle, Shapes::Ellipse, Shapes::Line, Shapes::Pen}[size_t(i % 4)];
        const int setting = pick(0, 2) ? pick(1, 12) : pick(13, 22);
        const int kind = pick(0, 3) ? 0 : pick(1, 2);
        const QPoint a(pick(30, 170), pick(30, 170));
        const int reachOut = pick(0, 1) ? 12 : 70; // small figures under wide pens, and larger ones
        const QPoint b = a + QPoint(pick(-reachOut, reachOut), pick(-reachOut, reachOut));
        ShapeRecord r = outline(type, a, b, 0, setting, kind);
        if (type == Shapes::Line)
            r.Curvature = pick(-30, 30);
        if (type == Shapes::Pen) {
            QPoint p = a;
            r.Points = {p};
            for (int k = pick(1, 6); k > 0; --k)
                r.Points.push_back(p += QPoint(pick(-40, 40), pick(-40, 40)));
        }
        if (r.ShapeType != Shapes::Pen && a == b)
            continue;
        shapes.push_back(r);
    }
    for (const ShapeRecord& r : shapes) {
        QImage canvas = blank(size);
        Shapes::RenderShape(canvas, r, {});
        PenReach reach(size, Shapes::PenWidthForShape(r.ShapeType, r.LineWidth) / 2.0);
        idealOutline(r, reach);
        // A dashed pen leaves gaps, but its dashes and its middle line stay within reach.
        EXPECT_EQ(reach.check(canvas, r.LineKind == 0), "")
            << "type " << r.ShapeType << " from " << r.Anchors[0].x() << "," << r.Anchors[0].y() << " to "
            << r.Anchors[3].x() << "," << r.Anchors[3].y() << " width " << r.LineWidth << " kind " << r.LineKind
            << " curvature " << r.Curvature;
    }
}

// The stroke on the view, as PaintDrawingOverlay shows it, along one row.
std::vector<bool> previewRow(TFormPictureEditor& ed, int y, int from, int to)
{
    QImage view(ed.ScrollBox1->paintBoxSize(), QImage::Format_RGB32);
    view.fill(White);
    {
        QPainter p(&view);
        ed.PaintDrawingOverlay(p, view.rect());
    }
    std::vector<bool> row;
    for (int x = from; x <= to; ++x)
        row.push_back(qRed(view.pixel(x, y)) < 128);
    return row;
}

class DrawingTest : public EaselFixture {
protected:
    void drag(QPoint from, QPoint to, int steps = 4, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        ed().Image1MouseDown(Qt::LeftButton, mods, from);
        for (int i = 1; i <= steps; ++i)
            ed().Image1MouseMove(mods, from + (to - from) * i / steps);
        ed().Image1MouseUp(Qt::LeftButton, mods, to);
    }
    void click(QPoint p)
    {
        ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, p);
        ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, p);
    }
};

TEST_F(DrawingTest, ShapesDrawnOneByOneEqualAFullRebuild)
{
    // Settings first: changed after a shape, they would deform it.
    ed().udPen->setValue(5);
    ed().udLine->setValue(18);
    ed().SelectPaletteEntry(4);
    ed().rbRectClick();
    drag({20, 20}, {200, 150});
    ed().SelectLineKind(1);
    ed().sbLineClick();
    drag({30, 300}, {400, 250});
    ed().SelectLineKind(2);
    ed().rbEllip->setChecked(true);
    ed().rbRectClick();
    drag({300, 50}, {500, 200}, 3, Qt::ShiftModifier);
    ed().sbPenClick();
    drag({50, 200}, {250, 380}, 20);
    ed().sbFloodFillClick();
    ed().SelectPaletteEntry(6);
    click({100, 100});
    ed().SelectPaletteEntry(3);
    ed().sbPenClick();
    drag({0, 0}, {599, 399}, 10);
    ASSERT_EQ(ed().Doc.ShapeList.size(), 6u);
    EXPECT_EQ(ed().Doc.ShapeList[2]->ShapeType, Shapes::Ellipse);
    EXPECT_EQ(ed().Doc.ShapeList[2]->Anchors[3], QPoint(500, 250)); // Shift: a circle

    const QImage incremental = ed().Doc.CanvasBitmap;
    EXPECT_EQ(incremental.pixel(100, 100), qRgb(0, 0, 255));
    ed().Doc.RerenderCanvas();
    EXPECT_EQ(ed().Doc.CanvasBitmap, incremental);
    EXPECT_EQ(ed().Undo.ring().current(), 6);
}

// A pen stroke by the window system's events on a display at 150 % and 200 %, whose positions lie
// between logical pixels: its points are the picture pixels under the pointer, at every zoom and
// scroll, never their neighbours.
TEST_F(DrawingTest, AStrokeByTheMouseGoesThroughThePixelsUnderThePointer)
{
    QWidget* view = ed().ScrollBox1->viewport();
    const QPointF viewInWindow(view->mapTo(view->window(), QPoint(0, 0)));
    // As Qt gives it: the point in the window exact, the widget's position of it rounded.
    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, at.toPoint(), at + viewInWindow, view->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    ed().sbPenClick();
    for (int scale : {150, 200})
        for (int zoom : {100, 150, 200}) {
            SCOPED_TRACE(testing::Message() << scale << " %, zoom " << zoom);
            ed().SetZoom(zoom);
            ed().ScrollBox1->setScrollPosition({17, 9});
            const QPoint scroll = ed().ScrollBox1->scrollPosition();
            std::vector<QPointF> path;
            std::vector<QPoint> under;
            for (int i = 0; i < 12; ++i) {
                path.push_back(QPointF(301 + 7 * i, 203 + 3 * i) * 100 / scale);
                under.push_back(PointerPixel::picturePixel(path.back(), zoom, scroll));
            }
            send(QEvent::MouseButtonPress, path.front(), Qt::LeftButton, Qt::LeftButton);
            for (size_t i = 1; i < path.size(); ++i)
                send(QEvent::MouseMove, path[i], Qt::NoButton, Qt::LeftButton);
            send(QEvent::MouseButtonRelease, path.back(), Qt::LeftButton, Qt::NoButton);
            ASSERT_FALSE(ed().Doc.ShapeList.empty());
            EXPECT_EQ(ed().Doc.ShapeList.back()->Points, under);
        }
}

// A stroke of no length is a record that draws nothing, in the view as in a re-render.
TEST_F(DrawingTest, SingleClickWithThePenDrawsNothing)
{
    ed().udPen->setValue(5);
    click({50, 60});
    ASSERT_EQ(ed().Doc.ShapeList.size(), 1u);
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(50, 60), White);
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(51, 61), White);
    const QImage shown = ed().Doc.CanvasBitmap;
    ed().Doc.RerenderCanvas();
    EXPECT_EQ(ed().Doc.CanvasBitmap, shown);
    EXPECT_TRUE(ed().CanUndo());
}

TEST_F(DrawingTest, DeformSeriesIsOneUndoStep)
{
    ed().rbRectClick();
    drag({20, 20}, {100, 80});
    EXPECT_TRUE(ed().DeformOn);
    ed().udPen->setValue(2);
    ed().udPen->setValue(3);
    EXPECT_EQ(ed().Doc.ShapeList.back()->LineWidth, 3);
    EXPECT_EQ(ed().Undo.ring().current(), 1);
    click({300, 300}); // commits the deform, then draws nothing (no drag)
    EXPECT_EQ(ed().Undo.ring().current(), 2);
    ed().sbUndoClick();
    EXPECT_EQ(ed().Doc.ShapeList.back()->LineWidth, 1);
    ed().sbRedoClick();
    EXPECT_EQ(ed().Doc.ShapeList.back()->LineWidth, 3);

    // After a fill, the box changes only the setting.
    ed().sbFloodFillClick();
    click({60, 50});
    EXPECT_FALSE(ed().DeformOn);
    ed().udPen->setValue(7);
    EXPECT_EQ(ed().Doc.ShapeList[0]->LineWidth, 3);
}

TEST_F(DrawingTest, RingWalksBackAfterUndoingMoreThanHalf)
{
    ed().rbRectClick();
    // The picture with n rectangles; the records older than the ring may be baked into the background.
    std::vector<QImage> withShapes{ed().Doc.CanvasBitmap};
    for (int i = 0; i < 25; ++i) {
        drag({10 + i, 10}, {100 + i, 100});
        withShapes.push_back(ed().Doc.CanvasBitmap);
    }
    for (int i = 0; i < 20; ++i)
        ed().sbUndoClick();
    ASSERT_EQ(ed().Doc.ShapeList.size(), 5u);
    drag({300, 300}, {350, 350});
    // Undo walks back through all 20 undone states, newest first, then before the new shape.
    ed().sbUndoClick();
    EXPECT_EQ(ed().Doc.CanvasBitmap, withShapes[5]);
    for (size_t n = 6; n <= 25; ++n) {
        ed().sbUndoClick();
        EXPECT_EQ(ed().Doc.CanvasBitmap, withShapes[n]) << n;
    }
    EXPECT_FALSE(ed().CanRedo() && ed().Undo.ring().current() == ed().Undo.ring().last());
}

TEST_F(DrawingTest, PaletteEyedropperAndRememberedEntries)
{
    // The top row cannot be changed; white chosen elsewhere becomes the opaque white.
    ed().SelectPaletteEntry(2);
    ed().sbPalletClick();
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_EQ(prompter->asked[0].text, u"パレット最上段にある色の変更はできません。"_s);
    ed().SelectPaletteEntry(5);
    prompter->colours.push_back(QColor(255, 255, 255));
    ed().sbPalletClick();
    EXPECT_EQ(ed().PaletteColors[5], ed().OpaqueWhite);
    prompter->colours.push_back(std::nullopt);
    ed().sbPalletClick();
    EXPECT_EQ(ed().PaletteColors[5], ed().OpaqueWhite);

    // The pen's entry comes back after the fill tool.
    ed().pnC00MouseDown(4);
    ed().sbLineClick();
    ed().sbFloodFillClick();
    ed().pnC00MouseDown(6);
    click({10, 10});
    ed().sbPenClick();
    EXPECT_EQ(ed().PaletteIndex, 4);
    ed().sbFloodFillClick();
    EXPECT_EQ(ed().PaletteIndex, 6);

    // The eyedropper takes the colour shown, then the previous tool is pressed again.
    ed().sbSpoitClick();
    EXPECT_TRUE(ed().EyedropperActive);
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {20, 20}); // filled blue above
    EXPECT_EQ(ed().PaletteColors[2], ColourText::clBlue);
    EXPECT_EQ(ed().PaletteIndex, 2);
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {20, 20});
    EXPECT_FALSE(ed().EyedropperActive);
    EXPECT_TRUE(ed().sbFloodFill->isChecked());
    EXPECT_EQ(ed().Doc.ShapeList.size(), 1u);
}

TEST_F(DrawingTest, DashedPenStrokeLooksDashedWhileItIsDrawn)
{
    ed().SelectLineKind(1);
    ed().udPen->setValue(2);
    // One pixel per move, as a slow hand gives them.
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {100, 50});
    for (int x = 101; x <= 220; ++x)
        ed().Image1MouseMove(Qt::NoModifier, {x, 50});
    const std::vector<bool> preview = previewRow(ed(), 50, 100, 220);
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {220, 50});
    std::vector<bool> committed;
    for (int x = 100; x <= 220; ++x)
        committed.push_back(qRed(ed().Doc.CanvasBitmap.pixel(x, 50)) < 128);
    auto dashes = [](const std::vector<bool>& row) {
        int n = 0;
        for (size_t i = 1; i < row.size(); ++i)
            n += row[i] && !row[i - 1];
        return n;
    };
    EXPECT_GT(dashes(committed), 5);
    EXPECT_NEAR(dashes(preview), dashes(committed), 1);
}

// Ctrl+Z takes the keyboard: the stroke under way ends there as a step of its own, which is undone;
// the rest of the drag draws nothing.
TEST_F(DrawingTest, UndoInMidDragEndsTheStrokeAndUndoesIt)
{
    drag({10, 10}, {50, 10});
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {100, 100});
    ed().Image1MouseMove(Qt::NoModifier, {150, 100});
    EXPECT_TRUE(ed().FormKeyDown(Qt::Key_Z, Qt::ControlModifier));
    ed().Image1MouseMove(Qt::NoModifier, {150, 150});
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {150, 150});
    ASSERT_EQ(ed().Doc.ShapeList.size(), 1u) << "the first stroke is still there";
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(150, 150), White);
    ed().sbRedoClick();
    ASSERT_EQ(ed().Doc.ShapeList.size(), 2u);
    EXPECT_EQ(ed().Doc.ShapeList.back()->Points.front(), QPoint(100, 100)) << "the stroke kept its start";
    EXPECT_EQ(ed().Doc.ShapeList.back()->Points.back(), QPoint(150, 100));
}

TEST_F(DrawingTest, WidthAndCurvatureGoToTheShapesInTheRange)
{
    ed().rbRectClick();
    drag({20, 20}, {100, 80}); // reference point (60, 50)
    ed().sbLineClick();
    drag({300, 300}, {400, 350}); // reference point: its start
    drag({150, 30}, {500, 30});   // starts inside the range below, ends outside
    ed().rbRectClick();
    drag({0, 0}, {211, 131}); // its centre lies in the range, its outline outside
    ed().sbLineClick();
    ed().rbRectRange->setChecked(true);
    ed().sbRangeClick();
    drag({10, 10}, {200, 120});
    ASSERT_EQ(ed().DrawMode, 32);
    ed().udPen->setValue(4);
    ed().udLine->setValue(10);
    const auto& list = ed().Doc.ShapeList;
    EXPECT_EQ(list[0]->LineWidth, 4);
    for (size_t i : {1, 2, 3}) {
        EXPECT_EQ(list[i]->LineWidth, 1) << i;
        EXPECT_EQ(list[i]->Curvature, 0) << i;
    }
    EXPECT_TRUE(ed().RangeExists);
    // One undo step, taken at the next click.
    const qint64 before = ed().Undo.ring().current();
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {590, 390});
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {590, 390});
    EXPECT_EQ(ed().Undo.ring().current(), before + 1);
    ed().sbUndoClick();
    EXPECT_EQ(ed().Doc.ShapeList[0]->LineWidth, 1);
}

TEST_F(DrawingTest, EyedropperTakesTheFloatingPictureItShows)
{
    stamp(solidPicture({100, 100}, qRgb(0, 200, 0)), {0, 0});
    QGuiApplication::clipboard()->setImage(solidPicture({40, 40}, qRgb(10, 20, 30)));
    ed().sbPasteShowClick();
    ASSERT_TRUE(ed().imPaste.Visible);
    ed().sbSpoitClick();
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {20, 20});
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {20, 20});
    EXPECT_EQ(ed().PaletteColors[2], Palette::rgb(10, 20, 30));
    ed().sbSpoitClick();
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {70, 70});
    EXPECT_EQ(ed().PaletteColors[2], Palette::rgb(0, 200, 0));
}

TEST_F(DrawingTest, ChoosingAToolForgetsTheLayersLastOperation)
{
    ed().LayerLastOperation = {3, 3, 3};
    ed().sbLineClick();
    EXPECT_EQ(ed().LayerLastOperation, (std::array<int, 3>{0, 0, 0}));
}

TEST(EditorCursorsTest, EachCursorIsAFigureOfItsOwn)
{
    std::vector<QImage> pictures;
    for (int slot = EditorCursors::Rotate; slot <= EditorCursors::Range2; ++slot) {
        QPoint hot;
        const QImage picture = EditorCursors::picture(slot, &hot);
        ASSERT_EQ(picture.size(), QSize(32, 32)) << slot;
        EXPECT_TRUE(picture.rect().contains(hot)) << slot;
        // A figure, black on white, on a clear ground.
        int black = 0, white = 0, clear = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb c = picture.pixel(x, y);
                clear += qAlpha(c) == 0;
                black += qAlpha(c) == 255 && qGray(c) < 40;
                white += qAlpha(c) == 255 && qGray(c) > 215;
            }
        EXPECT_GT(black, 30) << slot;
        EXPECT_GT(white, 30) << slot;
        EXPECT_GT(clear, 400) << slot;
        for (const QImage& other : pictures)
            EXPECT_NE(picture, other) << slot;
        pictures.push_back(picture);
    }
    EXPECT_TRUE(EditorCursors::picture(0).isNull());
}

TEST_F(DrawingTest, ShiftNeverSticks)
{
    ed().FormKeyDown(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(ed().ShiftHeld);
    ed().FormKeyUp(Qt::Key_Shift);
    EXPECT_FALSE(ed().ShiftHeld);
    ed().FormKeyDown(Qt::Key_Shift, Qt::ShiftModifier);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&ed(), &deactivate);
    EXPECT_FALSE(ed().ShiftHeld);
    // Constraints read the state of the event that moves the mouse, never a remembered one.
    ed().rbRectClick();
    ed().FormKeyDown(Qt::Key_Shift, Qt::ShiftModifier);
    drag({10, 10}, {40, 20});
    EXPECT_EQ(ed().Doc.ShapeList.back()->Anchors[3], QPoint(40, 20));
    drag({10, 10}, {40, 20}, 4, Qt::ShiftModifier);
    EXPECT_EQ(ed().Doc.ShapeList.back()->Anchors[3], QPoint(40, 40));
}

} // namespace
