#include "MapFile.h"

#include "AtlasFixture.h"
#include "Cp932.h"
#include "MyRichEdit.h"
#include "TextAdmission.h"

#include <gtest/gtest.h>
#include <random>

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

namespace {

// Characters as the boxes may be given them: pasted line breaks of every kind, control characters,
// what code page 932 holds, what it holds only one way, and what it cannot hold at all.
const QString Pool[] = {u"a"_s,     u"Z"_s,      u"0"_s,     u" "_s,     u","_s,      u"\""_s,     u"\\"_s,
                        u"\\n"_s,   u"\t"_s,     u"\r"_s,    u"\n"_s,    u"\r\n"_s,   u"\x07"_s,   u"\x0b"_s,
                        u"\x0c"_s,  u"\x1a"_s,   u"\x1f"_s,  u"\x7f"_s,  u"あ"_s,     u"漢"_s,     u"ｶ"_s,
                        u"～"_s,    u"〜"_s,     u"−"_s,     u"①"_s,     u"髙"_s,     u"<r>"_s,    u"'"_s,
                        u"\u2028"_s, u"\u2029"_s, u"\u0085"_s, u"\u00a0"_s, u"é"_s,      u"𠮷"_s,     u"😀"_s};

// What the boxes take in: the description's rule, and the title and speech boxes' first line.
const TextAdmission::Options Description = TMyRichEdit::DescriptionAdmission().options;
constexpr TextAdmission::Options OneLine{.oneLine = true};

// The pool's characters up to here have a code page 932 form.
constexpr size_t Encodable = 28;

QString randomText(std::mt19937& random, int maxLength, size_t pool = std::size(Pool))
{
    QString text;
    const int n = int(random() % unsigned(maxLength + 1));
    for (int i = 0; i < n; ++i)
        text += Pool[random() % pool];
    if (random() % 16 == 0)
        text += QChar(char16_t(random() % 0x20)); // any control character
    return text;
}

// A description as the editor hands it back: its box's filter, the box's line breaks, each stored
// as the two characters "\n".
QString descriptionCell(const QString& typed)
{
    QString text = TextAdmission::admit(typed, Description).text;
    text.replace(u"\r\n"_s, u"\n"_s);
    for (const QChar breaks : {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        text.replace(breaks, u'\n');
    return text.replace(u"\n"_s, u"\\n"_s);
}

// Whether the file's content reads as the document that was written.
::testing::AssertionResult readsBackAs(const MapFile::Content& c, const MapDocument& doc, const QString& picture)
{
    if (c.islands != doc.islands || c.mapPictureName != picture || !c.colours || *c.colours != doc.colours)
        return ::testing::AssertionFailure() << "line 1 differs";
    for (int r = 0; r < MapDocument::DestinationCount; ++r)
        if (c.rows[r] != QStringList(doc.rows[r].begin(), doc.rows[r].end()) + QStringList{QString()})
            return ::testing::AssertionFailure() << "destination " << r << " reads as "
                                                 << c.rows[r].join(u'|').toStdString();
    QStringList treasures{doc.treasures[0], doc.treasures[1]};
    for (int t = 2; t < MapDocument::TreasureCount; ++t)
        if (!doc.treasures[t].isEmpty())
            treasures << doc.treasures[t];
    if (c.treasureLines != treasures)
        return ::testing::AssertionFailure() << "the treasures differ";
    return ::testing::AssertionSuccess();
}

} // namespace

// Whatever the boxes take in reads back the same; what nothing filtered either reads back the same or
// is refused with the place and the character named, and never becomes a file the reader refuses.
TEST(MapFile, WhatTheBoxesTakeReadsBackTheSameAndNothingElseIsWritten)
{
    std::mt19937 random(20240611);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        auto oneLine = [&](int length) { return TextAdmission::admit(randomText(random, length), OneLine).text; };
        MapDocument doc;
        for (QString& island : doc.islands)
            island = random() % 3 ? u"%1,%2"_s.arg(int(random() % 1200) - 100).arg(int(random() % 600) - 100) : QString();
        for (auto& colour : doc.colours)
            colour = ColourText::TColor(random() % 0x1000000);
        for (int r = 0; r < MapDocument::DestinationCount; ++r) {
            if (random() % 4 == 0)
                continue;
            MapDocument::Row& row = doc.rows[r];
            row[MapDocument::Position] = u"%1,%2"_s.arg(int(random() % 960)).arg(int(random() % 435));
            row[MapDocument::Title1] = oneLine(12);
            row[MapDocument::Title2] = oneLine(12);
            row[MapDocument::Picture] = random() % 2 ? u"%1_00%2.bmp *"_s.arg(r).arg(random() % 9) : QString();
            row[MapDocument::Speech1] = oneLine(8);
            row[MapDocument::Speech2] = oneLine(8);
            row[MapDocument::Description] = descriptionCell(randomText(random, 40));
        }
        // Now and then a megabyte pasted on one line.
        if (round % 50 == 7)
            doc.rows[random() % MapDocument::DestinationCount][MapDocument::Description] =
                descriptionCell(TextAdmission::admit(randomText(random, 1 << 20), Description).text);
        for (int t = 0; t < MapDocument::TreasureCount; ++t)
            if (random() % 3 == 0)
                doc.treasures[t] = u"r%1.jpg"_s.arg(t);
        // Every other round one text comes in by another road than the boxes, unfiltered, at times
        // only of characters code page 932 has a form for.
        const bool filtered = round % 2 == 0;
        if (!filtered)
            doc.rows[random() % MapDocument::DestinationCount][1 + random() % 6] =
                randomText(random, 20, random() % 2 ? Encodable : std::size(Pool));

        QString why;
        const QByteArray bytes = MapFile::write(doc, u"map.jpg"_s, &why);
        if (bytes.isEmpty()) {
            ASSERT_FALSE(filtered) << "round " << round << ": " << why.toStdString();
            EXPECT_TRUE(why.startsWith(u"旅行地 "_s)) << why.toStdString();
            ++refused;
            continue;
        }
        QString error;
        const auto back = MapFile::parse(bytes, &error);
        ASSERT_TRUE(back) << "round " << round << ": " << error.toStdString();
        ASSERT_TRUE(readsBackAs(*back, doc, u"map.jpg"_s)) << "round " << round;
    }
    EXPECT_GT(refused, 50) << "the unfiltered rounds met what the file cannot hold";
}

TEST(MapFile, ARefusedDocumentNamesThePlaceAndTheCharacter)
{
    const struct {
        int row;
        MapDocument::Column column;
        QString text;
        QString says;
    } cases[] = {
        {1, MapDocument::Title1, u"X\nY"_s, u"旅行地 01 の「タイトル１行目」に，マップファイルに保存できない文字（改行）があります。"_s},
        {5, MapDocument::Description, u"ベル\x07"_s, u"旅行地 05 の「説明文」に，マップファイルに保存できない文字（制御文字 U+0007）があります。"_s},
        {61, MapDocument::Speech2, u"emoji 😀"_s, u"旅行地 61 の「せりふ２行目」に，マップファイルに保存できない文字（\"😀\" (U+1F600)）があります。"_s},
        {0, MapDocument::Title2, u"〜"_s, u"旅行地 00 の「タイトル２行目」に，マップファイルに保存できない文字（\"〜\" (U+301C)）があります。"_s},
    };
    for (const auto& c : cases) {
        MapDocument doc;
        doc.rows[c.row][c.column] = c.text;
        QString why;
        EXPECT_TRUE(MapFile::write(doc, QString(), &why).isEmpty()) << c.says.toStdString();
        EXPECT_EQ(why, c.says);
    }
    MapDocument doc;
    doc.treasures[7] = u"r07\r.bmp"_s;
    QString why;
    EXPECT_TRUE(MapFile::write(doc, QString(), &why).isEmpty());
    EXPECT_EQ(why, u"宝物 r06 の画像名に，マップファイルに保存できない文字（改行）があります。"_s);
}
