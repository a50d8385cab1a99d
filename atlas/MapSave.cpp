#include "MapSave.h"

#include "FileLock.h"
#include "FileOps.h"
#include "MapFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <optional>

#include <vector>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace MapSave {
namespace {

// Extensions are lower-cased so that the fixed names are the same on every file system.
QString extensionOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix.toLower();
}

QString twoDigits(int n)
{
    return u"%1"_s.arg(n, 2, 10, QLatin1Char('0'));
}

QString parentOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// Only one save or recovery at a time in a picture root, also across programs; the lock goes
// with the process, so a killed save never leaves it held. Where the folder cannot be locked at
// all (a file system without locks) the save goes on unguarded; only a lock that another program
// holds stops it.
class RootLock {
public:
    explicit RootLock(const QString& root)
        : m_lock(root, FileLock::Target::Folder)
    {
    }
    bool held() const { return m_lock.held() || !m_lock.busy(); }

private:
    FileLock m_lock;
};

// The transaction's folder and what lives in it.
struct Places {
    explicit Places(const QString& root)
        : folder(root + u'/' + transactionName())
    {
    }
    QString folder;
    QString journal() const { return folder + u"/journal"_s; }
    QString staged() const { return folder + u"/staged"_s; }
    QString oldAside() const { return folder + u"/old"_s; }           // the map's own folder, set aside
    QString replacedAside() const { return folder + u"/replaced"_s; } // a folder the new name held
};

struct Journal {
    bool swapping = false; // false while staging: nothing outside the transaction changed yet
    QString mapPath, tempMap, oldFolder, newFolder;
    bool oldExisted = false, newExisted = false;

    QByteArray bytes() const
    {
        QJsonObject o;
        o[u"phase"_s] = swapping ? u"swap"_s : u"staging"_s;
        o[u"map"_s] = mapPath;
        o[u"temp"_s] = tempMap;
        o[u"old"_s] = oldFolder;
        o[u"new"_s] = newFolder;
        o[u"oldExisted"_s] = oldExisted;
        o[u"newExisted"_s] = newExisted;
        return QJsonDocument(o).toJson();
    }
    static std::optional<Journal> read(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        if (o.isEmpty())
            return std::nullopt;
        Journal j;
        j.swapping = o[u"phase"_s].toString() == u"swap"_s;
        j.mapPath = o[u"map"_s].toString();
        j.tempMap = o[u"temp"_s].toString();
        j.oldFolder = o[u"old"_s].toString();
        j.newFolder = o[u"new"_s].toString();
        j.oldExisted = o[u"oldExisted"_s].toBool();
        j.newExisted = o[u"newExisted"_s].toBool();
        if (j.tempMap.isEmpty() || (j.swapping && (j.mapPath.isEmpty() || j.newFolder.isEmpty())))
            return std::nullopt;
        return j;
    }
    bool sameFolder() const { return oldFolder == newFolder; }
};

bool writeJournal(const Places& at, const Journal& j, QString* why)
{
    return FileOps::writeFileAtomic(at.journal(), j.bytes(), why);
}

// Undoes whatever part of the swap happened; each step can be repeated after a kill.
bool rollBack(const Places& at, const Journal& j, QString* why)
{
    if (j.swapping) {
        // The new name holds the staged folder once the folder it held before has gone aside.
        const QString& away = j.sameFolder() ? at.oldAside() : at.replacedAside();
        const bool heldBefore = j.sameFolder() ? j.oldExisted : j.newExisted;
        const bool newIsStaged = exists(j.newFolder) && (!heldBefore || exists(away));
        if (newIsStaged && !exists(at.staged()) && !FileOps::renameFolder(j.newFolder, at.staged(), why))
            return false;
        if (exists(at.oldAside()) && !FileOps::renameFolder(at.oldAside(), j.oldFolder, why))
            return false;
        if (exists(at.replacedAside()) && !FileOps::renameFolder(at.replacedAside(), j.newFolder, why))
            return false;
        FileOps::syncFolder(parentOf(j.newFolder));
    }
    return FileOps::deleteFolder(at.staged(), why) && FileOps::deleteFile(j.tempMap, why)
           && FileOps::deleteFolder(at.folder, why);
}

// The map file is in place: only the set-aside folders are left to delete.
bool finish(const Places& at, QString* why)
{
    return FileOps::deleteFolder(at.oldAside(), why) && FileOps::deleteFolder(at.replacedAside(), why)
           && FileOps::deleteFolder(at.folder, why);
}

bool recoverLocked(const Places& at, QString* why)
{
    if (!exists(at.folder))
        return true;
    const std::optional<Journal> j = Journal::read(at.journal());
    if (!j) {
        // Killed before the journal was whole: nothing outside the transaction was touched.
        if (exists(at.journal())) {
            if (why)
                *why = u"保存の途中の記録が読めません。\r\n"_s + QDir::toNativeSeparators(at.journal());
            return false;
        }
        return FileOps::deleteFolder(at.folder, why);
    }
    // The temporary map file goes away only by becoming the map file (or by a finished roll-back).
    if (j->swapping && !exists(j->tempMap))
        return finish(at, why);
    return rollBack(at, *j, why);
}

// Gives the staged folder a link to everything in the old one, so that working copies and other
// files stay with the map; names in `skip` are about to be taken by the map's own pictures.
bool mirror(const QString& from, const QString& to, const QSet<QString>& skip, QString* why)
{
    if (!FileOps::makeFolder(to, why))
        return false;
    const QFileInfoList entries =
        QDir(from).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& e : entries) {
        const QString name = e.fileName();
        if (skip.contains(name))
            continue;
        const QString target = to + u'/' + name;
        if (e.isSymLink()) {
            char buffer[4096];
            const ssize_t n = ::readlink(QFile::encodeName(e.absoluteFilePath()).constData(), buffer, sizeof buffer);
            if (n > 0
                && ::symlink(QByteArray(buffer, int(n)).constData(), QFile::encodeName(target).constData()) != 0) {
                if (why)
                    *why = u"リンクを作れません: "_s + QDir::toNativeSeparators(target);
                return false;
            }
        } else if (e.isDir()) {
            if (!mirror(e.absoluteFilePath(), target, {}, why))
                return false;
        } else if (e.isFile()) {
            if (!FileOps::linkOrCopyFile(e.absoluteFilePath(), target, why))
                return false;
        }
    }
    return true;
}

struct Move {
    QString source; // the picture as the document names it now
    QString target; // its fixed name
    QString* cell;  // where the document names it; null for the map picture
};

// The names whose files are gone, and where they go back after the save.
struct Missing {
    std::vector<std::pair<int, QString>> rows, treasures; // destination or treasure index, name
    QStringList rare;
    QString mapPicture;
    QStringList described;

    void putBack(MapDocument& doc, QString& mapPictureName, int savedRare) const
    {
        for (const auto& [n, name] : rows)
            doc.rows[size_t(n)][MapDocument::Picture] = name;
        for (const auto& [t, name] : treasures)
            doc.treasures[size_t(t)] = name;
        for (int i = 0; i < rare.size() && savedRare + 2 + i < MapDocument::TreasureCount; ++i)
            doc.treasures[size_t(savedRare + 2 + i)] = rare.at(i);
        if (!mapPicture.isEmpty())
            mapPictureName = mapPicture;
    }
};

QString treasureSlot(int t)
{
    return t < 2 ? u"t0"_s + QString::number(t + 1) : u"r"_s + twoDigits(t - 1);
}

// Every picture of the document that exists gets its fixed name; every picture cell is emptied
// first, so a name whose file is missing is dropped (and noted).
std::vector<Move> plan(const Request& r, MapDocument& doc, QString& mapPictureName, int& rare, Missing& missing)
{
    std::vector<Move> moves;
    auto gone = [&](const QString& what, const QString& name) {
        missing.described << what + u" \""_s + barePictureName(name) + u'"';
    };
    for (int n = 0; n < MapDocument::DestinationCount; ++n) {
        QString& c = doc.rows[n][MapDocument::Picture];
        const QString source = MapFolders::resolvePicturePath(r.pictureFolder, c, true);
        if (source.isEmpty() && !barePictureName(c).isEmpty()) {
            missing.rows.emplace_back(n, c);
            gone(u"旅行地"_s + twoDigits(n), c);
        }
        c.clear();
        if (!source.isEmpty())
            moves.push_back({source, twoDigits(n) + extensionOf(source), &c});
    }
    rare = 0;
    for (int t = 0; t < MapDocument::TreasureCount; ++t) {
        const QString& name = doc.treasures[t];
        const QString source = MapFolders::resolvePicturePath(r.pictureFolder, name, true);
        if (source.isEmpty()) {
            if (!barePictureName(name).isEmpty()) {
                if (t < 2)
                    missing.treasures.emplace_back(t, name);
                else
                    missing.rare << name;
                gone(u"宝物画像 "_s + treasureSlot(t), name);
            }
            continue;
        }
        if (t < 2) {
            moves.push_back({source, u"t0"_s + QString::number(t + 1) + extensionOf(source), &doc.treasures[t]});
        } else {
            // The rare treasures close ranks: the k-th one found becomes "r0k" in row k + 2.
            ++rare;
            moves.push_back({source, u"r"_s + twoDigits(rare) + extensionOf(source), &doc.treasures[rare + 1]});
        }
    }
    doc.treasures.fill(QString());
    mapPictureName.clear();
    if (!r.mapPicturePath.isEmpty()) {
        if (QFileInfo(r.mapPicturePath).isFile()) {
            mapPictureName = u"map"_s + extensionOf(r.mapPicturePath);
            moves.push_back({r.mapPicturePath, mapPictureName, nullptr});
        } else {
            missing.mapPicture = QFileInfo(r.mapPicturePath).fileName();
            gone(u"地図画像"_s, missing.mapPicture);
        }
    }
    return moves;
}

QString failed(const QString& what, const QString& why)
{
    return what + u"\r\n"_s + why;
}

} // namespace

QString transactionName()
{
    return u".保存の途中"_s;
}

bool recover(const QString& pictureRoot, QString* error)
{
    const Places at(pictureRoot);
    if (!exists(at.folder))
        return true;
    RootLock lock(pictureRoot);
    return !lock.held() || recoverLocked(at, error);
}

Result save(const Request& r)
{
    Result result;
    result.doc = r.doc;
    const QString root = parentOf(r.newFolder);
    const Places at(root);
    QString why;
    if (!FileOps::makeFolder(root, &why)) {
        result.error = failed(u"画像フォルダを用意できません。"_s, why);
        return result;
    }
    RootLock lock(root);
    if (!lock.held()) {
        result.error = u"ほかのマップエディタが保存しています。しばらくしてから保存して下さい。"_s;
        return result;
    }
    if (!recoverLocked(at, &why)) {
        result.error = failed(u"前回の保存の後始末ができません。"_s, why);
        return result;
    }

    MapDocument doc = r.doc;
    QString mapPictureName;
    int savedRare = 0;
    Missing missing;
    const std::vector<Move> moves = plan(r, doc, mapPictureName, savedRare, missing);

    Journal j;
    j.mapPath = r.mapPath;
    const QFileInfo mapInfo(r.mapPath);
    j.tempMap = mapInfo.absolutePath() + u"/."_s + mapInfo.fileName() + u".保存中"_s;
    j.oldFolder = QDir::cleanPath(r.pictureFolder);
    j.newFolder = QDir::cleanPath(r.newFolder);
    j.oldExisted = QFileInfo(j.oldFolder).isDir();
    j.newExisted = !j.sameFolder() && exists(j.newFolder);

    // Staging: nothing the map or another map uses is touched, so a failure only clears it away.
    auto abandon = [&](const QString& what) {
        QString ignored;
        rollBack(at, j, &ignored);
        result.error = failed(what, why);
        return result;
    };
    if (!FileOps::makeFolder(at.folder, &why) || !writeJournal(at, j, &why))
        return abandon(u"保存の準備ができません。"_s);
    QSet<QString> fixedNames;
    for (const Move& m : moves)
        fixedNames.insert(m.target);
    if (j.oldExisted ? !mirror(j.oldFolder, at.staged(), fixedNames, &why) : !FileOps::makeFolder(at.staged(), &why))
        return abandon(u"画像フォルダを用意できません。"_s);
    for (const Move& m : moves) {
        if (!FileOps::linkOrCopyFile(m.source, at.staged() + u'/' + m.target, &why))
            return abandon(u"画像ファイルをコピーできませんでした。"_s);
        if (m.cell)
            *m.cell = m.target;
    }
    FileOps::syncFolder(at.staged());
    if (!FileOps::writeFileSynced(j.tempMap, r.bytes(doc, mapPictureName), &why))
        return abandon(u"マップファイルを書き込めません。"_s);
    // The file it replaces keeps its permissions.
    FileOps::copyMode(r.mapPath, j.tempMap);
    j.swapping = true;
    if (!writeJournal(at, j, &why))
        return abandon(u"保存の準備ができません。"_s);

    // The swap: until the map file is renamed into place a roll-back gives the old state back.
    const bool swapped = (!j.newExisted || FileOps::renameFolder(j.newFolder, at.replacedAside(), &why))
                         && (!j.oldExisted || FileOps::renameFolder(j.oldFolder, at.oldAside(), &why))
                         && FileOps::renameFolder(at.staged(), j.newFolder, &why);
    if (swapped)
        FileOps::syncFolder(root);
    if (!swapped || !FileOps::renameFile(j.tempMap, r.mapPath, &why)) {
        QString undo;
        if (!rollBack(at, j, &undo))
            why += u"\r\n"_s + undo;
        result.error = failed(u"画像フォルダを入れ替えられません。"_s, why);
        return result;
    }
    FileOps::syncFolder(mapInfo.absolutePath());

    // Saved. What is left is clearing away; what fails here is cleared at the next recovery.
    finish(at, &why);
    result.ok = true;
    result.doc = doc;
    result.mapPictureName = mapPictureName;
    result.missing = missing.described;
    result.kept = doc;
    result.keptMapPictureName = mapPictureName;
    missing.putBack(result.kept, result.keptMapPictureName, savedRare);
    return result;
}

} // namespace MapSave
