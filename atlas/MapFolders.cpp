#include "MapFolders.h"

#include "AsciiCase.h"
#include "FileLock.h"
#include "FileOps.h"
#include "MapDocument.h"
#include "MapSave.h"
#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
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

namespace {

const QString KeptAsideName = u"保存されなかった画像"_s;

// Every entry of a folder, hidden ones too.
constexpr QDir::Filters EveryEntry = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

bool isEmptyOrMissing(const QString& folder)
{
    return QDir(folder).isEmpty(EveryEntry);
}

// Whether a running program holds a file in the folder or below it.
bool holdsHeldFile(const QString& folder)
{
    QStringList files;
    FileOps::findFiles(folder, QString(), true, files);
    for (const QString& file : files)
        if (FileOps::isHeld(file))
            return true;
    return false;
}

} // namespace

bool isReservedName(const QString& mapName)
{
    static const QRegularExpression unsaved(u"^"_s + newMapName() + u"(_[0-9]+)?$"_s);
    static const QRegularExpression aside(u"^"_s + KeptAsideName + u"_[0-9]{6}-[0-9]{6}(_[0-9]+)?$"_s);
    return unsaved.match(mapName).hasMatch() || aside.match(mapName).hasMatch() || mapName == MapSave::transactionName()
           || MapSave::isLeftoverName(mapName);
}

KeptAside::KeptAside(const QString& root)
    : m_root(root)
{
}

bool KeptAside::take(const QString& relative)
{
    if (m_folder.isEmpty()) {
        const QString base =
            m_root + u'/' + KeptAsideName + u'_' + QDateTime::currentDateTime().toString(u"yyMMdd-HHmmss"_s);
        QString folder = base;
        for (int n = 2; QFileInfo::exists(folder) || QFileInfo(folder).isSymLink(); ++n)
            folder = base + u"_%1"_s.arg(n);
        if (!FileOps::makeFolder(folder))
            return false;
        m_folder = folder;
    }
    const QString from = m_root + u'/' + relative, to = m_folder + u'/' + relative;
    const QFileInfo source(from), target(to);
    const bool folder = source.isDir() && !source.isSymLink();
    // A folder some of whose files went ahead of it joins them entry by entry.
    if (folder && target.isDir() && !target.isSymLink()) {
        bool all = true;
        for (const QString& entry : QDir(from).entryList(EveryEntry))
            all = take(relative + u'/' + entry) && all;
        return all && QDir(m_root).rmdir(relative);
    }
    if (target.exists() || target.isSymLink() || !FileOps::makeFolder(target.absolutePath()))
        return false;
    // Within the root, so a rename: nothing is copied, and nothing is lost half way.
    if (!(folder ? FileOps::renameFolder(from, to) : FileOps::renameFile(from, to)))
        return false;
    if (folder) {
        QStringList files;
        FileOps::findFiles(to, QString(), true, files);
        for (const QString& file : files)
            m_taken << QDir(m_folder).relativeFilePath(file);
    } else {
        m_taken << relative;
    }
    return true;
}

bool clearFolder(const QString& folder, QString* why)
{
    if (!holdsHeldFile(folder))
        return FileOps::deleteFolder(folder, why);
    bool ok = true;
    const QFileInfoList entries = QDir(folder).entryInfoList(EveryEntry);
    for (const QFileInfo& entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (entry.isDir() && !entry.isSymLink()) {
            if (!holdsHeldFile(path))
                ok = FileOps::deleteFolder(path, ok ? why : nullptr) && ok;
        } else if (!FileOps::isHeld(path)) {
            ok = FileOps::deleteFile(path, ok ? why : nullptr) && ok;
        }
    }
    return ok;
}

NewMapFolder::NewMapFolder(KeptAside* aside)
{
    const QString root = mapPictureRoot();
    FileOps::makeFolder(root);
    constexpr int MostPrograms = 99;
    for (int n = 1; n <= MostPrograms; ++n) {
        const QString name = n == 1 ? newMapName() : newMapName() + u"_%1"_s.arg(n);
        const QString folder = root + u'/' + name;
        // Once a folder is had, only the ones there are still to be looked at (without making
        // lock files for names nobody used).
        if (!m_path.isEmpty() && !QFileInfo::exists(folder))
            continue;
        // The lock lies beside the folder, since the folder itself is deleted and made again.
        auto lock = std::make_unique<FileLock>(root + u"/."_s + name + u".lock"_s);
        if (lock->busy())
            continue;
        if (!isEmptyOrMissing(folder) && aside && !holdsHeldFile(folder))
            aside->take(name);
        // What could not be moved, or a running program holds, stays where it is.
        if (!isEmptyOrMissing(folder))
            continue;
        if (m_path.isEmpty() && lock->held()) {
            m_path = folder;
            m_lock = std::move(lock);
        } else if (m_path.isEmpty()) {
            m_path = folder;
            return;
        }
    }
    if (!m_path.isEmpty())
        return;
    // Every name is held: one no other running program can have, unguarded.
    m_path = root + u'/' + newMapName() + u"_%1"_s.arg(QCoreApplication::applicationPid() + MostPrograms + 1);
}

NewMapFolder::~NewMapFolder()
{
    // Only the program that held the folder lets it go this way: its user was asked about saving.
    clearFolder(m_path);
}

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
