#include "PictureRenamer.h"

#include "AtlasFixture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

class PictureRenamerTest : public ::testing::Test {
protected:
    QString folder() const { return dir.path() + u"pics"_s; }
    QString pic(const QString& name) const { return folder() + u'/' + name; }
    void make(const QString& name, QColor c) { writePicture(pic(name), {8, 8}, c); }

    TempFolder dir;
    MapDocument doc;
};

TEST_F(PictureRenamerTest, SwappedDestinationsKeepTheirPictures)
{
    // Destination 05 moved to 04 and the other way round: each picture follows its destination.
    make(u"04.bmp"_s, Qt::red);
    make(u"05.bmp"_s, Qt::blue);
    doc.rows[4][MapDocument::Picture] = u"05.bmp"_s;
    doc.rows[5][MapDocument::Picture] = u"04.bmp *"_s;
    PictureRenamer r(folder(), doc, QString());
    ASSERT_TRUE(r.run()) << r.error().toStdString();
    EXPECT_EQ(r.document().rows[4][MapDocument::Picture], u"04.bmp"_s);
    EXPECT_EQ(r.document().rows[5][MapDocument::Picture], u"05.bmp"_s);
    EXPECT_EQ(pictureColour(pic(u"04.bmp"_s)), QColor(Qt::blue));
    EXPECT_EQ(pictureColour(pic(u"05.bmp"_s)), QColor(Qt::red));
    EXPECT_FALSE(QFileInfo::exists(pic(u"temp2_04.bmp"_s)));
    EXPECT_FALSE(QFileInfo::exists(pic(u"temp2_05.bmp"_s)));
}

TEST_F(PictureRenamerTest, WorkingCopiesTakeFixedNamesAndStayBehind)
{
    make(u"05_003.bmp"_s, Qt::green);
    make(u"map_001.jpg"_s, Qt::yellow);
    doc.rows[5][MapDocument::Picture] = u"05_003.bmp *"_s;
    doc.rows[6][MapDocument::Picture] = u"gone.bmp"_s; // no such file: dropped
    PictureRenamer r(folder(), doc, pic(u"map_001.jpg"_s));
    ASSERT_TRUE(r.run());
    EXPECT_EQ(r.document().rows[5][MapDocument::Picture], u"05.bmp"_s);
    EXPECT_EQ(r.document().rows[6][MapDocument::Picture], QString());
    EXPECT_EQ(r.mapPicturePath(), pic(u"map.jpg"_s));
    EXPECT_TRUE(QFileInfo::exists(pic(u"map.jpg"_s)));
    EXPECT_TRUE(QFileInfo::exists(pic(u"05_003.bmp"_s)));
    EXPECT_TRUE(r.namesChanged());
}

TEST_F(PictureRenamerTest, RareTreasuresCloseRanks)
{
    make(u"a.bmp"_s, Qt::red);
    make(u"b.jpg"_s, Qt::blue);
    make(u"c.bmp"_s, Qt::green);
    make(u"t.bmp"_s, Qt::black);
    doc.treasures[0] = u"t.bmp"_s;
    doc.treasures[2] = u"a.bmp"_s; // row 3
    doc.treasures[6] = u"b.jpg"_s; // row 7
    doc.treasures[8] = u"c.bmp"_s; // row 9
    PictureRenamer r(folder(), doc, QString());
    ASSERT_TRUE(r.run());
    const auto& t = r.document().treasures;
    EXPECT_EQ(t[0], u"t01.bmp"_s);
    EXPECT_EQ(t[1], QString());
    EXPECT_EQ(t[2], u"r01.bmp"_s);
    EXPECT_EQ(t[3], u"r02.jpg"_s);
    EXPECT_EQ(t[4], u"r03.bmp"_s);
    EXPECT_EQ(t[6], QString());
    EXPECT_EQ(t[8], QString());
    EXPECT_EQ(pictureColour(pic(u"r03.bmp"_s)), QColor(Qt::green));
}

TEST_F(PictureRenamerTest, UpperCaseExtensionSurvives)
{
    make(u"X.JPG"_s, Qt::blue);
    doc.rows[2][MapDocument::Picture] = u"X.JPG"_s;
    PictureRenamer r(folder(), doc, QString());
    ASSERT_TRUE(r.run());
    EXPECT_EQ(r.document().rows[2][MapDocument::Picture], u"02.jpg"_s);
    EXPECT_TRUE(QFileInfo::exists(pic(u"02.jpg"_s)));
}

TEST_F(PictureRenamerTest, StaleTemporaryFilesAreNotTakenUp)
{
    make(u"temp2_07.bmp"_s, Qt::red);
    make(u"temp3_05.jpg"_s, Qt::red);
    PictureRenamer r(folder(), doc, QString());
    ASSERT_TRUE(r.run());
    EXPECT_EQ(r.document().rows[7][MapDocument::Picture], QString());
    EXPECT_EQ(r.document().treasures[2], QString());
    EXPECT_FALSE(QFileInfo::exists(pic(u"07.bmp"_s)));
}

TEST_F(PictureRenamerTest, FailedFirstPassChangesNothing)
{
    make(u"a.bmp"_s, Qt::red);
    make(u"b.bmp"_s, Qt::blue);
    doc.rows[0][MapDocument::Picture] = u"a.bmp"_s;
    doc.rows[1][MapDocument::Picture] = u"b.bmp"_s;
    QDir().mkpath(pic(u"temp2_01.bmp"_s)); // a folder where the copy must go
    PictureRenamer r(folder(), doc, QString());
    EXPECT_FALSE(r.run());
    EXPECT_FALSE(r.error().isEmpty());
    EXPECT_EQ(r.document(), doc);
    EXPECT_FALSE(QFileInfo::exists(pic(u"temp2_00.bmp"_s)));
    EXPECT_FALSE(QFileInfo::exists(pic(u"00.bmp"_s)));
}

TEST_F(PictureRenamerTest, FailedSecondPassLeavesEveryNameOnItsPicture)
{
    make(u"a.bmp"_s, Qt::red);
    make(u"b.bmp"_s, Qt::blue);
    doc.rows[0][MapDocument::Picture] = u"a.bmp"_s;
    doc.rows[1][MapDocument::Picture] = u"b.bmp"_s;
    QDir().mkpath(pic(u"01.bmp"_s));
    PictureRenamer r(folder(), doc, QString());
    EXPECT_FALSE(r.run());
    const auto& rows = r.document().rows;
    EXPECT_EQ(pictureColour(pic(rows[0][MapDocument::Picture])), QColor(Qt::red));
    EXPECT_EQ(pictureColour(pic(rows[1][MapDocument::Picture])), QColor(Qt::blue));
    EXPECT_TRUE(r.namesChanged());
}
