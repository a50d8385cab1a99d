#include "Cp932.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Pair {
    const char* name;
    QString text;
    QByteArray bytes;
};

class Cp932Pairs : public ::testing::TestWithParam<Pair> {};

TEST_P(Cp932Pairs, EncodesAndDecodesBothWays)
{
    const Pair& p = GetParam();
    bool ok = false;
    QString bad = u"x"_s;
    EXPECT_EQ(Cp932::encode(p.text, &ok, &bad), p.bytes);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(bad.isEmpty());
    EXPECT_TRUE(Cp932::canEncode(p.text));
    EXPECT_EQ(Cp932::byteLength(p.text), p.bytes.size());

    qsizetype offset = 0;
    ok = false;
    EXPECT_EQ(Cp932::decode(p.bytes, &ok, &offset), p.text);
    EXPECT_TRUE(ok);
    EXPECT_EQ(offset, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cp932, Cp932Pairs,
    ::testing::Values(Pair{"Empty", QString(), QByteArray()},
                      Pair{"Ascii", u"Map 01.txt"_s, QByteArray("Map 01.txt")},
                      // Code page 932 keeps ASCII here, unlike plain Shift-JIS (yen sign, overline).
                      Pair{"BackslashTilde", u"C:\\a~b"_s, QByteArray("C:\\a~b")},
                      Pair{"HalfWidthKatakana", u"ｱｲｳﾞ｡"_s, QByteArray("\xB1\xB2\xB3\xDE\xA1")},
                      Pair{"Kanji", u"地図"_s, QByteArray("\x92\x6E\x90\x7D")},
                      Pair{"FullWidthTilde", u"～"_s, QByteArray("\x81\x60")},
                      Pair{"NecExtension", u"①"_s, QByteArray("\x87\x40")},
                      Pair{"IbmExtension", u"纊"_s, QByteArray("\xFA\x5C")},
                      Pair{"EmbeddedNul", QStringView(u"a\0b", 3).toString(), QByteArray("a\0b", 3)},
                      Pair{"Mixed", u"ﾏｯﾌﾟ 表\\x"_s, QByteArray("\xCF\xAF\xCC\xDF\x20\x95\x5C\x5C\x78")}),
    [](const ::testing::TestParamInfo<Pair>& info) { return std::string(info.param.name); });

struct BadBytes {
    const char* name;
    QByteArray bytes;
    qsizetype offset;
    QString before;
};

class Cp932BadBytes : public ::testing::TestWithParam<BadBytes> {};

TEST_P(Cp932BadBytes, StopsAtFirstFault)
{
    const BadBytes& b = GetParam();
    bool ok = true;
    qsizetype offset = -2;
    EXPECT_EQ(Cp932::decode(b.bytes, &ok, &offset), b.before);
    EXPECT_FALSE(ok);
    EXPECT_EQ(offset, b.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Cp932, Cp932BadBytes,
    ::testing::Values(BadBytes{"LoneLeadAtEnd", QByteArray("ab\x82"), 2, u"ab"_s},
                      BadBytes{"Byte80", QByteArray("a\x80"), 1, u"a"_s},
                      BadBytes{"ByteA0", QByteArray("\xA0"), 0, QString()},
                      BadBytes{"ByteFD", QByteArray("\x82\xA0\xFD"), 2, u"あ"_s},
                      BadBytes{"ByteFE", QByteArray("\xFE" "a"), 0, QString()},
                      BadBytes{"ByteFF", QByteArray("a\xFF"), 1, u"a"_s},
                      BadBytes{"BlankTrail", QByteArray("x\x82\x20y"), 1, u"x"_s},
                      BadBytes{"UnassignedRow", QByteArray("\x85\x40"), 0, QString()}),
    [](const ::testing::TestParamInfo<BadBytes>& info) { return std::string(info.param.name); });

TEST(Cp932, UnencodableCharactersAreReportedOnceAndReplaced)
{
    // The emoji is a surrogate pair and must count as one character; U+00E9 has no form either.
    const QString text = u"a😀bé😀c"_s;
    bool ok = true;
    QString bad;
    EXPECT_EQ(Cp932::encode(text, &ok, &bad), QByteArray("a?b??c"));
    EXPECT_FALSE(ok);
    EXPECT_EQ(bad, u"😀é"_s);
    EXPECT_FALSE(Cp932::canEncode(text));
    EXPECT_EQ(Cp932::byteLength(text), 6);
}

TEST(Cp932, OddUtf16IsUnencodable)
{
    const QChar lone[] = {QChar(u'a'), QChar(0xD800), QChar(u'b'), QChar(0xDC00)};
    bool ok = true;
    QString bad;
    EXPECT_EQ(Cp932::encode(QString(lone, 4), &ok, &bad), QByteArray("a?b?"));
    EXPECT_FALSE(ok);
    EXPECT_EQ(bad.size(), 2);
    // Joined, the two halves would read as one pair; each is a character of its own.
    EXPECT_EQ(Cp932::unencodableCharacters(QString(lone, 4)), (QList<char32_t>{0xD800, 0xDC00}));

    // iconv would drop a leading byte-order mark without a word; it has no form in code page 932.
    for (const QString& t : {u"\uFEFFa"_s, u"a\uFEFF"_s}) {
        EXPECT_FALSE(Cp932::canEncode(t));
        EXPECT_EQ(Cp932::encode(t, &ok, &bad).size(), 2);
        EXPECT_EQ(bad, u"\uFEFF"_s);
    }
    // Nor would it say a word of a tag character, wherever it stands in the text.
    for (const QString& t : {u"\U000E0041a"_s, u"a\U000E007F"_s, QString(2000, u'x') + u"\U000E0020y"_s}) {
        EXPECT_FALSE(Cp932::canEncode(t));
        EXPECT_EQ(Cp932::encode(t, &ok, &bad).size(), t.size() - 1) << "one '?' for the pair";
        EXPECT_FALSE(ok);
        EXPECT_EQ(bad.size(), 2);
    }
}

TEST(Cp932, ByteLengthCountsMixedText)
{
    // 3 ASCII + 2 kana + 3 kanji*2 + 1 unencodable
    EXPECT_EQ(Cp932::byteLength(u"abcｱｲ日本語😀"_s), 3 + 2 + 6 + 1);
}

TEST(Cp932, LeadBytes)
{
    for (int b = 0; b < 256; ++b) {
        const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(Cp932::isLeadByte(uchar(b)), expected) << b;
    }
}

TEST(Cp932, EveryTwoByteCharacterSurvivesRoundTrip)
{
    // Decoding is the reference: whatever decodes must encode back to the same bytes, except the
    // duplicated NEC/IBM codes, which map back to one canonical pair.
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!Cp932::isLeadByte(uchar(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            QByteArray bytes;
            bytes.append(char(lead)).append(char(trail));
            bool ok = false;
            const QString text = Cp932::decode(bytes, &ok);
            if (!ok)
                continue;
            ASSERT_EQ(text.size(), 1);
            const QByteArray back = Cp932::encode(text, &ok);
            ASSERT_TRUE(ok) << lead << ' ' << trail;
            ASSERT_EQ(back.size(), 2);
            EXPECT_EQ(Cp932::decode(back), text);
            ++checked;
        }
    }
    EXPECT_GT(checked, 7000);
}

// A text can be stored when it reads back the same: every character of the Basic Multilingual
// Plane is checked against its own round trip, and the one-way ones a Linux user types are named.
TEST(Cp932, CanStoreIsTheRoundTrip)
{
    int oneWay = 0;
    for (char32_t c = 0x20; c < 0xD800; ++c) {
        const QString text = QString(QChar(c)) + u"x"_s;
        bool encoded = false;
        const QByteArray bytes = Cp932::encode(text, &encoded);
        const bool back = encoded && Cp932::decode(bytes) == text;
        ASSERT_EQ(Cp932::canStore(text), back) << uint(c);
        oneWay += encoded && !back;
    }
    EXPECT_GT(oneWay, 0);
    QString failing;
    EXPECT_FALSE(Cp932::canStore(u"東京〜大阪−−—‖¢£¬😀.map"_s, &failing));
    EXPECT_EQ(failing, u"〜−—‖¢£¬😀"_s);
    EXPECT_TRUE(Cp932::canStore(u"東京～大阪－―∥.map"_s, &failing));
}

TEST(Cp932, LongTextsMatchCharacterByCharacterEncoding)
{
    // Long runs, surrogate pairs at every offset and dense failures exercise the resumption logic.
    const QString pieces[] = {u"a"_s, u"地"_s, u"ｶ"_s, u"😀"_s, u"é"_s, u"한"_s, u"～"_s, u"\\"_s};
    QRandomGenerator rng(932);
    for (int round = 0; round < 40; ++round) {
        QString text;
        QByteArray expected;
        QString expectedBad;
        const int length = rng.bounded(3000);
        const int density = 1 + rng.bounded(50);
        for (int i = 0; i < length; ++i) {
            const QString& piece = rng.bounded(density) == 0 ? pieces[3 + rng.bounded(3)]
                                                             : pieces[rng.bounded(8)];
            text += piece;
            bool ok = false;
            const QByteArray one = Cp932::encode(piece, &ok);
            expected += one;
            if (!ok && !expectedBad.contains(piece))
                expectedBad += piece;
        }
        bool ok = true;
        QString bad;
        ASSERT_EQ(Cp932::encode(text, &ok, &bad), expected) << round;
        EXPECT_EQ(ok, expectedBad.isEmpty());
        EXPECT_EQ(bad, expectedBad);
        EXPECT_EQ(Cp932::canEncode(text), expectedBad.isEmpty());
        EXPECT_EQ(Cp932::byteLength(text), expected.size());
    }
}

TEST(Cp932, LargeTextsWithScatteredFailuresEncodeExactly)
{
    QString clean;
    for (int i = 0; i < 8192; ++i)
        clean += u"地図 map ｶﾅ,"_s;
    clean += u"😀"_s; // forces the recovery path once at the very end
    // Every other character unencodable: each failure must not cost a pass over a long stretch.
    QString foreign;
    for (int i = 0; i < 65536; ++i)
        foreign += QChar(i % 2 ? u'a' : char16_t(0xAC00 + i / 2 % 11000));

    bool ok = true;
    const QByteArray cleanBytes = Cp932::encode(clean, &ok);
    EXPECT_FALSE(ok);
    QString bad;
    const QByteArray foreignBytes = Cp932::encode(foreign, &ok, &bad);

    EXPECT_EQ(cleanBytes.size(), 8192 * 12 + 1);
    EXPECT_EQ(Cp932::decode(cleanBytes.chopped(1)), clean.chopped(2));
    EXPECT_EQ(foreignBytes, QByteArray(65536 / 2, 'a').replace("a", "?a"));
    EXPECT_EQ(bad.size(), 11000);
}

} // namespace
