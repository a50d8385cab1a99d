#include "MarkupColour.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct ScanCase {
    const char* name;
    QString text;
    int testVersion;
    QString spans; // the scanners' spans as "kind:text", function spans first, then answer, then error
};

void PrintTo(const ScanCase& c, std::ostream* os)
{
    *os << c.name;
}

QString describe(const QString& text, int testVersion, bool colour4 = true)
{
    MarkupScanner scanner;
    scanner.TestVersion = testVersion;
    scanner.Color4Enabled = colour4;
    TDataList functions, answers, errors;
    scanner.scanFunctions(text, 0, int(text.size()), functions, errors);
    scanner.scanAnswers(text, 0, int(text.size()), answers, errors);
    QStringList out;
    const auto list = [&](const TDataList& spans, const QString& kind) {
        for (int i = 0; i + 1 < spans.Count(); i += 2)
            out << kind + u':' + text.mid(spans.Get(i), spans.Get(i + 1) - spans.Get(i));
    };
    list(functions, u"F"_s);
    list(answers, u"A"_s);
    list(errors, u"E"_s);
    return out.join(u' ');
}

class Scanners : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scanners, Spans)
{
    const ScanCase& c = GetParam();
    EXPECT_EQ(describe(c.text, c.testVersion), c.spans) << c.name;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Markup, Scanners, ::testing::Values(
    ScanCase{"AnswerKeywordInsideAnswer", u"[{必答}]"_s, 0, u"F:{必答} A:[{必答}]"_s},
    ScanCase{"AnswerKeywordOutsideWithVersion0", u"{必答}"_s, 0, u"F:{必答}"_s},
    ScanCase{"AnswerKeywordOutsideWithVersion1", u"{必答}"_s, 1, u"E:{必答}"_s},
    ScanCase{"AnswerKeywordInsideWithVersion1", u"[{順不同,2}]"_s, 1, u"F:{順不同,2} A:[{順不同,2}]"_s},
    ScanCase{"RandomNeedsTwoOrThree", u"{RND,1,10}{RND,1}{RND}{RND,1,2,3,4}{RND,1,2,3}"_s, 0,
             u"F:{RND,1,10} F:{RND,1,2,3} E:{RND,1} E:{RND} E:{RND,1,2,3,4}"_s},
    ScanCase{"OnePicturePerLine", u"{PIC,a.bmp}{PIC,a.bmp}\r\n{PIC,b.bmp}{解説}{PIC,c.jpg}"_s, 0,
             u"F:{PIC,a.bmp} F:{PIC,b.bmp} F:{解説} F:{PIC,c.jpg} E:{PIC,a.bmp}"_s},
    ScanCase{"OneSoundPerLine", u"{SND,a}{SND,b}"_s, 0, u"F:{SND,a} E:{SND,b}"_s},
    ScanCase{"NotInsideAnAnswer", u"[{RET}{タイピング}{CAL,1}]"_s, 0, u"F:{CAL,1} A:[{RET}{タイピング}{CAL,1}] E:{RET} E:{タイピング}"_s},
    ScanCase{"ArgumentCounts", u"{必答,1}{ヒント,1}{ヒント,1,2}{現在,1}{CAL,1,2}{年齢,1,2,3}{誕生日,1,2,3}{誕生日,1,2,3,4}"_s, 0,
             u"F:{ヒント,1} F:{現在,1} F:{CAL,1,2} F:{誕生日,1,2,3} E:{必答,1} E:{ヒント,1,2} E:{年齢,1,2,3} E:{誕生日,1,2,3,4}"_s},
    ScanCase{"KeywordsThatNeedArguments", u"{PIC}{文字列}{年齢}{文字列,a}"_s, 0, u"F:{文字列,a} E:{PIC} E:{文字列} E:{年齢}"_s},
    ScanCase{"NestedCalculation", u"{CAL,{RND,1,6},2}"_s, 0, u"F:{RND,1,6} F:{CAL,{RND,1,6},2}"_s},
    ScanCase{"NestedAnswerKeyword", u"{必答,{必答}}"_s, 0, u"E:{必答} E:{必答,{必答}}"_s},
    ScanCase{"BoldMayNestAloneOnly", u"{CAL,{B},{B,1}}"_s, 0, u"F:{B} F:{CAL,{B},{B,1}} E:{B,1}"_s},
    ScanCase{"UnknownHeadsShowTheirSkeleton", u"{foo,1,2}{foo,1,2,3}{foo}"_s, 0, u"F:{ F:, F:} F:, F:{ F:}"_s
             + u" E:{foo,1,2,3}"_s},
    ScanCase{"PictureNames", u"{a.jpg}{x.BMP,1}{{{x.bmp}}}"_s, 0, u"F:{a.jpg} F:{x.BMP,1} F:{ F:} F:{ F:} E:{x.bmp}"_s},
    // The last four characters anywhere within ".bmp.jpg", lower-cased; a shorter head is none.
    ScanCase{"PictureEndingsWithinBmpJpg", u"{.bmp}{ap.jp}{x.bmp.}{mp.j}{A.JPG}{ap.jp,1}{.jpg,1,2}"_s, 0,
             u"F:{.bmp} F:{ap.jp} F:{x.bmp.} F:{mp.j} F:{A.JPG} F:{ap.jp,1} E:{.jpg,1,2}"_s},
    ScanCase{"ShortOrOtherEndingsAreNoPictures", u"{b}{g}{mp}{bmp}{x.jpeg}{a.bmp }{bmp ,1}"_s, 0,
             u"F:{ F:} F:{ F:} F:{ F:} F:{ F:} F:{ F:} F:{ F:} F:{ F:, F:}"_s},
    // Characters, not code-page-932 bytes: "ィ" is 0x83 0x42 ("B"), "ッ" 0x83 0x62 ("b"), and a
    // full-width name is no ASCII one.
    ScanCase{"DoubleByteCharactersEndNoPicture", u"{ィmp.}{ッmp.}{ａ．ｂｍｐ}"_s, 0,
             u"F:{ F:} F:{ F:} F:{ F:}"_s},
    ScanCase{"AnswerDepth", u"[[[x]]]"_s, 0, u"A:[[x]] A:[[[x]]] E:[x]"_s},
    ScanCase{"AnswerAcrossLines", u"[a\r\nb]"_s, 0, u"A:[a\r\nb]"_s},
    ScanCase{"UnclosedAnswerGetsNothing", u"[a"_s, 0, QString()},
    ScanCase{"QuotedCommaDoesNotCount", u"{CAL,\"a,b\"}{必答,\"x,y\"}"_s, 0, u"F:{CAL,\"a,b\"} E:{必答,\"x,y\"}"_s},
    ScanCase{"LineCommentHidesTheRestOfTheLine", u"{RND} // {RND}\r\n{RND,1,2}"_s, 0, u"F:{RND,1,2} E:{RND}"_s},
    ScanCase{"LinkAddressEndsTheLine", u"<http://x>{RND}"_s, 0, QString()},
    ScanCase{"BlockCommentAcrossLines", u"{* {RND}\r\n[x] *}{RND}"_s, 0, u"F:{ F:} E:{RND}"_s},
    ScanCase{"ParenthesisOutsideStopsTheFunctionScan", u") {RND} [a]"_s, 0, u"A:[a]"_s},
    ScanCase{"CommasInParenthesesBelongInside", u"{CAL,(1,2,3),4}"_s, 0, u"F:{CAL,(1,2,3),4}"_s},
    ScanCase{"KeywordsMatchExactly", u"{rnd}{Rnd,1,2}"_s, 0, u"F:{ F:} F:{ F:, F:} F:,"_s},
    ScanCase{"OpenBracketStaysOpenOverALineEnd", u"{a\r\n{RND,1,2}}"_s, 0, u"F:{RND,1,2}"_s},
    ScanCase{"AfterDoubleByteCharacters", u"漢字ｶﾅ{RND,1,2}「[答]」"_s, 0, u"F:{RND,1,2} A:[答]"_s}));
// clang-format on

TEST(Scanners, ErrorsColouredAsValidWithoutTheirSwitch)
{
    EXPECT_EQ(describe(u"{RND}{foo,1,2,3}[[[x]]]"_s, 0, false), u"F:{RND} F:{ F:, F:} F:, A:[x] A:[[x]] A:[[[x]]]"_s);
}

TEST(Scanners, KeywordTable)
{
    EXPECT_EQ(FindKeyword(u"必答"), 0);
    EXPECT_EQ(FindKeyword(u"/WEB"), 19);
    EXPECT_EQ(FindKeyword(u"{*"), -1);
    EXPECT_EQ(MarkupKeywords::word(MarkupKeywords::CommentOpen), u"{*"_s);
    EXPECT_EQ(MarkupKeywords::word(MarkupKeywords::CommentClose), u"*}"_s);
}

// Tens of thousands of open brackets of each kind: no stack overflow, and the answer brackets
// nested in two others show as misuse.
TEST(Scanners, DeepNestingIsScannedWithoutRecursion)
{
    const int depth = 60000;
    const QString text = QString(depth, u'{') + QString(depth, u'(') + QString(depth, u'[') + QString(depth, u']')
                         + QString(depth, u')') + QString(depth, u'}');
    MarkupScanner scanner;
    TDataList functions, answers, errors;
    scanner.scanFunctions(text, 0, int(text.size()), functions, errors);
    scanner.scanAnswers(text, 0, int(text.size()), answers, errors);
    EXPECT_EQ(answers.Count(), 4);
    EXPECT_EQ(errors.Count(), 2 * (depth - 2));
}

} // namespace
