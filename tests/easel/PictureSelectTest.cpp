#include "UnitPictureSelect.h"

#include "EaselFixture.h"
#include "PictureCut.h"
#include "UnitPicEffect.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>

#include <functional>

using PictureCut::LineShape;

namespace {

QImage numbered(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            img.setPixel(x, y, qRgb(x % 200, y % 200, 7));
    return img;
}

} // namespace

TEST(PictureSelectCoordinates, ExactIntegersAtEveryZoom)
{
    struct Case {
        int zoom, v, display;
    };
    for (const Case c : {Case{150, 3, 5}, Case{50, 3, 2}, Case{50, 1, 0}, Case{50, 5, 2}, Case{110, 50, 55},
                         Case{110, 10, 11}, Case{100, 7, 7}, Case{10, 15, 2}, Case{800, 3, 24}})
        EXPECT_EQ(TFormPictureSelect::ToDisplayAt(c.v, c.zoom), c.display) << c.zoom << " " << c.v;
}

TEST(PictureCutBoxes, EachLineKind)
{
    const QImage picture = numbered({100, 80});
    const QVector<QPoint> corners{{50, 30}, {10, 10}};
    EXPECT_EQ(PictureCut::CutOutBox(LineShape::Rectangle, corners), QRect(10, 10, 40, 20));
    EXPECT_EQ(PictureCut::CutOutBox(LineShape::Ellipse, corners), QRect(10, 10, 40, 20));
    EXPECT_EQ(PictureCut::CutOutBox(LineShape::Free, {{20, 5}, {60, 40}, {5, 70}}), QRect(5, 5, 55, 65));
    // Nothing enclosed: a click, a straight drag, a free line along one row.
    EXPECT_TRUE(PictureCut::CutOutBox(LineShape::Rectangle, {{4, 4}, {4, 4}}).isEmpty());
    EXPECT_FALSE(PictureCut::CutOut(picture, LineShape::Ellipse, {{4, 4}, {30, 4}}, 1));
    EXPECT_FALSE(PictureCut::CutOut(picture, LineShape::Free, {{4, 4}, {9, 4}, {30, 4}}, 1));

    const QImage rect = *PictureCut::CutOut(picture, LineShape::Rectangle, corners, 3);
    ASSERT_EQ(rect.size(), QSize(40, 20));
    EXPECT_EQ(rect.pixel(20, 10), picture.pixel(30, 20)) << "inside kept in place";
    EXPECT_EQ(rect.pixel(0, 10), qRgb(255, 255, 255)) << "the line's band is white";
    EXPECT_EQ(rect.pixel(39, 19), qRgb(255, 255, 255));

    const QImage thin = *PictureCut::CutOut(picture, LineShape::Rectangle, corners, 1);
    for (QPoint band : {QPoint(0, 5), QPoint(39, 5), QPoint(20, 0), QPoint(20, 19)})
        EXPECT_EQ(thin.pixel(band), qRgb(255, 255, 255)) << band.x() << "," << band.y();
    EXPECT_EQ(thin.pixel(38, 18), picture.pixel(48, 28));
    EXPECT_EQ(thin.pixel(1, 1), picture.pixel(11, 11));

    const QImage ellipse = *PictureCut::CutOut(picture, LineShape::Ellipse, corners, 1);
    EXPECT_EQ(ellipse.pixel(0, 0), qRgb(255, 255, 255)) << "outside the ellipse is white";
    EXPECT_EQ(ellipse.pixel(20, 10), picture.pixel(30, 20));

    QImage erased = picture;
    PictureCut::EraseShape(erased, LineShape::Rectangle, corners, 1);
    EXPECT_EQ(erased.pixel(30, 20), qRgb(255, 255, 255));
    EXPECT_EQ(erased.pixel(60, 20), picture.pixel(60, 20));
    QImage band = picture;
    PictureCut::EraseLine(band, LineShape::Rectangle, corners, 1);
    EXPECT_EQ(band.pixel(30, 10), qRgb(255, 255, 255));
    EXPECT_EQ(band.pixel(30, 20), picture.pixel(30, 20));
}

class PictureSelect : public EaselFixture {
protected:
    TFormPictureSelect& sel() { return *forms->formPictureSelect; }

    void open(const QImage& picture, const QString& name = u"in.bmp"_s)
    {
        prompter->files.push_back(writePicture(name, picture));
        sel().sbOpenClick();
    }

    // A rectangular line dragged with the mouse, in display coordinates.
    void drag(QPoint from, QPoint to, bool shift = false)
    {
        sel().Image1MouseDown(from, Qt::LeftButton);
        sel().Image1MouseMove((from + to) / 2, shift);
        sel().Image1MouseMove(to, shift);
        sel().Image1MouseUp(to);
    }

    int width() { return sel().WorkPicture.width(); }
};

TEST_F(PictureSelect, RingWalksBackThroughUndoneStatesAfterANewCut)
{
    open(numbered({100, 100}));
    EXPECT_EQ(sel().windowTitle(), u"画像の取り込み ～ in.bmp"_s);
    EXPECT_FALSE(sel().sbUndo->isEnabled());
    for (int side : {90, 80, 70}) {
        drag({0, 0}, {side, side});
        sel().sbSelectClick();
        EXPECT_EQ(width(), side);
    }
    sel().sbUndoClick();
    sel().sbUndoClick();
    EXPECT_EQ(width(), 90);
    EXPECT_TRUE(sel().sbRedo->isEnabled());
    drag({0, 0}, {50, 50});
    sel().sbSelectClick();
    EXPECT_FALSE(sel().sbRedo->isEnabled());
    std::vector<int> walk;
    while (sel().sbUndo->isEnabled()) {
        sel().sbUndoClick();
        walk.push_back(width());
    }
    EXPECT_EQ(walk, (std::vector<int>{90, 80, 70, 80, 90, 100}));

    // Thirty-one cuts: only the last thirty can be undone.
    sel().sbReOpenClick();
    for (int i = 0; i < 31; ++i) {
        drag({0, 0}, {99 - i, 99 - i});
        sel().sbSelectClick();
    }
    int back = 0;
    while (sel().sbUndo->isEnabled()) {
        sel().sbUndoClick();
        ++back;
    }
    EXPECT_EQ(back, 30);
    EXPECT_EQ(width(), 99);
}

TEST_F(PictureSelect, NothingEnclosedAFailedOpenAndAnAdjustment)
{
    const QImage picture = numbered({60, 40});
    open(picture);
    drag({10, 10}, {10, 30}); // a straight line encloses nothing
    sel().sbSelectClick();
    EXPECT_EQ(sel().WorkPicture, picture);
    EXPECT_FALSE(sel().sbUndo->isEnabled());
    EXPECT_TRUE(sel().CutLine.isEmpty());

    // A file that is not a picture, and a name of another kind: nothing changes.
    QFile bad(program.file(u"bad.bmp"_s));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    prompter->files.push_back(bad.fileName());
    sel().sbOpenClick();
    prompter->files.push_back(program.file(u"notes.txt"_s));
    sel().sbOpenClick();
    EXPECT_EQ(prompter->asked.size(), 2u);
    EXPECT_EQ(sel().WorkPicture, picture);
    EXPECT_TRUE(sel().PictureFileName.endsWith(u"in.bmp"_s));
    EXPECT_EQ(sel().Undo.last(), 0);

    prompter->modals.push_back([](QDialog& d) {
        auto& f = static_cast<TFormPicEffect&>(d);
        f.sbBri->setValue(110);
        f.btOKClick();
        return int(QDialog::Accepted);
    });
    sel().Effect1Click();
    EXPECT_NE(sel().WorkPicture, picture);
    ASSERT_TRUE(sel().sbUndo->isEnabled()) << "the adjustment is a step";
    sel().sbUndoClick();
    EXPECT_EQ(sel().WorkPicture, picture);
}

TEST_F(PictureSelect, SelectAllAndShiftSquaresAtOtherZooms)
{
    const QImage picture = numbered({80, 50});
    open(picture);
    sel().UpDown1->setValue(200);
    EXPECT_EQ(sel().Image1->size(), QSize(160, 100));
    sel().sbSelectAllClick();
    EXPECT_EQ(sel().WorkPicture.size(), picture.size()) << "the whole picture, not a quarter of it";
    EXPECT_EQ(sel().WorkPicture.pixel(40, 25), picture.pixel(40, 25));

    sel().sbSelect2->click();
    // At 200 %, display (0, 0) to (60, 20) is picture (0, 0) to (30, 10); Shift makes it a circle.
    drag({0, 0}, {60, 20}, true);
    EXPECT_EQ(sel().CutLine, (QVector<QPoint>{{0, 0}, {30, 30}}));
    sel().sbSelectClick();
    EXPECT_EQ(sel().WorkPicture.size(), QSize(30, 30));
}

TEST_F(PictureSelect, OkAsksAboutAPendingLineAndTheEditorTakesThePicture)
{
    prompter->modals.push_back([&](QDialog&) {
        sel().btOKClick();
        EXPECT_EQ(prompter->lastText(), u"画像が選択されていません。"_s);
        EXPECT_EQ(prompter->sounds.back(), Prompter::Sound::Asterisk);
        open(numbered({40, 30}));
        sel().UpDown1->setValue(150);
        drag({0, 0}, {30, 30});
        prompter->answers.push_back(Prompter::Answer::No);
        sel().btOKClick();
        EXPECT_EQ(prompter->lastText(), u"選択範囲を切り出しますか。"_s);
        return sel().result();
    });
    ed().sbFaceSelectClick();
    EXPECT_EQ(sel().WorkPicture.size(), QSize(40, 30)) << "No leaves the picture uncut";
    EXPECT_TRUE(ed().imFace.Visible);
    EXPECT_EQ(ed().imFace.Picture.size(), QSize(60, 45)) << "taken at the size it was shown";
}

TEST_F(PictureSelect, WheelZonesAndArrowKeysMoveTheView)
{
    open(numbered({1600, 1200}));
    sel().resize(600, 500);
    sel().show();
    QCoreApplication::processEvents();
    QScrollBar* h = sel().ScrollBox1->horizontalScrollBar();
    QScrollBar* v = sel().ScrollBox1->verticalScrollBar();
    const QSize box = sel().ScrollBox1->size();
    sel().CMMouseWheel({box.width() / 2, box.height() - 2}, -120);
    EXPECT_EQ(v->value(), 50);
    sel().CMMouseWheel({box.width() - 2, box.height() - 2}, -120);
    EXPECT_EQ(QPoint(h->value(), v->value()), QPoint(50, 100));
    EXPECT_TRUE(sel().CMDialogKey(Qt::Key_Left, Qt::NoModifier));
    EXPECT_EQ(h->value(), 0);
    EXPECT_FALSE(sel().CMDialogKey(Qt::Key_Left, Qt::ShiftModifier));
    sel().UpDown1->setFocus();
    sel().CMMouseWheel({box.width() / 2, box.height() / 2}, 120);
    EXPECT_EQ(sel().Zoom, 110) << "the centre zooms by the increment";
    sel().hide();
}

TEST_F(PictureSelect, ShortcutsInMidDragEndTheDragAndAnAdjustmentKeepsTheLine)
{
    const QImage picture = numbered({100, 80});
    open(picture);
    // Each command with the button still down, where it has something to do: the drag ends with
    // it, and the moves that follow before the release neither write into the emptied line nor
    // start another.
    const auto cut = [&] {
        drag({0, 0}, {90, 70});
        sel().sbSelectClick();
    };
    const struct {
        const char* name;
        std::function<void()> before;
        QAction* command;
    } commands[] = {
        {"cut", {}, sel().mmSelect},
        {"erase", {}, sel().mmEraseR},
        {"erase the line", {}, sel().mmEraseL},
        {"undo", cut, sel().Undo1},
        {"redo",
         [&] {
             cut();
             sel().sbUndoClick();
         },
         sel().Repeat1},
        {"select all", {}, sel().SelectAll1},
        {"back to the loaded picture", cut, sel().mmReOpen},
    };
    for (const LineShape shape : {LineShape::Rectangle, LineShape::Free})
        for (const auto& c : commands) {
            SCOPED_TRACE(testing::Message() << c.name << (shape == LineShape::Free ? ", free line" : ", rectangle"));
            sel().sbReOpenClick();
            if (c.before)
                c.before();
            (shape == LineShape::Free ? sel().sbSelect3 : sel().sbSelect1)->click();
            sel().Image1MouseDown({5, 5}, Qt::LeftButton);
            sel().Image1MouseMove({40, 30}, false);
            c.command->trigger();
            const QImage after = sel().WorkPicture;
            EXPECT_FALSE(sel().Drawing);
            sel().Image1MouseMove({60, 50}, false);
            sel().Image1MouseMove({70, 60}, true);
            sel().Image1MouseUp({70, 60});
            EXPECT_TRUE(sel().CutLine.isEmpty()) << sel().CutLine.size();
            EXPECT_EQ(sel().WorkPicture, after);
        }

    // A release that went to a modal window ends the line at the next move.
    sel().sbSelect1->click();
    sel().sbReOpenClick();
    sel().Image1MouseDown({5, 5}, Qt::LeftButton);
    sel().Image1MouseMove({30, 20}, false);
    sel().Image1MouseMove({90, 70}, false, false);
    EXPECT_FALSE(sel().Drawing);
    EXPECT_EQ(sel().CutLine, (QVector<QPoint>{{5, 5}, {30, 20}}));

    // The adjustment keeps the pending line, which still cuts; undo goes back through both.
    prompter->modals.push_back([](QDialog& d) {
        auto& f = static_cast<TFormPicEffect&>(d);
        f.sbG->setValue(130);
        f.btOKClick();
        return int(QDialog::Accepted);
    });
    sel().Effect1Click();
    const QImage adjusted = TFormPicEffect::Adjust(picture, 0, 0, 30, 0);
    EXPECT_EQ(sel().WorkPicture, adjusted);
    EXPECT_EQ(sel().CutLine, (QVector<QPoint>{{5, 5}, {30, 20}}));
    sel().sbSelectClick();
    EXPECT_EQ(sel().WorkPicture.size(), QSize(25, 15));
    EXPECT_EQ(sel().WorkPicture.pixel(10, 10), adjusted.pixel(15, 15));
    sel().sbUndoClick();
    EXPECT_EQ(sel().WorkPicture, adjusted);
    sel().sbUndoClick();
    EXPECT_EQ(sel().WorkPicture, picture);
}

TEST_F(PictureSelect, AThinPictureAtASmallZoomIsShownAndTakenAtLeastOnePixel)
{
    const QImage picture = numbered({60, 4});
    prompter->modals.push_back([&](QDialog&) {
        open(picture);
        sel().UpDown1->setValue(10);
        EXPECT_EQ(sel().Image1->size(), QSize(6, 1));
        EXPECT_EQ(sel().TakenPicture().size(), QSize(6, 1));
        sel().btOKClick();
        return sel().result();
    });
    ed().sbFaceSelectClick();
    ASSERT_TRUE(ed().imFace.Visible);
    EXPECT_EQ(ed().imFace.Picture.size(), QSize(6, 1));

    sel().CheckBox1->setChecked(false);
    EXPECT_EQ(sel().TakenPicture(), picture) << "at its own size when not asked otherwise";
}

// While a bar moves the import form adjusts only what it shows, and the picture itself once, on
// OK; the screen then is the screen of the preview, at any zoom and scroll position.
TEST_F(PictureSelect, AdjustmentPreviewShowsWhatOkGives)
{
    // White (transparent) pixels among the others, so the key follows the adjusted colour.
    QImage picture = numbered({300, 200});
    for (int y = 0; y < 200; y += 7)
        for (int x = y % 5; x < 300; x += 5)
            picture.setPixel(x, y, qRgb(255, 255, 255));
    picture.setPixel(3, 3, qRgb(250, 250, 250));
    sel().cbChangeWhite->setChecked(false);
    open(picture);
    ASSERT_EQ(sel().WorkPicture, picture);
    sel().resize(500, 400);
    sel().show();
    for (const int zoom : {30, 100, 370}) {
        SCOPED_TRACE(zoom);
        sel().UpDown1->setValue(zoom);
        sel().ScrollBox1->horizontalScrollBar()->setValue(sel().ScrollBox1->horizontalScrollBar()->maximum() / 2);
        QCoreApplication::processEvents();
        QImage preview;
        prompter->modals.push_back([&](QDialog& d) {
            auto& f = static_cast<TFormPicEffect&>(d);
            f.sbBri->setValue(103);
            f.sbR->setValue(90);
            EXPECT_EQ(sel().WorkPicture, picture) << "nothing computed on the whole picture yet";
            preview = sel().Image1->grab().toImage();
            f.btOKClick();
            return int(QDialog::Accepted);
        });
        sel().Effect1Click();
        EXPECT_EQ(sel().WorkPicture, TFormPicEffect::Adjust(picture, 3, -10, 0, 0));
        EXPECT_EQ(sel().Image1->grab().toImage(), preview);
        sel().sbUndoClick();
        EXPECT_EQ(sel().WorkPicture, picture);
    }
    sel().hide();
}
