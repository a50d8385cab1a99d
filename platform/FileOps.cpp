#include "FileOps.h"

#include "AsciiCase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace FileOps {

namespace {

bool fail(QString* error, const QString& what, const QString& path, const QString& reason)
{
    if (error)
        *error = u"%1: %2 (%3)"_s.arg(what, QDir::toNativeSeparators(path), reason);
    return false;
}

bool statPath(const QString& path, struct stat& info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

// A missing file that is still a (dangling) link is something to delete, not nothing.
bool existsOrIsLink(const QFileInfo& info)
{
    return info.exists() || info.isSymLink();
}

bool sameFile(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    if (!canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath())
        return true;
    // Catches hard links and other spellings that canonical paths keep apart (case-insensitive
    // volumes).
    struct stat infoA, infoB;
    return statPath(a, infoA) && statPath(b, infoB) && infoA.st_dev == infoB.st_dev &&
           infoA.st_ino == infoB.st_ino;
}

FaultHook& faultHook()
{
    static FaultHook hook;
    return hook;
}

bool faulted(Op op, const QString& path)
{
    const FaultHook& hook = faultHook();
    return hook && hook(op, path);
}

QString injectedReason()
{
    return u"ディスクに空きがありません"_s;
}

// The causes a user can meet, in the programs' words; the rare rest as the system says them.
QString systemReason(int code = errno)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return u"ディスクに空きがありません"_s;
    case EACCES:
    case EPERM:
        return u"書き込みが許されていません"_s;
    case EROFS:
        return u"読み取り専用の場所です"_s;
    case EIO:
        return u"ディスクの読み書きに失敗しました"_s;
    case EFBIG:
        return u"ファイルが大きすぎます"_s;
    // Where a file is made or written, a name that is not there is its folder.
    case ENOENT:
        return u"フォルダがありません"_s;
    case ENOTDIR:
        return u"フォルダでないものがパスの途中にあります"_s;
    case EISDIR:
        return u"フォルダです"_s;
    case ENAMETOOLONG:
        return u"名前が長すぎます"_s;
    case ELOOP:
        return u"リンクが循環しています"_s;
    case EEXIST:
    case ENOTEMPTY:
        return u"既にあります"_s;
    case EBUSY:
    case ETXTBSY:
        return u"使用中です"_s;
    case EXDEV:
        return u"別のドライブには移せません"_s;
    case EMFILE:
    case ENFILE:
        return u"開いているファイルが多すぎます"_s;
    case ENOMEM:
        return u"メモリが足りません"_s;
    case EMLINK:
        return u"リンクが多すぎます"_s;
    default:
        return QString::fromLocal8Bit(std::strerror(code));
    }
}

bool writeAll(int fd, const char* data, qint64 size, const QString& path, QString* reason)
{
    if (faulted(Op::Write, path)) {
        // Half gets written, as on a disk that fills up part way.
        [[maybe_unused]] const ssize_t ignored = ::write(fd, data, size_t(size / 2));
        *reason = injectedReason();
        return false;
    }
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size_t(std::min<qint64>(size, 1 << 20)));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            *reason = done < 0 ? systemReason() : injectedReason();
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}

// Temporary files of our own writes: short, so that a name of 255 bytes can still be written, and
// locked while they are written, so that a leftover of a killed write is told from a live one.
constexpr char kTempPrefix[] = ".~wr";
constexpr int kTempNameLength = 10; // the prefix and mkstemp's six characters

QByteArray bytesOf(const QString& path)
{
    return QFile::encodeName(path);
}

QString pathOf(const QByteArray& bytes)
{
    return QFile::decodeName(bytes);
}

QByteArray folderOfBytes(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArray(".");
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

bool isTempName(const char* name)
{
    return std::strlen(name) == size_t(kTempNameLength) && std::strncmp(name, kTempPrefix, sizeof kTempPrefix - 1) == 0;
}

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool tryLock(int fd)
{
    int result;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

// Follows links to the file a write through `path` would reach, also when that file is missing.
QByteArray resolvedBytes(QByteArray path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        char buffer[4096];
        const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer);
        if (n <= 0 || size_t(n) >= sizeof buffer)
            return path;
        const QByteArray target(buffer, n);
        path = target.startsWith('/') ? target : folderOfBytes(path) + '/' + target;
    }
    return path;
}

bool mayReplaceBytes(const QByteArray& path)
{
    struct stat info;
    if (::lstat(path.constData(), &info) != 0)
        return errno == ENOENT;
    if (S_ISLNK(info.st_mode) && ::stat(path.constData(), &info) != 0)
        return true;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(path.constData(), W_OK) == 0;
}

// Deletes the regular files of the folder with a wanted name that nobody holds a lock on (their
// writer or claimant is gone): deleted under the lock, and only while the name still leads to the
// file locked, so that whoever takes the name at this moment sees it gone and makes it again.
void removeUnlockedFiles(const QByteArray& folder, const std::function<bool(const char* name)>& wanted,
                         bool emptyOnly)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!wanted(entry->d_name))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info, named;
        if (tryLock(fd) && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (!emptyOnly || info.st_size == 0)
            && ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameInode(info, named))
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// Deletes the temporary files in the folder whose writers are gone.
void removeDeadTempFiles(const QByteArray& folder)
{
    removeUnlockedFiles(folder, isTempName, false);
}

// A new locked temporary file in the folder; -1 with *reason set on failure.
int makeTempFile(const QByteArray& folder, QByteArray& name, QString* reason)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        name = folder + '/' + kTempPrefix + "XXXXXX";
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            *reason = systemReason();
            return -1;
        }
        // Another program's clean-up may have taken it between its making and the lock.
        struct stat info;
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    *reason = u"一時ファイルを作れません"_s;
    return -1;
}

// Fills a new temporary file beside the target, syncs and closes it (each step checked), then
// renames it over the target. A failure at any step removes the temporary file and leaves the
// target as it was. A link as target is written through to the file it names; a file the user
// may not write is never replaced.
bool writeThroughTemp(const QString& target, QString* reason, const std::function<bool(int, QString*)>& fill)
{
    const QByteArray path = resolvedBytes(bytesOf(target));
    if (!mayReplaceBytes(path)) {
        *reason = u"書き込みが禁止されています"_s;
        return false;
    }
    const QByteArray folder = folderOfBytes(path);
    removeDeadTempFiles(folder);
    QByteArray name;
    const int fd = makeTempFile(folder, name, reason);
    if (fd < 0)
        return false;
    struct stat old;
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    const mode_t mode = ::stat(path.constData(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~umaskNow);
    ::fchmod(fd, mode);

    bool ok = fill(fd, reason);
    if (ok && ::fsync(fd) != 0) {
        *reason = systemReason();
        ok = false;
    }
    if (ok && faulted(Op::Rename, pathOf(path))) {
        *reason = injectedReason();
        ok = false;
    }
    // Renamed while still locked, so that no clean-up takes it for a leftover in between.
    if (ok && ::rename(name.constData(), path.constData()) != 0) {
        *reason = systemReason();
        ok = false;
    }
    if (!ok)
        ::unlink(name.constData());
    // The data was synced before the rename, so a failing close loses nothing.
    ::close(fd);
    if (!ok)
        return false;
    syncFolder(pathOf(folder));
    return true;
}

// Removes a folder and everything in it without following any link. Folders inside that the user
// made read-only are opened up first, as they are going anyway. On failure *failedAt names the
// first entry that stayed and *failedCode why.
bool removeTree(int parentFd, const QByteArray& name, const QByteArray& shownPath, QByteArray* failedAt,
                int* failedCode)
{
    int fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES && ::fchmodat(parentFd, name.constData(), S_IRWXU, 0) == 0)
        fd = ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *failedCode = errno;
        *failedAt = shownPath;
        return false;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        *failedCode = errno;
        ::close(fd);
        *failedAt = shownPath;
        return false;
    }
    bool ok = true;
    bool opened = false;
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.append(QByteArray(entry->d_name));
    }
    for (const QByteArray& child : names) {
        struct stat info;
        if (::fstatat(fd, child.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QByteArray childPath = shownPath + '/' + child;
        if (S_ISDIR(info.st_mode)) {
            if (!opened && ::faccessat(fd, ".", W_OK, 0) != 0) {
                struct stat self;
                if (::fstat(fd, &self) == 0)
                    ::fchmod(fd, self.st_mode | S_IRWXU);
                opened = true;
            }
            if (!removeTree(fd, child, childPath, failedAt, failedCode))
                ok = false;
            continue;
        }
        if (::unlinkat(fd, child.constData(), 0) == 0)
            continue;
        int code = errno;
        if ((code == EACCES || code == EPERM) && !opened) {
            struct stat self;
            if (::fstat(fd, &self) == 0)
                ::fchmod(fd, self.st_mode | S_IRWXU);
            opened = true;
            if (::unlinkat(fd, child.constData(), 0) == 0)
                continue;
            code = errno;
        }
        if (ok) {
            *failedAt = childPath;
            *failedCode = code;
        }
        ok = false;
    }
    ::closedir(dir);
    if (ok && ::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) != 0) {
        *failedCode = errno;
        *failedAt = shownPath;
        ok = false;
    }
    return ok;
}

// Copies a file between open folders by raw names, keeping its mode; for file systems without
// hard links.
bool copyAt(int fromFd, int toFd, const char* name, mode_t mode, const QString& shown, QString* reason)
{
    const int in = ::openat(fromFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) {
        *reason = systemReason();
        return false;
    }
    const int out = ::openat(toFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
    if (out < 0) {
        *reason = systemReason();
        ::close(in);
        return false;
    }
    bool ok = true;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *reason = systemReason();
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (!writeAll(out, buffer.constData(), got, shown, reason)) {
            ok = false;
            break;
        }
    }
    if (ok && ::fsync(out) != 0) {
        *reason = systemReason();
        ok = false;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        *reason = systemReason();
        ok = false;
    }
    if (!ok)
        ::unlinkat(toFd, name, 0);
    return ok;
}

bool mirrorAt(int fromFd, int toFd, const QByteArray& shownFrom, const QSet<QByteArray>& skip, QString* error)
{
    const int listFd = ::dup(fromFd);
    DIR* dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return fail(error, u"フォルダを読めません"_s, pathOf(shownFrom), systemReason());
    }
    QList<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.append(QByteArray(entry->d_name));
    }
    ::closedir(dir);
    for (const QByteArray& name : names) {
        if (skip.contains(name))
            continue;
        const QByteArray shown = shownFrom + '/' + name;
        struct stat info;
        if (::fstatat(fromFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        QString why;
        if (S_ISREG(info.st_mode)) {
            if (isTempName(name.constData())) {
                const int fd = ::openat(fromFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
                const bool dead = fd >= 0 && tryLock(fd);
                if (fd >= 0)
                    ::close(fd);
                if (dead)
                    continue; // a killed write's leftover goes with the old folder
            }
            if (faulted(Op::Link, pathOf(shown)))
                return fail(error, u"リンクできません"_s, pathOf(shown), injectedReason());
            if (::linkat(fromFd, name.constData(), toFd, name.constData(), 0) == 0)
                continue;
            const int code = errno;
            if (code == EEXIST || code == ENOSPC || code == EDQUOT)
                return fail(error, u"リンクできません"_s, pathOf(shown), systemReason(code));
            if (!copyAt(fromFd, toFd, name.constData(), info.st_mode, pathOf(shown), &why))
                return fail(error, u"コピーできません"_s, pathOf(shown), why);
        } else if (S_ISLNK(info.st_mode)) {
            char buffer[4096];
            const ssize_t n = ::readlinkat(fromFd, name.constData(), buffer, sizeof buffer - 1);
            if (n < 0)
                return fail(error, u"リンクを読めません"_s, pathOf(shown), systemReason());
            buffer[n] = '\0';
            if (::symlinkat(buffer, toFd, name.constData()) != 0)
                return fail(error, u"リンクを作れません"_s, pathOf(shown), systemReason());
        } else if (S_ISDIR(info.st_mode)) {
            if (faulted(Op::MakeFolder, pathOf(shown)))
                return fail(error, u"フォルダを作れません"_s, pathOf(shown), injectedReason());
            if (::mkdirat(toFd, name.constData(), S_IRWXU) != 0)
                return fail(error, u"フォルダを作れません"_s, pathOf(shown), systemReason());
            const int subFrom = ::openat(fromFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (subFrom < 0)
                return fail(error, u"フォルダを読めません"_s, pathOf(shown), systemReason());
            const int subTo = ::openat(toFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const bool ok = subTo >= 0 && mirrorAt(subFrom, subTo, shown, {}, error);
            if (subTo < 0)
                fail(error, u"フォルダを作れません"_s, pathOf(shown), systemReason());
            // The copy gets the folder's mode once it is filled (a read-only folder included).
            if (ok)
                ::fchmod(subTo, info.st_mode & 07777);
            ::close(subFrom);
            if (subTo >= 0)
                ::close(subTo);
            if (!ok)
                return false;
        } else if (::mknodat(toFd, name.constData(), info.st_mode, info.st_rdev) != 0) {
            // Pipes and sockets are made again; a device only where the user may.
            return fail(error, u"コピーできません"_s, pathOf(shown), systemReason());
        }
    }
    return true;
}

QString normalised(const QString& path)
{
    QString result = path;
    result.replace(u'\\', u'/');
    while (result.endsWith(u'/'))
        result.chop(1);
    return result;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString lowerExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

// An empty list of extensions takes every file.
void collect(const QString& folder, const QStringList& wanted, bool recurse, QStringList& list)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            // A linked folder may lead back up the tree.
            if (recurse && !entry.isSymLink())
                collect(joined(folder, name), wanted, recurse, list);
        } else if (entry.isFile()) {
            if (wanted.isEmpty() || wanted.contains(lowerExtension(name)))
                list.append(joined(folder, name));
        }
    }
}

// Opens a user's file to read it: only a regular file, and without waiting, since the open of a
// pipe would wait for a writer for ever. -1 with *reason otherwise.
int openToRead(const QString& path, struct stat& info, QString* reason)
{
    const int fd = ::open(bytesOf(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        *reason = code == ENOENT                    ? u"ファイルがありません"_s
                  : code == EACCES || code == EPERM ? u"読み取りが許されていません"_s
                                                    : systemReason(code);
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        *reason = systemReason();
        ::close(fd);
        return -1;
    }
    if (S_ISREG(info.st_mode))
        return fd;
    *reason = S_ISDIR(info.st_mode) ? u"フォルダです"_s : u"通常のファイルではありません"_s;
    ::close(fd);
    return -1;
}

// Reads from fd into bytes until the end or until bytes holds `most` bytes; the size known
// beforehand is only where the buffer starts, since a file may grow or shrink while it is read.
bool readUpTo(int fd, qint64 expected, qint64 most, QByteArray& bytes, QString* reason)
{
    bytes.resize(qsizetype(std::min(expected, most)));
    qint64 done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done >= most)
                break;
            bytes.resize(qsizetype(std::min<qint64>(most, std::max<qint64>(done * 2, 65536))));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0) {
            *reason = systemReason();
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        done += n;
    }
    bytes.resize(qsizetype(done));
    return true;
}

bool failRead(QString* error, QString* reasonOut, const QString& path, const QString& reason)
{
    if (reasonOut)
        *reasonOut = reason;
    return fail(error, u"読み込めません"_s, path, reason);
}

} // namespace

bool copyFile(const QString& from, const QString& to, QString* error)
{
    const QString what = u"コピーできません"_s;
    const QFileInfo source(from);
    if (!source.exists())
        return fail(error, what, from, u"ファイルがありません"_s);
    if (!source.isFile())
        return fail(error, what, from, u"ファイルではありません"_s);
    if (sameFile(from, to))
        return fail(error, what, to, u"コピー元と同じファイルです"_s);
    if (faulted(Op::Copy, to))
        return fail(error, what, to, injectedReason());

    QString why;
    struct stat info;
    // What stands at the name when it is opened may no longer be the file just looked at.
    const int in = openToRead(from, info, &why);
    if (in < 0)
        return fail(error, what, from, why);
    // Closed however the write ends (a test's fault hook may throw through it).
    const auto closeIn = qScopeGuard([in] { ::close(in); });
    const bool ok = writeThroughTemp(to, &why, [&](int fd, QString* reason) {
        // A file that grows or shrinks while it is read gives no faithful copy.
        const qint64 expected = qint64(info.st_size);
        qint64 copied = 0;
        QByteArray buffer(1 << 16, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                *reason = systemReason();
                return false;
            }
            if (got == 0)
                break;
            if (!writeAll(fd, buffer.constData(), got, to, reason))
                return false;
            copied += got;
            if (copied > expected)
                break;
        }
        if (copied != expected)
            *reason = u"コピーの途中でファイルの大きさが変わりました"_s;
        return copied == expected;
    });
    return ok || fail(error, what, to, why);
}

bool deleteFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!existsOrIsLink(info))
        return true;
    if (info.isDir() && !info.isSymLink())
        return fail(error, u"削除できません"_s, path, u"フォルダです"_s);
    if (faulted(Op::Delete, path))
        return fail(error, u"削除できません"_s, path, injectedReason());
    if (::unlink(bytesOf(path).constData()) != 0 && errno != ENOENT)
        return fail(error, u"削除できません"_s, path, systemReason());
    return true;
}

bool deleteFolder(const QString& path, QString* error)
{
    const QByteArray bytes = bytesOf(path);
    struct stat info;
    if (::lstat(bytes.constData(), &info) != 0)
        return errno == ENOENT || fail(error, u"フォルダを削除できません"_s, path, systemReason());
    if (faulted(Op::DeleteFolder, path))
        return fail(error, u"フォルダを削除できません"_s, path, injectedReason());
    // A link goes, never what it names.
    if (S_ISLNK(info.st_mode))
        return ::unlink(bytes.constData()) == 0 || fail(error, u"フォルダを削除できません"_s, path, systemReason());
    if (!S_ISDIR(info.st_mode))
        return fail(error, u"フォルダを削除できません"_s, path, u"フォルダではありません"_s);
    QByteArray failedAt;
    int failedCode = 0;
    if (!removeTree(AT_FDCWD, bytes, bytes, &failedAt, &failedCode))
        return fail(error, u"フォルダを削除できません"_s, path,
                    u"%1 が消せません: %2"_s.arg(QDir::toNativeSeparators(pathOf(failedAt)), systemReason(failedCode)));
    return true;
}

bool renameFolder(const QString& from, const QString& to, QString* error)
{
    const QString what = u"フォルダ名を変更できません"_s;
    if (!QFileInfo(from).isDir())
        return fail(error, what, from, u"フォルダがありません"_s);
    if (existsOrIsLink(QFileInfo(to)))
        return fail(error, what, to, u"既にあります"_s);
    if (faulted(Op::Rename, to))
        return fail(error, what, from, injectedReason());
    if (::rename(bytesOf(from).constData(), bytesOf(to).constData()) != 0)
        return fail(error, what, from, u"%1 にできません: %2"_s.arg(QDir::toNativeSeparators(to), systemReason()));
    return true;
}

bool makeFolder(const QString& path, QString* error)
{
    if (QFileInfo(path).isDir())
        return true;
    const QString what = u"フォルダを作れません"_s;
    if (faulted(Op::MakeFolder, path))
        return fail(error, what, path, injectedReason());
    // Each missing folder on the way is made in turn, so that the cause (a full disk, a read-only
    // volume, a file in the way) is the system's own for the step that failed.
    const QByteArray bytes = bytesOf(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    for (qsizetype end = 1; end <= bytes.size(); ++end) {
        if (end < bytes.size() && bytes.at(end) != '/')
            continue;
        const QByteArray step = bytes.left(end);
        struct stat info;
        if (::stat(step.constData(), &info) == 0) {
            if (S_ISDIR(info.st_mode))
                continue;
            return fail(error, what, path, u"同名のファイルがあります"_s);
        }
        if (::mkdir(step.constData(), 0777) == 0
            || (errno == EEXIST && ::stat(step.constData(), &info) == 0 && S_ISDIR(info.st_mode)))
            continue;
        return fail(error, what, path, systemReason());
    }
    return true;
}

bool writeKeptFile(const QString& path, const QByteArray& bytes, QString* error)
{
    return makeFolder(QFileInfo(path).absolutePath(), error) && writeFileAtomic(path, bytes, error);
}

bool writeFileAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    QString why;
    const bool ok = writeThroughTemp(path, &why, [&](int fd, QString* reason) {
        return writeAll(fd, bytes.constData(), bytes.size(), path, reason);
    });
    return ok || fail(error, u"書き込めません"_s, path, why);
}

bool writeFileSynced(const QString& path, const QByteArray& bytes, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(error, u"書き込めません"_s, path, systemReason());
    QString why;
    bool ok = writeAll(fd, bytes.constData(), bytes.size(), path, &why);
    if (ok && ::fsync(fd) != 0) {
        why = systemReason();
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        why = systemReason();
        ok = false;
    }
    return ok || fail(error, u"書き込めません"_s, path, why);
}

void copyMode(const QString& from, const QString& to)
{
    struct stat info;
    if (statPath(from, info))
        ::chmod(QFile::encodeName(to).constData(), info.st_mode & 07777);
}

bool mayReplace(const QString& path)
{
    return mayReplaceBytes(bytesOf(path));
}

bool renameFile(const QString& from, const QString& to, QString* error)
{
    const QString what = u"名前を変更できません"_s;
    if (faulted(Op::Rename, to))
        return fail(error, what, from, injectedReason());
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return fail(error, what, from, systemReason());
    return true;
}

bool linkOrCopyFile(const QString& from, const QString& to, QString* error)
{
    if (faulted(Op::Link, to))
        return fail(error, u"リンクできません"_s, to, injectedReason());
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    const int code = errno;
    if (code == EEXIST || code == ENOENT || code == ENOSPC || code == EDQUOT)
        return fail(error, u"リンクできません"_s, to, systemReason(code));
    // No hard links here (another file system, FAT, too many links): a copy holds the same bytes.
    return copyFile(from, to, error);
}

void syncFolder(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool mirrorFolder(const QString& from, const QString& to, const QSet<QString>& skip, QString* error)
{
    if (!makeFolder(to, error))
        return false;
    const int fromFd = ::open(bytesOf(from).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fromFd < 0)
        return fail(error, u"フォルダを読めません"_s, from, systemReason());
    const int toFd = ::open(bytesOf(to).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (toFd < 0) {
        ::close(fromFd);
        return fail(error, u"フォルダを読めません"_s, to, systemReason());
    }
    QSet<QByteArray> skipBytes;
    for (const QString& name : skip)
        skipBytes.insert(bytesOf(name));
    const bool ok = mirrorAt(fromFd, toFd, bytesOf(from), skipBytes, error);
    ::close(fromFd);
    ::close(toFd);
    return ok;
}

void removeLeftovers(const QString& folder)
{
    removeDeadTempFiles(bytesOf(folder));
}

QString writeTarget(const QString& path)
{
    return pathOf(resolvedBytes(bytesOf(path)));
}

FileHold::FileHold(FileHold&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_claim(std::exchange(other.m_claim, false))
    , m_path(std::move(other.m_path))
{
}

FileHold& FileHold::operator=(FileHold&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
        m_claim = std::exchange(other.m_claim, false);
        m_path = std::move(other.m_path);
    }
    return *this;
}

FileHold::Claim FileHold::claim(const QString& path, QString* error)
{
    release();
    const QByteArray name = bytesOf(path);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0) {
            if (errno == EEXIST)
                return Claim::Taken;
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(errno));
            return Claim::Failed;
        }
        // A clean-up in another program may take the new file for a leftover before it is locked;
        // it deletes only under the lock, so a file still linked once locked is ours.
        struct stat info;
        if (!tryLock(fd)) {
            ::close(fd);
            return Claim::Taken;
        }
        if (::fstat(fd, &info) == 0 && info.st_nlink > 0) {
            m_fd = fd;
            m_claim = true;
            m_path = name;
            return Claim::Made;
        }
        ::close(fd);
    }
    return Claim::Taken;
}

void FileHold::hold(const QString& path)
{
    release();
    m_path = bytesOf(path);
    m_fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Held also when another program's page holds the lock: the file is still told from another.
    if (m_fd >= 0)
        tryLock(m_fd);
}

void FileHold::release()
{
    if (m_fd < 0)
        return;
    struct stat mine, named;
    // Only the empty file the page made goes: not one written into, nor another put in its place.
    if (m_claim && ::fstat(m_fd, &mine) == 0 && mine.st_size == 0 && ::lstat(m_path.constData(), &named) == 0
        && sameInode(mine, named))
        ::unlink(m_path.constData());
    ::close(m_fd);
    m_fd = -1;
    m_claim = false;
    m_path.clear();
}

bool FileHold::replacedAt(const QString& path) const
{
    struct stat mine, named;
    return m_fd >= 0 && ::fstat(m_fd, &mine) == 0 && ::stat(bytesOf(path).constData(), &named) == 0
           && !sameInode(mine, named);
}

bool isHeld(const QString& path)
{
    const int fd = ::open(bytesOf(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool free = tryLock(fd);
    ::close(fd);
    return !free;
}

void removeAbandonedClaims(const QString& folder, const std::function<bool(const char* name)>& isClaimName)
{
    removeUnlockedFiles(bytesOf(folder), isClaimName, true);
}

void setFaultHook(FaultHook hook)
{
    faultHook() = std::move(hook);
}

Stamp stamp(const QString& path)
{
    Stamp result;
    struct stat info;
    if (!statPath(path, info))
        return result;
    result.exists = true;
    result.size = qint64(info.st_size);
    result.mtimeNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
    return result;
}

void findFiles(const QString& folder, const QString& extensions, bool recurse, QStringList& list)
{
    QStringList wanted;
    for (const QString& entry : extensions.split(u',', Qt::SkipEmptyParts)) {
        const QString extension = entry.trimmed().toLower();
        if (!extension.isEmpty())
            wanted.append(extension);
    }
    // A text like "," asks for something, just nothing any file has.
    if (wanted.isEmpty() && !extensions.trimmed().isEmpty())
        return;
    collect(folder, wanted, recurse, list);
}

bool samePathIgnoringCase(const QString& a, const QString& b)
{
    return AsciiCase::equal(normalised(a), normalised(b));
}

QString listedPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return QString();
    const QStringList names = canonical.split(u'/', Qt::SkipEmptyParts);
    QString listed;
    for (const QString& name : names) {
        const QStringList entries = QDir(listed.isEmpty() ? u"/"_s : listed)
                                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QString spelt = name;
        if (!entries.contains(name)) {
            QStringList alike;
            for (const QString& entry : entries)
                if (AsciiCase::equal(entry, name))
                    alike << entry;
            if (alike.size() == 1)
                spelt = alike.first();
        }
        listed += u'/' + spelt;
    }
    return listed.isEmpty() ? u"/"_s : listed;
}

bool sameEntry(const QString& a, const QString& b)
{
    struct stat infoA, infoB;
    if (!statPath(a, infoA) || !statPath(b, infoB))
        return false;
    if (sameInode(infoA, infoB))
        return true;
    // Only an entry of the same kind on the same volume can be the same entry listed twice.
    if (infoA.st_dev != infoB.st_dev || (infoA.st_mode & S_IFMT) != (infoB.st_mode & S_IFMT))
        return false;
    const QString listedA = listedPath(a);
    return !listedA.isEmpty() && listedA == listedPath(b);
}

bool readFile(const QString& path, qint64 maxBytes, QByteArray& bytes, QString* error, QString* reason)
{
    bytes.clear();
    QString why;
    struct stat info;
    const int fd = openToRead(path, info, &why);
    if (fd < 0)
        return failRead(error, reason, path, why);
    const QString tooLarge = u"ファイルが大きすぎます（%1 MB まで）"_s.arg(maxBytes >> 20);
    if (qint64(info.st_size) > maxBytes) {
        ::close(fd);
        return failRead(error, reason, path, tooLarge);
    }
    // One byte beyond the limit tells a file that grew past it from one that ends there.
    const bool read = readUpTo(fd, qint64(info.st_size), maxBytes + 1, bytes, &why);
    ::close(fd);
    if (!read)
        return failRead(error, reason, path, why);
    if (bytes.size() > maxBytes) {
        bytes.clear();
        return failRead(error, reason, path, tooLarge);
    }
    return true;
}

bool readFileStart(const QString& path, qint64 count, QByteArray& bytes, QString* error, QString* reason)
{
    bytes.clear();
    QString why;
    struct stat info;
    const int fd = openToRead(path, info, &why);
    if (fd < 0)
        return failRead(error, reason, path, why);
    const bool read = readUpTo(fd, std::min<qint64>(qint64(info.st_size), count), count, bytes, &why);
    ::close(fd);
    return read || failRead(error, reason, path, why);
}

Seen seenOf(const QByteArray& bytes)
{
    Seen s;
    s.exists = true;
    s.size = bytes.size();
    s.digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return s;
}

Seen seen(const QString& path, qint64 maxBytes)
{
    struct stat info;
    if (::lstat(bytesOf(path).constData(), &info) != 0 && !statPath(path, info))
        return Seen();
    QByteArray bytes;
    if (!readFile(path, maxBytes, bytes)) {
        Seen unreadable;
        unreadable.exists = true;
        unreadable.size = -1;
        return unreadable;
    }
    return seenOf(bytes);
}

bool changedSince(const QString& path, const Seen& before, qint64 maxBytes)
{
    if (!before.exists)
        return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    // A size of its own is a change without reading; an equal size says nothing.
    struct stat info;
    if (!statPath(path, info))
        return true;
    if (S_ISREG(info.st_mode) && qint64(info.st_size) != before.size)
        return true;
    return seen(path, maxBytes) != before;
}

} // namespace FileOps
