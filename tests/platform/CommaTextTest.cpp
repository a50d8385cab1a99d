#include "CommaText.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Written {
    const char* name;
    QStringList items;
    QString line;
};

class CommaTextWrite : public ::testing::TestWithParam<Written> {};

TEST_P(CommaTextWrite, ExactTextAndBack)
{
    const Written& w = GetParam();
    EXPECT_EQ(CommaText::write(w.items), w.line);
    EXPECT_EQ(CommaText::read(w.line), w.items);
}

INSTANTIATE_TEST_SUITE_P(
    CommaText, CommaTextWrite,
    ::testing::Values(
        Written{"NoItems", {}, QString()},
        Written{"OneEmptyItem", {QString()}, u"\"\""_s},
        Written{"TwoEmptyItems", {QString(), QString()}, u","_s},
        Written{"ThreeEmptyItems", {QString(), QString(), QString()}, u",,"_s},
        Written{"Plain", {u"a"_s, u"b"_s, u"c"_s}, u"a,b,c"_s},
        Written{"Mixed",
                {u"1,2"_s, u"abc"_s, u"a b"_s, QString(), u"He said \"hi\""_s, QString()},
                u"\"1,2\",abc,\"a b\",,\"He said \"\"hi\"\"\","_s},
        Written{"ControlCharacters", {u"a\tb"_s, u"x\ry"_s, u"\x1f"_s}, u"\"a\tb\",\"x\ry\",\"\x1f\""_s},
        Written{"LoneQuote", {u"\""_s}, u"\"\"\"\""_s},
        Written{"LeadingEmpty", {QString(), u"x"_s}, u",x"_s},
        // Full-width blank and other non-ASCII characters are ordinary text.
        Written{"Japanese", {u"地図\u3000一"_s, u"ｱｲ"_s}, u"地図\u3000一,ｱｲ"_s}),
    [](const ::testing::TestParamInfo<Written>& info) { return std::string(info.param.name); });

struct ReadCase {
    const char* name;
    QString line;
    QStringList items;
};

class CommaTextRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CommaTextRead, Items)
{
    EXPECT_EQ(CommaText::read(GetParam().line), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    CommaText, CommaTextRead,
    ::testing::Values(
        ReadCase{"Empty", QString(), {}},
        ReadCase{"OnlyBlanks", u" \t \r\n"_s, {}},
        ReadCase{"TrailingComma", u"a,"_s, {u"a"_s, QString()}},
        ReadCase{"OnlyCommas", u",,"_s, {QString(), QString(), QString()}},
        ReadCase{"BlankSplits", u"a b  c"_s, {u"a"_s, u"b"_s, u"c"_s}},
        ReadCase{"BlanksAroundCommas", u"  a , b ,\tc  "_s, {u"a"_s, u"b"_s, u"c"_s}},
        // The empty final item only follows a comma that really ends the line.
        ReadCase{"CommaThenBlank", u"a, "_s, {u"a"_s}},
        ReadCase{"BlankThenComma", u"a ,"_s, {u"a"_s, QString()}},
        ReadCase{"UnterminatedQuote", u"a,\"b c"_s, {u"a"_s, u"b c"_s}},
        ReadCase{"UnterminatedAfterDoubled", u"\"x\"\"y"_s, {u"x\"y"_s}},
        ReadCase{"TextAfterClosingQuote", u"\"ab\"cd,e"_s, {u"ab"_s, u"cd"_s, u"e"_s}},
        ReadCase{"QuoteInsideWord", u"a\"b,c"_s, {u"a\"b"_s, u"c"_s}},
        ReadCase{"EmptyQuoted", u"\"\",\"\""_s, {QString(), QString()}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(CommaText, RandomListsReadBackUnchanged)
{
    const QString alphabet = u"ab, \"\t\r\n\x01地図ｱ\u3000~\\"_s;
    QRandomGenerator rng(932);
    for (int round = 0; round < 2000; ++round) {
        QStringList items;
        const int count = rng.bounded(6);
        for (int i = 0; i < count; ++i) {
            QString item;
            const int len = rng.bounded(5);
            for (int k = 0; k < len; ++k)
                item += alphabet[rng.bounded(int(alphabet.size()))];
            items += item;
        }
        const QString line = CommaText::write(items);
        ASSERT_EQ(CommaText::read(line), items) << "line: " << line.toStdString();
    }
}

} // namespace
