#include "Unit3.h"

#include "AtlasForms.h"
#include "BmpPicture.h"
#include "FileOps.h"
#include "FixedColours.h"
#include "MapCanvas.h"
#include "MapDocument.h"
#include "MapPictures.h"
#include "MyFileDialogs.h"
#include "Prompter.h"
#include "RichEditMargin.h"
#include "Unit1.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize ViewSize(500, 473);

TForm1* mainForm()
{
    auto* forms = AtlasForms::current();
    return forms ? forms->form1.get() : nullptr;
}

QString extensionOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix;
}

} // namespace

TForm3::TForm3(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(u"Form3"_s);
    setWindowTitle(u"宝物画像の取り込み"_s);
    resize(864, 565);

    sg3 = new QTableWidget(SlotCount, 2, this);
    sg3->setHorizontalHeaderLabels({u"名前"_s, u"画像名"_s});
    sg3->verticalHeader()->hide();
    sg3->verticalHeader()->setDefaultSectionSize(20);
    sg3->setSelectionBehavior(QAbstractItemView::SelectRows);
    sg3->setSelectionMode(QAbstractItemView::SingleSelection);
    sg3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    imTre = new QLabel(this);
    imTre->setFixedSize(ViewSize);
    RichEditMargin1 = new TRichEditMargin(this);
    btLoad = new QPushButton(u"取り込む"_s, this);
    btEdit = new QPushButton(u"編集する"_s, this);
    btDelete = new QPushButton(u"削除する"_s, this);
    cbShowBack = new QCheckBox(u"背景を表示する"_s, this);
    cbPicDir = new QCheckBox(u"画像フォルダ"_s, this);
    cbReload = new QCheckBox(u"再修正"_s, this);
    cbKiridasi = new QCheckBox(u"サイズ修正"_s, this);
    cbKiridasi->hide();
    bbUndo = new QPushButton(u"元に戻す"_s, this);
    bbRedo = new QPushButton(u"先に戻す"_s, this);
    lbUndo = new QLabel(u"0"_s, this);
    bbPicDir = new QPushButton(u"画像フォルダ"_s, this);
    btClose = new QPushButton(u"閉じる"_s, this);

    auto* left = new QVBoxLayout;
    left->addWidget(sg3, 1);
    left->addWidget(RichEditMargin1);
    RichEditMargin1->setFixedHeight(100);
    RichEditMargin1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(btLoad), static_cast<QWidget*>(btEdit), static_cast<QWidget*>(btDelete),
                       static_cast<QWidget*>(cbShowBack)})
        buttons->addWidget(w);
    buttons->addStretch();
    auto* options = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(cbPicDir), static_cast<QWidget*>(cbReload),
                       static_cast<QWidget*>(cbKiridasi), static_cast<QWidget*>(bbUndo), static_cast<QWidget*>(bbRedo),
                       static_cast<QWidget*>(lbUndo), static_cast<QWidget*>(bbPicDir)})
        options->addWidget(w);
    options->addStretch();
    options->addWidget(btClose);
    auto* right = new QVBoxLayout;
    right->addWidget(imTre);
    right->addLayout(buttons);
    right->addLayout(options);
    auto* grid = new QGridLayout(this);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);

    connect(sg3, &QTableWidget::itemSelectionChanged, this, &TForm3::sg3Click);
    connect(cbShowBack, &QCheckBox::clicked, this, &TForm3::cbShowBackClick);
    connect(btLoad, &QPushButton::clicked, this, &TForm3::btLoadClick);
    connect(btEdit, &QPushButton::clicked, this, &TForm3::btEditClick);
    connect(btDelete, &QPushButton::clicked, this, &TForm3::btDeleteClick);
    connect(btClose, &QPushButton::clicked, this, &TForm3::btCloseClick);
    connect(bbUndo, &QPushButton::clicked, this, &TForm3::bbUndoClick);
    connect(bbRedo, &QPushButton::clicked, this, &TForm3::bbRedoClick);
    connect(bbPicDir, &QPushButton::clicked, this, &TForm3::bbPicDirClick);
    FormCreate();
}

TForm3::~TForm3() = default;

QString TForm3::SlotName(int row)
{
    if (row == 1)
        return u" t01"_s;
    if (row == 2)
        return u" t02"_s;
    return u" r%1"_s.arg(row - 2, 2, 10, QLatin1Char('0'));
}

void TForm3::FormCreate()
{
    TForm1* f1 = mainForm();
    mopd1 = f1 ? f1->NewPictureDialog() : std::make_unique<TMyOpenPictureDialog>();
    mopd1->Title = u"宝物画像の取り込み"_s;
    if (f1)
        bbPicDir->setStatusTip(f1->hintOf(f1->mmOpenPicDir));

    btLoad->setStatusTip(u"現在のマップファイルに，宝物の画像を新しく追加します。"_s);
    cbPicDir->setStatusTip(u"画像を取り込むときに表示されるフォルダを，マップファイルの画像フォルダにします。"_s);
    cbReload->setStatusTip(
        u"表示されている画像を，サイズ修正フォームで開きます。ここを選択して［取り込む］を実行して下さい。"_s);
    cbKiridasi->setStatusTip(
        u"画像を取り込んだ後，必ずサイズ修正フォームを表示します。 ※通常，サイズ修正フォームは，取り込む画像のサイズが正しくないときだけ表示されます。"_s);
    btEdit->setStatusTip(u"表示されている画像を編集します。"_s);
    btDelete->setStatusTip(u"現在のマップファイルから，表示されている画像を削除します。"_s);
    cbShowBack->setStatusTip(u"背景に地図画像を表示します。"_s);
    bbUndo->setStatusTip(u"内容の変更を取り消します。戻せる回数は最大 "_s + u"20"_s
                         + u" 回です。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<Z>"_s);
    bbRedo->setStatusTip(u"「元に戻す」を取り消します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<Z>"_s);
    btClose->setStatusTip(u"このフォームを閉じます。"_s);

    RichEditMargin1->setReadOnly(true);
    RichEditMargin1->setIndentLeft(8);
    RichEditMargin1->setIndentTop(6);
    FixedColours::fix(*RichEditMargin1, QPalette::Base, QColor(255, 255, 192));
    RichEditMargin1->setPlainText(u"■宝物の画像には，次の３種類があります。\n"_s
                                  u"・通常の宝物（\"t01\"）… 1個\n"_s
                                  u"・ポポルン確定の宝物（\"t02\"）… 1個\n"_s
                                  u"・レア宝物（\"r01\"～\"r99\"）… 99個"_s);

    for (int row = 1; row <= SlotCount; ++row) {
        sg3->setItem(row - 1, 0, new QTableWidgetItem(SlotName(row)));
        sg3->setItem(row - 1, 1, new QTableWidgetItem(QString()));
    }
    sg3->setColumnWidth(0, 48);
    sg3->setColumnWidth(1, 160);
    // A map given on the command line was loaded before this form existed: its treasures are the
    // list, the first undo state and the baseline.
    ReadNamesFromMap();
    SelectRow(1);

    ResetTreasureUndo();
    TreasureUndoState(0);
}

int TForm3::ShowModal()
{
    WindowPlacement::centre(*this, WindowPlacement::openerOf(*this, parentWidget()));
    return Prompter::backend().execModal(*this);
}

int TForm3::SelectedRow() const
{
    const int r = sg3->currentRow();
    return r < 0 ? 1 : r + 1;
}

void TForm3::SelectRow(int row)
{
    sg3->setCurrentCell(qBound(1, row, SlotCount) - 1, 1);
}

QString TForm3::NameAt(int row) const
{
    const QTableWidgetItem* item = sg3->item(row - 1, 1);
    return item ? item->text() : QString();
}

void TForm3::SetNameAt(int row, const QString& name)
{
    if (row < 1 || row > SlotCount)
        return;
    sg3->item(row - 1, 1)->setText(name);
    // The list is part of the map: its save renames the pictures and writes these names.
    if (TForm1* f1 = mainForm())
        f1->Doc.treasures[size_t(row - 1)] = name;
}

void TForm3::ReadNamesFromMap()
{
    TForm1* f1 = mainForm();
    for (int row = 1; row <= SlotCount; ++row)
        sg3->item(row - 1, 1)->setText(f1 ? f1->Doc.treasures[size_t(row - 1)] : QString());
}

// Pictures

void TForm3::showImage(const QImage& image)
{
    imTrePicture = image;
    imTre->setPixmap(QPixmap::fromImage(image));
}

bool TForm3::ShowTreasurePicture()
{
    TForm1* f1 = mainForm();
    const QString path = f1 ? f1->ResolvePicturePath(NameAt(SelectedRow()), true) : QString();
    // A JPEG comes in at 256 colours: the noise around its flat background then falls into the
    // background's own colour, and the map shows through all of it instead of in speckles.
    const auto jpegFormat =
        PictureFile::isJpegName(path) ? JpegPicture::PixelFormat::Colours256 : JpegPicture::PixelFormat::FullColour;
    QImage picture;
    if (!MapPictures::LoadPictureChecked(MapPictures::TreasureKind, path, &picture, nullptr, jpegFormat)) {
        showImage(picture);
        return false;
    }
    picture = picture.convertToFormat(QImage::Format_RGB32);
    QImage view(ViewSize, QImage::Format_RGB32);
    view.fill(palette().color(QPalette::Window));
    QPainter p(&view);
    if (cbShowBack->isChecked() && f1) {
        // The map as the main window shows it; composed again only when something changed it.
        f1->ComposeMap();
        const QImage& map = f1->PaintBuffer;
        // The middle of the map drawing, divided toward zero as for a map of any size; the drawing is
        // at the screen's device pixels, its size is the canvas's.
        const QSize mapSize = f1->imMap->size();
        const QPoint from((mapSize.width() - ViewSize.width()) / 2, (mapSize.height() - ViewSize.height()) / 2);
        p.drawImage(QRectF(-from, mapSize), map, QRectF(QPointF(0, 0), QSizeF(mapSize) * map.devicePixelRatio()));
        // The picture's bottom-left colour lets the map show through.
        const QRgb clear = picture.pixel(0, picture.height() - 1);
        QImage masked = picture.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < masked.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
            for (int x = 0; x < masked.width(); ++x)
                if ((line[x] & 0xffffff) == (clear & 0xffffff))
                    line[x] = 0;
        }
        picture = masked;
    }
    p.drawImage(QPoint((ViewSize.width() - picture.width()) / 2, (ViewSize.height() - picture.height()) / 2), picture);
    p.end();
    showImage(view);
    return true;
}

bool TForm3::IsTreasurePictureSize(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    return PictureFile::load(path).size() == MapPictures::requiredSize(MapPictures::TreasureKind);
}

void TForm3::ImportTreasurePicture(QString path, bool copy, bool force)
{
    TForm1* f1 = mainForm();
    const int row = SelectedRow();
    // Only no name or a missing file takes the picture away; anything else there must read as one.
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        TreasurePicturePath.clear();
        showImage(MapPictures::DrawInstructionPlaceholder(MapPictures::TreasureKind));
        PushTreasureUndo();
        return;
    }

    // What is not a picture that can be read back is refused before anything is copied.
    QString why;
    const QImage loaded = PictureFile::load(path, &why);
    if (loaded.isNull()) {
        Prompter::warn(this, why);
        return;
    }
    bool corrected = false;
    if (force || loaded.size() != MapPictures::requiredSize(MapPictures::TreasureKind)) {
        if (!force)
            showImage(MapPictures::DrawWrongSizePlaceholder(MapPictures::TreasureKind));
        const std::optional<QImage> result =
            f1 ? f1->CorrectPictureSize(this, MapPictures::TreasureKind, path, !force) : std::nullopt;
        if (!result) {
            ShowTreasurePicture();
            return;
        }
        corrected = true;
    }

    // A picture from outside the picture folder is always copied in, so the row never names a
    // file the folder does not hold, and so is one whose extension does not name its content; a
    // copy never overwrites a file that is there.
    if (copy || (f1 && !f1->IsInPictureFolder(path)) || !PictureFile::namesItsContent(path)) {
        const QString made = f1 ? f1->MakeWorkingCopy(path, SlotName(row).trimmed() + extensionOf(path)) : QString();
        if (made.isEmpty()) {
            ShowTreasurePicture();
            return;
        }
        TreasurePicturePath = made;
    } else {
        TreasurePicturePath = path;
    }
    if (corrected && !f1->SaveCorrectedPicture(TreasurePicturePath)) {
        ShowTreasurePicture();
        return;
    }
    SetNameAt(row, QFileInfo(TreasurePicturePath).isFile() ? QFileInfo(TreasurePicturePath).fileName() + u" *"_s
                                                           : QString());
    PushTreasureUndo();
    ShowTreasurePicture();
    Prompter::inform(
        this, u"「画像フォルダ」-「%1」フォルダに，\r\n新しい宝物画像 \"%2\" を保存しました。"_s.arg(
                  f1 ? QDir(f1->PictureFolder).dirName() : QString(), QFileInfo(TreasurePicturePath).fileName()));
}

void TForm3::btLoadClick()
{
    TForm1* f1 = mainForm();
    if (!f1 || f1->CheckToolRunning())
        return;
    TreasurePicturePath = f1->ResolvePicturePath(NameAt(SelectedRow()), true);
    mopd1->Title = u"宝物画像の取り込み"_s;
    if (!TreasurePicturePath.isEmpty() && cbReload->isChecked()) {
        ImportTreasurePicture(TreasurePicturePath, true, true);
        return;
    }
    if (cbPicDir->isChecked())
        mopd1->InitialDir = f1->PictureFolder;
    if (mopd1->Execute(this))
        ImportTreasurePicture(mopd1->FileName, true, cbKiridasi->isChecked());
}

void TForm3::btEditClick()
{
    TForm1* f1 = mainForm();
    if (!f1)
        return;
    const int row = SelectedRow();
    const QString current = f1->ResolvePicturePath(NameAt(row), true);
    TForm1::PictureEdit edit;
    edit.kind = MapPictures::TreasureKind;
    edit.form = this;
    edit.current = current;
    edit.name = SlotName(row).trimmed();
    // The form stayed usable: the result belongs to the row the run was started for, whichever is
    // selected now, and that row is shown with it.
    edit.take = [this, row](const QString& picture) {
        SelectRow(row);
        ImportTreasurePicture(picture, false, false);
    };
    edit.restore = [this, current] {
        TreasurePicturePath = current;
        ShowTreasurePicture();
    };
    edit.names = [this, f1, row](const QString& path) {
        return FileOps::sameEntry(f1->ResolvePicturePath(NameAt(row), false), path);
    };
    f1->EditPictureWithTool(edit);
}

void TForm3::btDeleteClick()
{
    TForm1* f1 = mainForm();
    if (NameAt(SelectedRow()).isEmpty() || (f1 && f1->CheckToolRunning()))
        return;
    if (Prompter::ask(this, u"選択した画像を削除します。いいですか。"_s, Prompter::Buttons::YesCancel)
        != Prompter::Answer::Yes)
        return;
    // The file stays until the map is saved, so that undo can bring it back.
    SetNameAt(SelectedRow(), QString());
    TreasurePicturePath.clear();
    ImportTreasurePicture(QString(), false, false);
}

void TForm3::btCloseClick()
{
    reject();
}

void TForm3::done(int result)
{
    if (TForm1* f1 = mainForm(); f1 && f1->CheckToolRunning())
        return;
    QDialog::done(result);
}

void TForm3::bbPicDirClick()
{
    if (TForm1* f1 = mainForm())
        f1->mmOpenPicDirClick();
}

void TForm3::sg3Click()
{
    ShowTreasurePicture();
}

void TForm3::cbShowBackClick()
{
    ShowTreasurePicture();
}

// Undo

TForm3::TreasureSnapshot TForm3::currentNames() const
{
    TreasureSnapshot s;
    for (int row = 1; row <= SlotCount; ++row)
        s.names[size_t(row - 1)] = NameAt(row);
    s.row = SelectedRow();
    return s;
}

void TForm3::updateUndoButtons()
{
    lbUndo->setText(QString::number(UndoSlot()));
    bbUndo->setEnabled(CanUndoPicture());
    bbRedo->setEnabled(CanRedoPicture());
}

void TForm3::ResetUndo()
{
    ReadNamesFromMap();
    ResetTreasureUndo();
    TreasureUndoState(0);
    ShowTreasurePicture();
}

void TForm3::ResetTreasureUndo()
{
    TreasureSnapshot first = currentNames();
    first.row = 1;
    Undo.reset(first);
    for (qint64 p = 1; p < UndoSlots; ++p)
        Undo.at(p) = TreasureSnapshot{};
    updateUndoButtons();
}

bool TForm3::TreasureUndoState(int mode)
{
    if (mode == 0) {
        m_baselineNames = currentNames().names;
        return false;
    }
    for (int row = 1; row <= SlotCount; ++row)
        if (NameAt(row) != m_baselineNames[size_t(row - 1)])
            return true;
    return false;
}

void TForm3::PushTreasureUndo()
{
    const TreasureSnapshot now = currentNames();
    bool differs = false;
    for (int i = 0; i < SlotCount && !differs; ++i)
        differs = now.names[size_t(i)] != Undo.currentState().names[size_t(i)];
    if (!differs)
        return;
    Undo.push(now);
    updateUndoButtons();
}

void TForm3::ApplyTreasureUndo()
{
    TForm1* f1 = mainForm();
    const TreasureSnapshot s = Undo.currentState();
    QStringList gone;
    for (int row = 1; row <= SlotCount; ++row) {
        const QString& name = s.names[size_t(row - 1)];
        SetNameAt(row, name);
        if (f1 && !name.isEmpty() && !QFileInfo(f1->ResolvePicturePath(name, false)).isFile())
            gone << u"宝物 %1 \"%2\""_s.arg(SlotName(row).trimmed(), barePictureName(name));
    }
    {
        const QSignalBlocker quiet(sg3);
        SelectRow(s.row);
    }
    ShowTreasurePicture();
    lbUndo->setText(QString::number(UndoSlot()));
    TForm1::WarnPicturesGone(this, gone);
}

void TForm3::bbUndoClick()
{
    // A step would take the row of the running tool's picture from under it.
    if (TForm1* f1 = mainForm(); f1 && f1->CheckToolRunning())
        return;
    if (Undo.undo())
        ApplyTreasureUndo();
    updateUndoButtons();
}

void TForm3::bbRedoClick()
{
    if (TForm1* f1 = mainForm(); f1 && f1->CheckToolRunning())
        return;
    if (Undo.redo())
        ApplyTreasureUndo();
    updateUndoButtons();
}

bool TForm3::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Z || !(modifiers & Qt::ControlModifier))
        return false;
    if (modifiers & Qt::ShiftModifier)
        bbRedo->click();
    else
        bbUndo->click();
    return true;
}

void TForm3::keyPressEvent(QKeyEvent* event)
{
    if (!FormKeyDown(event->key(), event->modifiers()))
        QDialog::keyPressEvent(event);
}
