#include "CutView.h"

#include <QColor>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Fit = CutView::Fit;
using Arrow = CutView::Arrow;

// Every pixel different, so a misplaced copy shows.
QImage gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) % 250, (y * 5 + x * 3) % 250, (x * y) % 250));
    return image;
}

QImage solid(int w, int h, QRgb colour = qRgb(20, 120, 200))
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

int whitePixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == qRgb(255, 255, 255);
    return n;
}

CutView viewWithFrame(QSize frame, QPoint at = {})
{
    CutView v;
    v.setFrameSize(frame);
    v.setFramePos(at);
    return v;
}

} // namespace

// ---- Fitting to the frame -------------------------------------------------------------------

struct FitCase {
    const char* name;
    QSize picture;
    QSize frame;
    Fit fit;
    float zoom;
    int position;
    QSize display;
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class KiridasiFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(KiridasiFit, ZoomDisplayAndPlace)
{
    const FitCase& c = GetParam();
    CutView v = viewWithFrame(c.frame, {30, 20});
    v.redisplay(c.picture);
    v.redisplay(c.picture, c.fit);
    EXPECT_EQ(v.zoomValue(), c.zoom);
    EXPECT_EQ(v.zoomPosition(), c.position);
    EXPECT_EQ(v.displaySize(), c.display);
    EXPECT_EQ(v.picturePos(), QPoint(30, 20)) << "a fit moves the picture to the frame";
}

// The cut after a fit is white exactly where the fitted picture does not reach the frame, and
// nowhere else: no seam of white along the fitted side.
TEST_P(KiridasiFit, CutIsWhiteOnlyBeyondTheFittedPicture)
{
    const FitCase& c = GetParam();
    CutView v = viewWithFrame(c.frame, {30, 20});
    const QImage picture = solid(c.picture.width(), c.picture.height());
    v.redisplay(picture.size(), c.fit);
    const QImage result = v.cut(picture);
    EXPECT_EQ(result.size(), c.frame);
    const QSize covered = c.display.boundedTo(c.frame);
    EXPECT_EQ(whitePixels(result), c.frame.width() * c.frame.height() - covered.width() * covered.height());
    EXPECT_EQ(result.pixel(covered.width() - 1, covered.height() - 1), qRgb(20, 120, 200));
}

// Landscape, portrait and square pictures, frames wider and narrower than tall. The fitted side is
// the frame's exactly (1200 x 900 under "横" gives 400 x 300, not 399 x 299); the other side is
// rounded from exact arithmetic; the up-down shows the truncated zoom within 10 .. 800.
INSTANTIATE_TEST_SUITE_P(
    Table, KiridasiFit,
    ::testing::Values(FitCase{"landscape_width", {800, 600}, {400, 225}, Fit::Width, 50.0f, 50, {400, 300}},
                      FitCase{"landscape_height", {800, 600}, {400, 225}, Fit::Height, 37.5f, 37, {300, 225}},
                      FitCase{"landscape_exact", {800, 600}, {400, 225}, Fit::Exact, 50.0f, 50, {400, 225}},
                      FitCase{"third_width", {1200, 900}, {400, 225}, Fit::Width, 33.333332f, 33, {400, 300}},
                      FitCase{"third_height", {1200, 900}, {400, 225}, Fit::Height, 25.0f, 25, {300, 225}},
                      FitCase{"third_exact", {1200, 900}, {400, 225}, Fit::Exact, 33.333332f, 33, {400, 225}},
                      FitCase{"portrait_width", {600, 800}, {400, 225}, Fit::Width, 66.666664f, 66, {400, 533}},
                      FitCase{"portrait_height", {600, 800}, {400, 225}, Fit::Height, 28.125f, 28, {169, 225}},
                      FitCase{"portrait_exact", {600, 800}, {400, 225}, Fit::Exact, 66.666664f, 66, {400, 225}},
                      FitCase{"square_width", {500, 500}, {300, 300}, Fit::Width, 60.0f, 60, {300, 300}},
                      FitCase{"square_height", {500, 500}, {300, 300}, Fit::Height, 60.0f, 60, {300, 300}},
                      // A square frame is not narrower than tall: the width decides.
                      FitCase{"square_exact", {500, 400}, {300, 300}, Fit::Exact, 60.0f, 60, {300, 300}},
                      FitCase{"tall_frame_width", {500, 500}, {225, 400}, Fit::Width, 45.0f, 45, {225, 225}},
                      FitCase{"tall_frame_exact", {500, 500}, {225, 400}, Fit::Exact, 80.0f, 80, {225, 400}},
                      FitCase{"map_portrait_height", {300, 400}, {960, 435}, Fit::Height, 108.75f, 108, {326, 435}},
                      FitCase{"map_portrait_exact", {300, 400}, {960, 435}, Fit::Exact, 320.0f, 320, {960, 435}},
                      FitCase{"tiny_width", {40, 30}, {960, 435}, Fit::Width, 2400.0f, 800, {960, 720}},
                      FitCase{"huge_width", {6000, 4000}, {400, 225}, Fit::Width, 6.6666665f, 10, {400, 267}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KiridasiView, ZoomStepsUseTheWholePercentWithinLimits)
{
    CutView v;
    const QSize picture(1200, 900);
    v.redisplay(picture, Fit::Width); // 33.33 %, shown as 33
    v.stepZoom(1, picture);
    EXPECT_EQ(v.zoomPosition(), 34);
    EXPECT_EQ(v.zoomValue(), 34.0f);
    EXPECT_EQ(v.displaySize(), QSize(408, 306));

    v.setZoomIncrement(10);
    v.setZoomPosition(795);
    v.stepZoom(1, picture);
    EXPECT_EQ(v.zoomPosition(), 800);
    v.stepZoom(1, picture);
    EXPECT_EQ(v.zoomPosition(), 800);
    v.setZoomPosition(15);
    v.stepZoom(-1, picture);
    EXPECT_EQ(v.zoomPosition(), 10);
    EXPECT_EQ(v.displaySize(), QSize(120, 90));

    // Nothing is displayed for no picture, but the up-down still moves.
    CutView empty;
    empty.stepZoom(1, {});
    EXPECT_EQ(empty.zoomPosition(), 101);
    EXPECT_TRUE(empty.displaySize().isEmpty());
}

// ---- The cut --------------------------------------------------------------------------------

TEST(KiridasiView, CutPartlyOutsideThePictureIsWhiteThere)
{
    const QImage picture = gradient(100, 80);
    struct Case {
        QPoint picturePos;
        QPoint frame;
    } cases[] = {
        {{0, 0}, {70, 50}},   // over the right and bottom edges
        {{30, 40}, {10, 20}}, // over the left and top edges
        {{0, 0}, {150, 10}},  // beside the picture altogether
    };
    for (const Case& c : cases) {
        CutView v = viewWithFrame({60, 50}, c.picturePos);
        v.redisplay(picture.size());
        v.pictureToFrame();
        v.setFramePos(c.frame);
        const QImage result = v.cut(picture);
        ASSERT_EQ(result.size(), QSize(60, 50));
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) {
                const QPoint source = c.frame + QPoint(x, y) - c.picturePos;
                const QRgb expected = picture.rect().contains(source) ? picture.pixel(source) : qRgb(255, 255, 255);
                ASSERT_EQ(result.pixel(x, y), expected) << "at " << x << "," << y;
            }
    }
}

TEST(KiridasiView, CutIsWhatTheDisplayShows)
{
    const QImage picture = gradient(240, 180);
    for (const int zoom : {10, 37, 100, 250, 800}) {
        CutView v = viewWithFrame({90, 70}, {35, 25});
        v.setZoomPosition(zoom);
        v.redisplay(picture.size());
        const QImage shown = v.render(picture, QRect(QPoint(0, 0), v.contentSize()));
        const QImage result = v.cut(picture);
        EXPECT_EQ(result, shown.copy(35, 25, 90, 70)) << zoom << " %";
    }
}

TEST(KiridasiView, CutShowsTheResultAtTheOriginAndKeepsTheViewForUndo)
{
    CutView v = viewWithFrame({400, 225});
    v.setViewport({300, 200});
    const QImage picture = gradient(800, 600);
    v.setZoomPosition(150);
    v.redisplay(picture.size());
    v.setFramePos({100, 60});
    v.setScroll({40, 30});
    const CutView::ViewState before = v.state();

    const QImage first = v.cut(picture);
    EXPECT_EQ(v.undoView(), before);
    EXPECT_TRUE(v.cutInEffect());
    EXPECT_EQ(v.state(), (CutView::ViewState{100, {0, 0}, {0, 0}, {0, 0}}));
    EXPECT_EQ(v.displaySize(), QSize(400, 225));

    // A second cut cuts the cut; undo still goes to the picture as loaded, with the view from
    // before the last cut.
    v.setFramePos({10, 10});
    v.setFrameSize({200, 100});
    const CutView::ViewState beforeSecond = v.state();
    const QImage second = v.cut(first);
    EXPECT_EQ(second, first.copy(10, 10, 200, 100));
    v.undo(picture.size());
    EXPECT_FALSE(v.cutInEffect());
    EXPECT_EQ(v.state(), beforeSecond);
    EXPECT_EQ(v.displaySize(), picture.size());

    EXPECT_TRUE(v.cut(QImage()).isNull());
}

// ---- Stretching -----------------------------------------------------------------------------

TEST(KiridasiView, StretchAveragesWhenShrinkingAndInterpolatesWhenGrowing)
{
    QImage checker(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage half = CutView::stretch(checker, {2, 2}, {0, 0, 2, 2});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(half.pixel(x, y), qRgb(128, 128, 128));

    QImage pair(2, 1, QImage::Format_RGB32);
    pair.setPixel(0, 0, qRgb(0, 0, 0));
    pair.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage wide = CutView::stretch(pair, {4, 1}, {0, 0, 4, 1});
    const int expected[] = {0, 64, 191, 255};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(qRed(wide.pixel(x, 0)), expected[x]) << x;

    const QImage picture = gradient(50, 40);
    EXPECT_EQ(CutView::stretch(picture, picture.size(), {5, 6, 20, 10}), picture.copy(5, 6, 20, 10));
    const QImage flat = CutView::stretch(solid(7, 5), {61, 3}, {0, 0, 61, 3});
    EXPECT_EQ(flat, solid(61, 3));

    // Outside the display: white; no picture at all: white.
    const QImage beyond = CutView::stretch(picture, {50, 40}, {45, 35, 10, 10});
    EXPECT_EQ(beyond.pixel(2, 2), picture.pixel(47, 37));
    EXPECT_EQ(beyond.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(whitePixels(CutView::stretch(QImage(), {10, 10}, {0, 0, 10, 10})), 100);
}

// The display is painted in pieces of whatever size the screen asks for: each piece must equal
// the same part of the whole, or seams would show and the cut would differ from the view.
TEST(KiridasiView, StretchedPiecesMatchTheWhole)
{
    const QImage picture = gradient(97, 61);
    std::mt19937 random(7);
    for (const QSize display : {QSize(33, 20), QSize(97, 61), QSize(250, 170), QSize(40, 140), QSize(800, 13)}) {
        const QImage whole = CutView::stretch(picture, display, QRect(QPoint(0, 0), display));
        for (int i = 0; i < 20; ++i) {
            const int x = int(random() % unsigned(display.width()));
            const int y = int(random() % unsigned(display.height()));
            const int w = 1 + int(random() % unsigned(display.width() - x));
            const int h = 1 + int(random() % unsigned(display.height() - y));
            ASSERT_EQ(CutView::stretch(picture, display, {x, y, w, h}), whole.copy(x, y, w, h))
                << display.width() << "x" << display.height() << " piece " << x << "," << y << " " << w << "x" << h;
        }
    }
}

TEST(KiridasiView, ALargePictureAt800PercentIsStretchedOnlyWhereAsked)
{
    // A blue patch in the middle of a 4000 x 3000 picture; at 800 % it lies under a frame placed
    // 32000 x 24000 pixels deep into the display, which is never made as a whole.
    QImage picture = solid(4000, 3000, qRgb(200, 30, 30));
    for (int y = 1500; y < 1528; ++y)
        for (int x = 2000; x < 2050; ++x)
            picture.setPixel(x, y, qRgb(0, 0, 255));
    CutView v = viewWithFrame({400, 225}, {16000, 12000});
    v.setZoomPosition(800);
    v.redisplay(picture.size());
    EXPECT_EQ(v.displaySize(), QSize(32000, 24000));
    const QImage result = v.cut(picture);
    ASSERT_EQ(result.size(), QSize(400, 225));
    EXPECT_EQ(result.pixel(8, 8), qRgb(0, 0, 255));
    EXPECT_EQ(result.pixel(390, 214), qRgb(0, 0, 255));
    EXPECT_EQ(whitePixels(result), 0);
}

// ---- Frame, keys, wheel ---------------------------------------------------------------------

TEST(KiridasiView, ArrowKeysStopAtTheTopLeftButNotAtTheBottomRight)
{
    struct Step {
        Arrow key;
        bool shift;
        QRect after;
    } steps[] = {
        {Arrow::Left, false, {0, 3, 400, 225}},    {Arrow::Left, false, {0, 3, 400, 225}},
        {Arrow::Up, false, {0, 1, 400, 225}},      {Arrow::Up, false, {0, 0, 400, 225}},
        {Arrow::Right, false, {2, 0, 400, 225}},   {Arrow::Down, false, {2, 2, 400, 225}},
        {Arrow::Left, true, {2, 2, 399, 225}},     {Arrow::Down, true, {2, 2, 399, 226}},
        {Arrow::Right, true, {2, 2, 400, 226}},    {Arrow::Up, true, {2, 2, 400, 225}},
    };
    CutView v = viewWithFrame({400, 225}, {1, 3});
    for (const Step& s : steps) {
        v.arrow(s.key, s.shift);
        EXPECT_EQ(v.frameRect(), s.after);
    }
    for (int i = 0; i < 5000; ++i)
        v.arrow(Arrow::Right, false);
    EXPECT_EQ(v.frameRect().left(), 10002);

    CutView small = viewWithFrame({10, 2000});
    EXPECT_FALSE(small.arrow(Arrow::Left, true));
    EXPECT_FALSE(small.arrow(Arrow::Down, true));
    EXPECT_TRUE(small.arrow(Arrow::Up, true));
    EXPECT_EQ(small.frameRect().size(), QSize(10, 1999));
}

TEST(KiridasiView, DragMovesTheFrameFromWhereItWasTaken)
{
    CutView v = viewWithFrame({100, 50}, {20, 30});
    EXPECT_FALSE(v.beginDrag({10, 10}));
    EXPECT_FALSE(v.dragging());
    ASSERT_TRUE(v.beginDrag({50, 40}));
    v.dragTo({75, 35});
    EXPECT_EQ(v.frameRect().topLeft(), QPoint(45, 25));
    v.dragTo({0, 0});
    EXPECT_EQ(v.frameRect().topLeft(), QPoint(0, 0));
    v.endDrag();
    v.dragTo({300, 300});
    EXPECT_EQ(v.frameRect().topLeft(), QPoint(0, 0));
}

TEST(KiridasiView, ScrollStaysWithinTheContent)
{
    CutView v = viewWithFrame({100, 100});
    v.setViewport({300, 200});
    v.setZoomPosition(100);
    v.redisplay({1000, 500});
    EXPECT_EQ(v.contentSize(), QSize(1000, 500));
    EXPECT_EQ(v.scrollMaximum(), QPoint(700, 300));
    v.scrollBy(-50, 1000);
    EXPECT_EQ(v.scroll(), QPoint(0, 300));
    v.setFramePos({1500, 0});
    EXPECT_EQ(v.contentSize(), QSize(1600, 500));
}

struct WheelCase {
    const char* name;
    QPoint at;     // in a 400 x 400 box; the zones part at 100 and 300
    int delta;
    QPoint scroll; // the maximum is (600, 600)
    QPoint frameMove;
    int zoomChange;
};

void PrintTo(const WheelCase& c, std::ostream* os) { *os << c.name; }

class KiridasiWheel : public ::testing::TestWithParam<WheelCase> {};

TEST_P(KiridasiWheel, Zones)
{
    const WheelCase& c = GetParam();
    CutView v = viewWithFrame({100, 100}, {100, 100});
    v.setViewport({400, 400});
    v.redisplay({1000, 1000});
    v.setScroll(c.scroll);
    ASSERT_EQ(v.scroll(), c.scroll);
    v.wheel(c.at, {400, 400}, c.delta, {1000, 1000});
    EXPECT_EQ(v.frameRect().topLeft(), QPoint(100, 100) + c.frameMove);
    EXPECT_EQ(v.zoomPosition(), 100 + c.zoomChange);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KiridasiWheel,
    ::testing::Values(WheelCase{"centre_up", {200, 200}, 120, {0, 0}, {0, 0}, 1},
                      WheelCase{"centre_down", {200, 200}, -120, {0, 0}, {0, 0}, -1},
                      WheelCase{"left_up", {50, 200}, 120, {0, 0}, {-2, 0}, 0},
                      WheelCase{"right_down", {350, 200}, -120, {0, 0}, {2, 0}, 0},
                      WheelCase{"top_up", {200, 50}, 120, {0, 0}, {0, -2}, 0},
                      WheelCase{"bottom_down", {200, 350}, -120, {0, 0}, {0, 2}, 0},
                      WheelCase{"top_left_up", {50, 50}, 120, {10, 10}, {-2, -2}, 0},
                      WheelCase{"top_left_up_at_left_edge", {50, 50}, 120, {0, 10}, {0, 0}, 0},
                      WheelCase{"bottom_right_down", {350, 350}, -120, {10, 10}, {2, 2}, 0},
                      WheelCase{"bottom_right_down_at_end", {350, 350}, -120, {600, 10}, {0, 0}, 0},
                      WheelCase{"top_right_up", {350, 50}, 120, {10, 10}, {2, -2}, 0},
                      WheelCase{"top_right_up_at_top", {350, 50}, 120, {10, 0}, {0, 0}, 0},
                      WheelCase{"bottom_left_down", {50, 350}, -120, {10, 10}, {-2, 2}, 0},
                      WheelCase{"bottom_left_down_at_left_edge", {50, 350}, -120, {0, 10}, {0, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });
