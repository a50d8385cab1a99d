#include "MyRichEdit.h"

#include "Cp932.h"
#include "QtPrinters.h"
#include "ScriptedPrompter.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString Refusal = u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n"_s;

// Bytes: a 0, b 1, c 2, CR 3, LF 4, 漢 5, 字 7, CR 9, LF 10, x 11, y 12, end 13.
const QString ThreeLines = u"abc\r\n漢字\r\nxy"_s;

class RichEdit : public ::testing::Test {
protected:
    void SetUp() override { edit.resize(400, 300); }
    // Views only scroll and lay out once shown (offscreen, so nothing appears).
    void show()
    {
        edit.show();
        QApplication::processEvents();
    }
    QString longText(int lines) const
    {
        QString text;
        for (int i = 0; i < lines; ++i)
            text += u"%1行目 line\r\n"_s.arg(i);
        return text;
    }

    ScriptedPrompter prompter;
    TMyRichEdit edit;
};

TEST_F(RichEdit, EveryLineBreakComesBackAsCrLf)
{
    struct Case {
        QString in, out;
        int lines, bytes;
    };
    const Case cases[] = {
        {u"a\r\nb"_s, u"a\r\nb"_s, 2, 4},
        {u"a\nb"_s, u"a\r\nb"_s, 2, 4},
        {u"a\rb"_s, u"a\r\nb"_s, 2, 4},
        {u"漢\r\n\r\nｱ\n"_s, u"漢\r\n\r\nｱ\r\n"_s, 4, 9},
        {QString(), QString(), 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        edit.setSelText(u"x"_s);
        edit.SetText(c.in);
        EXPECT_EQ(edit.Text(), c.out);
        EXPECT_EQ(edit.LineCount(), c.lines);
        EXPECT_EQ(edit.TextLength(), c.bytes);
        EXPECT_FALSE(edit.Modified()) << "loading is no edit";
    }
}

// A line far longer than a row is held in rows; the text, its positions, the keys, the clipboard
// and undo never see where one row ends.
TEST_F(RichEdit, ALongLineIsOneLineWhateverItsRows)
{
    show();
    QString line;
    for (int i = 0; line.size() < 3 * TMyRichEdit::LongestRow; ++i)
        line += u"問題%1 の{必答}文 "_s.arg(i);
    const QString text = u"a\r\n"_s + line + u"\r\nz"_s;
    edit.SetText(text);
    edit.ResetTextUndo();
    ASSERT_GT(edit.document()->blockCount(), 3);
    EXPECT_EQ(edit.Text(), text);
    EXPECT_EQ(edit.LineCount(), 3);
    EXPECT_EQ(edit.TextLength(), Cp932::byteLength(text));
    EXPECT_EQ(edit.LineFromChar(edit.TextLength() - 1), 2);
    // At the end of the first row: Right, Backspace and Delete act on characters only.
    const int byteEnd = Cp932::byteLength(u"a\r\n"_s + edit.document()->begin().next().text());
    edit.setSelStart(byteEnd);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QString expected = line;
    const int at = int(edit.document()->begin().next().text().size()) + 1;
    expected.remove(at - 1, 2);
    const QString deleted = u"a\r\n"_s + expected + u"\r\nz"_s;
    EXPECT_EQ(edit.Text(), deleted);
    QTest::keyClicks(&edit, u"xy"_s);
    expected.insert(at - 1, u"xy"_s);
    EXPECT_EQ(edit.Text(), u"a\r\n"_s + expected + u"\r\nz"_s);
    EXPECT_EQ(edit.LineCount(), 3);
    edit.SelectAll();
    edit.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QString(u"a\n"_s + expected + u"\nz"_s));
    // Pasted again at the end it makes rows of its own, and undo takes every change back.
    edit.setSelStart(edit.TextLength());
    edit.RecordTextUndoStep(TMyRichEdit::MousePress);
    edit.setSelText(line);
    EXPECT_EQ(edit.Text(), u"a\r\n"_s + expected + u"\r\nz"_s + line);
    EXPECT_EQ(edit.LineCount(), 3);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"a\r\n"_s + expected + u"\r\nz"_s);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), deleted);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), text);
    for (int i = 0; i < 3; ++i)
        edit.RedoText();
    EXPECT_EQ(edit.Text(), u"a\r\n"_s + expected + u"\r\nz"_s + line);

    // Its own text held in other rows is no change.
    edit.SetText(text);
    edit.ResetTextUndo();
    const QString rows = edit.positions().text();
    edit.setSelStart(Cp932::byteLength(u"a\r\n"_s + line));
    edit.setSelText(line);
    EXPECT_TRUE(edit.IsTextModified());
    edit.setSelStart(Cp932::byteLength(u"a\r\n"_s + line));
    edit.setSelLength(Cp932::byteLength(line));
    edit.setSelText(QString());
    ASSERT_NE(edit.positions().text(), rows);
    EXPECT_EQ(edit.Text(), text);
    EXPECT_FALSE(edit.IsTextModified());
}

TEST_F(RichEdit, SelectionCountsBytes)
{
    edit.SetText(u"ab漢字\r\ncd"_s); // a 0, b 1, 漢 2, 字 4, CR LF 6, c 8, d 9
    edit.setSelStart(3);
    EXPECT_EQ(edit.SelStart(), 2) << "inside a kanji snaps to its start";
    edit.setSelLength(2);
    EXPECT_EQ(edit.SelText(), u"漢"_s);
    edit.setSelStart(4);
    edit.setSelLength(4);
    EXPECT_EQ(edit.SelText(), u"字\r\n"_s);
    EXPECT_EQ(edit.SelLength(), 4);
    EXPECT_EQ(edit.textCursor().position(), edit.documentPosition(8)) << "the caret is at the far end";
    edit.setSelLength(3);
    EXPECT_EQ(edit.SelLength(), 2) << "ending between CR and LF snaps down";

    edit.setSelText(u"X\r\nY\nZ"_s);
    EXPECT_EQ(edit.Text(), u"ab漢X\r\nY\r\nZ\r\ncd"_s);
    EXPECT_EQ(edit.SelStart(), 11);
    EXPECT_EQ(edit.SelLength(), 0);
    EXPECT_TRUE(edit.Modified());

    edit.SelectAll();
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(edit.SelLength(), edit.TextLength());
}

TEST_F(RichEdit, BoundsOfTheCaretsLine)
{
    struct Case {
        QString text;
        int caret, startAfterBreak, startAtBreak, endAtBreak, endAfterBreak;
    };
    const Case cases[] = {
        {ThreeLines, 1, 0, 0, 3, 5},
        {ThreeLines, 3, 0, 0, 3, 5},    // caret before the CR
        {ThreeLines, 5, 5, 3, 9, 11},   // right after CR LF
        {ThreeLines, 7, 5, 3, 9, 11},   // middle line
        {ThreeLines, 12, 11, 9, 13, 13}, // last line
        {ThreeLines, 13, 11, 9, 13, 13}, // at the end
        {u"ab\r\n"_s, 4, 4, 2, 4, 4},    // empty last line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text.toStdString() << " caret " << c.caret);
        edit.SetText(c.text);
        edit.setSelStart(c.caret);
        EXPECT_EQ(edit.LineStartOfCaret(false), c.startAfterBreak);
        EXPECT_EQ(edit.LineStartOfCaret(true), c.startAtBreak);
        EXPECT_EQ(edit.LineEndOfCaret(true), c.endAtBreak);
        EXPECT_EQ(edit.LineEndOfCaret(false), c.endAfterBreak);
    }
    // The caret, not the selection's start, decides.
    edit.SetText(ThreeLines);
    edit.setSelStart(1);
    edit.setSelLength(6);
    EXPECT_EQ(edit.LineStartOfCaret(false), 5);
}

TEST_F(RichEdit, LineIndexAndLineFromChar)
{
    edit.SetText(ThreeLines);
    const int index[][2] = {{0, 0}, {1, 5}, {2, 11}, {3, -1}, {50, -1}, {-2, -1}};
    for (const auto& r : index)
        EXPECT_EQ(edit.LineIndex(r[0]), r[1]) << "line " << r[0];
    const int fromChar[][2] = {{0, 0}, {3, 0}, {4, 0}, {5, 1}, {10, 1}, {11, 2}, {13, 2}, {99, 2}};
    for (const auto& r : fromChar)
        EXPECT_EQ(edit.LineFromChar(r[0]), r[1]) << "byte " << r[0];
    edit.setSelStart(8);
    EXPECT_EQ(edit.LineIndex(-1), 5);
    EXPECT_EQ(edit.LineFromChar(-1), 1);
}

// Each way text comes in, with an emoji that code page 932 cannot hold.
TEST_F(RichEdit, UnencodableTextIsRefusedWhereverItComesIn)
{
    struct Case {
        const char* way;
        std::function<void(TMyRichEdit&)> enter;
        QString text;
        int caret;
    };
    const Case cases[] = {
        {"SetText", [](TMyRichEdit& e) { e.SetText(u"ab😀\ncd"_s); }, u"ab\r\ncd"_s, 0},
        {"setSelText", [](TMyRichEdit& e) { e.setSelText(u"漢😀字"_s); }, u"漢字"_s, 4},
        {"typing", [](TMyRichEdit& e) {
             QTest::keyClicks(&e, u"ab"_s);
             // keyClicks only sends Latin-1; a keyboard delivers the pair in one event.
             QTest::sendKeyEvent(QTest::Click, &e, Qt::Key_unknown, u"😀"_s, Qt::NoModifier);
             QTest::keyClicks(&e, u"c"_s);
         }, u"abc"_s, 3},
        {"input method", [](TMyRichEdit& e) {
             QInputMethodEvent commit;
             commit.setCommitString(u"か😀な"_s);
             QApplication::sendEvent(&e, &commit);
         }, u"かな"_s, 4},
        {"paste", [](TMyRichEdit& e) {
             QGuiApplication::clipboard()->setText(u"x😀\ny"_s);
             e.paste();
         }, u"x\r\ny"_s, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        edit.SetText(QString());
        prompter.asked.clear();
        QSignalSpy refused(&edit, &TMyRichEdit::unencodableRefused);
        c.enter(edit);
        EXPECT_EQ(edit.Text(), c.text);
        EXPECT_EQ(edit.TextLength(), Cp932::byteLength(c.text));
        EXPECT_EQ(edit.SelStart(), c.caret);
        ASSERT_EQ(refused.size(), 1);
        EXPECT_EQ(refused.at(0).at(0).toString(), u"😀"_s);
        QApplication::processEvents(); // the box of the key and paste handlers is posted
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.lastText(), Refusal + u"\"😀\" (U+1F600)"_s);
    }
    // Two lone halves of a pair, apart in the text, are two characters the file cannot hold.
    const QChar halves[] = {QChar(u'a'), QChar(0xD800), QChar(u'b'), QChar(0xDC00)};
    QInputMethodEvent commit;
    commit.setCommitString(QString(halves, 4));
    edit.SetText(QString());
    QApplication::sendEvent(&edit, &commit);
    EXPECT_EQ(edit.Text(), u"ab"_s);
}

TEST_F(RichEdit, ShiftReturnBreaksTheLineLikeReturn)
{
    QTest::keyClicks(&edit, u"a"_s);
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&edit, u"b"_s);
    EXPECT_EQ(edit.Text(), u"a\r\nb"_s);
    EXPECT_EQ(edit.LineCount(), 2);
    EXPECT_EQ(edit.LineIndex(1), 3);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(RichEdit, FormatOnlyChangesKeepTextAndModifiedState)
{
    edit.SetText(ThreeLines);
    edit.setIndentLeft(20);
    EXPECT_FALSE(edit.Modified()) << "moving the margin is no edit";
    QTextCursor c(edit.document());
    c.setPosition(edit.documentPosition(5));
    c.setPosition(edit.documentPosition(9), QTextCursor::KeepAnchor);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    c.mergeCharFormat(red);
    EXPECT_EQ(edit.Text(), ThreeLines);
    EXPECT_EQ(edit.documentPosition(11), 7);

    // New text does not inherit the colour at the caret.
    edit.setSelStart(6);
    edit.SetText(u"plain"_s);
    EXPECT_NE(QTextCursor(edit.document()).charFormat().foreground().color(), QColor(Qt::red));
    edit.SetText(ThreeLines);

    // A replacement of the same length in characters is an edit all the same.
    edit.setSelStart(0);
    edit.setSelLength(1);
    edit.setSelText(u"あ"_s);
    EXPECT_EQ(edit.TextLength(), 14);
    EXPECT_EQ(edit.LineIndex(2), 12);
}

TEST_F(RichEdit, SavedViewsRoundTrip)
{
    show();
    edit.SetText(longText(300));
    std::vector<int> reported;
    edit.OnScroll = [&](int, int& pos) { reported.push_back(pos); };
    edit.ScrollToLine(100);
    ASSERT_EQ(edit.FirstVisibleLine(), 100);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 100);
    edit.setSelStart(edit.LineIndex(103) + 3);
    edit.setSelLength(4);
    const int selStart = edit.SelStart();
    auto elsewhere = [&] {
        edit.setSelStart(0);
        edit.ScrollToLine(250);
        ASSERT_NE(edit.FirstVisibleLine(), 100);
    };

    edit.SaveViewState();
    for (const bool withLength : {true, false}) {
        elsewhere();
        edit.RestoreViewState(withLength);
        EXPECT_EQ(edit.FirstVisibleLine(), 100);
        EXPECT_EQ(edit.SelStart(), selStart);
        EXPECT_EQ(edit.SelLength(), withLength ? 4 : 0);
    }
    for (const bool colours : {false, true}) {
        edit.ShowStrColor = colours;
        edit.setSelLength(4);
        edit.SaveColourView();
        elsewhere();
        edit.RestoreColourView(true);
        EXPECT_EQ(edit.FirstVisibleLine(), 100);
        EXPECT_EQ(edit.SelStart(), selStart);
        EXPECT_EQ(edit.SelLength(), 4);
    }
}

TEST_F(RichEdit, MarginsOnBothSidesAndOnTop)
{
    show();
    edit.setIndentLeft(12);
    const QRect text = edit.FormatRect();
    EXPECT_EQ(text.left(), 12);
    EXPECT_EQ(edit.viewport()->width() - 1 - text.right(), 12);
    EXPECT_EQ(text.top(), 0);

    // A long line of kanji wraps inside the rectangle.
    QString line;
    for (int i = 0; i < 80; ++i)
        line += u"漢"_s;
    edit.SetText(line);
    EXPECT_EQ(edit.PosFromChar(0).x(), 12);
    int rows = 1;
    for (int b = 2; b < edit.TextLength(); b += 2) {
        const QPoint p = edit.PosFromChar(b);
        EXPECT_LE(p.x(), text.right()) << "byte " << b;
        rows += p.x() == 12;
        EXPECT_EQ(edit.CharFromPos(p + QPoint(1, 1)), b);
    }
    EXPECT_GT(rows, 1);

    // The first line keeps IndentTop from the top, whichever margin is larger.
    for (const int top : {4, 30}) {
        edit.setIndentTop(top);
        const QPoint first = edit.viewport()->mapTo(&edit, edit.PosFromChar(0));
        EXPECT_EQ(first.y() - edit.contentsRect().top(), std::max(top, 12)) << "top " << top;
        EXPECT_EQ(edit.viewport()->mapTo(&edit, edit.FormatRect().topLeft()).y() - edit.contentsRect().top(), top);
    }
}

TEST_F(RichEdit, LineEndMarks)
{
    show();
    edit.SetText(u"ab\r\ncd\r\nef"_s);
    edit.StrColor().ColorCR = ColourText::clRed;
    int painted = 0;
    edit.OnPaint = [&] { ++painted; };
    // Red pixels just after the end of the first line (where the mark goes).
    auto markShown = [&] {
        const QImage image = edit.viewport()->grab().toImage();
        const QPoint at = edit.PosFromChar(2);
        const int height = edit.fontMetrics().height();
        for (int y = at.y(); y < at.y() + height; ++y)
            for (int x = at.x(); x < at.x() + height; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                    return true;
            }
        return false;
    };
    struct Case {
        bool enabled;
        int selStart, selLength;
        bool shown;
    };
    const Case cases[] = {{true, 0, 0, true}, {false, 0, 0, false}, {true, 1, 3, false}, {true, 0, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabled << " " << c.selStart << "+" << c.selLength);
        edit.StrColor().ColorCREnabled = c.enabled;
        edit.setSelStart(c.selStart);
        edit.setSelLength(c.selLength);
        painted = 0;
        EXPECT_EQ(markShown(), c.shown);
        EXPECT_GT(painted, 0);
    }
}

TEST_F(RichEdit, InputMethodCompositionIsBlackOnCyan)
{
    QInputMethodEvent compose(u"かんじ"_s, {});
    QApplication::sendEvent(&edit, &compose);
    bool cyan = false;
    for (const QTextLayout::FormatRange& r : edit.textCursor().block().layout()->formats())
        cyan |= r.start == 0 && r.length == 3 && r.format.background().color() == QColor(0, 255, 255)
                && r.format.foreground().color() == QColor(Qt::black);
    EXPECT_TRUE(cyan);
    EXPECT_EQ(edit.TextLength(), 0) << "the composition is not text yet";
}

} // namespace
