#include "MapFolders.h"

#include "AsciiCase.h"
#include "FileLock.h"
#include "FileOps.h"
#include "MapDocument.h"
#include "MapSave.h"
#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>

using namespace Qt::StringLiterals;

namespace MapFolders {

QString mapFileFolder() { return ProgramFolder::path() + u"画像と音声/マップファイル"_s; }
QString mapPictureRoot() { return ProgramFolder::path() + u"画像と音声/マップ画像"_s; }
QString scratchFolder() { return ProgramFolder::path() + u"画像と音声/マップちょい置き"_s; }
QString settingsFolder() { return ProgramFolder::path() + u"設定/マップエディタ"_s; }
QString newMapName() { return u"新規マップファイル"_s; }

namespace {

// The map files (".map" in any ASCII case) in the map folder, beside `map` and among `more` whose
// name without extension is `name` (ASCII case ignored with `anyCase`), `map` itself left out.
QStringList mapFilesNamed(const QString& name, bool anyCase, const QFileInfo& map, const QStringList& more = {})
{
    QStringList candidates = more;
    for (const QString& where : {map.absolutePath(), mapFileFolder()})
        for (const QFileInfo& f : QDir(where).entryInfoList(QDir::Files))
            candidates << f.absoluteFilePath();
    const QString self = QDir::cleanPath(map.absoluteFilePath());
    QStringList found;
    for (const QString& c : candidates) {
        const QFileInfo other(c);
        const QString path = QDir::cleanPath(other.absoluteFilePath());
        const bool named =
            anyCase ? AsciiCase::equal(other.completeBaseName(), name) : other.completeBaseName() == name;
        if (named && path != self && other.isFile() && AsciiCase::equal(other.suffix(), u"map")
            && !found.contains(path))
            found << path;
    }
    return found;
}

} // namespace

QString pictureFolderOfMap(const QString& mapPath)
{
    const QFileInfo map(ProgramFolder::fromStoredPath(mapPath));
    const QString name = map.completeBaseName();
    const QString root = mapPictureRoot();
    const QString exact = root + u'/' + name;
    if (QFileInfo(exact).isDir())
        return exact;
    // A folder whose exact name is another map's belongs to that map, never to this one.
    const QStringList found = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& f : found)
        if (AsciiCase::equal(f, name) && mapFilesNamed(f, false, map).isEmpty())
            return root + u'/' + f;
    return exact;
}

QString resolvePicturePath(const QString& pictureFolder, const QString& name, bool mustExist)
{
    const QString bare = barePictureName(name);
    if (bare.isEmpty())
        return QString();
    const QString path = pictureFolder + u'/' + QFileInfo(ProgramFolder::fromStoredPath(bare)).fileName();
    if (mustExist && !QFileInfo(path).isFile())
        return QString();
    return path;
}

bool isReservedName(const QString& mapName)
{
    static const QRegularExpression unsaved(u"^"_s + newMapName() + u"(_[0-9]+)?$"_s);
    return unsaved.match(mapName).hasMatch() || mapName == MapSave::transactionName()
           || MapSave::isLeftoverName(mapName);
}

NewMapFolder::NewMapFolder()
{
    const QString root = mapPictureRoot();
    FileOps::makeFolder(root);
    constexpr int MostPrograms = 99;
    for (int n = 1; n <= MostPrograms; ++n) {
        const QString name = n == 1 ? newMapName() : newMapName() + u"_%1"_s.arg(n);
        // The lock lies beside the folder, since the folder itself is deleted and made again.
        auto lock = std::make_unique<FileLock>(root + u"/."_s + name + u".lock"_s);
        if (lock->held()) {
            m_path = root + u'/' + name;
            m_lock = std::move(lock);
            return;
        }
        if (!lock->busy()) {
            m_path = root + u'/' + newMapName();
            return;
        }
    }
    // Every name is held: one no other running program can have, unguarded.
    m_path = root + u'/' + newMapName() + u"_%1"_s.arg(QCoreApplication::applicationPid() + MostPrograms + 1);
}

NewMapFolder::~NewMapFolder() = default;

namespace {

// What the folder is within its picture root: its name, ASCII case folded as the map-folder match
// compares, never the path that led to it, so that two paths to one root (a linked or bind-mounted
// program folder, a map named in another case on a volume that ignores case) find one lock.
QString lockKey(const QString& pictureFolder)
{
    return AsciiCase::lower(QFileInfo(QDir::cleanPath(pictureFolder)).fileName());
}

QString rootOf(const QString& pictureFolder)
{
    return QFileInfo(QDir::cleanPath(QFileInfo(pictureFolder).absoluteFilePath())).absolutePath();
}

constexpr char LockPrefix[] = ".~lk";

} // namespace

MapLock::MapLock(const QString& pictureFolder)
    : m_root(rootOf(pictureFolder))
    , m_key(lockKey(pictureFolder))
{
    FileOps::makeFolder(m_root);
    // A digest keeps the name short and plain whatever the folder's name is.
    const QByteArray digest = QCryptographicHash::hash(m_key.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    m_lock = std::make_unique<FileLock>(m_root + u'/' + QLatin1StringView(LockPrefix) + QString::fromLatin1(digest));
}

MapLock::~MapLock()
{
    // The lock file goes with the map; one a killed program left is swept at the next start.
    if (m_lock)
        m_lock->removeFile();
}

bool MapLock::held() const
{
    return m_lock->held() || !m_lock->busy();
}

bool MapLock::isFor(const QString& pictureFolder) const
{
    if (lockKey(pictureFolder) != m_key)
        return false;
    const QString root = rootOf(pictureFolder);
    return root == m_root || FileOps::sameEntry(root, m_root);
}

void removeAbandonedLocks(const QString& pictureRoot)
{
    FileOps::removeAbandonedClaims(
        pictureRoot, [](const char* name) { return std::strncmp(name, LockPrefix, sizeof LockPrefix - 1) == 0; });
}

QString otherMapOfFolder(const QString& folder, const QString& target, const QStringList& history)
{
    const QString want = QDir::cleanPath(folder);
    QStringList remembered;
    for (const QString& stored : history)
        remembered << ProgramFolder::resolveExeRelativePath(ProgramFolder::fromStoredPath(stored), false);
    const QFileInfo map(ProgramFolder::fromStoredPath(target));
    for (const QString& other : mapFilesNamed(QFileInfo(want).fileName(), true, map, remembered))
        if (QDir::cleanPath(pictureFolderOfMap(other)) == want)
            return other;
    return QString();
}

} // namespace MapFolders
