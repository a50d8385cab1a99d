#include "MapUndo.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

MapSnapshot state(int n)
{
    MapDocument doc;
    doc.rows[0][MapDocument::Title1] = QString::number(n);
    return MapUndo::take(doc, 0, false, QString(), 1);
}

int titleOf(const MapSnapshot& s) { return s.rows[0][MapDocument::Title1].toInt(); }

} // namespace

TEST(MapUndo, BranchAfterUndoingWalksBackThroughEveryState)
{
    // Twenty steps, fifteen undone, then a change: undo must visit 5..20, then 19..0 again.
    MapUndo u;
    u.reset(state(0));
    for (int i = 1; i <= 20; ++i)
        EXPECT_TRUE(u.push(state(i)));
    for (int i = 0; i < 15; ++i)
        u.undo();
    EXPECT_EQ(titleOf(u.current()), 5);
    EXPECT_TRUE(u.push(state(100)));
    EXPECT_FALSE(u.canRedo());
    std::vector<int> seen;
    while (u.undo())
        seen.push_back(titleOf(u.current()));
    std::vector<int> expected{5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 19, 18, 17, 16};
    EXPECT_EQ(seen, expected);
}

TEST(MapUndo, OnlyDestinationsIslandsAndPictureMakeAStep)
{
    MapUndo u;
    u.reset(state(1));
    MapSnapshot s = state(1);
    s.island = 2;
    s.islandMode = true;
    s.row = 9;
    EXPECT_FALSE(u.push(s));
    s.islands[1] = u"3,4"_s;
    EXPECT_TRUE(u.push(s));
    s.picturePath = u"/p/map.bmp"_s;
    EXPECT_TRUE(u.push(s));
    EXPECT_FALSE(u.push(s));
}
