#include "AtlasFixture.h"
#include "BmpPicture.h"
#include "Unit3.h"
#include "UnitPictureKiridasi.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTableWidget>

using namespace Qt::StringLiterals;
using Prompter::Answer;

class Form3Fixture : public AtlasFixture {
protected:
    TForm3& f3() { return *forms->form3; }
    QString picture(const QString& name, QSize size = {300, 300}, QColor c = Qt::red)
    {
        const QString path = program.path() + u"in/"_s + name;
        writePicture(path, size, c);
        return path;
    }
    // Imports a picture of the given colour into a row, as the import button would.
    void importInto(int row, QColor c, const QString& name = u"p.bmp"_s)
    {
        f3().SelectRow(row);
        f3().ImportTreasurePicture(picture(name, {300, 300}, c), true, false);
    }
    QStringList names()
    {
        QStringList out;
        for (int row = 1; row <= TForm3::SlotCount; ++row)
            out << f3().NameAt(row);
        return out;
    }
};

TEST_F(Form3Fixture, ListsTheSlotsAndShowsThePictureCentred)
{
    EXPECT_EQ(f3().windowTitle(), u"宝物画像の取り込み"_s);
    EXPECT_EQ(f3().sg3->item(0, 0)->text(), u" t01"_s);
    EXPECT_EQ(f3().sg3->item(2, 0)->text(), u" r01"_s);
    EXPECT_EQ(f3().sg3->item(100, 0)->text(), u" r99"_s);
    EXPECT_FALSE(f3().ShowTreasurePicture()) << "an empty slot shows the instruction";

    // White is the picture's corner colour here, so with the background on the map shows through it.
    QImage tre(300, 300, QImage::Format_RGB32);
    tre.fill(Qt::white);
    for (int y = 100; y < 200; ++y)
        for (int x = 100; x < 200; ++x)
            tre.setPixelColor(x, y, Qt::blue);
    const QString path = program.path() + u"in/star.bmp"_s;
    QDir().mkpath(program.path() + u"in"_s);
    ASSERT_TRUE(tre.save(path, "BMP"));
    f3().SelectRow(3);
    f3().ImportTreasurePicture(path, true, false);
    EXPECT_EQ(f3().imTrePicture.size(), QSize(500, 473));
    EXPECT_EQ(f3().imTrePicture.pixelColor(100 + 150, 86 + 150), QColor(Qt::blue));
    EXPECT_EQ(f3().imTrePicture.pixelColor(100 + 10, 86 + 10), QColor(Qt::white));

    f3().cbShowBack->setChecked(true);
    ASSERT_TRUE(f3().ShowTreasurePicture());
    f1().PaintMap();
    f1().ComposeMap();
    EXPECT_EQ(f3().imTrePicture.pixelColor(100 + 150, 86 + 150), QColor(Qt::blue));
    EXPECT_EQ(f3().imTrePicture.pixel(110, 96), f1().PaintBuffer.pixel(230 + 110, -19 + 96))
        << "white lets the middle of the map drawing through";

    // A file of another size in the folder shows the wrong-size placeholder.
    writePicture(f1().PictureFolder + u"/odd.bmp"_s, {200, 200}, Qt::green);
    f3().SetNameAt(4, u"odd.bmp"_s);
    f3().SelectRow(4);
    EXPECT_FALSE(f3().ShowTreasurePicture());
}

TEST_F(Form3Fixture, JpegTreasureLetsTheMapThroughItsWholeNoisyBackground)
{
    // A gem on white, saved at an everyday quality: the white comes back with noise in it.
    QImage drawn(300, 300, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    const QRect figure(70, 70, 160, 160);
    {
        QPainter p(&drawn);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(30, 40, 140), 4));
        p.setBrush(QColor(240, 200, 40));
        p.drawEllipse(figure.adjusted(4, 4, -4, -4));
        p.setBrush(QColor(220, 20, 60));
        p.drawPolygon(QPolygon({QPoint(150, 90), QPoint(200, 150), QPoint(150, 210), QPoint(100, 150)}));
    }
    const QString path = program.path() + u"in/gem.jpg"_s;
    QDir().mkpath(program.path() + u"in"_s);
    ASSERT_TRUE(PictureFile::save(path, drawn, 75));
    // The background: white in the drawing and clear of the figure's own edge.
    const QRect clear = figure.adjusted(-8, -8, 8, 8);
    auto background = [&](int x, int y) { return !clear.contains(x, y); };
    const QImage noisy = PictureFile::load(path);
    int speckles = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            speckles += background(x, y) && noisy.pixel(x, y) != noisy.pixel(0, 299);
    ASSERT_GT(speckles, 100) << "the file must be noisy for the test to mean anything";

    f1().MapPicture = QImage(960, 435, QImage::Format_RGB32);
    f1().MapPicture.fill(QColor(60, 150, 90));
    f1().PaintMap();
    f3().cbShowBack->setChecked(true);
    f3().SelectRow(3);
    f3().ImportTreasurePicture(path, true, false);
    ASSERT_EQ(f3().NameAt(3), u"r01.jpg *"_s);
    f1().ComposeMap();
    const QImage& map = f1().PaintBuffer;
    const QImage& view = f3().imTrePicture;
    int opaque = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            opaque += background(x, y) && view.pixel(100 + x, 86 + y) != map.pixel(330 + x, 67 + y);
    EXPECT_EQ(opaque, 0) << "of " << speckles << " speckles in the file";
    EXPECT_GT(view.pixelColor(250, 236).red(), 180) << "the gem itself is drawn";
}

TEST_F(Form3Fixture, ImportMakesACopyNamedAfterTheSlotAndNeverOverwrites)
{
    // r05 is row 7.
    const QString first = picture(u"photo.JPG"_s);
    f3().SelectRow(7);
    f3().ImportTreasurePicture(first, true, false);
    EXPECT_EQ(f3().NameAt(7), u"r05.jpg *"_s);
    EXPECT_EQ(f1().Doc.treasures[6], u"r05.jpg *"_s) << "the map document holds the list";
    EXPECT_TRUE(QFileInfo::exists(f1().PictureFolder + u"/r05.jpg"_s));
    EXPECT_EQ(prompter->lastText(),
              u"「画像フォルダ」-「新規マップファイル」フォルダに，\r\n新しい宝物画像 \"r05.jpg\" を保存しました。"_s);
    EXPECT_TRUE(f3().TreasureUndoState(1));

    f3().ImportTreasurePicture(picture(u"other.JPG"_s, {300, 300}, Qt::blue), true, false);
    EXPECT_EQ(f3().NameAt(7), u"r05_001.jpg *"_s);
    EXPECT_EQ(pictureColour(f1().PictureFolder + u"/r05.jpg"_s).red() > 200, true) << "the first copy is intact";
}

TEST_F(Form3Fixture, AnUpperCaseExtensionIsANewStepThatUndoAndRedoKeep)
{
    importInto(1, Qt::red, u"a.jpg"_s);
    importInto(1, Qt::blue, u"B.JPG"_s);
    EXPECT_EQ(f3().NameAt(1), u"t01_001.jpg *"_s);
    f3().bbUndoClick();
    EXPECT_EQ(f3().NameAt(1), u"t01.jpg *"_s);
    f3().bbRedoClick();
    EXPECT_EQ(f3().NameAt(1), u"t01_001.jpg *"_s);
    EXPECT_EQ(pictureColour(f1().PictureFolder + u"/t01_001.jpg"_s).blue() > 200, true);
}

TEST_F(Form3Fixture, WrongSizeGoesThroughSizeCorrection)
{
    const QString source = picture(u"big.bmp"_s, {640, 480});
    prompter->modals.push_back([](QDialog& d) {
        auto& k = static_cast<TFormPictureKiridasi&>(d);
        EXPECT_EQ(k.RequiredWidth, 300);
        EXPECT_EQ(k.RequiredHeight, 300);
        k.WorkBitmap = QImage(300, 300, QImage::Format_RGB32);
        k.WorkBitmap.fill(Qt::blue);
        return int(QDialog::Accepted);
    });
    f3().SelectRow(1);
    f3().ImportTreasurePicture(source, true, false);
    EXPECT_EQ(prompter->asked.front().text,
              u"画像サイズが 横300 × 縦300 ではないため，\r\nサイズ修正フォームで画像を開きます。"_s);
    EXPECT_EQ(f3().NameAt(1), u"t01.bmp *"_s);
    EXPECT_EQ(pictureColour(f1().PictureFolder + u"/t01.bmp"_s), QColor(Qt::blue));

    // A cancelled correction, or one of another size, changes nothing.
    prompter->modals.push_back([](QDialog&) { return int(QDialog::Rejected); });
    f3().SelectRow(2);
    f3().ImportTreasurePicture(source, true, false);
    prompter->modals.push_back([](QDialog& d) {
        static_cast<TFormPictureKiridasi&>(d).WorkBitmap = QImage(299, 300, QImage::Format_RGB32);
        return int(QDialog::Accepted);
    });
    f3().ImportTreasurePicture(source, true, false);
    EXPECT_EQ(prompter->lastText(), u"画像サイズが 横300 × 縦300 ではないため，\r\n画像を取り込むことができません。"_s);
    EXPECT_TRUE(f3().NameAt(2).isEmpty());
    EXPECT_FALSE(f3().CanRedoPicture());
}

TEST_F(Form3Fixture, RemovingKeepsTheFileAndUndoBringsItBack)
{
    importInto(3, Qt::red);
    const QString copy = f1().PictureFolder + u"/r01.bmp"_s;
    prompter->answers = {Answer::Cancel};
    f3().btDeleteClick();
    EXPECT_EQ(f3().NameAt(3), u"r01.bmp *"_s);
    prompter->answers = {Answer::Yes};
    f3().btDeleteClick();
    EXPECT_EQ(prompter->lastText(), u"選択した画像を削除します。いいですか。"_s);
    EXPECT_TRUE(f3().NameAt(3).isEmpty());
    EXPECT_TRUE(f1().Doc.treasures[2].isEmpty());
    EXPECT_TRUE(QFileInfo::exists(copy));

    QTest::keyClick(&f3(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f3().NameAt(3), u"r01.bmp *"_s);
    EXPECT_EQ(f1().Doc.treasures[2], u"r01.bmp *"_s);
    EXPECT_TRUE(f3().ShowTreasurePicture());
    QTest::keyClick(&f3(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(f3().NameAt(3).isEmpty());
}

TEST_F(Form3Fixture, RingWalksBackThroughUndoneStatesAndTellsCaseApart)
{
    importInto(1, Qt::red);
    importInto(2, Qt::green);
    importInto(3, Qt::blue);
    const QStringList three = names();
    f3().bbUndoClick();
    const QStringList two = names();
    f3().bbUndoClick();
    const QStringList one = names();
    f3().bbUndoClick();
    EXPECT_FALSE(f3().CanUndoPicture());
    EXPECT_TRUE(names().join(QString()).isEmpty());

    importInto(4, Qt::yellow);
    const QStringList fresh = names();
    // Newest first: the undone states come back before the new one.
    f3().bbUndoClick();
    EXPECT_TRUE(names().join(QString()).isEmpty()) << "the state the import was made over";
    f3().bbUndoClick();
    EXPECT_EQ(names(), one);
    f3().bbUndoClick();
    EXPECT_EQ(names(), two);
    f3().bbUndoClick();
    EXPECT_EQ(names(), three);
    for (int i = 0; i < 4; ++i)
        f3().bbRedoClick();
    EXPECT_EQ(names(), fresh);

    // A name differing only in letter case names another file.
    const qint64 last = f3().Undo.last();
    f3().SetNameAt(4, f3().NameAt(4).toUpper());
    f3().PushTreasureUndo();
    EXPECT_EQ(f3().Undo.last(), last + 1);

    // Twenty steps at most.
    for (int i = 0; i < 25; ++i)
        importInto(5 + i, Qt::red);
    int steps = 0;
    while (f3().CanUndoPicture()) {
        f3().bbUndoClick();
        ++steps;
    }
    EXPECT_EQ(steps, 20);
    EXPECT_EQ(f3().lbUndo->text(), QString::number(f3().Undo.current() % 21));
}

TEST_F(Form3Fixture, CloseAsksAfterATreasureChangeAloneAndResetTakesTheMapsList)
{
    const QString map = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(map));
    EXPECT_EQ(f3().NameAt(1), f1().Doc.treasures[0]) << "a load refills the list";
    EXPECT_FALSE(f3().TreasureUndoState(1));
    EXPECT_FALSE(f3().CanUndoPicture());

    importInto(5, Qt::red);
    prompter->asked.clear();
    prompter->answers = {Answer::Cancel};
    EXPECT_FALSE(f1().FormClose());
    ASSERT_FALSE(prompter->asked.empty());
    EXPECT_EQ(prompter->asked.front().text, u"マップファイル \"golden.map\" が\r\n変更されています。保存しますか。"_s);
}

TEST_F(Form3Fixture, AMapFromTheCommandLineShowsItsTreasuresAndUndoKeepsThem)
{
    const QString map = installGolden();
    startAtlas({map});
    EXPECT_EQ(f3().NameAt(1), u"t01.bmp"_s);
    EXPECT_EQ(f3().NameAt(3), u"r01.jpg"_s);
    EXPECT_FALSE(f3().TreasureUndoState(1)) << "the map's list is the baseline";
    f3().SelectRow(3);
    EXPECT_TRUE(f3().ShowTreasurePicture());

    importInto(4, Qt::red);
    f3().bbUndoClick();
    EXPECT_EQ(f3().NameAt(3), u"r01.jpg"_s) << "the first undo state is the map's list";
    EXPECT_EQ(f1().Doc.treasures[2], u"r01.jpg"_s);
    EXPECT_FALSE(f1().IsModified(1));
}

// The picture tool is run on a copy or a blank picture made for the run; what it leaves unchanged
// is deleted again, and the row then names what it named before.
TEST_F(Form3Fixture, ToolRunEditsACopyAndLeavesNothingBehindWhenNothingChanged)
{
    f1().ToolPaths = {QStringLiteral(FAKE_PICTURE_TOOL)};
    f3().SelectRow(5);
    f3().btEditClick();
    EXPECT_TRUE(f3().NameAt(5).isEmpty());
    EXPECT_TRUE(QDir(f1().PictureFolder).entryList(QDir::Files).isEmpty()) << "the blank picture is gone";

    importInto(5, QColor(255, 0, 0));
    const QString original = f1().PictureFolder + u"/r03.bmp"_s;
    ASSERT_EQ(f3().NameAt(5), u"r03.bmp *"_s);
    f3().btEditClick();
    EXPECT_EQ(f3().NameAt(5), u"r03.bmp *"_s);
    EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files), QStringList{u"r03.bmp"_s});

    qputenv("FAKE_TOOL_CHANGE", "1");
    f3().btEditClick();
    qunsetenv("FAKE_TOOL_CHANGE");
    const QString edited = f3().NameAt(5);
    EXPECT_TRUE(edited.startsWith(u"r03_"_s) && edited.endsWith(u".bmp *"_s)) << "a copy never overwrites the picture";
    EXPECT_TRUE(QFileInfo::exists(f1().ResolvePicturePath(edited, true)));
    EXPECT_EQ(pictureColour(original), QColor(255, 0, 0));
    EXPECT_TRUE(f3().CanUndoPicture());
    f3().bbUndoClick();
    EXPECT_EQ(f3().NameAt(5), u"r03.bmp *"_s);
    // A blank picture for an empty slot never overwrites a file left in the folder under its name.
    writePicture(f1().PictureFolder + u"/r04.bmp"_s, {300, 300}, QColor(0, 0, 255));
    qputenv("FAKE_TOOL_CHANGE", "1");
    f3().SelectRow(6);
    f3().btEditClick();
    qunsetenv("FAKE_TOOL_CHANGE");
    EXPECT_TRUE(f3().NameAt(6).startsWith(u"r04_"_s)) << f3().NameAt(6).toStdString();
    EXPECT_EQ(pictureColour(f1().PictureFolder + u"/r04.bmp"_s), QColor(0, 0, 255));

    // Saved at the wrong size and the size correction cancelled: the row keeps its picture and the
    // edited file stays.
    const QString before = f3().NameAt(6);
    const QStringList files = QDir(f1().PictureFolder).entryList(QDir::Files);
    qputenv("FAKE_TOOL_CHANGE", "1");
    qputenv("FAKE_TOOL_SIZE", "320x200");
    f3().btEditClick();
    qunsetenv("FAKE_TOOL_CHANGE");
    qunsetenv("FAKE_TOOL_SIZE");
    EXPECT_EQ(f3().NameAt(6), before);
    const QStringList after = QDir(f1().PictureFolder).entryList(QDir::Files);
    ASSERT_EQ(after.size(), files.size() + 1) << "the edited picture is kept";
    for (const QString& f : after) {
        if (!files.contains(f)) {
            EXPECT_EQ(PictureFile::load(f1().PictureFolder + u'/' + f).size(), QSize(320, 200));
        }
    }
}

// The names the form writes go through the save's renaming, and a save takes a new baseline.
TEST_F(Form3Fixture, SavedMapListsTheImportedRarePicture)
{
    importInto(3, Qt::red, u"gem.jpg"_s);
    ASSERT_EQ(f3().NameAt(3), u"r01.jpg *"_s);
    const QString map = mapPath(u"treasure.map"_s);
    QDir().mkpath(MapFolders::mapFileFolder());
    f1().SaveMapFile(map, QString());
    ASSERT_TRUE(f1().SaveSucceeded);
    EXPECT_TRUE(Cp932::decode(readBytes(map)).contains(u"r01.jpg"_s));
    EXPECT_TRUE(QFileInfo::exists(pictureFolder(u"treasure.map"_s) + u"/r01.jpg"_s));
    EXPECT_EQ(f3().NameAt(3), u"r01.jpg"_s);
    EXPECT_FALSE(f3().TreasureUndoState(1));
    EXPECT_FALSE(f3().CanUndoPicture());
}

TEST_F(Form3Fixture, CloseWaitsWhileThePictureToolRuns)
{
    f3().show();
    f1().ToolRunning = true;
    f3().btCloseClick();
    EXPECT_TRUE(f3().isVisible());
    EXPECT_EQ(prompter->lastText(), u"外部ツールを終了して下さい。"_s);
    f1().ToolRunning = false;
    f3().btCloseClick();
    EXPECT_FALSE(f3().isVisible());
}
