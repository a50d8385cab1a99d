#include "FileOps.h"

#include "AsciiCase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

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

    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, what, from, in.errorString());
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, what, to, out.errorString());

    const qint64 expected = in.size();
    qint64 copied = 0;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0)
            return fail(error, what, from, in.errorString());
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got)
            return fail(error, what, to, out.errorString());
        copied += got;
    }
    if (copied != expected)
        return fail(error, what, to, u"%1 / %2 バイトしか書けません"_s.arg(copied).arg(expected));
    if (!out.commit())
        return fail(error, what, to, out.errorString());
    return true;
}

bool deleteFile(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!existsOrIsLink(info))
        return true;
    if (info.isDir() && !info.isSymLink())
        return fail(error, u"削除できません"_s, path, u"フォルダです"_s);
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
    if (!QDir().rename(from, to))
        return fail(error, what, from, u"%1 にできません"_s.arg(QDir::toNativeSeparators(to)));
    return true;
}

bool makeFolder(const QString& path, QString* error)
{
    if (!QDir().mkpath(path)) {
        const QFileInfo info(path);
        return fail(error, u"フォルダを作れません"_s, path,
                    info.exists() && !info.isDir() ? u"同名のファイルがあります"_s : u"作成に失敗しました"_s);
    }
    return true;
}

bool writeFileAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString what = u"書き込めません"_s;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, what, path, out.errorString());
    if (out.write(bytes) != bytes.size())
        return fail(error, what, path, out.errorString());
    if (!out.commit())
        return fail(error, what, path, out.errorString());
    return true;
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
