// The main window's external tools: the tools menu, tool runs and the picture hand-back.
#include "Unit1.h"

#include "AtlasForms.h"
#include "BmpPicture.h"
#include "FileOps.h"
#include "MapCanvas.h"
#include "MapFolders.h"
#include "MapPictures.h"
#include "PictureToolRun.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "SavedPictureNotice.h"
#include "ToolRunner.h"
#include "Unit2.h"
#include "Unit3.h"
#include "UnitToolSet.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace {

const char* const TagProperty = "Tag";

QString waitingClassName(int kind)
{
    switch (kind) {
    case MapPictures::MapKind:
        return u"TForm1"_s;
    case MapPictures::DestinationKind:
        return u"TForm2"_s;
    case MapPictures::TreasureKind:
        return u"TForm3"_s;
    default:
        return QString();
    }
}

// Same folder, links and "." / ".." resolved where the folders exist.
bool sameFolder(const QString& a, const QString& b)
{
    const QDir da(a), db(b);
    const QString ca = da.canonicalPath(), cb = db.canonicalPath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(da.absolutePath()) == QDir::cleanPath(db.absolutePath());
}

} // namespace

bool TForm1::CheckToolRunning()
{
    if (!ToolRunning && !ToolRunner::isRunning())
        return false;
    Prompter::warn(this, u"外部ツールを終了して下さい。"_s);
    return true;
}

QString TForm1::PictureToolPath() const
{
    return ToolPaths.isEmpty() || ToolPaths.first().isEmpty() ? QString()
                                                              : ResolveExeRelativePath(ToolPaths.first(), false);
}

void TForm1::WarnNoPictureTool(QWidget* parent)
{
    Prompter::warn(
        parent,
        u"外部ツールが登録されていません。\r\n\r\n※［外部ツール］－［外部ツールの設定］で，画像を編集するツールを登録して下さい。"_s);
}

QStringList TForm1::ToolArguments(const QString& tool, const QString& picture, int kind)
{
    const QString className = waitingClassName(kind);
    // Only a tool lying directly in the program folder is ours and understands the class name;
    // a sub-folder does not count.
    if (!className.isEmpty() && sameFolder(QFileInfo(tool).absolutePath(), ProgramFolder::path()))
        return {picture, className};
    return {picture};
}

bool TForm1::RunToolAndWait(const QString& tool, const QString& picture, int kind, QString* handedBack)
{
    auto* forms = AtlasForms::current();
    TForm2* form2 = forms && kind == MapPictures::DestinationKind ? forms->form2.get() : nullptr;
    TForm3* form3 = forms && kind == MapPictures::TreasureKind ? forms->form3.get() : nullptr;
    QWidget* waiting = form2 ? static_cast<QWidget*>(form2) : form3 ? static_cast<QWidget*>(form3) : this;
    QString* returned = form2          ? &form2->ReturnedFileName
        : form3                        ? &form3->ReturnedFileName
        : kind == MapPictures::MapKind ? &ReturnedFileName
                                       : nullptr;
    SavedPictureNotice::Receiver* notice = form2                          ? form2->PictureNotice
                                           : form3                        ? form3->PictureNotice
                                           : kind == MapPictures::MapKind ? PictureNotice
                                                                          : nullptr;
    if (handedBack)
        handedBack->clear();

    // One run at a time: its result must go where it was meant to.
    if (CheckToolRunning())
        return false;
    if (returned)
        returned->clear();
    if (!picture.isEmpty() && !QFileInfo(picture).isFile()) {
        Prompter::warn(waiting, u"画像ファイルが見つかりません。"_s);
        return false;
    }
    // Nothing could be waited for if the desktop opened the picture instead.
    if (tool.isEmpty()) {
        WarnNoPictureTool(waiting);
        return false;
    }
    if (!QFileInfo(tool).isFile()) {
        Prompter::warn(waiting, u"外部ツール \""_s + tool + u"\" が\r\n見つかりません。"_s);
        return false;
    }

    // The windows stay usable: what would act on the picture asks CheckToolRunning, which says
    // no only while the tool is alive, so a window opened meanwhile can close once it has ended.
    // Our own tool, the one given the class name, is also told the waiting form's own receiver: a
    // lookup by class name could find the form of another copy of atlas. The receiver takes what
    // this run's process (or one it started) hands back, and only while it runs: a second copy of
    // the tool started by hand hands nothing to a form that did not start it.
    const QStringList arguments = ToolArguments(tool, picture, kind);
    ToolRunning = true;
    const ToolRunner::Result result = ToolRunner::runAndWait(
        tool, arguments,
        [this, notice] {
            ToolRunning = false;
            if (notice)
                notice->expectNone();
        },
        SavedPictureEnvironment(arguments.size() > 1 ? notice : nullptr),
        [notice](qint64 pid) {
            if (notice)
                notice->expectFrom(pid);
        });
    // Also where the run was refused before it began: `ended` is called only for a run that began.
    ToolRunning = false;
    // What the run brought changes the map: a drag under way ends first, as a step of its own.
    imMap->endDrag();
    if (!result.started) {
        Prompter::warn(waiting, result.error);
        return false;
    }
    // A tool that crashed may have saved before it died: that is still taken, after saying so.
    if (!result.error.isEmpty())
        Prompter::warn(waiting, result.error);

    // A name that is no readable picture must not replace the picture: the working copy decides.
    if (returned && !returned->isEmpty()) {
        QString why;
        if (PictureFile::load(*returned, &why).isNull()) {
            Prompter::warn(waiting,
                           u"外部ツールから受け取った画像ファイル \""_s + *returned
                               + u"\" を読み込めないため，取り込みません。\r\n"_s + why);
            returned->clear();
        }
    }
    if (handedBack && returned)
        *handedBack = *returned;
    return true;
}

void TForm1::EditPictureWithTool(const PictureEdit& edit)
{
    if (CheckToolRunning())
        return;
    const QString tool = PictureToolPath();
    if (tool.isEmpty()) {
        WarnNoPictureTool(edit.form);
        return;
    }
    // A picture the target names but whose file has gone: the run says so, and nothing is made.
    if (!edit.current.isEmpty() && !QFileInfo(edit.current).isFile()) {
        RunToolAndWait(tool, edit.current, edit.kind);
        return;
    }
    // The target goes on naming its picture until the run is over: the windows stay usable, and an
    // undo step recorded meanwhile must not name a copy that may be deleted afterwards.
    const QString suffix = QFileInfo(edit.current).suffix();
    const QString copy =
        edit.current.isEmpty()
            ? MakeBlankPicture(edit.name + u".bmp"_s, edit.kind)
            : MakeWorkingCopy(edit.current, edit.name + (suffix.isEmpty() ? QString() : u'.' + suffix));
    if (copy.isEmpty())
        return;
    const FileOps::Seen asMade = FileOps::seen(copy);
    // Should this program die during the run, the next start finds the copy by its record.
    PictureToolRun::Record record;
    record.begin(MapFolders::mapPictureRoot(), copy, asMade);

    QString handedBack;
    RunToolAndWait(tool, copy, edit.kind, &handedBack);
    const QString result = PictureToolRun::result(copy, asMade, handedBack);
    // A copy still open in a running program is never deleted from under it: its record stays for
    // a later start.
    auto drop = [&] {
        if (FileOps::isHeld(copy))
            record.leave();
        else
            FileOps::deleteFile(copy);
    };
    if (result.isEmpty()) {
        drop();
        edit.restore();
        return;
    }
    edit.take(result);
    // The tool saved elsewhere: the copy made for the run was never used.
    if (!FileOps::sameEntry(result, copy) && !edit.names(copy)
        && PictureToolRun::result(copy, asMade, QString()).isEmpty())
        drop();
}

// The tools menus

void TForm1::ConnectToolMenus()
{
    connect(tbpToolSettei, &QAction::triggered, this, &TForm1::tbpToolSetteiClick);
    // The tool items go above this separator.
    tbpTools->insertSeparator(tbpToolSettei);
    // A menu without items would not open; this one is replaced the first time it does.
    mmTools->addAction(tbpToolSettei->text(), this, &TForm1::tbpToolSetteiClick);
    connect(mmTools, &QMenu::aboutToShow, this, &TForm1::mmToolsClick);
}

void TForm1::RunToolFromMenu(QAction* item)
{
    const int tag = item ? item->property(TagProperty).toInt() : 0;
    const QString path =
        tag >= 1 && tag <= ToolPaths.size() ? ResolveExeRelativePath(ToolPaths.at(tag - 1), false) : QString();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        Prompter::warn(this, u"外部ツールが見つかりません。"_s);
        return;
    }
    QString why;
    if (!ToolRunner::startDetached(path, {}, &why))
        Prompter::warn(this, why);
}

void TForm1::CopyToolsMenu()
{
    const QList<QAction*> before = mmTools->actions();
    const QList<QAction*> source = tbpTools->actions();
    for (QAction* item : source) {
        auto* copy = new QAction(mmTools);
        copy->setSeparator(item->isSeparator());
        copy->setIcon(item->icon());
        copy->setText(item->text());
        copy->setCheckable(item->isCheckable());
        copy->setChecked(item->isChecked());
        copy->setEnabled(item->isEnabled());
        copy->setStatusTip(item->statusTip());
        copy->setShortcut(item->shortcut());
        copy->setProperty(TagProperty, item->property(TagProperty));
        if (item == tbpToolSettei)
            connect(copy, &QAction::triggered, this, &TForm1::tbpToolSetteiClick);
        else if (copy->property(TagProperty).toInt() > 0)
            connect(copy, &QAction::triggered, this, [this, copy] { RunToolFromMenu(copy); });
        mmTools->addAction(copy);
    }
    if (!source.isEmpty())
        qDeleteAll(before);
}

void TForm1::mmToolsClick() { CopyToolsMenu(); }

void TForm1::tbpToolSetteiClick()
{
    auto* forms = AtlasForms::current();
    if (!forms || !forms->formToolSet)
        return;
    if (forms->formToolSet->ShowModal() == QDialog::Accepted) {
        forms->formToolSet->BuildToolsMenu(tbpTools);
        SaveSettings();
    }
}
