#include "WindowPlacement.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using WindowPlacement::Shrink;

namespace {

// Two screens side by side, as a laptop left of a larger primary monitor, or the other way round.
const QRect Laptop(0, 0, 1366, 768);
const QRect Monitor(1366, -200, 1920, 1080);

TEST(WindowPlacement, PicksTheOpenersScreenElseThePrimary)
{
    const struct {
        const char* what;
        QList<QRect> screens;
        int primary;
        QRect opener;
        int expected;
    } cases[] = {
        {"one screen", {Laptop}, 0, {}, 0},
        {"a main window on the primary, left", {Laptop, Monitor}, 0, {}, 0},
        {"a main window on the primary, right", {Laptop, Monitor}, 1, {}, 1},
        {"an opener on the left screen", {Laptop, Monitor}, 1, {100, 100, 800, 600}, 0},
        {"an opener on the right screen", {Laptop, Monitor}, 0, {1500, 0, 800, 600}, 1},
        {"mostly on the right", {Laptop, Monitor}, 0, {1000, 0, 800, 600}, 1},
        {"mostly on the left", {Laptop, Monitor}, 1, {700, 0, 800, 600}, 0},
        {"a tie goes to the primary", {Laptop, Monitor}, 1, {1266, 0, 200, 100}, 1},
        {"an opener on no screen", {Laptop, Monitor}, 1, {-3000, 0, 800, 600}, 1},
        {"a screen left of the origin", {Monitor.translated(-1366 - 1920, 0), Laptop}, 1, {-2000, 0, 800, 600}, 0},
        {"a primary that is not there", {Laptop, Monitor}, 5, {}, 0},
        {"no screens", {}, 0, {}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowPlacement::screenIndex(c.screens, c.primary, c.opener), c.expected) << c.what;
}

TEST(WindowPlacement, PutsTheWholeFrameInTheAvailableArea)
{
    // Openbox's frame: a title bar of 20, borders of 1, and a bottom grip of 5 on a window that
    // can be resized.
    const QMargins fixedFrame(1, 20, 1, 1), resizableFrame(1, 20, 1, 5);
    const QRect small(0, 0, 1024, 600), withPanel(1366, -200 + 27, 1920, 1080 - 27);
    const struct {
        const char* what;
        QSize inside;
        QMargins frame;
        QRect area;
        Shrink shrink;
        QRect expected;
    } cases[] = {
        {"the picture editor, room enough",
         {869, 655},
         resizableFrame,
         {0, 0, 1366, 768},
         Shrink::ToArea,
         {247, 44, 871, 680}},
        {"the picture editor on 1024 x 600", {869, 655}, resizableFrame, small, Shrink::ToArea, {76, 0, 871, 600}},
        {"the import form on 1024 x 600", {900, 640}, resizableFrame, small, Shrink::ToArea, {61, 0, 902, 600}},
        {"a form that cannot shrink keeps its title bar on the screen",
         {900, 640},
         fixedFrame,
         small,
         Shrink::No,
         {61, 0, 902, 661}},
        {"wider and taller than the screen", {1400, 900}, fixedFrame, small, Shrink::No, {0, 0, 1402, 921}},
        {"wider and taller, shrunk", {1400, 900}, fixedFrame, small, Shrink::ToArea, small},
        {"on the right screen, below its panel",
         {900, 640},
         resizableFrame,
         withPanel,
         Shrink::ToArea,
         {1366 + 509, -173 + 194, 902, 665}},
        {"taller than the right screen",
         {900, 1200},
         resizableFrame,
         withPanel,
         Shrink::ToArea,
         {1366 + 509, -173, 902, 1053}},
        {"without a window manager", {900, 640}, {}, small, Shrink::ToArea, {62, 0, 900, 600}},
    };
    for (const auto& c : cases) {
        const QRect frame = WindowPlacement::centredFrame(c.inside.grownBy(c.frame), c.area, c.shrink);
        EXPECT_EQ(frame, c.expected) << c.what;
        if (c.shrink == Shrink::ToArea) {
            EXPECT_TRUE(c.area.contains(frame)) << c.what;
        }
        // The title bar is on the screen whatever the size.
        EXPECT_TRUE(
            c.area.contains(QRect(frame.topLeft(), QSize(std::min(frame.width(), c.area.width()), c.frame.top() + 1))))
            << c.what;
    }
}

TEST(WindowPlacement, MovesAFrameInOnlyAsFarAsItMust)
{
    const QRect area(1366, 27, 1920, 1053);
    // Inside: stays put.
    EXPECT_EQ(WindowPlacement::fitFrame({1400, 100, 600, 400}, area, Shrink::No), QRect(1400, 100, 600, 400));
    // Beyond the right and bottom edges: moved back just in.
    EXPECT_EQ(WindowPlacement::fitFrame({3000, 900, 600, 400}, area, Shrink::No), QRect(2686, 680, 600, 400));
    // Above and left of the area (the title bar under a top panel, on the other screen).
    EXPECT_EQ(WindowPlacement::fitFrame({0, 0, 600, 400}, area, Shrink::No), QRect(1366, 27, 600, 400));
    // Every frame, shrunk, lies in the area; kept at its size, its top-left corner does.
    for (int w : {1, 600, 1919, 1920, 1921, 4000})
        for (int h : {1, 400, 1052, 1053, 1054, 3000})
            for (const QPoint at : {QPoint(-5000, -5000), QPoint(1366, 27), QPoint(2000, 500), QPoint(9000, 9000)}) {
                const QRect frame(at, QSize(w, h));
                EXPECT_TRUE(area.contains(WindowPlacement::fitFrame(frame, area, Shrink::ToArea))) << w << "x" << h;
                const QRect kept = WindowPlacement::fitFrame(frame, area, Shrink::No);
                EXPECT_EQ(kept.size(), frame.size());
                EXPECT_TRUE(area.contains(kept.topLeft())) << w << "x" << h;
            }
}

// Waits until the window is shown with the frame the platform gives it.
bool exposed(QWidget& window)
{
    return QTest::qWaitForWindowExposed(&window) && window.windowHandle();
}

// The offscreen platform frames a window as a window manager does, seen only once it is shown: the
// placement made before takes no frame, and is made again with it.
TEST(WindowPlacementOnScreen, PlacesAgainOnceTheWindowIsFramed)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget filling;
    WindowPlacement::fill(filling);
    EXPECT_EQ(filling.frameGeometry(), available) << "no frame is known before the window is shown";
    filling.show();
    ASSERT_TRUE(exposed(filling));
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && filling.frameGeometry() != available)
        QTest::qWait(20);
    EXPECT_FALSE(filling.windowHandle()->frameMargins().isNull()) << "the platform shows no frame to test with";
    EXPECT_EQ(filling.frameGeometry(), available);
    EXPECT_EQ(filling.minimumSize(), filling.maximumSize());

    // A form larger than the screen is cut to it, its frame taken from the window shown already.
    QWidget form;
    form.setMinimumSize(10, 10);
    WindowPlacement::centre(form, &filling, available.size() + QSize(300, 200), Shrink::ToArea);
    form.show();
    ASSERT_TRUE(exposed(form));
    EXPECT_EQ(form.frameGeometry(), available);
    EXPECT_EQ(form.size(), available.size().shrunkBy(filling.windowHandle()->frameMargins()));

    // A fixed form is centred at the size its layout shows it at, not the smaller one it was given,
    // so it opens in one place at every showing.
    QWidget dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* content = new QWidget(&dialog);
    content->setMinimumSize(400, 300);
    layout->addWidget(content);
    dialog.resize(100, 100);
    QRect first;
    for (int showing = 0; showing < 2; ++showing) {
        WindowPlacement::centre(dialog, &filling);
        dialog.show();
        ASSERT_TRUE(exposed(dialog));
        EXPECT_EQ(dialog.frameGeometry(),
                  WindowPlacement::centredFrame(dialog.frameGeometry().size(), available, Shrink::No))
            << "showing " << showing;
        if (showing == 0)
            first = dialog.frameGeometry();
        EXPECT_EQ(dialog.frameGeometry(), first) << "showing " << showing;
        dialog.hide();
    }
}

} // namespace
