#include "MapSave.h"

#include "FileLock.h"
#include "FileOps.h"
#include "MapFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    explicit Places(const QString& root)
        : folder(root + u'/' + transactionName())
    {
    }
    QString folder;
    QString journal() const { return folder + u"/journal"_s; }
};

struct Journal {
    bool swapping = false; // false while staging: nothing outside the transaction changed yet
    QString mapPath, tempMap, oldFolder, newFolder;
    bool oldExisted = false, newExisted = false; // whether each is set aside by the swap
    // Where the staged folder is made and the replaced ones are set aside: beside the folders they
    // stand in for, since renames cannot cross file systems. `work` is a folder of its own beside a
    // linked picture folder, empty when everything lies in the transaction's folder.
    QString staged, oldAside, replacedAside, work;

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
        o[u"staged"_s] = staged;
        o[u"oldAside"_s] = oldAside;
        o[u"replacedAside"_s] = replacedAside;
        o[u"work"_s] = work;
        return QJsonDocument(o).toJson();
    }
    static std::optional<Journal> read(const Places& at)
    {
        QByteArray bytes;
        if (!FileOps::readFile(at.journal(), FileOps::ReadLimit::Settings, bytes))
            return std::nullopt;
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
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
        // A journal of an earlier version kept everything in the transaction's folder.
        j.staged = o[u"staged"_s].toString(at.folder + u"/staged"_s);
        j.oldAside = o[u"oldAside"_s].toString(at.folder + u"/old"_s);
        j.replacedAside = o[u"replacedAside"_s].toString(at.folder + u"/replaced"_s);
        j.work = o[u"work"_s].toString();
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

QString leftoverPrefix()
{
    return u"保存時に削除できなかったフォルダ_"_s;
}

// Deletes a folder of the transaction; what cannot be deleted is renamed to a visible name in
// `visibleIn` and noted, so that it never stands in the way of a later save.
bool clearAway(const QString& path, const QString& visibleIn, QStringList& leftovers, QString* why)
{
    if (!exists(path) || FileOps::deleteFolder(path, why))
        return true;
    const QString stamp = QDateTime::currentDateTime().toString(u"yyMMdd-HHmmss"_s);
    QString visible = visibleIn + u'/' + leftoverPrefix() + stamp;
    for (int n = 2; exists(visible); ++n)
        visible = visibleIn + u'/' + leftoverPrefix() + stamp + u'_' + QString::number(n);
    if (!FileOps::renameFolder(path, visible, why))
        return false;
    leftovers << QDir::toNativeSeparators(visible);
    return true;
}

// Undoes whatever part of the swap happened; each step can be repeated after a kill.
bool rollBack(const Places& at, const Journal& j, QString* why)
{
    if (j.swapping) {
        // The new name holds the staged folder once the folder it held before has gone aside.
        const QString& away = j.sameFolder() ? j.oldAside : j.replacedAside;
        const bool heldBefore = j.sameFolder() ? j.oldExisted : j.newExisted;
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
    return clearAway(j.staged, parentOf(at.folder), ignored, why) && FileOps::deleteFile(j.tempMap, why)
           && (j.work.isEmpty() || clearAway(j.work, parentOf(j.work), ignored, why))
           && clearAway(at.folder, parentOf(at.folder), ignored, why);
}

// The map file is in place: only the set-aside folders are left to clear away.
bool finish(const Places& at, const Journal& j, QStringList& leftovers, QString* why)
{
    const QString root = parentOf(at.folder);
    auto visibleFor = [&](const QString& path) {
        return !j.work.isEmpty() && path.startsWith(j.work + u'/') ? parentOf(j.work) : root;
    };
    return clearAway(j.oldAside, visibleFor(j.oldAside), leftovers, why)
           && clearAway(j.replacedAside, visibleFor(j.replacedAside), leftovers, why)
           && (j.work.isEmpty() || clearAway(j.work, parentOf(j.work), leftovers, why))
           && clearAway(at.folder, root, leftovers, why);
}

bool recoverLocked(const Places& at, QStringList& leftovers, QString* why)
{
    if (!exists(at.folder))
        return true;
    const std::optional<Journal> j = Journal::read(at);
    if (!j) {
        // Killed before the journal was whole: nothing outside the transaction was touched.
        if (exists(at.journal())) {
            if (why)
                *why = u"保存の途中の記録が読めません。\r\n"_s + QDir::toNativeSeparators(at.journal());
            return false;
        }
        return clearAway(at.folder, parentOf(at.folder), leftovers, why);
    }
    // The temporary map file goes away only by becoming the map file (or by a finished roll-back).
    if (j->swapping && !exists(j->tempMap))
        return finish(at, *j, leftovers, why);
    return rollBack(at, *j, why);
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

bool recover(const QString& pictureRoot, QString* error, QStringList* leftovers)
{
    const Places at(pictureRoot);
    if (!exists(at.folder))
        return true;
    RootLock lock(pictureRoot);
    QStringList moved;
    const bool ok = !lock.held() || recoverLocked(at, moved, error);
    if (leftovers)
        *leftovers = moved;
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
    if (!recoverLocked(at, result.leftovers, &why)) {
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
    const bool oldLinked = isLink(r.pictureFolder);
    const bool newLinked = isLink(r.newFolder);
    // A linked folder the map leaves keeps its pictures; the folder of the root is set aside.
    j.oldExisted = QFileInfo(j.oldFolder).isDir() && (j.sameFolder() || (!oldLinked && !r.keepOldFolder));
    j.newExisted = !j.sameFolder() && exists(j.newFolder);
    if (newLinked) {
        j.work = freshName(parentOf(j.newFolder));
        j.staged = j.work + u"/staged"_s;
        j.replacedAside = j.work + u"/replaced"_s;
        j.oldAside = j.sameFolder() ? j.work + u"/old"_s : at.folder + u"/old"_s;
    } else {
        j.staged = at.folder + u"/staged"_s;
        j.replacedAside = at.folder + u"/replaced"_s;
        j.oldAside = at.folder + u"/old"_s;
    }
    // A map kept inside its own picture folder goes in with the staged folder.
    const QString mapFolder = QFileInfo(parentOf(j.mapPath)).canonicalFilePath();
    const QString newCanonical = QFileInfo(j.newFolder).canonicalFilePath();
    const bool mapInside = !newCanonical.isEmpty() && (mapFolder == newCanonical || inside(mapFolder, newCanonical));
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
