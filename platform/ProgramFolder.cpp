#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace ProgramFolder {

namespace {

QString& overrideFolder()
{
    static QString folder;
    return folder;
}

QString withTrailingSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}


// Length of the part that anchors the path: "/" or nothing. "C:" and "//server" are no roots here:
// read as roots, a stored "C:/a.map" would open as an absolute path that is another file.
qsizetype rootLength(const QString& path)
{
    return path.startsWith(u'/') ? 1 : 0;
}

QStringList components(QStringView folder)
{
    QStringList list;
    for (QStringView part : folder.split(u'/', Qt::SkipEmptyParts))
        list.append(part.toString());
    return list;
}

} // namespace

QString path()
{
    const QString& folder = overrideFolder();
    if (!folder.isEmpty())
        return folder;
    return withTrailingSlash(QCoreApplication::applicationDirPath());
}

void setOverride(const QString& folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : withTrailingSlash(fromStoredPath(folder));
}

QString fromStoredPath(const QString& path)
{
    QString result = path;
    result.replace(u'\\', u'/');
    return result;
}

QString resolveExeRelativePath(const QString& path, bool toRelative)
{
    const QString target = fromStoredPath(path);
    const qsizetype targetRoot = rootLength(target);

    if (!toRelative)
        return targetRoot > 0 ? target : ProgramFolder::path() + target;

    if (targetRoot == 0)
        return target;
    const QString base = ProgramFolder::path();
    const qsizetype baseRoot = rootLength(base);
    if (QStringView(target).left(targetRoot) != QStringView(base).left(baseRoot))
        return target;

    const qsizetype lastSlash = target.lastIndexOf(u'/');
    const QString fileName = lastSlash < targetRoot ? target.mid(targetRoot) : target.mid(lastSlash + 1);
    const QStringList targetParts =
        lastSlash < targetRoot ? QStringList()
                               : components(QStringView(target).mid(targetRoot, lastSlash - targetRoot));
    const QStringList baseParts = components(QStringView(base).mid(baseRoot));

    qsizetype shared = 0;
    // Folders in other case are other folders on this file system.
    while (shared < targetParts.size() && shared < baseParts.size() && targetParts[shared] == baseParts[shared])
        ++shared;

    QString result;
    for (qsizetype i = shared; i < baseParts.size(); ++i)
        result += u"../"_s;
    for (qsizetype i = shared; i < targetParts.size(); ++i)
        result += targetParts[i] + u'/';
    return result + fileName;
}

} // namespace ProgramFolder
