#include "ProgramFolder.h"

#include "AsciiCase.h"

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


// Length of the part that anchors the path: "C:", "//server/share" or "/"; 0 for a relative path.
qsizetype rootLength(const QString& path)
{
    if (path.size() >= 2 && path[1] == u':' && path[0].unicode() < 128 && path[0].isLetter())
        return 2;
    if (path.startsWith(u"//"_s)) {
        // "//server/share": up to (not including) the slash after the share name.
        qsizetype serverEnd = path.indexOf(u'/', 2);
        if (serverEnd < 0)
            return path.size();
        qsizetype shareEnd = path.indexOf(u'/', serverEnd + 1);
        return shareEnd < 0 ? path.size() : shareEnd;
    }
    if (path.startsWith(u'/'))
        return 1;
    return 0;
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
    if (!AsciiCase::equal(QStringView(target).left(targetRoot), QStringView(base).left(baseRoot)))
        return target;

    const qsizetype lastSlash = target.lastIndexOf(u'/');
    const QString fileName = lastSlash < targetRoot ? target.mid(targetRoot) : target.mid(lastSlash + 1);
    const QStringList targetParts =
        lastSlash < targetRoot ? QStringList()
                               : components(QStringView(target).mid(targetRoot, lastSlash - targetRoot));
    const QStringList baseParts = components(QStringView(base).mid(baseRoot));

    qsizetype shared = 0;
    while (shared < targetParts.size() && shared < baseParts.size() &&
           AsciiCase::equal(targetParts[shared], baseParts[shared]))
        ++shared;

    QString result;
    for (qsizetype i = shared; i < baseParts.size(); ++i)
        result += u"../"_s;
    for (qsizetype i = shared; i < targetParts.size(); ++i)
        result += targetParts[i] + u'/';
    return result + fileName;
}

} // namespace ProgramFolder
