// The main window's destination grid, map canvas and undo ring.
#include "Unit1.h"

#include "AtlasForms.h"
#include "ColourText.h"
#include "MapCanvas.h"
#include "MapFile.h"
#include "MapFolders.h"
#include "MapGeometry.h"
#include "MapGridModel.h"
#include "MapPainter.h"
#include "MapPictures.h"
#include "MyRichEdit.h"
#include "PopupKeys.h"
#include "Prompter.h"
#include "Unit2.h"
#include "Unit3.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>

using namespace Qt::StringLiterals;

void TForm1::buildHandlers()
{
    connect(sg1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { sg1Click(); });
    connect(sg1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { sg1SelectCell(index.column(), index.row() + 1); });
    sg1->viewport()->installEventFilter(this);
    sg1->installEventFilter(this);

    connect(bbCityInfoEdit, &QPushButton::clicked, this, &TForm1::bbCityInfoEditClick);
    connect(mmLoadMapPic, &QAction::triggered, this, &TForm1::mmLoadMapPicClick);
    connect(mmEditMapPic, &QAction::triggered, this, &TForm1::mmEditMapPicClick);
    connect(mmCityInfoEdit, &QAction::triggered, this, &TForm1::bbCityInfoEditClick);
    connect(mmTreSet, &QAction::triggered, this, &TForm1::mmTreSetClick);
    connect(bbDelete, &QPushButton::clicked, this, &TForm1::bbDeleteClick);
    connect(bbInsert, &QPushButton::clicked, this, &TForm1::bbInsertClick);
    connect(bbUp, &QPushButton::clicked, this, &TForm1::bbUpClick);
    connect(bbDown, &QPushButton::clicked, this, &TForm1::bbDownClick);
    connect(btNormal, &QPushButton::clicked, this, &TForm1::btNormalClick);

    connect(bbUndo, &QPushButton::clicked, this, &TForm1::bbUndoClick);
    connect(bbRedo, &QPushButton::clicked, this, &TForm1::bbRedoClick);
    connect(mmUndoMap, &QAction::triggered, this, &TForm1::mmUndoMapClick);
    connect(mmUndoCity, &QAction::triggered, this, &TForm1::mmUndoCityClick);
    // The form sees these keys before its controls.
    auto* undoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undoKey, &QShortcut::activated, bbUndo, &QPushButton::click);
    auto* redoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    connect(redoKey, &QShortcut::activated, bbRedo, &QPushButton::click);

    imMap->beforePaint = [this] { ComposeMap(); };
    imMap->onMouseDown = [this](const QPoint& p) { return imMapMouseDown(p); };
    imMap->onMouseMove = [this](const QPoint& p) { imMapMouseMove(p); };
    imMap->onMouseUp = [this](const QPoint& p) { imMapMouseUp(p); };
    imMap->onDblClick = [this](const QPoint& p) { imMapDblClick(p); };
    connect(cbSima, &QPushButton::toggled, this, &TForm1::cbSimaClick);
    connect(cobSima, &QComboBox::activated, this, &TForm1::cobSimaChange);
    connect(cbCityPosHide, &QAbstractButton::toggled, this, &TForm1::cbCityPosHideClick);
    connect(cbColorShow, &QPushButton::toggled, this, &TForm1::cbColorShowClick);
    connect(bbColor1, &QPushButton::clicked, this, &TForm1::bbColor1Click);
    connect(bbColor2, &QPushButton::clicked, this, &TForm1::bbColor2Click);
    connect(bbColor3, &QPushButton::clicked, this, &TForm1::bbColor3Click);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == sg1->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            sg1MouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
            break;
        case QEvent::MouseButtonRelease:
            sg1MouseUp();
            break;
        case QEvent::MouseButtonDblClick:
            if (sg1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).isValid())
                sg1DblClick();
            return true;
        default:
            break;
        }
    } else if (watched == sg1) {
        if (event->type() == QEvent::KeyPress && !PopupKeys::forPopup(watched)
            && sg1KeyDown(static_cast<QKeyEvent*>(event)->key()))
            return true;
        if (event->type() == QEvent::KeyRelease)
            sg1KeyUp(static_cast<QKeyEvent*>(event)->key());
    }
    return QMainWindow::eventFilter(watched, event);
}

int TForm1::selectedRow() const
{
    const QModelIndex current = sg1->currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TForm1::selectRow(int row)
{
    const int r = qBound(1, row, MapDocument::DestinationCount) - 1;
    const int column = qBound(0, sg1->currentIndex().isValid() ? sg1->currentIndex().column() : 1, 7);
    sg1->setCurrentIndex(sg1Model->index(r, column));
    sg1->selectRow(r);
}

// Grid

void TForm1::sg1Click()
{
    cbSima->setChecked(false);
    const QString number = destinationNumber(selectedRow() - 1).trimmed();
    bbCityInfoEdit->setText(number + u"を編集"_s);
    bbDelete->setText(number + u"を削除"_s);
    bbInsert->setText(number + u"に挿入"_s);
    mmCityInfoEdit->setText(u"旅行地 %1 を編集"_s.arg(number));
    PaintMap();
}

void TForm1::sg1SelectCell(int column, int row)
{
    if (column >= 1 && row >= 1)
        SelectedColumn = column;
}

void TForm1::sg1MouseDown(const QPoint& pos)
{
    // A press below the last row hits no destination.
    const QModelIndex index = sg1->indexAt(pos);
    if (!index.isValid())
        return;
    // A click on the row already selected moves nothing, yet it is a click all the same.
    const bool sameRow = index.row() + 1 == selectedRow() && sg1->currentIndex().isValid();
    selectRow(index.row() + 1);
    if (sameRow) sg1Click();
    PaintMap(true);
}

void TForm1::sg1MouseUp()
{
    SuppressHighlight = false;
    PaintMap(false);
}

void TForm1::sg1DblClick()
{
    SuppressHighlight = true;
    bbCityInfoEdit->click();
}

bool TForm1::sg1KeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    bbCityInfoEditClick();
    return true;
}

void TForm1::sg1KeyUp(int key)
{
    if (key == Qt::Key_Escape) {
        SuppressHighlight = false;
        PaintMap(false);
    } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
        SuppressHighlight = false;
        PaintMap(true);
    }
}

void TForm1::bbCityInfoEditClick()
{
    auto* forms = AtlasForms::current();
    if (!forms || !forms->form2)
        return;
    TForm2& f2 = *forms->form2;
    const int row = selectedRow();
    MapDocument::Row& cells = Doc.rows[row - 1];

    SuppressHighlight = true;
    f2.DestinationIndex = row - 1;
    f2.PicturePath = cells[MapDocument::Picture].isEmpty() ? QString()
                                                            : ResolvePicturePath(cells[MapDocument::Picture], false);
    f2.UpdateDestinationCaption();
    QImage picture;
    MapPictures::LoadPictureChecked(MapPictures::DestinationKind, f2.PicturePath, &picture);
    f2.showPicture(picture);
    TForm2::SetBoxText(f2.Edit1, cells[MapDocument::Title1]);
    TForm2::SetBoxText(f2.Edit2, cells[MapDocument::Title2]);
    TForm2::SetBoxText(f2.Edit4, cells[MapDocument::Speech1]);
    TForm2::SetBoxText(f2.Edit5, cells[MapDocument::Speech2]);
    QString description = cells[MapDocument::Description];
    description.replace(u"\\n"_s, u"\r\n"_s, Qt::CaseInsensitive);
    f2.Memo1->SetText(description);
    // Undo in one destination's description must never bring back another destination's text.
    f2.Memo1->ResetTextUndo();
    for (QLineEdit* e : {f2.Edit1, f2.Edit2, f2.Edit4, f2.Edit5})
        e->setModified(false);
    f2.Memo1->setModified(false);

    if (f2.ShowModal() == QDialog::Accepted) {
        // The editor works on the destination it was shown with, whatever the grid did meanwhile.
        MapDocument::Row& target = Doc.rows[f2.DestinationIndex];
        const bool pictureChanged = f2.PictureUndoState(1);
        if (pictureChanged) {
            target[MapDocument::Picture] = QFileInfo(f2.PicturePath).isFile()
                                               ? QFileInfo(f2.PicturePath).fileName() + QString::fromUtf16(ChangedMarker)
                                               : QString();
            if (mmUndoCity->isChecked())
                PushUndo(QString());
        }
        const bool textChanged = f2.Edit1->isModified() || f2.Edit2->isModified() || f2.Edit4->isModified()
                                 || f2.Edit5->isModified() || f2.Memo1->Modified();
        if (textChanged) {
            target[MapDocument::Title1] = f2.Edit1->text();
            target[MapDocument::Title2] = f2.Edit2->text();
            target[MapDocument::Speech1] = f2.Edit4->text();
            target[MapDocument::Speech2] = f2.Edit5->text();
            QString text = f2.Memo1->Text();
            text.replace(u"\r\n"_s, u"\\n"_s);
            target[MapDocument::Description] = text;
            PushUndo(QString());
        }
        sg1Model->refresh();
        if (pictureChanged || textChanged)
            Prompter::inform(this,
                             u"\"旅行地%1\" の内容が変更されました。"_s.arg(destinationNumber(f2.DestinationIndex)));
    }
    selectRow(f2.DestinationIndex + 1);
    cbSimaClick();
    imMap->repaint();
}

void TForm1::bbDeleteClick()
{
    const int row = selectedRow();
    if (Prompter::ask(this, u"旅行地"_s + destinationNumber(row - 1) + u" を削除します。いいですか。"_s,
                      Prompter::Buttons::YesNo)
        == Prompter::Answer::Yes) {
        Doc.deleteRow(row - 1);
        ForgetDestinationPictureUndo();
        sg1Model->refresh();
        PushUndo(QString());
        PaintMap();
    }
    cbSimaClick();
}

void TForm1::bbInsertClick()
{
    if (!Doc.isFree(MapDocument::DestinationCount - 1)) {
        Prompter::warn(this, u"最下行が旅行地の最大数を超えるので，新しい行を挿入できません。"_s);
        return;
    }
    const int row = selectedRow();
    if (Prompter::ask(this, u"旅行地"_s + destinationNumber(row - 1) + u" に新しい行を挿入します。いいですか。"_s,
                      Prompter::Buttons::YesNo)
        == Prompter::Answer::Yes) {
        Doc.insertRow(row - 1);
        ForgetDestinationPictureUndo();
        sg1Model->refresh();
        PushUndo(QString());
        PaintMap();
    }
    cbSimaClick();
}

void TForm1::bbUpClick()
{
    const int row = selectedRow();
    if (row > 1) {
        PushUndo(QString());
        Doc.swapRows(row - 2, row - 1);
        ForgetDestinationPictureUndo();
        sg1Model->refresh();
        selectRow(row - 1);
        PushUndo(QString());
        PaintMap();
    }
    cbSimaClick();
}

void TForm1::bbDownClick()
{
    const int row = selectedRow();
    if (row < MapDocument::DestinationCount) {
        PushUndo(QString());
        Doc.swapRows(row - 1, row);
        ForgetDestinationPictureUndo();
        sg1Model->refresh();
        selectRow(row + 1);
        PushUndo(QString());
        PaintMap();
    }
    cbSimaClick();
}

void TForm1::btNormalClick()
{
    const int total = std::max(Splitter1->sizes().value(0) + Splitter1->sizes().value(1), 645);
    Splitter1->setSizes({445, total - 445});
}

// Undo

void TForm1::ResetUndo(const QString& mapPicturePath)
{
    Undo.reset(MapUndo::take(Doc, cobSima->currentIndex(), cbSima->isChecked(), mapPicturePath, 1));
    bbUndo->setEnabled(false);
    bbRedo->setEnabled(false);
    lbUndo->setText(u"0"_s);
    if (auto* forms = AtlasForms::current(); forms && forms->form3)
        forms->form3->ResetUndo();
    ForgetDestinationPictureUndo();
}

void TForm1::ForgetDestinationPictureUndo()
{
    if (auto* forms = AtlasForms::current(); forms && forms->form2)
        forms->form2->ForgetPictureUndo();
}

bool TForm1::IsModified(int mode)
{
    // Everything the file would hold, compared exactly as it would be written.
    const QString now = MapFile::text(Doc, MapPicturePath.isEmpty() ? QString() : QFileInfo(MapPicturePath).fileName());
    if (mode == 0) {
        m_baseline = now;
        return false;
    }
    return mode == 1 && now != m_baseline;
}

void TForm1::PushUndo(const QString& comparePath)
{
    // The picture the map shows now is what a step compares with, so that a step recorded with
    // no picture path to compare is never a copy of the one before it.
    Q_UNUSED(comparePath);
    Undo.push(MapUndo::take(Doc, cobSima->currentIndex(), cbSima->isChecked(), MapPicturePath, selectedRow()));
    lbUndo->setText(QString::number(Undo.label()));
    bbUndo->setEnabled(Undo.canUndo());
    bbRedo->setEnabled(Undo.canRedo());
}

void TForm1::RestoreSnapshot()
{
    const MapSnapshot& s = Undo.current();
    // A picture whose file has gone is said so; the state stays as it was kept, like a save that
    // meets a missing picture.
    QStringList gone;
    if (!s.empty) {
        Doc.rows = s.rows;
        for (int r = 0; r < MapDocument::DestinationCount; ++r) {
            const QString& picture = Doc.rows[r][MapDocument::Picture];
            if (!picture.isEmpty() && !QFileInfo(ResolvePicturePath(picture, false)).isFile())
                gone << u"旅行地 %1 \"%2\""_s.arg(destinationNumber(r).trimmed(), barePictureName(picture));
        }
        Doc.islands = s.islands;
        cobSima->setCurrentIndex(qBound(0, s.island, 2));
        cbSima->setChecked(s.islandMode);
    } else {
        for (MapDocument::Row& row : Doc.rows)
            row.fill(QString());
        Doc.islands.fill(QString());
        cobSima->setCurrentIndex(0);
        cbSima->setChecked(false);
    }
    MapPicturePath = s.picturePath;
    if (!MapPicturePath.isEmpty() && !QFileInfo(MapPicturePath).isFile())
        gone << u"地図画像 \"%1\""_s.arg(QFileInfo(MapPicturePath).fileName());
    ForgetDestinationPictureUndo();
    MapPictures::LoadPictureChecked(MapPictures::MapKind, MapPicturePath, &MapPicture);
    UpdateCaption();
    sg1Model->refresh();
    edSima->setText(Doc.islands[cobSima->currentIndex()]);
    selectRow(s.empty ? 1 : s.row);
    lbUndo->setText(QString::number(Undo.label()));
    PaintMap();
    WarnPicturesGone(this, gone);
}

void TForm1::WarnPicturesGone(QWidget* parent, const QStringList& gone)
{
    if (!gone.isEmpty())
        Prompter::warn(parent, u"次の画像ファイルが見つからないため，その画像は表示できません。\r\n\r\n"_s
                                   + gone.join(u"\r\n"_s));
}

void TForm1::bbUndoClick()
{
    // Undo and redo change the map picture, as the result of a running tool will.
    if (CheckToolRunning())
        return;
    if (Undo.undo())
        RestoreSnapshot();
    bbUndo->setEnabled(Undo.canUndo());
    bbRedo->setEnabled(Undo.canRedo());
}

void TForm1::bbRedoClick()
{
    if (CheckToolRunning())
        return;
    if (Undo.redo())
        RestoreSnapshot();
    bbUndo->setEnabled(Undo.canUndo());
    bbRedo->setEnabled(Undo.canRedo());
}

void TForm1::mmUndoMapClick() { mmUndoMap->setChecked(mmUndoMap->isChecked()); }

void TForm1::mmUndoCityClick() { mmUndoCity->setChecked(mmUndoCity->isChecked()); }

// Canvas

// Composing is left to the canvas's next paint, so that a burst of changes composes once.
void TForm1::PaintMap(bool highlight)
{
    m_paintHighlight = highlight;
    m_canvasStale = true;
    imMap->update();
}

void TForm1::ComposeMap()
{
    // Composed at the device pixels of the screen the canvas is on, anew when it comes onto another.
    if (MapPainter::fitBuffer(PaintBuffer, imMap->size(), imMap->devicePixelRatioF()))
        m_canvasStale = true;
    if (!m_canvasStale)
        return;
    m_canvasStale = false;
    const bool highlight = m_paintHighlight;
    MapView view;
    view.hidePoints = cbCityPosHide->isChecked();
    view.showCurrent = cbColorShow->isChecked();
    view.islandMode = cbSima->isChecked();
    view.selectedIsland = qBound(0, cobSima->currentIndex(), 2);
    view.selectedRow = selectedRow() - 1;
    view.highlight = highlight && !SuppressHighlight;
    view.labelHalfWidth = LabelHalfWidth;
    view.labelHalfHeight = LabelHalfHeight;
    view.labelFont = m_labelFont;
    MapPainter::paint(PaintBuffer, MapPicture, Doc, view);
}

bool TForm1::imMapMouseDown(const QPoint& pos)
{
    if (SwallowNextMouseDown) {
        SwallowNextMouseDown = false;
        DraggingOnMap = false;
        return false;
    }
    if (cbCityPosHide->isChecked()) {
        SwallowNextMouseDown = false;
        DraggingOnMap = false;
        return false;
    }
    DraggingOnMap = false;
    DragStartValue.clear();
    DragOffsetX = DragOffsetY = 0;
    DragIsland = DragRow = -1;

    const int island = MapGeometry::hitIsland(Doc, pos, LabelHalfWidth, LabelHalfHeight);
    if (island >= 0) {
        const QPoint at = *MapGeometry::parsePosition(Doc.islands[island]);
        cobSima->setCurrentIndex(island);
        edSima->setText(Doc.islands[island]);
        cbSima->setChecked(true);
        DragStartValue = Doc.islands[island];
        DragOffsetX = pos.x() - LabelHalfWidth - at.x();
        DragOffsetY = pos.y() - LabelHalfHeight - at.y();
        DragIsland = island;
        DraggingOnMap = true;
    } else if (const int row = MapGeometry::hitPoint(Doc, pos); row >= 0) {
        const QPoint at = *MapGeometry::parsePosition(Doc.rows[row][MapDocument::Position]);
        selectRow(row + 1);
        sg1->setFocus();
        cbSima->setChecked(false);
        DragStartValue = Doc.rows[row][MapDocument::Position];
        DragOffsetX = pos.x() - at.x();
        DragOffsetY = pos.y() - at.y();
        DragRow = row;
        DraggingOnMap = true;
    }

    // A click on empty canvas places the selected item only when it has no position yet.
    if (!DraggingOnMap) {
        if (cbSima->isChecked()) {
            const int island = qBound(0, cobSima->currentIndex(), 2);
            QString& position = Doc.islands[island];
            if (position.isEmpty()) {
                position = MapGeometry::positionText(pos.x() - LabelHalfWidth - DragOffsetX,
                                                     pos.y() - LabelHalfHeight - DragOffsetY);
                edSima->setText(position);
                DragIsland = island;
                DraggingOnMap = true;
            }
        } else {
            const int row = selectedRow() - 1;
            QString& position = Doc.rows[row][MapDocument::Position];
            if (position.isEmpty()) {
                position = MapGeometry::positionText(pos.x() - DragOffsetX, pos.y() - DragOffsetY);
                sg1Model->refresh();
                sg1->setFocus();
                DragRow = row;
                DraggingOnMap = true;
            }
        }
    }
    PaintMap();
    return DraggingOnMap;
}

// The item grabbed at the press moves, whatever is selected meanwhile.
void TForm1::dragTo(const QPoint& pos)
{
    if (DragIsland >= 0) {
        Doc.islands[DragIsland] = MapGeometry::positionText(pos.x() - LabelHalfWidth - DragOffsetX,
                                                            pos.y() - LabelHalfHeight - DragOffsetY);
        if (cobSima->currentIndex() == DragIsland) {
            edSima->setText(Doc.islands[DragIsland]);
            edSima->repaint();
        }
    } else if (DragRow >= 0) {
        Doc.rows[DragRow][MapDocument::Position] =
            MapGeometry::positionText(pos.x() - DragOffsetX, pos.y() - DragOffsetY);
        sg1Model->refreshRow(DragRow);
    }
}

void TForm1::imMapMouseMove(const QPoint& pos)
{
    if (!DraggingOnMap)
        return;
    dragTo(pos);
    PaintMap();
}

void TForm1::imMapMouseUp(const QPoint& pos)
{
    if (DraggingOnMap) {
        DraggingOnMap = false;
        dragTo(pos);
        const QString now = DragIsland >= 0 ? Doc.islands[DragIsland] : Doc.rows[DragRow][MapDocument::Position];
        if (now != DragStartValue)
            PushUndo(QString());
    }
    PaintMap();
}

void TForm1::imMapDblClick(const QPoint& pos)
{
    // Hidden points are not there for the mouse.
    if (cbCityPosHide->isChecked())
        return;
    const int row = MapGeometry::hitPoint(Doc, pos);
    if (row < 0)
        return;
    selectRow(row + 1);
    bbCityInfoEditClick();
    SwallowNextMouseDown = true;
}

void TForm1::cbSimaClick()
{
    QFont f = cbSima->font();
    f.setBold(cbSima->isChecked());
    cbSima->setFont(f);
    if (cbSima->isChecked())
        cobSima->setFocus();
    else
        sg1->setFocus();
    PaintMap();
}

void TForm1::cobSimaChange()
{
    edSima->setText(Doc.islands[qBound(0, cobSima->currentIndex(), 2)]);
    cbSimaClick();
}

void TForm1::cobSimaDropDown() { cbSima->setChecked(true); }

void TForm1::cbCityPosHideClick() { PaintMap(); }

void TForm1::cbColorShowClick()
{
    QFont f = cbColorShow->font();
    f.setBold(cbColorShow->isChecked());
    cbColorShow->setFont(f);
    PaintMap();
}

void TForm1::chooseColour(int n)
{
    if (const auto c = Prompter::backend().colourDialog(this, ColourText::toQColor(Doc.colours[n - 1]))) {
        Doc.colours[n - 1] = ColourText::fromQColor(*c);
        UpdateColorSwatch(n);
    }
}

void TForm1::bbColor1Click() { chooseColour(1); }
void TForm1::bbColor2Click() { chooseColour(2); }
void TForm1::bbColor3Click() { chooseColour(3); }

void TForm1::UpdateColorSwatch(int n)
{
    drawSwatch(n);
    PaintMap();
}

void TForm1::drawSwatch(int n)
{
    QImage glyph(n == 3 ? 24 : 36, 21, QImage::Format_ARGB32_Premultiplied);
    glyph.fill(QColor(0xC0, 0xC0, 0xC0));
    // The corners take the button face, as the glyph's transparent colour.
    for (const QPoint& corner : {QPoint(0, 0), QPoint(glyph.width() - 1, 0), QPoint(0, 20), QPoint(glyph.width() - 1, 20)})
        glyph.setPixelColor(corner, Qt::transparent);
    const QColor colour = ColourText::toQColor(Doc.colours[n - 1]);
    QPainter p(&glyph);
    p.setPen(colour);
    p.setBrush(colour);
    if (n == 1)
        p.drawLine(4, 10, 33, 10);
    else if (n == 2)
        p.drawLine(18, 10, 33, 10);
    if (n == 3)
        p.drawEllipse(QRect(5, 3, 14, 14));
    else
        p.drawEllipse(QRect(11, 3, 14, 14));
    p.end();
    QPushButton* buttons[] = {bbColor1, bbColor2, bbColor3};
    buttons[n - 1]->setIcon(QIcon(QPixmap::fromImage(glyph)));
    buttons[n - 1]->setIconSize(glyph.size());
}
