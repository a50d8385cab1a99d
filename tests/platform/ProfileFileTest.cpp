#include "ProfileFile.h"

#include "Cp932.h"
#include "TempFolder.h"

#include <QFile>

#include <functional>
#include <random>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString Options = u"編集操作"_s;
const QString Tools = u"外部ツール"_s;

QByteArray cp932(const QString& text)
{
    bool ok = false;
    const QByteArray bytes = Cp932::encode(text, &ok);
    EXPECT_TRUE(ok) << text.toStdString();
    return bytes;
}

// A file with the given text, loaded.
ProfileFile loaded(const TempFolder& temp, const QString& text)
{
    ProfileFile file(temp.write(u"設定ファイル.ini"_s, cp932(text)));
    QString error;
    EXPECT_TRUE(file.load(&error)) << error.toStdString();
    return file;
}

ProfileFile reloaded(const ProfileFile& file)
{
    ProfileFile again(file.path());
    QString error;
    EXPECT_TRUE(again.load(&error)) << error.toStdString();
    return again;
}

QString savedText(const ProfileFile& file)
{
    QString error;
    EXPECT_TRUE(file.save(&error)) << error.toStdString();
    QFile f(file.path());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return Cp932::decode(f.readAll());
}

// ---- Reading what people and programs write ----------------------------------------------

struct ReadCase {
    const char* what;
    QString text;
    QString section, key;
    QString expected; // "<default>" when the key must not be found
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.what; }

const QString Default = u"<default>"_s;

class ProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, FindsTheValue)
{
    TempFolder temp;
    const ReadCase& c = GetParam();
    const ProfileFile file = loaded(temp, c.text);
    EXPECT_EQ(file.readString(c.section, c.key, Default), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProfileReadTest,
    ::testing::Values(
        ReadCase{"blanks around = trimmed", u"[S]\r\n  key \t=  value  \r\n"_s, u"S"_s, u"key"_s, u"value"_s},
        ReadCase{"blanks around the header", u"  [ S ]  \r\nk=v\r\n"_s, u"S"_s, u"k"_s, u"v"_s},
        ReadCase{"no final line break", u"[S]\r\nk=v"_s, u"S"_s, u"k"_s, u"v"_s},
        ReadCase{"LF line ends", u"[S]\nk=v\nm=w\n"_s, u"S"_s, u"m"_s, u"w"_s},
        ReadCase{"section case", u"[Tools]\r\nk=v\r\n"_s, u"TOOLS"_s, u"k"_s, u"v"_s},
        ReadCase{"key case", u"[S]\r\nPaint=v\r\n"_s, u"S"_s, u"pAINT"_s, u"v"_s},
        ReadCase{"only ASCII case folds", u"[S]\r\nＴ=v\r\n"_s, u"S"_s, u"ｔ"_s, Default},
        ReadCase{"full-width space is no blank", u"[S]\r\n　k=v\r\n"_s, u"S"_s, u"k"_s, Default},
        ReadCase{"first = splits", u"[S]\r\nk=a=b==\r\n"_s, u"S"_s, u"k"_s, u"a=b=="_s},
        ReadCase{"blank value is not missing", u"[S]\r\nk=\r\n"_s, u"S"_s, u"k"_s, QString()},
        ReadCase{"comment line", u"[S]\r\n;k=v\r\n"_s, u"S"_s, u"k"_s, Default},
        ReadCase{"line without =", u"[S]\r\nk\r\n"_s, u"S"_s, u"k"_s, Default},
        ReadCase{"before any section", u"k=v\r\n[S]\r\n"_s, u"S"_s, u"k"_s, Default},
        ReadCase{"key of another section", u"[A]\r\nk=v\r\n[B]\r\n"_s, u"B"_s, u"k"_s, Default},
        ReadCase{"first section wins", u"[S]\r\nk=1\r\n[s]\r\nk=2\r\nm=3\r\n"_s, u"S"_s, u"m"_s, Default},
        ReadCase{"first key wins", u"[S]\r\nk=1\r\nK=2\r\n"_s, u"S"_s, u"k"_s, u"1"_s},
        ReadCase{"Japanese names", u"[外部ツール]\r\nお絵かき=C:\\ツール\\easel.exe\r\n"_s, Tools,
                 u"お絵かき"_s, u"C:\\ツール\\easel.exe"_s},
        ReadCase{"header with ] inside", u"[a]b]\r\nk=v\r\n"_s, u"a]b"_s, u"k"_s, u"v"_s},
        ReadCase{"key starting with [", u"[S]\r\n[k=1\r\nm=2\r\n"_s, u"S"_s, u"m"_s, u"2"_s},
        ReadCase{"key starting with [ is a key", u"[S]\r\n[k=1\r\n"_s, u"S"_s, u"[k"_s, u"1"_s}));

// Keys the tools dialog never lets through; what a write and a reread make of them.
TEST(ProfileFileTest, KeysThatCannotComeBackReadAsDocumented)
{
    TempFolder temp;
    ProfileFile file(temp.file(u"a.ini"_s));
    file.writeString(u"S"_s, u"a=b"_s, u"c"_s);
    file.writeString(u"S"_s, u";note"_s, u"x"_s);
    file.writeString(u"S"_s, u"[T"_s, u"y"_s);
    file.writeString(u"S"_s, u"  "_s, u"nothing"_s);
    ASSERT_TRUE(file.save());
    const ProfileFile again = reloaded(file);
    EXPECT_EQ(again.keys(u"S"_s), (QStringList{u"a"_s, u"[T"_s}));
    EXPECT_EQ(again.readString(u"S"_s, u"a"_s, Default), u"b=c"_s);
    EXPECT_EQ(savedText(reloaded(again)), savedText(again));
    EXPECT_FALSE(savedText(again).contains(u"nothing"_s));
}

TEST(ProfileFileTest, ValueReadIsCutAt2047CharactersButKeptWhole)
{
    TempFolder temp;
    QString longValue;
    for (int i = 0; i < 3000; ++i)
        longValue += i % 2 ? u'あ' : u'x';
    ProfileFile file(temp.file(u"a.ini"_s));
    file.writeString(u"S"_s, u"k"_s, longValue);
    file.writeString(u"S"_s, u"exact"_s, longValue.left(ProfileFile::MaxValueLength));
    EXPECT_EQ(file.readString(u"S"_s, u"k"_s, QString()), longValue.left(ProfileFile::MaxValueLength));
    EXPECT_EQ(file.readString(u"S"_s, u"missing"_s, longValue).size(), ProfileFile::MaxValueLength);

    ASSERT_TRUE(file.save());
    const ProfileFile again = reloaded(file);
    EXPECT_EQ(again.readString(u"S"_s, u"k"_s, QString()), longValue.left(ProfileFile::MaxValueLength));
    EXPECT_EQ(again.readString(u"S"_s, u"exact"_s, QString()), longValue.left(ProfileFile::MaxValueLength));
    // Writing back what was read is the program's business; the file itself loses nothing.
    EXPECT_TRUE(savedText(again).contains(longValue));
}

TEST(ProfileFileTest, IntegersReadAsDecimalOrDefault)
{
    const struct {
        QString value;
        int expected;
    } cases[] = {
        {u"12"_s, 12},       {u" -3 "_s, -3}, {u"+7"_s, 7},   {u"300"_s, 300}, {u"0"_s, 0},
        {u""_s, 42},         {u"abc"_s, 42},  {u"12abc"_s, 42}, {u"0x10"_s, 42}, {u"1 2"_s, 42},
        {u"99999999999"_s, 42}, {u"-"_s, 42},
    };
    TempFolder temp;
    ProfileFile file(temp.file(u"a.ini"_s));
    for (const auto& c : cases) {
        file.writeString(u"S"_s, u"k"_s, c.value);
        EXPECT_EQ(file.readInteger(u"S"_s, u"k"_s, 42), c.expected) << c.value.toStdString();
    }
    EXPECT_EQ(file.readInteger(u"S"_s, u"missing"_s, 42), 42);
}

// ---- Defaults -------------------------------------------------------------------------------

TEST(ProfileFileTest, MissingFileReadsAsEmpty)
{
    TempFolder temp;
    ProfileFile file(temp.file(u"設定ファイル.ini"_s));
    QString error;
    EXPECT_TRUE(file.load(&error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(file.exists());
    EXPECT_EQ(file.readString(Options, u"変換文字"_s, u"d"_s), u"d"_s);
    EXPECT_EQ(file.readInteger(Options, u"置換条件"_s, 1), 1);
    EXPECT_TRUE(file.keys(Tools).isEmpty());
    EXPECT_FALSE(temp.exists(u"設定ファイル.ini"_s));
}

TEST(ProfileFileTest, MissingKeysGiveTheirDefaults)
{
    TempFolder temp;
    const ProfileFile file = loaded(temp, u"[編集操作]\r\n変換文字=あい\r\n"_s);
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(file.readString(Options, u"変換文字"_s, QString()), u"あい"_s);
    EXPECT_EQ(file.readInteger(Options, u"変換条件"_s, 0), 0);
    EXPECT_EQ(file.readInteger(Options, u"置換条件"_s, 1), 1);
    EXPECT_EQ(file.readInteger(Options, u"検索条件"_s, 1), 1);
    EXPECT_TRUE(file.keys(Tools).isEmpty());
}

// ---- Writing ---------------------------------------------------------------------------------

TEST(ProfileFileTest, WritesExactBytes)
{
    TempFolder temp;
    ProfileFile file(temp.file(u"設定ファイル.ini"_s));
    file.writeString(Options, u"変換文字"_s, QString());
    file.writeString(Options, u"変換条件"_s, u"0"_s);
    file.writeString(Tools, u"お絵かき"_s, u"easel.exe"_s);
    ASSERT_TRUE(file.save());
    EXPECT_EQ(temp.read(file.path()), QByteArray("[\x95\xd2\x8fW\x91\x80\x8d\xec]\r\n"
                                                 "\x95\xcf\x8a\xb7\x95\xb6\x8e\x9a=\r\n"
                                                 "\x95\xcf\x8a\xb7\x8f\xf0\x8c\x8f=0\r\n"
                                                 "[\x8aO\x95\x94\x83"
                                                 "c\x81[\x83\x8b]\r\n"
                                                 "\x82\xa8\x8aG\x82\xa9\x82\xab=easel.exe\r\n"));
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"設定ファイル.ini"_s});
}

TEST(ProfileFileTest, RoundTripKeepsOrderNamesAndValues)
{
    TempFolder temp;
    const struct {
        QString key, value;
    } tools[] = {
        {u"お絵かき"_s, u"easel.exe"_s},
        {u"Zebra"_s, u"/usr/bin/zebra"_s},
        {u"アルファ"_s, u"C:\\Program Files\\a b\\a.exe"_s},
        {u"empty"_s, QString()},
        {u"eq"_s, u"a=b=c"_s},
        {u"Tool"_s, u"first"_s},
        {u"TOOL"_s, u"second"_s}, // the same key: replaces "first" in place
        {u"last"_s, u"ｶﾀｶﾅ～"_s},
    };
    ProfileFile file(temp.file(u"設定ファイル.ini"_s));
    file.writeString(Options, u"変換文字"_s, u"、。"_s);
    file.writeString(Options, u"変換条件"_s, u"5"_s);
    for (const auto& t : tools)
        file.writeString(Tools, t.key, t.value);
    file.writeString(u"Zzz"_s, u"k"_s, u"v"_s);
    ASSERT_TRUE(file.save());

    const ProfileFile again = reloaded(file);
    const QStringList expectedKeys{u"お絵かき"_s, u"Zebra"_s, u"アルファ"_s, u"empty"_s, u"eq"_s, u"Tool"_s, u"last"_s};
    EXPECT_EQ(again.keys(Tools), expectedKeys);
    EXPECT_EQ(again.readString(Tools, u"tool"_s, Default), u"second"_s);
    for (const auto& t : tools) {
        if (t.key != u"Tool"_s && t.key != u"TOOL"_s) {
            EXPECT_EQ(again.readString(Tools, t.key, Default), t.value) << t.key.toStdString();
        }
    }
    EXPECT_EQ(again.readString(Options, u"変換文字"_s, Default), u"、。"_s);
    EXPECT_EQ(again.readInteger(Options, u"変換条件"_s, 9), 5);
    EXPECT_EQ(again.readString(u"ZZZ"_s, u"K"_s, Default), u"v"_s);
    // Section order: options, tools, Zzz.
    const QString text = savedText(again);
    EXPECT_LT(text.indexOf(u"[編集操作]"_s), text.indexOf(u"[外部ツール]"_s));
    EXPECT_LT(text.indexOf(u"[外部ツール]"_s), text.indexOf(u"[Zzz]"_s));
}

// What the map editor's save does: options replaced in place, tools section rebuilt.
TEST(ProfileFileTest, RewriteKeepsCommentsBlankLinesAndOtherSections)
{
    TempFolder temp;
    ProfileFile file = loaded(temp, u"; settings of the map editor\r\n"
                                    "\r\n"
                                    "[編集操作]\r\n"
                                    "変換文字 = abc\r\n"
                                    "; flags\r\n"
                                    "変換条件=1\r\n"
                                    "\r\n"
                                    "[外部ツール]\r\n"
                                    "old=old.exe\r\n"
                                    "\r\n"
                                    "[他のプログラム]\r\n"
                                    "keep=this\r\n"
                                    "[外部ツール]\r\n"
                                    "stale=copy.exe\r\n"_s);
    file.writeString(Options, u"変換条件"_s, u"2"_s);
    file.writeString(Options, u"検索条件"_s, u"1"_s);
    file.eraseSection(u"外部ツール"_s);
    file.writeString(Tools, u"new"_s, u"new.exe"_s);
    EXPECT_EQ(savedText(file), u"; settings of the map editor\r\n"
                               "\r\n"
                               "[編集操作]\r\n"
                               "変換文字 = abc\r\n"
                               "; flags\r\n"
                               "変換条件=2\r\n"
                               "検索条件=1\r\n"
                               "\r\n"
                               "[他のプログラム]\r\n"
                               "keep=this\r\n"
                               "[外部ツール]\r\n"
                               "new=new.exe\r\n"_s);
}

TEST(ProfileFileTest, EraseSectionRemovesOnlyThatSection)
{
    TempFolder temp;
    ProfileFile file(temp.file(u"a.ini"_s));
    file.writeString(u"A"_s, u"k"_s, u"1"_s);
    file.writeString(Tools, u"t"_s, u"2"_s);
    file.writeString(u"B"_s, u"k"_s, u"3"_s);
    file.eraseSection(u"外部ツール"_s);
    file.eraseSection(u"not there"_s);
    EXPECT_TRUE(file.keys(Tools).isEmpty());
    ASSERT_TRUE(file.save());
    EXPECT_EQ(savedText(file), u"[A]\r\nk=1\r\n[B]\r\nk=3\r\n"_s);
    // Written again after the erase, the section comes back at the end.
    file.writeString(Tools, u"t"_s, u"4"_s);
    EXPECT_EQ(savedText(file), u"[A]\r\nk=1\r\n[B]\r\nk=3\r\n[外部ツール]\r\nt=4\r\n"_s);
}

TEST(ProfileFileTest, ReplaceInPlaceKeepsSpellingAndPosition)
{
    TempFolder temp;
    ProfileFile file = loaded(temp, u"[Tools]\r\nPaint = a.exe\r\nView=b.exe\r\n"_s);
    file.writeString(u"TOOLS"_s, u"PAINT"_s, u"  c.exe "_s);
    EXPECT_EQ(file.readString(u"tools"_s, u"paint"_s, Default), u"c.exe"_s);
    EXPECT_EQ(savedText(file), u"[Tools]\r\nPaint=c.exe\r\nView=b.exe\r\n"_s);
}

// ---- Failures ------------------------------------------------------------------------------

TEST(ProfileFileTest, SaveLeavesOutWhatTheFileCannotHoldAndWritesTheRest)
{
    const struct {
        const char* what;
        QString section, key, value;
        QString fault;
    } cases[] = {
        {"emoji in a value", Tools, u"k"_s, u"a😀b"_s, u"\"😀\""_s},
        {"hangul in a key", Tools, u"한"_s, u"v"_s, u"\"한\""_s},
        {"line break in a value", Tools, u"k"_s, u"a\nb"_s, u"改行"_s},
        {"line break in a section", u"a\r\nb"_s, u"k"_s, u"v"_s, u"改行"_s},
        {"control character", Tools, u"k"_s, u"a\x01z"_s, u"制御文字（U+0001）"_s},
        {"tab", Tools, u"k"_s, u"a\tb"_s, u"タブ"_s},
        {"wave dash stored one way", Tools, u"k"_s, u"ツール〜/a"_s, u"\"〜\""_s},
        {"minus and dash", Tools, u"k"_s, u"a−b—c−"_s, u"\"−\" \"—\""_s},
    };
    for (const auto& c : cases) {
        TempFolder temp;
        ProfileFile file(temp.write(u"a.ini"_s, cp932(u"[外部ツール]\r\nk=old\r\n"_s)));
        ASSERT_TRUE(file.load());
        EXPECT_EQ(ProfileFile::storeFault(c.key + c.value + c.section), c.fault) << c.what;
        file.writeString(c.section, c.key, c.value);
        file.writeString(Options, u"検索条件"_s, u"1"_s);
        QString error;
        QStringList leftOut;
        EXPECT_TRUE(file.save(&error, &leftOut)) << c.what << ": " << error.toStdString();
        ASSERT_EQ(leftOut.size(), 1) << c.what;
        EXPECT_TRUE(leftOut[0].contains(c.key) && leftOut[0].contains(c.fault)) << leftOut[0].toStdString();
        // The line the value would have replaced stands; the rest is written.
        EXPECT_EQ(savedText(file), u"[外部ツール]\r\nk=old\r\n[編集操作]\r\n検索条件=1\r\n"_s) << c.what;
    }
    EXPECT_EQ(ProfileFile::storeFault(u"C:\\ツール～\\ａ－ｂ.exe"_s), QString());
}

// A stray byte spoils its own line only: the rest reads, and what was not read goes back as it was.
TEST(ProfileFileTest, UnreadableLinesStayWhereTheyStood)
{
    TempFolder temp;
    const QByteArray bytes = cp932(u"[S]\r\nk=ok\r\n"_s) + "m=\x81\x20\r\n" + "[\x81\xff]\r\nx=1\r\n"
                             + cp932(u"[外部ツール]\r\nA=a\r\n"_s) + "\xfd\r\n" + cp932(u"B=b\r\n"_s);
    ProfileFile file(temp.write(u"a.ini"_s, bytes));
    ASSERT_TRUE(file.load());
    EXPECT_EQ(file.unreadableLines(), (QList<int>{3, 4, 8}));
    EXPECT_EQ(file.readString(u"S"_s, u"k"_s, Default), u"ok"_s);
    EXPECT_EQ(file.readString(u"S"_s, u"m"_s, Default), Default);
    EXPECT_EQ(file.readString(u"S"_s, u"x"_s, Default), Default) << "under a header no one can name";
    EXPECT_EQ(file.keys(Tools), (QStringList{u"A"_s, u"B"_s}));

    file.writeString(u"S"_s, u"m"_s, u"new"_s);
    // The tools the caller read take their places in order; the line it could not read keeps its own.
    file.replaceKeys(Tools, {u"a"_s, u"B"_s}, {{u"B"_s, u"b"_s}, {u"C"_s, u"c"_s}, {u"D"_s, u"d"_s}});
    ASSERT_TRUE(file.save());
    EXPECT_EQ(temp.read(file.path()), cp932(u"[S]\r\nk=ok\r\n"_s) + "m=\x81\x20\r\n" + cp932(u"m=new\r\n"_s)
                                          + "[\x81\xff]\r\nx=1\r\n" + cp932(u"[外部ツール]\r\nB=b\r\n"_s) + "\xfd\r\n"
                                          + cp932(u"C=c\r\nD=d\r\n"_s));
    file.eraseSection(Tools);
    file.replaceKeys(Tools, {}, {{u"E"_s, u"e"_s}});
    EXPECT_TRUE(file.toBytes().endsWith(cp932(u"[外部ツール]\r\n"_s) + "\xfd\r\n" + cp932(u"E=e\r\n"_s)));
}

// ---- Property: reading and writing back random files ---------------------------------------

QStringList contentOf(const ProfileFile& file)
{
    QStringList out;
    for (const QString& section : {u"S"_s, Tools, Options, u"T"_s})
        for (const QString& key : file.keys(section))
            out << section + u'/' + key + u'=' + file.readString(section, key, Default);
    return out;
}

// Random lines (headers, keys, comments, blanks), a quarter with a byte code page 932 cannot read;
// random writes, replacements and erasures: every value comes back and every unreadable line stays.
TEST(ProfileFileTest, WritingBackKeepsEveryUnreadableLineAndEveryValue)
{
    const QStringList sections{u"S"_s, u"s"_s, Tools, Options, u" T "_s}, keys{u"k"_s, u"K"_s, u"お絵かき"_s, u" x"_s};
    const QStringList pieces{u"a"_s, u"0"_s, u" "_s, u"="_s, u";"_s, u"["_s, u"]"_s, u"\\"_s, u"ア"_s, u"ｶ"_s, u"～"_s};
    const QList<QByteArray> stray{"\x81", "\x81\x20", "\xfd", "\xff", "\xe0\x7f", "\x9f"};
    for (unsigned seed = 1; seed <= 1000; ++seed) {
        std::mt19937 random(seed);
        const auto pick = [&random](const auto& from) { return from.at(random() % from.size()); };
        const auto text = [&] {
            QString out;
            for (int n = random() % 6; n > 0; --n)
                out += pick(pieces);
            return out;
        };
        const std::function<QString()> kinds[] = {[&] { return u"["_s + pick(sections) + u"]"_s; },
                                                  [&] { return u";"_s + text(); }, [] { return QString(); },
                                                  [&] { return pick(keys) + u"="_s + text(); }};
        QList<QByteArray> unreadable;
        QByteArray bytes, plain;
        for (int n = random() % 14; n > 0; --n) {
            QByteArray line = Cp932::encode(kinds[random() % 4]());
            if (random() % 4 == 0)
                line.insert(random() % (line.size() + 1), pick(stray));
            bool ok = true;
            Cp932::decode(line, &ok);
            if (!ok)
                unreadable << line;
            bytes += line + (random() % 2 ? "\r\n" : "\n");
            plain += line + "\r\n";
        }
        ProfileFile file(u"/nonexistent/a.ini"_s);
        file.loadBytes(bytes);
        ASSERT_EQ(file.toBytes(), plain) << "seed " << seed << ": nothing written, nothing changed";
        ASSERT_EQ(file.unreadableLines().size(), unreadable.size()) << "seed " << seed;

        for (int n = random() % 8; n > 0; --n) {
            if (const int what = random() % 5; what < 2)
                file.eraseSection(pick(sections));
            else if (what == 2)
                file.replaceKeys(pick(sections), {pick(keys)}, {{pick(keys), text()}});
            else
                file.writeString(pick(sections), pick(keys), text());
        }
        QStringList leftOut;
        const QByteArray written = file.toBytes(&leftOut);
        EXPECT_TRUE(leftOut.isEmpty()) << "seed " << seed;
        ProfileFile again(file.path());
        again.loadBytes(written);
        EXPECT_EQ(contentOf(again), contentOf(file)) << "seed " << seed;
        // Every line that could not be read is there, byte for byte and in its order.
        qsizetype from = 0;
        const QList<QByteArray> writtenLines = written.split('\n');
        for (const QByteArray& line : unreadable) {
            while (from < writtenLines.size() && writtenLines[from] != line + '\r')
                ++from;
            ASSERT_LT(from++, writtenLines.size()) << "seed " << seed << ": lost " << line.toHex().constData();
        }
    }
}

} // namespace
