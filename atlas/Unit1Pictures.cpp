// The main window's picture service: working copies and blank pictures in the picture folder.
#include "Unit1.h"

#include "AtlasForms.h"
#include "BmpPicture.h"
#include "JpegPicture.h"
#include "FileOps.h"
#include "MapPictures.h"
#include "MyFileDialogs.h"
#include "Prompter.h"
#include "UnitPictureKiridasi.h"

#include <QAction>
#include <QDir>
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

bool TForm1::IsInPictureFolder(const QString& path) const
{
    return QFileInfo(path).absolutePath() == QFileInfo(PictureFolder + u"/x"_s).absolutePath();
}

bool TForm1::CreateBlankPicture(const QString& path, int kind)
{
    QImage blank(MapPictures::requiredSize(kind), QImage::Format_RGB32);
    blank.fill(Qt::white);
    QString why;
    // Only under a name it can be read back from (".bmp" or ".jpg").
    if (!PictureFile::save(path, blank, JpegPicture::DefaultQuality, &why)) {
        Prompter::warn(this, why);
        return false;
    }
    return true;
}

std::optional<QImage> TForm1::CorrectPictureSize(QWidget* parent, int kind, QString& path, bool announce)
{
    const QSize required = MapPictures::requiredSize(kind);
    if (announce)
        Prompter::warn(parent, u"画像サイズが 横%1 × 縦%2 ではないため，\r\nサイズ修正フォームで画像を開きます。"_s
                                   .arg(required.width())
                                   .arg(required.height()));
    auto* forms = AtlasForms::current();
    TFormPictureKiridasi* kiridasi = forms ? forms->formPictureKiridasi.get() : nullptr;
    if (!kiridasi)
        return std::nullopt;
    kiridasi->RequiredWidth = required.width();
    kiridasi->RequiredHeight = required.height();
    kiridasi->PictureFileName = path;
    if (kiridasi->ShowModal() != QDialog::Accepted)
        return std::nullopt;
    if (kiridasi->WorkBitmap.size() != required) {
        Prompter::warn(parent, u"画像サイズが 横%1 × 縦%2 ではないため，\r\n画像を取り込むことができません。"_s
                                   .arg(required.width())
                                   .arg(required.height()));
        return std::nullopt;
    }
    // The picture the user sees is the one taken, also when it was saved under a new name.
    if (kiridasi->PictureFileName != path) {
        Prompter::inform(parent, u"画像を更新します。"_s);
        path = kiridasi->PictureFileName;
    }
    return kiridasi->WorkBitmap.convertToFormat(QImage::Format_RGB32);
}

bool TForm1::SaveCorrectedPicture(const QString& path)
{
    auto* forms = AtlasForms::current();
    return forms && forms->formPictureKiridasi && forms->formPictureKiridasi->SavePictureAs(path);
}

void TForm1::ImportMapPicture(QString fileName, bool makeCopy)
{
    const QSize required = MapPictures::requiredSize(MapPictures::MapKind);
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile()) {
        MapPicturePath.clear();
        MapPicture = MapPictures::DrawInstructionPlaceholder(MapPictures::MapKind);
        PaintMap();
        if (mmUndoMap->isChecked())
            PushUndo(MapPicturePath);
        UpdateCaption();
        return;
    }
    auto restore = [this] {
        MapPictures::LoadPictureChecked(MapPictures::MapKind, MapPicturePath, &MapPicture);
        PaintMap();
    };

    // What is not a picture that can be read back is refused before anything is copied.
    QString why;
    const QImage loaded = PictureFile::load(fileName, &why);
    if (loaded.isNull()) {
        Prompter::warn(this, why);
        return;
    }
    QImage picture = loaded.convertToFormat(QImage::Format_RGB32);
    bool corrected = false;
    if (loaded.size() != required) {
        MapPicture = MapPictures::DrawWrongSizePlaceholder(MapPictures::MapKind);
        PaintMap();
        const std::optional<QImage> result = CorrectPictureSize(this, MapPictures::MapKind, fileName, true);
        if (!result) {
            restore();
            return;
        }
        picture = *result;
        corrected = true;
    }

    const QString previous = MapPicturePath;
    // A picture from outside the picture folder is always brought in as a working copy, so the
    // map never names a file it does not hold.
    if (makeCopy || !IsInPictureFolder(fileName)) {
        const QString suffix = QFileInfo(fileName).suffix();
        const QString made = MakeWorkingCopy(fileName, u"map"_s + (suffix.isEmpty() ? QString() : u'.' + suffix));
        if (made.isEmpty()) {
            restore();
            return;
        }
        MapPicturePath = made;
    } else {
        MapPicturePath = fileName;
    }
    if (corrected && !SaveCorrectedPicture(MapPicturePath)) {
        MapPicturePath = previous;
        restore();
        return;
    }
    MapPicture = picture;
    PaintMap();
    if (mmUndoMap->isChecked())
        PushUndo(MapPicturePath);
    Prompter::inform(this, u"「画像フォルダ」-「%1」フォルダに，\r\n新しい地図画像 \"%2\" を保存しました。"_s.arg(
                               QDir(PictureFolder).dirName(), QFileInfo(MapPicturePath).fileName()));
    UpdateCaption();
}

void TForm1::mmLoadMapPicClick()
{
    mopd1->Title = u"地図画像の取り込み"_s;
    if (mopd1->Execute(this))
        ImportMapPicture(mopd1->FileName, true);
}

void TForm1::mmEditMapPicClick()
{
    if (CheckToolRunning())
        return;
    const QString tool = PictureToolPath();
    if (tool.isEmpty()) {
        WarnNoPictureTool(this);
        return;
    }
    ReturnedFileName.clear();
    const QString previous = MapPicturePath;
    if (MapPicturePath.isEmpty()) {
        MapPicturePath = ResolvePicturePath(u"map.bmp"_s, false);
        if (!CreateBlankPicture(MapPicturePath, MapPictures::MapKind)) {
            MapPicturePath = previous;
            return;
        }
    } else if (QFileInfo(MapPicturePath).isFile()) {
        const QString suffix = QFileInfo(MapPicturePath).suffix();
        const QString made = MakeWorkingCopy(MapPicturePath, u"map"_s + (suffix.isEmpty() ? QString() : u'.' + suffix));
        if (made.isEmpty()) {
            MapPicturePath = previous;
            return;
        }
        MapPicturePath = made;
    }
    const QString made = MapPicturePath;
    const FileOps::Stamp before = FileOps::stamp(made);
    RunToolAndWait(tool, made, MapPictures::MapKind);
    if (FileOps::stamp(made) == before && ReturnedFileName.isEmpty()) {
        if (made != previous)
            FileOps::deleteFile(made);
        MapPicturePath = previous;
        MapPictures::LoadPictureChecked(MapPictures::MapKind, MapPicturePath, &MapPicture);
        PaintMap();
        return;
    }
    const bool copyUnchanged = FileOps::stamp(made) == before;
    ImportMapPicture(ReturnedFileName.isEmpty() ? made : ReturnedFileName, false);
    // The tool saved elsewhere: the copy made for the run was never used.
    if (copyUnchanged && made != previous && MapPicturePath != made)
        FileOps::deleteFile(made);
}
