// The main window's map-file commands, the file history and the modified test.
#include "Unit1.h"

#include "AsciiCase.h"
#include "AtlasForms.h"
#include "Cp932.h"
#include "FileOps.h"
#include "MapCanvas.h"
#include "MapFile.h"
#include "MapFolders.h"
#include "MapGridModel.h"
#include "MapPictures.h"
#include "MyFileDialogs.h"
#include "MapSave.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "Unit2.h"
#include "Unit3.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QTableView>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString fileNameOf(const QString& path) { return path.isEmpty() ? QString() : QFileInfo(path).fileName(); }

// Told once: the folders named are out of the recovery's way from now on.
void reportSetAside(QWidget* parent, const MapSave::SetAside& setAside)
{
    if (setAside.isEmpty())
        return;
    const QString what =
        setAside.mapPath.isEmpty()
            ? u"前回中断された保存を，終えることも元に戻すこともできませんでした。\r\n"_s
            : u"マップファイル \""_s + setAside.mapPath
                  + u"\" の前回中断された保存を，\r\n終えることも元に戻すこともできませんでした。\r\n"_s;
    Prompter::warn(parent, what + setAside.reason
                               + u"\r\n\r\n保存の途中の画像フォルダは，削除せずに次のフォルダに移しました。\r\n"_s
                                 u"中身を確かめて，必要な画像を取り出して下さい。\r\n\r\n"_s
                               + setAside.folders.join(u"\r\n"_s));
}

QString changedOutsideQuestion(const QString& path)
{
    return DocumentFile::question(u"マップファイル \""_s + fileNameOf(path) + u"\" "_s);
}

// Files by what they are, whatever path names them: the same device and inode, or the same entry
// as its folder lists it (looked up only for names equal with case ignored, which is all a volume
// that ignores case can make of one name).
class FileSet {
public:
    void add(const QString& path)
    {
        struct stat info;
        if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
            return;
        m_identities.insert({quint64(info.st_dev), quint64(info.st_ino)});
        m_paths.insert(path);
    }
    bool contains(const QString& path) const
    {
        struct stat info;
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            return false;
        if (m_identities.contains({quint64(info.st_dev), quint64(info.st_ino)}))
            return true;
        const QString name = QFileInfo(path).fileName();
        for (const QString& p : m_paths)
            if (AsciiCase::equal(QFileInfo(p).fileName(), name) && FileOps::sameEntry(p, path))
                return true;
        return false;
    }

private:
    QSet<std::pair<quint64, quint64>> m_identities;
    QSet<QString> m_paths;
};

} // namespace

QString TForm1::ResolvePicturePath(const QString& name, bool mustExist) const
{
    return MapFolders::resolvePicturePath(PictureFolder, name, mustExist);
}

void TForm1::refreshDocumentViews()
{
    sg1Model->refresh();
    edSima->setText(Doc.islands[qBound(0, cobSima->currentIndex(), 2)]);
    for (int n = 1; n <= 3; ++n)
        drawSwatch(n);
    PaintMap();
}

void TForm1::UpdateCaption()
{
    QString caption = u"マップエディタ"_s;
    if (!MapFilePath.isEmpty())
        caption += u" ～ "_s + fileNameOf(MapFilePath);
    if (!MapPicturePath.isEmpty())
        caption += u"　（地図画像 \""_s + fileNameOf(MapPicturePath) + u"\"）"_s;
    setWindowTitle(caption);
}

void TForm1::ResetToNewMap()
{
    mod1->InitialDir = MapFolders::mapFileFolder();
    msd1->InitialDir = MapFolders::mapFileFolder();

    // Another running map editor's unsaved pictures are never touched: this one clears only the
    // folder it holds, and in it nothing a running program holds.
    if (!m_newMapFolder)
        KeepLeftPictures(true);
    PictureFolder = m_newMapFolder->path();
    m_mapLock.reset();
    MapPicturePath.clear();
    MapFilePath.clear();
    MapFileContent.forget();
    QString why;
    // Without the picture root (told at start-up) there is nothing more to say.
    const bool told = m_pictureRootMissing && !QFileInfo(MapFolders::mapPictureRoot()).isDir();
    if ((!MapFolders::clearFolder(PictureFolder, &why) || !FileOps::makeFolder(PictureFolder, &why)) && !told)
        Prompter::error(this, u"画像フォルダを用意できません。\r\n"_s + PictureFolder + u"\r\n"_s + why);

    Doc.clearContent();
    Doc.colours = MapDocument::defaultColours();
    cobSima->setCurrentIndex(0);
    cbSima->setChecked(false);
    selectRow(1);

    setWindowTitle(u"マップエディタ ～ "_s + MapFolders::newMapName());
    SaveSucceeded = true;

    if (auto* forms = AtlasForms::current(); forms && forms->form2)
        forms->form2->PicturePath.clear();

    ResetUndo(QString());
    IsModified(0);
    MapPicture = MapPictures::DrawInstructionPlaceholder(MapPictures::MapKind);
    refreshDocumentViews();
}

void TForm1::RecoverInterruptedSave()
{
    QString why;
    QStringList leftovers;
    MapSave::SetAside setAside;
    if (!MapSave::recover(MapFolders::mapPictureRoot(), &why, &leftovers, &setAside))
        Prompter::error(this, u"前回中断された保存を片付けられませんでした。\r\n\r\n"_s + why);
    reportSetAside(this, setAside);
    reportLeftovers(leftovers);
}

void TForm1::reportLeftovers(const QStringList& leftovers)
{
    if (!leftovers.isEmpty())
        Prompter::warn(this, u"保存の後始末で，次のフォルダを削除できませんでした。\r\n"_s
                             u"中身を確かめて，不要なら削除して下さい。\r\n\r\n"_s
                                 + leftovers.join(u"\r\n"_s));
}

// A hold taken back from the open map for a command that failed goes back to it.
void TForm1::keepHoldOfOpenMap(std::unique_ptr<MapFolders::MapLock>& lock)
{
    if (lock && !m_mapLock && !MapFilePath.isEmpty() && lock->isFor(PictureFolder))
        m_mapLock = std::move(lock);
}

std::unique_ptr<MapFolders::MapLock> TForm1::holdMap(const QString& pictureFolder, const QString& path, bool opening)
{
    if (m_mapLock && m_mapLock->isFor(pictureFolder))
        return std::move(m_mapLock);
    auto lock = std::make_unique<MapFolders::MapLock>(pictureFolder);
    if (lock->held())
        return lock;
    Prompter::warn(this, u"マップファイル \""_s + fileNameOf(path)
                             + u"\" は，\r\nほかのマップエディタで開かれているため，"_s
                             + (opening ? u"開けません。"_s : u"保存できません。"_s));
    return nullptr;
}

bool TForm1::LoadMapFile(const QString& path)
{
    RecoverInterruptedSave();
    KeepLeftPictures(false);
    // Only a missing file is not found; anything else there is refused by the read, with its reason.
    if (!QFileInfo::exists(path)) {
        Prompter::warn(this, u"マップファイルが見つかりません。"_s);
        return false;
    }
    const QString folder = MapFolders::pictureFolderOfMap(path);
    if (!QFileInfo(folder).isDir()) {
        Prompter::warn(this, u"マップ画像フォルダが見つかりません。"_s);
        return false;
    }

    // The open map keeps its hold until the new one is usable.
    std::unique_ptr<MapFolders::MapLock> lock = holdMap(folder, path, true);
    if (!lock)
        return false;
    const auto keepOldHold = qScopeGuard([&] { keepHoldOfOpenMap(lock); });

    // The file is read whole into a new document; the open map stays as it is unless it is usable.
    QByteArray bytes;
    QString why;
    std::optional<MapFile::Content> content;
    if (FileOps::readFile(path, FileOps::ReadLimit::Text, bytes, nullptr, &why))
        content = MapFile::parse(bytes, &why);
    if (!content) {
        Prompter::warn(this, u"マップファイルを読み込めません。\r\n\r\n"_s + path + u"\r\n"_s + why);
        return false;
    }
    m_mapLock = std::move(lock);

    MapDocument doc;
    doc.colours = content->colours.value_or(Doc.colours);
    doc.islands = content->islands;
    for (int r = 0; r < MapDocument::DestinationCount; ++r) {
        const QStringList& items = content->rows[r];
        for (int c = 0; c < MapDocument::ColumnCount && c < items.size(); ++c)
            doc.rows[r][c] = items.at(c);
        QString& picture = doc.rows[r][MapDocument::Picture];
        if (MapFolders::resolvePicturePath(folder, picture, true).isEmpty())
            picture.clear();
    }
    for (int t = 0; t < MapDocument::TreasureCount && t < content->treasureLines.size(); ++t)
        doc.treasures[t] = fileNameOf(MapFolders::resolvePicturePath(folder, content->treasureLines.at(t), true));

    Doc = doc;
    PictureFolder = folder;
    MapPicturePath = MapFolders::resolvePicturePath(folder, content->mapPictureName, true);
    MapPictures::LoadPictureChecked(MapPictures::MapKind, MapPicturePath, &MapPicture);
    refreshDocumentViews();

    MapFilePath = path;
    // What the document came from is what a later save compares the file with.
    MapFileContent.saw(path, FileOps::seenOf(bytes));
    UpdateCaption();
    selectRow(1);
    AddToHistory();
    ResetUndo(MapPicturePath);
    IsModified(0);
    // A folder two map files share shows the other one's pictures, and a save changes them.
    if (const QString other = MapFolders::otherMapOfFolder(folder, path, History.entries()); !other.isEmpty())
        Prompter::warn(this, u"このマップファイルの画像フォルダ \""_s + QFileInfo(folder).fileName()
                                 + u"\" は，\r\n次のマップファイルの画像フォルダでもあります。\r\n"_s
                                 + QDir::toNativeSeparators(other)
                                 + u"\r\n\r\n表示される画像は，そのフォルダの画像です。"_s
                                   u"保存する前には，確認します。"_s);
    return true;
}

void TForm1::reportSaveFailure(const QString& why)
{
    Prompter::error(this, u"マップファイルを保存できませんでした。\r\n\r\n"_s + why);
}

void TForm1::SaveMapFile(const QString& path, const QString& question)
{
    SaveSucceeded = false;
    // Names the programs keep for themselves: the game's, the unsaved maps' folders (a later New
    // would delete their pictures) and the save's own folder.
    const QString name = QFileInfo(path).completeBaseName();
    const bool game = AsciiCase::equal(name, u"マップ000");
    if (game || MapFolders::isReservedName(name)) {
        Prompter::warn(this, game ? u"\"マップ000\" は\r\nぽてりんで予約されているため，指定できません"_s
                                  : u"\""_s + name + u"\" は\r\nマップエディタで予約されているため，指定できません"_s);
        return;
    }
    // A save renames over the file; one the user may not write is never replaced.
    if (!FileOps::mayReplace(path)) {
        Prompter::warn(this, u"マップファイル \""_s + QDir::toNativeSeparators(path)
                                 + u"\" は\r\n書き込みが禁止されているため，保存できません。"_s);
        return;
    }
    const QString newFolder = MapFolders::pictureFolderOfMap(path);
    std::unique_ptr<MapFolders::MapLock> lock = holdMap(newFolder, path, false);
    if (!lock)
        return;
    const auto keepOldHold = qScopeGuard([&] { keepHoldOfOpenMap(lock); });
    if (!confirmTakingFolder(path, newFolder))
        return;
    // Over what another program wrote into the file since, the question is that one, No by default.
    const bool changedOutside = MapFileContent.changedOutside(path);
    if (changedOutside && !MapFileContent.mayReplace(this, path, changedOutsideQuestion(path)))
        return;
    if (!changedOutside && !question.isEmpty()
        && Prompter::ask(this, question + u"\r\n\r\n"_s + u"いいですか。"_s, Prompter::Buttons::YesNo)
               != Prompter::Answer::Yes)
        return;

    // A file this program could not open again is refused before anything is touched. The save
    // gives the pictures their fixed names, which keep the extensions checked here.
    QString why;
    if (MapFile::write(Doc, fileNameOf(MapPicturePath), &why).isEmpty()) {
        reportSaveFailure(why);
        return;
    }

    MapSave::Request request;
    request.mapPath = path;
    request.pictureFolder = PictureFolder;
    request.newFolder = newFolder;
    request.doc = Doc;
    request.mapPicturePath = MapPicturePath;
    // Another map file's folder stays where it is when this map moves away from it.
    request.keepOldFolder = !MapFilePath.isEmpty() && !MapSave::sameFolder(newFolder, PictureFolder)
                            && !MapFolders::otherMapOfFolder(PictureFolder, MapFilePath, History.entries()).isEmpty();
    QByteArray written;
    request.bytes = [&written](const MapDocument& doc, const QString& pictureName) {
        return written = MapFile::write(doc, pictureName);
    };
    const MapSave::Result saved = MapSave::save(request);
    reportSetAside(this, saved.setAside);
    if (!saved.ok) {
        reportSaveFailure(saved.error);
        reportLeftovers(saved.leftovers);
        return;
    }
    m_mapLock = std::move(lock);

    // Names whose files were gone stay named, so the map stays modified until they are dealt with.
    Doc = saved.kept;
    sg1Model->refresh();
    MapFilePath = path;
    MapFileContent.saw(path, FileOps::seenOf(written));
    PictureFolder = QDir::cleanPath(request.newFolder);
    MapPicturePath = saved.keptMapPictureName.isEmpty() ? QString() : PictureFolder + u'/' + saved.keptMapPictureName;
    UpdateCaption();
    AddToHistory();
    SaveSucceeded = saved.missing.isEmpty();
    ResetUndo(MapPicturePath);
    m_baseline = MapFile::text(saved.doc, saved.mapPictureName);
    if (!saved.missing.isEmpty())
        Prompter::warn(this, u"マップファイルを保存しましたが，次の画像ファイルが見つからないため，\r\n"_s
                             u"その画像は保存されていません。\r\n\r\n"_s
                                 + saved.missing.join(u"\r\n"_s));
    reportLeftovers(saved.leftovers);
}

bool TForm1::confirmTakingFolder(const QString& target, const QString& folder)
{
    // The folder another map file uses changes only when asked, also when this map uses it too.
    if (!QFileInfo(folder).isDir())
        return true;
    const QString other = MapFolders::otherMapOfFolder(folder, target, History.entries());
    if (other.isEmpty())
        return true;
    return Prompter::ask(
               this,
               u"画像フォルダ \""_s + QFileInfo(folder).fileName()
                   + u"\" は，次のマップファイルの画像フォルダです。\r\n"_s + QDir::toNativeSeparators(other)
                   + u"\r\n\r\n保存すると，そのマップファイルの画像は，このマップの画像に置き換わります。\r\n"_s
                     u"保存しますか。"_s,
               Prompter::Buttons::YesNo, Prompter::Answer::No)
           == Prompter::Answer::Yes;
}

bool TForm1::msd1CanClose(const QString& fileName)
{
    // The map's own file, changed outside since, asks that instead.
    if (MapFileContent.changedOutside(fileName))
        return MapFileContent.mayReplace(this, fileName, changedOutsideQuestion(fileName));
    return ConfirmOverwrite(this, fileName, fileName);
}

bool TForm1::askSaveBeforeReplacing()
{
    if (!IsModified(1))
        return true;
    const QString question = MapFilePath.isEmpty()
                                 ? u"マップファイルが変更されています。保存しますか。"_s
                                 : u"マップファイル \""_s + fileNameOf(MapFilePath) + u"\" が\r\n"_s
                                       + u"変更されています。保存しますか。"_s;
    switch (Prompter::ask(this, question, Prompter::Buttons::YesNoCancel)) {
    case Prompter::Answer::Yes:
        mmSaveClick();
        return SaveSucceeded;
    case Prompter::Answer::No:
        return true;
    default:
        return false;
    }
}

// Commands that replace the map, save it (renaming its working copies) or delete working copies
// would pull the picture from under a running tool.
void TForm1::mmNewClick()
{
    if (CheckToolRunning())
        return;
    if (!askSaveBeforeReplacing())
        return;
    SaveHistory();
    ResetToNewMap();
}

void TForm1::mmOpenClick()
{
    if (CheckToolRunning())
        return;
    if (!askSaveBeforeReplacing())
        return;
    if (mod1->Execute(this))
        LoadMapFile(mod1->FileName);
}

void TForm1::mmSaveClick()
{
    if (CheckToolRunning())
        return;
    if (!IsModified(1) && !CanUndo())
        return;
    if (!MapFilePath.isEmpty())
        SaveMapFile(MapFilePath, u"マップファイルを上書き保存します。"_s);
    else
        mmSaveAs1Click();
}

void TForm1::mmSaveAs1Click()
{
    if (CheckToolRunning())
        return;
    msd1->FileName = MapFilePath;
    if (msd1->Execute(this))
        SaveMapFile(msd1->FileName, QString());
    else
        SaveSucceeded = false;
}

void TForm1::mmMapFileClick()
{
    if (CheckToolRunning())
        return;
    if (MapFilePath.isEmpty()) {
        Prompter::warn(this, u"マップファイル名が未確定のため，実行できません。\r\n\r\n※現在の内容を保存して，再度実行して下さい。"_s);
        return;
    }
    // The desktop hands the file to its program and returns at once, so there is no process to
    // wait for: the file's changes stand in for the end of the edit, each one asked about when no
    // modal window is up and no tool runs. Watched from before the editor starts.
    if (!MapFileWatch) {
        MapFileWatch = std::make_unique<DocumentFileWatch>(MapFileContent);
        MapFileWatch->setBusy([this] { return QApplication::activeModalWidget() != nullptr || ToolRunning; });
        connect(MapFileWatch.get(), &DocumentFileWatch::changedOutside, this, &TForm1::MapFileChangedOutside);
    }
    MapFileWatch->start();
    if (QFileInfo(MapFilePath).isFile() && QFileInfo(MapFilePath).suffix().toLower() == u"map"_s &&
        !Prompter::backend().openInShell(MapFilePath))
        Prompter::warn(this, MapFilePath + u"\r\n"_s + u"マップファイルを開けません。"_s);
}

void TForm1::MapFileChangedOutside()
{
    // Declined, the change stays the file's own, and the next save over it asks.
    if (Prompter::ask(this, u"マップファイルを読み込み直しますか。"_s, Prompter::Buttons::YesNo) == Prompter::Answer::Yes)
        LoadMapFile(MapFilePath);
}

void TForm1::mmOpenPicDirClick()
{
    if (QFileInfo(PictureFolder).isDir()) {
        if (!Prompter::backend().openInShell(PictureFolder))
            Prompter::warn(this, PictureFolder + u"\r\n"_s + u"画像フォルダを開けません。"_s);
    } else
        Prompter::warn(this, PictureFolder + u"\r\n"_s + u"画像フォルダが見つかりません。"_s);
}

void TForm1::mmDeleteTempClick()
{
    if (CheckToolRunning())
        return;
    if (Prompter::ask(this, u"バックアップ画像ファイルを消去します。いいですか。"_s, Prompter::Buttons::YesNo)
        != Prompter::Answer::Yes)
        return;
    const QString folder = MapFilePath.isEmpty() ? PictureFolder : MapFolders::pictureFolderOfMap(MapFilePath);

    // A working copy the open map, or any state its undo rings can bring back, names is no backup.
    FileSet inUse;
    auto keep = [&](const QString& name) { inUse.add(ResolvePicturePath(name, false)); };
    for (const MapDocument::Row& row : Doc.rows)
        keep(row[MapDocument::Picture]);
    for (const QString& t : Doc.treasures)
        keep(t);
    inUse.add(MapPicturePath);
    const UndoRing<MapSnapshot>& ring = Undo.ring();
    for (qint64 p = ring.first(); p <= ring.last(); ++p) {
        const MapSnapshot& s = ring.at(p);
        if (s.empty)
            continue;
        for (const MapDocument::Row& row : s.rows)
            keep(row[MapDocument::Picture]);
        inUse.add(s.picturePath);
    }
    auto* forms = AtlasForms::current();
    if (forms && forms->form2) {
        const TForm2& f2 = *forms->form2;
        inUse.add(f2.PicturePath);
        for (qint64 p = f2.PictureUndo.first(); p <= f2.PictureUndo.last(); ++p)
            inUse.add(f2.PictureUndo.at(p));
    }
    if (forms && forms->form3) {
        const UndoRing<TForm3::TreasureSnapshot>& treasures = forms->form3->Undo;
        for (qint64 p = treasures.first(); p <= treasures.last(); ++p)
            for (const QString& name : treasures.at(p).names)
                keep(name);
    }

    QStringList files;
    FileOps::findFiles(folder, u"bmp,jpg"_s, true, files);
    const QDir base(folder);
    int deleted = 0;
    for (qsizetype i = files.size() - 1; i >= 0; --i) {
        const QString relative = base.relativeFilePath(files.at(i));
        const qsizetype underscore = relative.indexOf(u'_');
        if (underscore < 0)
            continue;
        const qsizetype bytePosition = Cp932::byteLength(relative.left(underscore)) + 1;
        // A picture open in a running program is never deleted from under it.
        if ((bytePosition == 3 || bytePosition == 4) && !inUse.contains(files.at(i)) && !FileOps::isHeld(files.at(i))
            && FileOps::deleteFile(files.at(i)))
            ++deleted;
    }
    if (deleted == 0)
        Prompter::inform(this, u"消去するファイルはありません。"_s);
    else
        Prompter::inform(this, u" %1 個のファイルを消去しました。"_s.arg(deleted));
}

// The history menu is rebuilt from the list whenever the list changes.
void TForm1::LoadHistoryMenu()
{
    QString why;
    if (!History.load(HistoryFilePath, &why))
        Prompter::warn(this, u"ファイル履歴を読み込めません。\r\n"_s + HistoryFilePath + u"\r\n"_s + why);
    CopyHistoryMenu();
}

bool TForm1::AddToHistory()
{
    History.add(MapFilePath);
    // Written as it changes: a program ended by a signal or a logout keeps its history.
    SaveHistory();
    return true;
}

void TForm1::SaveHistory()
{
    SettingsKept();
    QString why;
    if (!History.save(HistoryFilePath, &why) && !m_historyFailureTold) {
        m_historyFailureTold = true;
        Prompter::error(this, u"ファイル履歴を保存できません。\r\n"_s + HistoryFilePath + u"\r\n"_s + why);
    }
}

void TForm1::OpenFromHistory(const QString& storedPath)
{
    if (CheckToolRunning())
        return;
    const QString path = ResolveExeRelativePath(ProgramFolder::fromStoredPath(storedPath), false);
    if (!QFileInfo::exists(path)) {
        Prompter::warn(this, u"マップファイルが見つかりません。"_s);
        return;
    }
    if (askSaveBeforeReplacing())
        LoadMapFile(path);
}

void TForm1::ClearHistory()
{
    if (Prompter::ask(this, u"履歴をすべて消去します。いいですか。"_s, Prompter::Buttons::YesNo) == Prompter::Answer::Yes)
        History.clear(HistoryFilePath);
}

void TForm1::CopyHistoryMenu()
{
    for (QMenu* menu : {tbpReOpen, mmReOpen}) {
        menu->clear();
        for (const QString& entry : History.entries()) {
            QString caption = QFileInfo(ProgramFolder::fromStoredPath(entry)).fileName();
            caption.replace(u'&', u"&&"_s);
            QAction* a = menu->addAction(caption, this, [this, entry] { OpenFromHistory(entry); });
            a->setStatusTip(entry);
        }
        if (!History.entries().isEmpty())
            menu->addSeparator();
        if (History.hasClearItem()) {
            QAction* a = menu->addAction(tbpToolSettei->icon(), History.clearCaption(), this, &TForm1::ClearHistory);
            a->setStatusTip(u"履歴の消去 … 履歴をすべて消去します。"_s);
        }
    }
}

