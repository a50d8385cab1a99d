#include "MapGeometry.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace MapGeometry;

TEST(MapGeometryTest, PickCommaFieldCountsPiecesFromZero)
{
    const struct {
        QString text;
        int n;
        QString piece;
    } cases[] = {
        {u"a,b,c"_s, 0, u"a"_s},    {u"a,b,c"_s, 2, u"c"_s},   {u"a,b,c"_s, 3, QString()},
        {u"a,,c"_s, 1, QString()},  {u"abc"_s, 0, u"abc"_s},   {u"abc"_s, 1, QString()},
        {QString(), 0, QString()},  {u" a , b"_s, 1, u" b"_s}, {u"a,b,"_s, 2, QString()},
        {u"a,b"_s, -1, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " #" + std::to_string(c.n));
        EXPECT_EQ(PickCommaField(u',', c.text, c.n), c.piece);
    }
    EXPECT_EQ(PickCommaField(u'/', u"x/y"_s, 1), u"y"_s);
}

TEST(MapGeometryTest, ParsePositionNeedsTwoIntegerPieces)
{
    const struct {
        QString text;
        std::optional<QPoint> position;
    } cases[] = {
        {u"10,20"_s, QPoint(10, 20)},
        {u" 10 , 20 "_s, QPoint(10, 20)},
        {u"-5,7"_s, QPoint(-5, 7)},
        {u"+3,2000"_s, QPoint(3, 2000)},
        {u"10,20,30"_s, QPoint(10, 20)},
        {u"10,20,junk"_s, QPoint(10, 20)},
        {QString(), std::nullopt},
        {u"abc"_s, std::nullopt},
        {u"10"_s, std::nullopt},
        {u"10,"_s, std::nullopt},
        {u",20"_s, std::nullopt},
        {u"1.5,2"_s, std::nullopt},
        {u"10,2x"_s, std::nullopt},
        {u"0x10,2"_s, std::nullopt},
        {u"99999999999,2"_s, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(parsePosition(c.text), c.position);
    }
}

TEST(MapGeometryTest, PositionTextReadsBack)
{
    EXPECT_EQ(positionText(12, 345), u"12,345"_s);
    EXPECT_EQ(positionText(-7, 0), u"-7,0"_s);
    EXPECT_EQ(parsePosition(positionText(-7, 1000)), QPoint(-7, 1000));
}

TEST(MapGeometryTest, IslandLabelTextHasAFullWidthRank)
{
    EXPECT_EQ(IslandLabelText(1), u"■１位のプレイヤーの島■"_s);
    EXPECT_EQ(IslandLabelText(2), u"■２位のプレイヤーの島■"_s);
    EXPECT_EQ(IslandLabelText(3), u"■３位のプレイヤーの島■"_s);
    for (int n : {0, 4, -1})
        EXPECT_EQ(IslandLabelText(n), u"■？位のプレイヤーの島■"_s) << n;
}

TEST(MapGeometryTest, HitPointBoxReachesSevenBeforeAndSevenAfterTheCentre)
{
    MapDocument doc;
    doc.rows[4][MapDocument::Position] = u"100,200"_s;
    const struct {
        QPoint p;
        int row;
    } cases[] = {
        {{100, 200}, 4}, {{93, 200}, 4},  {{92, 200}, -1}, {{107, 200}, 4}, {{108, 200}, -1},
        {{100, 193}, 4}, {{100, 192}, -1}, {{100, 207}, 4}, {{100, 208}, -1}, {{93, 207}, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hitPoint(doc, c.p), c.row) << c.p.x() << "," << c.p.y();
}

TEST(MapGeometryTest, HitPointPrefersTheLowestRowAndSkipsUnplacedRows)
{
    MapDocument doc;
    doc.rows[0][MapDocument::Position] = u"abc"_s; // hand-edited: not placed, must not crash
    doc.rows[1][MapDocument::Position] = u"105,"_s;
    doc.rows[10][MapDocument::Position] = u"105,100"_s;
    doc.rows[3][MapDocument::Position] = u"100,100"_s;
    doc.rows[61][MapDocument::Position] = u"-20,-20"_s;
    EXPECT_EQ(hitPoint(doc, {104, 100}), 3);
    EXPECT_EQ(hitPoint(doc, {108, 100}), 10);
    EXPECT_EQ(hitPoint(doc, {112, 100}), 10);
    EXPECT_EQ(hitPoint(doc, {-27, -13}), 61);
    EXPECT_EQ(hitPoint(doc, {0, 0}), -1);
    EXPECT_EQ(hitPoint(MapDocument(), {100, 100}), -1);
}

TEST(MapGeometryTest, HitIslandUsesTheLabelBoxAndTriesLabelsInOrder)
{
    MapDocument doc;
    doc.islands = {u"100,50"_s, u"150,60"_s, u"nowhere"_s};
    const int lw = 40, lh = 10;
    const struct {
        QPoint p;
        int island;
    } cases[] = {
        {{100, 50}, 0}, {{99, 50}, -1}, {{100, 49}, -1}, {{160, 65}, 0},  {{179, 69}, 0},
        {{180, 65}, 1}, {{229, 79}, 1}, {{230, 79}, -1}, {{229, 80}, -1}, {{120, 75}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hitIsland(doc, c.p, lw, lh), c.island) << c.p.x() << "," << c.p.y();

    doc.islands[0].clear();
    EXPECT_EQ(hitIsland(doc, {160, 65}, lw, lh), 1);
}
