#include "UnitEditText.h"

#include "FindDialog.h"
#include "MyRichEdit.h"
#include "QtPrinters.h"
#include "ScriptedPrompter.h"
#include "UnitRefPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QClipboard>
#include <QMenu>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class EditText : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.SetHost(host);
        window.show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        prompter.answers.push_back(Prompter::Answer::Yes);
        window.btCancelClick();
    }
    TFormRefPage* addPage(const QString& caption, int tag)
    {
        auto page = std::make_unique<TFormRefPage>(&window);
        page->setWindowTitle(caption);
        page->Tag = tag;
        return window.AddScratchPage(std::move(page));
    }
    // Text with "abc" selected in the middle.
    void selectAbc(TMyRichEdit* editor)
    {
        editor->SetText(u"xabcx"_s);
        editor->setSelStart(1);
        editor->setSelLength(3);
    }

    ScriptedPrompter prompter;
    quint8 replaceFlags = 3, findFlags = 0;
    TFormEditText::Host host{QFont(), {{u"bbR1"_s, u"hint r1"_s}}, &replaceFlags, &findFlags, QString(), nullptr, nullptr, {}, QString()};
    TFormEditText window;
};

TEST_F(EditText, TagButtonsAndKeysInsertOrWrapTheSelection)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    EXPECT_EQ(window.sbR1->statusTip(), u"hint r1"_s);

    selectAbc(editor);
    window.sbR2->click(); // a closing tag supplies the closing half
    EXPECT_EQ(editor->Text(), u"x<r>abc</r>x"_s);
    editor->SetText(QString());
    window.sbR2->click();
    EXPECT_EQ(editor->Text(), u"</r>"_s);

    selectAbc(editor);
    QTest::keyClick(editor, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(editor->Text(), u"x<u>abc</u>x"_s);
    QTest::keyClick(editor, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor->Text(), u"x<u>abc</u></b>x"_s);

    prompter.colours.push_back(QColor(255, 0, 0));
    editor->SetText(QString());
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor->Text(), u"<bg=0000FF>"_s);

    // A paste turns tabs to blanks and adds the line breaks asked for.
    QGuiApplication::clipboard()->setText(u"a\tb"_s);
    window.edPasteRet->setText(u"2"_s);
    editor->SetText(QString());
    window.pmPasteClick();
    EXPECT_EQ(editor->Text(), u"a b\r\n\r\n"_s);
}

TEST_F(EditText, CommandsActOnTheCurrentPageFloatingOrDocked)
{
    TFormRefPage* page = addPage(u" ちょい置き-1 "_s, 1);
    EXPECT_EQ(window.CurrentPage, page);
    selectAbc(page->MyRichEdit1);
    window.sbG1->click();
    EXPECT_EQ(page->MyRichEdit1->Text(), u"x<g>abc</g>x"_s);

    window.pcEdit->setCurrentIndex(0);
    EXPECT_EQ(window.CurrentPage, nullptr);
    window.floatPage(page, QRect(50, 60, 300, 200));
    EXPECT_TRUE(page->isWindow());
    EXPECT_EQ(window.pcEdit->count(), 1);
    window.RefPageActivated(page);
    EXPECT_TRUE(window.FloatingPageCurrent);
    EXPECT_EQ(window.CurrentEditor(), page->MyRichEdit1);

    window.HideFloatingPages();
    EXPECT_FALSE(page->isVisible());
    window.ShowFloatingPages();
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(page->FloatBounds.size(), QSize(300, 200));

    window.dockPage(page);
    EXPECT_FALSE(page->isWindow());
    EXPECT_EQ(window.pcEdit->count(), 2);
    EXPECT_EQ(window.pcEdit->currentWidget(), page);
    EXPECT_EQ(window.CurrentPage, page);
    EXPECT_FALSE(window.FloatingPageCurrent);

    // The gesture: the tab dragged more than 20 pixels and dropped outside the window floats there.
    const QPoint start = window.pcEdit->tabBar()->tabRect(1).center();
    window.pcEditMouseDown(Qt::LeftButton, start);
    window.pcEditDragOver(start + QPoint(10, 0)); // under the threshold
    const QPoint outside = window.mapToGlobal(QPoint(window.width() + 40, 30));
    window.pcEditEndDrag(outside);
    EXPECT_FALSE(page->isWindow());
    window.pcEditMouseDown(Qt::LeftButton, start);
    window.pcEditDragOver(start + QPoint(0, 30));
    window.pcEditEndDrag(outside);
    EXPECT_TRUE(page->isWindow());
    EXPECT_TRUE(window.screen()->availableGeometry().contains(page->geometry()));
}

// Whatever a key or a click makes current while a tab is held, the page whose tab was pressed is
// the one carried: let go outside it floats, let go on a tab it moves there, and no other page
// leaves its place.
TEST_F(EditText, ATabDragCarriesThePagePressedWhateverBecomesCurrent)
{
    std::mt19937 random(2110);
    int made = 0;
    for (int i = 0; i < 3; ++i)
        addPage(u" ちょい置き-%1 "_s.arg(++made), made);
    QTabBar* bar = window.pcEdit->tabBar();
    const QPoint outside = window.mapToGlobal(QPoint(window.width() + 40, 30));
    for (int round = 0; round < 80; ++round) {
        // Floating pages come back now and then, so that there is a tab to drag.
        for (const auto& page : window.ScratchPages)
            if (page->isWindow() && (window.pcEdit->count() < 3 || random() % 3 == 0))
                window.dockPage(page.get());
        const int count = window.pcEdit->count();
        ASSERT_GE(count, 2);
        const int pressed = 1 + int(random() % unsigned(count - 1));
        auto* carried = qobject_cast<TFormRefPage*>(window.pcEdit->widget(pressed));
        const QPoint start = bar->tabRect(pressed).center();
        QTest::mousePress(bar, Qt::LeftButton, {}, start);
        window.pcEditDragOver(start + QPoint(0, 30));
        bool cancelled = false;
        switch (random() % 4) {
        case 0: // Ctrl+W: a new page, which becomes current
            addPage(u" ちょい置き-%1 "_s.arg(++made), made);
            break;
        case 1: // a click on the description's tab, or Ctrl+Tab to another page
            window.pcEdit->setCurrentIndex(int(random() % unsigned(window.pcEdit->count())));
            break;
        case 2: // Escape ends the drag, and only the drag
            QTest::keyClick(&window, Qt::Key_Escape);
            cancelled = true;
            break;
        default:
            break;
        }
        std::vector<QWidget*> tabs;
        for (int t = 0; t < window.pcEdit->count(); ++t)
            tabs.push_back(window.pcEdit->widget(t));
        const int target = 1 + int(random() % unsigned(window.pcEdit->count() - 1));
        const QPoint onTab = bar->mapToGlobal(bar->tabRect(target).center());
        // A tab the row has scrolled out of the window is outside it too.
        const bool away = random() % 2 == 0 || !window.rect().contains(window.mapFromGlobal(onTab));
        window.pcEditEndDrag(away ? outside : onTab);
        std::vector<QWidget*> now;
        for (int t = 0; t < window.pcEdit->count(); ++t)
            now.push_back(window.pcEdit->widget(t));
        std::vector<QWidget*> expected = tabs;
        const auto at = std::find(expected.begin(), expected.end(), carried);
        if (!cancelled && away) {
            expected.erase(at);
            EXPECT_TRUE(carried->isWindow()) << round;
        } else if (!cancelled) {
            expected.erase(at);
            expected.insert(expected.begin() + target, carried);
        }
        EXPECT_EQ(now, expected) << round;
    }
}

// Tab moves the focus on: a description holds no TAB character.
TEST_F(EditText, TabLeavesTheDescription)
{
    TMyRichEdit* editor = window.MyRichEdit1;
    QApplication::setActiveWindow(&window);
    editor->setFocus();
    editor->SetText(u"ab"_s);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(editor->Text(), u"ab"_s);
    EXPECT_FALSE(editor->hasFocus());
}

TEST_F(EditText, TabZeroStaysFirstAndModifiedTabsShowAStar)
{
    TFormRefPage* one = addPage(u" ちょい置き-1 "_s, 1);
    TFormRefPage* two = addPage(u" ちょい置き-2 "_s, 2);
    ASSERT_EQ(window.pcEdit->indexOf(two), 2);

    window.miToLeftClick();
    EXPECT_EQ(window.pcEdit->indexOf(two), 1);
    window.miToLeftClick(); // never before the description
    EXPECT_EQ(window.pcEdit->indexOf(two), 1);
    window.miToRightClick();
    EXPECT_EQ(window.pcEdit->indexOf(two), 2);
    window.miToRightClick(); // already last
    EXPECT_EQ(window.pcEdit->indexOf(two), 2);

    window.pcEdit->setCurrentIndex(0);
    window.miToRightClick();
    EXPECT_EQ(window.pcEdit->widget(0), window.TabSheet1);

    // A drag of tab 2 dropped on tab 1 moves it there; a drop on tab 0 moves nothing.
    QTabBar* bar = window.pcEdit->tabBar();
    window.pcEdit->setCurrentIndex(2);
    window.pcEditMouseDown(Qt::LeftButton, bar->tabRect(2).center());
    window.pcEditDragDrop(bar->tabRect(1).center());
    EXPECT_EQ(window.pcEdit->indexOf(two), 1);
    EXPECT_EQ(window.pcEdit->indexOf(one), 2);
    window.pcEditMouseDown(Qt::LeftButton, bar->tabRect(1).center());
    window.pcEditDragDrop(bar->tabRect(0).center());
    EXPECT_EQ(window.pcEdit->widget(0), window.TabSheet1);
    EXPECT_EQ(window.pcEdit->indexOf(two), 1);

    EXPECT_EQ(window.TabLabel(0), u" 編集中の説明文 "_s);
    window.MyRichEdit1->setFocus();
    QTest::keyClicks(window.MyRichEdit1, u"x"_s);
    QTest::keyClick(window.MyRichEdit1, Qt::Key_Left);
    EXPECT_EQ(window.TabLabel(0), u" 編集中の説明文*"_s);
    window.pcEdit->setCurrentIndex(0);
    window.pmUndoClick();
    EXPECT_EQ(window.TabLabel(0), u" 編集中の説明文 "_s);
}

TEST_F(EditText, CancelAsksOnlyAboutAChangedDescriptionAndNoChangesNothing)
{
    window.MyRichEdit1->ResetTextUndo();
    window.btCancelClick();
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_FALSE(window.isVisible());

    window.show();
    TFormRefPage* page = addPage(u" ちょい置き-1 "_s, 1);
    window.floatPage(page, QRect(40, 40, 200, 150));
    window.Find1Click();
    window.MyRichEdit1->setFocus();
    QTest::keyClicks(window.MyRichEdit1, u"y"_s);
    QTest::keyClick(window.MyRichEdit1, Qt::Key_Left);
    prompter.answers.push_back(Prompter::Answer::No);
    QTest::keyClick(window.MyRichEdit1, Qt::Key_Escape);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.lastText(),
              u" 編集中の説明文  は変更されています。\r\n\r\n変更した内容を破棄してもいいですか。"_s);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(page->isVisible());
    EXPECT_TRUE(window.FindDialog1->isVisible());

    prompter.answers.push_back(Prompter::Answer::Yes);
    window.activateWindow(); // from the find dialog
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F8); // the hidden "閉じる - ｷｬﾝｾﾙ"
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(page->isVisible());
    EXPECT_FALSE(window.FindDialog1->isVisible());
    EXPECT_EQ(replaceFlags, 3);
    EXPECT_EQ(findFlags, 0);
    window.show();
    window.FormActivate();
    EXPECT_TRUE(page->isVisible());
}

TEST_F(EditText, MenuBarMenusAreRebuiltFromThePopUps)
{
    window.mmSearch->popup(QPoint());
    window.mmSearch->hide();
    QStringList captions;
    for (QAction* a : window.mmSearch->actions())
        if (!a->isSeparator())
            captions << a->text();
    EXPECT_EQ(captions,
              (QStringList{u"検索(&F)"_s, u"上へ検索(&U)"_s, u"下へ検索(&D)"_s, u"置換(&R)"_s, u"全角→半角変換 (&H)"_s,
                           u"半角→全角変換 (&Z)"_s, u"全角・半角変換の設定 (&T)"_s}));
    // Ctrl+R is the replace item's key, as it was before the menu was opened.
    window.MyRichEdit1->SetText(QString());
    window.MyRichEdit1->setFocus();
    QTest::keyClick(window.MyRichEdit1, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(window.ReplaceDialog1->isVisible());
    EXPECT_EQ(window.ReplaceDialog1->windowTitle(), u" 編集中の説明文 の置換"_s);
    EXPECT_EQ(window.ReplaceDialog1->cbWholeWord->text(), u"すべての旅行地で同じ置換を行う(&W)"_s);
    window.ReplaceDialog1->hide();

    // A key that is also a menu-bar item's shortcut goes to that item: Ctrl+W makes a blank page.
    const int pages = window.pcEdit->count();
    window.MyRichEdit1->setFocus();
    QTest::keyClick(window.MyRichEdit1, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(window.pcEdit->count(), pages + 1);
    EXPECT_EQ(window.MyRichEdit1->Text(), QString());
}

// Every command key does one thing from the first press on, whatever menu was opened: a key of a
// menu-bar item goes to that item (Ctrl+R replaces, Ctrl+F finds), the tag keys the items leave
// free insert their tags. A floating page has the keys of its own menus, which are the same
// commands, and none of the window's tags.
TEST_F(EditText, EveryCommandKeyDoesOneThingWhateverMenuWasOpened)
{
    constexpr Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    struct KeyCase {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int selLength; // bytes selected after "x"
        QString inWindow, inPage;
    };
    const QString unchanged = u"xａｂｃx 0,0"_s;
    const QString zenToHan = u"範囲選択されていないので，本文中のすべての全角文字を変換します。\r\nいいですか。"_s;
    const QString hanToZen = u"範囲選択されていないので，本文中のすべての半角文字を変換します。\r\nいいですか。"_s;
    const QString notFound = u"\"abc\" は見つかりませんでした。"_s;
    const KeyCase keys[] = {
        {"Ctrl+R", Qt::Key_R, ctrl, 0, unchanged + u" 置換"_s, unchanged + u" 置換"_s},
        {"Ctrl+F", Qt::Key_F, ctrl, 0, unchanged + u" 検索"_s, unchanged + u" 検索"_s},
        {"Ctrl+H", Qt::Key_H, ctrl, 0, unchanged + u" "_s + zenToHan, unchanged + u" "_s + zenToHan},
        {"Shift+Ctrl+H", Qt::Key_H, ctrl | shift, 0, unchanged + u" "_s + hanToZen, unchanged + u" "_s + hanToZen},
        {"F6", Qt::Key_F6, {}, 0, u"xａｂｃx 1,6"_s, u"xａｂｃx 1,6"_s},
        {"F5", Qt::Key_F5, {}, 0, unchanged + u" "_s + notFound, unchanged + u" "_s + notFound},
        {"Ctrl+A", Qt::Key_A, ctrl, 0, u"xａｂｃx 0,8"_s, u"xａｂｃx 0,8"_s},
        {"Ctrl+X", Qt::Key_X, ctrl, 6, u"xx 1,0"_s, u"xx 1,0"_s},
        {"Ctrl+V", Qt::Key_V, ctrl, 0, u"Pxａｂｃx 1,0"_s, u"Pxａｂｃx 1,0"_s},
        {"Shift+Ctrl+R", Qt::Key_R, ctrl | shift, 0, u"</r>xａｂｃx 4,0"_s, unchanged},
        {"Ctrl+B", Qt::Key_B, ctrl, 6, u"x<b>ａｂｃ</b>x 14,0"_s, u"xａｂｃx 1,6"_s},
        {"Shift+Ctrl+F", Qt::Key_F, ctrl | shift, 0, u"<bg=0000FF>xａｂｃx 11,0"_s, unchanged},
    };
    TFormRefPage* page = addPage(u" ちょい置き-1 "_s, 1);
    window.floatPage(page, QRect(60, 60, 400, 300));
    const auto press = [&](QWidget* target, TMyRichEdit* editor, const KeyCase& c) {
        window.FindDialog1->hide();
        window.ReplaceDialog1->hide();
        window.FindDialog1->setFindText(u"abc"_s);
        window.FindDialog1->setMatchCase(false);
        QGuiApplication::clipboard()->setText(u"P"_s);
        editor->SetText(u"xａｂｃx"_s);
        editor->setSelStart(c.selLength ? 1 : 0);
        editor->setSelLength(c.selLength);
        QApplication::setActiveWindow(target);
        editor->setFocus();
        EXPECT_EQ(QApplication::focusWidget(), editor);
        prompter.colours = {QColor(255, 0, 0)};
        const size_t asked = prompter.asked.size();
        QTest::keyClick(editor, c.key, c.modifiers);
        QString outcome =
            editor->Text() + u' ' + QString::number(editor->SelStart()) + u',' + QString::number(editor->SelLength());
        if (window.ReplaceDialog1->isVisible())
            outcome += u" 置換"_s;
        if (window.FindDialog1->isVisible())
            outcome += u" 検索"_s;
        if (prompter.asked.size() > asked)
            outcome += u' ' + prompter.lastText();
        return outcome;
    };
    for (const bool menusOpened : {false, true}) {
        if (menusOpened)
            for (QMenu* menu :
                 {window.mmEdit, window.mmSearch, window.mmHyouji, page->mmEdit, page->mmSearch, page->mmHyouji}) {
                menu->popup(QPoint());
                menu->hide();
            }
        for (const KeyCase& c : keys) {
            EXPECT_EQ(press(&window, window.MyRichEdit1, c), c.inWindow) << c.name << " menus opened " << menusOpened;
            EXPECT_EQ(press(page, page->MyRichEdit1, c), c.inPage) << c.name << " menus opened " << menusOpened;
        }
    }
    EXPECT_FALSE(window.mmSearch->actions().isEmpty());
}

} // namespace
