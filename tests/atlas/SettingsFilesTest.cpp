// The files the map editor keeps beside itself: its folders at start-up, and the settings and the
// history written at the close.
#include "AtlasFixture.h"
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
