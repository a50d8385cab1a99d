#include "AtlasFixture.h"
#include "HostileFolder.h"
#include "FileLock.h"
#include "MapFile.h"
#include "MapGridModel.h"
#include "MyRichEdit.h"
#include "PictureToolRun.h"
#include "Unit2.h"
#include "UnitEditText.h"
#include "UnitRefPage.h"

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;
using Prompter::Answer;

namespace {

QStringList captions(const QMenu* menu)
{
    QStringList out;
    for (const QAction* a : menu->actions())
        out << (a->isSeparator() ? u"-"_s : a->text());
    return out;
}

} // namespace

using StartUp = AtlasFixture;

TEST_F(StartUp, CreatesFoldersGridAndMenus)
{
    EXPECT_TRUE(QFileInfo(program.path() + u"設定/マップエディタ"_s).isDir());
    EXPECT_TRUE(QFileInfo(program.path() + u"画像と音声/マップちょい置き"_s).isDir());
    EXPECT_TRUE(QFileInfo(program.path() + u"画像と音声/マップファイル"_s).isDir());
    EXPECT_TRUE(QFileInfo(program.path() + u"画像と音声/マップ画像/新規マップファイル"_s).isDir());
    EXPECT_EQ(f1().SettingsFilePath, program.path() + u"設定/マップエディタ/設定ファイル.ini"_s);
    EXPECT_EQ(f1().HistoryFilePath, program.path() + u"設定/マップエディタ/ファイル履歴.txt"_s);

    QAbstractItemModel* m = f1().sg1->model();
    ASSERT_EQ(m->rowCount(), 62);
    ASSERT_EQ(m->columnCount(), 8);
    EXPECT_EQ(m->headerData(7, Qt::Horizontal).toString(), u"説明文"_s);
    EXPECT_EQ(m->index(0, 0).data().toString(), u" 00"_s);
    EXPECT_EQ(m->index(61, 0).data().toString(), u" 61"_s);
    EXPECT_EQ(f1().sg1->columnWidth(7), 630);

    EXPECT_EQ(captions(f1().File1),
              (QStringList{u"新規作成(&N)"_s, u"-"_s, u"開く(&O)"_s, u"　開き直す(&R)"_s, u"-"_s,
                           u"上書き保存(&S)"_s, u"名前を付けて保存(&A)"_s, u"-"_s, u"直接編集(&E)"_s,
                           u"画像フォルダを開く(&P)"_s, u"作業用画像ファイルを消去する(&B)"_s, u"-"_s, u"終了(&X)"_s}));
    EXPECT_EQ(captions(f1().Edit1),
              (QStringList{u"地図画像を取り込む(&C)"_s, u"地図画像を編集する(&D)"_s, u"[元に戻す］有効"_s, u"-"_s,
                           u"旅行地 00 を編集"_s, u"［元に戻す］有効"_s, u"-"_s, u"宝物画像を取り込む(&T)"_s}));
    EXPECT_TRUE(f1().mmUndoMap->isChecked());
    EXPECT_EQ(f1().mmExit->shortcut(), QKeySequence(Qt::Key_F4));
    EXPECT_EQ(f1().hintOf(f1().bbUndo), u"元に戻す … 内容の変更を取り消します。戻せる回数は最大 20 回です。"_s);
    EXPECT_TRUE(f1().hintOf(f1().mmLoadMapPic).contains(u"横960, 縦435"_s));
    EXPECT_EQ(f1().windowTitle(), u"マップエディタ ～ 新規マップファイル"_s);
    EXPECT_GT(f1().LabelHalfWidth, 20);
    EXPECT_GT(f1().LabelHalfHeight, 3);
}

// The offscreen screen (800 x 800) is smaller than the designed 1024 x 734: the screen wins, and
// the frame the platform gives the window once shown is part of what fits.
TEST_F(StartUp, WindowsFrameFillsTheAvailableAreaAtAFixedSize)
{
    const QRect available = f1().screen()->availableGeometry();
    f1().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f1()));
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && f1().frameGeometry() != available)
        QTest::qWait(20);
    EXPECT_EQ(f1().frameGeometry(), available);
    EXPECT_LT(f1().height(), available.height()) << "the title bar is part of the screen's height";
    EXPECT_EQ(f1().minimumSize(), f1().maximumSize());
    EXPECT_TRUE(available.contains(f1().stb1->mapToGlobal(f1().stb1->rect().bottomRight())))
        << "the status line is on the screen";
}

TEST_F(StartUp, OpensTheMapNamedOnTheCommandLine)
{
    const QString path = installGolden();
    startAtlas({path});
    EXPECT_EQ(f1().MapFilePath, path);
    EXPECT_EQ(f1().windowTitle(), u"マップエディタ ～ golden.map　（地図画像 \"map.jpg\"）"_s);

    startAtlas({program.path() + u"missing.map"_s});
    EXPECT_TRUE(f1().MapFilePath.isEmpty());
    EXPECT_TRUE(prompter->asked.empty()) << "a missing argument is ignored silently";
}

// The folders pictures were kept aside in, in the picture root.
QStringList keptAsideFolders()
{
    return QDir(MapFolders::mapPictureRoot()).entryList({u"保存されなかった画像_*"_s}, QDir::Dirs);
}

// A program that closes clears its unsaved map's folder, but for what a running program holds; so
// what a start finds there is what a run that never ended left, and it is kept aside and named.
TEST_F(StartUp, WhatAnUnsavedFolderHoldsAtStartIsKeptAsideAndNamed)
{
    const QString folder = f1().PictureFolder;
    writePicture(folder + u"/map.bmp"_s, {960, 435}, Qt::red);
    writePicture(folder + u"/00.bmp"_s, {400, 225}, Qt::green);
    FileOps::FileHold open;
    open.hold(folder + u"/00.bmp"_s);
    forms.reset();
    EXPECT_FALSE(QFileInfo::exists(folder + u"/map.bmp"_s)) << "closing clears the folder";
    EXPECT_TRUE(QFileInfo::exists(folder + u"/00.bmp"_s)) << "but never a picture open in a running program";

    // Left as a killed program leaves it, the picture still open: the folder is left alone whole.
    writePicture(folder + u"/03.bmp"_s, {400, 225}, Qt::blue);
    const QByteArray bytes = readBytes(folder + u"/03.bmp"_s);
    prompter->asked.clear();
    startAtlas({});
    EXPECT_EQ(f1().PictureFolder, folder + u"_2"_s) << "the next name is taken";
    EXPECT_TRUE(QFileInfo::exists(folder + u"/03.bmp"_s));
    EXPECT_TRUE(keptAsideFolders().isEmpty());
    EXPECT_TRUE(prompter->asked.empty());

    // Once nobody holds anything in it, it is kept aside, named, and the first name is free again.
    open.release();
    forms.reset();
    startAtlas({});
    EXPECT_EQ(f1().PictureFolder, folder);
    EXPECT_TRUE(QDir(folder).isEmpty());
    ASSERT_EQ(keptAsideFolders().size(), 1);
    const QString aside = MapFolders::mapPictureRoot() + u'/' + keptAsideFolders().first();
    EXPECT_EQ(readBytes(aside + u"/新規マップファイル/03.bmp"_s), bytes);
    EXPECT_TRUE(QFileInfo::exists(aside + u"/新規マップファイル/00.bmp"_s));
    ASSERT_EQ(prompter->asked.size(), 1u);
    const QString told = prompter->lastText();
    EXPECT_TRUE(told.startsWith(u"保存されないまま残っていた画像を，次のフォルダに移しました。"_s))
        << told.toStdString();
    EXPECT_TRUE(told.contains(aside)) << told.toStdString();
    EXPECT_TRUE(told.contains(u"新規マップファイル/03.bmp"_s) && told.contains(u"新規マップファイル/00.bmp"_s));
    // The folder is no map's: no map can be saved over it.
    f1().SaveMapFile(mapPath(keptAsideFolders().first() + u".map"_s), QString());
    EXPECT_FALSE(f1().SaveSucceeded);

    // Nothing left: nothing more is said.
    prompter->asked.clear();
    startAtlas({});
    EXPECT_TRUE(prompter->asked.empty());
    EXPECT_EQ(keptAsideFolders().size(), 1);
}

TEST_F(StartUp, ASecondProgramTakesAnUnsavedFolderOfItsOwn)
{
    // The first program holds "新規マップファイル" (here: this test, as a running editor would).
    startAtlas({});
    const QString first = f1().PictureFolder;
    EXPECT_EQ(QFileInfo(first).fileName(), u"新規マップファイル"_s);
    // This program's own lock goes with it; `held` stands for it as a program still running.
    forms.reset();
    auto held = std::make_unique<FileLock>(MapFolders::mapPictureRoot() + u"/.新規マップファイル.lock"_s);
    ASSERT_TRUE(held->held());
    const QString work = first + u"/map.bmp"_s;
    writePicture(work, {960, 435}, Qt::red);

    startAtlas({});
    EXPECT_EQ(f1().PictureFolder, MapFolders::mapPictureRoot() + u"/新規マップファイル_2"_s);
    EXPECT_TRUE(QFileInfo::exists(work)) << "the other program's unsaved picture is left alone";
    f1().mmNewClick();
    EXPECT_TRUE(QFileInfo::exists(work));
    // Its name is no map name either.
    f1().SaveMapFile(mapPath(u"新規マップファイル_2.map"_s), QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_EQ(prompter->lastText(),
              u"\"新規マップファイル_2\" は\r\nマップエディタで予約されているため，指定できません"_s);
    forms.reset();
    EXPECT_FALSE(QFileInfo::exists(MapFolders::mapPictureRoot() + u"/新規マップファイル_2"_s)) << "cleared at close";
    EXPECT_TRUE(QFileInfo::exists(work));

    // The other program died: the next start takes the first folder again, its picture kept aside.
    held.reset();
    startAtlas({});
    EXPECT_EQ(f1().PictureFolder, first);
    EXPECT_FALSE(QFileInfo::exists(work));
    ASSERT_EQ(keptAsideFolders().size(), 1);
    EXPECT_TRUE(QFileInfo::exists(MapFolders::mapPictureRoot() + u'/' + keptAsideFolders().first()
                                  + u"/新規マップファイル/map.bmp"_s));
}

// A tool run leaves a record while it runs; one nobody holds is a run whose program died. Its
// working copy, changed, is kept aside and named; unchanged, it goes; still open in a running
// program, it stays with its record for a later start. Also before a saved map is opened.
TEST_F(StartUp, TheWorkingCopiesOfRunsThatNeverEndedAreKeptAsideWhenChanged)
{
    const QString root = MapFolders::mapPictureRoot();
    const QString map = installGolden();
    const QString folder = pictureFolder(u"golden.map"_s);
    const QByteArray made = readBytes(folder + u"/00.bmp"_s);
    const FileOps::Seen asMade = FileOps::seenOf(made);
    // Three runs, each left as its program's death leaves it.
    auto deadRun = [&](const QString& name, const QByteArray& now) {
        const QString copy = folder + u'/' + name;
        program.write(copy.mid(program.path().size()), made);
        PictureToolRun::Record record;
        EXPECT_TRUE(record.begin(root, copy, asMade));
        EXPECT_TRUE(FileOps::isHeld(record.path())) << "held while the run lasts";
        program.write(copy.mid(program.path().size()), now);
        const QString path = record.path();
        record.leave();
        return path;
    };
    QByteArray edited = made;
    edited[edited.size() - 1] = char(edited.back() ^ 0xff);
    const QString changed = deadRun(u"00_001.bmp"_s, edited);
    const QString unchanged = deadRun(u"00_002.bmp"_s, made);
    const QString stillOpen = deadRun(u"00_003.bmp"_s, edited);
    FileOps::FileHold open;
    open.hold(folder + u"/00_003.bmp"_s);

    prompter->asked.clear();
    ASSERT_TRUE(f1().LoadMapFile(map));
    ASSERT_EQ(keptAsideFolders().size(), 1);
    const QString aside = root + u'/' + keptAsideFolders().first();
    EXPECT_EQ(readBytes(aside + u"/golden/00_001.bmp"_s), edited);
    EXPECT_FALSE(QFileInfo::exists(folder + u"/00_001.bmp"_s));
    EXPECT_FALSE(QFileInfo::exists(folder + u"/00_002.bmp"_s)) << "an unchanged copy goes";
    EXPECT_FALSE(QFileInfo::exists(aside + u"/golden/00_002.bmp"_s));
    EXPECT_EQ(readBytes(folder + u"/00_003.bmp"_s), edited) << "a copy still open stays";
    EXPECT_FALSE(QFileInfo::exists(changed));
    EXPECT_FALSE(QFileInfo::exists(unchanged));
    EXPECT_TRUE(QFileInfo::exists(stillOpen));
    EXPECT_TRUE(prompter->lastText().contains(u"golden/00_001.bmp"_s)) << prompter->lastText().toStdString();
    EXPECT_FALSE(prompter->lastText().contains(u"00_002"_s));

    // Closed in its program, it is dealt with at the next start.
    open.release();
    prompter->asked.clear();
    startAtlas({});
    EXPECT_FALSE(QFileInfo::exists(stillOpen));
    EXPECT_FALSE(QFileInfo::exists(folder + u"/00_003.bmp"_s));
    EXPECT_TRUE(prompter->lastText().contains(u"golden/00_003.bmp"_s)) << prompter->lastText().toStdString();
}

using LoadMap = AtlasFixture;

TEST_F(LoadMap, FillsTheDocumentAndHistory)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    const MapDocument& d = f1().Doc;
    EXPECT_EQ(d.rows[0][MapDocument::Title1], u"東京"_s);
    EXPECT_EQ(d.rows[0][MapDocument::Picture], u"00.bmp"_s);
    EXPECT_EQ(d.rows[5][MapDocument::Picture], u"05.jpg"_s);
    EXPECT_EQ(d.colours[1], 0x00123456);
    EXPECT_EQ(d.treasures[0], u"t01.bmp"_s);
    EXPECT_EQ(d.treasures[2], u"r01.jpg"_s);
    EXPECT_EQ(f1().MapPicturePath, pictureFolder(u"golden.map"_s) + u"/map.jpg"_s);
    EXPECT_EQ(f1().MapPicture.size(), QSize(960, 435));
    EXPECT_EQ(f1().edSima->text(), u"120,45"_s);
    EXPECT_EQ(f1().History.entries().value(0), u"画像と音声/マップファイル/golden.map"_s);
    EXPECT_FALSE(f1().IsModified(1));
}

TEST_F(LoadMap, PicturesWhoseFilesAreMissingAreDropped)
{
    const QString path = installGolden();
    QFile::remove(pictureFolder(u"golden.map"_s) + u"/05.jpg"_s);
    QFile::remove(pictureFolder(u"golden.map"_s) + u"/r01.jpg"_s);
    ASSERT_TRUE(f1().LoadMapFile(path));
    EXPECT_EQ(f1().Doc.rows[5][MapDocument::Picture], QString());
    EXPECT_EQ(f1().Doc.treasures[2], QString());
    EXPECT_EQ(f1().Doc.treasures[3], u"r02.bmp"_s);
}

TEST_F(LoadMap, ABrokenFileLeavesTheOpenMapAsItWas)
{
    const QString good = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(good));
    const MapDocument before = f1().Doc;
    const QString folderBefore = f1().PictureFolder;

    struct Case {
        const char* what;
        QByteArray bytes;
        QString message;
    };
    QByteArray binary = readBytes(good);
    binary[20] = '\x01';
    const Case cases[] = {
        {"too few lines", QByteArray("1,2,3,4,\r\n"), u"マップファイルを読み込めません。"_s},
        {"binary", binary, u"テキストファイルではありません"_s},
        {"not code page 932", QByteArray(readBytes(good)).replace("\x93\x8c", "\xff\xfe"), u"Shift-JIS"_s},
    };
    for (const Case& c : cases) {
        const QString path = mapPath(u"bad.map"_s);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        QDir().mkpath(pictureFolder(u"bad.map"_s));
        prompter->asked.clear();
        EXPECT_FALSE(f1().LoadMapFile(path)) << c.what;
        ASSERT_EQ(prompter->asked.size(), 1u) << c.what;
        EXPECT_TRUE(prompter->lastText().contains(c.message)) << c.what << ": " << prompter->lastText().toStdString();
        EXPECT_EQ(f1().Doc, before) << c.what;
        EXPECT_EQ(f1().PictureFolder, folderBefore) << c.what;
        EXPECT_EQ(f1().MapFilePath, good) << c.what;
    }
}

TEST_F(LoadMap, MissingFileOrPictureFolderIsReported)
{
    EXPECT_FALSE(f1().LoadMapFile(mapPath(u"none.map"_s)));
    EXPECT_EQ(prompter->lastText(), u"マップファイルが見つかりません。"_s);
    const QString path = installGolden();
    QDir(pictureFolder(u"golden.map"_s)).removeRecursively();
    EXPECT_FALSE(f1().LoadMapFile(path));
    EXPECT_EQ(prompter->lastText(), u"マップ画像フォルダが見つかりません。"_s);
    EXPECT_EQ(prompter->sounds.back(), Prompter::Sound::Asterisk);
}

using SaveMap = AtlasFixture;

TEST_F(SaveMap, SavedMapOpensAndSavesAgainByteForByte)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    const QString copy = mapPath(u"copy.map"_s);
    f1().SaveMapFile(copy, QString());
    ASSERT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    const QByteArray first = readBytes(copy);
    EXPECT_EQ(first, readBytes(goldenMapPath())) << "the golden map already holds fixed names";

    ASSERT_TRUE(f1().LoadMapFile(copy));
    prompter->answers = {Answer::Yes};
    f1().SaveMapFile(copy, u"マップファイルを上書き保存します。"_s);
    ASSERT_TRUE(f1().SaveSucceeded);
    EXPECT_EQ(prompter->lastText(), u"マップファイルを上書き保存します。\r\n\r\nいいですか。"_s);
    EXPECT_EQ(readBytes(copy), first);
}

TEST_F(SaveMap, SaveAsMovesThePictureFolder)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    const QString other = mapPath(u"other.map"_s);
    f1().SaveMapFile(other, QString());
    ASSERT_TRUE(f1().SaveSucceeded);
    EXPECT_EQ(f1().PictureFolder, pictureFolder(u"other.map"_s));
    EXPECT_TRUE(QFileInfo::exists(pictureFolder(u"other.map"_s) + u"/05.jpg"_s));
    EXPECT_FALSE(QFileInfo::exists(pictureFolder(u"golden.map"_s)));
    EXPECT_EQ(f1().windowTitle(), u"マップエディタ ～ other.map　（地図画像 \"map.jpg\"）"_s);
    EXPECT_EQ(f1().History.entries().value(0), u"画像と音声/マップファイル/other.map"_s);

    EXPECT_FALSE(f1().LoadMapFile(path));
    EXPECT_EQ(prompter->lastText(), u"マップ画像フォルダが見つかりません。"_s);
}

TEST_F(SaveMap, NameInAnotherCaseGetsAFolderOfItsOwn)
{
    // Two maps never share one picture folder, whatever the case of their names.
    const QString pics = installGolden(u"pics.map"_s);
    ASSERT_TRUE(f1().LoadMapFile(pics));
    const QByteArray before = readBytes(pics);
    f1().SaveMapFile(mapPath(u"PICS.map"_s), QString());
    ASSERT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    EXPECT_EQ(f1().PictureFolder, pictureFolder(u"PICS.map"_s));
    EXPECT_TRUE(QFileInfo::exists(pictureFolder(u"PICS.map"_s) + u"/05.jpg"_s));
    EXPECT_EQ(readBytes(pics), before);
    EXPECT_EQ(MapFolders::pictureFolderOfMap(pics), pictureFolder(u"pics.map"_s));

    // A map made where names ignore case still finds its folder.
    QFile::rename(mapPath(u"PICS.map"_s), mapPath(u"Pics.map"_s));
    QFile::remove(pics);
    EXPECT_EQ(MapFolders::pictureFolderOfMap(mapPath(u"Pics.map"_s)), pictureFolder(u"PICS.map"_s));
}

TEST_F(SaveMap, FirstSaveOfANewMapTakesItsPictures)
{
    const QString pic = f1().PictureFolder + u"/03_000.bmp"_s;
    writePicture(pic, {400, 225}, Qt::red);
    f1().Doc.rows[3][MapDocument::Picture] = u"03_000.bmp *"_s;
    f1().Doc.rows[3][MapDocument::Title1] = u"新しい"_s;
    EXPECT_TRUE(f1().IsModified(1));
    prompter->files = {mapPath(u"fresh"_s)};
    f1().mmSaveClick();
    ASSERT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    EXPECT_EQ(f1().MapFilePath, mapPath(u"fresh.map"_s));
    EXPECT_EQ(f1().Doc.rows[3][MapDocument::Picture], u"03.bmp"_s);
    EXPECT_EQ(pictureColour(pictureFolder(u"fresh.map"_s) + u"/03.bmp"_s), QColor(Qt::red));
    EXPECT_FALSE(f1().IsModified(1));
}

TEST_F(SaveMap, ReservedNameAndDeclinedQuestionSaveNothing)
{
    for (const QString& name : {u"マップ000.map"_s, u"マップ000.MAP"_s}) {
        f1().SaveMapFile(mapPath(name), QString());
        EXPECT_FALSE(f1().SaveSucceeded);
        EXPECT_EQ(prompter->lastText(), u"\"マップ000\" は\r\nぽてりんで予約されているため，指定できません"_s);
        EXPECT_FALSE(QFileInfo::exists(mapPath(name)));
    }
    // The unsaved map's folder name: a later New would delete that map's pictures.
    f1().SaveMapFile(mapPath(u"新規マップファイル.map"_s), QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_EQ(prompter->lastText(),
              u"\"新規マップファイル\" は\r\nマップエディタで予約されているため，指定できません"_s);
    EXPECT_FALSE(QFileInfo::exists(mapPath(u"新規マップファイル.map"_s)));
    prompter->answers = {Answer::No};
    f1().SaveMapFile(mapPath(u"a.map"_s), u"マップファイルを上書き保存します。"_s);
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_FALSE(QFileInfo::exists(mapPath(u"a.map"_s)));
}

TEST_F(SaveMap, SaveAsAsksBeforeOverwritingAnExistingFile)
{
    const QString existing = installGolden(u"taken.map"_s);
    const QByteArray before = readBytes(existing);
    f1().Doc.rows[0][MapDocument::Title1] = u"x"_s;
    // First answer No (the dialog stays open), then choose another name.
    prompter->files = {existing, mapPath(u"free.map"_s)};
    prompter->answers = {Answer::No};
    f1().mmSaveAs1Click();
    ASSERT_TRUE(f1().SaveSucceeded);
    EXPECT_EQ(readBytes(existing), before);
    EXPECT_TRUE(prompter->asked.front().text.endsWith(u"\r\nファイルはすでに存在します。上書き保存しますか。"_s));
    EXPECT_EQ(f1().MapFilePath, mapPath(u"free.map"_s));

    prompter->files = {QString()};
    f1().mmSaveAs1Click();
    EXPECT_FALSE(f1().SaveSucceeded) << "a cancelled dialog is no save";
}

TEST_F(SaveMap, MissingPictureFolderIsMadeAgain)
{
    // Someone removed the folder while the map was open: the text is saved all the same.
    f1().Doc.rows[0][MapDocument::Title1] = u"x"_s;
    QDir(f1().PictureFolder).removeRecursively();
    f1().SaveMapFile(mapPath(u"m.map"_s), QString());
    EXPECT_TRUE(f1().SaveSucceeded);
    EXPECT_TRUE(QFileInfo(pictureFolder(u"m.map"_s)).isDir());
    ASSERT_TRUE(f1().LoadMapFile(mapPath(u"m.map"_s)));
    EXPECT_EQ(f1().Doc.rows[0][MapDocument::Title1], u"x"_s);
}

TEST_F(SaveMap, FailedWriteMovesThePicturesBack)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    const QString blocked = mapPath(u"blocked.map"_s);
    QDir().mkpath(blocked); // a folder where the file must go
    f1().SaveMapFile(blocked, QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_EQ(f1().PictureFolder, pictureFolder(u"golden.map"_s));
    EXPECT_TRUE(QFileInfo::exists(pictureFolder(u"golden.map"_s) + u"/00.bmp"_s));
    EXPECT_EQ(f1().MapFilePath, path);
}

TEST_F(SaveMap, UnencodableTextIsRefusedBeforeAnythingIsWritten)
{
    f1().Doc.rows[0][MapDocument::Title1] = u"😀"_s;
    f1().SaveMapFile(mapPath(u"e.map"_s), QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_TRUE(prompter->lastText().contains(u"😀"_s));
    EXPECT_FALSE(QFileInfo::exists(mapPath(u"e.map"_s)));
}

TEST_F(SaveMap, SaveAsIntoAnotherMapsFolderAsksFirstAndNoChangesNothing)
{
    // "別名.map" in the map folder owns "別名/"; this map is saved as 別名.map somewhere else.
    const QString owner = installGolden(u"別名.map"_s);
    const QString ownerFolder = pictureFolder(u"別名.map"_s);
    const QStringList ownerFiles = QDir(ownerFolder).entryList(QDir::Files, QDir::Name);
    const QString elsewhere = program.path() + u"other/folder/別名.map"_s;
    QDir().mkpath(QFileInfo(elsewhere).absolutePath());
    writePicture(f1().PictureFolder + u"/03_000.bmp"_s, {400, 225}, Qt::red);
    f1().Doc.rows[3][MapDocument::Picture] = u"03_000.bmp *"_s;

    prompter->answers = {Answer::No};
    f1().SaveMapFile(elsewhere, QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->asked[0].text.contains(QDir::toNativeSeparators(owner)))
        << prompter->lastText().toStdString();
    EXPECT_EQ(prompter->asked[0].defaultAnswer, Answer::No);
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_EQ(QDir(ownerFolder).entryList(QDir::Files, QDir::Name), ownerFiles);
    EXPECT_EQ(pictureColour(ownerFolder + u"/00.bmp"_s), QColor(255, 0, 0));
    EXPECT_TRUE(f1().MapFilePath.isEmpty());

    // A map known only from the history owns its folder just as well.
    const QString remembered = program.path() + u"maps/旅.map"_s;
    QDir().mkpath(QFileInfo(remembered).absolutePath());
    QFile::copy(owner, remembered);
    writePicture(pictureFolder(u"旅.map"_s) + u"/00.bmp"_s, {400, 225}, Qt::green);
    f1().History.add(remembered);
    prompter->asked.clear();
    f1().SaveMapFile(program.path() + u"other/folder/旅.map"_s, QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->asked[0].text.contains(QDir::toNativeSeparators(remembered)));

    // Yes replaces the folder, as asked.
    prompter->answers = {Answer::Yes};
    f1().SaveMapFile(elsewhere, QString());
    EXPECT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    EXPECT_EQ(pictureColour(ownerFolder + u"/03.bmp"_s), QColor(Qt::red));
    // The folder is still the other map's: every save that changes it asks again.
    prompter->asked.clear();
    f1().Doc.rows[1][MapDocument::Title1] = u"x"_s;
    prompter->answers = {Answer::No};
    f1().SaveMapFile(elsewhere, QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_EQ(prompter->asked[0].defaultAnswer, Answer::No);
    prompter->answers = {Answer::Yes};
    f1().SaveMapFile(elsewhere, QString());
    EXPECT_TRUE(f1().SaveSucceeded);
}

TEST_F(SaveMap, MissingPicturesAreNamedAndTheMapStaysModified)
{
    writePicture(f1().PictureFolder + u"/03_000.bmp"_s, {400, 225}, Qt::red);
    f1().Doc.rows[3][MapDocument::Picture] = u"03_000.bmp *"_s;
    f1().Doc.rows[5][MapDocument::Picture] = u"05_000.bmp *"_s; // deleted behind the program's back
    f1().Doc.treasures[2] = u"r01_000.bmp *"_s;
    f1().MapPicturePath = f1().PictureFolder + u"/map_000.bmp"_s;
    const QString path = mapPath(u"m.map"_s);
    f1().SaveMapFile(path, QString());
    EXPECT_FALSE(f1().SaveSucceeded) << "a save that lost pictures is no success";
    const QString said = prompter->lastText();
    for (const QString& name :
         {u"旅行地05 \"05_000.bmp\""_s, u"宝物画像 r01 \"r01_000.bmp\""_s, u"地図画像 \"map_000.bmp\""_s})
        EXPECT_TRUE(said.contains(name)) << said.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path)) << "what there is is saved";
    const std::optional<MapFile::Content> saved = MapFile::parse(readBytes(path), nullptr);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->rows[3].value(3), u"03.bmp"_s);
    EXPECT_TRUE(saved->rows[5].value(3).isEmpty());
    EXPECT_TRUE(saved->mapPictureName.isEmpty());
    EXPECT_EQ(f1().Doc.rows[5][MapDocument::Picture], u"05_000.bmp *"_s);
    EXPECT_TRUE(f1().IsModified(1));
}

TEST_F(SaveMap, AFileTheUserMayNotWriteIsNeverReplaced)
{
    const QString path = installGolden(u"locked.map"_s);
    ASSERT_TRUE(f1().LoadMapFile(path));
    const QByteArray before = readBytes(path);
    f1().Doc.rows[0][MapDocument::Title1] = u"x"_s;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    prompter->asked.clear();
    f1().mmSaveClick();
    EXPECT_FALSE(f1().SaveSucceeded);
    ASSERT_EQ(prompter->asked.size(), 1u) << "refused before the overwrite question";
    EXPECT_TRUE(prompter->lastText().contains(QDir::toNativeSeparators(path)));
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
    EXPECT_TRUE(QFileInfo::exists(pictureFolder(u"locked.map"_s) + u"/00.bmp"_s));

    // A file that may be written keeps its permissions through the save.
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QFile::setPermissions(path, mode);
    prompter->answers = {Answer::Yes};
    f1().mmSaveClick();
    EXPECT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    EXPECT_EQ(QFileInfo(path).permissions() & 0x7077, mode & 0x7077);
}

// One map is edited by one program at a time: a map whose folder another program holds is neither
// opened nor saved over, and is free again once that program lets it go.
TEST_F(SaveMap, AMapAnotherProgramHoldsIsNeitherOpenedNorSavedOver)
{
    const QString path = installGolden(u"held.map"_s);
    const QString other = installGolden(u"free.map"_s);
    auto held = std::make_unique<MapFolders::MapLock>(pictureFolder(u"held.map"_s));
    ASSERT_TRUE(held->held());
    EXPECT_FALSE(f1().LoadMapFile(path));
    EXPECT_TRUE(prompter->lastText().contains(u"ほかのマップエディタで開かれている"_s))
        << prompter->lastText().toStdString();
    EXPECT_TRUE(f1().MapFilePath.isEmpty());

    // Nor saved over under its name, from another map.
    ASSERT_TRUE(f1().LoadMapFile(other));
    const QByteArray before = readBytes(path);
    f1().Doc.rows[0][MapDocument::Title1] = u"x"_s;
    prompter->asked.clear();
    f1().SaveMapFile(path, QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(f1().MapFilePath, other);

    // This program holds the map it has open: another one cannot have it.
    EXPECT_FALSE(MapFolders::MapLock(pictureFolder(u"free.map"_s)).held());
    held.reset();
    prompter->answers = {Answer::No};
    ASSERT_TRUE(f1().LoadMapFile(path));
    EXPECT_TRUE(MapFolders::MapLock(pictureFolder(u"free.map"_s)).held()) << "let go with the map";
    EXPECT_FALSE(MapFolders::MapLock(pictureFolder(u"held.map"_s)).held());
    f1().mmNewClick();
    EXPECT_TRUE(MapFolders::MapLock(pictureFolder(u"held.map"_s)).held());
}

// "One map, one program" is decided by what the picture folder is within its root, whatever path
// reached it: the program folder through a link, the map named in another case. The lock files go
// with their maps, and the ones killed programs left go at the next start.
TEST_F(SaveMap, OneMapIsOneProgramsWhateverPathLeadsToIt)
{
    const QString path = installGolden(u"held.map"_s);
    const QString root = MapFolders::mapPictureRoot();
    TempFolder elsewhere;
    const QString linked = elsewhere.file(u"program"_s);
    ASSERT_TRUE(QFile::link(QDir::cleanPath(program.path()), linked));
    const QString viaLink = linked + u"/画像と音声/マップ画像/held"_s;
    ASSERT_TRUE(QFileInfo(viaLink).isDir());
    for (const QString& other : {viaLink, root + u"/HELD"_s, root + u"/Held"_s}) {
        SCOPED_TRACE(other.toStdString());
        auto held = std::make_unique<MapFolders::MapLock>(other);
        ASSERT_TRUE(held->held());
        EXPECT_FALSE(f1().LoadMapFile(path));
        EXPECT_TRUE(prompter->lastText().contains(u"ほかのマップエディタで開かれている"_s));
        held.reset();
        prompter->answers = {Answer::No};
        ASSERT_TRUE(f1().LoadMapFile(path));
        EXPECT_FALSE(MapFolders::MapLock(other).held()) << "held by the open map whatever the path";
        f1().mmNewClick();
    }

    auto lockFiles = [&] { return QDir(root).entryList({u".~lk*"_s}, QDir::Files | QDir::Hidden); };
    EXPECT_TRUE(lockFiles().isEmpty()) << lockFiles().join(u' ').toStdString();
    for (int n = 0; n < 5; ++n) {
        prompter->answers = {Answer::No};
        ASSERT_TRUE(f1().LoadMapFile(installGolden(u"map%1.map"_s.arg(n))));
    }
    EXPECT_EQ(lockFiles().size(), 1) << "only the open map's";
    f1().mmNewClick();
    EXPECT_TRUE(lockFiles().isEmpty());

    // A killed program's lock file is swept; a live one stays, and stays held.
    const MapFolders::MapLock live(root + u"/live"_s);
    ASSERT_TRUE(live.held());
    QFile dead(root + u"/.~lk0123456789abcdef0123"_s);
    ASSERT_TRUE(dead.open(QIODevice::WriteOnly));
    dead.close();
    EXPECT_EQ(lockFiles().size(), 2);
    MapFolders::removeAbandonedLocks(root);
    EXPECT_EQ(lockFiles().size(), 1);
    EXPECT_FALSE(MapFolders::MapLock(root + u"/live"_s).held());
}

// A map opened from another folder whose picture folder is a map file's of the map folder: told at
// the open, asked (No by default) before every save that would change that folder, and a Save As
// away from it leaves that folder to its map.
TEST_F(SaveMap, AFolderAnotherMapFileOwnsIsToldAtOpenAndAskedAtSave)
{
    const QString owner = installGolden(u"同名.map"_s);
    const QString folder = pictureFolder(u"同名.map"_s);
    const QString elsewhere = program.path() + u"elsewhere/同名.map"_s;
    QDir().mkpath(QFileInfo(elsewhere).absolutePath());
    ASSERT_TRUE(QFile::copy(owner, elsewhere));
    const Tree before = snapshotTree(folder);

    prompter->asked.clear();
    ASSERT_TRUE(f1().LoadMapFile(elsewhere));
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().contains(QDir::toNativeSeparators(owner))) << prompter->lastText().toStdString();

    std::swap(f1().Doc.rows[0], f1().Doc.rows[5]);
    prompter->asked.clear();
    prompter->answers = {Answer::No};
    f1().mmSaveClick();
    EXPECT_FALSE(f1().SaveSucceeded);
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_EQ(prompter->asked[0].defaultAnswer, Answer::No);
    EXPECT_TRUE(prompter->asked[0].text.contains(QDir::toNativeSeparators(owner)));
    EXPECT_EQ(snapshotTree(folder), before);

    prompter->answers.clear();
    f1().SaveMapFile(mapPath(u"別の名.map"_s), QString());
    EXPECT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    EXPECT_EQ(snapshotTree(folder), before) << "the owner keeps its folder";
    EXPECT_EQ(pictureColour(pictureFolder(u"別の名.map"_s) + u"/05.bmp"_s), QColor(255, 0, 0));
}

using Commands = AtlasFixture;

TEST_F(Commands, NewAndOpenAskAboutChanges)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    f1().Doc.islands[1] = u"1,1"_s;
    prompter->answers = {Answer::Cancel};
    f1().mmNewClick();
    EXPECT_EQ(f1().MapFilePath, path);
    EXPECT_EQ(prompter->lastText(), u"マップファイル \"golden.map\" が\r\n変更されています。保存しますか。"_s);

    prompter->answers = {Answer::No};
    f1().mmNewClick();
    EXPECT_TRUE(f1().MapFilePath.isEmpty());
    EXPECT_TRUE(f1().Doc.islands[1].isEmpty());

    f1().Doc.colours[0] = ColourText::clGreen; // a colour alone is a change the file would hold
    prompter->answers = {Answer::No};
    prompter->files = {path};
    f1().mmOpenClick();
    EXPECT_EQ(prompter->lastText(), u"マップファイルが変更されています。保存しますか。"_s);
    EXPECT_EQ(f1().MapFilePath, path);
}

TEST_F(Commands, DeleteTempKeepsPicturesTheMapStillNames)
{
    const QString folder = f1().PictureFolder;
    for (const QString& n : {u"05_003.bmp"_s, u"map_001.jpg"_s, u"t01_002.BMP"_s, u"05_004.bmp"_s, u"05_001.jp"_s,
                             u"temp2_05.bmp"_s, u"x_1.bmp"_s})
        writePicture(folder + u'/' + n, {4, 4}, Qt::red);
    f1().Doc.rows[5][MapDocument::Picture] = u"05_004.bmp *"_s;
    prompter->answers = {Answer::Yes};
    f1().mmDeleteTempClick();
    EXPECT_EQ(prompter->lastText(), u" 3 個のファイルを消去しました。"_s);
    EXPECT_FALSE(QFileInfo::exists(folder + u"/05_003.bmp"_s));
    EXPECT_FALSE(QFileInfo::exists(folder + u"/map_001.jpg"_s));
    EXPECT_FALSE(QFileInfo::exists(folder + u"/t01_002.BMP"_s));
    EXPECT_TRUE(QFileInfo::exists(folder + u"/05_004.bmp"_s));
    EXPECT_TRUE(QFileInfo::exists(folder + u"/05_001.jp"_s));
    EXPECT_TRUE(QFileInfo::exists(folder + u"/temp2_05.bmp"_s));
    EXPECT_TRUE(QFileInfo::exists(folder + u"/x_1.bmp"_s));

    prompter->answers = {Answer::Yes};
    f1().mmDeleteTempClick();
    EXPECT_EQ(prompter->lastText(), u"消去するファイルはありません。"_s);
}

// The desktop's editor returns at once: the reload question comes when the file changes, once for
// each change, never over a modal window; a change declined makes the next save over it ask.
TEST_F(Commands, DirectEditAsksToReloadWhenTheFileChangesAndASaveOverTheChangeAsks)
{
    f1().mmMapFileClick();
    EXPECT_TRUE(prompter->lastText().startsWith(u"マップファイル名が未確定のため，実行できません。"_s));

    const QString path = installGolden(u"trip.map"_s);
    ASSERT_TRUE(f1().LoadMapFile(path));
    prompter->asked.clear();
    f1().mmMapFileClick();
    EXPECT_EQ(prompter->shellOpened.value(0), path);
    EXPECT_TRUE(prompter->asked.empty());
    ASSERT_TRUE(f1().MapFileWatch && f1().MapFileWatch->isWatching());
    constexpr int Deadline = 10000;

    const QByteArray outside = withDestinationRewritten(readBytes(path), 1, u"名古屋"_s, u"ほかで書いた説明"_s);
    {
        QDialog modal(&f1());
        modal.setModal(true);
        modal.show();
        ASSERT_TRUE(FileOps::writeFileAtomic(path, outside));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f1().MapFileWatch->isHeldBack(); }, Deadline));
        EXPECT_TRUE(prompter->asked.empty());
        prompter->answers = {Answer::No};
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter->asked.empty(); }, Deadline));
    EXPECT_EQ(prompter->lastText(), u"マップファイルを読み込み直しますか。"_s);
    EXPECT_EQ(f1().Doc.rows[1][MapDocument::Title1], u"ﾊﾝｶｸ ｶﾀｶﾅ"_s);

    // 下移動, 上書き保存: the question names the file, No by default, and No writes nothing.
    f1().selectRow(2);
    f1().bbDownClick();
    prompter->answers = {Answer::No};
    f1().mmSaveClick();
    ASSERT_EQ(prompter->asked.size(), 2u);
    EXPECT_EQ(prompter->lastText(),
              u"マップファイル \"trip.map\" は，開いた後に，ほかで変更されています。\r\n上書き保存しますか。"_s);
    EXPECT_EQ(prompter->asked.back().defaultAnswer, Answer::No);
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_EQ(readBytes(path), outside);
    // Nor does closing, whose save dialog asks the same of the map's own name.
    prompter->answers = {Answer::Yes, Answer::No};
    prompter->files = {path, QString()};
    EXPECT_FALSE(f1().FormClose());
    EXPECT_EQ(prompter->asked[3].text, prompter->asked[1].text);
    EXPECT_EQ(readBytes(path), outside);

    // The next change asks again; Yes reloads, and the map's own save asks only the usual question.
    prompter->asked.clear();
    prompter->answers = {Answer::Yes};
    const QByteArray again = withDestinationRewritten(outside, 1, u"京都"_s, QString());
    ASSERT_TRUE(FileOps::writeFileAtomic(path, again));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f1().Doc.rows[1][MapDocument::Title1] == u"京都"_s; }, Deadline));
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_EQ(prompter->asked.front().text, u"マップファイルを読み込み直しますか。"_s);
    f1().selectRow(2);
    f1().bbDownClick();
    prompter->asked.clear();
    prompter->answers = {Answer::Yes};
    f1().mmSaveClick();
    EXPECT_EQ(prompter->lastText(), u"マップファイルを上書き保存します。\r\n\r\nいいですか。"_s);
    EXPECT_TRUE(f1().SaveSucceeded);
    EXPECT_EQ(f1().Doc.rows[2][MapDocument::Title1], u"京都"_s);
    EXPECT_NE(readBytes(path), again);

    // Without a program to open it, the user is told so.
    prompter->shellOpens = false;
    prompter->asked.clear();
    f1().mmMapFileClick();
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_EQ(prompter->asked[0].text, path + u"\r\nマップファイルを開けません。"_s);
    EXPECT_EQ(prompter->asked[0].kind, Prompter::Kind::Warning);
}

TEST_F(Commands, OpenPictureFolderOrSayItIsMissing)
{
    f1().mmOpenPicDirClick();
    EXPECT_EQ(prompter->shellOpened.value(0), f1().PictureFolder);
    EXPECT_TRUE(prompter->asked.empty());
    prompter->shellOpens = false;
    f1().mmOpenPicDirClick();
    EXPECT_EQ(prompter->lastText(), f1().PictureFolder + u"\r\n画像フォルダを開けません。"_s);
    QDir(f1().PictureFolder).removeRecursively();
    f1().mmOpenPicDirClick();
    EXPECT_EQ(prompter->lastText(), f1().PictureFolder + u"\r\n画像フォルダが見つかりません。"_s);
}

using Closing = AtlasFixture;

TEST_F(Closing, UnchangedMapClosesWithoutAQuestionAndWritesHistory)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(prompter->asked.empty());
    EXPECT_EQ(Cp932::decode(readBytes(f1().HistoryFilePath)), u"画像と音声/マップファイル/golden.map\r\n"_s);
}

TEST_F(Closing, AnswersDecideWhetherTheWindowStays)
{
    f1().Doc.rows[0][MapDocument::Title1] = u"x"_s;
    prompter->answers = {Answer::Cancel};
    EXPECT_FALSE(f1().FormClose());
    EXPECT_EQ(prompter->lastText(), u"現在の内容をマップファイルとして保存しますか。"_s);
    EXPECT_EQ(prompter->sounds.back(), Prompter::Sound::Exclamation);

    prompter->answers = {Answer::Yes};
    prompter->files = {QString()}; // Save As cancelled
    EXPECT_FALSE(f1().FormClose());

    prompter->answers = {Answer::No};
    EXPECT_TRUE(f1().FormClose());

    prompter->answers = {Answer::Yes};
    prompter->files = {mapPath(u"kept.map"_s)};
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(QFileInfo::exists(mapPath(u"kept.map"_s)));
}

TEST_F(Closing, ModifiedScratchPagesAreSavedInsideTheirFolderOrKeepTheWindowOpen)
{
    const QString outside = program.path() + u"notes.txt"_s;
    ASSERT_TRUE(FileOps::writeFileAtomic(outside, "n\r\n"));
    TFormEditText& window = *forms->formEditText;
    const QString kept = f1().ScratchFolder + u"/keep.txt"_s;
    ASSERT_TRUE(FileOps::writeFileAtomic(kept, "k"));
    TFormRefPage *blank = nullptr, *opened = nullptr;
    // The pages are made while the description window is open, as the user makes them; the
    // changed blank page floats, and the page of keep.txt stays unchanged.
    prompter->modals.push_back([&](QDialog&) {
        window.Blank1Click();
        blank = window.CurrentPage;
        blank->MyRichEdit1->SetText(u"メモ"_s);
        window.floatPage(blank, QRect(0, 0, 200, 100));
        prompter->files = {outside, kept};
        window.Refer1Click();
        opened = window.CurrentPage;
        opened->MyRichEdit1->SetText(u"変更"_s);
        window.Refer1Click();
        return int(QDialog::Accepted);
    });
    forms->form2->btEditClick();
    ASSERT_TRUE(blank && opened);

    prompter->answers = {Answer::Cancel};
    EXPECT_FALSE(f1().FormClose());
    EXPECT_EQ(prompter->lastText(), u"「ちょい置き」が変更されています。保存しておきますか。（2つ）"_s);

    // The page from outside cannot be written there: the program stays open and says so.
    prompter->answers = {Answer::Yes};
    EXPECT_FALSE(f1().FormClose());
    EXPECT_EQ(prompter->lastText(), u"保存できませんでした。\r\n\r\nちょい置き-2\r\n"_s + outside
                                        + u"\r\n「ちょい置き用」フォルダ以外に保存することはできません。"_s);
    EXPECT_EQ(readBytes(blank->FileName), Cp932::encode(u"メモ\r\n"_s));
    EXPECT_TRUE(blank->FileName.startsWith(f1().ScratchFolder + u'/'));
    EXPECT_EQ(readBytes(outside), "n\r\n");
    EXPECT_EQ(readBytes(kept), "k");
    const QString history = f1().SettingsFolder + u"/ちょい置き履歴.txt"_s;
    EXPECT_EQ(Cp932::decode(readBytes(history)), u"画像と音声/マップちょい置き/"_s
                                                     + QFileInfo(blank->FileName).fileName()
                                                     + u"\r\n画像と音声/マップちょい置き/keep.txt\r\nnotes.txt\r\n"_s);

    prompter->answers = {Answer::No};
    EXPECT_TRUE(f1().FormClose());
    EXPECT_EQ(readBytes(outside), "n\r\n");
}
