// The main window's picture service: working copies and blank pictures in the picture folder.
#include "Unit1.h"

#include "AsciiCase.h"
#include "AtlasForms.h"
#include "BmpPicture.h"
#include "JpegPicture.h"
#include "FileOps.h"
#include "MapFolders.h"
#include "MapPictures.h"
#include "MyFileDialogs.h"
#include "PictureToolRun.h"
#include "Prompter.h"
#include "Unit3.h"
#include "UnitPictureKiridasi.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString TForm1::ClaimPictureName(const QString& wantedName, QString* why)
{
    const QFileInfo wanted(ResolvePicturePath(wantedName, false));
    const QString suffix = wanted.suffix().isEmpty() ? QString() : u'.' + wanted.suffix();
    QString path = wanted.absoluteFilePath();
    // Created exclusively, so that no file the map, its undo steps or a row move left behind is
    // ever overwritten, nor deleted later as if it had been made here.
    for (int tries = 0; tries <= 1000; ++tries) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!QFileInfo::exists(path)) {
            *why = file.errorString();
            return QString();
        }
        WorkingCopyCounter = (WorkingCopyCounter + 1) % 1000;
        path = ResolvePicturePath(
            u"%1_%2%3"_s.arg(wanted.completeBaseName()).arg(WorkingCopyCounter, 3, 10, QLatin1Char('0')).arg(suffix),
            false);
    }
    *why = u"作業用の名前がすべて使われています。"_s;
    return QString();
}

QString TForm1::MakeWorkingCopy(const QString& source, const QString& wantedName)
{
    if (wantedName.isEmpty())
        return QString();
    // The copy keeps the user's bytes, so its extension follows what they are (JPEG under ".jpg",
    // BMP under ".bmp"), in lower case like the names a save gives: "00.BMP" is not "00.bmp" here.
    QString suffix = PictureFile::contentSuffix(source);
    if (suffix.isEmpty() && !QFileInfo(wantedName).suffix().isEmpty())
        suffix = u'.' + AsciiCase::lower(QFileInfo(wantedName).suffix());
    QString why;
    const QString path = ClaimPictureName(QFileInfo(wantedName).completeBaseName() + suffix, &why);
    if (!path.isEmpty()) {
        if (FileOps::copyFile(source, path, &why))
            return path;
        FileOps::deleteFile(path);
    }
    Prompter::warn(this, u"画像ファイルをコピーできませんでした。\r\n"_s + source + u"\r\n"_s + why);
    return QString();
}

QString TForm1::MakeBlankPicture(const QString& wantedName, int kind)
{
    QString why;
    const QString path = ClaimPictureName(wantedName, &why);
    if (path.isEmpty()) {
        Prompter::warn(this, u"画像ファイルを作成できませんでした。\r\n"_s + ResolvePicturePath(wantedName, false)
                                 + u"\r\n"_s + why);
        return QString();
    }
    if (!CreateBlankPicture(path, kind)) {
        FileOps::deleteFile(path);
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
        Prompter::warn(this, u"画像ファイルを保存できません。\r\n"_s + why);
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
    // Only no name or a missing file takes the picture away; anything else there must read as one.
    if (fileName.isEmpty() || !QFileInfo::exists(fileName)) {
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
    // map never names a file it does not hold; so is one whose extension does not name its content.
    if (makeCopy || !IsInPictureFolder(fileName) || !PictureFile::namesItsContent(fileName)) {
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
    if (CheckToolRunning())
        return;
    mopd1->Title = u"地図画像の取り込み"_s;
    if (mopd1->Execute(this))
        ImportMapPicture(mopd1->FileName, true);
}

void TForm1::mmEditMapPicClick()
{
    PictureEdit edit;
    edit.kind = MapPictures::MapKind;
    edit.form = this;
    edit.current = MapPicturePath;
    edit.name = u"map"_s;
    edit.take = [this](const QString& picture) { ImportMapPicture(picture, false); };
    edit.restore = [this] {
        MapPictures::LoadPictureChecked(MapPictures::MapKind, MapPicturePath, &MapPicture);
        PaintMap();
    };
    edit.names = [this](const QString& path) { return FileOps::sameEntry(MapPicturePath, path); };
    EditPictureWithTool(edit);
}

void TForm1::KeepLeftPictures(bool starting)
{
    const QString root = MapFolders::mapPictureRoot();
    MapFolders::KeptAside aside(root);
    if (QFileInfo(root).isDir())
        PictureToolRun::recoverDeadRuns(root, aside);
    if (starting && !m_newMapFolder)
        m_newMapFolder = std::make_unique<MapFolders::NewMapFolder>(&aside);
    if (!aside.taken().isEmpty())
        Prompter::warn(this, u"保存されないまま残っていた画像を，次のフォルダに移しました。\r\n"_s
                             u"必要な画像は，このフォルダから取り込んで下さい。\r\n\r\n"_s
                                 + QDir::toNativeSeparators(aside.folder()) + u"\r\n\r\n"_s
                                 + aside.taken().join(u"\r\n"_s));
}

std::unique_ptr<TMyOpenPictureDialog> TForm1::NewPictureDialog() const
{
    auto dialog = std::make_unique<TMyOpenPictureDialog>();
    dialog->InitialDir = mopd1->InitialDir;
    dialog->Filter = mopd1->Filter;
    dialog->FilterIndex = mopd1->FilterIndex;
    dialog->DefaultExt = mopd1->DefaultExt;
    return dialog;
}

void TForm1::mmTreSetClick()
{
    auto* forms = AtlasForms::current();
    if (!forms || !forms->form3)
        return;
    forms->form3->ShowTreasurePicture();
    forms->form3->ShowModal();
    PaintMap();
}
