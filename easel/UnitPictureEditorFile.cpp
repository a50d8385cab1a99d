// New, Open, Save and Save As of the picture editor, the changed-picture question and the
// hand-back of file names to the waiting map-editor form.
#include "UnitPictureEditor.h"

#include "BmpPicture.h"
#include "CanvasScrollBox.h"
#include "JpegPicture.h"
#include "MyFileDialogs.h"
#include "Palette.h"
#include "Prompter.h"
#include "SavedPictureNotice.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {

const QString CannotOpen = u"画像ファイルを開けません。"_s;
const QString CannotSave = u"画像ファイルを保存できません。"_s;
const QString NotHandedBack = u"の名前を\r\nマップエディタに渡せませんでした。"_s;

QString changedOutsideQuestion(const QString& path)
{
    return DocumentFile::question(u"画像ファイル \""_s + QFileInfo(path).fileName() + u"\" "_s);
}

QString withReason(const QString& message, const QString& reason) {
    return reason.isEmpty() ? message : message + u"\r\n"_s + reason;
}

} // namespace

void TFormPictureEditor::ResetDocument(bool dropBackground, bool clearCanvas, bool resetUndo) {
    ClearSelection();
    PlaceLayerHandles();
    if (dropBackground) {
        Doc.BackgroundPicture = QImage();
        Doc.BackgroundCleared = false;
    }
    if (clearCanvas) Doc.ClearCanvas();
    Image1->update();
    Doc.FreeShapeList();
    ClearShapeClipboard();
    if (resetUndo) {
        ResetUndo();
        IsChangedSinceSave(0);
    } else {
        PushUndoSnapshot();
    }
}

bool TFormPictureEditor::OpenPictureFile(const QString& path) {
    // Read completely before anything of the open document is touched: a picture that cannot be
    // read leaves the previous one as it was.
    QString why;
    // Taken before the file is read, so that a change while it is read counts as a change.
    const FileOps::Seen seen = FileOps::seen(path, FileOps::ReadLimit::Picture);
    QImage picture = PictureFile::load(path, &why);
    if (!picture.isNull()) picture = JpegPicture::opaqueRgb32(picture);
    if (picture.isNull()) {
        Prompter::warn(this, withReason(CannotOpen, why));
        return false;
    }

    ResetDocument(true, true, true);
    Doc.BackgroundPicture = picture;
    if (cbChangeWhite->isChecked())
        ConvertInnerWhite(Doc.BackgroundPicture, ColourText::toQRgb(OpaqueWhite));

    // The canvas takes the picture's size even beyond what the size boxes allow.
    if (!Doc.SetCanvasSize(picture.size())) Doc.RerenderCanvas();
    showCanvasSizeInBoxes();
    {
        const QSignalBlocker blocker(UpDown1);
        UpDown1->setValue(CanvasView::DefaultZoom);
    }
    canvasSizeChanged(QPoint(0, 0));

    const QString full = QFileInfo(path).absoluteFilePath();
    UpdateTitle(full);
    PictureFileName = full;
    PictureFileContent.saw(full, seen);
    PictureHold.hold(full);
    // The baseline is the picture at its own size, so an untouched picture is never "changed".
    ResetUndo();
    IsChangedSinceSave(0);
    return true;
}

bool TFormPictureEditor::SavePictureFile(const QString& path) {
    // What is saved is the document: a drag under way ends first, as its release would end it.
    EndMouseGesture();
    if (!PictureFile::isSupportedName(path)) {
        Prompter::warn(this, PictureFile::refusedNameMessage(path, PictureFile::NameUse::Save));
        return false;
    }
    // Over what another program wrote into the file since, asked (again, if it changed after the
    // dialog asked).
    if (!PictureFileContent.mayReplace(this, path, changedOutsideQuestion(path)))
        return false;
    // Written whatever its name: a name the map editor cannot be given is told after the save, and
    // the map editor still takes the picture through its working copy's time stamp.
    const QImage work = WithSecondWhiteAsWhite(Doc.CanvasBitmap, ColourText::toQRgb(SecondWhite));
    QString why;
    QByteArray written;
    if (!PictureFile::save(path, work, 100, &why, &written)) {
        Prompter::warn(this, withReason(CannotSave, why));
        return false;
    }
    PictureFileContent.saw(path, FileOps::seenOf(written));
    // The save put a new file in place.
    PictureHold.hold(path);
    NotifyCaller(path, SavedPictureNotice::Notice::Saved);
    UpdateTitle(path);
    ResetUndo();
    IsChangedSinceSave(0);
    return true;
}

void TFormPictureEditor::NotifyCaller(const QString& path, SavedPictureNotice::Notice notice)
{
    // Without a caller nothing is sent; a caller that cannot be reached is told to the user, whose
    // picture would otherwise silently never arrive.
    if (!HasCaller())
        return;
    QString why;
    if (SavedPictureNotice::sendToCaller(CallerReceiver, CallerClassName, QFileInfo(path).absoluteFilePath(), 2000,
                                         &why, notice)) {
        ++NoticesSent;
        return;
    }
    const bool saved = notice == SavedPictureNotice::Notice::Saved;
    Prompter::warn(this,
                   withReason((saved ? u"保存した画像ファイル"_s : u"開いた画像ファイル"_s) + NotHandedBack, why));
}

bool TFormPictureEditor::SaveAsDialog() {
    EndMouseGesture();
    // A blank canvas is a picture too: the dialog is offered even with nothing drawn, so that the
    // changed-picture question's Yes can always be carried out.
    MySavePictureDialog2->FileName = PictureFileName;
    const int keptIndex = MySavePictureDialog2->FilterIndex;
    if (!MySavePictureDialog2->Execute(this)) {
        MySavePictureDialog2->FilterIndex = keptIndex;
        return false;
    }
    const QString name = QFileInfo(MySavePictureDialog2->FileName).absoluteFilePath();
    if (!SavePictureFile(name)) return false;
    PictureFileName = name;
    DrawMode = ToolMode;
    ClearSelection();
    PickShapesAt({0, 0});
    Image1->update();
    return true;
}

bool TFormPictureEditor::ConfirmSaveChanges(bool ask) {
    // A drag under way is part of the picture asked about.
    EndMouseGesture();
    if (!IsChangedSinceSave(1)) return true;
    const Prompter::Answer answer = ask ? Prompter::ask(this, u"ファイルが変更されています。保存しますか。"_s,
                                                        Prompter::Buttons::YesNoCancel)
                                        : Prompter::Answer::Yes;
    switch (answer) {
    case Prompter::Answer::Yes:
        return SaveAsDialog();
    case Prompter::Answer::No:
        return true;
    default:
        return false;
    }
}

void TFormPictureEditor::mmFileNewClick() {
    if (!ConfirmSaveChanges(true)) return;
    ResetDocument(true, true, true);
    PictureFileName.clear();
    PictureFileContent.forget();
    PictureHold.release();
    UpdateTitle();
}

void TFormPictureEditor::mmPicOpenClick() {
    if (!ConfirmSaveChanges(true)) return;
    MyOpenPictureDialog2->FileName = PictureFileName;
    if (!MyOpenPictureDialog2->Execute(this)) return;
    const QString name = MyOpenPictureDialog2->FileName;
    if (OpenPictureFile(name))
        NotifyCaller(name, SavedPictureNotice::Notice::Opened);
}

void TFormPictureEditor::mmPicSaveClick() {
    EndMouseGesture();
    if (PictureFileName.isEmpty()) {
        SaveAsDialog();
        return;
    }
    // A file changed outside since gets the save's own question instead, No by default.
    if (!PictureFileContent.changedOutside(PictureFileName)
        && Prompter::ask(this, u"上書き保存します。いいですか。"_s, Prompter::Buttons::YesCancel)
               != Prompter::Answer::Yes)
        return;
    PickShapesAt({0, 0});
    SavePictureFile(PictureFileName);
}

void TFormPictureEditor::mmPicSaveAsClick() {
    SaveAsDialog();
}

bool TFormPictureEditor::MySavePictureDialog2CanClose(const QString& fileName) {
    // The picture's own file, changed outside since, asks that instead.
    if (PictureFileContent.changedOutside(fileName))
        return PictureFileContent.mayReplace(this, fileName, changedOutsideQuestion(fileName));
    return ConfirmOverwrite(this, fileName, QFileInfo(fileName).fileName());
}

QString TFormPictureEditor::MySavePictureDialog2TypeChange(int filterIndex, const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    if (name.isEmpty() || (filterIndex != 1 && filterIndex != 2)) return name;
    return QFileInfo(name).completeBaseName() + (filterIndex == 1 ? u".bmp"_s : u".jpg"_s);
}
