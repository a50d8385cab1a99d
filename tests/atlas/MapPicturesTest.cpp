#include "AtlasFixture.h"
#include "MapPictures.h"
#include "UnitPictureKiridasi.h"

#include <QAction>

using namespace Qt::StringLiterals;
using namespace MapPictures;

TEST(MapPictures, PlaceholdersHaveTheSizeOfTheirTarget)
{
    for (int kind : {MapKind, DestinationKind, TreasureKind}) {
        EXPECT_EQ(DrawInstructionPlaceholder(kind).size(), placeholderSize(kind)) << kind;
        EXPECT_EQ(DrawWrongSizePlaceholder(kind).size(), requiredSize(kind)) << kind;
    }
    EXPECT_EQ(placeholderSize(TreasureKind), QSize(500, 473));
    // The instruction placeholder of the map carries its red marks and blue headings.
    const QImage map = DrawInstructionPlaceholder(MapKind);
    bool red = false, blue = false;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 250; x < map.width(); ++x) {
            const QRgb c = map.pixel(x, y);
            red |= c == qRgb(255, 0, 0);
            blue |= c == qRgb(0, 0, 255);
        }
    EXPECT_TRUE(red);
    EXPECT_TRUE(blue);
}

TEST(MapPictures, TreasureInstructionsShowTheSampleUnderTheirLastLine)
{
    const QImage shown = DrawInstructionPlaceholder(TreasureKind);
    const QImage sample = TreasureSample();
    const int x = (shown.width() - sample.width()) / 2;
    int top = -1;
    for (int y = 0; y + sample.height() <= shown.height() && top < 0; ++y)
        if (shown.copy(x, y, sample.width(), sample.height()) == sample)
            top = y;
    ASSERT_GE(top, 0) << "the sample lies whole and centred in the view";

    // The last line ends above it: ink within the rows just over it, then a white gap.
    auto inkInRows = [&](int from, int to) {
        for (int y = from; y < to; ++y)
            for (int i = 0; i < shown.width(); ++i)
                if (shown.pixel(i, y) != qRgb(255, 255, 255))
                    return true;
        return false;
    };
    EXPECT_TRUE(inkInRows(top - 30, top));
    EXPECT_FALSE(inkInRows(top - 4, top));

    // Red is the frame of the treasure's place alone, within the sample and about its middle.
    QRect red;
    for (int y = 0; y < shown.height(); ++y)
        for (int i = 0; i < shown.width(); ++i)
            if (shown.pixel(i, y) == qRgb(255, 0, 0))
                red |= QRect(i, y, 1, 1);
    ASSERT_FALSE(red.isEmpty());
    EXPECT_GE(red.top(), top);
    EXPECT_LE(std::abs(red.center().x() - shown.width() / 2), 2);
}

TEST(MapPictures, LoadingChecksTheExactSize)
{
    TempFolder dir;
    writePicture(dir.file(u"ok.bmp"_s), {400, 225}, Qt::green);
    writePicture(dir.file(u"big.jpg"_s), {401, 225}, Qt::green);
    dir.write(u"text.bmp"_s, "not a picture");
    QImage out;
    EXPECT_TRUE(LoadPictureChecked(DestinationKind, dir.file(u"ok.bmp"_s), &out));
    EXPECT_EQ(out.pixelColor(10, 10), QColor(Qt::green));
    EXPECT_FALSE(LoadPictureChecked(DestinationKind, dir.file(u"big.jpg"_s), &out));
    EXPECT_EQ(out.size(), QSize(400, 225));
    QString why;
    EXPECT_FALSE(LoadPictureChecked(DestinationKind, dir.file(u"text.bmp"_s), &out, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(LoadPictureChecked(MapKind, dir.file(u"none.bmp"_s), &out));
    EXPECT_EQ(out.size(), QSize(960, 435));
}

using WorkingCopies = AtlasFixture;

TEST_F(WorkingCopies, FixedNameThenCounterWithoutOverwriting)
{
    const QString source = program.path() + u"src.bmp"_s;
    writePicture(source, {4, 4}, Qt::red);
    const QString folder = f1().PictureFolder + u'/';
    EXPECT_EQ(f1().MakeWorkingCopy(source, u"05.bmp"_s), folder + u"05.bmp"_s);
    EXPECT_EQ(f1().MakeWorkingCopy(source, u"05.bmp"_s), folder + u"05_001.bmp"_s);
    EXPECT_EQ(f1().MakeWorkingCopy(source, u"map.bmp"_s), folder + u"map.bmp"_s);
    EXPECT_EQ(f1().MakeWorkingCopy(source, u"map.bmp"_s), folder + u"map_002.bmp"_s) << "one counter for the run";
    EXPECT_TRUE(f1().MakeWorkingCopy(source, QString()).isEmpty());

    // After 999 comes 000; a name already taken is passed over.
    f1().WorkingCopyCounter = 998;
    writePicture(folder + u"05_999.bmp"_s, {4, 4}, Qt::blue);
    EXPECT_EQ(f1().MakeWorkingCopy(source, u"05.bmp"_s), folder + u"05_000.bmp"_s);
    EXPECT_EQ(pictureColour(folder + u"05_999.bmp"_s), QColor(Qt::blue));
}

TEST_F(WorkingCopies, KeepTheBytesUnderTheLowerCaseExtensionOfTheirContent)
{
    const QString bmp = program.path() + u"in/NEW.BMP"_s;
    writePicture(bmp, {4, 4}, Qt::red);
    const QString jpeg = program.path() + u"in/DSC0001.JPG"_s;
    writePicture(jpeg, {4, 4}, Qt::blue);
    const QString bmpAsJpg = program.write(u"in/really-bmp.jpg"_s, readBytes(bmp));
    const QString jpegAsBmp = program.write(u"in/really-jpeg.BMP"_s, readBytes(jpeg));
    const struct {
        QString source, wanted, made;
    } cases[] = {{bmp, u"00.BMP"_s, u"00.bmp"_s},
                 // "00.BMP" beside "00.bmp" would be a second file the map could not tell apart.
                 {bmp, u"00.BMP"_s, u"00_001.bmp"_s},
                 {jpeg, u"05.JPG"_s, u"05.jpg"_s},
                 {bmpAsJpg, u"02.jpg"_s, u"02.bmp"_s},
                 {jpegAsBmp, u"t01.BMP"_s, u"t01.jpg"_s}};
    for (const auto& c : cases) {
        const QString made = f1().MakeWorkingCopy(c.source, c.wanted);
        EXPECT_EQ(made, f1().PictureFolder + u'/' + c.made);
        EXPECT_EQ(readBytes(made), readBytes(c.source)) << c.made.toStdString();
    }
}

TEST_F(WorkingCopies, BlankPicturesOnlyUnderNamesThatReadBack)
{
    const QString folder = f1().PictureFolder + u'/';
    EXPECT_TRUE(f1().CreateBlankPicture(folder + u"map.bmp"_s, MapKind));
    EXPECT_EQ(QImage(folder + u"map.bmp"_s).size(), QSize(960, 435));
    EXPECT_TRUE(f1().CreateBlankPicture(folder + u"t.JPG"_s, TreasureKind));
    EXPECT_EQ(QImage(folder + u"t.JPG"_s).size(), QSize(300, 300));
    EXPECT_FALSE(f1().CreateBlankPicture(folder + u"x.png"_s, DestinationKind));
    EXPECT_FALSE(QFileInfo::exists(folder + u"x.png"_s));
}

using MapPictureImport = AtlasFixture;

TEST_F(MapPictureImport, RightSizeBecomesTheMapPictureWithAStep)
{
    const QString source = program.path() + u"in/world.jpg"_s;
    writePicture(source, {960, 435}, Qt::green);
    prompter->files = {source};
    f1().mmLoadMapPicClick();
    EXPECT_EQ(prompter->fileRequests.back().title, u"地図画像の取り込み"_s);
    EXPECT_EQ(f1().MapPicturePath, f1().PictureFolder + u"/map.jpg"_s);
    EXPECT_EQ(f1().MapPicture.size(), QSize(960, 435));
    EXPECT_TRUE(f1().CanUndo());
    EXPECT_EQ(prompter->lastText(), u"「画像フォルダ」-「新規マップファイル」フォルダに，\r\n新しい地図画像 \"map.jpg\" を保存しました。"_s);
    EXPECT_TRUE(f1().windowTitle().endsWith(u"　（地図画像 \"map.jpg\"）"_s));

    // Undo takes the picture back too.
    f1().bbUndoClick();
    EXPECT_TRUE(f1().MapPicturePath.isEmpty());
}

TEST_F(MapPictureImport, WrongSizeIsCorrectedOrRefused)
{
    const QString source = program.path() + u"in/photo.bmp"_s;
    writePicture(source, {1024, 768}, Qt::green);
    prompter->modals.push_back([](QDialog& d) {
        auto& k = static_cast<TFormPictureKiridasi&>(d);
        k.WorkBitmap = QImage(960, 435, QImage::Format_RGB32);
        k.WorkBitmap.fill(Qt::yellow);
        return int(QDialog::Accepted);
    });
    f1().ImportMapPicture(source, true);
    EXPECT_EQ(f1().MapPicturePath, f1().PictureFolder + u"/map.bmp"_s);
    EXPECT_EQ(pictureColour(f1().MapPicturePath), QColor(Qt::yellow));

    prompter->modals.push_back([](QDialog& d) {
        static_cast<TFormPictureKiridasi&>(d).WorkBitmap = QImage(10, 10, QImage::Format_RGB32);
        return int(QDialog::Accepted);
    });
    f1().ImportMapPicture(source, true);
    EXPECT_EQ(prompter->lastText(), u"画像サイズが 横960 × 縦435 ではないため，\r\n画像を取り込むことができません。"_s);
    EXPECT_EQ(f1().MapPicturePath, f1().PictureFolder + u"/map.bmp"_s);
}

TEST_F(MapPictureImport, WhatIsNoPictureChangesNothing)
{
    const QString text = program.write(u"in/readme.jpg"_s, "plain words");
    f1().ImportMapPicture(text, true);
    EXPECT_TRUE(f1().MapPicturePath.isEmpty());
    EXPECT_FALSE(f1().CanUndo());
    EXPECT_TRUE(QDir(f1().PictureFolder).entryList(QDir::Files).isEmpty());
}

TEST_F(MapPictureImport, UndoSwitchOffRecordsNoStep)
{
    f1().mmUndoMap->setChecked(false);
    const QString source = program.path() + u"in/world.bmp"_s;
    writePicture(source, {960, 435}, Qt::green);
    f1().ImportMapPicture(source, true);
    EXPECT_FALSE(f1().CanUndo());
    EXPECT_TRUE(f1().IsModified(1));
}
