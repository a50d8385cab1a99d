#include "MyRichEdit.h"

#include "QtPrinters.h"
#include "ScriptedPrompter.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// What the hosts do to the text behind the control's keys: a paste replaces the selection, a tag
// button wraps it.
void paste(TMyRichEdit& edit)
{
    edit.setSelText(u"貼る\r\n文"_s);
}
void tag(TMyRichEdit& edit)
{
    edit.setSelText(u"<r>"_s + edit.SelText() + u"</r>"_s);
}

class TextUndo : public ::testing::Test {
protected:
    void SetUp() override
    {
        edit.resize(400, 300);
        edit.show();
        QApplication::processEvents();
    }
    // Still shown, or a state that undo and redo can reach.
    bool kept(QString text) const
    {
        if (edit.Text() == text)
            return true;
        text.replace(u"\r\n"_s, u"\n"_s); // the ring holds the document's line breaks
        const UndoRing<TRichUndoMemory>& ring = edit.textUndo();
        for (qint64 p = ring.first(); p <= ring.last(); ++p)
            if (ring.at(p).text.plainText() == text)
                return true;
        return false;
    }

    ScriptedPrompter prompter;
    TMyRichEdit edit;
};

// Type, undo, let the host change the text, undo: the change is a step of its own, and undo and
// redo walk through every state shown.
TEST_F(TextUndo, HostChangeAfterUndoIsAStepOfItsOwn)
{
    struct Road {
        void (*change)(TMyRichEdit&);
        QString changed;
    };
    for (const Road& road : {Road{paste, u"貼る\r\n文"_s}, Road{tag, u"<r></r>"_s}}) {
        SCOPED_TRACE(road.changed.toStdString());
        edit.SetText(QString());
        edit.ResetTextUndo();
        QTest::keyClicks(&edit, u" abc"_s);
        edit.UndoText();
        ASSERT_EQ(edit.Text(), QString());
        road.change(edit);
        for (const QString& text : {QString(), u" abc"_s, QString(), QString()}) {
            edit.UndoText();
            EXPECT_EQ(edit.Text(), text);
        }
        for (const QString& text : {u" abc"_s, QString(), road.changed, road.changed}) {
            edit.RedoText();
            EXPECT_EQ(edit.Text(), text);
        }

        // Redo right after a change keeps it, and so does typing on after one.
        edit.UndoText();
        edit.UndoText(); // " abc", the change still ahead
        edit.setSelStart(0);
        road.change(edit);
        const QString changed = edit.Text();
        edit.RedoText();
        EXPECT_EQ(edit.Text(), changed);
        edit.UndoText();
        EXPECT_EQ(edit.Text(), u" abc"_s);
        edit.setSelStart(0);
        road.change(edit);
        QTest::keyClicks(&edit, u"x"_s);
        edit.UndoText();
        EXPECT_EQ(edit.Text(), changed);
        edit.UndoText();
        EXPECT_EQ(edit.Text(), u" abc"_s);
    }
}

// Random typing, deleting, caret keys, host changes, undo and redo, on a small ring: the text shown
// before an undo or redo is always kept, and after the whole sequence, undoing back to the oldest
// state and redoing forward again passes through the latest text.
TEST_F(TextUndo, NoStateLeftByUndoOrRedoIsLost)
{
    edit.setUndoMax(6);
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        edit.SetText(QString());
        edit.ResetTextUndo();
        for (int action = 0; action < 30; ++action) {
            switch (pick(8)) {
            case 0:
            case 1:
                QTest::keyClick(&edit, char('a' + pick(26)));
                break;
            case 2:
                QTest::keyClick(&edit, pick(2) ? Qt::Key_Backspace : Qt::Key_Return);
                break;
            case 3:
                QTest::keyClick(&edit, pick(2) ? Qt::Key_Left : Qt::Key_End);
                break;
            case 4:
                edit.setSelStart(pick(edit.TextLength() + 1));
                pick(2) ? paste(edit) : tag(edit);
                break;
            default: {
                const QString shown = edit.Text();
                pick(3) ? edit.UndoText() : edit.RedoText();
                ASSERT_TRUE(kept(shown)) << "lost: " << shown.toStdString();
            }
            }
        }
        const QString latest = edit.Text();
        bool passed = false;
        for (int i = 0; i < edit.UndoMax(); ++i) {
            edit.UndoText();
            passed = passed || edit.Text() == latest;
        }
        EXPECT_FALSE(edit.textUndo().canUndo());
        for (int i = 0; i < edit.UndoMax(); ++i) {
            edit.RedoText();
            passed = passed || edit.Text() == latest;
        }
        EXPECT_TRUE(passed) << "never came back to: " << latest.toStdString();
    }
}

} // namespace
