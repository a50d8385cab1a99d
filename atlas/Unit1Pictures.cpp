// The main window's picture service: working copies and blank pictures in the picture folder.
#include "Unit1.h"

#include "BmpPicture.h"
#include "FileOps.h"
#include "MapPictures.h"
#include "Prompter.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

QString TForm1::MakeWorkingCopy(const QString& source, const QString& wantedName)
{
    if (wantedName.isEmpty())
        return QString();
    QString path = ResolvePicturePath(wantedName, false);
    const QFileInfo wanted(path);
    // The counter moves on until a free name is found: an existing file is never overwritten,
    // so no picture the map or its undo steps still name is lost.
    for (int tries = 0; QFileInfo::exists(path) && tries < 1000; ++tries) {
        WorkingCopyCounter = (WorkingCopyCounter + 1) % 1000;
        const QString suffix = wanted.suffix().isEmpty() ? QString() : u'.' + wanted.suffix();
        path = ResolvePicturePath(
            u"%1_%2%3"_s.arg(wanted.completeBaseName()).arg(WorkingCopyCounter, 3, 10, QLatin1Char('0')).arg(suffix),
            false);
    }
    QString why;
    if (QFileInfo::exists(path) || !FileOps::copyFile(source, path, &why)) {
        Prompter::warn(this, u"画像ファイルをコピーできませんでした。\r\n"_s + source + u"\r\n"_s + why);
        return QString();
    }
    return path;
}

bool TForm1::CreateBlankPicture(const QString& path, int kind)
{
    QImage blank(MapPictures::requiredSize(kind), QImage::Format_RGB32);
    blank.fill(Qt::white);
    QString why;
    // Only under a name it can be read back from (".bmp" or ".jpg").
    if (!PictureFile::save(path, blank, 90, &why)) {
        Prompter::warn(this, why);
        return false;
    }
    return true;
}
