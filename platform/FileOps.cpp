#include "FileOps.h"

#include "AsciiCase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
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

// The causes a user can do something about, in words; the rest as the system says them.
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

// Fills a new temporary file beside the target, syncs and closes it (each step checked), then
// renames it over the target. A failure at any step removes the temporary file and leaves the
// target as it was. A link as target is written through to the file it names.
bool writeThroughTemp(const QString& target, QString* reason, const std::function<bool(int, QString*)>& fill)
{
    QString path = target;
    if (const QFileInfo info(target); info.isSymLink() && !info.canonicalFilePath().isEmpty())
        path = info.canonicalFilePath();
    const QFileInfo info(path);
    QByteArray name = QFile::encodeName(info.absolutePath() + u"/."_s + info.fileName() + u".XXXXXX"_s);
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        *reason = systemReason();
        return false;
    }
    struct stat old;
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    const mode_t mode =
        ::stat(QFile::encodeName(path).constData(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~umaskNow);
    ::fchmod(fd, mode);

    bool ok = fill(fd, reason);
    if (ok && ::fsync(fd) != 0) {
        *reason = systemReason();
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *reason = systemReason();
        ok = false;
    }
    if (ok && faulted(Op::Rename, path)) {
        *reason = injectedReason();
        ok = false;
    }
    if (ok && ::rename(name.constData(), QFile::encodeName(path).constData()) != 0) {
        *reason = systemReason();
        ok = false;
    }
    if (!ok) {
        ::unlink(name.constData());
        return false;
    }
    syncFolder(info.absolutePath());
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

    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, what, from, in.errorString());
    QString why;
    const bool ok = writeThroughTemp(to, &why, [&](int fd, QString* reason) {
        // A file that grows or shrinks while it is read gives no faithful copy.
        const qint64 expected = in.size();
        qint64 copied = 0;
        QByteArray buffer(1 << 16, Qt::Uninitialized);
        for (;;) {
            const qint64 got = in.read(buffer.data(), buffer.size());
            if (got < 0) {
                *reason = in.errorString();
                return false;
            }
            if (got == 0)
                break;
            if (!writeAll(fd, buffer.constData(), got, to, reason))
                return false;
            copied += got;
        }
        if (copied != expected)
            *reason = u"%1 / %2 バイトしか読めません"_s.arg(copied).arg(expected);
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
    QFile file(path);
    if (!file.remove())
        return fail(error, u"削除できません"_s, path, file.errorString());
    return true;
}

bool deleteFolder(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!existsOrIsLink(info))
        return true;
    if (!info.isDir())
        return fail(error, u"フォルダを削除できません"_s, path, u"フォルダではありません"_s);
    if (faulted(Op::DeleteFolder, path))
        return fail(error, u"フォルダを削除できません"_s, path, injectedReason());
    if (!QDir(path).removeRecursively())
        return fail(error, u"フォルダを削除できません"_s, path, u"中のファイルが消せません"_s);
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
    if (!QDir().rename(from, to))
        return fail(error, what, from, u"%1 にできません"_s.arg(QDir::toNativeSeparators(to)));
    return true;
}

bool makeFolder(const QString& path, QString* error)
{
    if (!QFileInfo(path).isDir() && faulted(Op::MakeFolder, path))
        return fail(error, u"フォルダを作れません"_s, path, injectedReason());
    if (!QDir().mkpath(path)) {
        const QFileInfo info(path);
        return fail(error, u"フォルダを作れません"_s, path,
                    info.exists() && !info.isDir() ? u"同名のファイルがあります"_s : u"作成に失敗しました"_s);
    }
    return true;
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
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    if (S_ISLNK(info.st_mode) && !statPath(path, info))
        return true;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
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

} // namespace FileOps
