#include "MapFolders.h"

#include "AsciiCase.h"
#include "MapDocument.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace MapFolders {

QString mapFileFolder() { return ProgramFolder::path() + u"画像と音声/マップファイル"_s; }
QString mapPictureRoot() { return ProgramFolder::path() + u"画像と音声/マップ画像"_s; }
QString scratchFolder() { return ProgramFolder::path() + u"画像と音声/マップちょい置き"_s; }
QString settingsFolder() { return ProgramFolder::path() + u"設定/マップエディタ"_s; }
QString newMapName() { return u"新規マップファイル"_s; }

QString pictureFolderOfMap(const QString& mapPath)
{
    const QString name = QFileInfo(ProgramFolder::fromStoredPath(mapPath)).completeBaseName();
    const QString root = mapPictureRoot();
    const QString exact = root + u'/' + name;
    if (QFileInfo(exact).isDir())
        return exact;
    // A folder whose exact name is another map's belongs to that map, never to this one.
    const QFileInfo map(ProgramFolder::fromStoredPath(mapPath));
    auto claimed = [&](const QString& folderName) {
        for (const QString& where : {map.absolutePath(), mapFileFolder()}) {
            for (const QFileInfo& other : QDir(where).entryInfoList(QDir::Files)) {
                if (other.completeBaseName() == folderName && AsciiCase::equal(other.suffix(), u"map")
                    && other.absoluteFilePath() != map.absoluteFilePath())
                    return true;
            }
        }
        return false;
    };
    const QStringList found = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& f : found)
        if (AsciiCase::equal(f, name) && !claimed(f))
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

} // namespace MapFolders
