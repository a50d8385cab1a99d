#include "AtlasFixture.h"
#include "MapCanvas.h"
#include "MapGeometry.h"
#include "MapGridModel.h"
#include "Unit2.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include "MyRichEdit.h"
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;
using Prompter::Answer;

namespace {

QString& cell(TForm1& f, int row, MapDocument::Column c) { return f.Doc.rows[row][c]; }

} // namespace

using Grid = AtlasFixture;

TEST_F(Grid, SelectionNamesTheDestinationOnButtonsAndMenu)
{
    f1().selectRow(6);
    EXPECT_EQ(f1().bbCityInfoEdit->text(), u"05を編集"_s);
    EXPECT_EQ(f1().bbDelete->text(), u"05を削除"_s);
    EXPECT_EQ(f1().bbInsert->text(), u"05に挿入"_s);
    EXPECT_EQ(f1().mmCityInfoEdit->text(), u"旅行地 05 を編集"_s);
}

TEST_F(Grid, InsertDeleteAndMovesAtTheEnds)
{
    cell(f1(), 0, MapDocument::Title1) = u"a"_s;
    cell(f1(), 1, MapDocument::Title1) = u"b"_s;
    f1().selectRow(1);
    prompter->answers = {Answer::Yes};
    f1().bbInsertClick();
    EXPECT_EQ(prompter->lastText(), u"旅行地 00 に新しい行を挿入します。いいですか。"_s);
    EXPECT_TRUE(f1().Doc.isFree(0));
    EXPECT_EQ(cell(f1(), 1, MapDocument::Title1), u"a"_s);
    EXPECT_TRUE(f1().CanUndo());

    cell(f1(), 61, MapDocument::Speech2) = u"full"_s;
    const MapDocument before = f1().Doc;
    f1().bbInsertClick();
    EXPECT_EQ(prompter->lastText(), u"最下行が旅行地の最大数を超えるので，新しい行を挿入できません。"_s);
    EXPECT_EQ(f1().Doc, before);

    f1().selectRow(62);
    prompter->answers = {Answer::Yes};
    f1().bbDeleteClick();
    EXPECT_EQ(prompter->lastText(), u"旅行地 61 を削除します。いいですか。"_s);
    EXPECT_TRUE(f1().Doc.isFree(61));

    f1().selectRow(2);
    prompter->answers = {Answer::Yes};
    f1().bbDeleteClick();
    EXPECT_EQ(cell(f1(), 1, MapDocument::Title1), u"b"_s);

    // Moving the first row up or the last one down changes nothing and records nothing.
    const qint64 last = f1().Undo.ring().last();
    f1().selectRow(1);
    f1().bbUpClick();
    f1().selectRow(62);
    f1().bbDownClick();
    EXPECT_EQ(f1().Undo.ring().last(), last);
}

TEST_F(Grid, MovesSwapRowsAndFollowTheSelection)
{
    cell(f1(), 4, MapDocument::Title1) = u"four"_s;
    cell(f1(), 5, MapDocument::Title1) = u"five"_s;
    f1().selectRow(6);
    f1().bbUpClick();
    EXPECT_EQ(cell(f1(), 4, MapDocument::Title1), u"five"_s);
    EXPECT_EQ(f1().selectedRow(), 5);
    f1().bbDownClick();
    EXPECT_EQ(cell(f1(), 5, MapDocument::Title1), u"five"_s);
    EXPECT_EQ(f1().selectedRow(), 6);
    f1().bbUndoClick();
    EXPECT_EQ(cell(f1(), 4, MapDocument::Title1), u"five"_s);
    EXPECT_EQ(f1().selectedRow(), 5);
}

TEST_F(Grid, APressBelowTheLastRowDoesNothing)
{
    f1().resize(1024, 2400); // a list taller than its 62 rows
    f1().sg1->resize(900, 1700);
    f1().selectRow(3);
    f1().sg1MouseDown(QPoint(50, 1690));
    EXPECT_EQ(f1().selectedRow(), 3);
}

TEST_F(Grid, EveryClickReleasesTheIslandToggleAlsoOnTheNumberColumn) {
    f1().show();
    f1().selectRow(4);
    QWidget* numbers = f1().sg1->fixedColumn()->viewport();
    const int rowY = f1().sg1->visualRect(f1().sg1Model->index(3, 2)).center().y();
    for (QWidget* where : {f1().sg1->viewport(), numbers}) {
        f1().cbSima->setChecked(true);
        QTest::mouseClick(where, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(10, rowY));
        EXPECT_FALSE(f1().cbSima->isChecked()) << where->parent()->objectName().toStdString();
        EXPECT_EQ(f1().selectedRow(), 4);
    }
    // A press on the numbers selects like one on the cells, and leaves the keys with the list.
    QTest::mouseClick(numbers, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(10, rowY + 20));
    EXPECT_EQ(f1().selectedRow(), 5);
    EXPECT_EQ(f1().bbCityInfoEdit->text(), u"04を編集"_s);
}

TEST_F(Grid, NumberColumnStaysInPlaceWhileTheListScrolls) {
    f1().show();
    FixedColumnTableView& grid = *f1().sg1;
    QTableView& numbers = *grid.fixedColumn();
    ASSERT_TRUE(numbers.isVisible());
    const QPoint place = numbers.pos();
    EXPECT_EQ(place.x(), grid.viewport()->x());
    EXPECT_EQ(numbers.columnWidth(0), 38);
    EXPECT_EQ(numbers.height(), grid.viewport()->height() + grid.horizontalHeader()->height());
    for (int c = 1; c < 8; ++c)
        EXPECT_TRUE(numbers.isColumnHidden(c));

    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    ASSERT_GT(grid.horizontalScrollBar()->value(), 38) << "the list must be wider than its view";
    EXPECT_LT(grid.visualRect(f1().sg1Model->index(0, 0)).right(), 0); // the grid's own cell is gone
    EXPECT_EQ(numbers.pos(), place);
    QWidget* seen = grid.childAt(grid.viewport()->geometry().topLeft() + QPoint(5, 5));
    EXPECT_TRUE(seen == &numbers || numbers.isAncestorOf(seen));
    EXPECT_EQ(numbers.visualRect(f1().sg1Model->index(0, 0)).left(), 0);

    // Down the list, the numbers keep to the rows beside them.
    f1().selectRow(50);
    EXPECT_GT(grid.rowAt(0), 0);
    EXPECT_EQ(numbers.rowAt(0), grid.rowAt(0));
    EXPECT_EQ(numbers.indexAt(QPoint(5, 5)).data().toString(), destinationNumber(grid.rowAt(0)));

    // A press on a number selects its whole row and leaves the list where it was scrolled.
    const int sideways = grid.horizontalScrollBar()->value();
    const int rowY = grid.visualRect(f1().sg1Model->index(grid.rowAt(0) + 2, 1)).center().y();
    QTest::mouseClick(numbers.viewport(), Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(10, rowY));
    EXPECT_EQ(f1().selectedRow(), grid.rowAt(0) + 3);
    EXPECT_TRUE(grid.selectionModel()->isRowSelected(grid.rowAt(0) + 2, {}));
    EXPECT_EQ(grid.horizontalScrollBar()->value(), sideways);

    // A cell brought into view is not left under the numbers.
    f1().sg1->setCurrentIndex(f1().sg1Model->index(49, 1));
    EXPECT_GE(grid.visualRect(f1().sg1Model->index(49, 1)).left(), numbers.width());
}

TEST_F(Grid, DestinationEditorExchange)
{
    cell(f1(), 4, MapDocument::Title1) = u"パリ"_s;
    cell(f1(), 4, MapDocument::Description) = u"一行目\\n二行目\\N三行目"_s;
    f1().selectRow(5);
    QString shownDescription;
    prompter->modals.push_back([&](QDialog& d) {
        auto& f2 = static_cast<TForm2&>(d);
        shownDescription = f2.Memo1->Text();
        EXPECT_EQ(f2.windowTitle(), u"4 番目の旅行地"_s);
        f2.Edit2->setText(u"フランス \"首都\""_s);
        f2.Edit2->setModified(true);
        f2.Memo1->SetText(u"A\r\nB"_s);
        f2.Memo1->setModified(true);
        return int(QDialog::Accepted);
    });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(shownDescription, u"一行目\r\n二行目\r\n三行目"_s);
    EXPECT_EQ(cell(f1(), 4, MapDocument::Title2), u"フランス \"首都\""_s);
    EXPECT_EQ(cell(f1(), 4, MapDocument::Description), u"A\\nB"_s);
    EXPECT_EQ(prompter->lastText(), u"\"旅行地 04\" の内容が変更されました。"_s);
    EXPECT_TRUE(f1().CanUndo());
    EXPECT_EQ(f1().selectedRow(), 5);

    // OK without a change: no message, no step.
    const qint64 last = f1().Undo.ring().last();
    const size_t asked = prompter->asked.size();
    prompter->modals.push_back([](QDialog&) { return int(QDialog::Accepted); });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(prompter->asked.size(), asked);
    EXPECT_EQ(f1().Undo.ring().last(), last);

    // Typed in one destination, undone in the next: the other's text never comes back.
    QString typed;
    prompter->modals.push_back([&](QDialog& d) {
        auto& f2 = static_cast<TForm2&>(d);
        f2.show();
        f2.Memo1->setFocus();
        QTest::keyClicks(f2.Memo1, u"xyz"_s);
        typed = f2.Memo1->Text();
        f2.hide();
        return int(QDialog::Rejected);
    });
    prompter->answers = {Answer::Yes};
    f1().bbCityInfoEditClick();
    f1().selectRow(1);
    QString afterUndo;
    prompter->modals.push_back([&](QDialog& d) {
        auto& f2 = static_cast<TForm2&>(d);
        for (int i = 0; i < 5; ++i) {
            f2.Memo1->UndoText();
            afterUndo += f2.Memo1->Text();
        }
        return int(QDialog::Rejected);
    });
    f1().bbCityInfoEditClick();
    EXPECT_TRUE(typed.contains(u"xyz"_s));
    EXPECT_EQ(afterUndo, QString());
}

// The destination editor's boxes take only what the map file holds and reads back; a text that came
// in by another road stops the save, named, before anything is written.
TEST_F(Grid, TextBoxesTakeOnlyWhatTheMapFileHoldsAndTheSaveRefusesTheRest)
{
    const QStringList towns{u"東京"_s, u"大阪"_s, u"京都"_s};
    for (int r = 0; r < 3; ++r)
        cell(f1(), r, MapDocument::Title1) = towns[r];
    f1().selectRow(2);
    auto paste = [](QLineEdit* box, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        box->selectAll();
        box->paste();
        QCoreApplication::processEvents(); // the box tells once its edit is over
    };
    prompter->modals.push_back([&](QDialog& d) {
        paste(static_cast<TForm2&>(d).Edit1, u"X\nY"_s);
        return int(QDialog::Accepted);
    });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(cell(f1(), 1, MapDocument::Title1), u"X"_s) << "the first line of a paste, and OK takes it";
    EXPECT_EQ(prompter->lastText(), u"\"旅行地 01\" の内容が変更されました。"_s);

    const QString longText(40000, u'長');
    QString memo;
    prompter->modals.push_back([&](QDialog& d) {
        auto& f2 = static_cast<TForm2&>(d);
        paste(f2.Edit2, u"ベル\x07"_s);
        // Typed as an input method gives them, each character a key of its own.
        for (const QString& typed : {u"a"_s, u"é"_s, u"𠮷"_s, u"😀"_s}) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(f2.Edit4, &key);
        }
        QKeyEvent wave(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, u"〜"_s);
        QApplication::sendEvent(f2.Memo1, &wave);
        QCoreApplication::processEvents();
        paste(f2.Edit5, u"せりふ"_s);
        paste(f2.Edit5, longText);
        EXPECT_EQ(f2.Edit5->text(), u"せりふ"_s) << "nothing is cut without a word";
        QGuiApplication::clipboard()->setText(u"説明\x0c文\r\n二行目"_s);
        f2.pmPasteClick();
        memo = f2.Memo1->Text();
        return int(QDialog::Accepted);
    });
    const size_t asked = prompter->asked.size();
    f1().bbCityInfoEditClick();
    QStringList told;
    for (size_t i = asked; i < prompter->asked.size(); ++i)
        told << prompter->asked[i].text;
    EXPECT_EQ(told, (QStringList{
                        u"次の文字はマップファイルに保存できないため，入力できません。\r\n制御文字 U+0007"_s,
                        u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n\"é\" (U+00E9)"_s,
                        u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n\"𠮷\" (U+20BB7)"_s,
                        u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n\"😀\" (U+1F600)"_s,
                        u"文字数が 32767 文字を超えるため，入力できません。"_s,
                        u"次の文字はマップファイルに保存できないため，入力できません。\r\n制御文字 U+000C"_s,
                        u"\"旅行地 01\" の内容が変更されました。"_s}));
    EXPECT_EQ(memo, u"～説明文\r\n二行目"_s) << "the wave typed is the one the file holds";
    const MapDocument::Row& row = f1().Doc.rows[1];
    EXPECT_EQ(QStringList(row.begin() + 1, row.end()),
              (QStringList{u"X"_s, u"ベル"_s, QString(), u"a"_s, u"せりふ"_s, u"～説明文\\n二行目"_s}));

    const QString path = mapPath(u"towns.map"_s);
    f1().SaveMapFile(path, QString());
    ASSERT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    ASSERT_TRUE(f1().LoadMapFile(path));
    for (int r : {0, 2})
        EXPECT_EQ(cell(f1(), r, MapDocument::Title1), towns[r]);
    EXPECT_EQ(f1().Doc.rows[1], row);

    // Another road into the map: the save says where and what, and the file stays as it was.
    const QByteArray before = readBytes(path);
    cell(f1(), 2, MapDocument::Speech1) = u"鐘\x07"_s;
    f1().PushUndo(QString());
    f1().SaveMapFile(path, QString());
    EXPECT_FALSE(f1().SaveSucceeded);
    EXPECT_EQ(prompter->lastText(), u"マップファイルを保存できませんでした。\r\n\r\n"_s
                                    u"旅行地 02 の「せりふ１行目」に，マップファイルに保存できない文字（制御文字 U+0007）があります。"_s);
    EXPECT_EQ(readBytes(path), before);
}

TEST_F(Grid, ChangedPictureGetsTheMarkerAndAStep)
{
    const QString pic = f1().PictureFolder + u"/07_000.bmp"_s;
    writePicture(pic, {400, 225}, Qt::red);
    f1().selectRow(8);
    prompter->modals.push_back([&](QDialog& d) {
        static_cast<TForm2&>(d).PicturePath = pic;
        return int(QDialog::Accepted);
    });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(cell(f1(), 7, MapDocument::Picture), u"07_000.bmp *"_s);
    EXPECT_TRUE(f1().CanUndo());

    // A picture that vanished leaves the cell empty.
    prompter->modals.push_back([&](QDialog& d) {
        static_cast<TForm2&>(d).PicturePath = f1().PictureFolder + u"/gone.bmp"_s;
        return int(QDialog::Accepted);
    });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(cell(f1(), 7, MapDocument::Picture), QString());
}

using Canvas = AtlasFixture;

TEST_F(Canvas, ClickPlacesDragMovesUndoBringsBack)
{
    f1().selectRow(3);
    f1().imMapMouseDown({100, 120});
    f1().imMapMouseUp({100, 120});
    EXPECT_EQ(cell(f1(), 2, MapDocument::Position), u"100,120"_s);
    EXPECT_TRUE(f1().CanUndo());

    // A click elsewhere never moves a placed destination.
    f1().imMapMouseDown({300, 300});
    f1().imMapMouseUp({300, 300});
    EXPECT_EQ(cell(f1(), 2, MapDocument::Position), u"100,120"_s);

    // Grabbed off-centre, the point keeps its offset from the pointer.
    f1().selectRow(1);
    f1().imMapMouseDown({103, 118});
    EXPECT_EQ(f1().selectedRow(), 3);
    f1().imMapMouseMove({200, 200});
    f1().imMapMouseUp({203, 218});
    EXPECT_EQ(cell(f1(), 2, MapDocument::Position), u"200,220"_s);

    f1().bbUndoClick();
    EXPECT_EQ(cell(f1(), 2, MapDocument::Position), u"100,120"_s);
    f1().bbUndoClick();
    EXPECT_EQ(cell(f1(), 2, MapDocument::Position), QString());
    EXPECT_FALSE(f1().CanUndo());
    f1().bbRedoClick();
    f1().bbRedoClick();
    EXPECT_EQ(cell(f1(), 2, MapDocument::Position), u"200,220"_s);
}

TEST_F(Canvas, ClickWithoutMovingRecordsNothing)
{
    cell(f1(), 0, MapDocument::Position) = u"50,50"_s;
    f1().ResetUndo(QString());
    f1().imMapMouseDown({50, 50});
    f1().imMapMouseUp({50, 50});
    EXPECT_FALSE(f1().CanUndo());
}

TEST_F(Canvas, IslandLabelsComeBeforePoints)
{
    cell(f1(), 0, MapDocument::Position) = u"60,60"_s;
    f1().Doc.islands[2] = u"50,50"_s;
    f1().imMapMouseDown({52, 52});
    EXPECT_TRUE(f1().cbSima->isChecked());
    EXPECT_EQ(f1().cobSima->currentIndex(), 2);
    f1().imMapMouseUp({62, 72});
    EXPECT_EQ(f1().Doc.islands[2], u"60,70"_s);
    EXPECT_EQ(f1().edSima->text(), u"60,70"_s);
    EXPECT_EQ(cell(f1(), 0, MapDocument::Position), u"60,60"_s);

    // In island mode an unplaced island is centred on the click.
    f1().cobSima->setCurrentIndex(0);
    f1().cobSimaChange();
    f1().imMapMouseDown({500, 300});
    f1().imMapMouseUp({500, 300});
    EXPECT_EQ(f1().Doc.islands[0],
              MapGeometry::positionText(500 - f1().LabelHalfWidth, 300 - f1().LabelHalfHeight));
}

TEST_F(Canvas, HiddenPointsIgnoreTheMouse)
{
    f1().cbCityPosHide->setChecked(true);
    f1().imMapMouseDown({100, 100});
    f1().imMapMouseUp({100, 100});
    EXPECT_TRUE(f1().Doc.isFree(0));
}

TEST_F(Canvas, DoubleClickOpensThePointAndOnlyItsOwnPressIsSwallowed)
{
    cell(f1(), 9, MapDocument::Position) = u"400,200"_s;
    int opened = 0;
    prompter->modals.push_back([&](QDialog& d) {
        ++opened;
        EXPECT_EQ(static_cast<TForm2&>(d).DestinationIndex, 9);
        return int(QDialog::Rejected);
    });
    // Real mouse: press, release, double click (in place of the second press), release.
    QTest::mouseDClick(f1().imMap, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(401, 201));
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(f1().SwallowNextMouseDown);

    // Hidden points are not there for the mouse.
    f1().cbCityPosHide->setChecked(true);
    QTest::mouseDClick(f1().imMap, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(401, 201));
    EXPECT_EQ(opened, 1);
    f1().cbCityPosHide->setChecked(false);

    // The next real click works: it places the selected, unplaced destination.
    f1().selectRow(12);
    QTest::mouseClick(f1().imMap, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(700, 100));
    EXPECT_EQ(cell(f1(), 11, MapDocument::Position), u"700,100"_s);
}

TEST_F(Canvas, MalformedPositionsCountAsNotPlaced)
{
    cell(f1(), 0, MapDocument::Position) = u"abc"_s;
    cell(f1(), 1, MapDocument::Position) = u"10,"_s;
    f1().cbColorShow->setChecked(true);
    f1().PaintMap(true);
    EXPECT_EQ(MapGeometry::hitPoint(f1().Doc, {10, 0}), -1);
}

TEST_F(Canvas, ColoursAreChosenWithoutAnUndoStep)
{
    prompter->colours = {QColor(0x12, 0x34, 0x56), std::nullopt};
    f1().bbColor2Click();
    EXPECT_EQ(f1().Doc.colours[1], 0x563412);
    f1().bbColor3Click();
    EXPECT_EQ(f1().Doc.colours[2], ColourText::clYellow);
    EXPECT_FALSE(f1().CanUndo());
    EXPECT_TRUE(f1().IsModified(1)) << "the file would hold the new colour";
}

using MapUndoForm = AtlasFixture;

TEST_F(MapUndoForm, LabelAndButtonsFollowTheRing)
{
    for (int i = 0; i < 25; ++i) {
        cell(f1(), 0, MapDocument::Title1) = QString::number(i);
        f1().PushUndo(QString());
    }
    EXPECT_EQ(f1().lbUndo->text(), u"4"_s);
    int undone = 0;
    while (f1().bbUndo->isEnabled()) {
        f1().bbUndoClick();
        ++undone;
    }
    EXPECT_EQ(undone, 20);
    EXPECT_EQ(f1().lbUndo->text(), u"5"_s);
    EXPECT_EQ(cell(f1(), 0, MapDocument::Title1), u"4"_s);
    EXPECT_TRUE(f1().bbRedo->isEnabled());
}

TEST_F(MapUndoForm, IdenticalStatesAreNotRecordedEvenWithAPicture)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    f1().PushUndo(QString());
    f1().PushUndo(QString());
    EXPECT_FALSE(f1().CanUndo());
    // A change of letter case is a change.
    cell(f1(), 1, MapDocument::Title2) = u"title with spaces"_s;
    f1().PushUndo(QString());
    EXPECT_TRUE(f1().CanUndo());
    EXPECT_TRUE(f1().IsModified(1));
}

TEST_F(MapUndoForm, ModifiedAfterLoadEditUndoAndSave)
{
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    EXPECT_FALSE(f1().IsModified(1));
    cell(f1(), 3, MapDocument::Position) = u"1,2"_s;
    f1().PushUndo(QString());
    EXPECT_TRUE(f1().IsModified(1));
    f1().bbUndoClick();
    EXPECT_FALSE(f1().IsModified(1));
    f1().bbRedoClick();
    EXPECT_TRUE(f1().IsModified(1));
    prompter->answers = {Answer::Yes};
    f1().mmSaveClick();
    ASSERT_TRUE(f1().SaveSucceeded);
    EXPECT_FALSE(f1().IsModified(1));
    EXPECT_FALSE(f1().CanUndo());
    // The treasure list is part of the file too.
    f1().Doc.treasures[5] = u"r09.bmp"_s;
    EXPECT_TRUE(f1().IsModified(1));
}

TEST_F(MapUndoForm, UndoKeysReachTheButtons)
{
    cell(f1(), 0, MapDocument::Title1) = u"x"_s;
    f1().PushUndo(QString());
    f1().show();
    QApplication::setActiveWindow(&f1());
    QTest::keyClick(f1().sg1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(f1(), 0, MapDocument::Title1), QString());
    QTest::keyClick(f1().sg1, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(cell(f1(), 0, MapDocument::Title1), u"x"_s);
}
