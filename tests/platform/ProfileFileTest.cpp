#include "ProfileFile.h"

#include "Cp932.h"
#include "TempFolder.h"

#include <QFile>

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

TEST(ProfileFileTest, SaveRefusesWhatTheFileCannotHoldAndKeepsTheOldFile)
{
    const struct {
        const char* what;
        QString section, key, value;
        QString inMessage;
    } cases[] = {
        {"emoji in a value", Tools, u"k"_s, u"a😀b"_s, u"😀"_s},
        {"hangul in a key", Tools, u"한"_s, u"v"_s, u"한"_s},
        {"line break in a value", Tools, u"k"_s, u"a\nb"_s, u"改行"_s},
        {"line break in a section", u"a\r\nb"_s, u"k"_s, u"v"_s, u"改行"_s},
    };
    for (const auto& c : cases) {
        TempFolder temp;
        const QByteArray before = cp932(u"[外部ツール]\r\nk=old\r\n"_s);
        ProfileFile file(temp.write(u"a.ini"_s, before));
        ASSERT_TRUE(file.load());
        file.writeString(c.section, c.key, c.value);
        QString error;
        EXPECT_FALSE(file.save(&error)) << c.what;
        EXPECT_TRUE(error.contains(c.inMessage)) << c.what << ": " << error.toStdString();
        EXPECT_EQ(temp.read(file.path()), before) << c.what;
    }
}

TEST(ProfileFileTest, LoadRefusesBytesThatAreNotCodePage932)
{
    TempFolder temp;
    ProfileFile file(temp.write(u"a.ini"_s, QByteArray("[S]\r\nk=ok\r\nm=\x81\x20\r\n")));
    QString error;
    EXPECT_FALSE(file.load(&error));
    EXPECT_TRUE(error.contains(u"a.ini"_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"14"_s)) << error.toStdString();
}

} // namespace
