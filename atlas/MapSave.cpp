#include "MapSave.h"

#include "FileLock.h"
#include "FileOps.h"
#include "MapFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
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

// The transaction's folder in the picture root; it holds the journal and, for folders in the
// root, the staged and set-aside folders.
struct Places {
    explicit Places(const QString& pictureRoot)
        : root(QDir::cleanPath(pictureRoot))
        , folder(root + u'/' + transactionName())
    {
    }
    QString root, folder;
    QString journal() const { return folder + u"/journal"_s; }
};

// A path as the journal keeps it: relative to the picture root, so that it still leads to its
// place when the program folder has been moved or mounted elsewhere; a path outside the root keeps
// its absolute spelling as well, tried second.
QJsonArray storedPath(const QString& root, const QString& path)
{
    if (path.isEmpty())
        return {};
    const QString relative = QDir(root).relativeFilePath(path);
    QJsonArray stored{relative};
    if (relative == u".."_s || relative.startsWith(u"../"_s) || QDir::isAbsolutePath(relative))
        stored.append(path);
    return stored;
}

// The first spelling that leads to an entry, else the first whose folder is there (where it would
// be made), else the first. A plain string is a journal of an earlier version's absolute path.
QString placeOf(const QString& root, const QJsonValue& value)
{
    QStringList candidates;
    const QJsonArray stored = value.isString() ? QJsonArray{value} : value.toArray();
    for (const QJsonValue& v : stored)
        if (const QString c = v.toString(); !c.isEmpty())
            candidates << QDir::cleanPath(QDir::isAbsolutePath(c) ? c : root + u'/' + c);
    for (const QString& c : candidates)
        if (exists(c))
            return c;
    for (const QString& c : candidates)
        if (QFileInfo(parentOf(c)).isDir())
            return c;
    return candidates.value(0);
}

QJsonObject storedContent(const FileOps::Seen& seen)
{
    return {{u"exists"_s, seen.exists},
            {u"size"_s, QJsonValue(seen.size)},
            {u"sha256"_s, QString::fromLatin1(seen.digest.toHex())}};
}

std::optional<FileOps::Seen> contentFrom(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    FileOps::Seen seen;
    seen.exists = o[u"exists"_s].toBool();
    seen.size = o[u"size"_s].toInteger(-1);
    seen.digest = QByteArray::fromHex(o[u"sha256"_s].toString().toLatin1());
    return seen;
}

struct Journal {
    bool swapping = false; // false while staging: nothing outside the transaction changed yet
    QString mapPath, tempMap, oldFolder, newFolder;
    bool oldExisted = false, newExisted = false; // whether each is set aside by the swap
    // Whether the old and the new picture folder are one folder, decided from the folders at the
    // save, never again from their spellings.
    bool oneFolder = false;
    // Whether the map file goes in with the staged folder (it is kept inside its picture folder).
    bool mapInside = false;
    // Where the staged folder is made and the replaced ones are set aside: beside the folders they
    // stand in for, since renames cannot cross file systems. `work` is a folder of its own beside a
    // linked picture folder, empty when everything lies in the transaction's folder.
    QString staged, oldAside, replacedAside, work;
    // The map file's content before the save (or that there was none) and as saved; none in a
    // journal of an earlier version.
    std::optional<FileOps::Seen> oldMap, newMap;

    QByteArray bytes(const QString& root) const
    {
        QJsonObject o;
        o[u"phase"_s] = swapping ? u"swap"_s : u"staging"_s;
        o[u"map"_s] = storedPath(root, mapPath);
        o[u"temp"_s] = storedPath(root, tempMap);
        o[u"old"_s] = storedPath(root, oldFolder);
        o[u"new"_s] = storedPath(root, newFolder);
        o[u"oldExisted"_s] = oldExisted;
        o[u"newExisted"_s] = newExisted;
        o[u"oneFolder"_s] = oneFolder;
        o[u"mapInside"_s] = mapInside;
        o[u"staged"_s] = storedPath(root, staged);
        o[u"oldAside"_s] = storedPath(root, oldAside);
        o[u"replacedAside"_s] = storedPath(root, replacedAside);
        o[u"work"_s] = storedPath(root, work);
        if (oldMap)
            o[u"oldMap"_s] = storedContent(*oldMap);
        if (newMap)
            o[u"newMap"_s] = storedContent(*newMap);
        return QJsonDocument(o).toJson();
    }
    // Nothing when the journal cannot be read or makes no sense.
    static std::optional<Journal> read(const Places& at)
    {
        QByteArray bytes;
        if (!FileOps::readFile(at.journal(), FileOps::ReadLimit::Settings, bytes))
            return std::nullopt;
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        const QJsonObject o = document.object();
        const QString& root = at.root;
        Journal j;
        j.swapping = o[u"phase"_s].toString() == u"swap"_s;
        j.mapPath = placeOf(root, o[u"map"_s]);
        j.tempMap = placeOf(root, o[u"temp"_s]);
        j.oldFolder = placeOf(root, o[u"old"_s]);
        j.newFolder = placeOf(root, o[u"new"_s]);
        j.oldExisted = o[u"oldExisted"_s].toBool();
        j.newExisted = o[u"newExisted"_s].toBool();
        // A journal of an earlier version kept everything in the transaction's folder.
        auto placeOr = [&](const QString& key, const QString& fallBack) {
            return o.contains(key) ? placeOf(root, o[key]) : fallBack;
        };
        j.staged = placeOr(u"staged"_s, at.folder + u"/staged"_s);
        j.oldAside = placeOr(u"oldAside"_s, at.folder + u"/old"_s);
        j.replacedAside = placeOr(u"replacedAside"_s, at.folder + u"/replaced"_s);
        j.work = placeOf(root, o[u"work"_s]);
        j.oneFolder = o[u"oneFolder"_s].toBool(j.oldFolder == j.newFolder);
        j.mapInside = o[u"mapInside"_s].toBool(j.tempMap.startsWith(j.staged + u'/'));
        j.oldMap = contentFrom(o[u"oldMap"_s]);
        j.newMap = contentFrom(o[u"newMap"_s]);
        if (!document.isObject() || j.tempMap.isEmpty() || j.staged.isEmpty()
            || (j.swapping && (j.mapPath.isEmpty() || j.newFolder.isEmpty())))
            return std::nullopt;
        return j;
    }
};

bool writeJournal(const Places& at, const Journal& j, QString* why)
{
    return FileOps::writeFileAtomic(at.journal(), j.bytes(at.root), why);
}

QString leftoverPrefix()
{
    return u"保存時に削除できなかったフォルダ_"_s;
}

// Renames a folder of the transaction to a visible name in `visibleIn` and notes it.
bool moveToVisible(const QString& path, const QString& visibleIn, QStringList& moved, QString* why)
{
    const QString stamp = QDateTime::currentDateTime().toString(u"yyMMdd-HHmmss"_s);
    QString visible = visibleIn + u'/' + leftoverPrefix() + stamp;
    for (int n = 2; exists(visible); ++n)
        visible = visibleIn + u'/' + leftoverPrefix() + stamp + u'_' + QString::number(n);
    if (!FileOps::renameFolder(path, visible, why))
        return false;
    moved << QDir::toNativeSeparators(visible);
    return true;
}

// Deletes a folder of the transaction; what cannot be deleted is moved to a visible name, so that
// it never stands in the way of a later save.
bool clearAway(const QString& path, const QString& visibleIn, QStringList& leftovers, QString* why)
{
    return !exists(path) || FileOps::deleteFolder(path, why) || moveToVisible(path, visibleIn, leftovers, why);
}

// Undoes whatever part of the swap happened; each step can be repeated after a kill.
bool rollBack(const Places& at, const Journal& j, QString* why)
{
    if (j.swapping) {
        // The new name holds the staged folder once the folder it held before has gone aside.
        const QString& away = j.oneFolder ? j.oldAside : j.replacedAside;
        const bool heldBefore = j.oneFolder ? j.oldExisted : j.newExisted;
        const bool newIsStaged = exists(j.newFolder) && (!heldBefore || exists(away));
        if (newIsStaged && !exists(j.staged) && !FileOps::renameFolder(j.newFolder, j.staged, why))
            return false;
        if (j.oldExisted && exists(j.oldAside) && !FileOps::renameFolder(j.oldAside, j.oldFolder, why))
            return false;
        if (j.newExisted && exists(j.replacedAside) && !FileOps::renameFolder(j.replacedAside, j.newFolder, why))
            return false;
        FileOps::syncFolder(parentOf(j.newFolder));
    }
    // Nothing of the map's lies in the staged folder, so what cannot be deleted is only moved away.
    QStringList ignored;
    return clearAway(j.staged, at.root, ignored, why) && FileOps::deleteFile(j.tempMap, why)
           && (j.work.isEmpty() || clearAway(j.work, parentOf(j.work), ignored, why))
           && clearAway(at.folder, at.root, ignored, why);
}

// The save took effect: only the set-aside folders are left to clear away.
bool finish(const Places& at, const Journal& j, QStringList& leftovers, QString* why)
{
    // Where the map file's bytes stayed the same, the staged folder's rename was the moment, and
    // the temporary file is the map file's twin.
    if (!j.mapInside && exists(j.tempMap)) {
        const bool done =
            exists(j.mapPath) ? FileOps::deleteFile(j.tempMap, why) : FileOps::renameFile(j.tempMap, j.mapPath, why);
        if (!done)
            return false;
    }
    auto visibleFor = [&](const QString& path) {
        return !j.work.isEmpty() && path.startsWith(j.work + u'/') ? parentOf(j.work) : at.root;
    };
    return clearAway(j.oldAside, visibleFor(j.oldAside), leftovers, why)
           && clearAway(j.replacedAside, visibleFor(j.replacedAside), leftovers, why)
           && (j.work.isEmpty() || clearAway(j.work, parentOf(j.work), leftovers, why))
           && clearAway(at.folder, at.root, leftovers, why);
}

// The map file's content as found: none for a missing one, nothing when it cannot be read.
std::optional<FileOps::Seen> contentOf(const QString& path, QString* why)
{
    if (!exists(path))
        return FileOps::Seen();
    QByteArray bytes;
    if (!FileOps::readFile(path, FileOps::ReadLimit::Text, bytes, why))
        return std::nullopt;
    return FileOps::seenOf(bytes);
}

enum class Outcome { Committed, NotCommitted, Undecided };

// Whether a save cut short took effect, decided on positive proof only: the map file as found holds
// the new bytes or the old ones (or is still missing where there was none). Where the save left
// its bytes as they were, the map file cannot tell, and whether the staged folder went in does; so
// it does for a map file that goes in with the staged folder while the staged folder is still
// there. Anything else (the map file missing, on a volume that is not there, unreadable, holding
// other bytes) cannot be decided; *why says which.
Outcome outcomeOf(const Journal& j, QString* why)
{
    if (!j.swapping)
        return Outcome::NotCommitted;
    if (!j.oldMap || !j.newMap) {
        *why = u"保存の途中の記録が古い形式で，保存が済んだかどうかが分かりません。"_s;
        return Outcome::Undecided;
    }
    const bool unchanged = j.oldMap->exists && *j.oldMap == *j.newMap;
    if (!unchanged) {
        QString unreadable;
        const std::optional<FileOps::Seen> found = contentOf(j.mapPath, &unreadable);
        const bool folderThere = QFileInfo(parentOf(j.mapPath)).isDir();
        if (found && *found == *j.newMap)
            return Outcome::Committed;
        if (found && (j.oldMap->exists ? *found == *j.oldMap : !found->exists && folderThere))
            return Outcome::NotCommitted;
        *why = !folderThere     ? u"マップファイルのフォルダが見つかりません。"_s
               : !found         ? unreadable
               : !found->exists ? u"マップファイルが見つかりません。"_s
                                : u"マップファイルが，保存の前とも後とも違う内容になっています。"_s;
    } else {
        *why = u"画像フォルダが見つかりません。"_s;
    }
    if (unchanged || j.mapInside) {
        if (exists(j.staged))
            return Outcome::NotCommitted;
        if (unchanged && QFileInfo(j.newFolder).isDir())
            return Outcome::Committed;
    }
    return Outcome::Undecided;
}

// While it cannot be told whether the save took effect, nothing of it goes for good: its folders
// (the transaction's with the journal, last, and a linked folder's work folder) go whole to where
// the user sees them.
bool putAside(const Places& at, const Journal* j, const QString& reason, SetAside& setAside, QString* why)
{
    setAside.reason = reason;
    if (j) {
        setAside.mapPath = QDir::toNativeSeparators(j->mapPath);
        if (!j->work.isEmpty() && exists(j->work) && !moveToVisible(j->work, parentOf(j->work), setAside.folders, why))
            return false;
    }
    return moveToVisible(at.folder, at.root, setAside.folders, why);
}

bool recoverLocked(const Places& at, QStringList& leftovers, SetAside& setAside, QString* why)
{
    if (!exists(at.folder))
        return true;
    // Killed before the journal was whole: nothing outside the transaction was touched.
    if (!exists(at.journal()))
        return clearAway(at.folder, at.root, leftovers, why);
    const std::optional<Journal> j = Journal::read(at);
    if (!j)
        return putAside(at, nullptr, u"保存の途中の記録が読めないか，壊れています。"_s, setAside, why);
    QString reason;
    switch (outcomeOf(*j, &reason)) {
    case Outcome::Committed:
        return finish(at, *j, leftovers, why);
    case Outcome::NotCommitted:
        return rollBack(at, *j, why);
    case Outcome::Undecided:
        break;
    }
    return putAside(at, &*j, reason, setAside, why);
}

// A name no file in the folder has, for the save's own files beside the user's.
QString freshName(const QString& folder)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (;;) {
        QString name = u".~sv"_s;
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))]);
        if (!exists(folder + u'/' + name))
            return folder + u'/' + name;
    }
}

bool isLink(const QString& path)
{
    return QFileInfo(path).isSymLink();
}

bool inside(const QString& path, const QString& folder)
{
    return path.startsWith(folder + u'/');
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

bool isLeftoverName(const QString& name)
{
    return name.startsWith(leftoverPrefix());
}

QString realFolder(const QString& path)
{
    if (isLink(path)) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            return canonical;
        // A link to nothing yet: the folder it would make.
        return QDir::cleanPath(FileOps::writeTarget(path));
    }
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool sameFolder(const QString& a, const QString& b)
{
    const QString realA = realFolder(a), realB = realFolder(b);
    return realA == realB || FileOps::sameEntry(realA, realB);
}

bool recover(const QString& pictureRoot, QString* error, QStringList* leftovers, SetAside* setAside)
{
    const Places at(pictureRoot);
    if (!exists(at.folder))
        return true;
    RootLock lock(pictureRoot);
    QStringList moved;
    SetAside aside;
    const bool ok = !lock.held() || recoverLocked(at, moved, aside, error);
    if (leftovers)
        *leftovers = moved;
    if (setAside)
        *setAside = aside;
    return ok;
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
    if (!recoverLocked(at, result.leftovers, result.setAside, &why)) {
        result.error = failed(u"前回の保存の後始末ができません。"_s, why);
        return result;
    }

    MapDocument doc = r.doc;
    QString mapPictureName;
    int savedRare = 0;
    Missing missing;
    const std::vector<Move> moves = plan(r, doc, mapPictureName, savedRare, missing);

    Journal j;
    // Links are followed to what they name: the map file to its file, a picture folder to its folder.
    j.mapPath = QDir::cleanPath(FileOps::writeTarget(QFileInfo(r.mapPath).absoluteFilePath()));
    j.oldFolder = realFolder(r.pictureFolder);
    j.newFolder = realFolder(r.newFolder);
    j.oneFolder = sameFolder(r.pictureFolder, r.newFolder);
    // One folder reached by two spellings keeps the name it has: the swap renames it only under that
    // name (a volume that ignores case may still see the other spelling for a moment after it went).
    if (j.oneFolder)
        j.newFolder = j.oldFolder;
    const bool oldLinked = isLink(r.pictureFolder);
    const bool newLinked = isLink(r.newFolder);
    // A linked folder the map leaves keeps its pictures; the folder of the root is set aside.
    j.oldExisted = QFileInfo(j.oldFolder).isDir() && (j.oneFolder || (!oldLinked && !r.keepOldFolder));
    j.newExisted = !j.oneFolder && exists(j.newFolder);
    if (newLinked) {
        j.work = freshName(parentOf(j.newFolder));
        j.staged = j.work + u"/staged"_s;
        j.replacedAside = j.work + u"/replaced"_s;
        j.oldAside = j.oneFolder ? j.work + u"/old"_s : at.folder + u"/old"_s;
    } else {
        j.staged = at.folder + u"/staged"_s;
        j.replacedAside = at.folder + u"/replaced"_s;
        j.oldAside = at.folder + u"/old"_s;
    }
    // A map kept inside its own picture folder goes in with the staged folder.
    const QString mapFolder = QFileInfo(parentOf(j.mapPath)).canonicalFilePath();
    const QString newCanonical = QFileInfo(j.newFolder).canonicalFilePath();
    const bool mapInside = !newCanonical.isEmpty() && (mapFolder == newCanonical || inside(mapFolder, newCanonical));
    j.mapInside = mapInside;
    j.tempMap = mapInside ? j.staged + mapFolder.mid(newCanonical.size()) + u'/' + QFileInfo(j.mapPath).fileName()
                          : freshName(parentOf(j.mapPath));

    // Staging: nothing the map or another map uses is touched, so a failure only clears it away.
    auto abandon = [&](const QString& what) {
        QString ignored;
        rollBack(at, j, &ignored);
        result.error = failed(what, why);
        return result;
    };
    if (!FileOps::makeFolder(at.folder, &why) || !writeJournal(at, j, &why))
        return abandon(u"保存の準備ができません。"_s);
    if (!j.work.isEmpty() && !FileOps::makeFolder(j.work, &why))
        return abandon(u"画像フォルダを用意できません。"_s);
    QSet<QString> fixedNames;
    for (const Move& m : moves)
        fixedNames.insert(m.target);
    const bool mirrored = QFileInfo(j.oldFolder).isDir()
                              ? FileOps::mirrorFolder(j.oldFolder, j.staged, fixedNames, &why)
                              : FileOps::makeFolder(j.staged, &why);
    if (!mirrored)
        return abandon(u"画像フォルダを用意できません。"_s);
    for (const Move& m : moves) {
        if (!FileOps::linkOrCopyFile(m.source, j.staged + u'/' + m.target, &why))
            return abandon(u"画像ファイルをコピーできませんでした。"_s);
        if (m.cell)
            *m.cell = m.target;
    }
    FileOps::syncFolder(j.staged);
    const QByteArray bytes = r.bytes(doc, mapPictureName);
    const bool written =
        mapInside ? FileOps::makeFolder(parentOf(j.tempMap), &why) && FileOps::writeFileAtomic(j.tempMap, bytes, &why)
                  : FileOps::writeFileSynced(j.tempMap, bytes, &why);
    if (!written)
        return abandon(u"マップファイルを書き込めません。"_s);
    // The file it replaces keeps its permissions.
    if (!mapInside)
        FileOps::copyMode(j.mapPath, j.tempMap);
    // What tells a recovery from the map file itself whether the save took effect.
    j.oldMap = FileOps::seen(j.mapPath, FileOps::ReadLimit::Text);
    j.newMap = FileOps::seenOf(bytes);
    j.swapping = true;
    if (!writeJournal(at, j, &why))
        return abandon(u"保存の準備ができません。"_s);

    // The swap: until the map file is in place a roll-back gives the old state back.
    const bool swapped = (!j.newExisted || FileOps::renameFolder(j.newFolder, j.replacedAside, &why))
                         && (!j.oldExisted || FileOps::renameFolder(j.oldFolder, j.oldAside, &why))
                         && FileOps::renameFolder(j.staged, j.newFolder, &why);
    if (swapped)
        FileOps::syncFolder(parentOf(j.newFolder));
    if (!swapped || (!mapInside && !FileOps::renameFile(j.tempMap, j.mapPath, &why))) {
        QString undo;
        if (!rollBack(at, j, &undo))
            why += u"\r\n"_s + undo;
        result.error = failed(u"画像フォルダを入れ替えられません。"_s, why);
        return result;
    }
    FileOps::syncFolder(parentOf(j.mapPath));

    // Saved. What is left is clearing away, which moves aside what it cannot delete.
    if (!finish(at, j, result.leftovers, &why))
        result.leftovers << QDir::toNativeSeparators(at.folder);
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
