#include "MapPainter.h"

#include "ColourText.h"
#include "MapGeometry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Distinct from the defaults so a swapped or hard-coded colour shows.
constexpr ColourText::TColor Normal = 0x604020, Passed = 0x2080E0, Current = 0x40C0A0;
const QRgb Ground = qRgb(0x12, 0x34, 0x56);

QRgb rgb(ColourText::TColor c) { return ColourText::toQColor(c).rgb(); }

class MapPainterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture.fill(Ground);
        doc.colours = {Normal, Passed, Current};
        view.labelFont = QFont(u"DejaVu Sans"_s, 10);
    }

    void place(int row, int x, int y) { doc.rows[row][MapDocument::Position] = MapGeometry::positionText(x, y); }
    void paint() { MapPainter::paint(buffer, picture, doc, view); }
    QRgb at(int x, int y) const { return buffer.pixel(x, y); }

    // Compares the mark's top rows (clear of the point and the route) with the buffer: its opaque
    // pixels shown, its transparent ones leaving the picture.
    void expectMark(const QImage& mark, QPoint centre, int rows = 6) const
    {
        const QPoint topLeft = centre - QPoint(7, 15);
        int opaque = 0;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < mark.width(); ++x) {
                const QRgb m = mark.pixel(x, y), b = at(topLeft.x() + x, topLeft.y() + y);
                if (qAlpha(m) == 255) {
                    ++opaque;
                    EXPECT_EQ(b, m) << "mark pixel " << x << "," << y;
                } else if (qAlpha(m) == 0) {
                    EXPECT_EQ(b, Ground) << "mark background " << x << "," << y;
                }
            }
        EXPECT_GT(opaque, 0);
    }

    int count(const QRect& area, QRgb colour) const
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += at(x, y) == colour;
        return n;
    }

    // True when nothing was drawn over the area.
    bool untouched(const QRect& area) const
    {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (at(x, y) != Ground)
                    return false;
        return true;
    }

    // The area above a point where a mark would sit, short of the point itself.
    static QRect aboveMark(QPoint c) { return QRect(c.x() - 7, c.y() - 15, 17, 7); }

    QImage picture{960, 435, QImage::Format_RGB32};
    QImage buffer{960, 435, QImage::Format_RGB32};
    MapDocument doc;
    MapView view;
};

TEST_F(MapPainterTest, RouteBreaksAtUnplacedDestinationsAndWrapsFrom61To00)
{
    for (const bool with61 : {false, true}) {
        SCOPED_TRACE(with61 ? "61 placed" : "61 not placed");
        doc = MapDocument();
        doc.colours = {Normal, Passed, Current};
        place(0, 100, 100);
        place(1, 200, 100);
        doc.rows[2][MapDocument::Position] = u"250,abc"_s; // hand-edited: counts as not placed
        place(3, 300, 200);
        if (with61)
            place(61, 100, 300);
        view.selectedRow = 40;
        paint();

        EXPECT_EQ(at(150, 100), rgb(Normal)) << "00-01";
        EXPECT_EQ(at(150, 101), Ground) << "a thin line";
        EXPECT_EQ(at(250, 150), Ground) << "01-03 skips the gap";
        EXPECT_EQ(at(200, 150), Ground) << "03-00";
        EXPECT_EQ(at(200, 250), Ground) << "03-61";
        EXPECT_EQ(at(100, 200), with61 ? rgb(Normal) : Ground) << "61-00";
    }
}

TEST_F(MapPainterTest, PointsAreFilledInTheirRowColour)
{
    for (const bool islandMode : {false, true}) {
        SCOPED_TRACE(islandMode ? "island mode" : "destination mode");
        for (int r = 0; r < MapDocument::DestinationCount; ++r)
            place(r, 20 + 15 * r, 100 + 40 * (r % 2));
        view.selectedRow = 7;
        view.islandMode = islandMode;
        paint();
        for (int r = 0; r < MapDocument::DestinationCount; ++r) {
            const QRgb expected = r == 7 && !islandMode ? rgb(Passed) : rgb(Normal);
            EXPECT_EQ(at(20 + 15 * r, 103 + 40 * (r % 2)), expected) << r;
        }
    }
}

TEST_F(MapPainterTest, PointBoxIsFifteenPixelsAcross)
{
    place(5, 300, 200);
    paint();
    for (int d = -7; d <= 7; ++d) {
        EXPECT_EQ(at(300 + d, 200), rgb(Normal)) << d;
        EXPECT_EQ(at(300, 200 + d), rgb(Normal)) << d;
    }
    EXPECT_EQ(at(292, 200), Ground);
    EXPECT_EQ(at(308, 200), Ground);
    EXPECT_EQ(at(300, 192), Ground);
    EXPECT_EQ(at(300, 208), Ground);
    EXPECT_EQ(at(293, 193), Ground) << "round, not a box";
}

// On a scaled display the canvas is composed at the screen's device pixels: the points and lines
// drawn at them, the map picture still its own pixels, each device pixel one of the picture pixels
// it lies over and never a blend.
TEST_F(MapPainterTest, OnAScaledScreenOverlaysAreDrawnAtItsDevicePixels)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, (x + y) % 2 ? Ground : qRgb(0xFE, 0xDC, 0xBA));
    place(5, 300, 200);
    place(6, 400, 300);
    for (const qreal ratio : {1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        ASSERT_TRUE(MapPainter::fitBuffer(buffer, QSize(960, 435), ratio));
        EXPECT_EQ(buffer.size(), ratio == 2 ? QSize(1920, 870) : QSize(1440, 653));
        EXPECT_FALSE(MapPainter::fitBuffer(buffer, QSize(960, 435), ratio)) << "kept while it fits";
        paint();

        // The picture, away from the overlays.
        const QRect clear(QPoint(600, 20), QPoint(700, 80));
        for (int y = int(clear.top() * ratio); y < int(clear.bottom() * ratio); ++y)
            for (int x = int(clear.left() * ratio); x < int(clear.right() * ratio); ++x) {
                const QRgb first = picture.pixel(int(x / ratio), int(y / ratio));
                const QRgb last = picture.pixel(int((x + 0.99) / ratio), int((y + 0.99) / ratio));
                const QRgb shown = buffer.pixel(x, y);
                ASSERT_TRUE(shown == first || shown == last) << x << "," << y;
            }

        // The point's disc: 15 logical pixels across, its rim in device pixels, so some device
        // pixels of one logical pixel on its rim differ, as a stretched drawing never does.
        const QPoint centre(int(300 * ratio), int(200 * ratio));
        EXPECT_EQ(buffer.pixel(centre), rgb(Normal));
        EXPECT_EQ(buffer.pixel(centre + QPoint(int(7 * ratio), 0)), rgb(Normal));
        int split = 0;
        for (int ly = 192; ly <= 208; ++ly)
            for (int lx = 292; lx <= 308; ++lx) {
                QSet<QRgb> colours;
                for (int y = int(std::ceil(ly * ratio)); y < int(std::ceil((ly + 1) * ratio)); ++y)
                    for (int x = int(std::ceil(lx * ratio)); x < int(std::ceil((lx + 1) * ratio)); ++x)
                        colours.insert(buffer.pixel(x, y) == rgb(Normal));
                split += colours.size() > 1;
            }
        EXPECT_GT(split, 4);
    }
    // Back on a screen of logical pixels, one to one.
    EXPECT_TRUE(MapPainter::fitBuffer(buffer, QSize(960, 435), 1));
    EXPECT_EQ(buffer.size(), QSize(960, 435));
}

class MapPainterCurrentTest : public MapPainterTest {
protected:
    void SetUp() override
    {
        MapPainterTest::SetUp();
        for (int r = 0; r < 9; ++r)
            place(r, 60 + 60 * r, 200);
        view.showCurrent = true;
    }
    static QPoint centre(int r) { return {60 + 60 * r, 200}; }
};

TEST_F(MapPainterCurrentTest, RouteToTheCurrentDestinationIsThickWithMarks)
{
    view.selectedRow = 5;
    paint();
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(at(90 + 60 * r, 201), rgb(Passed)) << "thick " << r;
        EXPECT_EQ(at(90 + 60 * r, 199), rgb(Passed)) << "thick " << r;
        EXPECT_EQ(at(centre(r).x(), 204), rgb(Passed)) << "passed point " << r;
    }
    EXPECT_EQ(at(390, 200), rgb(Normal)) << "05-06 is the plain route";
    EXPECT_EQ(at(390, 201), Ground);
    EXPECT_EQ(at(centre(5).x(), 204), rgb(Current));
    EXPECT_EQ(at(centre(6).x(), 204), rgb(Normal));

    expectMark(MapPainter::currentMark(), centre(5));
    expectMark(MapPainter::neighbourMark(), centre(4));
    expectMark(MapPainter::neighbourMark(), centre(6));
    for (int r : {0, 1, 2, 3, 7, 8})
        EXPECT_TRUE(untouched(aboveMark(centre(r)))) << "no mark on " << r;
}

TEST_F(MapPainterCurrentTest, NoMarkOnDestination00)
{
    view.selectedRow = 1;
    paint();
    EXPECT_TRUE(untouched(aboveMark(centre(0))));
    EXPECT_EQ(at(centre(0).x(), 204), rgb(Passed));
    expectMark(MapPainter::currentMark(), centre(1));
    expectMark(MapPainter::neighbourMark(), centre(2));

    view.selectedRow = 0;
    paint();
    expectMark(MapPainter::currentMark(), centre(0));
    expectMark(MapPainter::neighbourMark(), centre(1));
    EXPECT_EQ(at(centre(0).x(), 204), rgb(Current));
    EXPECT_EQ(at(90, 201), Ground) << "nothing travelled yet";
}

TEST_F(MapPainterCurrentTest, ThickRouteBreaksAtGapsAndWithoutCurrentNothingIsThick)
{
    doc.rows[2][MapDocument::Position].clear();
    view.selectedRow = 4;
    paint();
    EXPECT_EQ(at(90, 201), rgb(Passed));
    EXPECT_EQ(at(150, 201), Ground);
    EXPECT_EQ(at(210, 201), Ground);
    EXPECT_EQ(at(270, 201), rgb(Passed));

    view.showCurrent = false;
    paint();
    EXPECT_EQ(at(90, 201), Ground);
    EXPECT_EQ(at(centre(4).x(), 204), rgb(Passed)) << "still the selected point";
    EXPECT_TRUE(untouched(aboveMark(centre(4))));
    EXPECT_TRUE(untouched(aboveMark(centre(5))));
}

TEST_F(MapPainterTest, HidePointsShowsOnlyThePicture)
{
    for (int r = 0; r < MapDocument::DestinationCount; ++r)
        place(r, 20 + 15 * r, 200);
    doc.islands = {u"10,10"_s, u"300,300"_s, u"500,20"_s};
    for (int x = 0; x < picture.width(); ++x)
        picture.setPixel(x, x % picture.height(), qRgb(x % 256, 0, 0));
    view.hidePoints = view.showCurrent = view.highlight = true;
    view.selectedRow = 3;
    view.labelHalfWidth = 50;
    view.labelHalfHeight = 10;
    buffer.fill(Qt::black);
    paint();
    EXPECT_EQ(buffer, picture);
}

TEST_F(MapPainterTest, SmallerPictureKeepsTheBufferSizeOnWhite)
{
    picture = QImage(500, 200, QImage::Format_RGB32);
    picture.fill(Ground);
    buffer.fill(Qt::black);
    paint();
    EXPECT_EQ(buffer.size(), QSize(960, 435));
    EXPECT_EQ(at(499, 199), Ground);
    EXPECT_EQ(at(500, 100), qRgb(255, 255, 255));
    EXPECT_EQ(at(100, 200), qRgb(255, 255, 255));
}

TEST_F(MapPainterTest, HighlightRingIsThePenMergedWithTheInverseOfTheScreen)
{
    const struct {
        bool islandMode;
        bool placed;
        bool ring;
    } cases[] = {{false, true, true}, {true, true, false}, {false, false, false}};
    // magenta | ~Ground
    const QRgb merged = qRgb(0xFF, 0xFF - qGreen(Ground), 0xFF);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.islandMode) + std::to_string(c.placed));
        doc.rows[10][MapDocument::Position] = c.placed ? u"400,200"_s : QString();
        view.selectedRow = 10;
        view.highlight = true;
        view.islandMode = c.islandMode;
        paint();
        for (const QPoint ringPixel : {QPoint(379, 200), QPoint(421, 200), QPoint(400, 179), QPoint(400, 221)})
            EXPECT_EQ(at(ringPixel.x(), ringPixel.y()), c.ring ? merged : Ground) << ringPixel.x() << "," << ringPixel.y();
        EXPECT_EQ(at(386, 200), Ground) << "inside the ring";
        EXPECT_EQ(at(370, 200), Ground) << "outside the ring";
    }

    // Over white the ring is the pen's own magenta; over red, white.
    for (const auto& [ground, ring] :
         {std::pair{qRgb(255, 255, 255), qRgb(255, 0, 255)}, std::pair{qRgb(255, 0, 0), qRgb(255, 255, 255)}}) {
        picture.fill(ground);
        view.islandMode = false;
        doc.rows[10][MapDocument::Position] = u"400,200"_s;
        paint();
        EXPECT_EQ(at(379, 200), ring);
    }
}

TEST_F(MapPainterTest, IslandLabelsAreDottedBoxesWithTheirText)
{
    const QFontMetrics fm(view.labelFont);
    view.labelHalfWidth = fm.horizontalAdvance(MapGeometry::IslandLabelText(1)) / 2 + 4;
    view.labelHalfHeight = fm.height() / 2 + 2;
    const int w = 2 * view.labelHalfWidth, h = 2 * view.labelHalfHeight;
    const QPoint labels[] = {{20, 20}, {20, 150}, {20, 300}};
    doc.islands = {u"20,20"_s, u"20,150"_s, u"20,300"_s};
    view.islandMode = true;
    view.selectedIsland = 1;
    paint();

    for (int j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        const QRgb pen = j == 1 ? rgb(Passed) : qRgb(0, 0, 255);
        const QPoint tl = labels[j];
        // The box covers x .. x + w - 1 and y .. y + h - 1, dotted.
        const int top = count(QRect(tl.x(), tl.y(), w, 1), pen);
        EXPECT_GT(top, w / 4);
        EXPECT_LT(top, w * 3 / 4) << "dotted";
        EXPECT_GT(count(QRect(tl.x() + w - 1, tl.y(), 1, h), pen), 0);
        EXPECT_GT(count(QRect(tl.x(), tl.y() + h - 1, w, 1), pen), 0);
        EXPECT_GT(count(QRect(tl.x(), tl.y(), 1, h), pen), 0);
        EXPECT_TRUE(untouched(QRect(tl.x() + w, tl.y() - 1, 1, h + 2)));
        EXPECT_TRUE(untouched(QRect(tl.x() - 1, tl.y() + h, w + 2, 1)));
        EXPECT_TRUE(untouched(QRect(tl.x() - 1, tl.y() - 1, 1, h + 2)));
        EXPECT_TRUE(untouched(QRect(tl.x() - 1, tl.y() - 1, w + 2, 1)));
        // The text (its "■" fills whole pixels) inside, in the same colour.
        EXPECT_GT(count(QRect(tl.x() + 1, tl.y() + 1, w - 2, h - 2), pen), 10);
    }

    view.islandMode = false;
    paint();
    const QRect box1(labels[1], QSize(w, h));
    EXPECT_GT(count(box1, qRgb(0, 0, 255)), 0);
    EXPECT_EQ(count(box1, rgb(Passed)), 0) << "no label is chosen outside island mode";
}

TEST_F(MapPainterTest, MarksHaveTheirSizesAndTransparentParts)
{
    const struct {
        const QImage& mark;
        QSize size;
    } cases[] = {{MapPainter::currentMark(), {17, 17}}, {MapPainter::neighbourMark(), {15, 16}}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.mark.size(), c.size);
        EXPECT_EQ(c.mark.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(qAlpha(c.mark.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(c.mark.pixel(c.size.width() / 2, c.size.height() / 3)), 255);
    }
    EXPECT_EQ(&MapPainter::currentMark(), &MapPainter::currentMark()) << "made once";
}

} // namespace
