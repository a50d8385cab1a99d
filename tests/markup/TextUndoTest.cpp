#include "MyRichEdit.h"

#include "Cp932.h"
#include "ProgramFolder.h"
#include "QtPrinters.h"
#include "ScriptedPrompter.h"
#include "UnitEditText.h"
#include "UnitRefPage.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <memory>
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

// Typing, caret keys, host changes, runs of undo past a small ring and redo, on the description
// and on a scratch page (of a file, or blank), with saves and closes between: after every step the
// tab's "*", Ctrl+S, the close questions and atlas's count all say "modified" exactly when the text
// differs from what the file or the destination holds, and a close drops a changed page only on No.
TEST(TextUndoPages, ModifiedIsTheTextAgainstItsFileThroughWrapsSavesAndCloses)
{
    QTemporaryDir folder;
    ScriptedPrompter prompter;
    ProgramFolder::setOverride(folder.path() + u'/');
    const auto restore = qScopeGuard([] { ProgramFolder::setOverride(QString()); });
    TFormEditText::Host host;
    host.scratchFolder = folder.path() + u"/ちょい置き"_s;
    host.settingsFolder = folder.path() + u"/設定"_s;
    QDir().mkpath(host.scratchFolder);
    const QString given = u"説明文\r\n二行目"_s, path = host.scratchFolder + u"/walk.txt"_s;
    TFormRefPage* page = nullptr;
    const auto pageChanged = [&] {
        QFile f(page->FileName);
        const QString file = f.open(QIODevice::ReadOnly) ? Cp932::decode(f.readAll()) : QString();
        return page->MyRichEdit1->Text() != (file.endsWith(u"\r\n"_s) ? file.chopped(2) : file);
    };
    // The dialog names the page's own file; one the user saw is replaced on Yes.
    const auto scriptSave = [&] {
        prompter.files.push_back(page->FileName);
        if (!page->FileHold.isClaim())
            prompter.answers.push_back(Prompter::Answer::Yes);
    };
    int wrappedAway = 0; // steps at the oldest state of a wrapped ring, which no file holds
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("abc\r\n") == 5);
        f.close();
        TFormEditText window;
        window.MyRichEdit1->setUndoMax(3); // the pages take it too
        window.SetHost(host);
        window.show();
        TMyRichEdit* description = window.MyRichEdit1;
        description->SetText(given); // as the destination editor hands it over
        description->ResetTextUndo();
        page = seed % 2 ? window.CreateScratchPage(path) : window.CreateBlankPage(QDateTime::currentDateTime());
        ASSERT_NE(page, nullptr);
        for (int action = 0; action < 60; ++action) {
            TMyRichEdit* edit = pick(3) ? page->MyRichEdit1 : description;
            window.pcEdit->setCurrentIndex(window.pcEdit->indexOf(edit == description ? window.TabSheet1 : page));
            const size_t asked = prompter.asked.size(), requests = prompter.fileRequests.size();
            switch (pick(12)) {
            case 0:
            case 1:
            case 2:
                QTest::keyClick(edit, char('a' + pick(3)));
                break;
            case 3:
                QTest::keyClick(edit,
                                std::array{Qt::Key_Left, Qt::Key_End, Qt::Key_Backspace, Qt::Key_Return}[pick(4)]);
                break;
            case 4:
                edit->setSelStart(pick(edit->TextLength() + 1));
                pick(2) ? paste(*edit) : tag(*edit);
                break;
            case 5:
            case 6:
            case 7:
                for (int n = 1 + pick(8); n > 0; --n)
                    window.pmUndoClick();
                break;
            case 8:
                window.pmRedoClick();
                break;
            case 9: // Ctrl+S on the page; the window's Cancel asks about a changed description only
                if (edit == page->MyRichEdit1) {
                    const bool changed = pageChanged();
                    if (changed)
                        scriptSave();
                    window.ReferSave1Click();
                    EXPECT_EQ(prompter.fileRequests.size(), requests + (changed ? 1 : 0));
                    EXPECT_FALSE(pageChanged());
                } else {
                    const bool changed = description->Text() != given;
                    if (changed)
                        prompter.answers.push_back(Prompter::Answer::No);
                    EXPECT_EQ(window.FormClose(QDialog::Rejected), !changed);
                    EXPECT_EQ(prompter.asked.size(), asked + (changed ? 1 : 0));
                }
                break;
            default: { // 閉じる
                window.pcEdit->setCurrentWidget(page);
                const bool changed = pageChanged();
                const QString text = page->MyRichEdit1->Text();
                const auto answer =
                    std::array{Prompter::Answer::Yes, Prompter::Answer::No, Prompter::Answer::Cancel}[pick(3)];
                if (changed) {
                    prompter.answers.push_back(answer);
                    if (answer == Prompter::Answer::Yes)
                        scriptSave();
                }
                window.miCloseClick();
                EXPECT_EQ(prompter.asked.size() > asked, changed);
                if (changed && answer == Prompter::Answer::Cancel) {
                    EXPECT_EQ(window.CurrentPage, page);
                    break;
                }
                ASSERT_TRUE(window.ScratchPages.empty());
                const QString file = page->FileName; // as saved; the page goes with the next events
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                page = window.CreateScratchPage(QFile::exists(file) ? file : path);
                ASSERT_NE(page, nullptr);
                if (changed && answer == Prompter::Answer::Yes)
                    EXPECT_EQ(page->MyRichEdit1->Text(), text);
            }
            }
            const bool changed = pageChanged();
            EXPECT_EQ(page->MyRichEdit1->IsTextModified(), changed);
            EXPECT_EQ(window.TabLabel(window.pcEdit->indexOf(page)).endsWith(u'*'), changed);
            EXPECT_EQ(window.ModifiedScratchPageCount(), changed ? 1 : 0);
            EXPECT_EQ(description->IsTextModified(), description->Text() != given);
            EXPECT_EQ(window.TabLabel(0).endsWith(u'*'), description->Text() != given);
            for (const TMyRichEdit* e : {page->MyRichEdit1, description}) {
                const UndoRing<TRichUndoMemory>& ring = e->textUndo();
                wrappedAway += ring.first() > 0 && ring.current() == ring.first() && e->IsTextModified();
            }
        }
    }
    EXPECT_GT(wrappedAway, 20);
    EXPECT_EQ(prompter.unscripted, 0);
}

} // namespace
