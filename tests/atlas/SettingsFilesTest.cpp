// The files the map editor keeps beside itself: its folders at start-up, and the settings and the
// history written at the close.
#include "AtlasFixture.h"
#include "SessionEnd.h"
#include "UnitToolSet.h"

#include <QScopeGuard>

#include <algorithm>

using namespace Qt::StringLiterals;

using SettingsFiles = AtlasFixture;

// Start-up makes its folders in the program folder; when that folder takes none, one message names
// it, and the close piles up nothing more about it.
TEST_F(SettingsFiles, AProgramFolderThatTakesNoFoldersIsToldOnce)
{
    TempFolder locked;
    ProgramFolder::setOverride(locked.path());
    FileOps::setFaultHook([](FileOps::Op op, const QString&) { return op == FileOps::Op::MakeFolder; });
    const auto restore = qScopeGuard([this] {
        FileOps::setFaultHook({});
        ProgramFolder::setOverride(program.path());
    });
    prompter->asked.clear();
    startAtlas({});
    const auto told = [this](const QString& start) {
        return std::count_if(prompter->asked.cbegin(), prompter->asked.cend(),
                             [&start](const ScriptedPrompter::Asked& a) { return a.text.startsWith(start); });
    };
    EXPECT_EQ(told(u"プログラムのフォルダに書き込めないため，フォルダを作成できません。\r\n"_s
                   + QDir::cleanPath(locked.path())),
              1);
    EXPECT_EQ(told(u"フォルダを作成できません。"_s), 0);
    EXPECT_EQ(prompter->asked.size(), 1u) << "one box for one cause";

    const QString map = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(map));
    forms->formToolSet->setEntries({u"Paint=p"_s});
    prompter->asked.clear();
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(prompter->asked.empty()) << prompter->lastText().toStdString();
    FileOps::setFaultHook({});

    // Another cause is named folder by folder, still in one message.
    TempFolder blocked;
    ProgramFolder::setOverride(blocked.path());
    blocked.write(u"設定"_s, "a file");
    prompter->asked.clear();
    startAtlas({});
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().startsWith(u"フォルダを作成できません。"_s)) << prompter->lastText().toStdString();
    EXPECT_TRUE(prompter->lastText().contains(u"設定とファイル履歴は保存されません。"_s));
}

// The settings and the histories are written as they change, so that a program ended by a signal
// or a logout keeps them; a settings folder removed while the program runs is made again, without a
// word, at the next write and at the close.
TEST_F(SettingsFiles, WrittenAsTheyChangeAndIntoAFolderMadeAgain)
{
    startAtlas({});
    const QString map = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(map));
    EXPECT_TRUE(
        Cp932::decode(readBytes(f1().HistoryFilePath)).startsWith(u"画像と音声/マップファイル/golden.map\r\n"_s))
        << "the history is written at the open";

    prompter->modals.push_back([this](QDialog& dialog) {
        forms->formToolSet->setEntries({u"Paint=p"_s});
        return int(QDialog::Accepted);
    });
    f1().tbpToolSetteiClick();
    EXPECT_TRUE(Cp932::decode(readBytes(f1().SettingsFilePath)).contains(u"[外部ツール]\r\nPaint=p\r\n"_s))
        << "the tools are written when the dialog is closed with OK";

    ASSERT_TRUE(FileOps::deleteFolder(program.path() + u"設定"_s));
    f1().ConvertFlags = 5;
    prompter->asked.clear();
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(prompter->asked.empty()) << prompter->lastText().toStdString();
    EXPECT_TRUE(Cp932::decode(readBytes(f1().SettingsFilePath)).contains(u"変換条件=5"_s));
    EXPECT_TRUE(Cp932::decode(readBytes(f1().HistoryFilePath)).contains(u"golden.map"_s));
}

// A logout: the session manager's request to keep the work asks the close's questions only when it
// lets the program interact, and the user's キャンセル cancels the logout; its order to end then
// closes the window without another question, the history and settings written.
TEST_F(SettingsFiles, ALogoutAsksWhenItMayAndCancelCancelsIt)
{
    struct FakeManager : SessionEnd::Manager {
        bool interaction = true;
        int cancelled = 0;
        bool allowsInteraction() override { return interaction; }
        void cancel() override { ++cancelled; }
    };
    const auto restore = qScopeGuard([] { SessionEnd::setClosing(false); });
    startAtlas({});
    ASSERT_TRUE(f1().LoadMapFile(installGolden()));
    f1().Doc.rows[0][MapDocument::Title1] = u"変更"_s;
    const SessionEnd::Commit questions = [this] { return f1().FormClose(); };

    FakeManager quiet;
    quiet.interaction = false;
    prompter->asked.clear();
    SessionEnd::commit(quiet, questions);
    EXPECT_TRUE(prompter->asked.empty()) << "nothing may be asked";
    EXPECT_EQ(quiet.cancelled, 0);

    FakeManager manager;
    prompter->answers = {Prompter::Answer::Cancel};
    SessionEnd::commit(manager, questions);
    EXPECT_EQ(manager.cancelled, 1);
    EXPECT_TRUE(prompter->lastText().contains(u"変更されています。保存しますか。"_s))
        << prompter->lastText().toStdString();

    prompter->answers = {Prompter::Answer::No};
    SessionEnd::commit(manager, questions);
    EXPECT_EQ(manager.cancelled, 1) << "the user let the work go";

    SessionEnd::setClosing(true);
    prompter->asked.clear();
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(prompter->asked.empty()) << prompter->lastText().toStdString();
    EXPECT_TRUE(Cp932::decode(readBytes(f1().HistoryFilePath)).contains(u"golden.map"_s));
}

// The settings and the history as links: the close writes the files they name and keeps the links.
TEST_F(SettingsFiles, LinksAreWrittenThrough)
{
    const QString real = program.path() + u"real/"_s;
    program.write(u"real/settings.ini"_s, "[other]\r\nkey=value\r\n");
    program.write(u"real/history.txt"_s, "old.map\r\n");
    const QString settings = f1().SettingsFilePath, history = f1().HistoryFilePath;
    ASSERT_TRUE(QFile::link(real + u"settings.ini"_s, settings));
    ASSERT_TRUE(QFile::link(real + u"history.txt"_s, history));
    startAtlas({});
    ASSERT_TRUE(f1().LoadMapFile(installGolden()));
    forms->formToolSet->setEntries({u"Paint=p"_s});
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(QFileInfo(settings).isSymLink());
    EXPECT_TRUE(QFileInfo(history).isSymLink());
    EXPECT_TRUE(Cp932::decode(readBytes(real + u"settings.ini"_s)).contains(u"[外部ツール]\r\nPaint=p\r\n"_s));
    EXPECT_TRUE(Cp932::decode(readBytes(real + u"settings.ini"_s)).startsWith(u"[other]\r\nkey=value\r\n"_s));
    EXPECT_EQ(Cp932::decode(readBytes(real + u"history.txt"_s)),
              u"画像と音声/マップファイル/golden.map\r\nold.map\r\n"_s);
}

// A map whose name the history could not give back opens and saves as any other; it stays out of the
// history, and that is told once.
TEST_F(SettingsFiles, AMapTheHistoryCannotNameOpensAndSavesAndIsToldOnce)
{
    const QString path = installGolden(u"東京〜大阪.map"_s);
    prompter->asked.clear();
    ASSERT_TRUE(f1().LoadMapFile(path));
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().contains(u"\"〜\""_s)) << prompter->lastText().toStdString();
    f1().Doc.rows[0][MapDocument::Title1] = u"x"_s;
    f1().SaveMapFile(path, QString());
    EXPECT_TRUE(f1().SaveSucceeded);
    f1().SaveMapFile(path, QString());
    EXPECT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(f1().History.entries().isEmpty());
    EXPECT_TRUE(f1().FormClose());
    EXPECT_FALSE(QFileInfo::exists(f1().HistoryFilePath));
}
