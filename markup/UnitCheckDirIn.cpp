#include "UnitCheckDirIn.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString RealPath(const QString& path)
{
    if (path.isEmpty())
        return QString();
    // No lexical clean-up first: "link/.." leads where the link's target's parent is, not back here.
    const QString absolute = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path;
    QString real = u"/"_s;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        if (part == u"..") {
            real = real == u"/" ? real : QFileInfo(real).path();
            continue;
        }
        const QString next = real == u"/" ? real + part : real + u'/' + part;
        // Every part is looked at, even after a missing one: ".." may lead back among real ones.
        const QFileInfo info(next);
        if (info.isSymLink() || info.exists()) {
            const QString canonical = info.canonicalFilePath();
            if (canonical.isEmpty())
                return QString();
            real = canonical;
        } else {
            real = next;
        }
    }
    return real;
}

bool IsPathInFolder(const QString& folder, const QString& path, bool folderItself)
{
    const QString realFolder = RealPath(folder);
    const QString realPath = RealPath(path);
    if (realFolder.isEmpty() || realPath.isEmpty())
        return false;
    if (realPath == realFolder)
        return folderItself;
    // The separator keeps "…/マップちょい置き2" out of "…/マップちょい置き".
    return realPath.startsWith(realFolder == u"/" ? realFolder : realFolder + u'/');
}
