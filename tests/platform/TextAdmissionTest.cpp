#include "TextAdmission.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace TextAdmission;

namespace {

constexpr Options Description{.tabs = Tabs::Blank, .controls = Controls::Refuse};
constexpr Options TextFile{.tabs = Tabs::Keep, .controls = Controls::Keep};
constexpr Options OneLine{.oneLine = true};

struct Case {
    const char* what;
    Options options;
    QString in, text, controls = {}, unstorable = {};
};

class Admission : public ::testing::TestWithParam<Case> {};

TEST_P(Admission, TakesInWhatTheFileHoldsAsItHoldsIt)
{
    const Case& c = GetParam();
    const Result r = admit(c.in, c.options);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.controls, c.controls);
    EXPECT_EQ(r.unstorable, c.unstorable);
    EXPECT_EQ(r.refusedAny(), !c.controls.isEmpty() || !c.unstorable.isEmpty());
}

const QString LoneHalves = u"a"_s + QChar(0xd800) + u"b"_s + QChar(0xdc00);

const Case Cases[] = {
    {"one-way characters are the ones the file holds", Description, u"〜−—‖¢£¬"_s, u"～－―∥￠￡￢"_s},
    {"and those stay", Description, u"～－―∥￠￡￢東京ｱ①髙"_s, u"～－―∥￠￡￢東京ｱ①髙"_s},
    {"no-break space", TextFile, u"e\u00a0n"_s, u"e n"_s},
    {"separators", Description, u"a\u2028b\u2029c\r\nd\re"_s, u"a\nb\nc\r\nd\re"_s},
    {"two breaks stay two", Description, u"a\r\u2028b\u2029\nc"_s, u"a\r\r\nb\n\nc"_s},
    {"one line", OneLine, u"ab\u2028c"_s, u"ab"_s},
    {"one line, after CR", OneLine, u"x\ry\u0007"_s, u"x"_s},
    {"TAB as a blank", Description, u"a\t\tb"_s, u"a  b"_s},
    {"TAB kept", OneLine, u"a\tb"_s, u"a\tb"_s},
    {"controls refused, each once", Description, u"a\u0007b\u000b\u0007\u007f\u0085"_s, u"ab"_s,
     u"\u0007\u000b\u007f\u0085"_s},
    {"controls kept", TextFile, u"a\u0007\u001a\tb"_s, u"a\u0007\u001a\tb"_s},
    {"what code page 932 cannot hold", TextFile, u"z\u200bw\ufeffb\u200fr\u0301c😀e\U000E0041\u00a0n😀"_s, u"zwbrce n"_s,
     QString(), u"\u200b\ufeff\u200f\u0301😀\U000E0041"_s},
    {"lone halves of a pair", TextFile, LoneHalves, u"ab"_s, QString(), LoneHalves.mid(1, 1) + LoneHalves.mid(3)},
};

INSTANTIATE_TEST_SUITE_P(Cases, Admission, ::testing::ValuesIn(Cases));

TEST(AdmissionNames, EveryRefusedCharacterIsNamedAndTheInvisibleOnesByTheirCode)
{
    EXPECT_EQ(nameOf(u'\n'), u"改行"_s);
    EXPECT_EQ(nameOf(0x07), u"制御文字 U+0007"_s);
    EXPECT_EQ(nameOf(0x85), u"制御文字 U+0085"_s);
    EXPECT_EQ(nameOf(U'😀'), u"\"😀\" (U+1F600)"_s);
    EXPECT_EQ(nameOf(U'é'), u"\"é\" (U+00E9)"_s);
    for (const char32_t c : {0x200B, 0x200F, 0xFEFF, 0x0301, 0xE0041, 0xD800, 0x2003})
        EXPECT_TRUE(nameOf(c).startsWith(u"見えない文字 U+"_s)) << nameOf(c).toStdString();
    EXPECT_EQ(namesOf(u"😀\xd800"_s), u"\"😀\" (U+1F600)，見えない文字 U+D800"_s);

    const Result pasted = admit(u"z\u200bw\u00a0😀\x07"_s, Description);
    EXPECT_EQ(refusalMessage(pasted, u"マップファイル"_s),
              u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n"
              u"見えない文字 U+200B，\"😀\" (U+1F600)\r\n\r\n"
              u"次の文字はマップファイルに保存できないため，入力できません。\r\n制御文字 U+0007"_s);
    EXPECT_EQ(refusalMessage(admit(u"〜\u00a0"_s, Description), u"マップファイル"_s), QString());

    // Several admissions (a find and its replacement, each changed description) make one message.
    Result gathered;
    gathered.addRefused(admit(u"a😀\x07"_s + QChar(0xd800) + u"b"_s, Description));
    gathered.addRefused(admit(u"😀\x0b\x07\u200b"_s + QChar(0xdc00), Description));
    EXPECT_EQ(gathered.controls, u"\x07\x0b"_s);
    EXPECT_EQ(gathered.unstorable, u"😀"_s + QChar(0xd800) + u"\u200b"_s + QChar(0xdc00));
}

} // namespace
