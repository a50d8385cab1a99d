#include "MapFile.h"

#include "AtlasFixture.h"
#include "Cp932.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray cp932(const QString& s) { return Cp932::encode(s); }

// A valid file: the first line, 62 destination lines, the two fixed treasure lines.
QString skeleton(const QString& first = u",,,,clNavy,clRed,clYellow,"_s)
{
    QString text = first + u"\r\n"_s;
    for (int i = 0; i < 62; ++i)
        text += u",,,,,,,,\r\n"_s;
    return text + u"\r\n\r\n"_s;
}

} // namespace

TEST(MapFile, GoldenFileReadsAndWritesBackByteForByte)
{
    const QByteArray golden = readBytes(goldenMapPath());
    ASSERT_FALSE(golden.isEmpty());
    QString error;
    const auto content = MapFile::parse(golden, &error);
    ASSERT_TRUE(content) << error.toStdString();

    MapDocument doc;
    doc.islands = content->islands;
    ASSERT_TRUE(content->colours);
    doc.colours = *content->colours;
    for (int r = 0; r < 62; ++r)
        for (int c = 0; c < 7 && c < content->rows[r].size(); ++c)
            doc.rows[r][c] = content->rows[r].at(c);
    for (int t = 0; t < content->treasureLines.size(); ++t)
        doc.treasures[t] = content->treasureLines.at(t);

    EXPECT_EQ(doc.islands[0], u"120,45"_s);
    EXPECT_EQ(doc.islands[2], QString());
    EXPECT_EQ(content->mapPictureName, u"map.jpg"_s);
    EXPECT_EQ(doc.colours[1], 0x00123456);
    EXPECT_EQ(doc.rows[0][MapDocument::Description],
              u"<r>赤い</r>文字と\\n改行、\"引用\"もあるよ。\\n{*コメント*} [必答]"_s);
    EXPECT_EQ(doc.rows[1][MapDocument::Title1], u"ﾊﾝｶｸ ｶﾀｶﾅ"_s);
    EXPECT_EQ(doc.rows[1][MapDocument::Speech1], u"セリフ, カンマ入り"_s);
    EXPECT_EQ(doc.rows[5][MapDocument::Description], u"<bg=0000FF>背景</bg> タブ\tなし"_s);
    EXPECT_EQ(doc.rows[61][MapDocument::Description], u"～全角チルダと\\バックスラッシュ"_s);
    EXPECT_EQ(doc.treasures[1], QString());
    EXPECT_EQ(doc.treasures[3], u"r02.bmp"_s);

    EXPECT_EQ(MapFile::write(doc, content->mapPictureName), golden);
}

TEST(MapFile, WritesEveryLineAsTheFormatSays)
{
    MapDocument doc;
    doc.rows[3][MapDocument::Position] = u"10,20"_s;
    doc.rows[3][MapDocument::Description] = u"He said \"hi\""_s;
    doc.treasures[0] = u"t01.jpg"_s;
    doc.treasures[4] = u"r03.bmp"_s; // a gap is written closed up
    const QString text = Cp932::decode(MapFile::write(doc, QString()));
    const QStringList lines = text.split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 1 + 62 + 3 + 1);
    EXPECT_EQ(lines[0], u",,,,clNavy,clRed,clYellow,"_s);
    EXPECT_EQ(lines[1], u",,,,,,,"_s);
    EXPECT_EQ(lines[4], u"\"10,20\",,,,,,\"He said \"\"hi\"\"\","_s);
    EXPECT_EQ(lines[63], u"t01.jpg"_s);
    EXPECT_EQ(lines[64], QString());
    EXPECT_EQ(lines[65], u"r03.bmp"_s);
    EXPECT_EQ(lines[66], QString()); // the file ends with CR LF
}

TEST(MapFile, FirstLineWithoutColoursLeavesThemUnread)
{
    QString error;
    auto c = MapFile::parse(cp932(skeleton(u"1,2,,,"_s)), &error);
    ASSERT_TRUE(c) << error.toStdString();
    EXPECT_FALSE(c->colours);

    c = MapFile::parse(cp932(skeleton(u",,,,clnavy,notacolour,$0000FF,"_s)), &error);
    ASSERT_TRUE(c && c->colours);
    EXPECT_EQ((*c->colours)[0], ColourText::clNavy);
    EXPECT_EQ((*c->colours)[1], ColourText::clRed) << "a colour that is no colour reads as its default";
    EXPECT_EQ((*c->colours)[2], ColourText::clRed);
}

TEST(MapFile, LineEndsMayBeCrLfOrLone)
{
    QString text = skeleton();
    text.replace(u"\r\n"_s, u"\n"_s);
    EXPECT_TRUE(MapFile::parse(cp932(text), nullptr));
    text.replace(u'\n', u'\r');
    EXPECT_TRUE(MapFile::parse(cp932(text), nullptr));
}

TEST(MapFile, RefusesWhatIsNoMap)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        QString says;
    };
    QByteArray binary = cp932(skeleton());
    binary[10] = '\0';
    QByteArray badCode = cp932(skeleton());
    badCode.insert(5, "\x81\x20", 2);
    QString shortFirst = skeleton(u"1,2,3"_s);
    QString fewLines = skeleton();
    fewLines.truncate(fewLines.indexOf(u"\r\n"_s) + 2 + 9 * 10);
    const Case cases[] = {
        {"empty", QByteArray(), u"行数"_s},
        {"too few lines", cp932(fewLines), u"行数"_s},
        {"short first line", cp932(shortFirst), u"1 行目"_s},
        {"binary", binary, u"テキスト"_s},
        {"not code page 932", badCode, u"Shift-JIS"_s},
        {"end-of-file mark inside", cp932(skeleton()).insert(3, '\x1a'), u"テキスト"_s},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(MapFile::parse(c.bytes, &error)) << c.what;
        EXPECT_TRUE(error.contains(c.says)) << c.what << ": " << error.toStdString();
    }
}

TEST(MapFile, EndOfFileMarkAtTheEndIsNoPartOfTheText)
{
    const QByteArray bytes = cp932(skeleton());
    const auto plain = MapFile::parse(bytes, nullptr);
    const auto marked = MapFile::parse(bytes + '\x1a', nullptr);
    ASSERT_TRUE(plain && marked);
    EXPECT_EQ(marked->rows, plain->rows);
    EXPECT_EQ(marked->treasureLines, plain->treasureLines);
}

TEST(MapFile, TextTheCodePageCannotHoldIsReportedNotReplaced)
{
    MapDocument doc;
    doc.rows[0][MapDocument::Title1] = u"emoji 😀 and ☃"_s;
    QString missing;
    EXPECT_TRUE(MapFile::write(doc, QString(), &missing).isEmpty());
    EXPECT_TRUE(missing.contains(u"😀"_s));
}
