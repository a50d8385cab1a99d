#include "MyRichEdit.h"

#include "ScriptedPrompter.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>
#include <QMimeData>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <random>

using namespace Qt::StringLiterals;

namespace {

class MarkupControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        edit.resize(400, 300);
        edit.show();
        QApplication::processEvents();
    }
    void keys(const QString& text) { QTest::keyClicks(&edit, text); }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(&edit, k, modifiers); }
    // One recorded step: a character, then a caret key that starts a new group.
    void step(QChar c)
    {
        keys(QString(c));
        key(Qt::Key_End);
    }
    QTextCharFormat formatAt(int documentPosition)
    {
        QTextCursor c(edit.document());
        c.setPosition(documentPosition + 1);
        return c.charFormat();
    }
    static void compose(TMyRichEdit& target, const QString& preedit, const QString& commit = {})
    {
        QInputMethodEvent event(preedit, {});
        event.setCommitString(commit);
        QApplication::sendEvent(&target, &event);
    }

    ScriptedPrompter prompter;
    TMyRichEdit edit;
};

TEST_F(MarkupControl, KeysAreGroupedIntoSteps)
{
    keys(u"abc"_s); // typing: the empty text is the base, nothing new
    EXPECT_EQ(edit.textUndo().last(), 0);
    key(Qt::Key_Left); // caret: records "abc"
    key(Qt::Key_Left);
    key(Qt::Key_Right);
    key(Qt::Key_Backspace); // deleting: the text is still that of "abc"
    key(Qt::Key_Delete);    // the same run
    EXPECT_EQ(edit.textUndo().last(), 1);
    key(Qt::Key_Return);                 // records "a"
    keys(u"x"_s);                        // records "a" CR LF
    key(Qt::Key_V, Qt::ControlModifier); // the host pastes; no step, no paste
    EXPECT_EQ(edit.Text(), u"a\r\nx"_s);
    EXPECT_EQ(edit.textUndo().last(), 3);

    const QString expected[] = {u"a\r\n"_s, u"a"_s, u"abc"_s, QString()};
    for (const QString& text : expected) {
        edit.UndoText();
        EXPECT_EQ(edit.Text(), text);
    }
    edit.UndoText(); // nothing older
    EXPECT_EQ(edit.Text(), QString());
    edit.RedoText();
    EXPECT_EQ(edit.Text(), u"abc"_s);
    EXPECT_EQ(edit.SelStart(), 2); // where the caret stood when the deleting began
    EXPECT_TRUE(edit.Modified());
}

TEST_F(MarkupControl, UndoneStatesComeBackAfterANewEdit)
{
    keys(u"one"_s);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), QString());
    keys(u"two"_s);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), QString());
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"one"_s);
    EXPECT_TRUE(edit.IsTextModified());
}

TEST_F(MarkupControl, TwentyFiveStepsUndoneTwentyTimes)
{
    edit.setUndoMax(20);
    EXPECT_EQ(edit.UndoMax(), 21);
    for (int i = 0; i < 25; ++i)
        step(QChar(u'a' + i));
    for (int i = 0; i < 20; ++i)
        edit.UndoText();
    EXPECT_EQ(edit.Text(), u"abcde"_s);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"abcde"_s);
    EXPECT_FALSE(edit.CanUndoText());
    EXPECT_TRUE(edit.IsTextModified()) << "the oldest state left is not the text it started from";
}

// After undoing more than half of a small ring, the states appended again share slots with those
// still to be read.
TEST_F(MarkupControl, WalkBackAfterUndoingMoreThanHalf)
{
    edit.setUndoMax(4);
    for (const QChar c : u"abcd"_s)
        step(c);
    for (int i = 0; i < 3; ++i)
        edit.UndoText();
    EXPECT_EQ(edit.Text(), u"a"_s);
    step(u'z');
    for (const QString& text : {u"a"_s, u"ab"_s, u"abc"_s, u"abcd"_s, u"abcd"_s}) {
        edit.UndoText();
        EXPECT_EQ(edit.Text(), text);
    }
}

TEST_F(MarkupControl, BookmarksTravelWithTheirSnapshots)
{
    edit.setUndoMax(2);
    edit.setSioriMax(3);
    edit.SetBookmark(1, {0, 0, 0, 0});
    step(u'a');
    edit.SetBookmark(1, {0, 5, 0, 0});
    step(u'b');
    edit.SetBookmark(1, {0, 7, 0, 0});
    edit.UndoText();
    EXPECT_EQ(edit.Bookmark(1)[1], 0);
    edit.UndoText();
    EXPECT_EQ(edit.Bookmark(1)[0], -1);
    // A new edit enters "a" and the empty text again, each with its own table, into slots that
    // held other tables.
    step(u'q');
    edit.UndoText();
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_EQ(edit.Bookmark(1)[0], -1);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"a"_s);
    EXPECT_EQ(edit.Bookmark(1)[1], 0);

    edit.ResetBookmarks();
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(edit.Bookmark(i), (TBookmark{-1, -1, -1, -1}));
}

TEST_F(MarkupControl, ReadOnlyRecordsNothing)
{
    edit.SetText(u"fixed"_s);
    edit.setReadOnly(true);
    key(Qt::Key_End);
    edit.RecordTextUndoStep(TMyRichEdit::ReplaceAll);
    EXPECT_EQ(edit.textUndo().last(), 0);
}

// Every control handles its own input method: another control's life and death change nothing.
TEST_F(MarkupControl, CompositionIsAStepOfItsOwnInEachControl)
{
    auto other = std::make_unique<TMyRichEdit>();
    keys(u"x"_s);
    compose(edit, u"にほん"_s);
    EXPECT_EQ(edit.LastStepKind, TMyRichEdit::Composition);
    EXPECT_EQ(edit.textUndo().last(), 1);
    compose(edit, QString(), u"日本"_s);
    EXPECT_EQ(edit.Text(), u"x日本"_s);
    compose(edit, QString(), u"\r\n"_s); // a line break as the result is dropped
    EXPECT_EQ(edit.Text(), u"x日本"_s);
    other.reset();
    compose(edit, u"ご"_s);
    compose(edit, QString(), u"語"_s);
    EXPECT_EQ(edit.textUndo().last(), 2);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"x日本"_s);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"x"_s);
}

TEST_F(MarkupControl, ColouringChangesFormatsOnly)
{
    edit.ShowStrColor = true;
    edit.StrColor().Color3 = ColourText::clRed;
    edit.StrColor().Color4 = ColourText::clBlue;
    edit.SetText(u"漢字{RND,1,2}\r\n{RND}"_s);
    QSignalSpy changed(&edit, &QPlainTextEdit::textChanged);
    edit.RecolourAll();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(edit.Modified());
    EXPECT_EQ(edit.Text(), u"漢字{RND,1,2}\r\n{RND}"_s);
    EXPECT_NE(formatAt(1).fontWeight(), QFont::Bold);
    // Right after the double-byte characters: exactly the bracket.
    EXPECT_EQ(formatAt(2).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(2).foreground().color(), QColor(Qt::red));
    EXPECT_EQ(formatAt(10).foreground().color(), QColor(Qt::red));
    EXPECT_NE(formatAt(11).fontWeight(), QFont::Bold); // the line break
    EXPECT_EQ(formatAt(12).foreground().color(), QColor(Qt::blue));
    EXPECT_NE(formatAt(12).fontWeight(), QFont::Bold);

    // Typing on the caret's line recolours it on key up: now valid.
    edit.setSelStart(edit.TextLength() - 1);
    keys(u",1,2"_s);
    EXPECT_EQ(formatAt(12).foreground().color(), QColor(Qt::red));
    EXPECT_EQ(formatAt(12).fontWeight(), QFont::Bold);
    // The snapshots hold the colours: undo brings the error colour back.
    key(Qt::Key_Left);
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"漢字{RND,1,2}\r\n{RND}"_s);
    EXPECT_EQ(formatAt(12).foreground().color(), QColor(Qt::blue));
    EXPECT_TRUE(edit.ShowStrColor);
}

TEST_F(MarkupControl, CommentRangeCoversWhatWasAskedForToo)
{
    edit.ShowStrColor = true;
    edit.SetText(u"a\r\nb\r\n{* c\r\nd *}\r\ne"_s);
    const int lineB = edit.LineIndex(1), lineD = edit.LineIndex(3), comment = edit.LineIndex(2);
    auto [from, to] = edit.WidenRangeForComment(lineB, lineB + 1);
    EXPECT_EQ(from, lineB);
    EXPECT_GE(to, lineD);
    std::tie(from, to) = edit.WidenRangeForComment(edit.LineIndex(4), edit.TextLength());
    EXPECT_EQ(from, comment);
    EXPECT_EQ(to, edit.TextLength());
}

// A drop gets no mouse release after it: the drop itself recolours the lines it touched. (Qt's
// offscreen platform runs no drag, so a move inside the page is walked in the end-to-end test.)
TEST_F(MarkupControl, DroppedTextIsRecolouredWhereItLands)
{
    edit.ShowStrColor = true;
    edit.SetText(u"{必答}問1\r\nここ\r\n"_s);
    edit.RecolourAll();
    ASSERT_EQ(formatAt(0).fontWeight(), QFont::Bold);
    // Dropped right after the bracket, which would lend the dropped text its bold.
    const QPoint at = edit.PosFromChar(6) + QPoint(0, 4);
    QMimeData dragged;
    dragged.setText(u"{必答"_s);
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QApplication::sendEvent(edit.viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QApplication::sendEvent(edit.viewport(), &drop);
    ASSERT_EQ(edit.Text(), u"{必答}{必答問1\r\nここ\r\n"_s);
    EXPECT_EQ(formatAt(0).fontWeight(), QFont::Bold);
    for (int p = 4; p < 7; ++p)
        EXPECT_NE(formatAt(p).fontWeight(), QFont::Bold) << "the unclosed bracket, at " << p;
    // Its own undo step: the text before the drop comes back whole.
    edit.UndoText();
    EXPECT_EQ(edit.Text(), u"{必答}問1\r\nここ\r\n"_s);
}

// Which label rows of the gutter picture carry ink.
QString inkedRows(const TMyRichEdit& edit, int lines)
{
    const QImage& picture = edit.NumberingBmp();
    const QColor background = ColourText::toQColor(edit.NumberingColor);
    QString rows;
    for (int line = 0; line < lines; ++line) {
        bool ink = false;
        const int top = line * edit.NumberingLineHeight();
        for (int y = top; y < top + edit.NumberingLineHeight() && y < picture.height() && !ink; ++y)
            for (int x = edit.IndentLeft(); x < picture.width() && !ink; ++x)
                ink = picture.pixelColor(x, y) != background;
        rows += ink ? u'#' : u'.';
    }
    return rows;
}

TEST_F(MarkupControl, GutterLabelsBlocksOfFiveAroundComments)
{
    edit.SetText(
        u"q1\r\na1\r\np1\r\ns1\r\nx1\r\n//note\r\n{*\r\nc\r\n*}\r\n\r\nq2\r\na2 // later\r\n＋*\r\ns2\r\nx2\r\nq3"_s);
    edit.setNumbering(true);
    EXPECT_EQ(inkedRows(edit, 16), u"####......####.#"_s);
    EXPECT_EQ(edit.NumberedBlockCount(), 3);
    EXPECT_GT(edit.NumberingWidth(), edit.IndentLeft());

    edit.TestVersion = 1;
    edit.SetText(u"a\r\n\r\nb\r\n{* x *}\r\nc"_s);
    edit.DrawNumbering();
    EXPECT_EQ(inkedRows(edit, 5), u"#.#.#"_s);
    EXPECT_EQ(edit.NumberedBlockCount(), 3);

    edit.SetText(QString());
    edit.DrawNumbering();
    EXPECT_EQ(inkedRows(edit, 3), u"..."_s);

    // The empty line after a last line break is no item of its own.
    edit.SetText(u"a\r\nb\r\n"_s);
    edit.DrawNumbering();
    EXPECT_EQ(inkedRows(edit, 3), u"##."_s);
    EXPECT_EQ(edit.NumberedBlockCount(), 2);
}

// Keys, pastes, undo and redo anywhere in a coloured, numbered page: the positions, the gutter's
// labels and the rows drawn for the lines on screen are what a fresh reading of the text gives.
TEST_F(MarkupControl, EditsLeavePositionsAndGutterAsAFreshReading)
{
    const QString lines[] = {u"{必答}問題"_s, u"答え [ここ]"_s, QString(),   u"// メモ"_s,    u"{* 注"_s,
                             u"まだ注"_s,     u"*}"_s,          u"漢字ｶﾅ"_s, u"{PIC,a.bmp}"_s};
    QString text;
    for (int i = 0; i < 40; ++i)
        text += lines[i % std::size(lines)] + u"\r\n"_s;
    edit.ShowStrColor = true;
    edit.setNumbering(true);
    edit.SetText(text);
    TMyRichEdit fresh;
    fresh.resize(edit.size());
    fresh.show();
    fresh.setNumbering(true);

    const QString typed = u"a{*}/\n"_s;
    const QString pasted[] = {u"漢\r\ny"_s, u"{*\r\n\r\n"_s, u"//"_s, QString(), u"*}\r\nz"_s};
    std::mt19937 random(2102);
    for (int round = 0; round < 120; ++round) {
        const PositionMap& map = edit.positions();
        edit.setSelStart(map.byteFromDocument(int(random() % unsigned(map.documentLength() + 1))));
        switch (random() % 6) {
        case 0: {
            const QChar c = typed[qsizetype(random() % typed.size())];
            if (c == u'\n')
                key(Qt::Key_Return);
            else
                keys(QString(c));
            break;
        }
        case 1:
            key(random() % 2 ? Qt::Key_Backspace : Qt::Key_Delete);
            break;
        case 2:
            edit.setSelLength(int(random() % 12));
            edit.setSelText(pasted[random() % std::size(pasted)]);
            break;
        case 3:
            edit.UndoText();
            break;
        case 4:
            edit.RedoText();
            break;
        default:
            key(Qt::Key_Down);
            break;
        }
        edit.DrawNumbering();
        SCOPED_TRACE(edit.Text().toStdString());
        const PositionMap reread(edit.toPlainText());
        ASSERT_EQ(edit.positions().documentLength(), reread.documentLength()) << "round " << round;
        for (int d = 0; d <= reread.documentLength(); ++d)
            ASSERT_EQ(edit.positions().byteFromDocument(d), reread.byteFromDocument(d)) << "document " << d;
        fresh.SetText(edit.Text());
        fresh.DrawNumbering();
        ASSERT_EQ(edit.NumberedBlockCount(), fresh.NumberedBlockCount()) << "round " << round;
        ASSERT_EQ(edit.NumberingBmp(), fresh.NumberingBmp()) << "round " << round;
        const QImage& whole = edit.NumberingBmp();
        const int top = int(random() % unsigned(whole.height()));
        const int rows = std::min(90, whole.height() - top);
        ASSERT_EQ(edit.NumberingBmpRows(top, rows), whole.copy(0, top, whole.width(), rows)) << "from " << top;
    }
}

} // namespace
