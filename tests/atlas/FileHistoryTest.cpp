#include "FileHistory.h"

#include "AtlasFixture.h"

#include <QMenu>

using namespace Qt::StringLiterals;

class FileHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { ProgramFolder::setOverride(program.path()); }
    void TearDown() override { ProgramFolder::setOverride(QString()); }
    QString file() const { return program.file(u"history.txt"_s); }
    TempFolder program;
    FileHistory h;
};

TEST_F(FileHistoryTest, OnePathIsListedOnceAtTheTop)
{
    // A stored "\" and "/" spell one path; letters in another case name another file here.
    program.write(u"history.txt"_s, "maps\\a.map\r\n");
    h.load(file());
    h.add(program.path() + u"b.map"_s);
    h.add(program.path() + u"MAPS/A.map"_s);
    h.add(program.path() + u"maps/a.map"_s);
    EXPECT_EQ(h.entries(), (QStringList{u"maps/a.map"_s, u"MAPS/A.map"_s, u"b.map"_s}));
    EXPECT_EQ(h.clearCaption(), u"履歴の消去(&T)"_s);
}

// A name the file would give back as another file is not stored, and that is told once per map; the
// others still are.
TEST_F(FileHistoryTest, ANameThatWouldNotComeBackStaysOutAndIsToldOnce)
{
    const struct {
        QString name, fault;
    } cases[] = {
        {u"東京〜大阪.map"_s, u"\"〜\""_s}, {u"a−b.map"_s, u"\"−\""_s},
        {u"a—b.map"_s, u"\"—\""_s},         {u"‖¢£¬.map"_s, u"\"‖\" \"¢\" \"£\" \"¬\""_s},
        {u"😀.map"_s, u"\"😀\""_s},           {u"two\nlines.map"_s, u"改行"_s},
        {u"a\\b.map"_s, u"\"\\\""_s},
    };
    QStringList told;
    h.onRefused = [&told](const QString& path, const QString& fault) { told << path + u' ' + fault; };
    h.add(program.path() + u"keep.map"_s);
    for (const auto& c : cases) {
        h.add(program.path() + u"maps/"_s + c.name);
        h.add(program.path() + u"maps/"_s + c.name);
        EXPECT_EQ(told.size(), 1) << c.name.toStdString();
        EXPECT_EQ(told.value(0), program.path() + u"maps/"_s + c.name + u' ' + c.fault);
        told.clear();
    }
    EXPECT_EQ(h.entries(), QStringList{u"keep.map"_s});
    h.add(program.path() + u"東京～大阪.map"_s);
    EXPECT_TRUE(told.isEmpty()) << "the full-width tilde comes back as itself";
}

// Each line stands on its own: one code page 932 cannot read stays where it was, out of the menu, and
// takes no later line with it; a long line is one entry.
TEST_F(FileHistoryTest, AnUnreadableLineKeepsItsPlaceAndTheLinesAfterIt)
{
    const QByteArray longLine = Cp932::encode(u"画像と音声/"_s + QString(140, u'長') + u".map"_s);
    ASSERT_GT(longLine.size(), 255);
    const QByteArray bytes = Cp932::encode(u"a.map\r\n"_s) + "\x81\x20\xff.map\r\n" + longLine + "\n"
                             + "\xe6\x9d\xb1\x81\r" + Cp932::encode(u"日本.map\r\n"_s);
    program.write(u"history.txt"_s, bytes);
    h.load(file());
    EXPECT_EQ(h.entries(), (QStringList{u"a.map"_s, Cp932::decode(longLine), u"日本.map"_s}));
    ASSERT_TRUE(h.save(file()));
    EXPECT_EQ(program.read(file()), bytes) << "nothing changed, nothing written";

    h.add(program.path() + u"b.map"_s);
    ASSERT_TRUE(h.save(file()));
    QByteArray expected = bytes;
    expected.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n");
    EXPECT_EQ(program.read(file()), Cp932::encode(u"b.map\r\n"_s) + expected);
}

TEST_F(FileHistoryTest, KeepsTwelveAndDropsOnlyTheOldestPerAddition)
{
    for (int i = 0; i < 13; ++i)
        h.add(program.path() + u"m/%1.map"_s.arg(i));
    EXPECT_EQ(h.entries().size(), 12);
    EXPECT_EQ(h.entries().last(), u"m/1.map"_s);

    QString many;
    for (int i = 0; i < 15; ++i)
        many += u"old/%1.map\r\n"_s.arg(i);
    program.write(u"history.txt"_s, Cp932::encode(many));
    h.load(file());
    EXPECT_EQ(h.entries().size(), 15);
    EXPECT_EQ(h.clearCaption(), u"履歴の消去(&T)"_s);
    h.add(program.path() + u"new.map"_s);
    EXPECT_EQ(h.entries().size(), 15);
    EXPECT_EQ(h.entries().first(), u"new.map"_s);
    EXPECT_EQ(h.entries().last(), u"old/13.map"_s);
}

TEST_F(FileHistoryTest, SaveAndClear)
{
    h.save(file());
    EXPECT_FALSE(QFileInfo::exists(file())) << "an empty history writes no file";
    h.add(program.path() + u"画像と音声/マップファイル/日本.map"_s);
    ASSERT_TRUE(h.save(file()));
    EXPECT_EQ(program.read(file()), Cp932::encode(u"画像と音声/マップファイル/日本.map\r\n"_s));
    FileHistory again;
    again.load(file());
    EXPECT_EQ(again.entries(), h.entries());
    again.clear(file());
    EXPECT_FALSE(QFileInfo::exists(file()));
    EXPECT_FALSE(again.hasClearItem());
}

// Two programs on one history file: a save puts this program's maps on top of what the file holds
// then (an unreadable line in its place too), a program killed loses nothing it saved, and a clear
// is not undone by another program's memory.
TEST_F(FileHistoryTest, TwoProgramsKeepEachOthersMaps)
{
    program.write(u"history.txt"_s, "old.map\r\n\x81\x20\r\n");
    FileHistory other;
    h.load(file());
    other.load(file());
    h.add(program.path() + u"a.map"_s);
    ASSERT_TRUE(h.save(file()));
    other.add(program.path() + u"b.map"_s);
    ASSERT_TRUE(other.save(file()));
    ASSERT_TRUE(h.save(file())); // the closes
    ASSERT_TRUE(other.save(file()));
    EXPECT_EQ(program.read(file()), "b.map\r\na.map\r\nold.map\r\n\x81\x20\r\n");
    EXPECT_EQ(other.entries(), (QStringList{u"b.map"_s, u"a.map"_s, u"old.map"_s}));

    {
        FileHistory killed;
        killed.load(file());
        killed.add(program.path() + u"c.map"_s);
        ASSERT_TRUE(killed.save(file()));
    }
    h.add(program.path() + u"old.map"_s);
    ASSERT_TRUE(h.save(file()));
    EXPECT_EQ(h.entries(), (QStringList{u"old.map"_s, u"c.map"_s, u"b.map"_s, u"a.map"_s}));

    h.clear(file());
    other.add(program.path() + u"d.map"_s);
    ASSERT_TRUE(other.save(file()));
    EXPECT_EQ(program.read(file()), "d.map\r\n");
    for (int i = 0; i < 13; ++i) {
        FileHistory& one = i % 2 ? h : other;
        one.add(program.path() + u"m/%1.map"_s.arg(i));
        ASSERT_TRUE(one.save(file()));
    }
    EXPECT_EQ(other.entries().size(), FileHistory::MaxFiles);
    EXPECT_EQ(other.entries().first(), u"m/12.map"_s);
    EXPECT_EQ(other.entries().last(), u"m/1.map"_s);
}

using HistoryMenu = AtlasFixture;

TEST_F(HistoryMenu, OpensFromTheMenuAndKeepsAMissingEntry)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    f1().LoadMapFile(path);
    f1().CopyHistoryMenu();
    QStringList texts;
    for (const QAction* a : f1().mmReOpen->actions())
        texts << (a->isSeparator() ? u"-"_s : a->text());
    EXPECT_EQ(texts, (QStringList{u"golden.map"_s, u"-"_s, u"履歴の消去"_s}));

    f1().OpenFromHistory(u"画像と音声\\マップファイル\\nothing.map"_s);
    EXPECT_EQ(prompter->lastText(), u"マップファイルが見つかりません。"_s);

    f1().mmNewClick();
    f1().OpenFromHistory(u"画像と音声\\マップファイル\\golden.map"_s);
    EXPECT_EQ(f1().MapFilePath, path);
}
