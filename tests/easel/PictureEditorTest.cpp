#include "EaselFixture.h"

#include "BmpPicture.h"
#include "MyFileDialogs.h"
#include "Palette.h"
#include "UnitShowMasu.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

namespace {

using Prompter::Answer;

const QString ChangedQuestion = u"ファイルが変更されています。保存しますか。"_s;

class PictureEditorTest : public EaselFixture {};

TEST_F(PictureEditorTest, StartsWithABlankCanvasAndNothingToAsk) {
    EXPECT_EQ(ed().windowTitle(), u"画像エディタ"_s);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(600, 400));
    EXPECT_EQ(ed().udWidth->value(), 600);
    EXPECT_EQ(ed().udHeight->value(), 400);
    EXPECT_EQ(ed().zoom(), 100);
    EXPECT_EQ(ed().ScrollBox1->paintBoxSize(), QSize(600, 400));
    EXPECT_FALSE(ed().CanUndo());
    EXPECT_FALSE(ed().Doc.hasBackground());
    EXPECT_TRUE(ed().FormClose());
    EXPECT_TRUE(prompter->asked.empty());
    EXPECT_EQ(ed().OpaqueWhite, Palette::rgb(255, 254, 255));
    EXPECT_EQ(ed().SecondWhite, Palette::rgb(255, 254, 254));
}

TEST_F(PictureEditorTest, TitleVariants) {
    const struct {
        int colours;
        QString path, title;
    } cases[] = {
        {0, QString(), u"画像エディタ"_s},
        {0, u"/pics/picture.bmp"_s, u"画像エディタ ～ picture.bmp"_s},
        {256, QString(), u"画像エディタ (256色)"_s},
        {16, u"/a/b/旅行地.JPG"_s, u"画像エディタ (16色) ～ 旅行地.JPG"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TFormPictureEditor::TitleText(c.colours, c.path), c.title);
}

TEST_F(PictureEditorTest, PictureDialogsStartInThePictureFolder) {
    const QString filter =
        u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;
    const struct {
        TMyFileDialog* dialog;
        QString title;
    } dialogs[] = {{ed().MyOpenPictureDialog2.get(), u"開く"_s},
                   {ed().MySavePictureDialog2.get(), u"名前を付けて保存"_s},
                   {ed().MyOpenPictureDialog3.get(), u"見本画像を開く"_s}};
    for (const auto& d : dialogs) {
        EXPECT_EQ(d.dialog->Title, d.title);
        EXPECT_EQ(d.dialog->Filter, filter);
        EXPECT_EQ(d.dialog->FilterIndex, 3);
        EXPECT_EQ(d.dialog->DefaultExt, u"bmp"_s);
        EXPECT_EQ(d.dialog->InitialDir, program.path() + u"画像と音声"_s);
    }
    ASSERT_TRUE(ed().MySavePictureDialog2->OnTypeChange);
    EXPECT_EQ(ed().MySavePictureDialog2->OnTypeChange(2, u"a.bmp"_s), u"a.jpg"_s);
    EXPECT_EQ(fileNameCleanUp(), CleanUpVariant::Easel);
}

TEST_F(PictureEditorTest, DragOutsideTheViewScrollsOnePixelPerPass) {
    ed().SetCanvasSize(1500, 1200);
    QWidget* view = ed().ScrollBox1->viewport();
    ed().ScrollBox1->setScrollPosition({50, 50});
    QCursor::setPos(view->mapToGlobal(QPoint(-10, 40)));
    if (view->mapFromGlobal(QCursor::pos()) != QPoint(-10, 40))
        GTEST_SKIP() << "this platform does not move the pointer";
    ed().IdleAutoScroll();
    EXPECT_EQ(ed().ScrollBox1->scrollPosition(), QPoint(50, 50)); // no drag, no scrolling
    ed().SetMouseDragging(true);
    ed().IdleAutoScroll();
    ed().IdleAutoScroll();
    EXPECT_EQ(ed().ScrollBox1->scrollPosition(), QPoint(48, 50));
    EXPECT_TRUE(ed().AutoScrollMoved);
    QCursor::setPos(view->mapToGlobal(QPoint(view->width() + 5, view->height() + 5)));
    ed().IdleAutoScroll();
    EXPECT_EQ(ed().ScrollBox1->scrollPosition(), QPoint(49, 51));
    ed().SetMouseDragging(false);
}

TEST_F(PictureEditorTest, FileMenuCarriesItsMnemonicsInOrder) {
    QStringList visible;
    for (QAction* a : ed().mmFile->actions())
        if (a->isVisible() && !a->isSeparator()) visible << a->text();
    EXPECT_EQ(visible, (QStringList{u"新規作成(&N)"_s, u"開く(&O)"_s, u"上書き保存(&S)"_s,
                                    u"名前を付けて保存(&A)"_s, u"終了(&X)"_s}));
    EXPECT_EQ(ed().mmFile->title(), u"ファイル(&F)"_s);
}

// Open and Save of both kinds, any case of extension.
class PictureRoundTripTest : public EaselFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(PictureRoundTripTest, OpenShowsThePictureAndSaveWritesTheCanvas) {
    const QString name = QString::fromLatin1(GetParam());
    const bool jpeg = PictureFile::isJpegName(name);
    const QImage source = patternPicture({123, 77});
    const QString path = writePicture(u"in/"_s + name, source);

    prompter->files.push_back(path);
    ed().mmPicOpenClick();
    ASSERT_EQ(ed().PictureFileName, path);
    EXPECT_EQ(ed().windowTitle(), u"画像エディタ ～ "_s + name);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(123, 77));
    EXPECT_EQ(ed().udWidth->value(), 123);
    EXPECT_EQ(ed().udHeight->value(), 77);
    if (!jpeg) {
        EXPECT_EQ(ed().Doc.CanvasBitmap, source);
    }
    EXPECT_FALSE(ed().IsChangedSinceSave(1));

    // A mark in the second near-white is saved as pure white.
    QImage mark(2, 2, QImage::Format_RGB32);
    mark.fill(ColourText::toQRgb(ed().SecondWhite));
    stamp(mark, {10, 10});
    EXPECT_TRUE(ed().IsChangedSinceSave(1));
    const QString out = program.file(u"out/"_s + name);
    QDir().mkpath(program.file(u"out"_s));
    prompter->files.push_back(out);
    ASSERT_TRUE(ed().SaveAsDialog());
    EXPECT_TRUE(prompter->asked.empty()) << prompter->lastText().toStdString();

    const QImage saved = PictureFile::load(out);
    ASSERT_EQ(saved.size(), QSize(123, 77));
    // The picture came through; a JPEG only roughly (quality 100, yet lossy).
    qint64 error = 0;
    for (int y = 20; y < 77; ++y)
        for (int x = 0; x < 123; ++x) {
            const QRgb a = saved.pixel(x, y), b = source.pixel(x, y);
            error +=
                std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LE(double(error) / (57 * 123 * 3), jpeg ? 4.0 : 0.0);
    if (!jpeg) {
        EXPECT_EQ(saved.pixel(10, 10), qRgb(255, 255, 255));
        EXPECT_EQ(saved, WithSecondWhiteAsWhite(ed().Doc.CanvasBitmap, ColourText::toQRgb(ed().SecondWhite)));
        EXPECT_EQ(program.read(out).at(28), 24); // bits per pixel
    }
    EXPECT_EQ(ed().PictureFileName, out);
    EXPECT_EQ(ed().windowTitle(), u"画像エディタ ～ "_s + name);
    EXPECT_FALSE(ed().CanUndo());
    // Closing after a save asks nothing.
    EXPECT_TRUE(ed().FormClose());
    EXPECT_TRUE(prompter->asked.empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictureRoundTripTest,
                         ::testing::Values("a.bmp", "B.BMP", "c.jpg", "D.JPG"),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(PictureEditorTest, SaveWithAnUnsupportedExtensionWritesNothingAndSendsNothing) {
    ReceiverThread caller(u"TFormEaselTest"_s);
    ed().CallerClassName = u"TFormEaselTest"_s;
    stamp(solidPicture({5, 5}, qRgb(0, 0, 0)), {0, 0});
    // Refused in the dialog, before the overwrite question, and again by the save itself.
    program.write(u"out.jpeg"_s, "an existing file");
    for (const QString& name : {u"out.png"_s, u"out.jpeg"_s, u"out.bmp.txt"_s}) {
        const QString refusal = u"拡張子 \""_s + name.mid(name.lastIndexOf(u'.'))
                                + u"\" は，保存できない画像形式です。\r\n\r\n拡張子を \".bmp\" または \".jpg\" にして保存して下さい。"_s;
        prompter->asked.clear();
        prompter->files.push_back(program.file(name));
        EXPECT_FALSE(ed().SaveAsDialog());
        EXPECT_EQ(program.exists(name), name == u"out.jpeg"_s);
        ASSERT_EQ(prompter->asked.size(), 1u);
        EXPECT_EQ(prompter->lastText(), refusal);
        prompter->asked.clear();
        EXPECT_FALSE(ed().SavePictureFile(program.file(name)));
        EXPECT_EQ(prompter->lastText(), refusal);
    }
    EXPECT_EQ(program.read(u"out.jpeg"_s), "an existing file");
    EXPECT_EQ(ed().NoticesSent, 0);
    EXPECT_TRUE(caller.names().isEmpty());
    EXPECT_TRUE(ed().PictureFileName.isEmpty());
    EXPECT_EQ(ed().windowTitle(), u"画像エディタ"_s);
    EXPECT_TRUE(ed().IsChangedSinceSave(1));
}

// A picture the user may not write is never replaced, by the overwrite save or by Save As onto it:
// the user is told which file, and the drawing stays changed.
TEST_F(PictureEditorTest, ReadOnlyPictureIsNeverReplaced)
{
    const QString picture = writePicture(u"locked.bmp"_s, patternPicture({40, 30}));
    ASSERT_TRUE(ed().OpenPictureFile(picture));
    const QByteArray before = program.read(u"locked.bmp"_s);
    QFile::setPermissions(picture, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    stamp(solidPicture({4, 4}, qRgb(0, 0, 0)), {0, 0});
    for (int road = 0; road < 2; ++road) {
        prompter->asked.clear();
        prompter->answers = {Prompter::Answer::Yes};
        if (road == 0) {
            ed().mmPicSaveClick();
        } else {
            prompter->files.push_back(picture);
            EXPECT_FALSE(ed().SaveAsDialog());
        }
        EXPECT_TRUE(prompter->lastText().contains(u"locked.bmp"_s)) << prompter->lastText().toStdString();
        EXPECT_EQ(program.read(u"locked.bmp"_s), before);
        EXPECT_TRUE(ed().IsChangedSinceSave(1));
    }
}

// Two editors on one picture: what one saved is never written over by the other unasked, and each
// holds the file it shows, so that other programs can tell it is open.
TEST_F(PictureEditorTest, TwoEditorsOnOnePictureNeverWriteOverEachOtherUnasked)
{
    const QString picture = writePicture(u"p.bmp"_s, patternPicture({40, 30}));
    const QByteArray original = program.read(picture);
    start({picture});
    TFormPictureEditor other({picture});
    EXPECT_TRUE(FileOps::isHeld(picture));

    // The same bytes written again are no change to the other.
    prompter->answers = {Answer::Yes};
    ed().mmPicSaveClick();
    ASSERT_EQ(program.read(picture), original);

    // The first draws a red rectangle, saves and ends; it held the file it saved until then.
    stamp(solidPicture({8, 6}, qRgb(255, 0, 0)), {2, 2});
    prompter->answers = {Answer::Yes};
    ed().mmPicSaveClick();
    const QByteArray red = program.read(picture);
    ASSERT_NE(red, original);
    EXPECT_TRUE(FileOps::isHeld(picture));
    EXPECT_TRUE(ed().close());
    EXPECT_FALSE(FileOps::isHeld(picture));

    // The second, still showing the picture as opened, draws a blue one: the overwrite save and a
    // Save As onto the file ask, No by default, and No writes nothing.
    other.Doc.CommitShape(Shapes::makeStamp(solidPicture({8, 6}, qRgb(0, 0, 255)), {20, 10}, 0));
    other.PushUndoSnapshot();
    const QString question =
        u"画像ファイル \"p.bmp\" は，開いた後に，ほかで変更されています。\r\n上書き保存しますか。"_s;
    prompter->asked.clear();
    prompter->answers = {Answer::No, Answer::No};
    prompter->files = {picture, QString()};
    other.mmPicSaveClick();
    EXPECT_FALSE(other.SaveAsDialog());
    ASSERT_EQ(prompter->asked.size(), 2u);
    for (const auto& asked : prompter->asked) {
        EXPECT_EQ(asked.text, question);
        EXPECT_EQ(asked.buttons, Prompter::Buttons::YesNo);
        EXPECT_EQ(asked.defaultAnswer, Answer::No);
    }
    EXPECT_EQ(program.read(picture), red);
    EXPECT_TRUE(other.IsChangedSinceSave(1));

    // Yes writes it; from then on the file is the second's own, and held by it.
    prompter->asked.clear();
    prompter->answers = {Answer::Yes};
    other.mmPicSaveClick();
    EXPECT_NE(program.read(picture), red);
    EXPECT_TRUE(FileOps::isHeld(picture));
    other.Doc.CommitShape(Shapes::makeStamp(solidPicture({3, 3}, qRgb(0, 0, 0)), {0, 0}, 0));
    other.PushUndoSnapshot();
    prompter->answers = {Answer::Yes};
    other.mmPicSaveClick();
    ASSERT_EQ(prompter->asked.size(), 2u);
    EXPECT_EQ(prompter->asked[0].text, question);
    EXPECT_EQ(prompter->asked[1].text, u"上書き保存します。いいですか。"_s);
    other.mmFileNewClick();
    EXPECT_FALSE(FileOps::isHeld(picture));
}

TEST_F(PictureEditorTest, FailedOpenKeepsThePreviousDocument) {
    const QString good = writePicture(u"good.bmp"_s, patternPicture({50, 40}));
    ASSERT_TRUE(ed().OpenPictureFile(good));
    stamp(solidPicture({3, 3}, qRgb(0, 0, 0)), {1, 1});
    const QImage canvas = ed().Doc.CanvasBitmap;
    const QString bad = program.write(u"bad.bmp"_s, QByteArray("BM this is not a bitmap"));
    const QString png = program.file(u"real.png"_s);
    ASSERT_TRUE(patternPicture({20, 20}).save(png, "PNG"));

    for (const QString& path : {bad, png, program.file(u"missing.jpg"_s)}) {
        prompter->asked.clear();
        prompter->answers.push_back(Answer::No);
        prompter->files.push_back(path);
        ed().mmPicOpenClick();
        ASSERT_EQ(prompter->asked.size(), 2u) << path.toStdString(); // the changed question, the warning
        // A name of another kind is refused in the dialog already.
        EXPECT_TRUE(prompter->lastText().startsWith(path == png ? u"拡張子 \".png\" は，開くことができない"_s
                                                                : u"画像ファイルを開けません。"_s));
        EXPECT_EQ(ed().PictureFileName, good);
        EXPECT_EQ(ed().windowTitle(), u"画像エディタ ～ good.bmp"_s);
        EXPECT_EQ(ed().Doc.CanvasBitmap, canvas);
        EXPECT_EQ(ed().Doc.ShapeList.size(), 1u);
        EXPECT_TRUE(ed().CanUndo());
    }
}

TEST_F(PictureEditorTest, NoticeGoesAfterSaveAndMenuOpenButNotForTheCommandLinePicture) {
    const QString cls = u"TFormEaselTest"_s;
    ReceiverThread caller(cls);
    const QString picture = writePicture(u"画像と音声/マップ画像/m/05.bmp"_s, patternPicture({40, 30}));
    start({picture, cls});
    EXPECT_EQ(ed().CallerClassName, cls);
    EXPECT_EQ(ed().PictureFileName, picture);
    EXPECT_TRUE(caller.names().isEmpty());

    stamp(solidPicture({4, 4}, qRgb(0, 0, 0)), {0, 0});
    prompter->answers.push_back(Answer::Yes);
    ed().mmPicSaveClick();
    EXPECT_EQ(prompter->lastText(), u"上書き保存します。いいですか。"_s);
    EXPECT_EQ(caller.names(), QStringList{picture});

    const QString other = writePicture(u"other.jpg"_s, patternPicture({20, 20}));
    prompter->files.push_back(other);
    ed().mmPicOpenClick();
    EXPECT_EQ(caller.names(), QStringList{picture}) << "an open is told, and never taken for a save";
    EXPECT_EQ(ed().NoticesSent, 2);

    // A cancelled overwrite writes and sends nothing.
    stamp(solidPicture({4, 4}, qRgb(0, 0, 0)), {0, 0});
    prompter->answers.push_back(Answer::Cancel);
    ed().mmPicSaveClick();
    EXPECT_EQ(caller.names().size(), 1);
}

TEST_F(PictureEditorTest, UntouchedPictureOfAnotherSizeIsNotChanged) {
    const QString path = writePicture(u"square.bmp"_s, patternPicture({300, 300}));
    start({path});
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(300, 300));
    EXPECT_FALSE(ed().IsChangedSinceSave(1));
    EXPECT_FALSE(ed().CanUndo());
    EXPECT_TRUE(ed().FormClose());
    EXPECT_TRUE(prompter->asked.empty());
}

TEST_F(PictureEditorTest, UnreadableCommandLinePictureLeavesABlankCanvas) {
    start({program.file(u"gone.bmp"_s), u"TForm2"_s});
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().startsWith(u"画像ファイルを開けません。"_s));
    EXPECT_EQ(ed().CallerClassName, u"TForm2"_s);
    EXPECT_TRUE(ed().PictureFileName.isEmpty());
    EXPECT_EQ(ed().windowTitle(), u"画像エディタ"_s);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(600, 400));
    EXPECT_TRUE(ed().Doc.isEmpty());
}

TEST_F(PictureEditorTest, PictureLargerThanTheSizeBoxesIsNeverCropped) {
    const QString path = writePicture(u"big.bmp"_s, patternPicture({2500, 1600}));
    ASSERT_TRUE(ed().OpenPictureFile(path));
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2500, 1600));
    EXPECT_EQ(ed().udWidth->value(), 2000);
    EXPECT_EQ(ed().udHeight->value(), 1500);
    EXPECT_FALSE(ed().IsChangedSinceSave(1));

    prompter->answers.push_back(Answer::Yes);
    ed().sbClearAllClick();
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(2400, 1550), qRgb(255, 255, 255));
    ASSERT_TRUE(ed().CanUndo());
    ed().sbUndoClick();
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2500, 1600));
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(2400, 1550), patternPicture({2500, 1600}).pixel(2400, 1550));

    // Changing one box changes that side alone: the other keeps what its box cannot show.
    ed().udHeight->setValue(1400);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2500, 1400));
}

TEST_F(PictureEditorTest, EachSizeBoxChangesItsSideAndOnlyAFocusedBoxTakesTheWheel)
{
    const QImage source = patternPicture({4000, 3000});
    ASSERT_TRUE(ed().OpenPictureFile(writePicture(u"large.bmp"_s, source)));
    ed().udWidth->stepBy(-1);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(1990, 3000));
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(1000, 2999), source.pixel(1000, 2999));
    ed().udWidth->stepBy(1);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2000, 3000));
    ed().udHeight->stepBy(-1);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2000, 1490));

    auto turn = [](QSpinBox* box) {
        QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    };
    ed().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ed()));
    ed().btClose->setFocus();
    for (QSpinBox* box : {ed().udWidth, ed().udHeight}) {
        turn(box);
        EXPECT_FALSE(box->hasFocus());
    }
    EXPECT_EQ(ed().udWidth->value(), 2000);
    EXPECT_EQ(ed().udHeight->value(), 1490);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2000, 1490));

    ed().udHeight->setFocus();
    ASSERT_TRUE(ed().udHeight->hasFocus());
    turn(ed().udHeight);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(2000, 1480));
}

TEST_F(PictureEditorTest, YesWithNothingDrawnStillOffersTheSaveDialog) {
    ed().udWidth->setValue(610);
    ASSERT_TRUE(ed().IsChangedSinceSave(1));
    prompter->answers.push_back(Answer::Yes);
    EXPECT_FALSE(ed().FormClose()); // the dialog was cancelled
    EXPECT_EQ(prompter->fileRequests.size(), 1u);

    prompter->answers.push_back(Answer::Yes);
    prompter->files.push_back(program.file(u"blank.bmp"_s));
    EXPECT_TRUE(ed().FormClose());
    EXPECT_EQ(PictureFile::load(program.file(u"blank.bmp"_s)).size(), QSize(610, 400));
}

TEST_F(PictureEditorTest, ClearAllAsksAndCanBeUndone) {
    ed().sbClearAllClick();
    EXPECT_TRUE(prompter->asked.empty()); // nothing to clear

    const QImage source = patternPicture({80, 60});
    ASSERT_TRUE(ed().OpenPictureFile(writePicture(u"p.bmp"_s, source)));
    prompter->answers.push_back(Answer::Cancel);
    ed().sbClearAllClick();
    EXPECT_EQ(prompter->lastText(), u"すべて消去します。いいですか。"_s);
    EXPECT_EQ(ed().Doc.CanvasBitmap, source);

    prompter->answers.push_back(Answer::Yes);
    ed().sbClearAllClick();
    EXPECT_EQ(ed().Doc.CanvasBitmap, solidPicture({80, 60}, qRgb(255, 255, 255)));
    EXPECT_EQ(ed().PictureFileName, program.file(u"p.bmp"_s));
    EXPECT_TRUE(ed().FormKeyDown(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_EQ(ed().Doc.CanvasBitmap, source);
    EXPECT_TRUE(ed().CanRedo());
    EXPECT_TRUE(ed().FormKeyDown(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier));
    const QImage cleared = solidPicture({80, 60}, qRgb(255, 255, 255));
    EXPECT_EQ(ed().Doc.CanvasBitmap, cleared);

    // The cleared picture stays cleared when the grid rebuilds the canvas; a change of canvas size
    // draws the background again, and what a save writes is what the view shows.
    prompter->modals.push_back([](QDialog&) { return int(QDialog::Accepted); });
    ed().sbShowMasu->click();
    EXPECT_EQ(ed().Doc.CanvasBitmap, cleared);
    EXPECT_TRUE(ed().IsChangedSinceSave(1));
    ed().udWidth->setValue(100);
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(50, 30), source.pixel(50, 30));
    EXPECT_EQ(ed().Doc.CanvasBitmap.pixel(90, 30), qRgb(255, 255, 255));
    const QImage shown = ed().Doc.CanvasBitmap;
    ed().Doc.RerenderCanvas();
    EXPECT_EQ(ed().Doc.CanvasBitmap, shown);
    prompter->answers.push_back(Answer::Yes);
    ed().mmPicSaveClick();
    EXPECT_EQ(PictureFile::load(program.file(u"p.bmp"_s)).convertToFormat(QImage::Format_RGB32), shown);
}

TEST_F(PictureEditorTest, NewAfterADeclinedSaveKeepsTheCanvasSize) {
    ASSERT_TRUE(ed().OpenPictureFile(writePicture(u"p.bmp"_s, patternPicture({70, 50}))));
    stamp(solidPicture({3, 3}, qRgb(0, 0, 0)), {1, 1});
    prompter->answers.push_back(Answer::No);
    ed().mmFileNewClick();
    EXPECT_EQ(prompter->lastText(), ChangedQuestion);
    EXPECT_EQ(ed().Doc.canvasSize(), QSize(70, 50));
    EXPECT_TRUE(ed().PictureFileName.isEmpty());
    EXPECT_EQ(ed().windowTitle(), u"画像エディタ"_s);
    EXPECT_TRUE(ed().Doc.isEmpty());
    EXPECT_EQ(ed().Doc.CanvasBitmap, solidPicture({70, 50}, qRgb(255, 255, 255)));

    // Cancel keeps everything.
    stamp(solidPicture({3, 3}, qRgb(0, 0, 0)), {1, 1});
    prompter->answers.push_back(Answer::Cancel);
    ed().mmFileNewClick();
    EXPECT_EQ(ed().Doc.ShapeList.size(), 1u);
}

TEST_F(PictureEditorTest, SaveDialogAsksBeforeOverwritingAndFollowsTheType) {
    const QString existing = writePicture(u"x.bmp"_s, solidPicture({5, 5}, qRgb(1, 2, 3)));
    prompter->answers.push_back(Answer::No);
    EXPECT_FALSE(ed().MySavePictureDialog2CanClose(existing));
    EXPECT_EQ(prompter->lastText(), u"x.bmp\r\nファイルはすでに存在します。上書き保存しますか。"_s);
    prompter->answers.push_back(Answer::Yes);
    EXPECT_TRUE(ed().MySavePictureDialog2CanClose(existing));
    EXPECT_TRUE(ed().MySavePictureDialog2CanClose(program.file(u"new.bmp"_s)));

    const struct {
        int index;
        QString in, out;
    } cases[] = {
        {2, u"/p/a.bmp"_s, u"a.jpg"_s},  {1, u"a.jpg"_s, u"a.bmp"_s},     {3, u"/p/a.jpg"_s, u"a.jpg"_s},
        {1, u"b.c.JPG"_s, u"b.c.bmp"_s}, {2, u"noext"_s, u"noext.jpg"_s}, {2, QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TFormPictureEditor::MySavePictureDialog2TypeChange(c.index, c.in), c.out)
            << c.in.toStdString();
}

TEST_F(PictureEditorTest, ZoomControlsAndTheScrollCentre) {
    ed().SetCanvasSize(1200, 1000);
    QScrollBar* h = ed().ScrollBox1->horizontalScrollBar();
    ASSERT_GT(h->maximum(), 100);
    h->setValue(100);
    ed().UpDown1->setValue(200);
    EXPECT_EQ(ed().ScrollBox1->paintBoxSize(), QSize(2400, 2000));
    EXPECT_EQ(h->value(), 100 + (2400 - 1200) / 2);

    ed().bt100Click();
    EXPECT_EQ(ed().zoom(), 100);
    ed().UpDown1->stepBy(1);
    EXPECT_EQ(ed().zoom(), 110);
    ed().cbIncrement->click();
    EXPECT_EQ(ed().cbIncrement->text(), u"±1"_s);
    ed().UpDown1->stepBy(1);
    EXPECT_EQ(ed().zoom(), 111);

    // A wheel turn in the middle third zooms by the step, within 10..800.
    const QPoint middle = ed().ScrollBox1->mapToGlobal(ed().ScrollBox1->rect().center());
    EXPECT_TRUE(ed().CMMouseWheel(middle, 120));
    EXPECT_EQ(ed().zoom(), 112);
    ed().cbIncrement->click();
    ed().SetZoom(795);
    EXPECT_TRUE(ed().CMMouseWheel(middle, 120));
    EXPECT_EQ(ed().zoom(), 800);
    EXPECT_TRUE(ed().CMMouseWheel(middle, 120));
    EXPECT_EQ(ed().zoom(), 800);
    // Outside the scroll box the wheel is not the view's.
    EXPECT_FALSE(ed().CMMouseWheel(ed().btClose->mapToGlobal(QPoint(2, 2)), 120));
}

TEST_F(PictureEditorTest, ArrowKeysAndSideZonesScrollByTheIncrement) {
    ed().SetCanvasSize(1500, 1200);
    QScrollBar* h = ed().ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ed().ScrollBox1->verticalScrollBar();
    EXPECT_TRUE(ed().FormKeyDown(Qt::Key_Right, Qt::NoModifier));
    EXPECT_TRUE(ed().FormKeyDown(Qt::Key_Down, Qt::NoModifier));
    EXPECT_EQ(QPoint(h->value(), v->value()), QPoint(50, 50));
    // Shift+arrow with no drag and no layer does not scroll, not even as the view's own arrow key.
    QKeyEvent shiftLeft(QEvent::KeyPress, Qt::Key_Left, Qt::ShiftModifier);
    QCoreApplication::sendEvent(ed().ScrollBox1->viewport(), &shiftLeft);
    EXPECT_EQ(h->value(), 50);
    const QRect box = ed().ScrollBox1->rect();
    EXPECT_TRUE(ed().CMMouseWheel(ed().ScrollBox1->mapToGlobal(QPoint(box.width() / 2, 5)), 120));
    EXPECT_EQ(v->value(), 0);
    EXPECT_TRUE(
        ed().CMMouseWheel(ed().ScrollBox1->mapToGlobal(QPoint(box.width() - 5, box.height() / 2)), -120));
    EXPECT_EQ(h->value(), 100);
}

TEST_F(PictureEditorTest, TypedCanvasSizesApplyOnlyWithinTheLimits) {
    auto type = [](QSpinBox* box, const QString& text) {
        box->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(box, text);
    };
    type(ed().udHeight, u"5"_s);
    EXPECT_EQ(ed().Doc.canvasSize().height(), 400);
    ed().udHeight->findChild<QLineEdit*>()->clear();
    QTest::keyClicks(ed().udHeight, u"15"_s);
    EXPECT_EQ(ed().Doc.canvasSize().height(), 15);
    QTest::keyClicks(ed().udHeight, u"0"_s);
    EXPECT_EQ(ed().Doc.canvasSize().height(), 150);
    type(ed().udWidth, u"99999"_s);
    EXPECT_LE(ed().Doc.canvasSize().width(), 2000);
    EXPECT_GE(ed().Doc.canvasSize().width(), 10);
    EXPECT_TRUE(prompter->asked.empty());
}

TEST_F(PictureEditorTest, GridDialogRefusesACellOfZeroAndCancelReleasesTheButton) {
    prompter->modals.push_back([](QDialog& d) {
        auto& masu = dynamic_cast<TFormShowMasu&>(d);
        EXPECT_EQ(masu.cellWidth(), 20);
        masu.UpDown1->setValue(0);
        masu.UpDown2->setValue(35);
        return int(QDialog::Accepted);
    });
    ed().sbShowMasu->click();
    EXPECT_TRUE(ed().GridShown);
    EXPECT_EQ(ed().GridCellWidth, 1);
    EXPECT_EQ(ed().GridCellHeight, 35);
    ed().Image1->repaint();

    ed().sbShowMasu->click(); // up: hidden, no dialog
    EXPECT_FALSE(ed().GridShown);
    prompter->modals.push_back([](QDialog&) { return int(QDialog::Rejected); });
    ed().sbShowMasu->click();
    EXPECT_FALSE(ed().GridShown);
    EXPECT_FALSE(ed().sbShowMasu->isChecked());
    EXPECT_EQ(prompter->unscripted, 0);
}

TEST_F(PictureEditorTest, HiddenOkCopiesTheRangeOrTheWholeCanvas) {
    const QImage source = patternPicture({60, 40});
    ASSERT_TRUE(ed().OpenPictureFile(writePicture(u"p.bmp"_s, source)));
    ed().btOKClick();
    EXPECT_EQ(ed().ResultPicture, source);
    EXPECT_EQ(ed().ModalResult, 1);

    ed().SetZoom(200);
    ed().RangeExists = true;
    ed().SelectionRect = {20, 10, 60, 50}; // view pixels: canvas 10,5 .. 30,25
    QImage part;
    ed().CopySelectionToBitmap(part, ed().Doc.CanvasBitmap, Shapes::TransparentWhite, true);
    EXPECT_EQ(part, source.copy(10, 5, 20, 20));
    EXPECT_EQ(ed().SelectionRect, (CanvasView::Bounds{20, 10, 60, 50}));
}

} // namespace
