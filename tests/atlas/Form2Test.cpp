#include "AtlasFixture.h"
#include "FindDialog.h"
#include "MapFile.h"
#include "MyRichEdit.h"
#include "Unit2.h"
#include "UnitCity.h"
#include "UnitEditText.h"
#include "UnitPictureKiridasi.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QEnterEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace Qt::StringLiterals;
using Prompter::Answer;

class Form2Fixture : public AtlasFixture {
protected:
    TForm2& f2() { return *forms->form2; }
    void show(int destination, const QString& picture = QString())
    {
        f2().DestinationIndex = destination;
        f2().PicturePath = picture;
        f2().FormShow();
    }
    QString picture(const QString& name, QSize size = {400, 225}, QColor c = Qt::red)
    {
        const QString path = program.path() + u"in/"_s + name;
        writePicture(path, size, c);
        return path;
    }
};

TEST_F(Form2Fixture, CaptionNamesTheDestinationAndItsPicture)
{
    f2().DestinationIndex = 0;
    f2().UpdateDestinationCaption();
    EXPECT_EQ(f2().windowTitle(), u"0 番目の旅行地 <スタート地点>"_s);
    const QString p = picture(u"x.bmp"_s);
    f2().DestinationIndex = 12;
    f2().PicturePath = p;
    f2().UpdateDestinationCaption();
    EXPECT_EQ(f2().windowTitle(), u"12 番目の旅行地　（旅行地画像 \"x.bmp\"）"_s);
}

TEST_F(Form2Fixture, TagButtonsAndKeysInsertOrWrap)
{
    show(1);
    f2().Memo1->SetText(u"赤い字"_s);
    f2().Memo1->setSelStart(0);
    f2().Memo1->setSelLength(4); // "赤い" in code page 932 bytes
    EXPECT_TRUE(f2().FormKeyDown(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(f2().Memo1->Text(), u"<r>赤い</r>字"_s);

    f2().Memo1->setSelStart(f2().Memo1->TextLength());
    f2().FormKeyDown(Qt::Key_W, Qt::ControlModifier);
    f2().FormKeyDown(Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f2().Memo1->Text(), u"<r>赤い</r>字<w></w>"_s);

    f2().FormKeyDown(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(f2().Memo1->Text(), u"<r>赤い</r>字<w></w><http://>"_s);
    EXPECT_EQ(f2().Memo1->SelStart(), f2().Memo1->TextLength() - 1) << "the caret waits before the final \">\"";
    EXPECT_FALSE(f2().FormKeyDown(Qt::Key_Q, Qt::ControlModifier));
}

TEST_F(Form2Fixture, BackgroundTagIsBlueFirst)
{
    show(1);
    prompter->colours = {QColor(0x11, 0x22, 0x33)};
    f2().bbBGClick();
    EXPECT_EQ(f2().Memo1->Text(), u"<bg=332211>"_s);
}

TEST_F(Form2Fixture, PasteTurnsTabsIntoBlanks)
{
    show(1);
    QGuiApplication::clipboard()->setText(u"a\tb\t\tc"_s);
    f2().pmPasteClick();
    EXPECT_EQ(f2().Memo1->Text(), u"a b  c"_s);

    // Every refused character is named, those that do not show by their code; a no-break space is
    // a blank.
    f2().Memo1->SetText(QString());
    QGuiApplication::clipboard()->setText(u"z\u200bw\ufeffb\u200fr\u0301c😀e\u00a0n"_s);
    f2().pmPasteClick();
    EXPECT_EQ(f2().Memo1->Text(), u"zwbrce n"_s);
    EXPECT_EQ(prompter->lastText(), u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n"
                                    u"見えない文字 U+200B，見えない文字 U+FEFF，見えない文字 U+200F，"
                                    u"見えない文字 U+0301，\"😀\" (U+1F600)"_s);
}

TEST_F(Form2Fixture, PictureRingContinuesForTheSameDestinationOnly)
{
    show(3, u"/p/a.bmp"_s);
    f2().PushPictureUndo(u"/p/b.bmp"_s);
    show(3, u"/p/b.bmp"_s);
    EXPECT_TRUE(f2().CanUndoPicture());
    f2().PushPictureUndo(u"/p/b.bmp"_s);
    EXPECT_EQ(f2().PictureUndo.last(), 1) << "the same path adds no step";
    f2().PushPictureUndo(u"/p/B.BMP"_s);
    EXPECT_EQ(f2().PictureUndo.last(), 2) << "one differing in case is another file";
    show(5, u"/p/c.bmp"_s);
    EXPECT_FALSE(f2().CanUndoPicture());
    EXPECT_EQ(f2().lbUndo->text(), u"0"_s);
}

TEST_F(Form2Fixture, PictureRingWalksBackThroughABranch)
{
    // Undo brings back only pictures that are still on disk.
    auto p = [this](const QString& name) {
        const QString path = program.path() + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    };
    show(2, p(u"p1"_s));
    for (int i = 2; i <= 6; ++i)
        f2().PushPictureUndo(p(u"p%1"_s.arg(i)));
    for (int i = 0; i < 3; ++i)
        f2().bbUndoClick();
    EXPECT_EQ(f2().PicturePath, p(u"p3"_s));
    f2().PushPictureUndo(p(u"q"_s));
    QStringList seen;
    while (f2().CanUndoPicture()) {
        f2().bbUndoClick();
        seen << QFileInfo(f2().PicturePath).fileName();
    }
    EXPECT_EQ(seen, (QStringList{u"p3"_s, u"p4"_s, u"p5"_s, u"p6"_s, u"p5"_s, u"p4"_s, u"p3"_s, u"p2"_s, u"p1"_s}));

    // One deleted meanwhile is not shown: the editor stays at the picture it shows.
    while (f2().CanRedoPicture())
        f2().bbRedoClick();
    QFile::remove(program.path() + u"p3"_s);
    prompter->asked.clear();
    f2().bbUndoClick();
    EXPECT_EQ(QFileInfo(f2().PicturePath).fileName(), u"q"_s);
    EXPECT_TRUE(prompter->lastText().startsWith(u"画像ファイルが見つかりません。"_s));
}

TEST_F(Form2Fixture, ImportOfTheRightSizeMakesAWorkingCopy)
{
    show(4);
    const QString source = picture(u"photo.JPG"_s);
    f2().ImportDestinationPicture(source, true, false);
    EXPECT_EQ(f2().PicturePath, f1().PictureFolder + u"/04.jpg"_s);
    EXPECT_TRUE(QFileInfo::exists(f2().PicturePath));
    EXPECT_EQ(prompter->lastText(),
              u"「画像フォルダ」-「新規マップファイル」フォルダに，\r\n新しい旅行地画像 \"04.jpg\" を保存しました。"_s);
    EXPECT_TRUE(f2().PictureUndoState(1));

    // A second import of the same name never overwrites the first copy.
    f2().ImportDestinationPicture(source, true, false);
    EXPECT_EQ(f2().PicturePath, f1().PictureFolder + u"/04_001.jpg"_s);

    // A tool's picture in the folder whose name does not say what it holds is taken as a copy that does.
    const QString bmpAsJpg = f1().PictureFolder + u"/04_500.jpg"_s;
    ASSERT_TRUE(QFile::copy(picture(u"drawn.bmp"_s, {400, 225}, Qt::blue), bmpAsJpg));
    f2().ImportDestinationPicture(bmpAsJpg, false, false);
    EXPECT_EQ(f2().PicturePath, f1().PictureFolder + u"/04.bmp"_s);
    EXPECT_EQ(readBytes(f2().PicturePath), readBytes(bmpAsJpg));
}

TEST_F(Form2Fixture, UpperCaseExtensionOnOkIsANewPictureAndAStep)
{
    writePicture(f1().PictureFolder + u"/00.bmp"_s, {400, 225}, Qt::red);
    f1().Doc.rows[0][MapDocument::Picture] = u"00.bmp"_s;
    f1().ResetUndo(QString());
    const QString source = picture(u"NEW.BMP"_s, {400, 225}, Qt::green);
    f1().selectRow(1);
    prompter->modals.push_back([&](QDialog&) {
        f2().ImportDestinationPicture(source, true, false);
        return int(QDialog::Accepted);
    });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(f1().Doc.rows[0][MapDocument::Picture], u"00_001.bmp *"_s);
    EXPECT_EQ(pictureColour(f1().PictureFolder + u"/00_001.bmp"_s), QColor(Qt::green));
    EXPECT_EQ(pictureColour(f1().PictureFolder + u"/00.bmp"_s), QColor(Qt::red));
    EXPECT_EQ(prompter->lastText(), u"\"旅行地 00\" の内容が変更されました。"_s);
    EXPECT_TRUE(f1().CanUndo());

    // A map written elsewhere names "01.BMP"; the copy "01.bmp" beside it is another picture.
    writePicture(f1().PictureFolder + u"/01.BMP"_s, {400, 225}, Qt::red);
    f1().Doc.rows[1][MapDocument::Picture] = u"01.BMP"_s;
    f1().selectRow(2);
    const qint64 last = f1().Undo.ring().last();
    prompter->modals.push_back([&](QDialog&) {
        f2().ImportDestinationPicture(source, true, false);
        return int(QDialog::Accepted);
    });
    f1().bbCityInfoEditClick();
    EXPECT_EQ(f1().Doc.rows[1][MapDocument::Picture], u"01.bmp *"_s);
    EXPECT_EQ(f1().Undo.ring().last(), last + 1);
}

TEST_F(Form2Fixture, WrongSizeGoesThroughSizeCorrection)
{
    show(7);
    const QString source = picture(u"big.bmp"_s, {1024, 768});
    prompter->modals.push_back([](QDialog& d) {
        auto& k = static_cast<TFormPictureKiridasi&>(d);
        EXPECT_EQ(k.RequiredWidth, 400);
        EXPECT_EQ(k.RequiredHeight, 225);
        k.WorkBitmap = QImage(400, 225, QImage::Format_RGB32);
        k.WorkBitmap.fill(Qt::blue);
        return int(QDialog::Accepted);
    });
    f2().ImportDestinationPicture(source, true, false);
    EXPECT_TRUE(prompter->asked.front().text.startsWith(u"画像サイズが 横400 × 縦225 ではないため，"_s));
    EXPECT_EQ(f2().PicturePath, f1().PictureFolder + u"/07.bmp"_s);
    EXPECT_EQ(pictureColour(f2().PicturePath), QColor(Qt::blue));

    // A cancelled correction keeps the picture there was.
    prompter->modals.push_back([](QDialog&) { return int(QDialog::Rejected); });
    f2().ImportDestinationPicture(source, true, false);
    EXPECT_EQ(f2().PicturePath, f1().PictureFolder + u"/07.bmp"_s);
}

TEST_F(Form2Fixture, WhatIsNoPictureIsRefused)
{
    show(7);
    const QString text = program.write(u"in/notes.bmp"_s, "hello");
    f2().ImportDestinationPicture(text, true, false);
    EXPECT_TRUE(f2().PicturePath.isEmpty());
    EXPECT_EQ(prompter->asked.size(), 1u);
    QDir folder(f1().PictureFolder);
    EXPECT_TRUE(folder.entryList(QDir::Files).isEmpty());
}

TEST_F(Form2Fixture, RemovingThePictureAsksAndKeepsTheFile)
{
    show(0);
    const QString source = picture(u"p.bmp"_s);
    f2().ImportDestinationPicture(source, true, false);
    const QString copy = f2().PicturePath;
    prompter->answers = {Answer::Yes};
    f2().btDeleteCityPicClick();
    EXPECT_TRUE(prompter->asked.back().text == u"旅行地00 の画像を削除します。いいですか。"_s);
    EXPECT_TRUE(f2().PicturePath.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(copy));
}

TEST_F(Form2Fixture, CancelAsksBeforeDroppingChanges)
{
    show(1);
    f2().Edit1->setModified(false);
    EXPECT_TRUE(f2().FormClose(QDialog::Rejected));
    f2().Edit1->setText(u"x"_s);
    f2().Edit1->setModified(true);
    prompter->answers = {Answer::No};
    EXPECT_FALSE(f2().FormClose(QDialog::Rejected));
    EXPECT_EQ(prompter->lastText(), u"変更した内容を破棄します。いいですか。"_s);
    EXPECT_TRUE(f2().FormClose(QDialog::Accepted));
}

TEST_F(Form2Fixture, NoToolMeansAWarningAndNoCopy)
{
    show(1);
    const QString source = picture(u"p.bmp"_s);
    f2().ImportDestinationPicture(source, true, false);
    const QStringList before = QDir(f1().PictureFolder).entryList(QDir::Files);
    f2().btEditCityPicClick();
    EXPECT_TRUE(prompter->lastText().startsWith(u"外部ツールが登録されていません。"_s));
    EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files), before);
}

TEST_F(Form2Fixture, LargerEditorWindowHandsTheTextBackAsAnEdit)
{
    show(1);
    f2().Memo1->SetText(u"before"_s);
    f2().Memo1->setModified(false);
    prompter->modals.push_back([this](QDialog&) {
        forms->formEditText->MyRichEdit1->SetText(u"after\r\nline"_s);
        return int(QDialog::Accepted);
    });
    f2().btEditClick();
    EXPECT_EQ(f2().Memo1->Text(), u"after\r\nline"_s);
    EXPECT_TRUE(f2().Memo1->Modified());

    // A wave dash typed in the window is at once the one the map file holds: OK finds nothing to
    // refuse.
    prompter->modals.push_back([this](QDialog&) {
        TMyRichEdit* page = forms->formEditText->MyRichEdit1;
        page->SetText(QString());
        for (const QString& typed : {u"東"_s, u"京"_s, u"〜"_s, u"大"_s, u"阪"_s})
            QTest::sendKeyEvent(QTest::Click, page, Qt::Key_unknown, typed, Qt::NoModifier);
        EXPECT_EQ(page->Text(), u"東京～大阪"_s);
        return int(QDialog::Accepted);
    });
    const size_t asked = prompter->asked.size();
    f2().btEditClick();
    QCoreApplication::processEvents();
    EXPECT_EQ(f2().Memo1->Text(), u"東京～大阪"_s);
    EXPECT_EQ(prompter->asked.size(), asked);
}

// The undo keys of the description go through its menu commands to the control's own ring.
TEST_F(Form2Fixture, DescriptionUndoKeysStepThroughTheControlsRing)
{
    show(1);
    TMyRichEdit* memo = f2().Memo1;
    memo->SetText(QString());
    memo->ResetTextUndo();
    memo->setModified(false);
    QTest::keyClicks(memo, u"ab"_s);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, u"cd"_s);
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo->Text(), u"ab\r\n"_s);
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(memo->Text(), u"ab"_s);
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(memo->Text(), u"ab\r\n"_s);
    EXPECT_TRUE(memo->Modified());
    f2().pmRedoClick();
    EXPECT_EQ(memo->Text(), u"ab\r\ncd"_s);
}

// Keys on the description's pop-up menu are the menu's alone: the form under it stays open and
// the text as it was. Without the menu, Escape still cancels.
TEST_F(Form2Fixture, KeysOnThePopupMenuLeaveTheFormOpen)
{
    show(1);
    f2().show();
    QApplication::setActiveWindow(&f2());
    TMyRichEdit* memo = f2().Memo1;
    memo->setFocus();
    QTest::keyClicks(memo, u"abc"_s);
    QMenu* menu = f2().PopupMenu1;
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_F4}) {
        menu->popup(memo->mapToGlobal(QPoint(10, 10)));
        ASSERT_EQ(QApplication::activePopupWidget(), menu);
        QTest::keyClick(menu, key);
        menu->hide();
        EXPECT_TRUE(f2().isVisible()) << key;
        EXPECT_EQ(memo->Text(), u"abc"_s) << key;
    }
    EXPECT_TRUE(prompter->asked.empty());

    prompter->answers = {Answer::Yes};
    QTest::keyClick(memo, Qt::Key_Escape);
    EXPECT_EQ(prompter->lastText(), u"変更した内容を破棄します。いいですか。"_s);
    EXPECT_FALSE(f2().isVisible());
}

TEST_F(Form2Fixture, PreviewGetsTheRenderedDescription)
{
    show(5);
    f2().Edit1->setText(QString());
    f2().Memo1->SetText(u"<r>赤</r>\r\n次の行"_s);
    bool shown = false;
    prompter->modals.push_back([&](QDialog& d) {
        auto& city = static_cast<TFormCity&>(d);
        EXPECT_EQ(city.windowTitle(), u"ぐるりみつけ隊　ストーリー　（5番目の旅行地）"_s);
        EXPECT_EQ(city.lbCityTitle->text(), u"タイトル１行目"_s);
        EXPECT_EQ(city.SpeechText1, u"♪せりふ１行目♪"_s);
        EXPECT_EQ(city.memoCity->Text(), u"赤\r\n次の行"_s);
        shown = true;
        return int(QDialog::Rejected);
    });
    f2().bbCheckClick();
    EXPECT_TRUE(shown);
}

TEST_F(Form2Fixture, ReturnInATextBoxPressesNoButton)
{
    show(1);
    f2().show();
    QApplication::setActiveWindow(&f2());
    f2().Edit1->setFocus();
    QTest::keyClick(f2().Edit1, Qt::Key_Return);
    EXPECT_TRUE(prompter->fileRequests.empty()) << "the import dialog must not open";
    EXPECT_TRUE(f2().isVisible());
    f2().hide();
}

// The editor and the preview have no status line: their hints show in the main window's, from its
// first showing on; a window with a status line of its own keeps its hints there.
TEST_F(Form2Fixture, HintsOfDialogsShowInTheMainStatusLine)
{
    f1().FormShow();
    auto hover = [](QWidget* w, bool enter) {
        if (enter) {
            QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QApplication::sendEvent(w, &e);
        } else {
            QEvent e(QEvent::Leave);
            QApplication::sendEvent(w, &e);
        }
    };
    for (QWidget* w : std::initializer_list<QWidget*>{f2().Edit1, f2().Memo1, f2().btOK, forms->formCity->memoCity}) {
        SCOPED_TRACE(w->statusTip().toStdString());
        ASSERT_FALSE(w->statusTip().isEmpty());
        hover(w, true);
        EXPECT_EQ(f1().stb1->currentMessage(), w->statusTip());
        hover(w, false);
        EXPECT_EQ(f1().stb1->currentMessage(), QString());
    }
    EXPECT_EQ(f2().btOK->statusTip(), u"操作を確定して，このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<F4>"_s);

    TFormPictureKiridasi& cut = *forms->formPictureKiridasi;
    f1().stb1->showMessage(u"前のヒント"_s);
    hover(cut.bbFit, true);
    EXPECT_EQ(cut.StatusBar1->currentMessage(), cut.bbFit->statusTip());
    EXPECT_EQ(f1().stb1->currentMessage(), u"前のヒント"_s);
}

// Line-end marks are drawn in the description editor window, not in the destination editor's
// description nor in the preview's rendered description.
TEST_F(Form2Fixture, OnlyTheEditorWindowShowsLineEndMarks)
{
    auto marksShown = [](TMyRichEdit* edit) {
        QWidget* window = edit->window();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        edit->SetText(u"ab\r\ncd"_s);
        edit->setSelStart(0);
        edit->StrColor().ColorCR = ColourText::clRed;
        const QImage image = edit->viewport()->grab().toImage();
        window->hide();
        // Red pixels just after the end of the first line, where the mark goes.
        const QPoint at = edit->PosFromChar(2);
        const int height = edit->fontMetrics().height();
        for (int y = at.y(); y < at.y() + height; ++y)
            for (int x = at.x(); x < at.x() + height; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                    return true;
            }
        return false;
    };
    EXPECT_FALSE(marksShown(f2().Memo1));
    EXPECT_FALSE(marksShown(forms->formCity->memoCity));
    EXPECT_TRUE(marksShown(forms->formEditText->MyRichEdit1));
}

// A replacement made in all destinations from the larger editor reaches every other
// destination's stored description, line-break escapes intact, as one map undo step.
TEST_F(Form2Fixture, ReplaceInAllDestinationsIsOneMapStep)
{
    for (int row : {0, 1, 7})
        f1().Doc.rows[size_t(row)][MapDocument::Description] = u"cat\\ncat"_s;
    f1().ResetUndo(QString());
    f1().IsModified(0);
    const int label = f1().Undo.label();
    show(1);
    f2().Memo1->SetText(u"cat"_s);
    prompter->modals.push_back([this](QDialog&) {
        TFormEditText& w = *forms->formEditText;
        w.ReplaceDialog1->setFindText(u"cat\r\nc"_s);
        w.ReplaceDialog1->edReplace->setText(u"dog\r\nc"_s);
        w.ReplaceDialog1->setWholeWord(true);
        w.ReplaceDialog1Replace(true);
        w.ReplaceDialog1->setFindText(u"n"_s);
        w.ReplaceDialog1->edReplace->setText(u"N"_s);
        w.ReplaceDialog1Replace(true);
        return int(QDialog::Accepted);
    });
    f2().btEditClick();
    EXPECT_EQ(f1().Doc.rows[0][MapDocument::Description], u"dog\\ncat"_s);
    EXPECT_EQ(f1().Doc.rows[7][MapDocument::Description], u"dog\\ncat"_s);
    EXPECT_EQ(f1().Doc.rows[1][MapDocument::Description], u"cat\\ncat"_s) << "the one being edited";
    EXPECT_EQ(f1().Undo.label(), label + 1);
    EXPECT_TRUE(f1().IsModified(1)) << "New, Open and Close must ask";
    f1().bbUndoClick();
    EXPECT_EQ(f1().Doc.rows[0][MapDocument::Description], u"cat\\ncat"_s);

    // A one-way character the replacement brings is the one the map file holds, here and in every
    // other destination, so the map can be saved.
    prompter->modals.push_back([this](QDialog&) {
        TFormEditText& w = *forms->formEditText;
        w.ReplaceDialog1->setFindText(u"cat"_s);
        w.ReplaceDialog1->edReplace->setText(u"猫〜"_s);
        w.ReplaceDialog1->setWholeWord(true);
        w.ReplaceDialog1Replace(true);
        return int(QDialog::Accepted);
    });
    f2().btEditClick();
    EXPECT_EQ(f2().Memo1->Text(), u"猫～"_s);
    EXPECT_EQ(f1().Doc.rows[7][MapDocument::Description], u"猫～\\n猫～"_s);
    QString why;
    EXPECT_FALSE(MapFile::write(f1().Doc, QString(), &why).isEmpty()) << why.toStdString();
}
