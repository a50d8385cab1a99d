#include "HenkanJ.h"

#include "Cp932.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace HenkanJ;

namespace {

QByteArray sj(const QString& s)
{
    return Cp932::encode(s);
}
QString un(const QByteArray& b)
{
    return Cp932::decode(b);
}
QString nfkc(const QString& s)
{
    return s.normalized(QString::NormalizationForm_KC);
}
bool halfWidthKana(QChar c)
{
    return c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F;
}

// The oracle: Unicode's compatibility forms through the codec, independent of the tables.
TEST(HenkanJ, AsciiAndKanaAgreeWithUnicodeWidthForms)
{
    for (int b = 0x21; b <= 0x7E; ++b) {
        if (QByteArrayView("'\"\\`~").contains(char(b)))
            continue; // the symbol table pairs these with ’ ” ￥ ‘ ￣, which are no compatibility forms
        const QString full = un(HalfToFullWidth(QByteArray(1, char(b))));
        ASSERT_EQ(full.size(), 1) << b;
        EXPECT_EQ(nfkc(full), QString(QChar(b))) << b;
        EXPECT_NE(full.at(0).unicode(), b);
        EXPECT_EQ(FullToHalfWidth(sj(full)), QByteArray(1, char(b))) << b;
    }
    EXPECT_EQ(un(HalfToFullWidth(" "_ba)), u"　"_s);
    for (int b = 0xA1; b <= 0xDD; ++b) {
        const QByteArray half(1, char(b));
        const QString full = un(HalfToFullWidth(half));
        ASSERT_EQ(full.size(), 1) << b;
        EXPECT_FALSE(halfWidthKana(full.at(0))) << b;
        EXPECT_EQ(nfkc(full), nfkc(un(half))) << b;
        EXPECT_EQ(FullToHalfWidth(sj(full)), half) << b;
    }
}

TEST(HenkanJ, VoicedAndSemiVoicedKana)
{
    for (int b = 0xB1; b <= 0xDD; ++b) {
        for (char mark : {'\xDE', '\xDF'}) {
            const QByteArray half = QByteArray(1, char(b)) + mark;
            const QString composed = nfkc(un(half));
            const bool takes =
                mark == '\xDE' ? (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE) : b >= 0xCA && b <= 0xCE;
            const QString full = un(HalfToFullWidth(half));
            if (takes) {
                ASSERT_EQ(composed.size(), 1) << b;
                EXPECT_EQ(full, composed) << b;
                EXPECT_EQ(FullToHalfWidth(sj(full)), half) << b;
                // Hiragana of the same sound fold alike.
                const QString hira(QChar(full.at(0).unicode() - 0x60));
                EXPECT_EQ(FullToHalfWidth(sj(hira)), half) << b;
            } else {
                // ｳﾞ too: the plain kana and the full-width mark.
                EXPECT_EQ(full, nfkc(un(QByteArray(1, char(b)))) + (mark == '\xDE' ? u"゛"_s : u"゜"_s)) << b;
            }
        }
    }
    EXPECT_EQ(HalfToFullWidth("\xDE\xDF"_ba), "\xDE\xDF"_ba);
    EXPECT_EQ(un(FullToHalfWidth(sj(u"ヴヮヰヱヵヶゎゐゑ"_s))), u"ｳﾞﾜｲｴｶｹﾜｲｴ"_s);
    EXPECT_EQ(un(FullToHalfWidth(sj(u"亜。、「」ー・"_s))), u"亜｡､｢｣ｰ･"_s);
    // A lone lead byte at the end is copied, never read past.
    EXPECT_EQ(HalfToFullWidth("A\x82"_ba), sj(u"Ａ"_s) + '\x82');
    EXPECT_EQ(FullToHalfWidth("\x82"_ba), "\x82"_ba);
}

TEST(HenkanJ, JisAndShiftJisCodes)
{
    for (int hi = 0x21; hi <= 0x7E; ++hi)
        for (int lo = 0x21; lo <= 0x7E; ++lo) {
            const auto jis = quint16(hi << 8 | lo);
            const quint16 s = JisToSjis(jis);
            ASSERT_TRUE(IsSjisLeadByte(uchar(s >> 8))) << jis;
            ASSERT_EQ(SjisToJis(s), jis);
        }
    EXPECT_EQ(un(CodeToString(JisToSjis(0x3021))), u"亜"_s);
    EXPECT_EQ(un(CodeToString(JisToSjis(0x2422))), u"あ"_s);
    EXPECT_EQ(StringToCode(CodeToString(0x889F)), 0x889F);
    EXPECT_EQ(SymbolToFullWidth(0x5C), 0x818F);
    EXPECT_EQ(SymbolToFullWidth('A'), 'A');
    EXPECT_FALSE(IsSjisLeadByte(0xA0));
    EXPECT_TRUE(IsSjisLeadByte(0xFC));
}

struct ConvertCase {
    const char* name;
    int direction;
    quint8 flags;
    QString text, expected;
};

class ConvertTextTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTextTest, Converts)
{
    const ConvertCase& c = GetParam();
    EXPECT_EQ(ConvertText(c.text, c.direction, c.flags, DefaultNoChangeChars()), c.expected);
}

const quint8 All = ConvertAlpha | ConvertDigits | ConvertSymbols | ConvertKana;
INSTANTIATE_TEST_SUITE_P(
    HenkanJ, ConvertTextTest,
    testing::Values(ConvertCase{"to_full", ToFullWidth, All, u"Ab1-!ｶﾞｳﾞﾊﾟｰ｡ 漢"_s, u"Ａｂ１－！ガウﾞパー。　漢"_s},
                    ConvertCase{"to_half", ToHalfWidth, All, u"Ａｂ１－！ガパー。　漢が"_s, u"Ab1-!ｶﾞﾊﾟｰ｡ 漢が"_s},
                    ConvertCase{"letters_only", ToFullWidth, ConvertAlpha, u"A1ｱ!"_s, u"Ａ1ｱ!"_s},
                    ConvertCase{"digits_with_signs", ToFullWidth, ConvertDigits, u"1+2.5/x-"_s, u"１＋２．５／x－"_s},
                    ConvertCase{"kana_only", ToHalfWidth, ConvertKana, u"Ａガヴ゜"_s, u"Ａｶﾞヴﾟ"_s},
                    ConvertCase{"protected", ToFullWidth, All | ConvertNoChange, u"a(b)｡c"_s, u"ａ(ｂ)｡ｃ"_s},
                    ConvertCase{"protected_full", ToHalfWidth, All | ConvertNoChange, u"（Ａ）(Ｂ)"_s, u"（A）(B)"_s},
                    ConvertCase{"mask_char_kept", ToFullWidth, All | ConvertNoChange, u"\x07(a)\x07"_s,
                                u"\x07(ａ)\x07"_s},
                    ConvertCase{"nothing_chosen", ToFullWidth, ConvertNoChange, u"abc"_s, u"abc"_s}),
    [](const testing::TestParamInfo<ConvertCase>& info) { return std::string(info.param.name); });

TEST(HenkanJ, EveryOccurrenceLeavesProtectedStringsAlone)
{
    const quint8 flags = All | ConvertNoChange;
    const QString noChange = DefaultNoChangeChars();
    EXPECT_EQ(ReplaceOccurrences(u"ab (ab) ab"_s, u"ab"_s, u"ａｂ"_s, flags, noChange), u"ａｂ (ａｂ) ａｂ"_s);
    // A selection holding a protected character matches nothing in the masked text.
    EXPECT_EQ(ReplaceOccurrences(u"a(b a(b"_s, u"a(b"_s, u"ａ(ｂ"_s, flags, noChange), u"a(b a(b"_s);
    EXPECT_EQ(ReplaceOccurrences(u"a(b a(b"_s, u"a(b"_s, u"ａ(ｂ"_s, All, noChange), u"ａ(ｂ ａ(ｂ"_s);
}

TEST(HenkanJ, FoldsWidthForSearch)
{
    auto fold = [](const QString& s) {
        QString out;
        for (QChar c : s) {
            const Folded f = FoldWidth(c.unicode());
            out += QChar(f.c[0]);
            if (f.c[1])
                out += QChar(f.c[1]);
        }
        return out;
    };
    EXPECT_EQ(fold(u"ＡＢＣ　ガパヴ、漢"_s), u"ABC ｶﾞﾊﾟｳﾞ､漢"_s);
    EXPECT_EQ(fold(u"ABCｶﾞ"_s), u"ABCｶﾞ"_s);
    // Width alone: hiragana, and katakana with no half-width form, are letters of their own.
    EXPECT_EQ(fold(u"かがぱヵヶヮヰヱ"_s), u"かがぱヵヶヮヰヱ"_s);
}

} // namespace
