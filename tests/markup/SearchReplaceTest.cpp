#include "UnitEditText.h"

#include "Cp932.h"
#include "FindDialog.h"
#include "HenkanJ.h"
#include "MyRichEdit.h"
#include "ScriptedPrompter.h"
#include "TextSearch.h"
#include "UnitHanZenSettei.h"
#include "UnitRefPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(TextSearch, MatchesRegardlessOfWidthByWholeCharacters)
{
    using namespace TextSearch;
    const QString text = u"xＡＢＣ abc ABC ガｶﾞ"_s;
    EXPECT_EQ(FindForward(text, u"ABC", 0, int(text.size()), true).position, 1);
    EXPECT_EQ(FindForward(text, u"ABC", 0, int(text.size()), true).length, 3);
    EXPECT_EQ(FindForward(text, u"ABC", 2, int(text.size()), true).position, 9);
    EXPECT_EQ(FindForward(text, u"ABC", 2, int(text.size()), false).position, 5);
    EXPECT_EQ(FindForward(text, u"ｶﾞ", 0, int(text.size()), true).position, 13);
    EXPECT_EQ(FindForward(text, u"ｶﾞ", 0, int(text.size()), true).length, 1);
    // A find text that ends inside a character's folded form never matches half of it.
    EXPECT_FALSE(FindForward(text, u"ｶ", 0, 14, true).found());
    EXPECT_EQ(FindLastBefore(text, u"abc", 0, int(text.size()), false).position, 9);
    EXPECT_EQ(FindLastBefore(text, u"abc", 0, 11, false).position, 5);
    EXPECT_FALSE(FindLastBefore(text, u"x", 0, 0, false).found());
    EXPECT_FALSE(FindForward(text, u"", 0, int(text.size()), false).found());

    const Replaced r = ReplaceAll(text, u"abc", u"Z", 0, int(text.size()), false);
    EXPECT_EQ(r.text, u"xZ Z Z ガｶﾞ"_s);
    ASSERT_EQ(r.matches.size(), 3u);
    EXPECT_EQ(ReplaceAll(text, u"abc", u"Z", 0, int(text.size()), false, false).text, u"xＡＢＣ Z Z ガｶﾞ"_s);
}

struct WidthCase {
    const char* name;
    const char16_t* text;
    const char16_t* find;
    bool matchCase;
    std::vector<int> positions; // of every match, in order
};

class WidthOnly : public ::testing::TestWithParam<WidthCase> {};

// Forward from each match's end, backward from each match's start and replace-all find the same
// matches, which differ from the find text in width and ASCII case alone.
TEST_P(WidthOnly, EverySearchFindsTheSameMatches)
{
    using namespace TextSearch;
    const QString text = QString::fromUtf16(GetParam().text), find = QString::fromUtf16(GetParam().find);
    const bool matchCase = GetParam().matchCase;
    const int end = int(text.size());
    std::vector<Match> forward;
    for (Match m = FindForward(text, find, 0, end, matchCase); m.found();
         m = FindForward(text, find, m.position + m.length, end, matchCase))
        forward.push_back(m);
    std::vector<int> positions;
    for (const Match& m : forward)
        positions.push_back(m.position);
    EXPECT_EQ(positions, GetParam().positions);

    std::vector<Match> backward;
    for (Match m = FindLastBefore(text, find, 0, end, matchCase); m.found();
         m = FindLastBefore(text, find, 0, m.position, matchCase))
        backward.insert(backward.begin(), m);
    const Replaced all = ReplaceAll(text, find, u"#", 0, end, matchCase);
    ASSERT_EQ(backward.size(), forward.size());
    ASSERT_EQ(all.matches.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i) {
        EXPECT_EQ(backward[i].position, forward[i].position);
        EXPECT_EQ(backward[i].length, forward[i].length);
        EXPECT_EQ(all.matches[i].position, forward[i].position);
        EXPECT_EQ(all.matches[i].length, forward[i].length);
        EXPECT_EQ(MatchLength(text, find, forward[i].position, end, matchCase), forward[i].length);
    }
}

INSTANTIATE_TEST_SUITE_P(Letters, WidthOnly,
                         ::testing::Values(WidthCase{"hiragana_alone", u"かカｶ か", u"か", true, {0, 4}},
                                           WidthCase{"katakana_both_widths", u"かカｶ か", u"カ", true, {1, 2}},
                                           WidthCase{"half_katakana_both_widths", u"かカｶ", u"ｶ", true, {1, 2}},
                                           WidthCase{"voiced_hiragana_alone", u"がガｶﾞ", u"が", true, {0}},
                                           WidthCase{"voiced_katakana", u"がガｶﾞ", u"ガ", true, {1, 2}},
                                           WidthCase{"small_ka_is_no_ka", u"ヵカ", u"ｶ", true, {1}},
                                           WidthCase{"full_width_letters", u"ＡＢＣ abc", u"ABC", true, {0}},
                                           WidthCase{
                                               "full_width_no_case", u"ＡＢＣ ａｂｃ abc", u"ABC", false, {0, 4, 8}},
                                           WidthCase{"half_in_full", u"ABCABC ABC", u"ＡＢＣ", true, {0, 3, 7}}),
                         [](const testing::TestParamInfo<WidthCase>& info) { return std::string(info.param.name); });

TEST(HenkanJStored, LineBreakEscapesSurviveAChange)
{
    auto replace = [](QString from, QString to) {
        return [from, to](const QString& s) { return QString(s).replace(from, to); };
    };
    EXPECT_EQ(HenkanJ::ChangeStoredText(u"a\\nb\\Nc"_s, replace(u"n"_s, u"m"_s)), u"a\\nb\\Nc"_s);
    EXPECT_EQ(HenkanJ::ChangeStoredText(u"a\\nb"_s, replace(u"\\"_s, u"/"_s)), u"a\\nb"_s);
    EXPECT_EQ(HenkanJ::ChangeStoredText(u"a\\nb"_s, replace(u"b"_s, u"x\ny"_s)), u"a\\nx\\ny"_s);
    EXPECT_EQ(HenkanJ::ChangeStoredText(u"a\\nb"_s, replace(u"a\r\nb"_s, u"ab"_s)), u"ab"_s);
}

class SearchReplace : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.replaceFlags = &replaceFlags;
        host.findFlags = &findFlags;
        host.convertFlags = &convertFlags;
        host.noChangeChars = &noChange;
        host.changeOtherDescriptions = [this](const std::function<QString(const QString&)>& change) {
            ++mapSteps;
            for (QString& cell : cells)
                cell = HenkanJ::ChangeStoredText(cell, change);
        };
        window.SetHost(host);
        window.show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        prompter.answers.push_back(Prompter::Answer::Yes);
        window.btCancelClick();
    }
    void replaceAll(const QString& find, const QString& by, bool allDestinations)
    {
        window.ReplaceDialog1->setFindText(find);
        window.ReplaceDialog1->edReplace->setText(by);
        window.ReplaceDialog1->setWholeWord(allDestinations);
        window.ReplaceDialog1Replace(true);
    }

    ScriptedPrompter prompter;
    quint8 replaceFlags = 0, findFlags = 0, convertFlags = 0;
    QString noChange = HenkanJ::DefaultNoChangeChars();
    QStringList cells{u"cat\\ncat"_s, u"dog"_s};
    int mapSteps = 0;
    TFormEditText::Host host;
    TFormEditText window;
};

TEST_F(SearchReplace, FindsForwardBackwardAndAcrossWidths)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    editor->SetText(u"漢ABC\r\nＡＢＣ abc"_s);
    editor->setSelStart(0);
    window.FindDialog1->setFindText(u"abc"_s);
    window.FindDialog1->setMatchCase(false);
    window.FindDialog1->setDown(true);
    window.FindDialog1Find();
    EXPECT_EQ(editor->SelStart(), 2);
    EXPECT_EQ(editor->SelLength(), 3);
    window.Next1Click(); // the selection becomes the find text and is skipped
    EXPECT_EQ(editor->SelStart(), 7);
    EXPECT_EQ(editor->SelLength(), 6); // the whole full-width match
    EXPECT_EQ(window.SkipSelection, 1);
    window.Prev1Click();
    EXPECT_EQ(editor->SelStart(), 2);
    EXPECT_EQ(window.SkipSelection, 2);
    editor->setSelStart(0);
    window.Prev1Click();
    EXPECT_EQ(prompter.lastText(), u"\"ＡＢＣ\" は見つかりませんでした。"_s); // the last selection
    EXPECT_EQ(editor->SelStart(), 0);
}

TEST_F(SearchReplace, ReplaceAllIsOneUndoStepAndReachesOtherDestinationsOnlyWhenAsked)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    QString text;
    for (int i = 0; i < 300; ++i)
        text += u"cat "_s;
    editor->SetText(u"漢"_s + text);
    editor->setSelStart(2 + 4 * 10); // after ten matches
    replaceAll(u"CAT"_s, u"mouse"_s, false);
    EXPECT_EQ(prompter.lastText(), u"300 個置換しました。"_s);
    EXPECT_EQ(editor->Text(), u"漢"_s + QString(text).replace(u"cat"_s, u"mouse"_s));
    EXPECT_EQ(editor->SelStart(), 2 + 6 * 10);
    EXPECT_EQ(editor->SelLength(), 5);
    EXPECT_EQ(mapSteps, 0);
    EXPECT_EQ(cells.at(0), u"cat\\ncat"_s);
    editor->UndoText();
    EXPECT_EQ(editor->Text(), u"漢"_s + text);

    replaceAll(u"cat\r\ncat"_s, u"x"_s, true);
    EXPECT_EQ(prompter.lastText(), u"\"cat\r\ncat\" は見つかりませんでした。"_s);
    EXPECT_EQ(mapSteps, 1);
    EXPECT_EQ(cells.at(0), u"x"_s);

    // From a scratch page too, the other destinations follow when asked, and only then.
    auto page = std::make_unique<TFormRefPage>(&window);
    page->Tag = 1;
    window.AddScratchPage(std::move(page))->MyRichEdit1->SetText(u"dog"_s);
    replaceAll(u"dog"_s, u"cow"_s, false);
    EXPECT_EQ(window.CurrentEditor()->Text(), u"cow"_s);
    EXPECT_EQ(cells.at(1), u"dog"_s);
    EXPECT_EQ(mapSteps, 1);
    replaceAll(u"cow"_s, u"dog"_s, true);
    EXPECT_EQ(window.CurrentEditor()->Text(), u"dog"_s);
    EXPECT_EQ(editor->Text(), u"漢"_s + text);
    EXPECT_EQ(cells.at(1), u"dog"_s);
    EXPECT_EQ(mapSteps, 2);
    replaceAll(u"dog"_s, u"cow"_s, true);
    EXPECT_EQ(cells.at(1), u"cow"_s);
    EXPECT_EQ(mapSteps, 3);
    convertFlags = HenkanJ::ConvertAlpha | HenkanJ::ConvertAllDestinations;
    window.CurrentEditor()->SelectAll();
    window.mmRepZenToHanClick(HenkanJ::ToFullWidth);
    EXPECT_EQ(window.CurrentEditor()->Text(), u"ｃｏｗ"_s);
    EXPECT_EQ(cells.at(1), u"ｃｏｗ"_s);
    EXPECT_EQ(mapSteps, 4);

    window.ReplaceDialog1->setFindText(QString());
    window.ReplaceDialog1Replace(true);
    EXPECT_EQ(window.CurrentEditor()->Text(), u"ｃｏｗ"_s);
}

TEST_F(SearchReplace, ReplaceButtonReplacesOnlyARealMatch)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    editor->SetText(u"ab ＡＢ ab"_s);
    window.ReplaceDialog1->setFindText(u"ab"_s);
    window.ReplaceDialog1->setMatchCase(false);
    window.ReplaceDialog1->edReplace->setText(u"x"_s);
    editor->setSelStart(0);
    editor->setSelLength(1); // "a" alone is no match: it stays
    window.ReplaceDialog1Replace(false);
    EXPECT_EQ(editor->Text(), u"ab ＡＢ ab"_s);
    EXPECT_EQ(editor->SelStart(), 0);
    EXPECT_EQ(editor->SelLength(), 2);
    window.ReplaceDialog1Replace(false);
    EXPECT_EQ(editor->Text(), u"x ＡＢ ab"_s);
    EXPECT_EQ(editor->SelStart(), 2);
    EXPECT_EQ(editor->SelLength(), 4);
    window.ReplaceDialog1Replace(false);
    EXPECT_EQ(editor->Text(), u"x x ab"_s);
    editor->UndoText();
    EXPECT_EQ(editor->Text(), u"x ＡＢ ab"_s);
}

TEST_F(SearchReplace, ConvertsSelectionOccurrencesAndOtherDestinations)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    convertFlags = HenkanJ::ConvertAlpha | HenkanJ::ConvertAllOccurrences | HenkanJ::ConvertAllDestinations
                   | HenkanJ::ConvertNoChange;
    cells = QStringList{u"cat(cat)\\ncat"_s};
    editor->SetText(u"cat cat (cat) dog"_s);
    editor->setSelStart(4);
    editor->setSelLength(3);
    window.mmRepZenToHanClick(HenkanJ::ToFullWidth);
    EXPECT_EQ(editor->Text(), u"ｃａｔ ｃａｔ (ｃａｔ) dog"_s);
    EXPECT_EQ(editor->SelStart(), 7);
    EXPECT_EQ(editor->SelLength(), 6);
    EXPECT_EQ(cells.at(0), u"ｃａｔ(ｃａｔ)\\nｃａｔ"_s);
    EXPECT_EQ(mapSteps, 1);
    editor->UndoText();
    EXPECT_EQ(editor->Text(), u"cat cat (cat) dog"_s);

    // Without a selection the whole text, after the question; No changes nothing.
    editor->setSelStart(Cp932::byteLength(u"cat cat (cat) d"_s));
    window.mmRepZenToHanClick(HenkanJ::ToFullWidth);
    EXPECT_EQ(prompter.lastText(),
              u"範囲選択されていないので，本文中のすべての半角文字を変換します。\r\nいいですか。"_s);
    EXPECT_EQ(editor->Text(), u"cat cat (cat) dog"_s);
    prompter.answers.push_back(Prompter::Answer::Yes);
    window.mmRepZenToHanClick(HenkanJ::ToFullWidth);
    EXPECT_EQ(editor->Text(), u"ｃａｔ ｃａｔ (ｃａｔ) ｄｏｇ"_s);
    EXPECT_EQ(editor->SelStart(), Cp932::byteLength(u"ｃａｔ ｃａｔ (ｃａｔ) ｄ"_s));
}

TEST_F(SearchReplace, SettingsDialogStoresAndRuns)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    editor->SetText(u"ＡＢ"_s);
    editor->SelectAll();
    prompter.modals.push_back([](QDialog& d) {
        auto& form = static_cast<TFormHanZenSettei&>(d);
        form.cbAlpha->setChecked(true);
        form.btNoChange->click();
        form.btZenToHan->click();
        return d.result();
    });
    window.mmRepHanZenSetteiClick();
    EXPECT_EQ(convertFlags, HenkanJ::ConvertAlpha);
    EXPECT_EQ(noChange, HenkanJ::DefaultNoChangeChars());
    EXPECT_EQ(editor->Text(), u"AB"_s);

    prompter.modals.push_back([](QDialog& d) {
        auto& form = static_cast<TFormHanZenSettei&>(d);
        form.memoNoChange->setText(u"😀"_s);
        form.btOK->click(); // refused: the settings file could not hold it
        EXPECT_FALSE(form.isHidden() && form.result() != QDialog::Rejected);
        form.btCancel->click();
        return d.result();
    });
    window.mmRepHanZenSetteiClick();
    EXPECT_EQ(noChange, HenkanJ::DefaultNoChangeChars());
}

TEST_F(SearchReplace, FindNextReplaceAndTheOtherDestinationsAgree)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    editor->SetText(u"cat cat かばん カメラ ｶﾒﾗ"_s);
    cells = QStringList{u"かばん\\nカメラ ｶﾒﾗ"_s, u"ABC ＡＢＣ"_s};
    replaceAll(u"か"_s, u"が"_s, true);
    EXPECT_EQ(prompter.lastText(), u"1 個置換しました。"_s);
    EXPECT_EQ(editor->Text(), u"cat cat がばん カメラ ｶﾒﾗ"_s);
    EXPECT_EQ(cells.at(0), u"がばん\\nカメラ ｶﾒﾗ"_s);
    replaceAll(u"カ"_s, u"ガ"_s, true);
    EXPECT_EQ(editor->Text(), u"cat cat がばん ガメラ ガﾒﾗ"_s);
    EXPECT_EQ(cells.at(0), u"がばん\\nガメラ ガﾒﾗ"_s);
    window.ReplaceDialog1->setMatchCase(false);
    replaceAll(u"abc"_s, u"x"_s, true);
    EXPECT_EQ(cells.at(1), u"x x"_s);

    // Find next starts after the match it selected, whatever the match's width.
    editor->SetText(u"ABCABC ABC"_s);
    editor->setSelStart(0);
    window.SkipSelection = 0;
    window.FindDialog1->setFindText(u"ＡＢＣ"_s);
    window.FindDialog1->setDown(true);
    std::vector<int> found;
    for (int i = 0; i < 3; ++i) {
        window.FindDialog1Find();
        found.push_back(editor->SelStart());
        EXPECT_EQ(editor->SelLength(), 3);
    }
    EXPECT_EQ(found, (std::vector<int>{0, 3, 7}));
    window.FindDialog1Find();
    EXPECT_EQ(prompter.lastText(), u"\"ＡＢＣ\" は見つかりませんでした。"_s);
    EXPECT_EQ(editor->SelStart(), 7);

    // The replace dialog's find-next looks for its own find text, with its own match case.
    window.FindDialog1->setFindText(QString());
    window.ReplaceDialog1->setFindText(u"abc"_s);
    window.ReplaceDialog1->setMatchCase(true);
    editor->SetText(u"ABC abc"_s);
    editor->setSelStart(0);
    window.ReplaceDialog1Find();
    EXPECT_EQ(editor->SelStart(), 4);
    EXPECT_EQ(editor->SelLength(), 3);
}

// What code page 932 stores one way, typed into the find or the replacement text, finds and puts
// in the character the file holds (as Windows wrote it): forward, backward, the replace button,
// replace-all and the other destinations alike.
struct OneWayPair {
    const char* name;
    const char16_t* typed;
    const char16_t* held;
};

void PrintTo(const OneWayPair& pair, std::ostream* os)
{
    *os << pair.name;
}

class OneWay : public SearchReplace, public ::testing::WithParamInterface<OneWayPair> {};

TEST_P(OneWay, FindsAndPutsInWhatTheFileHolds)
{
    const QString typed = QString::fromUtf16(GetParam().typed), held = QString::fromUtf16(GetParam().held);
    TMyRichEdit* editor = window.MyRichEdit1;
    editor->SetText(u"東京"_s + held + u"大阪 A"_s + held + u"B"_s);
    editor->setSelStart(0);
    window.FindDialog1->setDown(true);
    window.FindDialog1->setFindText(typed);
    window.FindDialog1Find();
    EXPECT_EQ(editor->SelStart(), 4);
    EXPECT_EQ(editor->SelLength(), 2);
    EXPECT_EQ(window.FindDialog1->FindText(), held); // what it looked for
    window.FindDialog1->setFindText(typed);
    window.FindDialog1Find();
    EXPECT_EQ(editor->SelStart(), 12);
    window.FindDialog1->setDown(false);
    window.FindDialog1->setFindText(typed);
    window.FindDialog1Find();
    EXPECT_EQ(editor->SelStart(), 4);
    EXPECT_EQ(editor->SelLength(), 2);

    // The selected match replaced, the next one selected.
    window.ReplaceDialog1->setFindText(typed);
    window.ReplaceDialog1->edReplace->setText(u"<"_s + typed + u">"_s);
    window.ReplaceDialog1Replace(false);
    EXPECT_EQ(editor->Text(), u"東京<"_s + held + u">大阪 A"_s + held + u"B"_s);
    EXPECT_EQ(editor->SelStart(), 14);
    EXPECT_EQ(editor->SelLength(), 2);
    EXPECT_EQ(window.ReplaceDialog1->ReplaceText(), u"<"_s + held + u">"_s);

    cells = QStringList{u"札幌"_s + held + u"函館\\n名古屋"_s + held + u"京都"_s, u"dog"_s};
    replaceAll(typed, u"("_s + typed + u")"_s, true);
    EXPECT_EQ(prompter.lastText(), u"2 個置換しました。"_s);
    EXPECT_EQ(editor->Text(), u"東京<("_s + held + u")>大阪 A("_s + held + u")B"_s);
    EXPECT_EQ(cells.at(0), u"札幌("_s + held + u")函館\\n名古屋("_s + held + u")京都"_s);
    EXPECT_EQ(mapSteps, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cp932, OneWay,
    ::testing::Values(OneWayPair{"wave_dash", u"\u301C", u"\uFF5E"}, OneWayPair{"minus", u"\u2212", u"\uFF0D"},
                      OneWayPair{"em_dash", u"\u2014", u"\u2015"}, OneWayPair{"double_bar", u"\u2016", u"\u2225"},
                      OneWayPair{"cent", u"\u00A2", u"\uFFE0"}, OneWayPair{"pound", u"\u00A3", u"\uFFE1"},
                      OneWayPair{"not", u"\u00AC", u"\uFFE2"}),
    [](const testing::TestParamInfo<OneWayPair>& info) { return std::string(info.param.name); });

// What the file cannot hold is named, and then nothing is searched for or replaced, here or in
// the other destinations; a TAB goes in as a blank.
TEST_F(SearchReplace, ARefusedCharacterIsNamedAndNothingChanges)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    editor->SetText(u"cat dog"_s);
    cells = QStringList{u"cat"_s};
    const QString refused = u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n"_s
                            u"\"\U0001F600\" (U+1F600)\r\n\r\n"_s
                            u"次の文字はマップファイルに保存できないため，入力できません。\r\n制御文字 U+0001"_s;
    replaceAll(u"cat"_s, u"c\U0001F600\x01t"_s, true);
    EXPECT_EQ(prompter.lastText(), refused);
    editor->setSelStart(0);
    editor->setSelLength(3);
    window.ReplaceDialog1Replace(false);
    EXPECT_EQ(prompter.lastText(), refused);
    EXPECT_EQ(editor->Text(), u"cat dog"_s);
    EXPECT_EQ(cells.at(0), u"cat"_s);
    EXPECT_EQ(mapSteps, 0);
    EXPECT_EQ(window.ReplaceDialog1->ReplaceText(), u"c\U0001F600\x01t"_s); // left to be mended

    window.FindDialog1->setFindText(u"d\u00E9"_s);
    window.FindDialog1Find();
    EXPECT_EQ(prompter.lastText(),
              u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n\"\u00E9\" (U+00E9)"_s);
    EXPECT_EQ(editor->SelStart(), 0);
    EXPECT_EQ(editor->SelLength(), 3);

    replaceAll(u"cat"_s, u"a\tb"_s, true);
    EXPECT_EQ(editor->Text(), u"a b dog"_s);
    EXPECT_EQ(cells.at(0), u"a b"_s);
}

} // namespace
