#include "UnitEditText.h"

#include "Cp932.h"
#include "FileOps.h"
#include "MyRichEdit.h"
#include "ProgramFolder.h"
#include "RichEditMargin.h"
#include "ScratchHistory.h"
#include "ScriptedPrompter.h"
#include "UnitCheckDirIn.h"
#include "UnitRefPage.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A program folder with its scratch and settings folders, a file beside the scratch folder, a
// sibling folder whose name begins with the scratch folder's, and links out of it.
class ScratchFolders {
public:
    ScratchFolders()
    {
        QDir(root()).mkpath(u"画像と音声/マップちょい置き/下/さらに下"_s);
        QDir(root()).mkpath(u"画像と音声/マップちょい置き2"_s);
        QDir(root()).mkpath(u"設定"_s);
        QFile::link(root() + u"画像と音声"_s, scratch() + u"/外へ"_s);
        QFile::link(root() + u"画像と音声/無い"_s, scratch() + u"/切れた"_s);
        ProgramFolder::setOverride(root());
    }
    ~ScratchFolders() { ProgramFolder::setOverride(QString()); }
    QString root() const { return dir.path() + u'/'; }
    QString scratch() const { return root() + u"画像と音声/マップちょい置き"_s; }
    QString settings() const { return root() + u"設定"_s; }

    QTemporaryDir dir;
};

struct Containment {
    const char16_t* path; // below the program folder
    bool inside;
};

class ScratchContainment : public ::testing::TestWithParam<Containment> {};

TEST_P(ScratchContainment, ASaveNeverLeavesTheScratchFolder)
{
    ScratchFolders folders;
    const QString path = folders.root() + QString::fromUtf16(GetParam().path);
    EXPECT_EQ(IsPathInFolder(folders.scratch(), path, false), GetParam().inside) << path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    HostileNames, ScratchContainment,
    ::testing::Values(Containment{u"画像と音声/マップちょい置き/a.txt", true},
                      Containment{u"画像と音声/マップちょい置き/下/さらに下/a.txt", true},
                      Containment{u"画像と音声/マップちょい置き/下/../a.txt", true},
                      Containment{u"画像と音声/マップちょい置き/..\\a.txt", true}, // a plain name here
                      Containment{u"画像と音声/a.txt", false},
                      Containment{u"画像と音声/マップちょい置き/../a.txt", false},
                      Containment{u"画像と音声/マップちょい置き/下/../../a.txt", false},
                      Containment{u"画像と音声/マップちょい置き2/a.txt", false},
                      Containment{u"画像と音声/マップちょい置き/外へ/a.txt", false},
                      Containment{u"画像と音声/マップちょい置き/外へ/マップちょい置き/../../a.txt", false},
                      Containment{u"画像と音声/マップちょい置き/切れた", false},
                      Containment{u"画像と音声/マップちょい置き/", false},
                      Containment{u"画像と音声/マップちょい置き/.", false}));

TEST(ScratchContainmentEdges, TheFolderItselfAndAnEmptyPath)
{
    ScratchFolders folders;
    EXPECT_TRUE(IsPathInFolder(folders.scratch(), folders.scratch() + u'/', true));
    EXPECT_FALSE(IsPathInFolder(folders.scratch(), QString(), true));
    EXPECT_FALSE(IsPathInFolder(folders.scratch(), u"/"_s, true));
}

class ScratchPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.scratchFolder = folders.scratch();
        host.settingsFolder = folders.settings();
        window = std::make_unique<TFormEditText>();
        window->SetHost(host);
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override { EXPECT_EQ(prompter.unscripted, 0); }
    QStringList historyHints() const
    {
        QStringList hints;
        for (QAction* a : window->tbpReRefer->actions())
            hints += a->statusTip();
        return hints.mid(0, std::max<qsizetype>(0, hints.size() - 2));
    }
    void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    ScratchFolders folders;
    ScriptedPrompter prompter;
    TFormEditText::Host host;
    std::unique_ptr<TFormEditText> window;
};

TEST_F(ScratchPages, ABlankPageIsSavedOnlyInsideTheFolderAndReopenedFromTheHistory)
{
    window->Blank1Click();
    TFormRefPage* page = window->CurrentPage;
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(window->pcEdit->tabText(1), u" ちょい置き-1 "_s);
    // Its claimed file is nothing the user saved.
    EXPECT_EQ(window->windowTitle(), u"マップエディタ"_s);
    EXPECT_TRUE(page->MyRichEdit1->ShowStrColor);
    EXPECT_FALSE(page->MyRichEdit1->IsTextModified());
    EXPECT_TRUE(window->ReferSave1->isEnabled());
    window->ReferSave1Click(); // nothing to save
    EXPECT_TRUE(prompter.fileRequests.empty());

    page->MyRichEdit1->SetText(u"メモ\r\n{b}"_s);
    page->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    ASSERT_TRUE(page->MyRichEdit1->IsTextModified());

    // Outside the folder: "re-enter?" Yes keeps the dialog, the next name is inside but exists
    // and the overwrite is refused, then an escape by ".." answered No ends in the refusal.
    write(folders.scratch() + u"/有る.txt"_s, "x");
    prompter.files = {folders.root() + u"a.txt"_s, folders.scratch() + u"/有る.txt"_s,
                      folders.scratch() + u"/../b.txt"_s};
    prompter.answers = {Prompter::Answer::Yes, Prompter::Answer::No, Prompter::Answer::No};
    window->ReferSave1Click();
    EXPECT_EQ(prompter.fileRequests.back().title, u" ちょい置き-1 を保存する"_s);
    EXPECT_EQ(prompter.fileRequests.back().fileName, page->FileName + u".txt"_s);
    EXPECT_EQ(prompter.lastText(), u"保存できませんでした。"_s);
    EXPECT_FALSE(window->SaveProceeds);
    EXPECT_TRUE(page->MyRichEdit1->IsTextModified());
    EXPECT_FALSE(QFile::exists(folders.root() + u"b.txt"_s));
    EXPECT_EQ(readAll(folders.scratch() + u"/有る.txt"_s), "x");

    const QString saved = folders.scratch() + u"/下/メモ.txt"_s;
    prompter.files = {saved};
    window->ReferSave1Click();
    EXPECT_EQ(readAll(saved), Cp932::encode(u"メモ\r\n{b}\r\n"_s));
    EXPECT_FALSE(page->MyRichEdit1->IsTextModified());
    EXPECT_EQ(page->FileName, saved);
    EXPECT_EQ(historyHints(), QStringList{u"画像と音声/マップちょい置き/下/メモ.txt"_s});
    EXPECT_EQ(window->tbpReRefer->actions().last()->text(), u"履歴の消去"_s);

    // Unmodified, the page closes without a question.
    const size_t asked = prompter.asked.size();
    window->miCloseClick();
    flushDeletes();
    EXPECT_EQ(prompter.asked.size(), asked);
    EXPECT_TRUE(window->ScratchPages.empty());
    EXPECT_EQ(window->CurrentPage, nullptr);

    // The history goes to its file and comes back in a new window; its entry reopens the page.
    window->SaveScratchHistory();
    EXPECT_EQ(readAll(folders.settings() + u"/ちょい置き履歴.txt"_s),
              Cp932::encode(u"画像と音声/マップちょい置き/下/メモ.txt\r\n"_s));
    window = std::make_unique<TFormEditText>();
    window->SetHost(host);
    ASSERT_EQ(window->tbpReRefer->actions().size(), 3);
    EXPECT_EQ(window->tbpReRefer->actions().last()->text(), u"履歴の消去(&T)"_s);
    window->tbpReRefer->actions().first()->trigger();
    ASSERT_NE(window->CurrentPage, nullptr);
    EXPECT_EQ(window->CurrentPage->MyRichEdit1->Text(), u"メモ\r\n{b}"_s);
    EXPECT_FALSE(window->CurrentPage->MyRichEdit1->IsTextModified());

    // A missing file is reported and opens nothing.
    QFile::remove(saved);
    window->tbpReRefer->actions().first()->trigger();
    EXPECT_EQ(prompter.lastText(),
              saved + u"\r\nファイルが見つかりません。\r\n指定したファイル名が正しいかどうか確認して下さい。"_s);
    EXPECT_EQ(window->ScratchPages.size(), 1u);
}

TEST_F(ScratchPages, AFileOpenedFromElsewhereIsProposedInsideAndUnreadableFilesAreRefused)
{
    const QString map = folders.root() + u"map.map"_s;
    write(map, Cp932::encode(u"一\r\n二\r\n"_s));
    write(folders.root() + u"utf8.txt"_s, "\xe3\x81\x82\xff");
    prompter.files = {folders.root() + u"utf8.txt"_s, map};
    window->Refer1Click();
    EXPECT_TRUE(window->ScratchPages.empty());
    EXPECT_EQ(prompter.asked.size(), 1u);
    window->Refer1Click();
    TFormRefPage* page = window->CurrentPage;
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->MyRichEdit1->Text(), u"一\r\n二"_s);
    EXPECT_EQ(historyHints(), QStringList{u"map.map"_s});

    page->MyRichEdit1->SetText(u"三"_s);
    page->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    prompter.files = {QString()};
    window->ReferSave1Click();
    EXPECT_EQ(prompter.fileRequests.back().fileName, folders.scratch() + u"/map.map"_s);
    EXPECT_FALSE(window->SaveProceeds);
    EXPECT_EQ(readAll(map), Cp932::encode(u"一\r\n二\r\n"_s));
}

TEST_F(ScratchPages, ClosingAsksAboutAChangeAndARefusedSaveKeepsThePage)
{
    window->Blank1Click();
    window->Blank1Click();
    TFormRefPage* second = window->CurrentPage;
    EXPECT_EQ(window->pcEdit->indexOf(second), 2);
    second->MyRichEdit1->SetText(u"x"_s);
    second->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);

    prompter.answers = {Prompter::Answer::Cancel};
    window->miCloseClick();
    EXPECT_EQ(window->ScratchPages.size(), 2u);
    EXPECT_EQ(prompter.lastText(), u"テキストが変更されています。保存しますか。"_s);

    // Yes with a name outside, not entered again: told, and the page stays with its star.
    prompter.answers = {Prompter::Answer::Yes, Prompter::Answer::No};
    prompter.files = {folders.root() + u"x.txt"_s};
    window->miCloseClick();
    EXPECT_EQ(window->ScratchPages.size(), 2u);
    EXPECT_TRUE(window->TabLabel(2).endsWith(u'*'));

    // A floating page's close box runs the same close; No drops the text.
    window->floatPage(second, QRect(40, 40, 300, 200));
    window->RefPageActivated(second);
    prompter.answers = {Prompter::Answer::No};
    EXPECT_TRUE(second->close());
    flushDeletes();
    ASSERT_EQ(window->ScratchPages.size(), 1u);
    EXPECT_EQ(window->CurrentPage, window->ScratchPages.front().get());
    EXPECT_EQ(window->pcEdit->currentIndex(), 1);
}

TEST_F(ScratchPages, TheHistoryKeepsTwelveDistinctEntriesNewestFirst)
{
    // Blank lines, a duplicate written relative and in full, a line spoilt by a stray byte, and
    // more than twelve lines.
    QString text = u"a0.txt\r\n\r\n  \r\n"_s + folders.root() + u"a0.txt\r\n"_s;
    for (int i = 1; i <= 14; ++i)
        text += u"a%1.txt\r\n"_s.arg(i);
    write(folders.settings() + u"/ちょい置き履歴.txt"_s, Cp932::encode(text).replace("a1.txt", "\x81\x7f.txt"));
    window->LoadScratchHistory();
    QStringList hints = historyHints();
    ASSERT_EQ(hints.size(), 12);
    EXPECT_EQ(hints.first(), u"a0.txt"_s);
    EXPECT_EQ(hints.last(), u"a12.txt"_s);
    // A line cut where the reading stops is not taken for a shorter name.
    const QByteArray filler(ScratchHistoryBytes - 12, 'b');
    EXPECT_EQ(ReadScratchHistory("a.txt\r\n" + filler + "\r\nc.txt\r\n"),
              (QStringList{u"a.txt"_s, QString::fromLatin1(filler)}));

    EXPECT_TRUE(window->AddScratchHistory(folders.root() + u"a5.txt"_s));
    EXPECT_TRUE(window->AddScratchHistory(u"/elsewhere/new.txt"_s));
    EXPECT_TRUE(window->AddScratchHistory(u"/elsewhere/new.txt"_s));
    EXPECT_FALSE(window->AddScratchHistory(QString()));
    EXPECT_FALSE(window->AddScratchHistory(u"/elsewhere/\U0001F600.txt"_s));
    EXPECT_FALSE(window->AddScratchHistory(u"/elsewhere/メモ〜.txt"_s));
    EXPECT_FALSE(window->AddScratchHistory(u"/elsewhere/a\\b.txt"_s));
    hints = historyHints();
    ASSERT_EQ(hints.size(), 12);
    // A path outside the program folder is kept relative to it as well, up to the shared root.
    EXPECT_EQ(QDir::cleanPath(ProgramFolder::resolveExeRelativePath(hints[0], false)), u"/elsewhere/new.txt"_s);
    EXPECT_EQ(hints.mid(1, 2), (QStringList{u"a5.txt"_s, u"a0.txt"_s}));
    EXPECT_EQ(hints.count(u"a5.txt"_s), 1);
    EXPECT_EQ(hints.last(), u"a11.txt"_s);

    prompter.answers = {Prompter::Answer::Yes};
    window->tbpReReferDeleteClick();
    flushDeletes();
    EXPECT_TRUE(window->tbpReRefer->actions().isEmpty());
    EXPECT_FALSE(QFile::exists(folders.settings() + u"/ちょい置き履歴.txt"_s));
}

// Programs sharing the history: each write puts its own change on top of what the file holds, so
// the entries another program wrote stay, in its order; a program killed has lost nothing it
// opened; a clear stays a clear; twelve entries at most.
TEST_F(ScratchPages, TwoProgramsKeepEachOthersHistory)
{
    const auto open = [&](TFormEditText& program, const QString& name) {
        write(folders.scratch() + u'/' + name, "x\r\n");
        prompter.files = {folders.scratch() + u'/' + name};
        program.Refer1Click();
    };
    const auto stored = [](const QStringList& names) {
        QStringList entries;
        for (const QString& name : names)
            entries += u"画像と音声/マップちょい置き/"_s + name;
        return entries;
    };
    const QString history = folders.settings() + u"/ちょい置き履歴.txt"_s;
    auto other = std::make_unique<TFormEditText>();
    other->SetHost(host);
    open(*window, u"a.txt"_s);
    open(*other, u"b.txt"_s);
    window->SaveScratchHistory(); // the closes, first to last
    other->SaveScratchHistory();
    EXPECT_EQ(ReadScratchHistory(readAll(history)), stored({u"b.txt"_s, u"a.txt"_s}));

    {
        TFormEditText killed; // never writes at a close
        killed.SetHost(host);
        open(killed, u"c.txt"_s);
    }
    open(*other, u"a.txt"_s);
    EXPECT_EQ(ReadScratchHistory(readAll(history)), stored({u"a.txt"_s, u"c.txt"_s, u"b.txt"_s}));
    EXPECT_EQ(other->tbpReRefer->actions().size(), 5) << "the entries as written, the separator, the clear";

    prompter.answers = {Prompter::Answer::Yes};
    window->tbpReReferDeleteClick();
    open(*other, u"d.txt"_s);
    EXPECT_EQ(ReadScratchHistory(readAll(history)), stored({u"d.txt"_s}));
    QStringList names;
    for (int i = 0; i < 13; ++i)
        open(i % 2 ? *window : *other, names.emplaceFront(u"e%1.txt"_s.arg(i)));
    EXPECT_EQ(ReadScratchHistory(readAll(history)), stored(names.mid(0, ScratchHistoryEntries)));
    other.reset();
    window->SaveScratchHistory(); // nothing new: the file stays as the other left it
    EXPECT_EQ(ReadScratchHistory(readAll(history)), stored(names.mid(0, ScratchHistoryEntries)));
    // The settings folder gone while the program ran: made again, with the history it knows.
    ASSERT_TRUE(FileOps::deleteFolder(folders.settings()));
    window->SaveScratchHistory();
    EXPECT_EQ(ReadScratchHistory(readAll(history)), historyHints());
    EXPECT_FALSE(historyHints().isEmpty());

    // A history whose file could not be deleted is still cleared at the next write.
    ScratchHistoryChanges changes;
    changes.cleared(false);
    changes.added(u"x.txt"_s);
    EXPECT_EQ(changes.merged({u"y.txt"_s}), QStringList{u"x.txt"_s});
}

TEST_F(ScratchPages, ANameTheHistoryCannotHoldIsToldOnceAndAnOddNameBreaksNothing)
{
    // "〜" is written as the code of "～": read back, it would name another file.
    const QString wave = folders.scratch() + u"/メモ〜.txt"_s;
    write(wave, "x\r\n");
    prompter.files = {wave};
    window->Refer1Click();
    ASSERT_NE(window->CurrentPage, nullptr);
    EXPECT_EQ(prompter.lastText(),
              wave
                  + u"\r\nファイル名の「〜」はシフトJIS（コードページ932）でそのまま記録できないため，"_s
                    u"このファイルは「開き直す」の履歴に入れられません。"_s);
    window->CurrentPage->MyRichEdit1->SetText(u"y"_s);
    window->CurrentPage->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    EXPECT_TRUE(window->SaveAllScratchPages());
    EXPECT_EQ(prompter.asked.size(), 1u);
    EXPECT_TRUE(historyHints().isEmpty());

    // A name that is no UTF-8, empty and begun as a blank page's: the clean-up of claims reads it
    // as bytes and leaves it, and blank pages are still made.
    const QDateTime now = QDateTime::currentDateTime();
    const QByteArray odd = QFile::encodeName(folders.scratch() + u'/' + now.toString(u"yyMMdd-HHmmss"_s)) + "_\xff";
    const int fd = ::open(odd.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_NE(window->CreateBlankPage(now), nullptr);
    EXPECT_EQ(::access(odd.constData(), F_OK), 0);
    ::unlink(odd.constData()); // QTemporaryDir cannot remove it
}

TEST_F(ScratchPages, APageOpenInTwoProgramsIsNotWrittenOverUnasked)
{
    const QString memo = folders.scratch() + u"/メモ.txt"_s;
    write(memo, "0\r\n");
    prompter.files = {memo};
    window->Refer1Click();
    TFormRefPage* mine = window->CurrentPage;
    window->SaveScratchHistory();
    TFormEditText other;
    other.SetHost(host);
    other.tbpReRefer->actions().first()->trigger();
    TFormRefPage* theirs = other.CurrentPage;
    ASSERT_TRUE(mine && theirs);
    theirs->MyRichEdit1->SetText(u"彼"_s);
    theirs->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    EXPECT_TRUE(other.SaveAllScratchPages());

    // Ctrl+S: the dialog keeps the page's own name only when the user says so, No by default.
    mine->MyRichEdit1->SetText(u"我"_s);
    mine->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    prompter.files = {memo, QString()};
    prompter.answers = {Prompter::Answer::No};
    window->ReferSave1Click();
    EXPECT_EQ(prompter.lastText(),
              memo
                  + u"\r\nこのファイルは，ちょい置き-1 で開いた後に，ほかで変更されています。\r\n"_s
                    u"上書き保存しますか。"_s);
    EXPECT_EQ(prompter.asked.back().defaultAnswer, Prompter::Answer::No);
    EXPECT_EQ(readAll(memo), Cp932::encode(u"彼\r\n"_s));

    // Closed with Yes, then Yes to replacing, over a file that may not be written: the page stays.
    QFile::setPermissions(memo, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    prompter.files = {memo};
    prompter.answers = {Prompter::Answer::Yes, Prompter::Answer::Yes};
    window->miCloseClick();
    EXPECT_TRUE(prompter.lastText().startsWith(u"保存できませんでした。\r\n\r\n"_s)) << prompter.lastText().toStdString();
    EXPECT_TRUE(prompter.lastText().contains(memo + u" (書き込みが禁止されています)"_s)) << prompter.lastText().toStdString();
    flushDeletes();
    ASSERT_EQ(window->ScratchPages.size(), 1u);
    EXPECT_TRUE(mine->MyRichEdit1->IsTextModified());
    EXPECT_EQ(readAll(memo), Cp932::encode(u"彼\r\n"_s));
}

TEST_F(ScratchPages, EveryPageHasAFileOfItsOwn)
{
    // Blank pages in one second, in this and in a second program, beside the files of earlier
    // runs under that second's name (saved at closing, and by the dialog) and the empty claim of a
    // killed program.
    const QDateTime now = QDateTime::currentDateTime();
    const QString base = folders.scratch() + u'/' + now.toString(u"yyMMdd-HHmmss"_s);
    write(base, "old");
    write(base + u"_2.txt"_s, "old");
    write(base + u"_3"_s, "");
    TFormEditText other;
    other.SetHost(host);
    TFormRefPage* one = window->CreateBlankPage(now);
    TFormRefPage* elsewhere = other.CreateBlankPage(now);
    TFormRefPage* two = window->CreateBlankPage(now);
    TFormRefPage* untouched = window->CreateBlankPage(now);
    EXPECT_EQ(one->FileName, base + u"_3"_s);
    EXPECT_EQ(elsewhere->FileName, base + u"_4"_s);
    EXPECT_EQ(two->FileName, base + u"_5"_s);
    for (auto [page, text] : {std::pair{one, u"一"_s}, std::pair{two, u"二"_s}, std::pair{elsewhere, u"他"_s}}) {
        page->MyRichEdit1->SetText(text);
        page->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    }
    EXPECT_TRUE(other.SaveAllScratchPages());
    EXPECT_TRUE(window->SaveAllScratchPages());
    EXPECT_EQ(readAll(base + u"_3"_s), Cp932::encode(u"一\r\n"_s));
    EXPECT_EQ(readAll(base + u"_4"_s), Cp932::encode(u"他\r\n"_s));
    EXPECT_EQ(readAll(base + u"_5"_s), Cp932::encode(u"二\r\n"_s));
    EXPECT_EQ(readAll(base), "old");
    EXPECT_EQ(readAll(base + u"_2.txt"_s), "old");
    // A page closed without a save takes its empty file with it.
    window->CloseScratchPage(untouched);
    EXPECT_FALSE(QFile::exists(base + u"_6"_s));

    // A file open as a page, under any spelling of its name, shows that page again.
    const QString memo = folders.scratch() + u"/メモ.txt"_s;
    write(memo, Cp932::encode(u"メモ\r\n"_s));
    prompter.files = {memo};
    window->Refer1Click();
    TFormRefPage* opened = window->CurrentPage;
    opened->MyRichEdit1->SetText(u"書きかけ"_s);
    opened->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    window->pcEdit->setCurrentIndex(0);
    prompter.files = {folders.scratch() + u"/下/../メモ.txt"_s};
    window->Refer1Click();
    EXPECT_EQ(window->ScratchPages.size(), 3u);
    EXPECT_EQ(window->CurrentPage, opened);
    EXPECT_EQ(window->pcEdit->currentWidget(), opened);
    EXPECT_EQ(opened->MyRichEdit1->Text(), u"書きかけ"_s);
    // And under a second name of the file (a hard link here; a bind mount, or a name in another
    // case on a volume that ignores case, alike).
    const QString alias = folders.scratch() + u"/別名.txt"_s;
    ASSERT_EQ(::link(QFile::encodeName(memo).constData(), QFile::encodeName(alias).constData()), 0);
    window->pcEdit->setCurrentIndex(0);
    prompter.files = {alias};
    window->Refer1Click();
    EXPECT_EQ(window->ScratchPages.size(), 3u);
    EXPECT_EQ(window->CurrentPage, opened);

    // Nor is a page saved onto another page's file: the dialog asks for another name.
    two->MyRichEdit1->SetText(u"三"_s);
    two->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    prompter.files = {memo, folders.scratch() + u"/別.txt"_s};
    window->SaveScratchPage(two);
    EXPECT_EQ(prompter.asked.back().text,
              memo + u"\r\nこのファイルは，ちょい置き-4 で開いています。\r\n別のファイル名を指定して下さい。"_s);
    EXPECT_EQ(readAll(memo), Cp932::encode(u"メモ\r\n"_s));
    EXPECT_EQ(readAll(folders.scratch() + u"/別.txt"_s), Cp932::encode(u"三\r\n"_s));
    EXPECT_EQ(two->FileName, folders.scratch() + u"/別.txt"_s);
}

// What befalls a page's file, or the scratch folder, while the page is open, and how the save at
// the close of atlas takes it.
struct Hostile {
    const char* name;
    const char16_t* file; // in the scratch folder, holding "古"; none: a blank page
    std::function<void(const QString& file, const ScratchFolders&)> meanwhile;
    std::optional<Prompter::Answer> replace; // the answer when the save asks before replacing
    bool saved;
};

class HostileSaves : public ScratchPages, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileSaves, NothingAnotherWroteIsReplacedUnaskedAndNoTextIsLost)
{
    const Hostile& c = GetParam();
    TFormRefPage* page = nullptr;
    const QString link = folders.scratch() + u"/リンク.txt"_s;
    if (c.file) {
        const QString name = QString::fromUtf16(c.file);
        write(folders.scratch() + u'/' + name, Cp932::encode(u"古\r\n"_s));
        // "a.txt" is opened through a link to it.
        if (name == u"a.txt")
            QFile::link(name, link);
        page = window->CreateScratchPage(name == u"a.txt" ? link : folders.scratch() + u'/' + name);
    } else {
        page = window->CreateBlankPage(QDateTime::currentDateTime());
    }
    ASSERT_NE(page, nullptr);
    const QString file = QFileInfo(page->FileName).canonicalFilePath();
    page->MyRichEdit1->SetText(u"新"_s);
    page->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    c.meanwhile(file, folders);
    const QByteArray before = readAll(file);
    if (c.replace)
        prompter.answers = {*c.replace};
    EXPECT_EQ(window->SaveAllScratchPages(), c.saved);
    if (c.replace) {
        ASSERT_FALSE(prompter.asked.empty());
        EXPECT_TRUE(prompter.asked.front().text.endsWith(u"ほかで変更されています。\r\n上書き保存しますか。"_s));
        EXPECT_EQ(prompter.asked.front().defaultAnswer, Prompter::Answer::No);
    }
    EXPECT_EQ(readAll(file), c.saved ? Cp932::encode(u"新\r\n"_s) : before);
    EXPECT_EQ(page->MyRichEdit1->IsTextModified(), !c.saved);
    EXPECT_EQ(QFileInfo(link).isSymLink(), page->FileName == link);
    if (!c.saved && !c.replace) {
        EXPECT_TRUE(prompter.lastText().contains(file)) << prompter.lastText().toStdString();
    }
    // Once written, the page's own file is no other's: the next save asks nothing.
    if (c.saved) {
        page->MyRichEdit1->SetText(u"次"_s);
        page->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
        EXPECT_TRUE(window->SaveAllScratchPages());
        EXPECT_EQ(prompter.asked.size(), c.replace ? 1u : 0u);
    }
}

const auto rewrite = [](const QByteArray& bytes) {
    return [bytes](const QString& file, const ScratchFolders&) { ASSERT_TRUE(FileOps::writeFileAtomic(file, bytes)); };
};
const auto removeFolder = [](const QString&, const ScratchFolders& folders) {
    ASSERT_TRUE(QDir(folders.scratch()).removeRecursively());
};

INSTANTIATE_TEST_SUITE_P(
    Pages, HostileSaves,
    ::testing::Values(
        Hostile{"changed_kept", u"b.txt", rewrite("other program\r\n"), Prompter::Answer::No, false},
        Hostile{"changed_replaced", u"b.txt", rewrite("other program\r\n"), Prompter::Answer::Yes, true},
        // Same size and time stamp (a coarse clock): still another file.
        Hostile{"replaced_alike", u"b.txt",
                [](const QString& file, const ScratchFolders&) {
                    struct stat old;
                    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &old), 0);
                    ASSERT_TRUE(FileOps::writeFileAtomic(file, Cp932::encode(u"他\r\n"_s)));
                    const timespec times[2] = {old.st_atim, old.st_mtim};
                    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
                },
                Prompter::Answer::No, false},
        Hostile{"written_over_a_blank_pages_file", nullptr, rewrite("other program\r\n"), Prompter::Answer::No, false},
        Hostile{"written_through_a_link", u"a.txt", [](const QString&, const ScratchFolders&) {}, {}, true},
        Hostile{"deleted", u"b.txt", [](const QString& file, const ScratchFolders&) { QFile::remove(file); }, {}, true},
        Hostile{"read_only",
                u"b.txt",
                [](const QString& file, const ScratchFolders&) {
                    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
                },
                {},
                false},
        Hostile{"folder_removed", u"b.txt", removeFolder, {}, true},
        Hostile{"folder_removed_under_a_blank_page", nullptr, removeFolder, {}, true},
        // 255 bytes, the longest name the file system takes.
        Hostile{"longest_name",
                u"ああああああああああああああああああああああああああああああああああああああああああああああああああ"
                u"あああああああああああああああああああああああああああああああああab.txt",
                [](const QString&, const ScratchFolders&) {},
                {},
                true}),
    [](const testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

TEST_F(ScratchPages, AFailedWriteAtCloseNamesThePageAndTheReason)
{
    window->Blank1Click();
    TFormRefPage* page = window->CurrentPage;
    page->MyRichEdit1->SetText(u"メモ"_s);
    page->MyRichEdit1->RecordTextUndoStep(TMyRichEdit::Typing);
    FileOps::setFaultHook([](FileOps::Op, const QString&) { return true; });
    EXPECT_FALSE(window->SaveAllScratchPages());
    FileOps::setFaultHook({});
    const QString message = prompter.lastText();
    EXPECT_TRUE(message.startsWith(u"保存できませんでした。\r\n\r\nちょい置き-1\r\n"_s)) << message.toStdString();
    EXPECT_TRUE(message.contains(page->FileName)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"ディスクに空きがありません"_s)) << message.toStdString();
    EXPECT_TRUE(page->MyRichEdit1->IsTextModified());
}

// Whatever breaks a file's lines, a page reads its lines and gives each, the last included, a
// CR LF: a file already so written comes back byte for byte, any other as those lines, for good.
TEST_F(ScratchPages, APageSavedUnchangedGivesItsFileBack)
{
    std::mt19937 random(2111);
    const QString words[] = {u"line"_s, u"問題"_s, u"{必答}"_s, u" "_s, u"ｶﾅ"_s, u"// メモ"_s, QString()};
    const QString breaks[] = {u"\r\n"_s, u"\r\n"_s, u"\r"_s, u"\n"_s};
    const QString path = folders.scratch() + u"/memo.txt"_s;
    for (int round = 0; round < 60; ++round) {
        QString file;
        bool crlf = true;
        const int lines = int(random() % 6);
        for (int i = 0; i < lines; ++i) {
            for (int w = int(random() % 3); w > 0; --w)
                file += words[random() % std::size(words)];
            const QString& lineBreak = breaks[random() % std::size(breaks)];
            crlf &= lineBreak == u"\r\n"_s;
            if (i + 1 < lines || random() % 4 != 0)
                file += lineBreak;
            else
                crlf = false; // the last line without its break
        }
        for (int empty = random() % 3 == 0 ? int(random() % 3) : 0; empty > 0; --empty)
            file += u"\r\n"_s;
        QString expected = file;
        expected.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
        if (!expected.isEmpty() && !expected.endsWith(u'\n'))
            expected += u'\n';
        // A single empty line shows as an empty page, which has no line to write.
        if (expected == u"\n"_s)
            continue;
        expected.replace(u"\n"_s, u"\r\n"_s);
        write(path, Cp932::encode(file));
        EXPECT_TRUE(!crlf || expected == file) << round;
        for (int save = 0; save < 2; ++save) {
            TFormRefPage* page = window->CreateScratchPage(path);
            ASSERT_NE(page, nullptr);
            TMyRichEdit* edit = page->MyRichEdit1;
            EXPECT_FALSE(edit->IsTextModified());
            // A character typed and saved, then taken out again and saved: the text as it was read.
            edit->RecordTextUndoStep(TMyRichEdit::Typing);
            edit->setSelText(u"x"_s);
            prompter.files = {path, path};
            prompter.answers.push_back(Prompter::Answer::Yes); // the file is there: replace it
            prompter.answers.push_back(Prompter::Answer::Yes);
            window->SaveScratchPage(page);
            edit->RecordTextUndoStep(TMyRichEdit::Deleting);
            edit->setSelStart(0);
            edit->setSelLength(1);
            edit->setSelText(QString());
            ASSERT_TRUE(edit->IsTextModified());
            window->SaveScratchPage(page);
            EXPECT_EQ(readAll(path), Cp932::encode(expected)) << round << " " << save << " " << file.toStdString();
            window->CloseScratchPage(page);
            flushDeletes();
        }
    }
}

TEST(ScratchPageSave, AnUnencodableCharacterIsNamedWithItsPlace)
{
    EXPECT_EQ(TFormEditText::UnencodablePlaces(u"ab\r\nc\U0001F600dé\U0001F600\r\n漢é"_s),
              u"次の文字はシフトJIS（コードページ932）で表せません。\r\n"_s
              u"「\U0001F600」（U+1F600） 2 行目の 2 文字目\r\n"_s
              u"「é」（U+00E9） 2 行目の 4 文字目"_s);
}

TEST_F(ScratchPages, KeysActOnThePageTheyAreTypedIn)
{
    window->Blank1Click();
    TFormRefPage* page = window->CurrentPage;
    window->floatPage(page, QRect(40, 40, 300, 200));
    QApplication::setActiveWindow(page);
    page->MyRichEdit1->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), page->MyRichEdit1);
    QTest::keyClicks(page->MyRichEdit1, u"abc"_s);
    // The window's keys are not the floating page's: no tag, and Escape closes nothing.
    QTest::keyClick(page->MyRichEdit1, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(page->MyRichEdit1, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(page->MyRichEdit1->Text(), u"abc"_s);
    EXPECT_EQ(window->MyRichEdit1->Text(), QString());
    QTest::keyClick(page->MyRichEdit1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(page->MyRichEdit1, Qt::Key_C, Qt::ControlModifier);

    // A key that matches no item of the page's menu closes it; one that matches an item keeps to it.
    page->mmEdit->popup(page->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page->mmEdit));
    QTest::keyClick(page->mmEdit, Qt::Key_Q);
    EXPECT_FALSE(page->mmEdit->isVisible());
    // Minimising the floating page takes the program down with it, and it comes back with it.
    page->showMinimized();
    EXPECT_TRUE(window->isMinimized());
    page->showNormal();
    EXPECT_FALSE(window->isMinimized());

    // Back in the description, its keys act on the description.
    QApplication::setActiveWindow(window.get());
    QTest::mouseClick(window->MyRichEdit1->viewport(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), window->MyRichEdit1);
    EXPECT_EQ(window->CurrentPage, nullptr);
    EXPECT_FALSE(window->FloatingPageCurrent);
    QTest::keyClick(window->MyRichEdit1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->MyRichEdit1->Text(), u"abc"_s);
    QTest::keyClick(window->MyRichEdit1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->MyRichEdit1->Text(), QString());
    EXPECT_EQ(page->MyRichEdit1->Text(), u"abc"_s);
}

struct DragOut {
    const char* name;
    QRect page;
    QPoint press, release;
    QRect screen;
    QMargins frame;
    QRect expected;
};

class DraggedOut : public ::testing::TestWithParam<DragOut> {};

TEST_P(DraggedOut, APageFloatsWhereItWasLetGoWhollyOnTheScreen)
{
    const DragOut& c = GetParam();
    const QRect r = TFormEditText::DraggedOutBounds(c.page, c.press, c.release, c.screen, c.frame);
    EXPECT_EQ(r, c.expected);
    EXPECT_TRUE(c.screen.contains(r.marginsAdded(c.frame)));
}

INSTANTIATE_TEST_SUITE_P(Drops, DraggedOut,
                         ::testing::Values(DragOut{"grab_offset_kept",
                                                   {100, 100, 400, 300},
                                                   {150, 90},
                                                   {350, 190},
                                                   {0, 0, 1280, 1024},
                                                   {},
                                                   {300, 200, 400, 300}},
                                           DragOut{"bottom_right_corner",
                                                   {207, 300, 866, 459},
                                                   {250, 290},
                                                   {1270, 1015},
                                                   {0, 0, 1280, 1024},
                                                   {},
                                                   {414, 565, 866, 459}},
                                           DragOut{"frame_on_screen",
                                                   {207, 300, 866, 459},
                                                   {250, 290},
                                                   {5, 5},
                                                   {0, 0, 1280, 1024},
                                                   {4, 30, 4, 4},
                                                   {4, 30, 866, 459}},
                                           DragOut{"larger_than_the_screen",
                                                   {0, 0, 2000, 1500},
                                                   {10, 10},
                                                   {20, 20},
                                                   {0, 0, 1280, 1024},
                                                   {2, 20, 2, 2},
                                                   {2, 20, 1276, 1002}},
                                           DragOut{"second_screen",
                                                   {100, 100, 400, 300},
                                                   {150, 90},
                                                   {2250, 700},
                                                   {1280, 0, 1024, 768},
                                                   {},
                                                   {1904, 468, 400, 300}}),
                         [](const testing::TestParamInfo<DragOut>& info) { return std::string(info.param.name); });

TEST(RichEditMargin, TheTextKeepsItsIndentsAndCannotBeEdited)
{
    TRichEditMargin edit;
    edit.resize(300, 100);
    edit.setIndentLeft(8);
    edit.setPlainText(u"■宝物の画像には，次の３種類があります。"_s);
    edit.show();
    QApplication::processEvents();
    const QRect caret = edit.cursorRect(QTextCursor(edit.document()));
    EXPECT_EQ(caret.left(), 8);
    EXPECT_EQ(caret.top(), 6);
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_EQ(edit.lineWrapMode(), QTextEdit::NoWrap);
}

} // namespace
